// What a line typed into a chat window asks for: text for the channel, or a slash command
// ("/msg", "/me", ...; anything else goes to the server as it was typed). The window carries
// the result out on its engine and shows the echo line.
#pragma once

#include "chat/chatcolor.h"

#include <QByteArray>
#include <QString>

struct TChatCommand {
    enum TKind {
        Nothing,     // nothing to send (the echo, if any, is still shown)
        Say,         // PrivMsg(Target, Text) to the window's channel
        Part,        // Part(Target)
        PrivMsg,     // PrivMsg(Target, Text)
        Notice,      // Notice(Target, Text)
        Topic,       // SetTopic(Target, Text)
        Action,      // Action(Target, Text)
        ChannelList, // the channel list button
        Raw          // SendRaw(Text)
    };
    TKind Kind = Nothing;
    QByteArray Target;
    QByteArray Text;
    QString Echo; // the line the window shows; empty: none
    TChatColor EchoColor = TChatColor::Black;
};

struct TChatContext {
    QByteArray Channel; // the window's channel; empty: none
    QByteArray OwnNick; // as the engine knows it
    bool Engine = true; // the window has an engine to send through
};

// Line as typed, never empty.
TChatCommand ParseChatLine(const QString& Line, const TChatContext& Context);
// Line starting with '/'.
TChatCommand ParseChatCommand(const QString& Line, const TChatContext& Context);
