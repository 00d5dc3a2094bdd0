// Whole updates against a lab master and lab game servers over loopback.
#include "labgameserver.h"
#include "labhlserver.h"
#include "labmaster.h"
#include "masterlist/customserverlist.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest>

namespace {

using TStatus = QPair<int, QString>;

// What a list reported during one update.
struct TListLog {
    QList<TStatus> Statuses;
    QList<TServerRef> Done;
    int Completes = 0;
    int MostInFlight = 0;
    bool DoneAfterComplete = false;
    bool AbortOnFirstQuery = false;
    void Attach(TCustomServerList& List) {
        List.OnStatus = [this](TCustomServerList* L, int Percent, const QString& Text) {
            Statuses << TStatus{Percent, Text};
            if (AbortOnFirstQuery && Text == "Updating Servers") L->Abort();
            MostInFlight = qMax(MostInFlight, L->Outstanding + (Text == "Updating Servers"));
        };
        List.OnServerDone = [this](TCustomServerList*, const TServerRef& S) {
            DoneAfterComplete |= Completes > 0;
            Done << S;
        };
        List.OnComplete = [this](TCustomServerList*) { ++Completes; };
    }
    QStringList Texts(const QString& Prefix = {}) const {
        QStringList Result;
        for (const TStatus& S : Statuses)
            if (S.second.startsWith(Prefix)) Result << S.second;
        return Result;
    }
    // Statuses other than the per-query and per-chunk progress.
    QList<TStatus> Milestones() const {
        QList<TStatus> Result;
        for (const TStatus& S : Statuses)
            if (S.second != "Updating Servers" && !S.second.startsWith("Server List ("))
                Result << S;
        return Result;
    }
};

// Records that give up quickly, so tests of silent addresses stay short.
template <class Base> class TQuick : public Base {
public:
    int Timeout = 150;

protected:
    TServerRef CreateServer(const QByteArray& Address, const QByteArray& QueryPort) override {
        TServerRef S = Base::CreateServer(Address, QueryPort);
        S->Timeout = Timeout;
        return S;
    }
};

// Sends a validation the master cannot accept.
class TWrongValidation : public TSQPMorrowServerList {
protected:
    void SendValidation(const QByteArray&) override {
        MasterClient->SendText("\\gamename\\tarnwick\\gamever\\01\\location\\0\\validate\\AAAAAAAA"
                               "\\final\\\\queryid\\1.1");
        SendListRequest();
    }
};

QList<QByteArray> Entries(const TLabFarm& Farm) {
    QList<QByteArray> Result;
    for (int I = 0; I < Farm.Count(); ++I)
        Result << "127.0.0.1:" + QByteArray::number(Farm.Port(I));
    return Result;
}

QByteArrayList Addresses(const QList<TServerRef>& Servers) {
    QByteArrayList Result;
    for (const TServerRef& S : Servers)
        Result << S->Address + ':' + S->QueryPort;
    return Result;
}

void StartRefresh(TCustomServerList& List, TListLog& Log, quint16 MasterPort) {
    List.MasterHost = "127.0.0.1";
    List.MasterPort = QByteArray::number(MasterPort);
    Log.Attach(List);
    List.Refresh();
}

quint16 ClosedPort() {
    QTcpServer S;
    S.listen(QHostAddress::LocalHost);
    return S.serverPort();
}

} // namespace

class TestServerList : public QObject {
    Q_OBJECT
private slots:
    void wholeRefresh();
    void listInPieces_data();
    void listInPieces();
    void wrongValidationRejected();
    void abortWhileFetching();
    void abortWhileQuerying();
    void refreshChosenServers();
    void masterUnreachable_data();
    void masterUnreachable();
    void masterSilentOrTrickling_data();
    void masterSilentOrTrickling();
    void hostileLists_data();
    void hostileLists();
    void listedAddressPolicy_data();
    void listedAddressPolicy();
    void hugeList();
    void oversizedList();
    void halfLifeList();
    void queriesInFlight();
    void listDestroyedMidUpdate();
    void masterNames_data();
    void masterNames();
    void severalMasters_data();
    void severalMasters();
    void pacing_data();
    void pacing();
};

