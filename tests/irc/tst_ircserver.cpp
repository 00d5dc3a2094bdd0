// The chat engine against a real IRC server (ngircd on loopback), several engines as different
// users: registration, nick collisions, channel tables, modes, topics, messages, CTCP, LIST,
// the server's PING and the end of a connection.
#include "irc/IRCClient.h"
#include "peers/ngircd.h"

#include <QtTest>
#include <algorithm>

namespace {

// How the logs below name a user (the server has no nick), a channel, or a mode's argument.
QByteArray NickOf(const TUser* U) {
    return U && !U->Nick.isEmpty() ? U->Nick : "-";
}
QByteArray NameOf(const TChannel* C) {
    return C ? C->Name : "-";
}
QByteArray Word(const TUser* U) {
    return NickOf(U);
}
QByteArray Word(const QByteArray& Text) {
    return Text;
}

// Members as NAMES shows them: "@" for an operator, "+" for a voice.
QByteArrayList Members(const TChannel* C) {
    QByteArrayList Result;
    for (int I = 0; C && I < C->Members.Count(); ++I) {
        const int F = C->Members.Flags(I);
        Result << QByteArray(F & mfOperator ? "@" : "") + (F & mfVoice ? "+" : "") +
                      C->Members.Nick(I);
    }
    return Result;
}

// What a channel's mode fields hold, in one line.
QByteArray ModeState(const TChannel* C) {
    return "flags " + QByteArray::number(C->ModeFlags, 16) + " limit " +
           QByteArray::number(C->Limit) + " key " + C->Key;
}

QByteArrayList Sorted(QByteArrayList List) {
    std::sort(List.begin(), List.end());
    return List;
}

// One user: an engine and everything it reported. The engine goes first when this dies, so
// its last events still find the logs.
struct TSide {
    QByteArrayList Log, Updates, Wire;
    QList<int> States;
    int Disconnects = 0;
    bool SuppressCTCP = false;
    TIRCClient Engine;
    TChannel* Room() const { return Engine.Channels->Find("#room"); }
};

// The server's welcome names the nick it registered.
bool Welcomed(const TSide* P, const QByteArray& Nick) {
    return std::any_of(P->Wire.begin(), P->Wire.end(), [&](const QByteArray& L) {
        return L.startsWith("< :irc.test.local 001 " + Nick + ' ');
    });
}

} // namespace

class TIrcServerTest : public QObject {
    Q_OBJECT
    TPeer Server;
    std::vector<std::unique_ptr<TSide>> Sides;

    TSide* User(const QByteArray& Nick, quint16 Port = 0);
    TSide* Online(const QByteArray& Nick, quint16 Port = 0);
    bool Room(const QList<TSide*>& Order);

private slots:
    void initTestCase() { QVERIFY2(StartNgircd(Server), qPrintable(Server.Why)); }
    void cleanup();
    void nickCollision_data();
    void nickCollision();
    void joinAndNames();
    void departures_data();
    void departures();
    void modes_data();
    void modes();
    void topics();
    void messages_data();
    void messages();
    void ctcpVersion_data();
    void ctcpVersion();
    void list();
    void serverPing();
    void session_data();
    void session();
};

