// scoutly-query as users run it, against lab game servers in this process.
#include "labgameserver.h"
#include "labmaster.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

namespace {

struct TRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
    qint64 Ms = 0;
};

// Runs the program while this process's event loop keeps the lab servers answering.
TRun RunQuery(const QStringList& Arguments) {
    QProcess P;
    QElapsedTimer Clock;
    Clock.start();
    P.start(qEnvironmentVariable("SCOUTLY_QUERY_BIN"), Arguments);
    TRun Run;
    if (!P.waitForStarted(5000)) return Run;
    while (P.state() != QProcess::NotRunning && Clock.elapsed() < 20000)
        QTest::qWait(10);
    Run.ExitCode = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
    Run.Out = P.readAllStandardOutput();
    Run.Err = P.readAllStandardError();
    Run.Ms = Clock.elapsed();
    return Run;
}

TLabServerConfig AlphaConfig() {
    TLabServerConfig C;
    C.HostName = "Alpha Arena";
    C.MapName = "dm1";
    C.GameType = "ctf";
    C.HostPort = "7777";
    C.MaxPlayers = 16;
    C.Players = {{"Bob", "red", "1", "Human", "Knight", 5, 2, 40},
                 {"Eve", "blue", "2", "Elf", "Archer", 1, 3, 60}};
    C.Rules = {{"timelimit", "20"}};
    return C;
}

quint16 SilentPort(QUdpSocket& Holder) {
    Holder.bind(QHostAddress::LocalHost, 0); // bound, never read: a server that stays silent
    return Holder.localPort();
}

} // namespace

class TestScoutlyQuery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void textOutput();
    void sqpProtocolColumns();
    void jsonOutput();
    void silentServer();
    void mixedAnswers();
    void badArguments_data();
    void badArguments();
    void wholeListFromMaster();
    void masterUnreachable();
    void severalMasters();

private:
    TLabGameServer Alpha{AlphaConfig()};
};

void TestScoutlyQuery::initTestCase() {
    QVERIFY(QFileInfo(qEnvironmentVariable("SCOUTLY_QUERY_BIN")).isExecutable());
    QVERIFY(Alpha.Listen());
}

void TestScoutlyQuery::textOutput() {
    const QString Address = QString("127.0.0.1:%1").arg(Alpha.Port());
    const TRun Run = RunQuery({Address});
    QCOMPARE(Run.ExitCode, 0);
    const QString Out = QString::fromUtf8(Run.Out);
    QVERIFY2(Out.startsWith(Address + "\n"), qPrintable(Out));
    const QRegularExpression Row("Server Name +Alpha Arena\\n +Ping +\\d+\\n +Players +2/16\\n"
                                 " +Map +dm1\\n +Game Type +ctf\\n +Game Port +7777\\n");
    QVERIFY2(Row.match(Out).hasMatch(), qPrintable(Out));
    QVERIFY2(
        QRegularExpression("Name +Frags +Ping +Team +Skin\\n +Bob +5 +40 +red +Human\\\\Knight\\n"
                           " +Eve +1 +60 +blue +Elf\\\\Archer\\n")
            .match(Out)
            .hasMatch(),
        qPrintable(Out));
    QVERIFY2(QRegularExpression("rules \\(1\\):\\n +timelimit +20\\n").match(Out).hasMatch(),
             qPrintable(Out));
}

void TestScoutlyQuery::sqpProtocolColumns() {
    const TRun Run = RunQuery({"--protocol", "sqp", QString("127.0.0.1:%1").arg(Alpha.Port())});
    QCOMPARE(Run.ExitCode, 0);
    QVERIFY2(QRegularExpression("Name +Frags +Deaths +Ping +Team\\n +Bob +5 +2 +40 +red\\n")
                 .match(QString::fromUtf8(Run.Out))
                 .hasMatch(),
             Run.Out.constData());
    // mesh and skin are not player keys of the plain protocol: they show up as rules.
    QVERIFY(Run.Out.contains("mesh_0"));
}

