// The lab's servers are what every query and master-list test stands on, so they are checked
// on the wire: with raw sockets, through the scoutly-lab program and against qstat. Its chat
// bots are checked from a bare IRC connection on a real server.
#include "config/links.h"
#include "demo/demolab.h"
#include "labbanner.h"
#include "labchatbot.h"
#include "labgameserver.h"
#include "labmotd.h"
#include "labweb.h"
#include "peers/ngircd.h"
#include "portal/portaloptions.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QXmlStreamReader>
#include <QtEndian>
#include <bit>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <vector>

using TPairs = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(TLabServerConfig)
Q_DECLARE_METATYPE(TLabMasterConfig)
Q_DECLARE_METATYPE(TLabHLConfig)
Q_DECLARE_METATYPE(TLabMotdConfig)

namespace {

struct TArrival {
    QByteArray Data;
    qint64 AtMs;
};

// Sends Request and gathers datagrams until one carries \final or WaitMs pass. The server
// may live in this thread, so the wait must keep the event loop turning.
QList<TArrival> AskTimed(quint16 Port, const QByteArray& Request = "\\status\\", int WaitMs = 2000,
                         bool StopAtFinal = true) {
    QUdpSocket Socket;
    Socket.bind(QHostAddress::LocalHost, 0);
    QElapsedTimer Clock;
    Clock.start();
    Socket.writeDatagram(Request, QHostAddress::LocalHost, Port);
    QList<TArrival> Got;
    (void)QTest::qWaitFor(
        [&] {
            while (Socket.hasPendingDatagrams())
                Got.append({Socket.receiveDatagram().data(), Clock.elapsed()});
            return StopAtFinal && !Got.isEmpty() && Got.last().Data.contains("\\final");
        },
        WaitMs);
    return Got;
}

QList<QByteArray> Ask(quint16 Port, const QByteArray& Request = "\\status\\", int WaitMs = 2000,
                      bool StopAtFinal = true) {
    QList<QByteArray> Data;
    for (const TArrival& A : AskTimed(Port, Request, WaitMs, StopAtFinal))
        Data.append(A.Data);
    return Data;
}

// \k1\v1\k2\v2... into pairs; fails when a pair is cut in half.
bool ParsePairs(const QByteArray& Datagram, TPairs& Pairs) {
    if (!Datagram.startsWith('\\')) return false;
    const QList<QByteArray> Tokens = Datagram.mid(1).split('\\');
    if (Tokens.size() % 2) return false;
    for (qsizetype I = 0; I < Tokens.size(); I += 2)
        Pairs.append({Tokens[I], Tokens[I + 1]});
    return true;
}

QHash<QByteArray, QByteArray> PairMap(const TPairs& Pairs) {
    QHash<QByteArray, QByteArray> Map;
    for (const auto& [Key, Value] : Pairs)
        Map.insert(Key, Value);
    return Map;
}

// A whole reply's data pairs, after checking every datagram for whole pairs, queryid <n>.<k>
// and \final\ in the last one only (when FinalWanted; never otherwise).
struct TReply {
    TPairs Pairs;
    QByteArray QueryId;
    QString Error;
};

TReply ReadReply(const QList<QByteArray>& Datagrams, bool FinalWanted = true) {
    TReply Reply;
    if (Datagrams.isEmpty()) Reply.Error = "no reply";
    for (qsizetype K = 0; K < Datagrams.size() && Reply.Error.isEmpty(); ++K) {
        TPairs Pairs;
        if (!ParsePairs(Datagrams[K], Pairs) || Pairs.isEmpty()) {
            Reply.Error = "not whole pairs: " + QString::fromLatin1(Datagrams[K]);
            break;
        }
        const auto [Key, Number] = Pairs.takeLast();
        const QList<QByteArray> Parts = Number.split('.');
        const bool Final = !Pairs.isEmpty() && Pairs.last().first == "final";
        if (Final) Pairs.removeLast();
        if (Key != "queryid" || Parts.size() != 2 || Parts[1] != QByteArray::number(K + 1) ||
            (K > 0 && Parts[0] != Reply.QueryId))
            Reply.Error = "bad queryid in " + QString::fromLatin1(Datagrams[K]);
        else if (Final != (FinalWanted && K == Datagrams.size() - 1))
            Reply.Error = "misplaced or missing final in " + QString::fromLatin1(Datagrams[K]);
        else if (Pairs.isEmpty() && Datagrams.size() > 1)
            Reply.Error = "a split reply's datagram without data";
        Reply.QueryId = Parts[0];
        Reply.Pairs.append(Pairs);
    }
    return Reply;
}

#define READ_REPLY(Reply, Datagrams, FinalWanted)                                                  \
    const TReply Reply = ReadReply(Datagrams, FinalWanted);                                        \
    QVERIFY2(Reply.Error.isEmpty(), qPrintable(Reply.Error))

bool PortsFree(quint16 First, int Count) {
    std::vector<std::unique_ptr<QUdpSocket>> Sockets;
    for (int I = 0; I < Count; ++I) {
        Sockets.push_back(std::make_unique<QUdpSocket>());
        if (!Sockets.back()->bind(QHostAddress::LocalHost, First + I,
                                  QAbstractSocket::DontShareAddress))
            return false;
    }
    return true;
}

quint16 FreeBase(int Count) {
    for (int Try = 0; Try < 50; ++Try) {
        const auto Base = quint16(20000 + QRandomGenerator::global()->bounded(30000));
        if (PortsFree(Base, Count)) return Base;
    }
    return 0;
}

const char* const NoBin = "SCOUTLY_LAB_BIN must name the scoutly-lab program (ctest sets it)";

TLabPlayer Player(const char* Name, const char* Team, const char* Id, int Frags, int Deaths,
                  int Ping, const char* Mesh = "Human", const char* Skin = "Knight") {
    return {Name, Team, Id, Mesh, Skin, Frags, Deaths, Ping};
}

TLabServerConfig Busy() {
    TLabServerConfig C;
    C.HostName = "Alpha Keep";
    C.MapName = "ctf_bridge";
    C.GameType = "ctf";
    C.MaxPlayers = 12;
    C.Players = {Player("Bob", "red", "7", 3, 1, 40),
                 Player("Dark Lord", "blue", "9", 12, 0, 65, "Elf", "Mage"),
                 Player("Wren", "red", "11", -2, 5, 120, "Orc", "Brute")};
    C.Rules = {{"timelimit", "20"}, {"fraglimit", "50"}, {"password", "0"}};
    return C;
}

constexpr int ChallengeSize = 21; // \basic\\secure\ and six letters

struct TMasterRun {
    QByteArray Challenge, Sent, List;
    bool Closed = false;
};

// One client. Mode: how validation and request go out ("two" writes, "merged", "bytes") or
// what is wrong ("wrong", "missing"). Given the master, each write is waited for until it
// arrived, so the splits really reach it.
TMasterRun AskMaster(quint16 Port, const QByteArray& Game, const QByteArray& Mode = "two",
                     const TLabMasterServer* Master = nullptr) {
    TMasterRun Run;
    QTcpSocket Socket;
    QObject::connect(&Socket, &QTcpSocket::readyRead, [&] { Run.List += Socket.readAll(); });
    QObject::connect(&Socket, &QTcpSocket::disconnected, [&] { Run.Closed = true; });
    Socket.connectToHost(QHostAddress::LocalHost, Port);
    if (!QTest::qWaitFor([&] { return Run.List.size() >= ChallengeSize; }, 3000)) return Run;
    Socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    Run.Challenge = Run.List.left(ChallengeSize);
    const QByteArray Answer = Mode == "wrong" ? "AAAAAAAA" : LabValidate(Run.Challenge.right(6));
    const QByteArray All = "\\gamename\\tarnwick\\gamever\\01\\location\\0" +
                           (Mode == "missing" ? "" : "\\validate\\" + Answer) +
                           "\\final\\\\queryid\\1.1\\list\\\\gamename\\" + Game;
    QByteArrayList Parts{All.left(All.indexOf("\\list")), All.mid(All.indexOf("\\list"))};
    if (Mode == "merged") Parts = {All};
    if (Mode == "bytes") {
        Parts.clear();
        for (const char Byte : All)
            Parts.append(QByteArray(1, Byte));
    }
    for (const QByteArray& Part : Parts) {
        Socket.write(Part);
        Socket.flush();
        Run.Sent += Part;
        if (Master) (void)QTest::qWaitFor([&] { return Master->LastReceived() == Run.Sent; }, 1000);
    }
    (void)QTest::qWaitFor([&] { return Run.Closed; }, 5000);
    Run.List = Run.List.mid(ChallengeSize);
    return Run;
}

// Sends the three requests of one query and gathers up to Expected replies.
QList<QByteArray> AskHL(quint16 Port, int Expected) {
    QUdpSocket Socket;
    Socket.bind(QHostAddress::LocalHost, 0);
    for (const char* Word : {"info", "players", "rules"})
        Socket.writeDatagram(QByteArray(4, '\xff') + Word + "\r\n", QHostAddress::LocalHost, Port);
    QList<QByteArray> Got;
    (void)QTest::qWaitFor(
        [&] {
            while (Socket.hasPendingDatagrams())
                Got.append(Socket.receiveDatagram().data());
            return Got.size() >= Expected;
        },
        2000);
    return Got;
}

// Reads a binary reply after its kind byte; reading past the end clears Ok.
struct TReader {
    QByteArray D;
    qsizetype At = 5;
    bool Ok = true;
    QByteArray Str() {
        const qsizetype End = D.indexOf('\0', At);
        Ok = Ok && End >= 0;
        const qsizetype From = std::exchange(At, End < 0 ? D.size() : End + 1);
        return D.mid(From, End - From);
    }
    template <typename T> T Num() {
        Ok = Ok && At + qsizetype(sizeof(T)) <= D.size();
        const T V = Ok ? qFromLittleEndian<T>(D.constData() + At) : T{};
        At += sizeof(T);
        return V;
    }
};

// A bare IRC user that keeps every line it gets.
struct TIrcUser {
    explicit TIrcUser(quint16 Port, const QByteArray& Nick) : Nick(Nick) {
        QObject::connect(&Socket, &QTcpSocket::readyRead, [this] {
            Partial += Socket.readAll();
            for (qsizetype End; (End = Partial.indexOf("\r\n")) >= 0; Partial.remove(0, End + 2))
                Lines.append(Partial.left(End));
        });
        Socket.connectToHost(QHostAddress::LocalHost, Port);
        Send("NICK " + Nick);
        Send("USER u 0 * :u");
    }
    void Send(const QByteArray& Line) { Socket.write(Line + "\r\n"); }
    // The first line at or after From that matches, waiting for it; empty after WaitMs.
    QByteArray Await(const QString& Pattern, qsizetype From = 0, int WaitMs = 3000) {
        const QRegularExpression Re(Pattern);
        QByteArray Found;
        (void)QTest::qWaitFor(
            [&] {
                for (qsizetype I = From; I < Lines.size() && Found.isEmpty(); ++I)
                    if (Re.match(QString::fromUtf8(Lines[I])).hasMatch()) Found = Lines[I];
                return !Found.isEmpty();
            },
            WaitMs);
        return Found;
    }
    // Joins and waits for the channel's names; returns them.
    QByteArray Join(const QByteArray& Channel) {
        Send("JOIN " + Channel);
        return Await(" 353 " + Nick + " . " + Channel + " :");
    }

