// An engine registered as "me" and sitting in #c with a few members, whose event handlers
// touch every user and channel they are given, so a pointer the engine has already freed
// shows up at once.
#pragma once

#include "fuzzcommon.h"
#include "irc/IRCClient.h"
#include "irc/ircusers.h"

struct TFuzzSession {
    TIRCClient Engine;
    qsizetype Seen = 0;

    void Touch(const TUser* User) {
        if (User) Seen += User->Nick.size() + User->UserHost.size();
    }
    void Touch(const TChannel* Channel) {
        if (Channel) Seen += Channel->Name.size() + Channel->Topic.size();
    }

    TFuzzSession() {
        auto Message = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
            Touch(U);
            Touch(C);
            Seen += T.size();
        };
        Engine.OnMessage = Engine.OnNotice = Engine.OnAction = Message;
        auto Join = [this](TIRCClient*, TUser* U, TChannel* C) {
            Touch(U);
            Touch(C);
        };
        Engine.OnJoin = Engine.OnKicked = Engine.OnTopic = Engine.OnChannelModeChanged = Join;
        Engine.OnPart = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray&) {
            Touch(U);
            Touch(C);
        };
        Engine.OnKick = [this](TIRCClient*, TUser* U, TUser* V, TChannel* C) {
            Touch(U);
            Touch(V);
            Touch(C);
        };
        Engine.OnNickChange = [this](TIRCClient*, TUser* U, const QByteArray&) { Touch(U); };
        Engine.OnQuit = Engine.OnAway = [this](TIRCClient*, TUser* U) { Touch(U); };
        auto Op = [this](TIRCClient*, TUser* U, TChannel* C, TUser* T) {
            Touch(U);
            Touch(C);
            Touch(T);
        };
        Engine.OnOp = Engine.OnDeop = Engine.OnVoice = Engine.OnDevoice = Op;
        auto Ban = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray&) {
            Touch(U);
            Touch(C);
        };
        Engine.OnBan = Engine.OnUnban = Engine.OnChannelMode = Ban;
        Engine.OnCTCPQuery = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray&,
                                    const QByteArray&, bool&) {
            Touch(U);
            Touch(C);
        };
        Engine.OnCTCPReply = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray&,
                                    const QByteArray&) {
            Touch(U);
            Touch(C);
        };
        Engine.OnChannelUpdate = [this](TChannel* C, TChannelUpdateType, TUser* U, int) {
            Touch(U);
            Touch(C);
        };
        // Registered without a server: lines go to a socket that is not open, which the
        // engine must take in its stride.
        Engine.SetNick("me");
        Engine.State = csConnected;
        for (const char* Line : {":srv 001 me :Welcome", ":me!u@h JOIN #c",
                                 ":srv 353 me = #c :@me alice +bob carol", ":srv 366 me #c :End"})
            Engine.DispatchLine(Line);
    }
};