TSide* TIrcServerTest::User(const QByteArray& Nick, quint16 Port) {
    Sides.push_back(std::make_unique<TSide>());
    TSide* P = Sides.back().get();
    TIRCClient& E = P->Engine;
    E.Server = "127.0.0.1";
    E.Port = QByteArray::number(Port ? Port : Server.Port);
    E.SetNick(Nick);
    E.AltNick = Nick + "_alt";
    E.Username = "tester";
    E.RealName = "Test User";
    // One line per event; free text goes last, after a colon, as on the wire.
    const auto Add = [P](const QByteArrayList& Words) { P->Log << Words.join(' '); };
    E.OnStateChange = [P](TIRCClient* C) { P->States << C->State; };
    E.OnDisconnect = [P](auto) { ++P->Disconnects; };
    E.OnSend = [P](auto, const auto& L) { P->Wire << "> " + L; };
    E.OnReceive = [P](auto, const auto& L) { P->Wire << "< " + L; };
    E.OnPingPong = [P](auto) { P->Wire << "pingpong"; };
    E.OnChannelUpdate = [P](TChannel*, TChannelUpdateType T, TUser* U, int Info) {
        static const char* const Kinds[] = {"modes", "topic", "flags", "names", "rename",
                                            "join",  "part",  "kick",  "quit"};
        P->Updates << QByteArray(Kinds[T]) + ' ' + NickOf(U) + ' ' + QByteArray::number(Info);
    };
    E.OnJoined = [Add](auto, TChannel* C) { Add({"joined", NameOf(C)}); };
    E.OnParted = [Add](auto, TChannel* C) { Add({"parted", NameOf(C)}); };
    E.OnJoin = [Add](auto, TUser* U, TChannel* C) { Add({"join", NickOf(U), NameOf(C)}); };
    E.OnPart = [Add](auto, TUser* U, TChannel* C, const QByteArray&) {
        Add({"part", NickOf(U), NameOf(C), ':' + U->Comment});
    };
    E.OnKick = [Add](auto, TUser* U, TUser* Victim, TChannel* C) {
        Add({"kick", NickOf(U), NickOf(Victim), NameOf(C), ':' + Victim->Comment});
    };
    E.OnKicked = [Add](auto, TUser* U, TChannel* C) { Add({"kicked", NickOf(U), NameOf(C)}); };
    E.OnNickChange = [Add](auto, TUser* U, const auto& To) { Add({"nick", NickOf(U), To}); };
    E.OnNickChanged = [Add](TIRCClient* C) { Add({"nickchanged", C->Nick()}); };
    E.OnQuit = [Add](auto, TUser* U) { Add({"quit", NickOf(U), ':' + U->Comment}); };
    // Mode events: who, where, and the nick, mask or letters concerned.
    const auto Mode = [Add](const char* What) {
        return [Add, What](auto, TUser* U, TChannel* C, const auto& Of) {
            Add({What, NickOf(U), NameOf(C), Word(Of)});
        };
    };
    E.OnOp = Mode("op");
    E.OnDeop = Mode("deop");
    E.OnVoice = Mode("voice");
    E.OnDevoice = Mode("devoice");
    E.OnBan = Mode("ban");
    E.OnUnban = Mode("unban");
    E.OnChannelMode = Mode("mode");
    E.OnTopic = [Add](auto, TUser* U, TChannel* C) {
        Add({"topic", NickOf(U), NameOf(C), ':' + (C ? C->Topic : "?")});
    };
    E.OnNoTopic = [Add](auto, TChannel* C) { Add({"notopic", NameOf(C)}); };
    // The server's own notices (connection statistics and the like) are not under test.
    const auto Text = [Add](const char* What) {
        return [Add, What](auto, TUser* U, TChannel* C, const auto& Content) {
            if (NickOf(U) != "-") Add({What, NickOf(U), NameOf(C), ':' + Content});
        };
    };
    E.OnMessage = Text("message");
    E.OnNotice = Text("notice");
    E.OnAction = Text("action");
    E.OnCTCPQuery = [Add, P](auto, TUser* U, TChannel* C, const auto& Command, const auto& Args,
                             bool& Suppress) {
        Add({"ctcp", NickOf(U), NameOf(C), Command, ':' + Args});
        Suppress = P->SuppressCTCP;
    };
    E.OnCTCPReply = [Add](auto, TUser* U, TChannel* C, const auto& Command, const auto& Args) {
        Add({"ctcpreply", NickOf(U), NameOf(C), Command, ':' + Args});
    };
    E.OnStartChannelInfo = [Add](auto) { Add({"list"}); };
    E.OnAddChannelInfo = [Add](auto, const auto& Name, int Count, const auto& Desc) {
        Add({"listed", Name, QByteArray::number(Count), ':' + Desc});
    };
    E.OnEndChannelInfo = [Add](auto) { Add({"listend"}); };
    return P;
}