    QByteArray Nick;
    QTcpSocket Socket;
    QByteArrayList Lines;
    QByteArray Partial;
};

// One GET on its own connection, read until the server closes; Status -1 when the answer
// is not whole (no head, or a body of another length than announced).
struct THttpAnswer {
    int Status = -1;
    QByteArray Type, Body;
};

THttpAnswer HttpGet(quint16 Port, const QByteArray& Target) {
    QTcpSocket Socket;
    QByteArray Got;
    bool Closed = false;
    QObject::connect(&Socket, &QTcpSocket::readyRead, [&] { Got += Socket.readAll(); });
    QObject::connect(&Socket, &QTcpSocket::disconnected, [&] { Closed = true; });
    Socket.connectToHost(QHostAddress::LocalHost, Port);
    Socket.write("GET " + Target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: tst_lab\r\n\r\n");
    (void)QTest::qWaitFor([&] { return Closed; }, 5000);
    Got += Socket.readAll();
    THttpAnswer Answer;
    const qsizetype End = Got.indexOf("\r\n\r\n");
    if (!Closed || End < 0) return Answer;
    const QList<QByteArray> Head = Got.left(End).split('\n');
    qsizetype Length = -1;
    for (const QByteArray& Line : Head.mid(1)) {
        const QByteArray Name = Line.left(Line.indexOf(':')).trimmed().toLower();
        const QByteArray Value = Line.mid(Line.indexOf(':') + 1).trimmed();
        if (Name == "content-type") Answer.Type = Value;
        if (Name == "content-length") Length = Value.toLongLong();
    }
    Answer.Body = Got.mid(End + 4);
    if (Head[0].startsWith("HTTP/1.") && Length == Answer.Body.size())
        Answer.Status = Head[0].split(' ').value(1).toInt();
    return Answer;
}

// A loopback "http://127.0.0.1:PORT/..." address, sent byte for byte as given.
THttpAnswer HttpGet(const QString& Url) {
    const auto Match = QRegularExpression("^http://127\\.0\\.0\\.1:(\\d+)(/.*)$").match(Url);
    if (!Match.hasMatch()) return {};
    return HttpGet(quint16(Match.captured(1).toUInt()), Match.captured(2).toLatin1());
}

// As the program sends the request over HTTP: everything but letters and digits as %XX.
QByteArray PercentEncode(const QByteArray& Text) {
    QByteArray Out;
    for (const char C : Text)
        Out += std::isalnum(uchar(C)) && uchar(C) < 128
                   ? QByteArray(1, C)
                   : '%' + QByteArray::number(uchar(C), 16).rightJustified(2, '0').toUpper();
    return Out;
}

// How far apart two pictures are: the mean difference per colour channel, -1 for another size.
double PictureDistance(const QImage& A, const QImage& B) {
    if (A.size() != B.size()) return -1;
    const QImage X = A.convertToFormat(QImage::Format_RGB32),
                 Y = B.convertToFormat(QImage::Format_RGB32);
    double Sum = 0;
    for (int Row = 0; Row < X.height(); ++Row)
        for (int Col = 0; Col < X.width(); ++Col) {
            const QRgb P = X.pixel(Col, Row), Q = Y.pixel(Col, Row);
            Sum += std::abs(qRed(P) - qRed(Q)) + std::abs(qGreen(P) - qGreen(Q)) +
                   std::abs(qBlue(P) - qBlue(Q));
        }
    return Sum / (3.0 * X.width() * X.height());
}

const QByteArray MotdRequestText = "MOTD|030104|tarnwick|jo@example.org|Ab12-Cd34-Ef56-Gh78|N|1|1|"
                                   "Jo Doe|33|SW1A 1AA|";

} // namespace

class TestLab : public QObject {
    Q_OBJECT

private slots:
    void reply_data();
    void reply();
    void split_data();
    void split();
    void farmOnBasePort();
    void farmThread();
    void program_data();
    void program();
    void qstat_data();
    void qstat();
    void validate();
    void master_data();
    void master();
    void hl_data();
    void hl();
    void programMaster();
    void chatHelper_data();
    void chatHelper();
    void chatTalker();
    void chatProgram_data();
    void chatProgram();
    void motd_data();
    void motd();
    void documents_data();
    void documents();
    void programPortal_data();
    void programPortal();
    void portalOverrides_data();
    void portalOverrides();
    void demoLab_data();
    void demoLab();
    void demoLabReport_data();
    void demoLabReport();

private:
    // ngircd and a helper bot holding the channel, started by the first chat test.
    bool ChatUp();

