// The IRC engine against a scripted server on loopback: the receive loop, registration, nick
// collisions, and tables of raw lines for parsing, routing, modes, numerics and CTCP.
#include "irc/IRCClient.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// Plays the server: accepts the engine, keeps the lines it sends, sends what a test says.
struct TScriptedServer : QTcpServer {
    QTcpSocket* Peer = nullptr;
    QList<QByteArray> Received;
    QByteArray Pending;
    TScriptedServer() {
        connect(this, &QTcpServer::newConnection, [this] {
            Peer = nextPendingConnection();
            connect(Peer, &QTcpSocket::readyRead, [this] {
                Pending += Peer->readAll();
                qsizetype End;
                while ((End = Pending.indexOf("\r\n")) >= 0) {
                    Received << Pending.left(End);
                    Pending.remove(0, End + 2);
                }
            });
        });
        listen(QHostAddress::LocalHost);
    }
    void Send(const QByteArray& Bytes) {
        Peer->write(Bytes);
        Peer->flush();
    }
};

QString Name(const TUser* U) {
    return U ? QString::fromLatin1(U->Nick) : "nil";
}
QString Name(const TChannel* C) {
    return C ? QString::fromLatin1(C->Name) : "nil";
}

// Every event of the engine written down as one line of text, in firing order.
struct TEventLog {
    QStringList Events;
    QList<QByteArray> Sent;
    void Attach(TIRCClient& E) {
        const auto Add = [this](const QString& S) { Events << S; };
        E.OnMessage = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
            Add(QString("message %1 %2 %3").arg(Name(U), Name(C), T));
        };
        E.OnNotice = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
            Add(QString("notice %1 %2 %3").arg(Name(U), Name(C), T));
        };
        E.OnAction = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
            Add(QString("action %1 %2 %3").arg(Name(U), Name(C), T));
        };
        E.OnJoin = [Add](TIRCClient*, TUser* U, TChannel* C) {
            Add("join " + Name(U) + ' ' + Name(C));
        };
        E.OnJoined = [Add](TIRCClient*, TChannel* C) { Add("joined " + Name(C)); };
        E.OnPart = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray&) {
            Add(QString("part %1 %2 %3").arg(Name(U), Name(C), U->Comment));
        };
        E.OnParted = [Add](TIRCClient*, TChannel* C) { Add("parted " + Name(C)); };
        E.OnKick = [Add](TIRCClient*, TUser* U, TUser* V, TChannel* C) {
            Add(QString("kick %1 %2 %3 %4").arg(Name(U), Name(V), Name(C), V->Comment));
        };
        E.OnKicked = [Add](TIRCClient*, TUser* U, TChannel* C) {
            Add("kicked " + Name(U) + ' ' + Name(C));
        };
        E.OnNickChange = [Add](TIRCClient*, TUser* U, const QByteArray& N) {
            Add(QString("nick %1 %2").arg(Name(U), N));
        };
        E.OnNickChanged = [Add, &E](TIRCClient*) { Add("nickchanged " + E.CurrentNick); };
        E.OnQuit = [Add](TIRCClient*, TUser* U) {
            Add(QString("quit %1 %2").arg(Name(U), U->Comment));
        };
        E.OnTopic = [Add](TIRCClient*, TUser* U, TChannel* C) {
            Add(QString("topic %1 %2 %3").arg(Name(U), Name(C), C ? C->Topic : ""));
        };
        E.OnNoTopic = [Add](TIRCClient*, TChannel* C) { Add("notopic " + Name(C)); };
        E.OnInvite = [Add](TIRCClient*, TUser* U, const QByteArray& C) {
            Add("invite " + Name(U) + ' ' + C);
        };
        E.OnKill = [Add](TIRCClient*, TUser* U, const QByteArray& V, const QByteArray& R) {
            Add(QString("kill %1 %2 %3").arg(Name(U), V, R));
        };
        E.OnWallops = [Add](TIRCClient*, TUser* U, const QByteArray& T) {
            Add("wallops " + Name(U) + ' ' + T);
        };
        E.OnPingPong = [Add](TIRCClient*) { Add("pingpong"); };
        E.OnError = [Add](TIRCClient*, TUser*, const QByteArray& N, const QByteArray& T) {
            Add(QString("error %1 %2").arg(N, T));
        };
        E.OnSystem = [Add](TIRCClient*, TUser*, const QByteArray& C, const QByteArray& T) {
            Add(QString("system %1 %2").arg(C, T));
        };
        E.OnUnknownCommand = [Add](TIRCClient*, TUser* U, const QByteArray& C,
                                   const QByteArray& T) {
            Add(QString("unknown %1 %2 %3").arg(Name(U), C, T));
        };
        const auto Op = [Add](const char* What) {
            return [Add, What](TIRCClient*, TUser* U, TChannel* C, TUser* T) {
                Add(QString("%1 %2 %3 %4").arg(What, Name(U), Name(C), Name(T)));
            };
        };
        E.OnOp = Op("op");
        E.OnDeop = Op("deop");
        E.OnVoice = Op("voice");
        E.OnDevoice = Op("devoice");
        E.OnBan = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& M) {
            Add(QString("ban %1 %2 %3").arg(Name(U), Name(C), M));
        };
        E.OnUnban = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& M) {
            Add(QString("unban %1 %2 %3").arg(Name(U), Name(C), M));
        };
        E.OnChannelMode = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& M) {
            Add(QString("chanmode %1 %2 %3").arg(Name(U), Name(C), M));
        };
        E.OnUserMode = [Add](TIRCClient*) { Add("usermode"); };
        E.OnUserModeChanged = [Add, &E](TIRCClient*) {
            Add(QString("usermodechanged %1").arg(E.UserMode()));
        };
        E.OnAway = [Add](TIRCClient*, TUser* U) { Add("away " + Name(U) + ' ' + U->Comment); };
        E.OnNowAway = [Add](TIRCClient*) { Add("nowaway"); };
        E.OnUnAway = [Add](TIRCClient*) { Add("unaway"); };
        E.OnInviting = [Add](TIRCClient*, const QByteArray& N, const QByteArray& C) {
            Add("inviting " + N + ' ' + C);
        };
        E.OnCTCPQuery = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& W,
                              const QByteArray& A, bool& Suppress) {
            Add(QString("ctcp %1 %2 %3 [%4]").arg(Name(U), Name(C), W, A));
            Suppress = A == "suppress";
        };
        E.OnCTCPReply = [Add](TIRCClient*, TUser* U, TChannel* C, const QByteArray& W,
                              const QByteArray& A) {
            Add(QString("ctcpreply %1 %2 %3 [%4]").arg(Name(U), Name(C), W, A));
        };
        E.OnStartChannelInfo = [Add](TIRCClient*) { Add("liststart"); };
        E.OnAddChannelInfo = [Add](TIRCClient*, const QByteArray& N, int Count,
                                   const QByteArray& D) {
            Add(QString("listadd %1 %2 %3").arg(N).arg(Count).arg(D));
        };
        E.OnEndChannelInfo = [Add](TIRCClient*) { Add("listend"); };
        E.OnChannelUpdate = [Add](TChannel* C, TChannelUpdateType T, TUser* U, int Info) {
            Add(QString("update %1 %2 %3 %4").arg(Name(C)).arg(int(T)).arg(Name(U)).arg(Info));
        };
        E.OnSend = [this](TIRCClient*, const QByteArray& Line) { Sent << Line; };
    }
};

