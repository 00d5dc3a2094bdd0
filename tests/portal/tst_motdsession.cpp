// The message-of-the-day session without a window, against the lab's message service on
// loopback (UDP and HTTP on one port): what goes out, what a reply stores, which questions it
// raises and what the answers lead to.
#include "labmotd.h"

#include "config/settings.h"
#include "config/settingsstore.h"
#include "net/netutils.h"
#include "portal/motdsession.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString DefaultDownload = "http://www.scoutly.example/download/";

struct TRig {
    QTemporaryDir Home;
    TLabMotdServer Lab;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TMotdSession> Session;
    QList<QByteArray> Shown; // messages, in order
    QList<bool> Forwards;
    QStringList Asked, Errors;
    QList<bool> Answers; // to the questions in turn; no when run out
    int Saves = 0, Ends = 0;

    bool Start(bool OverHttp) {
        qputenv("SCOUTLY_HOME", Home.path().toUtf8());
        if (!Lab.Listen()) return false;
        Settings = std::make_unique<TSettings>(
            TEdition::Morrow(), std::make_unique<TRegistry>(Home.filePath("registry.ini")));
        Settings->Load();
        Settings->SetFlag(TField::UdpMotd, !OverHttp);
        Settings->SetFlag(TField::HttpMotd, OverHttp);
        const QString Port = QString::number(Lab.Port());
        Settings->Store("motdhost", "127.0.0.1");
        Settings->Store("motdport", Port);
        Settings->Store("motdurl", "http://127.0.0.1:" + Port + "/motd?");
        Settings->LoadLinks();
        Session = std::make_unique<TMotdSession>(*Settings);
        Session->OnMessage = [this](TMotdSession*, const TMotdReply& Reply, bool Forward) {
            Shown << Reply.Message;
            Forwards << Forward;
        };
        Session->OnAsk = [this](TMotdSession*, const QString& Question, bool& Yes) {
            Asked << Question;
            Yes = !Answers.isEmpty() && Answers.takeFirst();
        };
        Session->OnError = [this](TMotdSession*, const QString& Text) { Errors << Text; };
        Session->OnUpdaterStarting = [this](TMotdSession*) { ++Saves; };
        Session->OnEndProgram = [this](TMotdSession*) { ++Ends; };
        return true;
    }

    // One request and its reply, as at a start of the program.
    bool Exchange() {
        const qsizetype Before = Shown.size();
        Session->RequestMotd();
        return QTest::qWaitFor([&] { return Shown.size() > Before; }, 10000);
    }
};
} // namespace

class TestMotdSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void transport_data();
    void transport();
    void storedHeaders_data();
    void storedHeaders();
    void forward_data();
    void forward();
    void questions_data();
    void questions();
    void replyWhileAsking();

private:
    QStringList Opened;
};

void TestMotdSession::init() {
    Opened.clear();
    SetOpenURLFailureHandler([this](const QString& Message) { Opened << Message; });
    qunsetenv("SCOUTLY_DATA_DIR");
}

void TestMotdSession::transport_data() {
    QTest::addColumn<bool>("overHttp");
    QTest::addColumn<bool>("notify");
    QTest::newRow("UDP, news wanted") << false << true;
    QTest::newRow("HTTP, no news wanted") << true << false;
}

void TestMotdSession::transport() {
    QFETCH(bool, overHttp);
    QFETCH(bool, notify);
    TRig R;
    QVERIFY(R.Start(overHttp));
    R.Settings->SetValue(TField::Email, "ann@x.example");
    R.Settings->SetValue(TField::RealName, "Ann|Example");
    R.Settings->SetValue(TField::Age, "42");
    R.Settings->SetValue(TField::Zip, "K1 2AB");
    R.Settings->SetFlag(TField::Notify, notify);
    R.Lab.Config.Message = "over the wire";
    QVERIFY(R.Exchange());
    QCOMPARE(R.Shown, QList<QByteArray>{"over the wire"});
    QCOMPARE(R.Lab.Requests().size(), 1);
    QCOMPARE(R.Lab.Requests()[0].Http, overHttp);
    QCOMPARE(R.Lab.Requests()[0].Text, "MOTD|030104|tarnwick|ann@x.example|" +
                                           R.Settings->InstallCode.toLatin1() + "|N|1|" +
                                           (notify ? "1" : "0") + "|AnnExample|42|K1 2AB|");
}