    QUdpSocket FBusyPort;
    TPeer FIrc;
    std::unique_ptr<TLabChatBot> FHelper;
    int FVisitors = 0;
};

bool TestLab::ChatUp() {
    if (FHelper) return true;
    if (!FIrc.Why.isEmpty() || !StartNgircd(FIrc)) return false; // failed before: same reason
    TLabChatBotConfig C;
    C.Topic = "Lab topic — frag hard";
    auto Helper = std::make_unique<TLabChatBot>(C);
    Helper->Start("127.0.0.1", FIrc.Port);
    if (!QTest::qWaitFor([&] { return Helper->InChannel(); }, 5000)) {
        FIrc.Why = "the helper never joined: " + Helper->LastError();
        return false;
    }
    FHelper = std::move(Helper);
    return true;
}

void TestLab::reply_data() {
    QTest::addColumn<TLabServerConfig>("config");
    TLabServerConfig C;
    QTest::newRow("defaults, empty") << C;
    C = Busy();
    C.HostPort = "7777";
    QTest::newRow("players, rules, hostport") << C;
    C.MorrowKeys = false;
    C.HostPort.clear();
    QTest::newRow("no mesh/skin, no hostport") << C;
    C = Busy();
    C.NumPlayers = 9;
    C.Location = 3;
    C.GameMode = "closedplaying";
    QTest::newRow("numplayers disagrees") << C;
    C.Players = {Player("", "", "", 0, 0, 0, "", "")};
    C.Rules = {{"motd", "Welcome to the keep, stranger"}};
    QTest::newRow("empty values") << C;
}

void TestLab::reply() {
    QFETCH(TLabServerConfig, config);
    TLabGameServer Server(config);
    QVERIFY(Server.Listen());
    const QList<QByteArray> Datagrams = Ask(Server.Port());
    QCOMPARE(Datagrams.size(), 1);
    READ_REPLY(Reply, Datagrams, true);
    const TPairs& Pairs = Reply.Pairs;
    const auto Map = PairMap(Pairs);
    QCOMPARE(Map.size(), Pairs.size()); // no key twice

    const qsizetype PlayerKeys = config.MorrowKeys ? 8 : 6;
    QCOMPARE(Pairs.size(), 8 + !config.HostPort.isEmpty() + config.Players.size() * PlayerKeys +
                               config.Rules.size());
    QCOMPARE(Map.value("hostname"), config.HostName);
    QCOMPARE(Map.contains("hostport"), !config.HostPort.isEmpty());
    QCOMPARE(Map.value("hostport"), config.HostPort);
    QCOMPARE(Map.value("mapname"), config.MapName);
    QCOMPARE(Map.value("gametype"), config.GameType);
    QCOMPARE(Map.value("gamemode"), config.GameMode);
    QCOMPARE(Map.value("gamever"), config.GameVersion);
    QCOMPARE(Map.value("maxplayers").toInt(), config.MaxPlayers);
    QCOMPARE(Map.value("location").toInt(), config.Location);
    QCOMPARE(Map.value("numplayers").toInt(),
             config.NumPlayers < 0 ? config.Players.size() : config.NumPlayers);
    for (qsizetype I = 0; I < config.Players.size(); ++I) {
        const TLabPlayer& P = config.Players[I];
        const QByteArray N = "_" + QByteArray::number(I);
        QCOMPARE(Map.value("player" + N), P.Name);
        QCOMPARE(Map.value("frags" + N).toInt(), P.Frags);
        QCOMPARE(Map.value("deaths" + N).toInt(), P.Deaths);
        QCOMPARE(Map.value("ping" + N).toInt(), P.Ping);
        QCOMPARE(Map.value("team" + N), P.Team);
        QCOMPARE(Map.value("id" + N), P.Id);
        QCOMPARE(Map.contains("mesh" + N), config.MorrowKeys);
        QCOMPARE(Map.contains("skin" + N), config.MorrowKeys);
        if (config.MorrowKeys) {
            QCOMPARE(Map.value("mesh" + N), P.Mesh);
            QCOMPARE(Map.value("skin" + N), P.Skin);
        }
    }
    for (const auto& [Key, Value] : config.Rules)
        QCOMPARE(Map.value(Key), Value);

    TPairs TextPairs;
    QVERIFY(ParsePairs(LabStatusText(config), TextPairs));
    QCOMPARE(TextPairs, Pairs);
}

void TestLab::split_data() {
    QTest::addColumn<int>("players");
    QTest::addColumn<int>("datagrams");
    QTest::addColumn<bool>("noFinal");
    QTest::addColumn<int>("expected"); // -1: one per pair
    QTest::newRow("three") << 3 << 3 << false << 3;
    QTest::newRow("two, no final") << 3 << 2 << true << 2;
    QTest::newRow("one, no final") << 0 << 1 << true << 1;
    QTest::newRow("more than pairs") << 0 << 500 << false << -1;
    QTest::newRow("many players, seven") << 20 << 7 << false << 7;
}

void TestLab::split() {
    QFETCH(int, players);
    QFETCH(int, datagrams);
    QFETCH(bool, noFinal);
    QFETCH(int, expected);
    TLabServerConfig C = Busy();
    C.Players.clear();
    for (int I = 0; I < players; ++I)
        C.Players.append(Player("P", "red", "1", I, I, I));
    TLabGameServer Whole(C);
    C.Datagrams = datagrams;
    C.NoFinal = noFinal;
    TLabGameServer Split(C);
    QVERIFY(Whole.Listen() && Split.Listen());

    READ_REPLY(WholeReply, Ask(Whole.Port()), true);
    // Without \final the reply never looks complete, so wait out the datagrams.
    const QList<QByteArray> Parts = Ask(Split.Port(), "\\status\\", noFinal ? 150 : 2000);
    QCOMPARE(Parts.size(), expected < 0 ? WholeReply.Pairs.size() : expected);
    READ_REPLY(SplitReply, Parts, !noFinal);
    QCOMPARE(SplitReply.Pairs, WholeReply.Pairs);
}

void TestLab::farmOnBasePort() {
    const quint16 Base = FreeBase(7);
    QVERIFY(Base);
    QList<TLabServerConfig> Configs(5);
    for (int I = 0; I < Configs.size(); ++I)
        Configs[I].HostName = "Farm " + QByteArray::number(I);
    TLabFarm Farm;
    QVERIFY(Farm.Start(Configs, Base + 2));
    QCOMPARE(Farm.Count(), 5);
    for (int I = 0; I < Farm.Count(); ++I) {
        QCOMPARE(Farm.Port(I), Base + 2 + I);
        QCOMPARE(Farm.Server(I)->Config.HostName, Configs[I].HostName);
        READ_REPLY(Reply, Ask(Base + 2 + I), true);
        QCOMPARE(PairMap(Reply.Pairs).value("hostname"), Configs[I].HostName);
    }

    // Overlapping the running farm: fails at Base + 2 and lets go of what it had taken.
    TLabFarm Clash;
    QVERIFY(!Clash.Start(Configs, Base));
    QCOMPARE(Clash.Count(), 0);
    QVERIFY(PortsFree(Base, 2));
    QVERIFY(!Clash.Start(Configs, 65533)); // would run past the last port
}

// Replies from a farm on its own thread, more servers than a low descriptor limit allows.
void TestLab::farmThread() {
    rlimit Saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &Saved), 0);
    const int Count = 900;
    if (Saved.rlim_max != RLIM_INFINITY && Saved.rlim_max < rlim_t(Count) + 300)
        QSKIP("the hard descriptor limit is too low for this test");
    rlimit Low = Saved;
    Low.rlim_cur = 512;
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &Low), 0);
    const auto Restore = qScopeGuard([&] { setrlimit(RLIMIT_NOFILE, &Saved); });

    const QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(Count, {});
    TLabFarmThread Farm;
    QVERIFY(Farm.Start(Configs, 0, TLabMasterConfig{}, "mw"));
    QCOMPARE(Farm.Count(), Count);

    // A window of queries in flight, so the client's receive buffer never overflows.
    QUdpSocket Client;
    QVERIFY(Client.bind(QHostAddress::LocalHost, 0));
    QHash<quint16, int> IndexOfPort;
    for (int I = 0; I < Count; ++I)
        IndexOfPort.insert(Farm.Port(I), I);
    QCOMPARE(IndexOfPort.size(), Count);
    int Sent = 0, Answered = 0;
    const auto SendNext = [&] {
        Client.writeDatagram("\\status\\", QHostAddress::LocalHost, Farm.Port(Sent++));
    };
    while (Sent < std::min(Count, 64))
        SendNext();
    QSet<int> Seen;
    const bool Done = QTest::qWaitFor(
        [&] {
            while (Client.hasPendingDatagrams()) {
                const QNetworkDatagram D = Client.receiveDatagram();
                const int I = IndexOfPort.value(quint16(D.senderPort()), -1);
                if (I < 0 || !D.data().contains("\\hostname\\" + Configs[I].HostName + "\\"))
                    continue;
                Seen.insert(I);
                ++Answered;
                if (Sent < Count) SendNext();
            }
            return Answered == Count;
        },
        10000);
    QVERIFY2(Done, qPrintable(QString::number(Answered)));
    QCOMPARE(Seen.size(), Count);
    QCOMPARE(Farm.Queries(), qint64(Count));
    QByteArray Listed;
    for (int I = 0; I < Count; ++I)
        Listed += "\\ip\\127.0.0.1:" + QByteArray::number(Farm.Port(I));
    QCOMPARE(AskMaster(Farm.MasterPort(), "mw").List, Listed + "\\final\\");

    const quint16 First = Farm.Port(0), Last = Farm.Port(Count - 1);
    Farm.Stop();
    QCOMPARE(Farm.Count(), 0);
    QVERIFY(PortsFree(First, 1) && PortsFree(Last, 1));
}

void TestLab::program_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("silent");
    QTest::addColumn<quint16>("base");
    QTest::addColumn<int>("stopSignal"); // 0: --duration ends it
    QTest::newRow("sigterm") << QStringList{"--servers", "4", "--silent", "1", "--seed", "7"} << 4
                             << 1 << quint16(0) << int(SIGTERM);
    const quint16 Base = FreeBase(3);
    QTest::newRow("sigint, base port, split")
        << QStringList{"--servers", "3", "--base-port", QString::number(Base), "--split", "2"} << 3
        << 0 << Base << int(SIGINT);
    QTest::newRow("duration") << QStringList{"--servers", "2", "--duration", "0.5"} << 2 << 0
                              << quint16(0) << 0;
}

