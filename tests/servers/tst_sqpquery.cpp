// Key/value status queries over loopback against lab game servers.
#include "labgameserver.h"
#include "servers/customserver.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// One query of a record, with what its callback saw.
struct TQueryRun {
    int Calls = 0;
    qint64 ElapsedMs = 0;
    QElapsedTimer Clock;
    void Start(TCustomServer& Server) {
        Clock.start();
        Server.StartQuery([this](TCustomServer* S) {
            ++Calls;
            ElapsedMs = Clock.elapsed();
            QVERIFY(!S->Busy);
        });
    }
};

std::unique_ptr<TMorrowServer> RecordFor(quint16 Port, int Timeout = 2000) {
    auto S = std::make_unique<TMorrowServer>("127.0.0.1", QByteArray::number(Port));
    S->Timeout = Timeout;
    return S;
}

TLabServerConfig AlphaConfig() {
    TLabServerConfig C;
    C.HostName = "Alpha";
    C.MapName = "arena";
    C.GameType = "ctf";
    C.HostPort = "7777";
    C.MaxPlayers = 16;
    C.Players = {{"Bob", "red", "1", "Human", "Knight", 5, 2, 40},
                 {"Eve", "blue", "2", "Elf", "Archer", 1, 3, 60},
                 {"Ann", "red", "3", "Dwarf", "Smith", 0, 0, 20}};
    C.Rules = {{"timelimit", "20"}, {"fraglimit", "50"}};
    return C;
}

// A literal with its NUL bytes.
template <size_t N> QByteArray Bytes(const char (&Text)[N]) {
    return QByteArray(Text, N - 1);
}

qint64 ResidentBytes() {
    QFile Statm("/proc/self/statm");
    if (!Statm.open(QIODevice::ReadOnly)) return 0;
    return Statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

double ProcessCpuSeconds() {
    timespec T;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
    return double(T.tv_sec) + double(T.tv_nsec) / 1e9;
}

} // namespace

class TestSQPQuery : public QObject {
    Q_OBJECT
private slots:
    void answered_data();
    void answered();
    void multiDatagramReply();
    void pingMeasuresRoundTrip();
    void silentServerTwoAttempts();
    void attemptTiming_data();
    void attemptTiming();
    void answersOnlySecondAttempt();
    void incompleteReplies_data();
    void incompleteReplies();
    void requeryGetsFullAttempts();
    void closedPortNoBusyLoop();
    void destroyBusyRecord();
    void ownerFreesRecordInCallback();
    void hostileDatagrams_data();
    void hostileDatagrams();
    void manyServersNoCrossTalk();
    void floodingServer();
};

void TestSQPQuery::answered_data() {
    QTest::addColumn<int>("datagrams");
    QTest::newRow("one datagram") << 1;
    QTest::newRow("three datagrams") << 3;
}

void TestSQPQuery::answered() {
    QFETCH(int, datagrams);
    TLabServerConfig Config = AlphaConfig();
    Config.Datagrams = datagrams;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());

    auto S = RecordFor(Lab.Port());
    TQueryRun Run;
    Run.Start(*S);
    QVERIFY(S->Busy);
    QTRY_COMPARE(Run.Calls, 1);
    QVERIFY(S->Responded);
    QCOMPARE(S->RetryCount, 0);
    QCOMPARE(Lab.Queries(), 1);
    QVERIFY(S->Ping >= 0 && S->Ping < 1000);

    QList<QByteArray> Row;
    S->GetColumnTexts(Row);
    QCOMPARE(Row, (QByteArrayList{"Alpha", QByteArray::number(S->Ping), "3/16", "arena", "ctf"}));
    QCOMPARE(S->GamePort, QByteArray("7777"));
    QCOMPARE(S->QueryPort, QByteArray::number(Lab.Port()));
    QCOMPARE(S->Players.size(), size_t(3));
    QList<QByteArray> Eve;
    S->Players[1]->GetColumnTexts(Eve);
    QCOMPARE(Eve, (QByteArrayList{"Eve", "1", "60", "blue", "Elf\\Archer"}));
    QCOMPARE(S->Rules.size(), 2);
    QCOMPARE(S->Rules[0].Key, QByteArray("timelimit"));
    QCOMPARE(S->Rules[1].Value, QByteArray("50"));

    // Nothing arrives late: the callback fired once and the socket is gone.
    QTest::qWait(100);
    QCOMPARE(Run.Calls, 1);
}