void TestServerList::wholeRefresh() {
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(25)));
    TLabMasterServer Master;
    Master.Config.Lists["morrow"] = Entries(Farm);
    QVERIFY(Master.Listen());

    TSQPMorrowServerList List;
    List.SetQueryRate(TCustomServerList::MaxQueryRate); // the bound alone
    QCOMPARE(List.MaxOutstanding, TCustomServerList::DefaultOutstanding);
    List.SetMaxOutstanding(10);
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QCOMPARE(List.State, lsFetching);
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(List.State, lsIdle);
    QCOMPARE(Master.Accepted(), 1);

    // Status order: the fetch, the bytes collected (none for the challenge), every query
    // with the share already done, then the end.
    QCOMPARE(Log.Statuses.first(), TStatus(-1, "Server List"));
    const QStringList Chunks = Log.Texts("Server List (");
    QCOMPARE(Chunks.first(), QString("Server List (0)"));
    qsizetype ListBytes = 7; // "\final\"
    for (const QByteArray& E : Entries(Farm))
        ListBytes += 4 + E.size();
    QCOMPARE(Chunks.last(), QString("Server List (%1)").arg(ListBytes));
    QList<int> Percents;
    for (const TStatus& S : Log.Statuses)
        if (S.second == "Updating Servers") Percents << S.first;
    QCOMPARE(Percents.size(), 25);
    QCOMPARE(Percents.first(), 0);
    QVERIFY(std::is_sorted(Percents.begin(), Percents.end()) && Percents.last() < 100);
    QCOMPARE(Log.Milestones(), (QList<TStatus>{{-1, "Server List"}, {0, "Updates Complete"}}));
    QCOMPARE(Log.MostInFlight, 10);

    QCOMPARE(Log.Done.size(), 25);
    QVERIFY(!Log.DoneAfterComplete);
    QCOMPARE(Addresses(List.Servers), QByteArrayList(Entries(Farm)));
    for (const TServerRef& S : Log.Done) {
        QCOMPARE(S->ClassType(), &TMorrowServer::Class);
        QVERIFY(S->Responded);
        const int Index = Entries(Farm).indexOf(S->Address + ':' + S->QueryPort);
        QCOMPARE(S->ServerName, Farm.Server(Index)->Config.HostName);
    }
}

void TestServerList::listInPieces_data() {
    QTest::addColumn<int>("segment");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("finalAlone");
    QTest::addColumn<bool>("closeAfter");
    QTest::newRow("byte by byte") << 1 << 0 << false << true;
    QTest::newRow("5-byte pieces, final split") << 5 << 5 << false << false;
    QTest::newRow("13-byte pieces") << 13 << 2 << false << true;
    QTest::newRow("final alone, master keeps the line open") << 0 << 30 << true << false;
}

void TestServerList::listInPieces() {
    QFETCH(int, segment);
    QFETCH(int, delay);
    QFETCH(bool, finalAlone);
    QFETCH(bool, closeAfter);
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(6)));
    TLabMasterServer Master;
    Master.Config.Lists["morrow"] = Entries(Farm);
    Master.Config.SegmentBytes = segment;
    Master.Config.SegmentDelayMs = delay;
    Master.Config.FinalAlone = finalAlone;
    Master.Config.CloseAfterList = closeAfter;
    QVERIFY(Master.Listen());

    TSQPMorrowServerList List;
    List.ListTimeout = 3000; // an end missed would show as a time-out
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(Addresses(List.Servers), QByteArrayList(Entries(Farm)));
    QCOMPARE(Log.Done.size(), 6);
    QVERIFY(!Log.Texts().contains("List Timed Out"));
}

void TestServerList::wrongValidationRejected() {
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(3)));
    TLabMasterServer Master;
    Master.Config.Lists["morrow"] = Entries(Farm);
    QVERIFY(Master.Listen());
    TWrongValidation List;
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(Master.Rejected(), 1);
    QCOMPARE(Master.ListsSent(), 0);
    QVERIFY(List.Servers.isEmpty());
    QCOMPARE(Log.Milestones(), (QList<TStatus>{{-1, "Server List"}, {0, "Updates Complete"}}));
}