void TestLab::program() {
    QFETCH(QStringList, args);
    QFETCH(int, servers);
    QFETCH(int, silent);
    QFETCH(quint16, base);
    QFETCH(int, stopSignal);
    const QString Bin = qEnvironmentVariable("SCOUTLY_LAB_BIN");
    QVERIFY2(!Bin.isEmpty(), NoBin);

    QProcess Lab;
    Lab.start(Bin, args);
    QVERIFY(Lab.waitForStarted());
    QByteArray Out;
    QVERIFY(QTest::qWaitFor(
        [&] {
            Out += Lab.readAllStandardOutput();
            return Out.endsWith("ready\n");
        },
        5000));

    const QRegularExpression Line("^game 127\\.0\\.0\\.1:(\\d+) (.+)$");
    const QList<QByteArray> Lines = Out.trimmed().split('\n');
    QCOMPARE(Lines.size(), servers + 1);
    int Answered = 0;
    for (int I = 0; I < servers; ++I) {
        const auto Match = Line.match(QString::fromUtf8(Lines[I]));
        QVERIFY2(Match.hasMatch(), Lines[I]);
        const auto Port = quint16(Match.captured(1).toUInt());
        if (base) QCOMPARE(Port, base + I);
        const QList<QByteArray> Reply = Ask(Port, "\\status\\", 300);
        if (Reply.isEmpty()) continue;
        ++Answered;
        READ_REPLY(Read, Reply, true);
        QCOMPARE(QString::fromUtf8(PairMap(Read.Pairs).value("hostname")), Match.captured(2));
    }
    QCOMPARE(Answered, servers - silent);

    if (stopSignal) ::kill(pid_t(Lab.processId()), stopSignal);
    QVERIFY(QTest::qWaitFor([&] { return Lab.state() == QProcess::NotRunning; }, 5000));
    QCOMPARE(Lab.exitStatus(), QProcess::NormalExit);
    QCOMPARE(Lab.exitCode(), 0);
}

void TestLab::qstat_data() {
    QTest::addColumn<int>("datagrams");
    QTest::newRow("one datagram") << 1;
    QTest::newRow("split over four") << 4;
}