void TestSQPQuery::multiDatagramReply() {
    // Complete only when the datagram with \final arrives, holding the keys of all of them.
    TLabServerConfig Config = AlphaConfig();
    Config.Datagrams = 3;
    Config.GapMs = 80;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port());
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QVERIFY(S->Responded);
    QVERIFY2(S->Ping >= 150, qPrintable(QString::number(S->Ping)));
    QCOMPARE(S->ServerName, QByteArray("Alpha"));
    QCOMPARE(S->Players.size(), size_t(3));
    QCOMPARE(S->Rules.size(), 2);
}

void TestSQPQuery::pingMeasuresRoundTrip() {
    TLabServerConfig Config = AlphaConfig();
    Config.DelayMs = 250;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port());
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QVERIFY(S->Responded);
    QVERIFY2(S->Ping >= 240 && S->Ping < 1000, qPrintable(QString::number(S->Ping)));
}

void TestSQPQuery::silentServerTwoAttempts() {
    // With the real time-out: two attempts of 2000 ms, then one report.
    TLabServerConfig Config = AlphaConfig();
    Config.Silent = true;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port());
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE_WITH_TIMEOUT(Run.Calls, 1, 8000);
    QVERIFY2(Run.ElapsedMs >= 3800 && Run.ElapsedMs < 5000,
             qPrintable(QString::number(Run.ElapsedMs)));
    QVERIFY(!S->Responded);
    QCOMPARE(Lab.Queries(), 2);
    QCOMPARE(S->GamePort, S->QueryPort);
    QCOMPARE(S->ServerName, QByteArray());
    MarkNotResponding(*S);
    QCOMPARE(S->Ping, 9999);
    QCOMPARE(S->ServerName, QByteArray("NOT RESPONDING "));
}

void TestSQPQuery::attemptTiming_data() {
    // One attempt of the real 2000 ms: it ends on time, and a late reply inside it counts.
    QTest::addColumn<int>("delay"); // -1: silent
    QTest::addColumn<bool>("responded");
    QTest::addColumn<int>("busy"); // ms our event loop is blocked once the query is out
    QTest::newRow("silent") << -1 << false << 0;
    QTest::newRow("reply at 1950 ms") << 1950 << true << 0;
    // The ping is the wire's time, not how long we took to get to the reply.
    QTest::newRow("reply at 50 ms, loop busy 300 ms") << 50 << true << 300;
}

void TestSQPQuery::attemptTiming() {
    QFETCH(int, delay);
    QFETCH(bool, responded);
    QFETCH(int, busy);
    TLabServerConfig Config = AlphaConfig();
    Config.Silent = delay < 0;
    Config.DelayMs = qMax(0, delay);
    TLabFarmThread Lab; // its own thread, so it answers on time while ours is busy
    QVERIFY(Lab.Start({Config}));
    auto S = RecordFor(Lab.Port(0));
    S->MaxRetries = 0;
    TQueryRun Run;
    // A real event loop: the waits of QTRY would show in the timing.
    QEventLoop Loop;
    Run.Start(*S);
    QThread::msleep(busy);
    QTimer Poll;
    connect(&Poll, &QTimer::timeout, &Loop, [&] {
        if (Run.Calls) Loop.quit();
    });
    Poll.start(1);
    QTimer::singleShot(4000, &Loop, &QEventLoop::quit);
    Loop.exec();
    QCOMPARE(Run.Calls, 1);
    QCOMPARE(S->Responded, responded);
    const qint64 Expected = responded ? qMax(delay, busy) : S->Timeout;
    // Never early; late only by a loaded machine's scheduling.
    QVERIFY2(Run.ElapsedMs >= Expected - 1 && Run.ElapsedMs <= Expected + 15,
             qPrintable(QString::number(Run.ElapsedMs)));
    if (responded)
        QVERIFY2(S->Ping >= delay - 1 && S->Ping <= delay + 15,
                 qPrintable(QString::number(S->Ping)));
}

void TestSQPQuery::answersOnlySecondAttempt() {
    // A peer that drops the first request and answers the second after 30 ms.
    QUdpSocket Peer;
    QVERIFY(Peer.bind(QHostAddress::LocalHost, 0));
    int Requests = 0;
    connect(&Peer, &QUdpSocket::readyRead, [&] {
        while (Peer.hasPendingDatagrams()) {
            const QNetworkDatagram D = Peer.receiveDatagram();
            if (++Requests == 2)
                QTimer::singleShot(30, [&Peer, D] {
                    Peer.writeDatagram(D.makeReply("\\hostname\\Second\\final\\"));
                });
        }
    });
    auto S = RecordFor(Peer.localPort(), 400);
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QCOMPARE(Requests, 2);
    QVERIFY(S->Responded);
    QCOMPARE(S->RetryCount, 1);
    QCOMPARE(S->ServerName, QByteArray("Second"));
    // The ping of the attempt that got the reply, not of both.
    QVERIFY2(S->Ping >= 25 && S->Ping < 300, qPrintable(QString::number(S->Ping)));
}