TSide* TIrcServerTest::Online(const QByteArray& Nick, quint16 Port) {
    TSide* P = User(Nick, Port);
    P->Engine.Connect();
    return QTest::qWaitFor([P] { return P->Engine.State == csRegistered; }, 5000) ? P : nullptr;
}

// Joins "#room" in this order, waiting until everyone already there counts the newcomer.
bool TIrcServerTest::Room(const QList<TSide*>& Order) {
    for (int I = 0; I < Order.size(); ++I) {
        Order[I]->Engine.Join("#room", {});
        for (int J = 0; J <= I; ++J)
            if (!QTest::qWaitFor(
                    [&] { return Order[J]->Room() && Order[J]->Room()->Members.Count() == I + 1; },
                    5000))
                return false;
    }
    for (TSide* P : Order) {
        P->Log.clear();
        P->Updates.clear();
    }
    return true;
}

// Quitting frees the nicks on the server before the next test asks for them again.
void TIrcServerTest::cleanup() {
    for (auto& P : Sides)
        if (P->Engine.State == csRegistered) P->Engine.Quit("done");
    for (auto& P : Sides)
        (void)QTest::qWaitFor([&] { return !P->Engine.Connected(); }, 3000);
    Sides.clear();
}

void TIrcServerTest::nickCollision_data() {
    QTest::addColumn<bool>("handler");
    QTest::addColumn<QByteArrayList>("nicks");
    QTest::newRow("handler offers a third nick")
        << true << QByteArrayList{"NICK alice", "NICK alice_alt", "NICK alice3"};
    QTest::newRow("no handler gives up") << false << QByteArrayList{"NICK alice", "NICK alice_alt"};
}

void TIrcServerTest::nickCollision() {
    QFETCH(bool, handler);
    QFETCH(QByteArrayList, nicks);
    QVERIFY(Online("alice") && Online("alice_alt"));
    TSide* C = User("alice");
    QByteArrayList Offered;
    if (handler)
        C->Engine.OnNicksInUse = [&Offered](TIRCClient*, QByteArray& Nick) {
            Offered << Nick;
            Nick = "alice3";
        };
    C->Engine.Connect();
    if (handler) {
        QTRY_COMPARE(C->Engine.State, csRegistered);
        QCOMPARE(Offered, QByteArrayList{"alice_alt"});
        QCOMPARE(C->Engine.Nick(), "alice3");
        QVERIFY(Welcomed(C, "alice3"));
    } else {
        QTRY_COMPARE(C->Engine.State, csDisconnected);
        QTest::qWait(200); // a second report of the close would come right after the first
        QCOMPARE(C->Disconnects, 1);
        QCOMPARE(C->States, (QList<int>{csConnecting, csConnected, csDisconnected}));
    }
    QByteArrayList Sent;
    for (const QByteArray& L : C->Wire)
        if (L.startsWith("> NICK ")) Sent << L.mid(2);
    QCOMPARE(Sent, nicks);
}

void TIrcServerTest::joinAndNames() {
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    QVERIFY(A && B);
    A->Engine.Join("#room", {});
    QTRY_COMPARE(Members(A->Room()), QByteArrayList{"@alice"});
    QCOMPARE(A->Log, QByteArrayList{"joined #room"});
    QCOMPARE(A->Updates, QByteArrayList{"names - 0"});
    QCOMPARE(A->Room()->Members.Flags(0), int(mfOperator));

    B->Engine.Join("#room", {});
    QTRY_COMPARE(Members(A->Room()), (QByteArrayList{"@alice", "bob"}));
    QCOMPARE(A->Log, (QByteArrayList{"joined #room", "join bob #room"}));
    QCOMPARE(A->Updates, (QByteArrayList{"names - 0", "join bob 1"}));
    QTRY_COMPARE(Sorted(Members(B->Room())), (QByteArrayList{"@alice", "bob"}));
    QCOMPARE(B->Log, QByteArrayList{"joined #room"});
}