// qstat is an independent client of the same query: it must read our servers like real ones.
void TestLab::qstat() {
    QFETCH(int, datagrams);
    const QString Qstat = QStandardPaths::findExecutable("quakestat");
    if (Qstat.isEmpty()) QSKIP("quakestat (Debian package qstat) is not installed");
    TLabServerConfig C = Busy();
    C.Datagrams = datagrams;
    TLabGameServer Server(C);
    QVERIFY(Server.Listen());

    QProcess Process;
    Process.start(Qstat,
                  {"-gps", "127.0.0.1:" + QString::number(Server.Port()), "-P", "-R", "-xml"});
    QVERIFY(QTest::qWaitFor([&] { return Process.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(Process.exitCode(), 0);

    QXmlStreamReader Xml(Process.readAllStandardOutput());
    QString Status;
    QMap<QString, QString> Fields, Rules, Player;
    QMap<QString, QMap<QString, QString>> Players;
    bool InPlayer = false;
    while (!Xml.atEnd()) {
        Xml.readNext();
        const QString Name = Xml.name().toString();
        if (Xml.isEndElement() && Name == "player") {
            Players.insert(Player.value("name"), Player);
            InPlayer = false;
        }
        if (!Xml.isStartElement() || Name == "qstat" || Name == "rules" || Name == "players")
            continue;
        if (Name == "server")
            Status = Xml.attributes().value("status").toString();
        else if (Name == "player")
            InPlayer = true, Player.clear();
        else if (Name == "rule") {
            const QString Rule = Xml.attributes().value("name").toString();
            Rules.insert(Rule, Xml.readElementText());
        } else
            (InPlayer ? Player : Fields).insert(Name, Xml.readElementText());
    }
    QVERIFY2(!Xml.hasError(), qPrintable(Xml.errorString()));
    QCOMPARE(Status, QString("UP"));
    QCOMPARE(Fields.value("name"), QString::fromUtf8(C.HostName));
    QCOMPARE(Fields.value("map"), QString::fromUtf8(C.MapName));
    QCOMPARE(Fields.value("gametype"), QString::fromUtf8(C.GameType));
    QCOMPARE(Fields.value("numplayers").toInt(), C.Players.size());
    QCOMPARE(Fields.value("maxplayers").toInt(), C.MaxPlayers);
    QCOMPARE(Players.size(), C.Players.size());
    for (const TLabPlayer& P : C.Players) {
        const auto Got = Players.value(QString::fromUtf8(P.Name));
        QCOMPARE(Got.value("score").toInt(), P.Frags);
        QCOMPARE(Got.value("deaths").toInt(), P.Deaths);
        QCOMPARE(Got.value("ping").toInt(), P.Ping);
        QCOMPARE(Got.value("team"), QString::fromUtf8(P.Team));
        QCOMPARE(Got.value("mesh"), QString::fromUtf8(P.Mesh));
        QCOMPARE(Got.value("skin"), QString::fromUtf8(P.Skin));
    }
    for (const auto& [Key, Value] : C.Rules)
        QCOMPARE(Rules.value(QString::fromUtf8(Key)), QString::fromUtf8(Value));
}

void TestLab::validate() {
    const QList<QPair<QByteArray, QByteArray>> Known{
        {"ABCDEF", "wixlTFFB"}, {"xYz123", "ceNRV8RX"}, {"IHGZJE", "UtlGaBwC"}};
    for (const auto& [Challenge, Answer] : Known)
        QCOMPARE(LabValidate(Challenge), Answer);
}

void TestLab::master_data() {
    QTest::addColumn<TLabMasterConfig>("config");
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QByteArray>("game");
    QTest::addColumn<QByteArray>("list"); // empty: rejected
    const QByteArray A = "\\ip\\127.0.0.1:27901", B = "\\ip\\127.0.0.1:27902", F = "\\final\\";
    TLabMasterConfig C;
    C.Lists = {{"morrow", {A.mid(4), B.mid(4), A.mid(4)}}, {"halflife", {"127.0.0.1:27015"}}};
    const auto Row = [&](const char* Name, const char* Mode, const char* Game,
                         const QByteArray& List, auto Change) {
        TLabMasterConfig D = C;
        Change(D);
        QTest::newRow(Name) << D << QByteArray(Mode) << QByteArray(Game) << List;
    };
    const auto Same = [](TLabMasterConfig&) {};
    Row("two writes", "two", "morrow", A + B + A + F, Same);
    Row("merged", "merged", "morrow", A + B + A + F, Same);
    Row("byte by byte", "bytes", "morrow", A + B + A + F, Same);
    Row("unknown game", "two", "quake", F, Same);
    Row("wrong validate", "wrong", "morrow", {}, Same);
    Row("missing validate", "missing", "morrow", {}, Same);
    Row("fixed challenge, other game", "two", "halflife", "\\ip\\127.0.0.1:27015" + F,
        [](TLabMasterConfig& D) { D.Challenge = "IHGZJE"; });
}

void TestLab::master() {
    QFETCH(TLabMasterConfig, config);
    QFETCH(QByteArray, mode);
    QFETCH(QByteArray, game);
    QFETCH(QByteArray, list);
    TLabMasterServer Master(config);
    QVERIFY(Master.Listen());
    const TMasterRun Run = AskMaster(Master.Port(), game, mode, &Master);
    const QRegularExpression Challenge("^\\\\basic\\\\\\\\secure\\\\[A-Z]{6}$");
    QVERIFY2(Challenge.match(QString::fromLatin1(Run.Challenge)).hasMatch(), Run.Challenge);
    if (!config.Challenge.isEmpty()) QCOMPARE(Run.Challenge.right(6), config.Challenge);
    QCOMPARE(Run.List, list);
    QVERIFY(Run.Closed);
    const bool Valid = !list.isEmpty();
    // Rejected as soon as the validation is in, before the list request.
    QCOMPARE(Master.LastReceived(), Valid ? Run.Sent : Run.Sent.left(Run.Sent.indexOf("\\list")));
    QCOMPARE(QList<int>(
                 {Master.Connections(), Master.Accepted(), Master.Rejected(), Master.ListsSent()}),
             QList<int>({1, Valid, !Valid, Valid}));
}

void TestLab::hl_data() {
    QTest::addColumn<TLabHLConfig>("config");
    TLabHLConfig C;
    QTest::newRow("defaults") << C;
    C.Address.clear();
    C.NumPlayers = 7;
    C.MaxPlayers = 20;
    C.Protocol = 46;
    C.Players = {{"Gordon", 12, 95.5f}, {"Dark Lord", -3, 3600.25f}};
    C.Rules = {{"mp_timelimit", "20"}, {"sv_gravity", "800"}, {"motd", ""}};
    QTest::newRow("players, rules, own address") << C;
    C.Answer = "ED";
    QTest::newRow("rules first, no info") << C;
    C.Answer = "DEC";
    C.PlayerCount = 5;
    C.RuleCount = -2;
    QTest::newRow("counts disagree") << C;
    C.PlayerCount = -1;
    C.RuleCount = 0;
    C.TruncatePlayers = 6;
    QTest::newRow("players truncated, rules uncounted") << C;
}

void TestLab::hl() {
    QFETCH(TLabHLConfig, config);
    TLabHLServer Server(config);
    QVERIFY(Server.Listen());
    const auto Count = [](int Given, qsizetype Actual) { return Given < 0 ? int(Actual) : Given; };
    QByteArray Kinds;
    for (const QByteArray& D : AskHL(Server.Port(), config.Answer.size())) {
        QVERIFY(D.startsWith("\xff\xff\xff\xff") && D.size() > 4);
        TReader R{D};
        Kinds += D[4];
        if (D[4] == 'C') {
            const QByteArray Own = "127.0.0.1:" + QByteArray::number(Server.Port());
            QCOMPARE(QByteArrayList({R.Str(), R.Str(), R.Str(), R.Str(), R.Str()}),
                     QByteArrayList({config.Address.isEmpty() ? Own : config.Address, config.Name,
                                     config.Map, config.GameDir, config.Description}));
            QCOMPARE(QList<int>({R.Num<quint8>(), R.Num<quint8>(), R.Num<quint8>()}),
                     QList<int>({Count(config.NumPlayers, config.Players.size()), config.MaxPlayers,
                                 config.Protocol}));
        } else if (D[4] == 'D') {
            QCOMPARE(int(R.Num<quint8>()), Count(config.PlayerCount, config.Players.size()));
            // Players as far as they are whole; a cut reply is the whole one's start.
            qsizetype Whole = R.At;
            for (const TLabHLPlayer& P : config.Players) {
                if ((Whole += 10 + P.Name.size()) > D.size()) continue;
                R.Num<quint8>(); // index
                QCOMPARE(R.Str(), P.Name);
                QCOMPARE(R.Num<qint32>(), P.Frags);
                QCOMPARE(std::bit_cast<float>(R.Num<quint32>()), P.Time);
            }
            QCOMPARE(D.size(), Whole - config.TruncatePlayers);
            if (config.TruncatePlayers) continue;
        } else {
            QCOMPARE(R.Num<qint16>(), config.RuleCount.value_or(config.Rules.size()));
            for (const auto& [Key, Value] : config.Rules)
                QCOMPARE(QByteArrayList({R.Str(), R.Str()}), QByteArrayList({Key, Value}));
        }
        QVERIFY(R.Ok);
        QCOMPARE(R.At, D.size());
    }
    QCOMPARE(Kinds, config.Answer);
    QCOMPARE(Server.Queries(), 1);
}

// The program's master lists its key/value servers under --game, its Half-Life ones apart.
void TestLab::programMaster() {
    QVERIFY2(qEnvironmentVariableIsSet("SCOUTLY_LAB_BIN"), NoBin);
    QProcess Lab;
    Lab.start(qEnvironmentVariable("SCOUTLY_LAB_BIN"),
              {"--master-port", "0", "--servers", "3", "--hl-servers", "2", "--game", "mw"});
    const auto Stop = qScopeGuard([&] { Lab.kill(), Lab.waitForFinished(); });
    QByteArray Out;
    QVERIFY(QTest::qWaitFor(
        [&] { return (Out += Lab.readAllStandardOutput()).endsWith("ready\n"); }, 5000));
    const QRegularExpression Line("^(\\w)\\w* 127\\.0\\.0\\.1:(\\d+)");
    QMap<QString, QByteArray> Lists; // kind's letter -> what the master should list
    QString Kinds;
    quint16 Port = 0;
    for (const QByteArray& Text : Out.chopped(7).split('\n')) { // all but "ready"
        const auto Match = Line.match(QString::fromUtf8(Text));
        QVERIFY2(Match.hasMatch(), Text);
        Kinds += Match.captured(1);
        Port = quint16(Match.captured(2).toUInt());
        Lists[Match.captured(1)] += "\\ip\\127.0.0.1:" + QByteArray::number(Port);
    }
    QCOMPARE(Kinds, QString("mggghh"));
    Port = quint16(Lists["m"].mid(Lists["m"].indexOf(':') + 1).toUInt());
    QCOMPARE(AskMaster(Port, "mw").List, Lists["g"] + "\\final\\");
    QCOMPARE(AskMaster(Port, "halflife").List, Lists["h"] + "\\final\\");
}

void TestLab::chatHelper_data() {
    QTest::addColumn<QByteArray>("target"); // where the visitor says it; "Scout": privately
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reply"); // the helper's first answer; empty: none
    const QString ServersLine = "^:Scout!\\S+ PRIVMSG %1 :[234] servers with players right now:"
                                "( .+ \\d+/(8|12|16|24|32),){1,3} .+ \\d+/(8|12|16|24|32)$";
    QTest::newRow("!help") << QByteArray("#morrow") << QByteArray("!help")
                           << "PRIVMSG #morrow :.*!servers";
    QTest::newRow("!servers") << QByteArray("#morrow") << QByteArray("!servers ")
                              << ServersLine.arg("#morrow");
    QTest::newRow("!servers privately")
        << QByteArray("Scout") << QByteArray("!SERVERS") << ServersLine.arg("Visitor\\d+");
    QTest::newRow("hi") << QByteArray("#morrow") << QByteArray("hi!")
                        << "PRIVMSG #morrow :.*Visitor\\d+";
    QTest::newRow("hello to the bot")
        << QByteArray("#morrow") << QByteArray("hello scout") << "PRIVMSG #morrow :.*Visitor\\d+";
    QTest::newRow("addressed") << QByteArray("#morrow") << QByteArray("scout, what now?")
                               << "PRIVMSG #morrow :.*!help";
    QTest::newRow("private chat") << QByteArray("Scout") << QByteArray("nice bot")
                                  << "PRIVMSG Visitor\\d+ :.*\\bbot\\b";
    QTest::newRow("hi to everyone") << QByteArray("#morrow") << QByteArray("hi all") << QString();
    QTest::newRow("other bot's command")
        << QByteArray("#morrow") << QByteArray("!roll 20") << QString();
    QTest::newRow("CTCP action") << QByteArray("Scout")
                                 << QByteArray("\x01"
                                               "ACTION hi\x01")
                                 << QString();
}

// The helper holds the channel (operator, topic), greets each newcomer and answers what is
// meant for it, and nothing else: a private "!help" follows each line, and the helper's
// first answer after the greeting must be the expected one, else the one to "!help".
void TestLab::chatHelper() {
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, text);
    QFETCH(QString, reply);
    QVERIFY2(ChatUp(), qPrintable(FIrc.Why));
    TIrcUser User(FIrc.Port, "Visitor" + QByteArray::number(++FVisitors));
    const QByteArray Names = User.Join("#morrow");
    QVERIFY2(Names.endsWith(" @Scout") || Names.contains(" @Scout "), Names);
    QVERIFY(!User.Await(" 332 " + User.Nick + " #morrow :Lab topic — frag hard$").isEmpty());
    QVERIFY(!User.Await("^:Scout!\\S+ PRIVMSG #morrow :Welcome to #morrow, " + User.Nick + "!")
                 .isEmpty());

    const qsizetype From = User.Lines.size();
    User.Send("PRIVMSG " + target + " :" + text);
    User.Send("PRIVMSG Scout :!help");
    const QByteArray Answer = User.Await("^:Scout!\\S+ PRIVMSG ", From);
    QVERIFY2(!Answer.isEmpty(), "no answer at all");
    if (reply.isEmpty()) reply = "PRIVMSG " + User.Nick + " :.*!servers";
    QVERIFY2(QRegularExpression(reply).match(QString::fromUtf8(Answer)).hasMatch(), Answer);
}

// A talker whose nick is taken registers with a digit and keeps posting well-formed lines;
// within a few dozen it has used every line, so every mention, and never names itself. The
// helper leaves the chatter alone.
void TestLab::chatTalker() {
    QVERIFY2(ChatUp(), qPrintable(FIrc.Why));
    TIrcUser User(FIrc.Port, "Visitor" + QByteArray::number(++FVisitors));
    QVERIFY(!User.Join("#morrow").isEmpty());
    TLabChatBotConfig C;
    C.Helper = false;
    C.Talker = true;
    C.MinIntervalMs = 20;
    C.MaxIntervalMs = 40;
    C.Friends = {"Scout", "Wren"};
    TLabChatBot Talker(C);
    Talker.Start("localhost", FIrc.Port);
    QByteArrayList Said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            Said.clear();
            for (const QByteArray& Line : User.Lines)
                if (Line.startsWith(":Scout1!") && !Line.contains(" JOIN ")) Said.append(Line);
            return Said.size() >= 40;
        },
        8000));
    QCOMPARE(Talker.Nick(), QByteArray("Scout1"));
    bool Mentioned = false;
    for (const QByteArray& Line : Said) {
        const QByteArray Text = Line.mid(Line.indexOf(" :") + 2);
        QVERIFY2(Line.contains(" PRIVMSG #morrow :"), Line);
        QVERIFY2(!Text.contains('{') && !Text.contains("Scout"), Line);
        QVERIFY2(!Text.startsWith('\x01') || (Text.startsWith("\x01"
                                                              "ACTION ") &&
                                              Text.endsWith('\x01')),
                 Line);
        QVERIFY2(QString::fromUtf8(Text).toUtf8() == Text, Line);
        Mentioned = Mentioned || Text.contains("Wren");
    }
    QVERIFY(Mentioned);
    QVERIFY(User.Await("^:Scout!\\S+ PRIVMSG #morrow :(?!Welcome)", 0, 0).isEmpty());
}