// An engine registered as "me" on a scripted server and in #c with @me, alice, +bob and carol.
struct TSession {
    TScriptedServer Server;
    TIRCClient Engine;
    TEventLog Log;
    bool Open() {
        Engine.Server = "127.0.0.1";
        Engine.Port = QByteArray::number(Server.serverPort());
        Engine.SetNick("me");
        Log.Attach(Engine);
        Engine.Connect();
        if (!QTest::qWaitFor([this] { return Server.Received.size() >= 2; }, 5000)) return false;
        for (const QByteArray& Line :
             {QByteArray(":srv 001 me :Welcome"), QByteArray(":me!u@h JOIN #c"),
              QByteArray(":srv 353 me = #c :@me alice +bob carol")})
            Engine.DispatchLine(Line);
        Log.Events.clear();
        Log.Sent.clear();
        return Engine.State == csRegistered;
    }
};

} // namespace

class TestIrcEngine : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void registrationLines_data();
    void registrationLines();
    void nickCollision_data();
    void nickCollision();
    void connectWhileRegistered();
    void parse_data();
    void parse();
    void routing_data();
    void routing();
    void members();
    void nickTakenOver();
    void userTables();
    void outgoing_data();
    void outgoing();
    void mends();
    void hostileServer_data();
    void hostileServer();
};

void TestIrcEngine::lineEnds_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QList<QByteArray>{"abc\r\n"} << QStringList{"abc"};
    QTest::newRow("LF") << QList<QByteArray>{"abc\n"} << QStringList{"abc"};
    QTest::newRow("lone CR before LF") << QList<QByteArray>{"a\rb\n"} << QStringList{"a", "b"};
    QTest::newRow("CR waits for a later LF") << QList<QByteArray>{"abc\r"} << QStringList{"abc"};
    QTest::newRow("empty line") << QList<QByteArray>{"\r\n"} << QStringList{};
    QTest::newRow("split anywhere")
        << QList<QByteArray>{"ab", "c\r", "\nde", "f\n"} << QStringList{"abc", "def"};
}

