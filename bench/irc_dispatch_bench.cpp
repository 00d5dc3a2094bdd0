// Line handling of the IRC engine: a synthetic server stream (messages, joins and parts, nick
// changes, modes, and the NAMES list of a 5,000-member channel) through DispatchLine.
// irc_dispatch_bench [LINES]
#include "irc/IRCClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

namespace {
qint64 PeakResidentKb() {
    QFile Status("/proc/self/status");
    if (!Status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& Line : Status.readAll().split('\n'))
        if (Line.startsWith("VmHWM:")) return Line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

QList<QByteArray> Stream(int Count) {
    QRandomGenerator Random(42);
    QList<QByteArray> Lines;
    Lines.reserve(Count);
    Lines << ":me!me@host JOIN #big";
    // The NAMES list as a server sends it: many lines of a few hundred bytes each.
    for (int First = 0; First < 5000; First += 40) {
        QByteArray Names;
        for (int I = First; I < First + 40; ++I)
            Names += (I % 25 == 0 ? "@u" : I % 7 == 0 ? "+u" : "u") + QByteArray::number(I) + ' ';
        Lines << ":irc.test 353 me = #big :" + Names;
    }
    int Next = 5000;
    while (Lines.size() < Count) {
        const QByteArray Nick = "u" + QByteArray::number(Random.bounded(Next));
        const QByteArray Prefix =
            ':' + Nick + "!user@10.0.0." + QByteArray::number(Random.bounded(250)) + ' ';
        const int Kind = Random.bounded(100);
        if (Kind < 60)
            Lines << Prefix + "PRIVMSG #big :hello everyone, this is line " +
                         QByteArray::number(Lines.size());
        else if (Kind < 70)
            Lines << ":u" + QByteArray::number(Next++) + "!new@host JOIN #big";
        else if (Kind < 78)
            Lines << Prefix + "PART #big :see you";
        else if (Kind < 86) {
            Lines << Prefix + "NICK u" + QByteArray::number(Next++);
        } else if (Kind < 96)
            Lines << ":u0!user@host MODE #big " + QByteArray(Kind % 2 ? "+o " : "-v ") + Nick;
        else
            Lines << Prefix + "QUIT :bye";
    }
    return Lines;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const int Count = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
    const QList<QByteArray> Lines = Stream(Count);
    const qint64 Before = PeakResidentKb();

    TIRCClient Engine;
    Engine.SetNick("me");
    Engine.CurrentNick = "me"; // as after registration, without a server
    // What the chat module does with every line, roughly: look at the texts and the members.
    qint64 Seen = 0;
    Engine.OnMessage = [&](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
        Seen += T.size() + (U ? U->Nick.size() : 0) + (C ? 1 : 0);
    };
    Engine.OnChannelUpdate = [&](TChannel* C, TChannelUpdateType, TUser*, int Info) {
        Seen += Info + C->Members.Count();
    };
    Engine.OnError = [](TIRCClient*, TUser*, const QByteArray&, const QByteArray&) {};

    QElapsedTimer Clock;
    Clock.start();
    for (const QByteArray& Line : Lines)
        Engine.DispatchLine(Line);
    const double Seconds = Clock.nsecsElapsed() / 1e9;
    const TChannel* Big = Engine.Channels->Find("#big");
    std::printf("%d lines in %.3f s: %.0f lines per second (target >= 500000)\n", int(Lines.size()),
                Seconds, Lines.size() / Seconds);
    std::printf(
        "#big ends with %d members, %d users tracked; peak resident %lld KB (%lld KB before "
        "the engine)\n",
        Big ? Big->Members.Count() : 0, Engine.Users->Alive(), PeakResidentKb(), Before);
    return Seen > 0 ? 0 : 1;
}