void TestMotdSession::storedHeaders_data() {
    QTest::addColumn<QList<QByteArray>>("headers");
    QTest::addColumn<QStringList>("stored");  // name=value, read back
    QTest::addColumn<QStringList>("missing"); // names that must stay unwritten
    QTest::addColumn<int>("interval");        // the banner period in effect
    QTest::newRow("settings and links")
        << QList<QByteArray>{"bannerinterval=120000",
                             "lb1text=Lab Hall",
                             "lb1url=http://lab.example/hall",
                             "LB1TEXT=Shadow",
                             "a<b=1",
                             "<meta name=x>",
                             "no equals sign"}
        << QStringList{"bannerinterval=120000", "lb1text=Lab Hall", "LB1TEXT=Lab Hall"}
        << QStringList{"a<b", "<meta name", "no equals sign"} << 120000;
    QTest::newRow("message only") << QList<QByteArray>{} << QStringList{}
                                  << QStringList{"bannerinterval", "lb1text"} << 300000;
    // Names as the service spells them; the values the program reads itself stay the user's.
    QTest::newRow("forged service values")
        << QList<QByteArray>{"BannerInterval=12000",
                             "Lb1Text=Lab Hall",
                             "MotdHost=203.0.113.9",
                             "motdport=1",
                             "motdurl=http://203.0.113.9/",
                             "CODE=AAAA-BBBB-CCCC-DDDD",
                             "motdck=1",
                             "showtips=False",
                             "updatedesc=Fixes",
                             "futurename=kept"}
        << QStringList{"bannerinterval=12000", "lb1text=Lab Hall", "motdhost=127.0.0.1",
                       "updatedesc=Fixes", "futurename=kept"}
        << QStringList{"showtips"} << 12000;
}

void TestMotdSession::storedHeaders() {
    QFETCH(QList<QByteArray>, headers);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, missing);
    QFETCH(int, interval);
    TRig R;
    QVERIFY(R.Start(false));
    const QString Port = R.Settings->Stored("motdport"), Code = R.Settings->InstallCode;
    R.Lab.Config.Headers = headers;
    R.Lab.Config.Message = "news";
    QVERIFY(R.Exchange());
    QCOMPARE(R.Session->Headers, headers);
    for (const QString& Pair : stored) {
        const QStringList Parts = Pair.split('=');
        QCOMPARE(R.Settings->Stored(Parts[0]), Parts[1]);
    }
    for (const QString& Name : missing)
        QVERIFY2(!R.Settings->Registry().ValueExists(R.Settings->DirectKey(), Name),
                 qPrintable(Name));
    QCOMPARE(R.Settings->Stored("motdck"), QString::number(TextChecksum(R.Lab.Config.Reply())));
    QCOMPARE(R.Settings->Stored("motdport"), Port);
    QCOMPARE(R.Settings->MotdUrl(), "http://127.0.0.1:" + Port.toLatin1() + "/motd?");
    QCOMPARE(R.Settings->Stored("code"), Code);
    // The link table is read again at once.
    QCOMPARE(R.Settings->Links[lkLb1].Text,
             QString(stored.isEmpty() ? "Morrow Central" : "Lab Hall"));
    QCOMPARE(R.Settings->BannerInterval, interval);
}

void TestMotdSession::forward_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("expired");
    QTest::addColumn<bool>("forward"); // for the second
    QTest::newRow("same message") << QByteArray("same") << QByteArray("same") << false << false;
    QTest::newRow("changed message") << QByteArray("old") << QByteArray("new") << false << true;
    QTest::newRow("expired, same") << QByteArray("over") << QByteArray("over") << true << true;
}

void TestMotdSession::forward() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, expired);
    QFETCH(bool, forward);
    TRig R;
    QVERIFY(R.Start(false));
    R.Lab.Config.Expired = expired;
    R.Lab.Config.Message = first;
    QVERIFY(R.Exchange());
    R.Lab.Config.Message = second;
    QVERIFY(R.Exchange());
    QCOMPARE(R.Forwards, (QList<bool>{true, forward}));
    QCOMPARE(R.Ends, 0); // expired without headers: nothing to ask, nothing ends
}