void TestSQPQuery::incompleteReplies_data() {
    QTest::addColumn<bool>("noFinal");
    QTest::addColumn<bool>("garbage");
    QTest::addColumn<QByteArray>("name");
    // Without \final a reply never completes; what came is still parsed.
    QTest::newRow("no final") << true << false << QByteArray("Alpha");
    QTest::newRow("garbage") << false << true << QByteArray();
}

void TestSQPQuery::incompleteReplies() {
    QFETCH(bool, noFinal);
    QFETCH(bool, garbage);
    QFETCH(QByteArray, name);
    TLabServerConfig Config = AlphaConfig();
    Config.NoFinal = noFinal;
    Config.Garbage = garbage;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port(), 300);
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QVERIFY(!S->Responded);
    QCOMPARE(Lab.Queries(), 2);
    if (!name.isEmpty()) QCOMPARE(S->ServerName, name);
}

void TestSQPQuery::requeryGetsFullAttempts() {
    // A record that timed out once still gets its retry the next time it is queried.
    TLabServerConfig Config = AlphaConfig();
    Config.Silent = true;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port(), 200);
    for (int Round = 1; Round <= 3; ++Round) {
        TQueryRun Run;
        Run.Start(*S);
        QTRY_COMPARE(Run.Calls, 1);
        QVERIFY(!S->Responded);
        QCOMPARE(Lab.Queries(), 2 * Round);
    }
    // And it answers again once the server is back.
    Lab.Config.Silent = false;
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QVERIFY(S->Responded);
    QCOMPARE(S->ServerName, QByteArray("Alpha"));
}

void TestSQPQuery::closedPortNoBusyLoop() {
    QUdpSocket Probe;
    QVERIFY(Probe.bind(QHostAddress::LocalHost, 0));
    const quint16 Closed = Probe.localPort();
    Probe.close();
    auto S = RecordFor(Closed, 500);
    const double Cpu = ProcessCpuSeconds();
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QVERIFY(!S->Responded);
    QVERIFY(Run.ElapsedMs >= 900);
    // Waiting on an unreachable port must not spin the event loop.
    QVERIFY2(ProcessCpuSeconds() - Cpu < 0.5, "the query busy-looped");
}

void TestSQPQuery::destroyBusyRecord() {
    TLabServerConfig Config = AlphaConfig();
    Config.DelayMs = 100;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port(), 200);
    int Calls = 0;
    S->StartQuery([&](TCustomServer*) { ++Calls; });
    QTest::qWait(20);
    S.reset();
    // The late reply and the time-out find nothing to call.
    QTest::qWait(500);
    QCOMPARE(Calls, 0);
    QCOMPARE(Lab.Queries(), 1);
}

void TestSQPQuery::ownerFreesRecordInCallback() {
    TLabGameServer Answering(AlphaConfig());
    TLabServerConfig SilentConfig = AlphaConfig();
    SilentConfig.Silent = true;
    TLabGameServer Silent(SilentConfig);
    QVERIFY(Answering.Listen());
    QVERIFY(Silent.Listen());
    // Freed from inside the data event and from inside the timer event.
    std::unique_ptr<TMorrowServer> A = RecordFor(Answering.Port(), 200);
    std::unique_ptr<TMorrowServer> B = RecordFor(Silent.Port(), 200);
    int Done = 0;
    A->StartQuery([&](TCustomServer*) {
        A.reset();
        ++Done;
    });
    B->StartQuery([&](TCustomServer*) {
        B.reset();
        ++Done;
    });
    QTRY_COMPARE(Done, 2);
    QVERIFY(!A && !B);
    QTest::qWait(50);
}

void TestSQPQuery::hostileDatagrams_data() {
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<bool>("responded");
    QTest::addColumn<int>("players");
    QTest::newRow("empty datagram") << QList<QByteArray>{QByteArray()} << false << 0;
    QTest::newRow("64 KB with final") << QList<QByteArray>{QByteArray("\\numplayers\\3\\pad\\") +
                                                           QByteArray(65000, 'x') + "\\final\\"}
                                      << true << 3;
    QTest::newRow("NULs everywhere")
        << QList<QByteArray>{QByteArray(3000, '\0') + Bytes("\\hostname\\A\0\0\\final\\")} << true
        << 0;
    QTest::newRow("million players") << QList<QByteArray>{"\\numplayers\\1000000\\final\\"} << true
                                     << TSQPServer::MaxPlayerRecords;
    QTest::newRow("overflowing numbers")
        << QList<QByteArray>{"\\numplayers\\4294967297\\maxplayers\\99999999999\\final\\"} << true
        << 0;
}

