// The message-of-the-day exchange without a window: request and report texts, replies taken
// apart, and the settings a reply carries.
#include "portal/motd.h"

#include <QtTest>

using TSettings = QList<QPair<QByteArray, QByteArray>>;

class TestMotdReply : public QObject {
    Q_OBJECT
private slots:
    void request_data();
    void request();
    void usageReport_data();
    void usageReport();
    void parse_data();
    void parse();
    void settings_data();
    void settings();
};

void TestMotdReply::request_data() {
    QTest::addColumn<QByteArray>("email");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("notify");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("filled in") << QByteArray("ann@x.example") << QByteArray("Ann Example") << true
                               << QByteArray("MOTD|030104|tarnwick|ann@x.example|AbCd-1234-EfGh-"
                                             "5678|N|1|1|Ann Example|42|K1 2AB|");
    QTest::newRow("nothing given, no news wanted")
        << QByteArray() << QByteArray() << false
        << QByteArray("MOTD|030104|tarnwick||AbCd-1234-EfGh-5678|N|1|0||42|K1 2AB|");
    // A typed "|" would move every later field into the wrong place.
    QTest::newRow("separator typed into fields")
        << QByteArray("a|b@x.example") << QByteArray("|Ann||") << true
        << QByteArray("MOTD|030104|tarnwick|ab@x.example|AbCd-1234-EfGh-5678|N|1|1|Ann|42|K1 2AB|");
}

void TestMotdReply::request() {
    QFETCH(QByteArray, email);
    QFETCH(QByteArray, name);
    QFETCH(bool, notify);
    QFETCH(QByteArray, expected);
    TMotdRequestFields F;
    F.Version = "030104";
    F.Product = "tarnwick";
    F.Email = email;
    F.InstallCode = "AbCd-1234-EfGh-5678";
    F.Notify = notify;
    F.RealName = name;
    F.Age = "42";
    F.Zip = "K1 2AB";
    QCOMPARE(MotdRequest(F), expected);
}

void TestMotdReply::usageReport_data() {
    QTest::addColumn<qint64>("runMs");
    QTest::addColumn<qint64>("activeMs");
    QTest::addColumn<QByteArray>("expected");
    const qint64 Minute = 60'000;
    QTest::newRow("just started") << qint64(20'000) << qint64(20'000)
                                  << QByteArray("TIME|030104|tarnwick|AbCd-1234-EfGh-5678|0|0|");
    QTest::newRow("half a minute rounds down")
        << qint64(30'000) << qint64(0)
        << QByteArray("TIME|030104|tarnwick|AbCd-1234-EfGh-5678|0|0|");
    QTest::newRow("twelve and a half down, twelve point seven up")
        << 12 * Minute + 30'000 << 12 * Minute + 42'000
        << QByteArray("TIME|030104|tarnwick|AbCd-1234-EfGh-5678|12|13|");
    QTest::newRow("a long evening")
        << 300 * Minute + 5'000 << 95 * Minute
        << QByteArray("TIME|030104|tarnwick|AbCd-1234-EfGh-5678|300|95|");
}

void TestMotdReply::usageReport() {
    QFETCH(qint64, runMs);
    QFETCH(qint64, activeMs);
    QFETCH(QByteArray, expected);
    QCOMPARE(MotdUsageReport("030104", "tarnwick", "AbCd-1234-EfGh-5678", MotdMinutes(runMs),
                             MotdMinutes(activeMs)),
             expected);
}

void TestMotdReply::parse_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArrayList>("headers");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("separated");
    QTest::addColumn<bool>("expired");
    QTest::addColumn<bool>("rich");

    QTest::newRow("message only") << QByteArray("MOTD\nHello\nthere") << QByteArrayList{}
                                  << QByteArray("Hello\nthere") << true << false << false;
    QTest::newRow("headers first") << QByteArray("bannerinterval=60000\nlb1text=Hall\nMOTD\nNews\n")
                                   << QByteArrayList{"bannerinterval=60000", "lb1text=Hall"}
                                   << QByteArray("News") << true << false << false;
    QTest::newRow("CR LF line ends")
        << QByteArray("a=1\r\nMOTD\r\nOne\r\nTwo\r\n") << QByteArrayList{"a=1"}
        << QByteArray("One\nTwo") << true << false << false;
    QTest::newRow("expired") << QByteArray("updatever=3.2\nMOTD-EXPIRED\nGone")
                             << QByteArrayList{"updatever=3.2"} << QByteArray("Gone") << true
                             << true << false;
    QTest::newRow("separator again inside the message")
        << QByteArray("MOTD\nfirst\nMOTD-EXPIRED\nMOTD") << QByteArrayList{}
        << QByteArray("first\nMOTD-EXPIRED\nMOTD") << true << false << false;
    QTest::newRow("no separator: all headers, no message")
        << QByteArray("x=1\nplain line") << QByteArrayList{"x=1", "plain line"} << QByteArray()
        << false << false << false;
    QTest::newRow("separator must be the whole line")
        << QByteArray(" MOTD\nMOTDS\nMOTD\nok") << QByteArrayList{" MOTD", "MOTDS"}
        << QByteArray("ok") << true << false << false;
    QTest::newRow("rich when rtf appears anywhere")
        << QByteArray("note=\\rtf\nMOTD\nplain words") << QByteArrayList{"note=\\rtf"}
        << QByteArray("plain words") << true << false << true;
    QTest::newRow("rtf message") << QByteArray("MOTD\n{\\rtf1 {\\b Hi}}") << QByteArrayList{}
                                 << QByteArray("{\\rtf1 {\\b Hi}}") << true << false << true;
    QTest::newRow("empty") << QByteArray() << QByteArrayList{} << QByteArray() << false << false
                           << false;
}