void TestLab::chatProgram_data() {
    QTest::addColumn<bool>("reachable");
    QTest::newRow("three bots") << true;
    QTest::newRow("nobody listening") << false;
}

// scoutly-lab's bots are in before "ready", or it says on stderr why not.
void TestLab::chatProgram() {
    QFETCH(bool, reachable);
    QVERIFY2(qEnvironmentVariableIsSet("SCOUTLY_LAB_BIN"), NoBin);
    QVERIFY2(ChatUp(), qPrintable(FIrc.Why));
    const QByteArray Server =
        "127.0.0.1:" + QByteArray::number(reachable ? FIrc.Port : FreeTcpPort());
    QProcess Lab;
    Lab.start(qEnvironmentVariable("SCOUTLY_LAB_BIN"),
              {"--servers", "0", "--chat-server", Server, "--chat-channel", "#lab", "--chat-bots",
               "3", "--chat-interval-ms", "100-300"});
    const auto Stop = qScopeGuard([&] { Lab.kill(), Lab.waitForFinished(); });
    QByteArray Out;
    QVERIFY(QTest::qWaitFor(
        [&] { return (Out += Lab.readAllStandardOutput()).endsWith("ready\n"); }, 8000));
    QCOMPARE(Out, "chat " + Server + " #lab " + (reachable ? "3" : "0") + "\nready\n");
    if (!reachable) {
        QVERIFY(Lab.readAllStandardError().contains("0 of 3"));
        return;
    }
    TIrcUser User(FIrc.Port, "Visitor" + QByteArray::number(++FVisitors));
    QList<QByteArray> Names = User.Join("#lab").split(':').last().split(' ');
    std::sort(Names.begin(), Names.end());
    QCOMPARE(Names.size(), 4); // the helper's nick is taken: Scout and a digit
    QVERIFY2(QRegularExpression("^@Scout\\d$").match(QString::fromUtf8(Names[0])).hasMatch(),
             Names[0]);
    QCOMPARE(Names.mid(1), QByteArrayList({"Lyra", "Thorn", User.Nick}));
    QVERIFY(!User.Await("^:(Thorn|Lyra)!\\S+ PRIVMSG #lab :").isEmpty());
    ::kill(pid_t(Lab.processId()), SIGTERM);
    QVERIFY(Lab.waitForFinished(5000));
    QCOMPARE(Lab.exitCode(), 0);
}

void TestLab::motd_data() {
    QTest::addColumn<bool>("http");
    QTest::addColumn<TLabMotdConfig>("config");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("kind");  // request, report or other
    QTest::addColumn<QByteArray>("reply"); // what a request gets back
    TLabMotdConfig Plain;
    Plain.Message = "Servers are up.\nHave fun!";
    TLabMotdConfig Rich;
    Rich.Headers = {"bannerinterval=60000", "lb1text=Lab News"};
    Rich.Message = "{\\rtf1\\ansi {\\b Big} news}";
    TLabMotdConfig Expired = Rich;
    Expired.Expired = true;
    Expired.LineBreak = "\r\n";
    const QByteArray Report = "TIME|030104|tarnwick|Ab12-Cd34-Ef56-Gh78|95|60|";
    // Characters that mean something in a query string must come back as sent.
    const QByteArray Awkward = "MOTD|030104|tarnwick|a&b=c@d|%41+x|N|1|0|Ren\xe9 \"R\" O'Hara|"
                               "|1234?#|";
    QTest::newRow("udp, plain") << false << Plain << MotdRequestText << QByteArray("request")
                                << QByteArray("MOTD\nServers are up.\nHave fun!");
    QTest::newRow("http, headers, rtf, awkward fields")
        << true << Rich << Awkward << QByteArray("request")
        << QByteArray(
               "bannerinterval=60000\nlb1text=Lab News\nMOTD\n{\\rtf1\\ansi {\\b Big} news}");
    QTest::newRow("udp, expired, crlf")
        << false << Expired << MotdRequestText << QByteArray("request")
        << QByteArray("bannerinterval=60000\r\nlb1text=Lab News\r\nMOTD-EXPIRED\r\n"
                      "{\\rtf1\\ansi {\\b Big} news}");
    QTest::newRow("udp, empty message") << false << TLabMotdConfig() << MotdRequestText
                                        << QByteArray("request") << QByteArray("MOTD\n");
    QTest::newRow("udp, usage report")
        << false << Plain << Report << QByteArray("report") << QByteArray();
    QTest::newRow("http, usage report")
        << true << Plain << Report << QByteArray("report") << QByteArray();
    QTest::newRow("udp, status query")
        << false << Plain << QByteArray("\\status\\") << QByteArray("other") << QByteArray();
    QTest::newRow("http, lower case")
        << true << Plain << QByteArray("motd|030104|") << QByteArray("other") << QByteArray();
}

// A request gets the whole reply, a report and anything else get nothing (over HTTP a bare 200
// and a 400), and each is recorded as it was sent.
void TestLab::motd() {
    QFETCH(bool, http);
    QFETCH(TLabMotdConfig, config);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, reply);
    TLabMotdServer Server(config);
    QVERIFY(Server.Listen());
    int Requests = 0;
    if (http) {
        const THttpAnswer Answer = HttpGet(Server.Port(), "/motd?" + PercentEncode(sent));
        QCOMPARE(Answer.Status, kind == "other" ? 400 : 200);
        if (kind != "other") QCOMPARE(Answer.Body, reply);
        Requests = kind == "request";
    } else {
        // A request after it: once the server has it, any answer to the first is already
        // in our socket's queue, ahead of the second's.
        QUdpSocket Socket;
        QVERIFY(Socket.bind(QHostAddress::LocalHost, 0));
        Socket.writeDatagram(sent, QHostAddress::LocalHost, Server.Port());
        Socket.writeDatagram(MotdRequestText, QHostAddress::LocalHost, Server.Port());
        Requests = (kind == "request") + 1;
        QVERIFY(QTest::qWaitFor([&] { return Server.Requests().size() == Requests; }, 3000));
        QList<QByteArray> Got;
        (void)QTest::qWaitFor(
            [&] {
                while (Socket.hasPendingDatagrams())
                    Got.append(Socket.receiveDatagram().data());
                return Got.size() >= Requests;
            },
            3000);
        QCOMPARE(Got.size(), Requests);
        QCOMPARE(Got.last(), config.Reply());
        if (kind == "request") QCOMPARE(Got.first(), reply);
    }
    QCOMPARE(Server.Requests().size(), Requests);
    if (kind == "request") {
        QCOMPARE(Server.Requests().first().Text, sent);
        QCOMPARE(Server.Requests().first().Http, http);
    }
    QCOMPARE(Server.Reports().size(), int(kind == "report"));
    if (kind == "report") {
        QCOMPARE(Server.Reports().first().Text, sent);
        QCOMPARE(Server.Reports().first().Http, http);
    }
    QCOMPARE(Server.Ignored(), int(kind == "other"));
}

void TestLab::documents_data() {
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("signature"); // where the picture starts; empty: no picture
    QTest::addColumn<qsizetype>("at");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<double>("distance"); // largest mean difference from it (JPEG loses a little)
    const QImage Cup = LabBannerPicture(TLabBanner::Cup),
                 Scoutly = LabBannerPicture(TLabBanner::Scoutly);
    QTest::newRow("gif after junk, suffix")
        << QByteArray("/banner.gif?48271234567") << 200 << QByteArray("image/gif")
        << QByteArray("GIF89a") << qsizetype(20) << Cup << 0.0;
    QTest::newRow("gif too late") << QByteArray("/banner-late.gif") << 200
                                  << QByteArray("image/gif") << QByteArray("GIF89a")
                                  << qsizetype(160) << Cup << 0.0;
    QTest::newRow("jpeg") << QByteArray("/banner.jpg?7") << 200 << QByteArray("image/jpeg")
                          << QByteArray("\xff\xd8\xff") << qsizetype(0) << Scoutly << 12.0;
    QTest::newRow("png") << QByteArray("/banner.png") << 200 << QByteArray("image/png")
                         << QByteArray("\x89PNG\r\n\x1a\n") << qsizetype(0) << Cup << 0.0;
    QTest::newRow("html") << QByteArray("/banner.html?1") << 200
                          << QByteArray("text/html; charset=utf-8") << QByteArray() << qsizetype(0)
                          << QImage() << 0.0;
    QTest::newRow("click") << QByteArray("/click?93211005") << 200
                           << QByteArray("text/html; charset=utf-8") << QByteArray() << qsizetype(0)
                           << QImage() << 0.0;
    QTest::newRow("ticker") << QByteArray("/ticker.txt") << 200 << QByteArray("text/plain")
                            << QByteArray() << qsizetype(0) << QImage() << 0.0;
    QTest::newRow("unknown") << QByteArray("/banner.bmp") << 404 << QByteArray("text/plain")
                             << QByteArray() << qsizetype(0) << QImage() << 0.0;
    QTest::newRow("path in the query")
        << QByteArray("/nothing?/banner.gif") << 404 << QByteArray("text/plain") << QByteArray()
        << qsizetype(0) << QImage() << 0.0;
}

