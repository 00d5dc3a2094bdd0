#!/usr/bin/python3
"""A DCC SEND peer on python3-irc, for the transfer tests.

  dccpeer.py PORT NICK send PEER FILE     offers FILE to PEER; sends it in 1000-byte chunks,
                                          each after the previous one is acknowledged
  dccpeer.py PORT NICK receive DIR        accepts the first offer into DIR, acknowledging
                                          every read

Prints "ready" once registered and "done N" when N bytes went through; exits 1 on failure.
"""
import os
import struct
import sys

import irc.client

port, nick, mode = int(sys.argv[1]), sys.argv[2], sys.argv[3]
reactor = irc.client.IRC()
server = reactor.server().connect("127.0.0.1", port, nick)
state = {"total": 0, "acks": b""}


def say(text):
    print(text, flush=True)


def finish(code, text):
    say(text)
    sys.exit(code)


def on_welcome(conn, event):
    say("ready")
    if mode == "send":
        path = sys.argv[5]
        dcc = reactor.dcc("raw")
        dcc.listen()
        state["dcc"], state["file"] = dcc, open(path, "rb")
        state["size"] = os.path.getsize(path)
        conn.ctcp("DCC", sys.argv[4], "SEND %s %s %d %d" % (
            os.path.basename(path), irc.client.ip_quad_to_numstr(dcc.localaddress),
            dcc.localport, state["size"]))


def send_chunk(conn):
    data = state["file"].read(1000)
    if data:
        conn.send_bytes(data)
        state["total"] += len(data)


def on_ctcp(conn, event):
    if mode != "receive" or event.arguments[0] != "DCC":
        return
    words = event.arguments[1].split()
    if len(words) < 5 or words[0] != "SEND":
        return
    name, address, peer_port, size = words[1], int(words[2]), int(words[3]), int(words[4])
    state["size"] = size
    state["file"] = open(os.path.join(sys.argv[4], os.path.basename(name)), "wb")
    dcc = reactor.dcc("raw")
    dcc.connect(irc.client.ip_numstr_to_quad(str(address)), peer_port)
    state["dcc"] = dcc


def on_dcc_connect(conn, event):
    if mode == "send":
        send_chunk(conn)


def on_dccmsg(conn, event):
    data = event.arguments[0]
    if mode == "receive":
        state["file"].write(data)
        state["total"] += len(data)
        conn.send_bytes(struct.pack("!I", state["total"] & 0xFFFFFFFF))
        if state["total"] >= state["size"]:
            state["file"].close()
            state["finished"] = True
            finish(0, "done %d" % state["total"])
        return
    state["acks"] += data
    while len(state["acks"]) >= 4:
        (acked,) = struct.unpack("!I", state["acks"][:4])
        state["acks"] = state["acks"][4:]
        if acked != state["total"] & 0xFFFFFFFF:
            continue
        if state["total"] == state["size"]:
            state["finished"] = True
            conn.disconnect()
            finish(0, "done %d" % state["total"])
        send_chunk(conn)


def on_dcc_disconnect(conn, event):
    if not state.get("finished"):
        finish(1, "closed after %d" % state["total"])


reactor.add_global_handler("welcome", on_welcome)
reactor.add_global_handler("ctcp", on_ctcp)
reactor.add_global_handler("dcc_connect", on_dcc_connect)
reactor.add_global_handler("dccmsg", on_dccmsg)
reactor.add_global_handler("dcc_disconnect", on_dcc_disconnect)
reactor.process_forever()