void TestIrcEngine::lineEnds() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, lines);
    TSession S;
    QVERIFY(S.Open());
    QStringList Got;
    S.Engine.OnReceive = [&](TIRCClient*, const QByteArray& L) { Got << L; };
    for (const QByteArray& Chunk : chunks) {
        S.Server.Send(Chunk);
        QTest::qWait(30);
    }
    S.Server.Send(":srv PING :end\r\n"); // a line after the case shows everything was read
    QTRY_VERIFY(Got.contains(":srv PING :end"));
    Got.removeAll(":srv PING :end");
    QCOMPARE(Got, lines);
}

void TestIrcEngine::registrationLines_data() {
    QTest::addColumn<bool>("ircx");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("count");
    QTest::newRow("plain") << false << QByteArray() << 2;
    QTest::newRow("password") << false << QByteArray("pw") << 3;
    QTest::newRow("ircx and password") << true << QByteArray("pw") << 5;
}

void TestIrcEngine::registrationLines() {
    QFETCH(bool, ircx);
    QFETCH(QByteArray, password);
    QFETCH(int, count);
    QList<TClientState> States; // before the engine: its destruction still reports
    TScriptedServer Server;
    TIRCClient E;
    E.Server = "127.0.0.1";
    E.Port = QByteArray::number(Server.serverPort());
    E.SetNick("me");
    E.IRCX = ircx;
    E.Password = password;
    E.Username = "user";
    E.RealName = "Real Person";
    E.OnStateChange = [&](TIRCClient*) { States << E.State; };
    E.Connect();
    QTRY_COMPARE(Server.Received.size(), count);
    QTest::qWait(50);
    QCOMPARE(Server.Received.size(), count);
    QList<QByteArray> Expected;
    if (ircx)
        Expected << "MODE ISIRCX"
                 << "IRCX";
    if (!password.isEmpty()) Expected << "PASS " + password;
    Expected << "NICK me";
    QCOMPARE(Server.Received.mid(0, count - 1), Expected);
    const QList<QByteArray> User = Server.Received.last().split(' ');
    QCOMPARE(User[0], QByteArray("USER"));
    QCOMPARE(User[1], QByteArray("user"));
    QCOMPARE(User[2], TCustomWSockets::LocalIP().isEmpty() ? QByteArray("0.0.0.0")
                                                           : TCustomWSockets::LocalIP());
    QCOMPARE(User[3], QByteArray("127.0.0.1"));
    QVERIFY(Server.Received.last().endsWith(" :Real Person"));
    Server.Send(":srv 375 me :- motd\r\n:srv 001 me :hi\r\n");
    QTRY_COMPARE(E.State, csRegistered);
    QCOMPARE(States, (QList<TClientState>{csConnecting, csConnected, csRegistered}));
}

void TestIrcEngine::nickCollision_data() {
    QTest::addColumn<bool>("handler");
    QTest::addColumn<QList<QByteArray>>("nicks");
    QTest::addColumn<bool>("disconnected");
    QTest::newRow("no handler: both refused ends it")
        << false << QList<QByteArray>{"NICK a", "NICK b"} << true;
    QTest::newRow("handler: its nick is tried")
        << true << QList<QByteArray>{"NICK a", "NICK b", "NICK b1"} << false;
    // A server that refuses everything: the handler is asked a bounded number of times.
    QTest::newRow("refused for ever")
        << true << QList<QByteArray>{"NICK a",    "NICK b",     "NICK b1",    "NICK b11",
                                     "NICK b111", "NICK b1111", "NICK b11111"}
        << true;
}

void TestIrcEngine::nickCollision() {
    QFETCH(bool, handler);
    QFETCH(QList<QByteArray>, nicks);
    QFETCH(bool, disconnected);
    int Disconnects = 0; // before the engine: its destruction still reports
    TScriptedServer Server;
    TIRCClient E;
    E.Server = "127.0.0.1";
    E.Port = QByteArray::number(Server.serverPort());
    E.SetNick("a");
    E.AltNick = "b";
    E.OnDisconnect = [&](TIRCClient*) { ++Disconnects; };
    if (handler) E.OnNicksInUse = [](TIRCClient*, QByteArray& Nick) { Nick += '1'; };
    E.Connect();
    QTRY_COMPARE(Server.Received.size(), 2);
    for (int Refusal = 0; Refusal < nicks.size() - (disconnected ? 0 : 1); ++Refusal) {
        if (!E.Connected()) break;
        Server.Send(":srv 433 * " + E.CurrentNick + " :Nickname is already in use\r\n");
        QTRY_VERIFY(!E.Connected() || Server.Received.size() >= Refusal + 3);
    }
    QTest::qWait(50);
    QList<QByteArray> Nicks;
    for (const QByteArray& L : Server.Received)
        if (L.startsWith("NICK")) Nicks << L;
    QCOMPARE(Nicks, nicks);
    QCOMPARE(!E.Connected(), disconnected);
    QCOMPARE(Disconnects, disconnected ? 1 : 0);
}