void TIrcServerTest::departures_data() {
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArrayList>("aliceSaw");
    QTest::addColumn<QByteArrayList>("updates");
    QTest::addColumn<QByteArrayList>("members");
    QTest::addColumn<QByteArrayList>("bobSaw");
    const QByteArrayList Left{"@alice", "carol"};
    QTest::newRow("part") << QByteArray("part") << QByteArrayList{"part bob #room :see ya"}
                          << QByteArrayList{"part bob 1"} << Left << QByteArrayList{"parted #room"};
    QTest::newRow("kick") << QByteArray("kick") << QByteArrayList{"kick alice bob #room :out"}
                          << QByteArrayList{"kick bob 1"} << Left
                          << QByteArrayList{"kicked alice #room"};
    // ngircd puts the quit reason in quotes.
    QTest::newRow("quit") << QByteArray("quit") << QByteArrayList{"quit bob :\"bye\""}
                          << QByteArrayList{"quit bob 1"} << Left << QByteArrayList{};
    QTest::newRow("nick") << QByteArray("nick") << QByteArrayList{"nick bob bob2"}
                          << QByteArrayList{"rename bob 1"}
                          << QByteArrayList{"@alice", "bob2", "carol"}
                          << QByteArrayList{"nickchanged bob2"};
}

void TIrcServerTest::departures() {
    QFETCH(QByteArray, action);
    QFETCH(QByteArrayList, aliceSaw);
    QFETCH(QByteArrayList, updates);
    QFETCH(QByteArrayList, members);
    QFETCH(QByteArrayList, bobSaw);
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    TSide* C = Online("carol");
    QVERIFY(A && B && C && Room({A, B, C}));
    QCOMPARE(Members(A->Room()), (QByteArrayList{"@alice", "bob", "carol"}));

    if (action == "part") B->Engine.Part("#room", "see ya");
    if (action == "kick") A->Engine.SendRaw("KICK #room bob :out");
    if (action == "quit") B->Engine.Quit("bye");
    if (action == "nick") B->Engine.SetNick("bob2");
    QTRY_COMPARE(A->Log, aliceSaw);
    QCOMPARE(A->Updates, updates);
    QCOMPARE(Members(A->Room()), members);
    QTRY_COMPARE(B->Log, bobSaw);
    if (action == "quit") QTRY_COMPARE(B->Engine.State, csDisconnected);
    if (action == "part" || action == "kick") QVERIFY(!B->Room());
    if (action == "nick") {
        QVERIFY(A->Engine.Users->Find("bob2") && !A->Engine.Users->Find("bob"));
        QVERIFY(B->Room()->Members.IndexOf("bob2") >= 0);
    }
}

void TIrcServerTest::modes_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("modes");
    QTest::addColumn<QByteArray>("params");
    QTest::addColumn<QByteArrayList>("saw");
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<QByteArray>("bobEntry");
    const auto Row = [](const char* Name, const char* Before, const char* Modes, const char* Params,
                        QByteArrayList Saw, const char* State, const char* Bob) {
        QTest::newRow(Name) << QByteArray(Before) << QByteArray(Modes) << QByteArray(Params) << Saw
                            << QByteArray(State) << QByteArray(Bob);
    };
    const char* Plain = "flags 0 limit 0 key ";
    Row("op", "", "+o", "bob", {"op alice #room bob"}, Plain, "@bob");
    Row("deop", "+o bob", "-o", "bob", {"deop alice #room bob"}, Plain, "bob");
    Row("voice", "", "+v", "bob", {"voice alice #room bob"}, Plain, "+bob");
    Row("devoice", "+v bob", "-v", "bob", {"devoice alice #room bob"}, Plain, "bob");
    Row("op and voice", "", "+ov", "bob bob", {"op alice #room bob", "voice alice #room bob"},
        Plain, "@+bob");
    Row("ban", "", "+b", "x!*@*", {"ban alice #room x!*@*"}, Plain, "bob");
    Row("unban", "+b x!*@*", "-b", "x!*@*", {"unban alice #room x!*@*"}, Plain, "bob");
    Row("limit", "", "+l", "5", {}, "flags 40 limit 5 key ", "bob");
    Row("no limit", "+l 5", "-l", "", {}, Plain, "bob");
    Row("key", "", "+k", "sec", {}, "flags 80 limit 0 key sec", "bob");
    Row("no key", "+k sec", "-k", "sec", {}, Plain, "bob");
    Row("limit and key", "", "+lk", "7 sec", {}, "flags c0 limit 7 key sec", "bob");
    // The server answers "-k+v * bob": the star fills the key's slot, it is not the voiced nick.
    Row("no key then voice", "+k sec", "-k+v", "sec bob", {"voice alice #room bob"}, Plain, "+bob");
}

