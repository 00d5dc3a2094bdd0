#include "chat/chatcommands.h"

#include "net/netutils.h"

#include <utility>

namespace {

// The word splitter of the command line: drop up to the first blank; the word runs to the next
// blank, which stays in front of the rest.
QString NextWord(QString& Text) {
    const qsizetype First = Text.indexOf(' ');
    if (First < 0) {
        Text.clear();
        return {};
    }
    Text.remove(0, First + 1);
    const qsizetype Next = Text.indexOf(' ');
    if (Next < 0) return std::exchange(Text, QString());
    const QString Word = Text.left(Next);
    Text.remove(0, Next);
    return Word;
}

TChatCommand Send(TChatCommand::TKind Kind, const QByteArray& Target, const QString& Text) {
    TChatCommand C;
    C.Kind = Kind;
    C.Target = Target;
    C.Text = Text.toUtf8();
    return C;
}

TChatCommand Send(TChatCommand::TKind Kind, const QString& Target, const QString& Text) {
    return Send(Kind, Target.toUtf8(), Text);
}

TChatCommand Echoed(TChatCommand C, const QString& Echo, TChatColor Color) {
    C.Echo = Echo;
    C.EchoColor = Color;
    return C;
}

} // namespace

TChatCommand ParseChatLine(const QString& Line, const TChatContext& Context) {
    if (Line.startsWith('/')) return ParseChatCommand(Line, Context);
    if (Context.Channel.isEmpty())
        return Echoed({}, "*** You are not on a chat channel", TChatColor::Red);
    TChatCommand C = Send(TChatCommand::Say, Context.Channel, Line);
    if (!Context.Engine) C.Kind = TChatCommand::Nothing;
    return Echoed(C, "<" + DisplayText(Context.OwnNick) + "> " + ChatText(C.Text),
                  TChatColor::Black);
}

TChatCommand ParseChatCommand(const QString& Line, const TChatContext& Context) {
    QString Rest = ' ' + Line.mid(1);
    const QString Word = NextWord(Rest).toUpper();
    if (!Context.Engine) return {};
    const QString Own = DisplayText(Context.OwnNick);
    const QString Channel = QString::fromUtf8(Context.Channel);
    if (Word == "LEAVE") {
        // The rest goes as typed, the blank after the word included.
        return Send(TChatCommand::Part, Rest.isEmpty() ? Channel : Rest, {});
    }
    if (Word == "MSG") {
        const QString Target = NextWord(Rest);
        const TChatCommand C = Send(TChatCommand::PrivMsg, Target, Rest.trimmed());
        return Echoed(C, "*" + Own + "* " + ChatText(C.Text), TChatColor::Blue);
    }
    if (Word == "NOTICE") {
        const QString Target = NextWord(Rest);
        const TChatCommand C = Send(TChatCommand::Notice, Target, Rest);
        return Echoed(C, "-" + Own + "- " + ChatText(C.Text), TChatColor::Green);
    }
    if (Word == "TOPIC") {
        QString Target = NextWord(Rest);
        // A first word that is no channel is part of the topic of the window's channel.
        if (Target.isEmpty() || !Target.startsWith('#')) {
            Rest = Target + Rest;
            if (!Channel.isEmpty()) Target = Channel;
        }
        return Send(TChatCommand::Topic, Target, Rest);
    }
    if (Word == "ME") {
        if (Channel.isEmpty()) return {};
        const TChatCommand C = Send(TChatCommand::Action, Context.Channel, Rest);
        return Echoed(C, "* " + Own + ChatText(C.Text), TChatColor::Purple);
    }
    if (Word == "LIST") return Send(TChatCommand::ChannelList, QByteArray(), {});
    return Send(TChatCommand::Raw, QByteArray(), ' ' + Line.mid(1));
}
