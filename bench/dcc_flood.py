#!/usr/bin/python3
"""Measures what a burst of DCC offers costs the running program.

  bench/dcc_flood.py PROGRAM [OFFERS]

Starts PROGRAM (scoutly-lite) offscreen in a fresh home with a raw IRC server of its own on
loopback, registers it, sends OFFERS (default 200) DCC SEND offers within one second from
one stranger, then PINGs. Prints the resident memory before and after, and how long the
PONG took before and after the burst. Offers point at 203.0.113.9 (a documentation address)
so no address rule refuses them.
"""
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

program = sys.argv[1]
offers = int(sys.argv[2]) if len(sys.argv) > 2 else 200
home = tempfile.mkdtemp(prefix="dccflood")
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
port = listener.getsockname()[1]
game = os.path.join(home, "game")
os.makedirs(game)
open(os.path.join(game, "morrow.exe"), "w").close()
with open(os.path.join(home, "registry.ini"), "w") as ini:
    ini.write("[Software]\n")
    ini.write("Scoutly\\tarnwick\\morrow\\showtips=X\n")
    cfg = "Scoutly\\tarnwick\\morrow\\config\\"
    ini.write(cfg + "program_dir_Text=%s/\n" % game)
    ini.write(cfg + "nick_Text=victim\n")
    ini.write(cfg + "chatserver_Text=127.0.0.1:%d\n" % port)
env = dict(os.environ, SCOUTLY_HOME=home, QT_QPA_PLATFORM="offscreen")
child = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
listener.settimeout(30)
conn, _ = listener.accept()
conn.settimeout(60)
buffer = b""


def read_until(pattern):
    global buffer
    while not re.search(pattern, buffer):
        data = conn.recv(65536)
        if not data:
            sys.exit("the program closed the connection")
        buffer += data
    found = re.search(pattern, buffer)
    buffer = buffer[found.end():]


def send(line):
    conn.sendall(line.encode() + b"\r\n")


def rss_kb():
    with open("/proc/%d/status" % child.pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def ping(tag):
    start = time.monotonic()
    send("PING :%s" % tag)
    try:
        read_until(rb"PONG :?%s" % tag.encode())
    except socket.timeout:
        return float("inf")
    return (time.monotonic() - start) * 1000


read_until(rb"USER [^\r\n]*\r\n")
send(":irc.test 001 victim :Welcome")
send(":irc.test 376 victim :End of MOTD")
read_until(rb"JOIN [^\r\n]*\r\n")
send(":victim!u@h JOIN :#morrow")
time.sleep(2)
before = ping("before")
rss_before = rss_kb()
start = time.monotonic()
for i in range(offers):
    send(":stranger!s@h PRIVMSG victim :\x01DCC SEND f%d 3405803785 2000 10\x01" % i)
    time.sleep(max(0, start + (i + 1) / offers - time.monotonic()))
after = ping("after")
time.sleep(1)
settled = ping("settled")
rss_after = rss_kb()
print("offers %d  rss %d -> %d kB (+%d kB)  pong %.1f ms before, %.1f ms right after the burst, "
      "%.1f ms 1 s later" % (offers, rss_before, rss_after, rss_after - rss_before, before, after,
                             settled))
child.terminate()
try:
    child.wait(10)
    print("closed on SIGTERM")
except subprocess.TimeoutExpired:
    child.kill()
    print("did not close on SIGTERM within 10 s")