void TestMotdSession::questions_data() {
    QTest::addColumn<QList<QByteArray>>("headers");
    QTest::addColumn<bool>("expired");
    QTest::addColumn<bool>("updater"); // the update program is in the program folder
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("error"); // %1: the update program's path
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QString>("opened");
    const QList<QByteArray> Update{"updatever=3.2"};
    QTest::newRow("expired, new version, no to all")
        << Update << true << false << QList<bool>{false, false, false}
        << QStringList{TMotdSession::ExpiredUpdateQuestion,
                       TMotdSession::ExpiredDownloadQuestion(DefaultDownload),
                       TMotdSession::NewVersionQuestion}
        << QString() << true << QString();
    QTest::newRow("expired, to the download page")
        << QList<QByteArray>{"downloadtext=Get", "downloadurl=http://127.0.0.1:9/get"} << true
        << false << QList<bool>{true}
        << QStringList{TMotdSession::ExpiredDownloadQuestion("http://127.0.0.1:9/get")} << QString()
        << true << QString("http://127.0.0.1:9/get");
    QTest::newRow("new version declined")
        << Update << false << false << QList<bool>{false}
        << QStringList{TMotdSession::NewVersionQuestion} << QString() << false << QString();
    QTest::newRow("new version, no update program")
        << Update << false << false << QList<bool>{true}
        << QStringList{TMotdSession::NewVersionQuestion}
        << "The update program cannot be found at %1" << false << QString();
    QTest::newRow("new version, update program run through wine")
        << Update << false << true << QList<bool>{true}
        << QStringList{TMotdSession::NewVersionQuestion} << QString() << true << QString();
    QTest::newRow("new version, no wine")
        << Update << false << true << QList<bool>{true}
        << QStringList{TMotdSession::NewVersionQuestion}
        << "Wine is needed to start vevorozar.exe: install the wine package and try again." << false
        << QString();
}

void TestMotdSession::questions() {
    QFETCH(QList<QByteArray>, headers);
    QFETCH(bool, expired);
    QFETCH(bool, updater);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, asked);
    QFETCH(QString, error);
    QFETCH(bool, ends);
    QFETCH(QString, opened);
    QTemporaryDir Data;
    qputenv("SCOUTLY_DATA_DIR", Data.path().toUtf8());
    const QString Args = Data.filePath("args");
    // The only Wine found is a stand-in that notes it ran, then runs the script it is given.
    const QByteArray SavedPath = qgetenv("PATH");
    const auto RestorePath = qScopeGuard([&] { qputenv("PATH", SavedPath); });
    qputenv("PATH", Data.path().toUtf8());
    const bool Wine = !error.startsWith("Wine");
    if (Wine) {
        QFile Script(Data.filePath("wine"));
        QVERIFY(Script.open(QIODevice::WriteOnly));
        Script.write("#!/bin/sh\n: > '" + Args.toUtf8() + ".wine'\nexec \"$@\"\n");
        Script.close();
        Script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (updater) {
        QFile Script(TMotdSession::UpdaterPath());
        QVERIFY(Script.open(QIODevice::WriteOnly));
        Script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + Args.toUtf8() + ".part'\n/bin/mv '" +
                     Args.toUtf8() + ".part' '" + Args.toUtf8() + "'\n");
        Script.close();
        Script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    TRig R;
    QVERIFY(R.Start(false));
    R.Answers = answers;
    R.Lab.Config.Headers = headers;
    R.Lab.Config.Expired = expired;
    R.Lab.Config.Message = "news";
    QVERIFY(R.Exchange());
    QCOMPARE(R.Asked, asked);
    if (error.contains("%1")) error = error.arg(TMotdSession::UpdaterPath());
    QCOMPARE(R.Errors, error.isEmpty() ? QStringList{} : QStringList{error});
    QCOMPARE(R.Ends, ends ? 1 : 0);
    QCOMPARE(Opened, opened.isEmpty() ? QStringList{}
                                      : QStringList{"Unable to launch web browser - " + opened});
    QCOMPARE(R.Saves, updater && Wine ? 1 : 0);
    if (!updater || !Wine) return;
    QTRY_VERIFY(QFile::exists(Args));
    QVERIFY(QFile::exists(Args + ".wine"));
    QFile File(Args);
    QVERIFY(File.open(QIODevice::ReadOnly));
    QCOMPARE(File.readAll(), QByteArray("Software\\Scoutly\\tarnwick\\morrow\n"));
}

void TestMotdSession::replyWhileAsking() {
    TRig R;
    QVERIFY(R.Start(false));
    R.Lab.Config.Headers = {"updatever=3.2"};
    R.Lab.Config.Message = "first";
    // A second reply lands while the question of the first is open: it waits for the answer.
    R.Session->OnAsk = [&](TMotdSession*, const QString&, bool& Yes) {
        R.Session->HandleReply("MOTD\nsecond");
        R.Asked << QString::number(R.Shown.size());
        Yes = false;
    };
    QVERIFY(R.Exchange());
    QCOMPARE(R.Asked, QStringList{"1"});
    QCOMPARE(R.Shown, (QList<QByteArray>{"first", "second"}));
    QCOMPARE(R.Session->Headers, QList<QByteArray>{});
}

QTEST_MAIN(TestMotdSession)
#include "tst_motdsession.moc"