void TestScoutlyQuery::jsonOutput() {
    const TRun Run = RunQuery({"--json", QString("127.0.0.1:%1").arg(Alpha.Port())});
    QCOMPARE(Run.ExitCode, 0);
    QJsonParseError Error;
    const QJsonDocument Doc = QJsonDocument::fromJson(Run.Out, &Error);
    QCOMPARE(Error.error, QJsonParseError::NoError);
    const QJsonArray Servers = Doc.object()["servers"].toArray();
    QCOMPARE(Servers.size(), 1);
    const QJsonObject S = Servers[0].toObject();
    QCOMPARE(S["name"].toString(), QString("Alpha Arena"));
    QCOMPARE(S["responded"].toBool(), true);
    QCOMPARE(S["numplayers"].toInt(), 2);
    QCOMPARE(S["maxplayers"].toInt(), 16);
    QCOMPARE(S["map"].toString(), QString("dm1"));
    QCOMPARE(S["gametype"].toString(), QString("ctf"));
    QCOMPARE(S["gameport"].toString(), QString("7777"));
    QVERIFY(S["ping"].toInt() < 1000);
    const QJsonArray Players = S["players"].toArray();
    QCOMPARE(Players.size(), 2);
    QCOMPARE(Players[1].toObject()["name"].toString(), QString("Eve"));
    QCOMPARE(Players[1].toObject()["skin"].toString(), QString("Elf\\Archer"));
    QCOMPARE(S["rules"].toArray()[0].toObject()["key"].toString(), QString("timelimit"));
}

void TestScoutlyQuery::silentServer() {
    QUdpSocket Holder;
    const quint16 Port = SilentPort(Holder);
    const TRun Run = RunQuery({QString("127.0.0.1:%1").arg(Port)});
    QCOMPARE(Run.ExitCode, 2);
    // Two attempts of two seconds each before it is given up.
    QVERIFY2(Run.Ms >= 3800 && Run.Ms < 7000, qPrintable(QString::number(Run.Ms)));
    QVERIFY2(QRegularExpression("Server Name +NOT RESPONDING\\n +Ping +9999\\n")
                 .match(QString::fromUtf8(Run.Out))
                 .hasMatch(),
             Run.Out.constData());
}

void TestScoutlyQuery::mixedAnswers() {
    QUdpSocket Holder;
    const QString Silent = QString("127.0.0.1:%1").arg(SilentPort(Holder));
    const QString Answering = QString("localhost:%1").arg(Alpha.Port());
    const TRun Run = RunQuery({"--json", Silent, Answering});
    QCOMPARE(Run.ExitCode, 2);
    const QJsonArray Servers = QJsonDocument::fromJson(Run.Out).object()["servers"].toArray();
    QCOMPARE(Servers.size(), 2);
    // Argument order, whichever answered first.
    QCOMPARE(Servers[0].toObject()["address"].toString(), Silent);
    QCOMPARE(Servers[0].toObject()["responded"].toBool(), false);
    QCOMPARE(Servers[0].toObject()["ping"].toInt(), 9999);
    QCOMPARE(Servers[1].toObject()["address"].toString(), Answering);
    QCOMPARE(Servers[1].toObject()["name"].toString(), QString("Alpha Arena"));
}

void TestScoutlyQuery::badArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no address") << QStringList{} << QString("usage: scoutly-query");
    QTest::newRow("no port") << QStringList{"127.0.0.1"} << QString("is not HOST:PORT");
    QTest::newRow("port zero") << QStringList{"127.0.0.1:0"} << QString("is not HOST:PORT");
    QTest::newRow("port text") << QStringList{"127.0.0.1:abc"} << QString("is not HOST:PORT");
    QTest::newRow("unknown protocol")
        << QStringList{"--protocol", "xyz", "127.0.0.1:1"} << QString("unknown protocol 'xyz'");
    QTest::newRow("unknown option")
        << QStringList{"--frobnicate", "127.0.0.1:1"} << QString("Unknown option");
    QTest::newRow("rate zero") << QStringList{"--rate", "0", "127.0.0.1:1"}
                               << QString("--rate takes a number from 1 to 5000");
    QTest::newRow("bad master in a list") << QStringList{"--master", "127.0.0.1:1;127.0.0.1:0"}
                                          << QString("'127.0.0.1:0' is not HOST[:PORT]");
}