void TestSQPQuery::hostileDatagrams() {
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(bool, responded);
    QFETCH(int, players);
    TLabServerConfig Config;
    Config.RawDatagrams = datagrams;
    TLabGameServer Lab(Config);
    QVERIFY(Lab.Listen());
    auto S = RecordFor(Lab.Port(), 300);
    TQueryRun Run;
    Run.Start(*S);
    QTRY_COMPARE(Run.Calls, 1);
    QCOMPARE(S->Responded, responded);
    QCOMPARE(int(S->Players.size()), players);
    QVERIFY(S->ReplyText.size() <= TSQPServer::MaxReplyBytes);
}

void TestSQPQuery::manyServersNoCrossTalk() {
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(60)));
    std::vector<std::unique_ptr<TMorrowServer>> Records;
    int Done = 0;
    for (int I = 0; I < Farm.Count(); ++I) {
        Records.push_back(RecordFor(Farm.Port(I)));
        Records.back()->StartQuery([&](TCustomServer*) { ++Done; });
    }
    QTRY_COMPARE(Done, Farm.Count());
    for (int I = 0; I < Farm.Count(); ++I) {
        const TLabServerConfig& C = Farm.Server(I)->Config;
        QVERIFY(Records[I]->Responded);
        QCOMPARE(Records[I]->ServerName, C.HostName);
        QCOMPARE(Records[I]->MapName, C.MapName);
        QCOMPARE(int(Records[I]->Players.size()), int(C.Players.size()));
    }
}

// A server that answers a query with 64 KB datagrams as fast as the link takes them, on a
// thread of its own: the query still ends on time, the window's loop keeps running, memory
// stays bounded, and the next query is answered.
void TestSQPQuery::floodingServer() {
    const int Sock = socket(AF_INET, SOCK_DGRAM, 0);
    QVERIFY(Sock >= 0);
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(bind(Sock, reinterpret_cast<sockaddr*>(&Address), sizeof Address), 0);
    socklen_t Length = sizeof Address;
    getsockname(Sock, reinterpret_cast<sockaddr*>(&Address), &Length);
    std::atomic<bool> Stop = false;
    std::atomic<qint64> Sent = 0;
    std::thread Flood([&] {
        char Buffer[64];
        sockaddr_in Client{};
        socklen_t ClientLength = sizeof Client;
        timeval Wait{5, 0};
        setsockopt(Sock, SOL_SOCKET, SO_RCVTIMEO, &Wait, sizeof Wait);
        if (recvfrom(Sock, Buffer, sizeof Buffer, 0, reinterpret_cast<sockaddr*>(&Client),
                     &ClientLength) <= 0)
            return;
        const QByteArray Datagram = "\\hostname\\flood\\x\\" + QByteArray(65000, 'y');
        while (!Stop)
            if (sendto(Sock, Datagram.constData(), Datagram.size(), 0,
                       reinterpret_cast<sockaddr*>(&Client), ClientLength) > 0)
                Sent += Datagram.size();
    });
    const qint64 ResidentBefore = ResidentBytes();
    auto S = RecordFor(ntohs(Address.sin_port), 500);
    TQueryRun Run;
    int Ticks = 0;
    QTimer Ticker;
    QObject::connect(&Ticker, &QTimer::timeout, [&] { ++Ticks; });
    Ticker.start(50);
    Run.Start(*S);
    const bool Ended = QTest::qWaitFor([&] { return Run.Calls == 1; }, 10000);
    Stop = true;
    Flood.join();
    close(Sock);
    QVERIFY(Ended);
    QVERIFY2(Sent > 20 * 1024 * 1024, qPrintable(QString::number(Sent)));
    QVERIFY(!S->Responded);
    QVERIFY(S->ReplyText.size() <= TSQPServer::MaxReplyBytes);
    QVERIFY2(Run.ElapsedMs < 3000, qPrintable(QString::number(Run.ElapsedMs)));
    QVERIFY2(Ticks >= Run.ElapsedMs / 50 / 4, qPrintable(QString::number(Ticks)));
    QVERIFY(ResidentBytes() - ResidentBefore < 64 * 1024 * 1024);

    TLabGameServer Lab(AlphaConfig());
    QVERIFY(Lab.Listen());
    auto Next = RecordFor(Lab.Port());
    TQueryRun After;
    After.Start(*Next);
    QTRY_COMPARE(After.Calls, 1);
    QVERIFY(Next->Responded);
}

QTEST_GUILESS_MAIN(TestSQPQuery)
#include "tst_sqpquery.moc"
