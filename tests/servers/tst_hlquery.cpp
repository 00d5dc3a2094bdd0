// Half-Life queries over loopback against lab servers: the reply order is the server's, and a
// server that leaves out a reply is retried and reported as not responding.
#include "labhlserver.h"
#include "servers/customserver.h"

#include <QtTest>

class TestHLQuery : public QObject {
    Q_OBJECT
private slots:
    void query_data();
    void query();
};

void TestHLQuery::query_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("truncate");
    QTest::addColumn<bool>("responded");
    QTest::addColumn<int>("players");
    QTest::addColumn<int>("rules");
    QTest::addColumn<int>("queries");
    QTest::newRow("in order") << QByteArray("CDE") << 0 << true << 2 << 2 << 1;
    QTest::newRow("rules first, info last") << QByteArray("EDC") << 0 << true << 2 << 2 << 1;
    QTest::newRow("truncated players") << QByteArray("CDE") << 3 << true << 1 << 2 << 1;
    // The missing rules reply keeps it from completing; what came is still read.
    QTest::newRow("no rules reply") << QByteArray("CD") << 0 << false << 2 << 0 << 2;
    QTest::newRow("silent") << QByteArray() << 0 << false << 0 << 0 << 2;
}

void TestHLQuery::query() {
    QFETCH(QByteArray, answer);
    QFETCH(int, truncate);
    QFETCH(bool, responded);
    QFETCH(int, players);
    QFETCH(int, rules);
    QFETCH(int, queries);
    TLabHLConfig Config;
    Config.Name = "Bridge";
    Config.GameDir = "valve/tfc";
    Config.Players = {{"Bob", 7, 59.7f}, {"Ann", -1, 125.2f}};
    Config.Rules = {{"mp_timelimit", "30"}, {"sv_gravity", "800"}};
    Config.Answer = answer;
    Config.TruncatePlayers = truncate;
    TLabHLServer Lab(Config);
    QVERIFY(Lab.Listen());

    THLServer S("127.0.0.1", QByteArray::number(Lab.Port()));
    S.Timeout = 400;
    int Calls = 0;
    S.StartQuery([&](TCustomServer*) { ++Calls; });
    QTRY_COMPARE(Calls, 1);
    QCOMPARE(S.Responded, responded);
    QCOMPARE(Lab.Queries(), queries);
    QCOMPARE(int(S.Players.size()), players);
    QCOMPARE(S.Rules.size(), rules);
    if (!answer.isEmpty()) {
        QCOMPARE(S.ServerName, QByteArray("Bridge"));
        QCOMPARE(S.GameType, QByteArray("tfc"));
        QList<QByteArray> Bob;
        S.Players[0]->GetColumnTexts(Bob);
        QCOMPARE(Bob, (QByteArrayList{"Bob", "7", "1m 0s"}));
    }
}

QTEST_GUILESS_MAIN(TestHLQuery)
#include "tst_hlquery.moc"