void TestIrcEngine::connectWhileRegistered() {
    TSession S;
    QVERIFY(S.Open());
    QStringList Order;
    S.Engine.OnStateChange = [&](TIRCClient* E) { Order << QString("state %1").arg(E->State); };
    S.Engine.OnDisconnect = [&](TIRCClient* E) {
        Order << "disconnect";
        QVERIFY(E->Channels->Find("#c")); // gone only when the next connection starts
    };
    S.Engine.Connect();
    // The engine outlives this function's locals: its closing events must not reach them.
    S.Engine.OnStateChange = nullptr;
    S.Engine.OnDisconnect = nullptr;
    QCOMPARE(Order, (QStringList{"state 0", "disconnect", "state 1"}));
    QCOMPARE(S.Engine.Channels->Count(), 0);
    QCOMPARE(S.Engine.Users->Count(), 1); // ourselves
}

void TestIrcEngine::parse_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArrayList>("fields"); // slots 0..5
    QTest::addColumn<QByteArray>("nick");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("privmsg") << QByteArray(":nick!user@host PRIVMSG #chan :hello there")
                             << QByteArrayList{"nick!user@host", "PRIVMSG", "#chan",
                                               "hello there",    "",        ""}
                             << QByteArray("nick") << QByteArray("user@host");
    QTest::newRow("server numeric")
        << QByteArray(":irc.test 001 me :Welcome home")
        << QByteArrayList{"irc.test", "001", "me", "Welcome home", "", ""} << QByteArray()
        << QByteArray("irc.test");
    QTest::newRow("no prefix") << QByteArray("PING :abc")
                               << QByteArrayList{"", "PING", "abc", "", "", ""} << QByteArray()
                               << QByteArray();
    QTest::newRow("two blanks") << QByteArray(":s 353 me  #c :x")
                                << QByteArrayList{"s", "353", "me", "", "#c", "x"} << QByteArray()
                                << QByteArray("s");
    QTest::newRow("no blank after command")
        << QByteArray(":s QUIT") << QByteArrayList{"s", "", "QUIT", "", "", ""} << QByteArray()
        << QByteArray("s");
    QTest::newRow("fourteen parameters")
        << QByteArray("X 1 2 3 4 5 6 7 8 9 10 11 12 13 14")
        << QByteArrayList{"", "X", "1", "2", "3", "4"} << QByteArray() << QByteArray();
}

void TestIrcEngine::parse() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArrayList, fields);
    QFETCH(QByteArray, nick);
    QFETCH(QByteArray, host);
    TIRCClient E;
    E.DispatchLine(line);
    for (int I = 0; I < fields.size(); ++I)
        QCOMPARE(E.Params[I], fields[I]);
    QCOMPARE(E.PrefixNick, nick);
    QCOMPARE(E.PrefixHost, host);
    if (line.startsWith("X 1")) QCOMPARE(E.Params[14], QByteArray("13")); // the 14th has no slot
    QCOMPARE(E.Users->Alive(), 0); // the line's user was released
}