void TestScoutlyQuery::badArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const TRun Run = RunQuery(arguments);
    QCOMPARE(Run.ExitCode, 1);
    QVERIFY2(QString::fromUtf8(Run.Err).contains(message), Run.Err.constData());
    QVERIFY(Run.Out.isEmpty());
}

void TestScoutlyQuery::wholeListFromMaster() {
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(12)));
    TLabMasterServer Master;
    for (int I = 0; I < Farm.Count(); ++I)
        Master.Config.Lists["morrow"] << "127.0.0.1:" + QByteArray::number(Farm.Port(I));
    QVERIFY(Master.Listen());
    const QString MasterAddress = QString("127.0.0.1:%1").arg(Master.Port());

    const TRun Run = RunQuery({"--master", MasterAddress, "--game", "morrow", "--parallel", "4"});
    QCOMPARE(Run.ExitCode, 0);
    const QStringList Lines = QString::fromUtf8(Run.Out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Lines.size(), 13); // a row per server, then the summary
    for (int I = 0; I < Farm.Count(); ++I) {
        const QString Name = QString::fromUtf8(Farm.Server(I)->Config.HostName);
        QCOMPARE(Lines.filter(QString("127.0.0.1:%1 ").arg(Farm.Port(I))).size(), 1);
        QVERIFY2(Lines.filter(QString("127.0.0.1:%1 ").arg(Farm.Port(I)))[0].endsWith(" " + Name),
                 qPrintable(Lines.join('\n')));
    }
    QVERIFY2(QRegularExpression("^12 servers listed, 12 answered, 0 not responding, [0-9.]+ s$")
                 .match(Lines.last())
                 .hasMatch(),
             qPrintable(Lines.last()));
    const QStringList Status = QString::fromUtf8(Run.Err).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Status.first(), QString("Server List"));
    QVERIFY(Status.contains("Updating Servers 0%"));
    QCOMPARE(Status.last(), QString("Updates Complete"));

    const TRun Json = RunQuery({"--json", "--master", MasterAddress});
    QCOMPARE(Json.ExitCode, 0);
    const QJsonObject Doc = QJsonDocument::fromJson(Json.Out).object();
    QCOMPARE(Doc["servers"].toArray().size(), 12);
    QCOMPARE(Doc["summary"].toObject()["answered"].toInt(), 12);
}

void TestScoutlyQuery::masterUnreachable() {
    QUdpSocket Holder;
    const TRun Run =
        RunQuery({"--master", QString("127.0.0.1:%1").arg(SilentPort(Holder)), "--game", "morrow"});
    QCOMPARE(Run.ExitCode, 3);
    QVERIFY2(Run.Err.contains("Master server: Connection refused"), Run.Err.constData());
    QVERIFY(Run.Out.startsWith("0 servers listed"));
}

void TestScoutlyQuery::severalMasters() {
    // Overlapping lists, given as a list and again: merged; the master down is named.
    TLabFarm Farm;
    QVERIFY(Farm.Start(TLabFarm::MakeConfigs(6)));
    TLabMasterServer First, Second;
    for (int I = 0; I < Farm.Count(); ++I)
        (I < 4 ? First : Second).Config.Lists["morrow"]
            << "127.0.0.1:" + QByteArray::number(Farm.Port(I));
    First.Config.Lists["morrow"] << Second.Config.Lists["morrow"].first();
    QVERIFY(First.Listen() && Second.Listen());
    QUdpSocket Holder;
    const quint16 Down = SilentPort(Holder);
    const TRun Run =
        RunQuery({"--master", QString("127.0.0.1:%1, 127.0.0.1:%2").arg(First.Port()).arg(Down),
                  "--master", QString("127.0.0.1:%1").arg(Second.Port()), "--rate", "50"});
    QCOMPARE(Run.ExitCode, 0);
    QVERIFY2(Run.Err.contains(
                 QString("Master server 127.0.0.1:%1: Connection refused").arg(Down).toUtf8()),
             Run.Err.constData());
    QVERIFY2(Run.Out.contains("6 servers listed, 6 answered"), Run.Out.constData());
    QVERIFY(Run.Ms >= 5 * 1000 / 50);
}

QTEST_GUILESS_MAIN(TestScoutlyQuery)
#include "tst_scoutly_query.moc"