// Pictures start where a banner strip looks for them and show the ad they were drawn as,
// byte-exact where the format is lossless.
void TestLab::documents() {
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, signature);
    QFETCH(qsizetype, at);
    QFETCH(QImage, picture);
    QFETCH(double, distance);
    TLabWebServer Server;
    QVERIFY(Server.Listen());
    Server.AddDemoDocuments();
    const THttpAnswer Answer = HttpGet(Server.Port(), target);
    QCOMPARE(Answer.Status, status);
    QCOMPARE(Answer.Type, type);
    QCOMPARE(Server.Requests(), QList<QByteArray>{target});
    if (signature.isEmpty()) {
        QVERIFY(!Answer.Body.contains("GIF"));
        if (Answer.Type == "text/plain" && status == 200) {
            // The old section above the last separator, then the news with a link home.
            const QList<QByteArray> Lines = Answer.Body.trimmed().split('\n');
            QVERIFY(Lines.size() >= 4);
            QCOMPARE(Lines.lastIndexOf("REG"), 1);
            QVERIFY(Lines.contains(Server.Url("/news")));
            QCOMPARE(HttpGet(Server.Url("/news")).Status, 200);
        }
        return;
    }
    QCOMPARE(Answer.Body.indexOf(signature.left(3)), at);
    QCOMPARE(Answer.Body.mid(at, signature.size()), signature);
    QImage Decoded;
    QVERIFY(Decoded.loadFromData(Answer.Body.mid(at)));
    QCOMPARE(Decoded.size(), QSize(LabBannerWidth, LabBannerHeight));
    const double Distance = PictureDistance(Decoded, picture);
    QVERIFY2(Distance >= 0 && Distance <= distance, qPrintable(QString::number(Distance)));
}

void TestLab::programPortal_data() {
    QTest::addColumn<QStringList>("args"); // FILE: a message file, BUSY: a port in use
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reply"); // pattern; %1 the web server's port
    QTest::addColumn<QString>("error"); // on stderr, exit status 1; empty: starts
    const QString P = "--motd-port";
    QTest::newRow("built-in news, web server")
        << QStringList{P, "0", "--http-port", "0", "--motd-header", "bannerinterval=30000"}
        << QByteArray()
        << "^bannerinterval=30000\nMOTD\n\\{\\\\rtf1.*\\\\b.*\\\\cf1.*HYPERLINK "
           "\"http://127\\.0\\.0\\.1:%1/news\".*\\}\\s*$"
        << QString();
    QTest::newRow("message file, expired, crlf")
        << (QStringList{P, "0", "--motd-text", "FILE", "--motd-expired", "--motd-crlf"} +
            QStringList{"--motd-header", "a=1", "--motd-header", "b=x=y"})
        << QByteArray("Plain news, no RTF.\n")
        << "^" +
               QRegularExpression::escape("a=1\r\nb=x=y\r\nMOTD-EXPIRED\r\nPlain news, no RTF.\n") +
               "\\z"
        << QString();
    QTest::newRow("news without web server")
        << QStringList{P, "0"} << QByteArray()
        << "^MOTD\n\\{\\\\rtf1.*HYPERLINK \"http://www\\.morrowgame\\.example/\"" << QString();
    QTest::newRow("message too big for a datagram")
        << QStringList{P, "0", "--motd-text", "FILE"} << QByteArray(LabMaxDatagram, 'x')
        << QString() << "more than one UDP datagram holds";
    QTest::newRow("no such file") << QStringList{P, "0", "--motd-text", "/nonexistent/motd.txt"}
                                  << QByteArray() << QString() << "cannot read --motd-text";
    QTest::newRow("header without =") << QStringList{P, "0", "--motd-header", "bannerinterval"}
                                      << QByteArray() << QString() << "NAME=VALUE";
    QTest::newRow("header without name")
        << QStringList{P, "0", "--motd-header", "=5"} << QByteArray() << QString() << "NAME=VALUE";
    QTest::newRow("tuning without port") << QStringList{"--motd-expired"} << QByteArray()
                                         << QString() << "--motd-expired needs --motd-port";
    QTest::newRow("port in use") << QStringList{P, "BUSY"} << QByteArray() << QString()
                                 << "cannot listen on UDP and TCP";
    QTest::newRow("web port out of range")
        << QStringList{"--http-port", "65536"} << QByteArray() << QString() << "--http-port wants";
}

// scoutly-lab prints the servers' lines before "ready", and they answer as configured; the
// web server's banner turns between GIF and JPEG.
void TestLab::programPortal() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(QString, reply);
    QFETCH(QString, error);
    QVERIFY2(qEnvironmentVariableIsSet("SCOUTLY_LAB_BIN"), NoBin);
    QTemporaryDir Dir;
    QTcpServer Busy;
    QVERIFY(Busy.listen(QHostAddress::LocalHost));
    QFile File(Dir.filePath("motd.txt"));
    QVERIFY(File.open(QIODevice::WriteOnly) && File.write(file) == file.size());
    File.close();
    args.replaceInStrings(QRegularExpression("^FILE$"), File.fileName());
    args.replaceInStrings(QRegularExpression("^BUSY$"), QString::number(Busy.serverPort()));
    QProcess Lab;
    Lab.start(qEnvironmentVariable("SCOUTLY_LAB_BIN"), QStringList{"--servers", "0"} + args);
    const auto Stop = qScopeGuard([&] { Lab.kill(), Lab.waitForFinished(); });
    if (!error.isEmpty()) {
        QVERIFY(Lab.waitForFinished(5000));
        QCOMPARE(Lab.exitCode(), 1);
        QCOMPARE(Lab.readAllStandardOutput(), QByteArray());
        const QByteArray Stderr = Lab.readAllStandardError();
        QVERIFY2(Stderr.contains(error.toUtf8()), Stderr);
        return;
    }
    QByteArray Out;
    QVERIFY(QTest::qWaitFor(
        [&] { return (Out += Lab.readAllStandardOutput()).endsWith("ready\n"); }, 5000));
    const bool Web = args.contains("--http-port");
    const auto Lines =
        QRegularExpression(Web ? "^motd 127\\.0\\.0\\.1:(\\d+)\nhttp 127\\.0\\.0\\.1:"
                                 "(\\d+)\nready\n$"
                               : "^motd 127\\.0\\.0\\.1:(\\d+)\nready\n$")
            .match(QString::fromUtf8(Out));
    QVERIFY2(Lines.hasMatch(), Out);
    const auto MotdPort = quint16(Lines.captured(1).toUInt());
    const auto WebPort = quint16(Lines.captured(2).toUInt());

    const QRegularExpression Expected(reply.contains("%1") ? reply.arg(WebPort) : reply,
                                      QRegularExpression::DotMatchesEverythingOption);
    QUdpSocket Socket;
    QVERIFY(Socket.bind(QHostAddress::LocalHost, 0));
    Socket.writeDatagram(MotdRequestText, QHostAddress::LocalHost, MotdPort);
    QVERIFY(QTest::qWaitFor([&] { return Socket.hasPendingDatagrams(); }, 3000));
    const QByteArray Datagram = Socket.receiveDatagram().data();
    QVERIFY2(Expected.match(QString::fromLatin1(Datagram)).hasMatch(), Datagram);
    const THttpAnswer Http = HttpGet(MotdPort, "/motd?" + PercentEncode(MotdRequestText));
    QCOMPARE(Http.Status, 200);
    QCOMPARE(Http.Body, Datagram);
    if (!Web) return;
    QByteArrayList Kinds;
    for (int I = 0; I < 3; ++I) {
        const THttpAnswer Banner = HttpGet(WebPort, "/banner?" + QByteArray::number(I));
        QCOMPARE(Banner.Status, 200);
        Kinds.append(Banner.Type);
    }
    QCOMPARE(Kinds, QByteArrayList({"image/gif", "image/jpeg", "image/gif"}));
}