void TestServerList::abortWhileFetching() {
    TLabMasterServer Master;
    Master.Config.Silent = true;
    QVERIFY(Master.Listen());
    TSQPMorrowServerList List;
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE(Master.Connections(), 1);
    List.Abort();
    List.Abort();
    QCOMPARE(Log.Completes, 1);
    QCOMPARE(
        Log.Milestones(),
        (QList<TStatus>{{-1, "Server List"}, {-1, "Aborting Updates"}, {0, "Updates Complete"}}));
    QVERIFY(Log.Done.isEmpty());
    QCOMPARE(List.State, lsIdle);
    QCOMPARE(List.MasterClient->SocketState, ssClosed);
}

void TestServerList::abortWhileQuerying() {
    // Every server answers after 300 ms: ten are in flight when the abort comes.
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(30);
    for (TLabServerConfig& C : Configs)
        C.DelayMs = 300;
    TLabFarm Farm;
    QVERIFY(Farm.Start(Configs));
    TLabMasterServer Master;
    Master.Config.Lists["morrow"] = Entries(Farm);
    QVERIFY(Master.Listen());
    TSQPMorrowServerList List;
    List.SetQueryRate(TCustomServerList::MaxQueryRate); // the bound alone
    List.SetMaxOutstanding(10);
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE(List.Outstanding, 10);
    List.Abort();
    QCOMPARE(List.State, lsQuerying); // the queries in flight run to their end
    QCOMPARE(Log.Completes, 0);
    QTRY_COMPARE(Log.Completes, 1);
    QVERIFY(Log.Done.isEmpty());
    QCOMPARE(List.Outstanding, 0);
    int Asked = 0;
    for (int I = 0; I < Farm.Count(); ++I)
        Asked += Farm.Server(I)->Queries();
    QCOMPARE(Asked, 10);
    QCOMPARE(Log.Milestones().last(), TStatus(0, "Updates Complete"));
    QTest::qWait(100);
    QCOMPARE(Log.Completes, 1);
}

void TestServerList::refreshChosenServers() {
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(2)));
    TSQPMorrowServerList List;                          // no master at all
    List.SetQueryRate(TCustomServerList::MaxQueryRate); // the bound alone
    TListLog Log;
    Log.Attach(List);
    const QList<TServerRef> Chosen{
        TMorrowServer::Class.Create("127.0.0.1", QByteArray::number(Farm.Port(1))),
        TMorrowServer::Class.Create("127.0.0.1", QByteArray::number(Farm.Port(0)))};
    List.RefreshServers(Chosen);
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(Log.Done.size(), 2);
    QVERIFY(Log.Done.contains(Chosen[0]) && Log.Done.contains(Chosen[1]));
    QCOMPARE(Log.Statuses,
             (QList<TStatus>{
                 {0, "Updating Servers"}, {0, "Updating Servers"}, {0, "Updates Complete"}}));
    QCOMPARE(Chosen[0]->ServerName, Farm.Server(1)->Config.HostName);

    // Nothing to refresh ends at once.
    TListLog Empty;
    Empty.Attach(List);
    List.RefreshServers({});
    QCOMPARE(Empty.Completes, 1);
    QCOMPARE(Empty.Statuses, (QList<TStatus>{{0, "Updates Complete"}}));
}

void TestServerList::masterUnreachable_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<QString>("status");
    QTest::newRow("refused") << QByteArray("127.0.0.1") << QByteArray::number(ClosedPort())
                             << QString("Master server: Connection refused");
    QTest::newRow("unknown host") << QByteArray("no-such-master.invalid") << QByteArray("28900")
                                  << QString("Master server: Host not found");
    QTest::newRow("no master set")
        << QByteArray() << QByteArray("28900")
        << QString("No master server is set: enter one in the configuration");
    QTest::newRow("port not a number")
        << QByteArray("127.0.0.1") << QByteArray("x") << QString("Master server: Invalid argument");
}

void TestServerList::masterUnreachable() {
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, port);
    QFETCH(QString, status);
    TSQPMorrowServerList List;
    List.MasterHost = host;
    List.MasterPort = port;
    TListLog Log;
    Log.Attach(List);
    QElapsedTimer Clock;
    Clock.start();
    List.Refresh();
    QTRY_COMPARE_WITH_TIMEOUT(Log.Completes, 1, 10000);
    // Said at once, not after the 30 s silence time-out.
    QVERIFY(Clock.elapsed() < 5000);
    QCOMPARE(Log.Milestones(),
             (QList<TStatus>{{-1, "Server List"}, {0, status}, {0, "Updates Complete"}}));
    QTest::qWait(50);
    QCOMPARE(Log.Completes, 1);
}