void TIrcServerTest::modes() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, modes);
    QFETCH(QByteArray, params);
    QFETCH(QByteArrayList, saw);
    QFETCH(QByteArray, state);
    QFETCH(QByteArray, bobEntry);
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    QVERIFY(A && B && Room({A, B}));
    if (!before.isEmpty()) {
        A->Engine.SendRaw("MODE #room " + before);
        QTRY_VERIFY(!A->Log.isEmpty() && !B->Log.isEmpty());
        A->Log.clear();
        B->Log.clear();
    }
    A->Engine.Mode("#room", modes, params);
    // The setter hears its own change back, so both tables follow.
    saw.prepend("mode alice #room " + modes);
    for (TSide* P : {A, B}) {
        QTRY_COMPARE(P->Log, saw);
        QCOMPARE(ModeState(P->Room()), state);
        QVERIFY2(Members(P->Room()).contains(bobEntry), Members(P->Room()).join(' ').constData());
    }
}

void TIrcServerTest::topics() {
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    TSide* C = Online("carol");
    QVERIFY(A && B && C && Room({A, B}));
    A->Engine.SetTopic("#room", "hello there");
    QTRY_COMPARE(B->Log, QByteArrayList{"topic alice #room :hello there"});
    QCOMPARE(B->Updates, QByteArrayList{"topic - 0"});

    // Joining a channel with a topic brings it along (332), from the server.
    C->Engine.Join("#room", {});
    QTRY_COMPARE(C->Log, (QByteArrayList{"joined #room", "topic - #room :hello there"}));
    QCOMPARE(C->Room()->Topic, "hello there");

    C->Engine.Join("#bare", {});
    QTRY_VERIFY(C->Engine.Channels->Find("#bare"));
    C->Log.clear();
    C->Engine.SendRaw("TOPIC #bare");
    QTRY_COMPARE(C->Log, QByteArrayList{"notopic #bare"});
    QVERIFY(C->Engine.Channels->Find("#bare")->Topic.isEmpty());
}

void TIrcServerTest::messages_data() {
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("inChannel");
    for (const char* Kind : {"message", "notice", "action"}) {
        QTest::addRow("channel %s", Kind) << QByteArray(Kind) << true;
        QTest::addRow("private %s", Kind) << QByteArray(Kind) << false;
    }
}

void TIrcServerTest::messages() {
    QFETCH(QByteArray, kind);
    QFETCH(bool, inChannel);
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    QVERIFY(A && B && Room({A, B}));
    const auto Say = [&](TSide* From, const QByteArray& To, const QByteArray& Text) {
        const QByteArray Target = inChannel ? "#room" : To;
        if (kind == "message") From->Engine.PrivMsg(Target, Text);
        if (kind == "notice") From->Engine.Notice(Target, Text);
        if (kind == "action") From->Engine.Action(Target, Text);
    };
    Say(A, "bob", "hi bob");
    Say(B, "alice", "hi alice");
    // A private line names no channel.
    const QByteArray Where = inChannel ? " #room :" : " - :";
    QTRY_COMPARE(B->Log, QByteArrayList{kind + " alice" + Where + "hi bob"});
    QTRY_COMPARE(A->Log, QByteArrayList{kind + " bob" + Where + "hi alice"});
}