void TestLab::portalOverrides_data() {
    QTest::addColumn<QStringList>("motd"); // none, or the value given (%1: the lab's port)
    QTest::addColumn<QStringList>("web");  // none, or the value given (%1: the lab's port)
    QTest::addColumn<QString>("error");    // empty: stored
    QTest::newRow("lab addresses")
        << QStringList{"127.0.0.1:%1"} << QStringList{"http://127.0.0.1:%1"} << QString();
    QTest::newRow("web with a slash, motd left")
        << QStringList() << QStringList{"http://127.0.0.1:%1/"} << QString();
    QTest::newRow("cleared") << QStringList{""} << QStringList{""} << QString();
    QTest::newRow("motd port 0") << QStringList{"127.0.0.1:0"}
                                 << QStringList{"http://127.0.0.1:%1/"} << "--motd";
    QTest::newRow("motd port too big")
        << QStringList{"127.0.0.1:65536"} << QStringList() << "--motd";
    QTest::newRow("motd with a path") << QStringList{"127.0.0.1/motd"} << QStringList() << "--motd";
    QTest::newRow("web not http") << QStringList{"127.0.0.1:%1"} << QStringList{"ftp://127.0.0.1/"}
                                  << "--web";
    QTest::newRow("web without scheme") << QStringList() << QStringList{"127.0.0.1:%1"} << "--web";
    QTest::newRow("web with a query")
        << QStringList() << QStringList{"http://127.0.0.1:%1/?a=1"} << "--web";
}

// What --motd and --web store makes the link table and the News window's values name the lab,
// and those addresses fetch its documents; clearing brings the defaults back; bad values store
// nothing.
void TestLab::portalOverrides() {
    QFETCH(QStringList, motd);
    QFETCH(QStringList, web);
    QFETCH(QString, error);
    TLabMotdConfig Config;
    Config.Message = "lab news";
    TLabMotdServer Motd(Config);
    TLabWebServer Web;
    QVERIFY(Motd.Listen() && Web.Listen());
    Web.AddDemoDocuments();
    const auto Given = [](const QStringList& Value, quint16 Port) -> std::optional<QString> {
        if (Value.isEmpty()) return std::nullopt;
        return Value[0].contains("%1") ? Value[0].arg(Port) : Value[0];
    };
    QTemporaryDir Dir;
    TRegistry Registry(Dir.filePath("registry.ini"));
    const QString& Key = PortalSettingsKey;
    const QStringList Names{"motdhost",   "motdport",     "motdurl",     "bannertext",  "bannerurl",
                            "bannerhint", "scrollertext", "scrollerurl", "scrollerhint"};
    for (const QString& Name : Names)
        Registry.WriteString(Key, Name, "before");
    QString Error;
    QCOMPARE(
        StorePortalOverrides(Registry, Given(motd, Motd.Port()), Given(web, Web.Port()), Error),
        error.isEmpty());
    if (!error.isEmpty()) {
        QVERIFY2(Error.startsWith(error), qPrintable(Error));
        for (const QString& Name : Names)
            QCOMPARE(Registry.ReadString(Key, Name), QString("before"));
        return;
    }
    TLinks Links;
    int Interval = 300000;
    LoadLinks(Registry, Key, Links, Interval);
    const auto Default = [](int Index) {
        for (const TLinkDefault& Entry : LinkDefaults())
            if (Entry.Index == Index) return Entry.Default;
        return TLink();
    };

    if (web.isEmpty()) {
        QCOMPARE(Registry.ReadString(Key, "bannertext"), QString("before"));
    } else if (web[0].isEmpty()) {
        QCOMPARE(Links[lkBanner], Default(lkBanner));
        QCOMPARE(Links[lkScroller], Default(lkScroller));
    } else {
        // The banner strip asks with its own "?" suffix; the click shares it.
        const THttpAnswer Banner = HttpGet(Links[lkBanner].Text + "?12345678");
        QCOMPARE(Banner.Status, 200);
        QVERIFY(Banner.Type.startsWith("image/"));
        QCOMPARE(HttpGet(Links[lkBanner].Address + "?12345678").Status, 200);
        QCOMPARE(Links[lkBanner].Hint, QString());
        const THttpAnswer Ticker = HttpGet(Links[lkScroller].Address);
        QCOMPARE(Ticker.Status, 200);
        QVERIFY(Ticker.Body.contains("\nREG\n"));
        QCOMPARE(Web.Requests(),
                 QByteArrayList({"/banner?12345678", "/click?12345678", "/ticker.txt"}));
    }

    if (motd.isEmpty()) {
        QCOMPARE(Registry.ReadString(Key, "motdhost"), QString("before"));
    } else if (motd[0].isEmpty()) {
        for (const char* Name : {"motdhost", "motdport", "motdurl"})
            QCOMPARE(Registry.ReadString(Key, Name), QString());
    } else {
        QCOMPARE(Registry.ReadString(Key, "motdhost"), QString("127.0.0.1"));
        QCOMPARE(Registry.ReadString(Key, "motdport").toUInt(), uint(Motd.Port()));
        const THttpAnswer Reply = HttpGet(Registry.ReadString(Key, "motdurl") +
                                          QString::fromLatin1(PercentEncode(MotdRequestText)));
        QCOMPARE(Reply.Body, QByteArray("MOTD\nlab news"));
        QCOMPARE(Motd.Requests().size(), 1);
        QCOMPARE(Motd.Requests().first().Text, MotdRequestText);
    }
}

void TestLab::demoLab_data() {
    QTest::addColumn<QString>("ircd"); // the ngircd to run; a path that is not there: none
    QTest::newRow("with chat") << QString();
    QTest::newRow("ngircd missing") << QString("/nonexistent/ngircd");
}

// What scoutly-lite --demo runs against: a master listing 300 servers, news, web and (with
// ngircd) chat bots, all gone once the demo ends.
void TestLab::demoLab() {
    QFETCH(QString, ircd);
    QVERIFY2(qEnvironmentVariableIsSet("SCOUTLY_LAB_BIN"), NoBin);
    const bool Chat = ircd.isEmpty();
    if (Chat && QStandardPaths::findExecutable("ngircd", {"/usr/sbin", "/sbin"}).isEmpty())
        QSKIP("ngircd is not installed");
    TDemoAddresses At;
    {
        TDemoLab Lab(qEnvironmentVariable("SCOUTLY_LAB_BIN"), ircd);
        QString Error;
        QVERIFY2(Lab.Start(Error), qPrintable(Error));
        At = Lab.Addresses();
        const QString Notes = Lab.Notes().join('\n');
        QCOMPARE(Notes.contains("runs without chat"), !Chat);
        QCOMPARE(At.Chat.isEmpty(), !Chat);
        const quint16 MasterPort = quint16(At.Master.section(':', 1).toUInt());
        QCOMPARE(AskMaster(MasterPort, "morrow").List.count("\\ip\\127.0.0.1:"), 300);
        QVERIFY(At.Web.startsWith("http://127.0.0.1:") && At.Web.endsWith('/'));
        if (Chat) {
            TIrcUser Visitor(quint16(At.Chat.section(':', 1).toUInt()), "visitor");
            const QByteArray Names = Visitor.Join("#morrow");
            QVERIFY2(Names.contains("Scout") && Names.contains("Rook"), Names);
        }
    }
    for (const QString& Where : {At.Master, At.Motd, At.Chat}) {
        if (Where.isEmpty()) continue;
        QTcpSocket Probe;
        Probe.connectToHost(QHostAddress::LocalHost, quint16(Where.section(':', 1).toUInt()));
        QVERIFY2(!Probe.waitForConnected(1000), qPrintable(Where + " still listens"));
    }
}

void TestLab::demoLabReport_data() {
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QString>("master"); // empty: the report is refused
    const QByteArray Full = "master 127.0.0.1:5000\ngame 127.0.0.1:6000 Alpha\n"
                            "motd 127.0.0.1:7000\nhttp 127.0.0.1:8000\n";
    QTest::newRow("complete") << Full + "ready\n"
                              << "127.0.0.1:5000";
    QTest::newRow("not ready yet") << Full << "";
    QTest::newRow("no web server") << Full.left(Full.indexOf("http")) + "ready\n"
                                   << "";
    QTest::newRow("after ready ignored")
        << Full.left(Full.indexOf("game")) + "ready\nmotd 127.0.0.1:1\nhttp 127.0.0.1:2\n"
        << "";
    QTest::newRow("not loopback") << "master 10.0.0.1:5000\n" + Full.mid(Full.indexOf("game")) +
                                         "ready\n"
                                  << "";
}

void TestLab::demoLabReport() {
    QFETCH(QByteArray, report);
    QFETCH(QString, master);
    TDemoAddresses At;
    QCOMPARE(TDemoLab::ParseLabReport(report, At), !master.isEmpty());
    QCOMPARE(At.Master, master);
    if (!master.isEmpty()) QCOMPARE(At.Web, QString("http://127.0.0.1:8000/"));
}

QTEST_GUILESS_MAIN(TestLab)
#include "tst_lab.moc"