void TestServerList::masterSilentOrTrickling_data() {
    QTest::addColumn<bool>("trickle");
    QTest::newRow("silent after connecting") << false;
    QTest::newRow("one byte at a time, never ending") << true;
}

void TestServerList::masterSilentOrTrickling() {
    QFETCH(bool, trickle);
    TLabMasterServer Master;
    Master.Config.Silent = !trickle;
    Master.Config.RawList = QByteArray("\\ip\\127.0.0.1:9").repeated(1000);
    Master.Config.SegmentBytes = 1;
    Master.Config.SegmentDelayMs = 20;
    QVERIFY(Master.Listen());
    TQuick<TSQPMorrowServerList> List;
    List.ListTimeout = 300;
    List.FetchLimit = 700; // a trickle restarts the silence timer, never this one
    TListLog Log;
    QElapsedTimer Clock;
    Clock.start();
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE_WITH_TIMEOUT(Log.Completes, 1, 5000);
    QVERIFY(Clock.elapsed() >= (trickle ? 650 : 250));
    QCOMPARE(Log.Milestones(), (QList<TStatus>{{-1, "Server List"},
                                               {0, "List Timed Out"},
                                               {-1, "Aborting Updates"},
                                               {0, "Updates Complete"}}));
    QVERIFY(Log.Done.isEmpty());
}

void TestServerList::hostileLists_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArrayList>("servers");
    QTest::addColumn<int>("skipped");
    QTest::newRow("rejected and defaulted entries")
        << QByteArray("\\ip\\0.1.2.3:7778\\ip\\10.0.0:7778\\ip\\127.0.0.5\\ip\\127.0.0.6:"
                      "\\ip\\127.0.0.8:x\\ip\\127.0.0.7:7778\\final\\")
        << QByteArrayList{"127.0.0.5:1025", "127.0.0.6:1025", "127.0.0.7:7778"} << -1;
    QTest::newRow("garbage between entries")
        << QByteArray("junk\\ip\\127.0.0.1:5\\junk\\x\\y\\ip\\127.0.0.1:6\x01zz\\ip\\\\ip\\final\\")
        << QByteArrayList{"127.0.0.1:5", "127.0.0.1:6"} << 0;
    QTest::newRow("duplicates collapsed")
        << QByteArray("\\ip\\127.0.0.1:5\\ip\\127.0.0.1:6\\ip\\127.0.0.1:5\\final\\")
        << QByteArrayList{"127.0.0.1:5", "127.0.0.1:6"} << 0;
    QTest::newRow("master closes before final")
        << QByteArray("\\ip\\127.0.0.1:5\\ip\\127.0.0.1:6")
        << QByteArrayList{"127.0.0.1:5", "127.0.0.1:6"} << 0;
    QTest::newRow("nothing") << QByteArray("\\final\\") << QByteArrayList{} << 0;
    // The lab master is on this machine: its neighbours may be listed, never the reserved.
    QTest::newRow("reserved ranges from a master on this machine")
        << QByteArray("\\ip\\224.0.0.1:5\\ip\\10.255.255.1:5\\ip\\240.1.2.3:5\\ip\\127.0.0.1:"
                      "5\\ip\\255.255.255.255:5\\ip\\192.0.2.7:5\\ip\\239.9.9.9:5\\final\\")
        << QByteArrayList{"10.255.255.1:5", "127.0.0.1:5", "192.0.2.7:5"} << 4;
}

void TestServerList::hostileLists() {
    QFETCH(QByteArray, raw);
    QFETCH(QByteArrayList, servers);
    QFETCH(int, skipped);
    TLabMasterServer Master;
    Master.Config.RawList = raw;
    QVERIFY(Master.Listen());
    TQuick<TSQPMorrowServerList> List;
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(Addresses(List.Servers), servers);
    QCOMPARE(Log.Done.size(), servers.size());
    if (skipped < 0) return;
    QCOMPARE(List.Skipped, skipped);
    QCOMPARE(Log.Milestones().last().second,
             skipped ? QString("Updates Complete (skipped %1 server addresses that are not public)")
                           .arg(skipped)
                     : QString("Updates Complete"));
}