void TestIrcEngine::routing_data() {
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QByteArrayList>("sent");
    const auto Row = [](const char* Name, QByteArrayList Lines, QStringList Events,
                        QByteArrayList Sent = {}) {
        QTest::newRow(Name) << Lines << Events << Sent;
    };
    Row("channel message", {":alice!a@h PRIVMSG #c :hi"}, {"message alice #c hi"});
    Row("private message", {":dan!d@h PRIVMSG me :psst"}, {"message dan nil psst"});
    Row("notice", {":alice!a@h NOTICE me :note"}, {"notice alice nil note"});
    Row("ping", {"PING :abc"}, {"pingpong"}, {"PONG :abc"});
    Row("join of another", {":dan!d@h JOIN #c"}, {"update #c 5 dan 4", "join dan #c"});
    Row("our join", {":me!u@h JOIN #new"}, {"joined #new"}, {"MODE #new "});
    Row("part with message", {":alice!a@h PART #c :bye now"},
        {"update #c 6 alice 1", "part alice #c bye now"});
    Row("our part", {":me!u@h PART #c"}, {"parted #c"});
    Row("kick", {":me!u@h KICK #c bob :behave"}, {"kick me bob #c behave", "update #c 7 bob 2"});
    Row("kicked", {":alice!a@h KICK #c me :out"}, {"kicked alice #c"});
    Row("nick of another", {":alice!a@h NICK ally"}, {"nick alice ally", "update #c 4 alice 1"});
    Row("our nick", {":me!u@h NICK mine"}, {"nickchanged mine", "update #c 4 me 0"});
    Row("quit", {":carol!c@h QUIT :gone"}, {"quit carol gone", "update #c 8 carol 3"});
    Row("topic", {":alice!a@h TOPIC #c :new topic"},
        {"update #c 1 nil 0", "topic alice #c new topic"});
    Row("invite", {":alice!a@h INVITE me #x"}, {"invite alice me"});
    Row("kill", {":op!o@h KILL carol :flood"}, {"kill op carol flood"});
    Row("wallops", {":op!o@h WALLOPS :hear ye"}, {"wallops op hear ye"});
    Row("unknown word", {":s FOO bar :baz"}, {"unknown  FOO bar :baz"});
    Row("modes, flags untouched", {":me!u@h MODE #c +ov-b alice bob *!*@bad"},
        {"chanmode me #c +ov-b", "op me #c alice", "update #c 2 alice 1", "voice me #c bob",
         "update #c 2 bob 2", "unban me #c *!*@bad"});
    Row("limit and key", {":me!u@h MODE #c +lk 10 secret"},
        {"chanmode me #c +lk", "update #c 0 nil 0", "update #c 0 nil 0", "update #c 0 nil 0"});
    Row("key removed without argument", {":me!u@h MODE #c +k k1", ":me!u@h MODE #c -k"},
        {"chanmode me #c +k", "update #c 0 nil 0", "update #c 0 nil 0", "chanmode me #c -k",
         "update #c 0 nil 0", "update #c 0 nil 0"});
    Row("mode on an unknown channel", {":me!u@h MODE #zz +o alice"}, {});
    Row("op for a stranger", {":me!u@h MODE #c +o dan"}, {"chanmode me #c +o", "op me #c nil"});
    Row("our user modes", {":me MODE me :+iw-o"}, {"usermode", "usermodechanged 9"});
    Row("suppressed by OnRaw", {":alice!a@h PRIVMSG #c :raw-suppress"}, {});
    Row("welcome", {":s 002 me :host info"}, {"system WELCOME me :host info"});
    Row("list",
        {":s 321 me Channel :Users Name", ":s 322 me #games 12 :hello", ":s 322 me #x many :t",
         ":s 323 me :End"},
        {"system LIST Start of LIST", "liststart", "system LIST me #games 12",
         "listadd #games 12 hello", "system LIST me #x many", "listadd #x 0 t", "system LIST me",
         "listend"});
    Row("whois", {":s 311 me alice al host * :Alice A", ":s 317 me alice 30 99 :idle"},
        {"system WHOIS alice is al@host * Alice A",
         "system WHOIS alice has been idle 30 seconds, signed on at 99"});
    Row("away", {":s 301 me alice :lunch", ":s 306 me :away", ":s 305 me :back"},
        {"away  alice", "nowaway", "unaway"});
    Row("topics", {":s 332 me #c :the topic", ":s 331 me #c :No topic"},
        {"update #c 1 nil 0", "topic  #c the topic", "update #c 1 nil 0", "notopic #c"});
    Row("names again", {":s 353 me = #c :@alice dan"},
        {"system NAMES #c :@alice dan", "update #c 3 nil 0"});
    Row("inviting", {":s 341 me alice #x"}, {"inviting alice me"});
    Row("errors", {":s 404 me #c :Cannot send", ":s 433 me x :in use"},
        {"error 404 me #c :Cannot send", "error 433 me x :in use"});
    Row("numbers without handling", {":s 005 me A=1 :ok", ":s 999 me x"},
        {"unknown  005 me A=1 :ok", "unknown  999 me x"});
    Row("ctcp version to channel", {":dan!d@h PRIVMSG #c :\x01VERSION\x01"},
        {"ctcp dan #c VERSION []"},
        {"NOTICE dan :\x01VERSION TIRCClient 0.1 by the Scoutly Lite developers\x01"});
    Row("ctcp ping echoed", {":dan!d@h PRIVMSG me :\x01PING 12345\x01"},
        {"ctcp dan nil PING [12345]"}, {"NOTICE dan :\x01PING 12345\x01"});
    Row("ctcp finger empty",
        {":dan!d@h PRIVMSG me :\x01"
         "FINGER\x01"},
        {"ctcp dan nil FINGER []"},
        {"NOTICE dan :\x01"
         "FINGER \x01"});
    Row("ctcp suppressed", {":dan!d@h PRIVMSG me :\x01VERSION suppress\x01"},
        {"ctcp dan nil VERSION [suppress]"});
    Row("ctcp dcc",
        {":dan!d@h PRIVMSG #c :\x01"
         "DCC SEND f 1 2 3\x01"},
        {"ctcp dan nil DCC [SEND f 1 2 3]"});
    Row("ctcp action",
        {":dan!d@h PRIVMSG #c :\x01"
         "ACTION waves\x01"},
        {"action dan #c waves"});
    Row("ctcp lower case is unknown", {":dan!d@h PRIVMSG me :\x01version\x01"},
        {"ctcp dan nil version []"});
    Row("ctcp without closing", {":dan!d@h PRIVMSG me :\x01PING 12"}, {"ctcp dan nil PING [1]"},
        {"NOTICE dan :\x01PING 1\x01"});
    Row("ctcp bare frame", {":dan!d@h PRIVMSG me :\x01"}, {"ctcp dan nil  []"});
    Row("ctcp replies",
        {":dan!d@h NOTICE me :\x01VERSION x 1\x01", ":dan!d@h NOTICE me :\x01"
                                                    "DCC x\x01"},
        {"ctcpreply dan nil VERSION [x 1]"});
}

