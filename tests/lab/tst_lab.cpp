// The lab's game servers are what every query test stands on, so they are checked on the wire:
// with a raw UDP socket, through the scoutly-lab program and against qstat.
#include "labgameserver.h"

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
#include <QTest>
#include <QUdpSocket>
#include <QXmlStreamReader>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <vector>

using TPairs = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(TLabServerConfig)

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

} // namespace

class TestLab : public QObject {
    Q_OBJECT

private slots:
    void reply_data();
    void reply();
    void split_data();
    void split();
    void requests_data();
    void requests();
    void farmOnBasePort();
    void farmThread();
    void program_data();
    void program();
    void programErrors_data();
    void programErrors();
    void qstat_data();
    void qstat();

private:
    QUdpSocket FBusyPort;
};

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

void TestLab::requests_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArrayList>("present");
    QTest::addColumn<QByteArrayList>("absent");
    QTest::addColumn<bool>("answered");
    QTest::newRow("status") << QByteArray("\\status\\")
                            << QByteArrayList{"hostname", "gamever", "player_2", "fraglimit"}
                            << QByteArrayList{} << true;
    QTest::newRow("players") << QByteArray("\\players\\")
                             << QByteArrayList{"player_0", "frags_1", "skin_2"}
                             << QByteArrayList{"hostname", "timelimit", "gamever"} << true;
    QTest::newRow("rules") << QByteArray("\\rules\\") << QByteArrayList{"timelimit", "password"}
                           << QByteArrayList{"hostname", "player_0"} << true;
    QTest::newRow("info") << QByteArray("\\info\\")
                          << QByteArrayList{"hostname", "mapname", "numplayers", "maxplayers"}
                          << QByteArrayList{"player_0", "timelimit"} << true;
    QTest::newRow("basic") << QByteArray("\\basic\\") << QByteArrayList{"gamever", "location"}
                           << QByteArrayList{"hostname", "player_0"} << true;
    QTest::newRow("basic+info") << QByteArray("\\basic\\\\info\\")
                                << QByteArrayList{"gamever", "hostname"}
                                << QByteArrayList{"player_0", "timelimit"} << true;
    QTest::newRow("unknown") << QByteArray("\\secure\\abcdef") << QByteArrayList{}
                             << QByteArrayList{} << false;
    QTest::newRow("binary") << QByteArray("\xff\xff\xff\xffTSource Engine Query", 24)
                            << QByteArrayList{} << QByteArrayList{} << false;
}

void TestLab::requests() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArrayList, present);
    QFETCH(QByteArrayList, absent);
    QFETCH(bool, answered);
    TLabGameServer Server(Busy());
    QVERIFY(Server.Listen());
    const QList<QByteArray> Reply = Ask(Server.Port(), request, answered ? 2000 : 150);
    QCOMPARE(Server.Queries(), answered ? 1 : 0);
    if (!answered) {
        QVERIFY(Reply.isEmpty());
        return;
    }
    QCOMPARE(Reply.size(), 1);
    READ_REPLY(Read, Reply, true);
    const auto Map = PairMap(Read.Pairs);
    for (const QByteArray& Key : present)
        QVERIFY2(Map.contains(Key), Key);
    for (const QByteArray& Key : absent)
        QVERIFY2(!Map.contains(Key), Key);
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
    QVERIFY(Farm.Start(Configs));
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

void TestLab::programErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--servers", "2", "--bogus"};
    QTest::newRow("not a number") << QStringList{"--servers", "many"};
    QTest::newRow("negative") << QStringList{"--delay-ms", "-5"};
    QTest::newRow("port out of range") << QStringList{"--base-port", "70000"};
    QTest::newRow("ports run out") << QStringList{"--base-port", "65534", "--servers", "3"};
    QTest::newRow("odd ones exceed servers")
        << QStringList{"--servers", "3", "--silent", "2", "--garbage", "2"};
    QTest::newRow("stray argument") << QStringList{"extra"};
    QTest::newRow("zero duration") << QStringList{"--duration", "0"};
    FBusyPort.close();
    QVERIFY(FBusyPort.bind(QHostAddress::LocalHost, 0));
    QTest::newRow("port in use") << QStringList{"--servers", "2", "--base-port",
                                                QString::number(FBusyPort.localPort())};
}

void TestLab::programErrors() {
    QFETCH(QStringList, args);
    QVERIFY2(qEnvironmentVariableIsSet("SCOUTLY_LAB_BIN"), NoBin);
    QProcess Lab;
    Lab.start(qEnvironmentVariable("SCOUTLY_LAB_BIN"), args);
    QVERIFY(Lab.waitForFinished(5000));
    QCOMPARE(Lab.exitStatus(), QProcess::NormalExit);
    QCOMPARE(Lab.exitCode(), 1);
    QVERIFY(!Lab.readAllStandardError().trimmed().isEmpty());
    QVERIFY(!Lab.readAllStandardOutput().contains("ready"));
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

QTEST_GUILESS_MAIN(TestLab)
#include "tst_lab.moc"