void TestServerList::listedAddressPolicy_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("master");
    QTest::addColumn<bool>("asked");
    const QString Public = "198.51.100.4", Lan = "192.168.1.2", Here = "127.0.0.1";
    QTest::newRow("public from public") << "203.0.113.9" << Public << true;
    QTest::newRow("unspecified") << "0.0.0.0" << Here << false;
    QTest::newRow("multicast") << "224.0.0.1" << Here << false;
    QTest::newRow("reserved") << "240.0.0.1" << Here << false;
    QTest::newRow("broadcast") << "255.255.255.255" << Lan << false;
    QTest::newRow("loopback from public") << "127.0.0.1" << Public << false;
    QTest::newRow("loopback from lan") << "127.1.2.3" << Lan << false;
    QTest::newRow("loopback from here") << "127.1.2.3" << Here << true;
    QTest::newRow("loopback from here, v6") << "127.0.0.1"
                                            << "::1" << true;
    QTest::newRow("loopback from here, mapped") << "127.0.0.1"
                                                << "::ffff:127.0.0.1" << true;
    for (const char* Private : {"10.1.2.3", "172.31.255.255", "169.254.1.1", "100.64.0.1"}) {
        QTest::addRow("%s from public", Private) << Private << Public << false;
        QTest::addRow("%s from lan", Private) << Private << Lan << true;
        QTest::addRow("%s from here", Private) << Private << Here << true;
    }
    QTest::newRow("next to private ranges") << "172.32.0.1" << Public << true;
}

void TestServerList::listedAddressPolicy() {
    QFETCH(QString, server);
    QFETCH(QString, master);
    QFETCH(bool, asked);
    QCOMPARE(MayQueryListed(QHostAddress(server), QHostAddress(master)), asked);
}

void TestServerList::hugeList() {
    // 100,000 entries, all the same server: parsed whole, one row and one query.
    TLabGameServer Server;
    QVERIFY(Server.Listen());
    TLabMasterServer Master;
    Master.Config.RawList =
        ("\\ip\\127.0.0.1:" + QByteArray::number(Server.Port())).repeated(100000) + "\\final\\";
    QVERIFY(Master.Listen());
    TSQPMorrowServerList List;
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE_WITH_TIMEOUT(Log.Completes, 1, 20000);
    QCOMPARE(List.Servers.size(), 1);
    QCOMPARE(Log.Done.size(), 1);
    QCOMPARE(Server.Queries(), 1);
}

void TestServerList::oversizedList() {
    // More than any master sends, without an end: taken as it stands at the cap.
    TLabMasterServer Master;
    Master.Config.RawList = QByteArray(TCustomSQPServerList::MaxListBytes + 1000000, 'x');
    Master.Config.CloseAfterList = false;
    QVERIFY(Master.Listen());
    TSQPMorrowServerList List;
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE_WITH_TIMEOUT(Log.Completes, 1, 20000);
    QCOMPARE(Log.Texts("Server List (").last(),
             QString("Server List (%1)").arg(TCustomSQPServerList::MaxListBytes));
    QVERIFY(List.ListReply.isEmpty());
}

void TestServerList::halfLifeList() {
    TLabFarm Farm;
    QVERIFY(Farm.StartHL(TLabFarm::MakeHLConfigs(4, {})));
    QList<QByteArray> HL;
    for (int I = 0; I < Farm.HLCount(); ++I)
        HL << "127.0.0.1:" + QByteArray::number(Farm.HLPort(I));
    TLabMasterServer Master;
    Master.Config.Lists["halflife"] = HL;
    QVERIFY(Master.Listen());
    TSQPHLServerList List;
    TListLog Log;
    StartRefresh(List, Log, Master.Port());
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(Log.Done.size(), 4);
    for (const TServerRef& S : Log.Done) {
        QCOMPARE(S->ClassType(), &THLServer::Class);
        QVERIFY(S->Responded);
        const int Index = HL.indexOf(S->Address + ':' + S->QueryPort);
        QCOMPARE(S->ServerName, Farm.HLServer(Index)->Config.Name);
    }
    QVERIFY(Master.LastReceived().endsWith("\\list\\\\gamename\\halflife"));
}