void TestIrcEngine::routing() {
    QFETCH(QByteArrayList, lines);
    QFETCH(QStringList, events);
    QFETCH(QByteArrayList, sent);
    TSession S;
    QVERIFY(S.Open());
    S.Engine.OnRaw = [](TIRCClient*, TUser*, const QByteArray&, const QByteArray& Content,
                        bool& Suppress) { Suppress = Content.contains("raw-suppress"); };
    const int Alive = S.Engine.Users->Alive();
    for (const QByteArray& Line : lines)
        S.Engine.DispatchLine(Line);
    QCOMPARE(S.Log.Events, events);
    QCOMPARE(S.Log.Sent, sent);
    // A user met only in passing is gone once the line is done.
    if (lines.first().contains("dan!") && !lines.first().contains("JOIN"))
        QCOMPARE(S.Engine.Users->Alive(), Alive);
}

void TestIrcEngine::members() {
    TSession S;
    QVERIFY(S.Open());
    TChannel* C = S.Engine.Channels->Find("#C"); // names ignore letter case
    QVERIFY(C);
    QStringList Members;
    for (int I = 0; I < C->Members.Count(); ++I)
        Members << QString("%1:%2").arg(QString(C->Members.Nick(I))).arg(C->Members.Flags(I));
    QCOMPARE(Members, (QStringList{"me:1", "alice:0", "bob:2", "carol:0"}));
    S.Engine.DispatchLine(":s 353 me = #c :@carol+ alice");
    QCOMPARE(C->Members.Flags(3), 0); // already listed: unchanged
    S.Engine.DispatchLine(":me!u@h MODE #c +o alice");
    S.Engine.DispatchLine(":me!u@h MODE #c +v alice");
    QCOMPARE(S.Log.Events.filter("update #c 2 alice"),
             (QStringList{"update #c 2 alice 1", "update #c 2 alice 3"}));
    // Many members: positions stay right through departures and renames.
    // As a server sends it: many NAMES lines, each within the protocol's 512 bytes.
    for (int First = 0; First < 5000; First += 50) {
        QByteArray Names;
        for (int I = First; I < First + 50; ++I)
            Names += "u" + QByteArray::number(I) + ' ';
        S.Engine.DispatchLine(":s 353 me = #c :" + Names);
    }
    QCOMPARE(C->Members.Count(), 5004);
    for (int I = 0; I < 5000; I += 2)
        S.Engine.DispatchLine(":u" + QByteArray::number(I) + "!x@y PART #c");
    S.Engine.DispatchLine(":u4999!x@y NICK last");
    QCOMPARE(C->Members.Count(), 2504);
    QCOMPARE(C->Members.IndexOf("u1"), 4);
    QCOMPARE(C->Members.IndexOf("LAST"), 2503);
    QCOMPARE(C->Members.Nick(2502), QByteArray("u4997"));
    QCOMPARE(S.Log.Events.last(), QString("update #c 4 u4999 2503"));
}

// A hostile server renames someone onto a nick still in use: the previous holder leaves, and
// every membership stays counted on the user who holds it.
void TestIrcEngine::nickTakenOver() {
    TSession S;
    QVERIFY(S.Open());
    const int Alive = S.Engine.Users->Alive();
    for (const char* Line : {":dan!d@x JOIN #c", ":dan!d@x NICK daniel", ":carl!c@x NICK daniel",
                             ":daniel!d@x PART #c", ":alice!a@h NICK bob"})
        S.Engine.DispatchLine(Line);
    TChannel* C = S.Engine.Channels->Find("#c");
    QStringList Members;
    for (int I = 0; I < C->Members.Count(); ++I)
        Members << C->Members.Nick(I);
    QCOMPARE(Members, (QStringList{"me", "bob", "carol"}));
    QCOMPARE(S.Log.Events.filter("part "), QStringList{"part daniel #c "});
    S.Engine.DispatchLine(":bob!a@h PART #c");
    QCOMPARE(S.Engine.Users->Alive(), Alive - 2);
    // The previous holder sits in two channels: it leaves both.
    for (const char* Line :
         {":me!u@h JOIN #d", ":eve!e@h JOIN #c", ":eve!e@h JOIN #d", ":zed!z@h NICK eve"})
        S.Engine.DispatchLine(Line);
    QCOMPARE(S.Engine.Channels->Find("#c")->Members.IndexOf("eve"), -1);
    QCOMPARE(S.Engine.Channels->Find("#d")->Members.IndexOf("eve"), -1);
    QCOMPARE(S.Engine.Users->Alive(), Alive - 2);
}