void TIrcServerTest::ctcpVersion_data() {
    QTest::addColumn<bool>("suppress");
    QTest::addColumn<QByteArrayList>("aliceSaw");
    QTest::newRow("answered") << false
                              << QByteArrayList{"ctcpreply bob - VERSION :Probe 2.5 for tests",
                                                "message bob - :done"};
    QTest::newRow("suppressed") << true << QByteArrayList{"message bob - :done"};
}

void TIrcServerTest::ctcpVersion() {
    QFETCH(bool, suppress);
    QFETCH(QByteArrayList, aliceSaw);
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    QVERIFY(A && B);
    B->Engine.Replies.Version = "Probe 2.5 for tests";
    B->SuppressCTCP = suppress;
    A->Engine.CTCPQuery("bob", "version", {});
    QTRY_COMPARE(B->Log, QByteArrayList{"ctcp alice - VERSION :"});
    // Any answer left before this message, and the server keeps the order.
    B->Engine.PrivMsg("alice", "done");
    QTRY_VERIFY(A->Log.contains("message bob - :done"));
    QCOMPARE(A->Log, aliceSaw);
}

void TIrcServerTest::list() {
    TSide* A = Online("alice");
    TSide* B = Online("bob");
    QVERIFY(A && B && Room({A, B}));
    A->Engine.SetTopic("#room", "lobby chat");
    A->Engine.Join("#quiet", {});
    QTRY_VERIFY(B->Log.contains("topic alice #room :lobby chat"));
    QTRY_VERIFY(A->Engine.Channels->Find("#quiet"));
    B->Log.clear();
    B->Engine.List();
    QTRY_VERIFY(B->Log.contains("listend"));
    QCOMPARE(B->Log.first(), "list");
    QCOMPARE(B->Log.count("list"), 1);
    QCOMPARE(B->Log.last(), "listend");
    QVERIFY2(B->Log.contains("listed #room 2 :lobby chat"), B->Log.join('\n').constData());
    QVERIFY2(B->Log.contains("listed #quiet 1 :"), B->Log.join('\n').constData());
}

// ngircd pings a client after 5 s of silence.
void TIrcServerTest::serverPing() {
    TSide* A = Online("alice");
    QVERIFY(A);
    QTRY_VERIFY_WITH_TIMEOUT(A->Wire.contains("pingpong"), 15000);
    const qsizetype At = A->Wire.indexOf("< PING :irc.test.local");
    QVERIFY2(At >= 0, A->Wire.join('\n').constData());
    QCOMPARE(A->Wire.mid(At, 3),
             (QByteArrayList{"< PING :irc.test.local", "> PONG :irc.test.local", "pingpong"}));
    QCOMPARE(A->Engine.State, csRegistered);
}

void TIrcServerTest::session_data() {
    QTest::addColumn<bool>("serverStops");
    QTest::newRow("after our QUIT") << false;
    QTest::newRow("server stops") << true;
}

// A whole session: registration, then the connection ended by either side.
void TIrcServerTest::session() {
    QFETCH(bool, serverStops);
    TPeer Own;
    if (serverStops) QVERIFY2(StartNgircd(Own), qPrintable(Own.Why));
    TSide* A = Online("alice", serverStops ? Own.Port : 0);
    QVERIFY(A);
    if (serverStops)
        Own.Stop();
    else
        A->Engine.Quit("later");
    QTRY_COMPARE(A->Engine.State, csDisconnected);
    QTest::qWait(200); // a second report of the close would come right after the first
    QCOMPARE(A->Disconnects, 1);
    QCOMPARE(A->States, (QList<int>{csConnecting, csConnected, csRegistered, csDisconnected}));
    QVERIFY(Welcomed(A, "alice"));
}

QTEST_GUILESS_MAIN(TIrcServerTest)
#include "tst_ircserver.moc"