void TestServerList::queriesInFlight() {
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(100);
    for (TLabServerConfig& C : Configs)
        C.DelayMs = 100;
    TLabFarm Farm;
    QVERIFY(Farm.Start(Configs));
    TSQPGenericList List;
    List.SetGameName("morrow");
    List.SetMaxOutstanding(64);
    List.SetQueryRate(TCustomServerList::MaxQueryRate); // the bound alone
    TListLog Log;
    Log.Attach(List);
    QList<TServerRef> Records;
    for (const QByteArray& E : Entries(Farm))
        Records << List.ServerClass()->Create("127.0.0.1", E.mid(10));
    List.RefreshServers(Records);
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(Log.MostInFlight, 64);
    QCOMPARE(Log.Done.size(), 100);

    List.SetMaxOutstanding(0);
    QCOMPARE(List.MaxOutstanding, 1);
    List.SetMaxOutstanding(100000);
    QCOMPARE(List.MaxOutstanding, 256);
}

void TestServerList::listDestroyedMidUpdate() {
    TLabServerConfig Slow;
    Slow.DelayMs = 100;
    TLabFarm Farm;
    QVERIFY(Farm.Start({Slow, Slow, Slow}));
    QList<TServerRef> Records;
    for (const QByteArray& E : Entries(Farm))
        Records << TMorrowServer::Class.Create("127.0.0.1", E.mid(10));
    {
        TSQPMorrowServerList List;
        List.SetQueryRate(TCustomServerList::MaxQueryRate); // the bound alone
        List.RefreshServers(Records);
        QCOMPARE(List.Outstanding, 3);
    }
    // The records outlive the list; their queries were called off, nothing calls back.
    QTest::qWait(300);
    for (const TServerRef& R : Records)
        QVERIFY(!R->Busy);
}

QTEST_GUILESS_MAIN(TestServerList)
#include "tst_serverlist.moc"

void TestServerList::masterNames_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("masters");
    QTest::newRow("one") << QByteArray(" m.example ") << QByteArrayList{"m.example:28900"};
    QTest::newRow("separators") << QByteArray("a:1, b;c:3\t d,,;")
                                << QByteArrayList{"a:1", "b:28900", "c:3", "d:28900"};
    QTest::newRow("same master twice")
        << QByteArray("a a:28900 a:2") << QByteArrayList{"a:28900", "a:2"};
    QTest::newRow("none") << QByteArray(" ;, ") << QByteArrayList{};
    QByteArray Many;
    QByteArrayList First;
    for (int I = 1; I <= 40; ++I) {
        Many += "m:" + QByteArray::number(I) + ' ';
        if (I <= TCustomServerList::MaxMasters) First << "m:" + QByteArray::number(I);
    }
    QTest::newRow("capped") << Many << First;
}

void TestServerList::masterNames() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, masters);
    QByteArrayList Got;
    for (const TMasterAddress& M : ParseMasterList(text, "28900"))
        Got << M.first + ':' + M.second;
    QCOMPARE(Got, masters);
}

void TestServerList::severalMasters_data() {
    // Each master: "first-last" lists those farm servers, "down" refuses, "silent" never answers.
    QTest::addColumn<QStringList>("masters");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("failed"); // which masters are named
    QTest::addColumn<bool>("aborted");
    QTest::newRow("overlapping") << QStringList{"0-5", "3-9", "8-9"} << 10 << QList<int>{} << false;
    QTest::newRow("one down") << QStringList{"0-5", "down", "3-9"} << 10 << QList<int>{1} << false;
    QTest::newRow("one silent") << QStringList{"silent", "0-5"} << 6 << QList<int>{0} << false;
    QTest::newRow("all down") << QStringList{"down", "silent"} << 0 << QList<int>{0, 1} << true;
}