void TestIrcEngine::userTables() {
    TIRCClient E;
    TUser* Alice = E.Users->Add("alice", "a@h");
    TUser* Bob = E.Users->Add("Bob", "b@h");
    QCOMPARE(E.Users->Add("ALICE", "a2@h"), Alice);
    QCOMPARE(Alice->RefCount, 2);
    QCOMPARE(Alice->UserHost, QByteArray("a2@h"));
    // Renamed onto a listed nick: that entry now names the renamed object.
    E.Users->Rename("alice", "bob");
    QCOMPARE(E.Users->Find("BOB"), Alice);
    QCOMPARE(E.Users->Find("alice"), nullptr);
    QCOMPARE(Alice->Nick, QByteArray("bob"));
    E.Users->Release(Bob); // the unlisted object goes with its last reference
    QCOMPARE(E.Users->Alive(), 1);
    E.Users->Release(Alice);
    E.Users->Release(Alice);
    QCOMPARE(E.Users->Alive(), 0);
    QVERIFY(!E.Users->Find("bob"));
    // A channel named again with other letter case replaces the old one.
    E.Channels->Add("#Chan")->Topic = "old";
    TChannel* Second = E.Channels->Add("#chan");
    QCOMPARE(E.Channels->Count(), 1);
    QCOMPARE(E.Channels->Find("#CHAN"), Second);
    QCOMPARE(Second->Topic, QByteArray());
}

void TestIrcEngine::outgoing_data() {
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("join") << QByteArray("Join #c") << QByteArray("JOIN #c");
    QTest::newRow("join with key") << QByteArray("Join #c k") << QByteArray("JOIN #c k");
    QTest::newRow("part") << QByteArray("Part #c") << QByteArray("PART #c");
    QTest::newRow("part with reason") << QByteArray("Part #c bye") << QByteArray("PART #c :bye");
    QTest::newRow("quit") << QByteArray("Quit") << QByteArray("QUIT :");
    QTest::newRow("mode") << QByteArray("Mode #c +o a") << QByteArray("MODE #c +o a");
    QTest::newRow("mode request") << QByteArray("Mode #c") << QByteArray("MODE #c ");
    QTest::newRow("ctcp query upper-cased") << QByteArray("CTCPQuery x dcc send")
                                            << QByteArray("PRIVMSG x :\x01"
                                                          "DCC SEND \x01");
    QTest::newRow("ctcp reply keeps case")
        << QByteArray("CTCPReply x version") << QByteArray("NOTICE x :\x01version \x01");
    QTest::newRow("empty action") << QByteArray("Action x")
                                  << QByteArray("PRIVMSG x :\x01"
                                                "ACTION \x01");
    QTest::newRow("topic") << QByteArray("SetTopic #c t") << QByteArray("TOPIC #c :t");
    QTest::newRow("list") << QByteArray("List") << QByteArray("LIST");
    QTest::newRow("nick while connected") << QByteArray("Nick other") << QByteArray("NICK other");
}

void TestIrcEngine::outgoing() {
    QFETCH(QByteArray, operation);
    QFETCH(QByteArray, line);
    TSession S;
    QVERIFY(S.Open());
    TIRCClient& E = S.Engine;
    const QList<QByteArray> W = operation.split(' ');
    const auto A = [&](int I) { return W.value(I); };
    if (W[0] == "Join") E.Join(A(1), A(2));
    if (W[0] == "Part") E.Part(A(1), A(2));
    if (W[0] == "Quit") E.Quit(A(1));
    if (W[0] == "Mode") E.Mode(A(1), A(2), A(3));
    if (W[0] == "CTCPQuery") E.CTCPQuery(A(1), A(2) + (W.size() > 3 ? ' ' + A(3) : ""), {});
    if (W[0] == "CTCPReply") E.CTCPReply(A(1), A(2), {});
    if (W[0] == "Action") E.Action(A(1), {});
    if (W[0] == "SetTopic") E.SetTopic(A(1), A(2));
    if (W[0] == "List") E.List();
    if (W[0] == "Nick") {
        E.SetNick(A(1));
        QCOMPARE(E.Nick(), QByteArray("me")); // until the server confirms
    }
    QCOMPARE(S.Log.Sent, QList<QByteArray>{line});
    QTRY_VERIFY(S.Server.Received.contains(line));
}