void TestMotdReply::parse() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArrayList, headers);
    QFETCH(QByteArray, message);
    QFETCH(bool, separated);
    QFETCH(bool, expired);
    QFETCH(bool, rich);
    const TMotdReply R = TMotdReply::Parse(reply);
    QCOMPARE(R.Headers, headers);
    QCOMPARE(R.Message, message);
    QCOMPARE(R.Separated, separated);
    QCOMPARE(R.Expired, expired);
    QCOMPARE(R.Rich, rich);
}

void TestMotdReply::settings_data() {
    QTest::addColumn<QByteArrayList>("headers");
    QTest::addColumn<TSettings>("settings");
    QTest::addColumn<bool>("update");

    QTest::newRow("first value wins, in any case")
        << QByteArrayList{"lb1text=Hall", "LB1TEXT=Other", "lb1url=http://h.example/?a=b",
                          "lb1text=Third"}
        << TSettings{{"lb1text", "Hall"}, {"lb1url", "http://h.example/?a=b"}} << false;
    QTest::newRow("markup and lines without a name are no settings")
        << QByteArrayList{"<meta name=x>", "a<b=1", "=nameless", "no equals sign", "ok="}
        << TSettings{{"ok", ""}} << false;
    QTest::newRow("update offered")
        << QByteArrayList{"updatever=3.2", "updateurl=http://u.example/"}
        << TSettings{{"updatever", "3.2"}, {"updateurl", "http://u.example/"}} << true;
    QTest::newRow("update offered with an empty version")
        << QByteArrayList{"updatever="} << TSettings{{"updatever", ""}} << true;
    QTest::newRow("update name must be exact")
        << QByteArrayList{"UpdateVer=3.2", "updatever", "updatever2=1"}
        << TSettings{{"UpdateVer", "3.2"}, {"updatever2", "1"}} << false;
}

void TestMotdReply::settings() {
    QFETCH(QByteArrayList, headers);
    QFETCH(TSettings, settings);
    QFETCH(bool, update);
    QCOMPARE(MotdSettings(headers), settings);
    QCOMPARE(MotdOffersUpdate(headers), update);
}

QTEST_GUILESS_MAIN(TestMotdReply)
#include "tst_motdreply.moc"