void TestServerList::severalMasters() {
    QFETCH(QStringList, masters);
    QFETCH(int, rows);
    QFETCH(QList<int>, failed);
    QFETCH(bool, aborted);
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(10)));
    std::vector<std::unique_ptr<TLabMasterServer>> Masters;
    QList<TMasterAddress> MasterList;
    for (const QString& M : masters) {
        auto Master = std::make_unique<TLabMasterServer>();
        Master->Config.Silent = M == "silent";
        if (M.contains('-'))
            Master->Config.Lists["morrow"] =
                Entries(Farm).mid(M.section('-', 0, 0).toInt(),
                                  M.section('-', 1).toInt() - M.section('-', 0, 0).toInt() + 1);
        const quint16 Port = M == "down" ? ClosedPort() : (Master->Listen(), Master->Port());
        MasterList.append({"127.0.0.1", QByteArray::number(Port)});
        Masters.push_back(std::move(Master));
    }
    TSQPMorrowServerList List;
    List.ListTimeout = 300;
    List.SetMasters(MasterList);
    TListLog Log;
    Log.Attach(List);
    List.Refresh();
    QTRY_COMPARE(Log.Completes, 1);
    QCOMPARE(List.Aborted, aborted);
    QCOMPARE(Log.Done.size(), rows);
    const QByteArrayList Rows = Addresses(Log.Done);
    QCOMPARE(QSet<QByteArray>(Rows.begin(), Rows.end()).size(), rows);
    for (int I = 0; I < Farm.Count(); ++I)
        QVERIFY(Farm.Server(I)->Queries() <= 1);
    QStringList Named;
    for (const int I : failed)
        Named << QString("Master server 127.0.0.1:%1: %2")
                     .arg(QString::fromLatin1(MasterList[I].second),
                          masters[I] == "down" ? "Connection refused" : "List Timed Out");
    QCOMPARE(Log.Texts("Master server "), Named);
    QCOMPARE(Log.Texts("Server List (").isEmpty(), aborted);
    // The failures stay in view at the end.
    if (!aborted)
        QCOMPARE(Log.Statuses.last(),
                 TStatus(0, Named.isEmpty() ? "Updates Complete"
                                            : "Updates Complete - " + Named.join("; ")));
}

void TestServerList::pacing_data() {
    // Delayed servers answer after 50 ms; silent ones hold their slot for two short attempts.
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("silent");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bound");
    QTest::newRow("defaults") << 200 << 40 << 0 << 0;
    QTest::newRow("slow rate") << 30 << 5 << 50 << 0;
    QTest::newRow("bound first") << 60 << 30 << 1000 << 4;
}

void TestServerList::pacing() {
    QFETCH(int, servers);
    QFETCH(int, silent);
    QFETCH(int, rate);
    QFETCH(int, bound);
    TLabFarmOptions Options;
    Options.Silent = silent;
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(servers, Options);
    for (int I = 0; I < Configs.size(); I += 3)
        Configs[I].DelayMs = Configs[I].Silent ? 0 : 50;
    TLabFarmThread Farm;
    QVERIFY(Farm.Start(Configs, 0, TLabMasterConfig{}));
    TQuick<TSQPMorrowServerList> List;
    List.Timeout = 300;
    if (rate) List.SetQueryRate(rate);
    if (bound) List.SetMaxOutstanding(bound);
    TListLog Log;
    QElapsedTimer Clock;
    Clock.start();
    StartRefresh(List, Log, Farm.MasterPort());
    // A real event loop: the waits of QTRY would show in the pings.
    QEventLoop Loop;
    List.OnComplete = [&](TCustomServerList*) {
        ++Log.Completes;
        Loop.quit();
    };
    QTimer::singleShot(30000, &Loop, &QEventLoop::quit);
    Loop.exec();
    QCOMPARE(Log.Completes, 1);
    const int Rate = rate ? rate : TCustomServerList::DefaultQueryRate;
    // Never faster than the rate, never more in flight than the bound.
    QVERIFY2(Clock.elapsed() >= (servers - 1) * 1000 / Rate,
             qPrintable(QString::number(Clock.elapsed())));
    QVERIFY(Log.MostInFlight <= (bound ? bound : TCustomServerList::DefaultOutstanding));
    QCOMPARE(Log.Done.size(), servers);
    int Delayed = 0;
    for (const TServerRef& S : std::as_const(Log.Done)) {
        // The master lists the farm in order.
        if (Configs[List.Servers.indexOf(S)].DelayMs != 50) continue;
        ++Delayed;
        // Whole milliseconds either side, and room for a loaded test machine's scheduling.
        QVERIFY2(S->Responded && S->Ping >= 49 && S->Ping <= 50 + 15,
                 qPrintable(QString::number(S->Ping)));
    }
    QVERIFY(Delayed > 0);
}