void TestIrcEngine::mends() {
    TSession S;
    QVERIFY(S.Open());
    // Text never opens a line of its own.
    S.Engine.PrivMsg("#c", "hi\r\nQUIT :owned");
    S.Engine.DispatchLine(":x!y@z PRIVMSG me :\x01PING a\nKILL b\x01");
    S.Engine.Notice("#c", QByteArray("one\0two", 7));
    QCOMPARE(S.Log.Sent,
             (QList<QByteArray>{"PRIVMSG #c :hi", "NOTICE x :\x01PING a", "NOTICE #c :one"}));
    // Sending while disconnected.
    TIRCClient Idle;
    QStringList Errors;
    Idle.OnError = [&](TIRCClient*, TUser* U, const QByteArray& N, const QByteArray& E) {
        Errors << QString("%1|%2|%3").arg(U ? "user" : "nil", N, E);
    };
    Idle.PrivMsg("x", "y");
    QCOMPARE(Errors, QStringList{"nil||Not connected to server."});
    // Endless data without a line end is not kept: the connection is dropped.
    int Disconnects = 0;
    S.Engine.OnDisconnect = [&](TIRCClient*) { ++Disconnects; };
    S.Server.Send(QByteArray(70 * 1024, 'x'));
    QTRY_COMPARE(Disconnects, 1);
    QVERIFY(S.Log.Events.last().startsWith("error  The server sent a line longer than 64 KB"));
    QCOMPARE(S.Engine.State, csDisconnected);
    // Setting the user modes only counts while disconnected.
    S.Engine.SetUserMode(5);
    QCOMPARE(int(S.Engine.UserMode()), 5);
}

void TestIrcEngine::hostileServer_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a megabyte without a line end") << "megabyte";
    QTest::newRow("ten thousand names") << "names";
    QTest::newRow("kicked while joining") << "kicked";
    QTest::newRow("server gone mid-line") << "gone";
}

// Whatever the server does, the engine ends in a clear state and the next exchange works.
void TestIrcEngine::hostileServer() {
    QFETCH(QString, kind);
    TSession S;
    QVERIFY(S.Open());
    int Disconnects = 0;
    S.Engine.OnDisconnect = [&](TIRCClient*) { ++Disconnects; };
    const int Alive = S.Engine.Users->Alive();
    if (kind == "megabyte") {
        S.Server.Send(QByteArray(1024 * 1024, 'x'));
        QTRY_COMPARE(Disconnects, 1);
        QVERIFY(S.Log.Events.contains("error  The server sent a line longer than 64 KB: "
                                      "disconnected."));
    } else if (kind == "names") {
        QByteArray Lines;
        for (int First = 0; First < 10000; First += 40) {
            Lines += ":srv 353 me = #c :";
            for (int I = First; I < First + 40; ++I)
                Lines += (I % 7 ? "u" : "@u") + QByteArray::number(I) + ' ';
            Lines += "\r\n";
        }
        S.Server.Send(Lines + ":srv 366 me #c :End of /NAMES list.\r\nPING :alive\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(S.Server.Received.contains("PONG :alive"), 20000);
        QCOMPARE(S.Engine.Channels->Find("#c")->Members.Count(), 10004);
    } else if (kind == "kicked") {
        S.Engine.Join("#new", {});
        S.Server.Send(":me!u@h JOIN #new\r\n:op!o@h KICK #new me :not you\r\n"
                      ":srv 353 me = #new :@op me\r\n:srv 366 me #new :End\r\n"
                      ":op!o@h MODE #new +o me\r\nPING :alive\r\n");
        QTRY_VERIFY(S.Server.Received.contains("PONG :alive"));
        QVERIFY(S.Log.Events.contains("kicked op #new"));
        QVERIFY(!S.Engine.Channels->Find("#new"));
        QCOMPARE(S.Engine.Users->Alive(), Alive);
    } else {
        S.Server.Send(":alice!a@h PRIVMSG #c :half a li");
        S.Server.Peer->abort();
        QTRY_COMPARE(Disconnects, 1);
    }
    if (kind != "names" && kind != "kicked") {
        QCOMPARE(S.Engine.State, csDisconnected);
        // Connecting again works: a new connection, registration and the channel.
        S.Server.Received.clear();
        S.Engine.Connect();
        QTRY_COMPARE(S.Server.Received.size(), 2);
        S.Server.Send(":srv 001 me :Welcome back\r\n:me!u@h JOIN #c\r\n");
        QTRY_COMPARE(S.Engine.State, csRegistered);
        QTRY_VERIFY(S.Engine.Channels->Find("#c"));
    }
}

QTEST_GUILESS_MAIN(TestIrcEngine)
#include "tst_ircengine.moc"
