// The "News" window in the main window as the program builds it, against a message service on
// loopback: a UDP socket and a small HTTP server inside the test, once through a real HTTP
// proxy (tinyproxy). Questions are answered like a user would; an ending program is seen as
// the application's event loop being told to exit.
#include "peers/minihttp.h"
#include "shell/mainwindowfixture.h"
#include "stallwatch.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/config/config_main.h"

#include "chat/chatsession.h"
#include "config/paths.h"
#include "masterlist/browser.h"
#include "net/http.h"
#include "net/netutils.h"
#include "peers/peers.h"
#include "portal/motdsession.h"
#include "ui/app/program.h"
#include "ui/news/motd_main.h"
#include "ui/widgets/dockarea.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QUdpSocket>
#include <QtTest>

namespace {

const QString EditionKey = "Software\\Scoutly\\tarnwick\\morrow";

const QString ExpiredUpdate = "This program has expired. You must download a newer version\n"
                              "Would you like to launch the auto-update program now?";
const QString NewVersion =
    "There is a new version available.\nWould you like to launch the auto-update program now?";
QString ExpiredDownload(const QString& Address) {
    return "This program has expired. You must download a newer version\nA new version may be "
           "available at: " +
           Address + "\nWould you like to go there now?";
}
const QString DefaultDownload = "http://www.scoutly.example/download/";

// The service's UDP side: keeps requests and reports, answers the last requester on demand.
class TUdpService : public QObject {
public:
    QList<QByteArray> Requests, Reports;

    bool Listen() {
        connect(&Socket, &QUdpSocket::readyRead, this, [this] {
            while (Socket.hasPendingDatagrams()) {
                const QNetworkDatagram D = Socket.receiveDatagram();
                if (D.data().startsWith("TIME|")) {
                    Reports << D.data();
                    continue;
                }
                Requests << D.data();
                Peer = D.senderAddress();
                PeerPort = quint16(D.senderPort());
            }
        });
        return Socket.bind(QHostAddress::LocalHost, 0);
    }
    quint16 Port() const { return Socket.localPort(); }
    void Reply(const QByteArray& Text) { Socket.writeDatagram(Text, Peer, PeerPort); }

private:
    QUdpSocket Socket;
    QHostAddress Peer;
    quint16 PeerPort = 0;
};

// A main window whose News window talks to the services above.
struct TNews {
    TUdpService Udp;
    TMiniHttpServer Http;
    QTemporaryDir Data;   // the program folder, where the update program would be
    TMainWindowFixture F; // its lab farm and master stay idle

    bool Start(bool OverHttp, const QHash<QString, QString>& Fields = {},
               const QString& Host = "127.0.0.1") {
        qputenv("SCOUTLY_HOME", F.Home.path().toUtf8());
        qputenv("SCOUTLY_DATA_DIR", Data.path().toUtf8());
        if (!Udp.Listen() || !Http.Listen()) return false;
        if (!Http.Pages.contains("/motd")) Http.Pages["/motd"] = {200, "MOTD\nover the web"};
        const QString Game = F.Home.path() + "/game/";
        QDir().mkpath(Game);
        QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
        {
            TRegistry Registry;
            Registry.WriteString(FieldsKey, "program_dir_Text", Game);
            Registry.WriteString(FieldsKey, "chatconnect_Checked", "False");
            Registry.WriteString(FieldsKey, "udpmotdbutt_Checked", OverHttp ? "False" : "True");
            Registry.WriteString(FieldsKey, "httpmotdbutt_Checked", OverHttp ? "True" : "False");
            for (auto It = Fields.begin(); It != Fields.end(); ++It)
                Registry.WriteString(FieldsKey, It.key(), It.value());
            Registry.WriteString(EditionKey, "motdhost", Host);
            Registry.WriteString(EditionKey, "motdport", QString::number(Udp.Port()));
            Registry.WriteString(EditionKey, "motdurl", Http.Url("/motd?"));
        }
        F.Open();
        return true;
    }

    // Answers the request that came over UDP and waits until the window shows Text.
    bool Answer(const QByteArray& Reply, const QString& Text) {
        if (!QTest::qWaitFor([this] { return !Udp.Requests.isEmpty(); }, 10000)) return false;
        Udp.Reply(Reply);
        return QTest::qWaitFor([&] { return News()->motd_text->toPlainText() == Text; }, 10000);
    }

    QString Setting(const QString& Name) const { return Settings().Stored(Name); }
    TSettings& Settings() const { return *F.Windows->Settings; }
    Tmotd_form* News() const { return F.Windows->News; }

    QStringList StoredNames() const {
        QSettings Store(TRegistry::DefaultFileName(), QSettings::IniFormat);
        Store.beginGroup("Software/Scoutly/tarnwick/morrow");
        return Store.childKeys();
    }
};

// Answers each message box in turn with the next button of a script, keeping the texts.
struct TBoxScript {
    QList<QMessageBox::StandardButton> Answers;
    QStringList Texts;
    QTimer Timer;
    QPointer<QMessageBox> Last;

    explicit TBoxScript(QList<QMessageBox::StandardButton> Script) : Answers(std::move(Script)) {
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!Box || Box == Last) return;
            Last = Box;
            Texts << Box->text();
            const QMessageBox::StandardButton Next =
                Answers.isEmpty() ? QMessageBox::NoButton : Answers.takeFirst();
            QAbstractButton* Button = Box->button(Next);
            (Button ? Button : Box->buttons().constFirst())->click();
        });
        Timer.start(10);
    }
};

// What the windows hand to the desktop to open.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& Url) { Opened << Url; }
};

QList<QPair<QString, QString>> Anchors(const QTextDocument* Document) {
    QList<QPair<QString, QString>> Result; // href, text
    for (QTextBlock B = Document->begin(); B.isValid(); B = B.next())
        for (auto It = B.begin(); !It.atEnd(); ++It)
            if (It.fragment().charFormat().isAnchor())
                Result.append({It.fragment().charFormat().anchorHref(), It.fragment().text()});
    return Result;
}

} // namespace

class TestMotd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void requestOverUdp_data();
    void requestOverUdp();
    void requestOverHttp();
    void httpOutcome_data();
    void httpOutcome();
    void messageOnly();
    void headersTakeEffect();
    void pageForward_data();
    void pageForward();
    void questions_data();
    void questions();
    void usageReport_data();
    void usageReport();
    void linksOpenInBrowser_data();
    void linksOpenInBrowser();
    void closeDocksBack();
    void throughHttpProxy();
    void longLine_data();
    void longLine();

private:
    TUrlCatcher Catcher;
};

void TestMotd::initTestCase() {
    for (const QString& Scheme : Tmotd_form::LinkSchemes)
        QDesktopServices::setUrlHandler(Scheme, &Catcher, "Open");
}

void TestMotd::cleanupTestCase() {
    for (const QString& Scheme : Tmotd_form::LinkSchemes)
        QDesktopServices::unsetUrlHandler(Scheme);
}

void TestMotd::cleanup() {
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    qunsetenv("SCOUTLY_DATA_DIR");
    Catcher.Opened.clear();
}

void TestMotd::requestOverUdp_data() {
    QTest::addColumn<QString>("notify");
    QTest::addColumn<QString>("end"); // what follows the code
    QTest::newRow("news wanted") << "True"
                                 << "|N|1|1|Ann Example|42|K1 2AB|";
    QTest::newRow("no news wanted") << "False"
                                    << "|N|1|0|Ann Example|42|K1 2AB|";
}

void TestMotd::requestOverUdp() {
    QFETCH(QString, notify);
    QFETCH(QString, end);
    TNews N;
    QVERIFY(N.Start(false, {{"email_Text", "ann@x.example"},
                            {"realname_Text", "Ann Example"},
                            {"age_Text", "42"},
                            {"zip_Text", "K1 2AB"},
                            {"notify_box_Checked", notify}}));
    QTRY_COMPARE(N.Udp.Requests.size(), 1);
    const QString Code = N.Setting("code");
    QCOMPARE(Code.size(), 19);
    QCOMPARE(N.Udp.Requests[0], ("MOTD|030104|tarnwick|ann@x.example|" + Code + end).toUtf8());
    QVERIFY(N.Http.Targets.isEmpty());
}

void TestMotd::requestOverHttp() {
    TNews N;
    QVERIFY(N.Start(true, {{"email_Text", "ann@x.example"}, {"realname_Text", "Ann Example"}}));
    QTRY_COMPARE(N.News()->motd_text->toPlainText(), QString("over the web"));
    QCOMPARE(N.Http.Targets.size(), 1);
    const QByteArray Target = N.Http.Targets[0];
    QVERIFY2(Target.startsWith("/motd?"), Target.constData());
    const QByteArray Query = Target.mid(6);
    // Letters and digits as they are, everything else (the "|" too) as %XX.
    QVERIFY2(QRegularExpression("^(?:[A-Za-z0-9]|%[0-9A-F]{2})+$").match(QString(Query)).hasMatch(),
             Query.constData());
    QVERIFY(Query.startsWith("MOTD%7C030104%7Ctarnwick%7Cann%40x%2Eexample%7C"));
    QCOMPARE(QByteArray::fromPercentEncoding(Query),
             ("MOTD|030104|tarnwick|ann@x.example|" + N.Setting("code") + "|N|1|1|Ann Example|||")
                 .toUtf8());
    QVERIFY(N.Udp.Requests.isEmpty());
}

void TestMotd::httpOutcome_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("cutShort");
    QTest::addColumn<bool>("taken");
    QTest::newRow("200") << 200 << false << true;
    QTest::newRow("404 page") << 404 << false << false;
    QTest::newRow("500 page") << 500 << false << false;
    QTest::newRow("document cut short") << 200 << true << false;
}

void TestMotd::httpOutcome() {
    QFETCH(int, status);
    QFETCH(bool, cutShort);
    QFETCH(bool, taken);
    TNews N;
    N.Http.Pages["/motd"] = {status, "weather=fine\nMOTD\nthe page", 0, false, cutShort};
    QVERIFY(N.Start(true));
    QTRY_COMPARE(N.Http.Targets.size(), 1);
    if (taken) QTRY_COMPARE(N.News()->motd_text->toPlainText(), QString("the page"));
    QTRY_COMPARE(N.News()->Session->Httpmotdcli->State(), httpReady);
    QCOMPARE(N.Setting("weather"), taken ? QString("fine") : QString());
    QCOMPARE(N.Setting("motdck").isEmpty(), !taken);
    if (!taken) QCOMPARE(N.News()->motd_text->toPlainText(), QString());
}

void TestMotd::messageOnly() {
    TNews N;
    QVERIFY(N.Start(false));
    QTRY_VERIFY(!N.Udp.Requests.isEmpty());
    const QStringList Before = N.StoredNames();
    QVERIFY(N.Answer("MOTD\nOnly news, no settings\nSecond line",
                     "Only news, no settings\nSecond line"));
    QVERIFY(N.News()->Session->Headers.isEmpty());
    QStringList After = N.StoredNames();
    QVERIFY(After.removeOne("motdck"));
    QCOMPARE(After, Before);
    QCOMPARE(N.Setting("motdck"),
             QString::number(TextChecksum("MOTD\nOnly news, no settings\nSecond line")));
}

void TestMotd::headersTakeEffect() {
    TNews N;
    QVERIFY(N.Start(false));
    QCOMPARE(N.Settings().BannerInterval, 300000);
    QVERIFY(N.Answer("bannerinterval=120000\nlb1text=Lab Hall\nlb1url=http://lab.example/hall\n"
                     "LB1TEXT=Shadow\na<b=1\n<meta name=x>\nMOTD\nWelcome",
                     "Welcome"));
    QCOMPARE(N.Setting("bannerinterval"), QString("120000"));
    // Read back into the link table and the banner interval at once.
    QCOMPARE(N.Settings().BannerInterval, 120000);
    QCOMPARE(N.Settings().Links[lkLb1].Text, QString("Lab Hall"));
    QCOMPARE(N.Settings().Links[lkLb1].Address, QString("http://lab.example/hall"));
    QCOMPARE(N.F.Main->LinkButtons[0]->text(), QString("Lab Hall"));
    for (const QString& Name : N.StoredNames())
        QVERIFY2(!Name.contains('<') && Name != "LB1TEXT", qPrintable(Name));
    QCOMPARE(N.News()->Session->Headers.size(), 6);
}

void TestMotd::pageForward_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("forward"); // at the second start
    QTest::newRow("same message at the next start")
        << QByteArray("MOTD\nSame news") << QByteArray("MOTD\nSame news") << false;
    QTest::newRow("changed message")
        << QByteArray("MOTD\nOld news") << QByteArray("MOTD\nNew news") << true;
    QTest::newRow("expired without headers: forward, no question")
        << QByteArray("MOTD-EXPIRED\nOver") << QByteArray("MOTD-EXPIRED\nOver") << true;
}

void TestMotd::pageForward() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, forward);
    TNews N;
    QVERIFY(N.Start(false));
    TDockArea* Pages = N.F.Main->pages;
    QTRY_COMPARE(Pages->ActiveWindow(), N.News()); // docked last
    // The chat page, docked first, in front instead.
    QWidget* Other = Pages->Docks().first()->Window();
    Pages->Activate(Other);
    QTRY_COMPARE(Pages->ActiveWindow(), Other);
    QVERIFY(N.Answer(first, DisplayText(first.mid(first.indexOf('\n') + 1))));
    QTRY_COMPARE(Pages->ActiveWindow(), N.News()); // never seen before

    N.Udp.Requests.clear();
    N.F.Restart();
    Pages = N.F.Main->pages;
    Other = Pages->Docks().first()->Window();
    Pages->Activate(Other);
    QTRY_COMPARE(Pages->ActiveWindow(), Other);
    QVERIFY(N.Answer(second, DisplayText(second.mid(second.indexOf('\n') + 1))));
    if (forward)
        QTRY_COMPARE(Pages->ActiveWindow(), N.News());
    else
        QCOMPARE(Pages->ActiveWindow(), Other);
    QCOMPARE(N.Setting("motdck"), QString::number(TextChecksum(second)));
}

void TestMotd::questions_data() {
    using B = QMessageBox::StandardButton;
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("updater"); // the update program is in the program folder
    QTest::addColumn<QList<B>>("answers");
    QTest::addColumn<QStringList>("texts"); // MISSING: the missing-updater error
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QString>("opened");

    const QByteArray Expired = "updatever=3.2\nupdateurl=http://u.example/\nMOTD-EXPIRED\nOver";
    const QByteArray Newer = "updatever=3.2\nMOTD\nNewer";
    QTest::newRow("expired, new version, no to all")
        << Expired << false << QList<B>{B::No, B::No, B::No}
        << QStringList{ExpiredUpdate, ExpiredDownload(DefaultDownload), NewVersion} << true
        << QString();
    QTest::newRow("expired, no new version, to the download page")
        << QByteArray("downloadtext=Get it\ndownloadurl=http://127.0.0.1:9/get\nMOTD-EXPIRED\nOver")
        << false << QList<B>{B::Yes} << QStringList{ExpiredDownload("http://127.0.0.1:9/get")}
        << true << QString("http://127.0.0.1:9/get");
    QTest::newRow("expired, new version, update program missing")
        << Expired << false << QList<B>{B::Yes, B::Ok, B::No, B::No}
        << QStringList{ExpiredUpdate, "MISSING", ExpiredDownload(DefaultDownload), NewVersion}
        << true << QString();
    QTest::newRow("expired, new version, update program run")
        << Expired << true << QList<B>{B::Yes} << QStringList{ExpiredUpdate} << true << QString();
    QTest::newRow("new version declined")
        << Newer << false << QList<B>{B::No} << QStringList{NewVersion} << false << QString();
    QTest::newRow("new version, update program missing")
        << Newer << false << QList<B>{B::Yes, B::Ok} << QStringList{NewVersion, "MISSING"} << false
        << QString();
    QTest::newRow("new version, update program run")
        << Newer << true << QList<B>{B::Yes} << QStringList{NewVersion} << true << QString();
    QTest::newRow("expired without headers asks nothing")
        << QByteArray("MOTD-EXPIRED\nOver") << false << QList<B>{} << QStringList{} << false
        << QString();
}

void TestMotd::questions() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, updater);
    QFETCH(QList<QMessageBox::StandardButton>, answers);
    QFETCH(QStringList, texts);
    QFETCH(bool, ends);
    QFETCH(QString, opened);
    TNews N;
    QVERIFY(N.Start(false));
    const QString Folder = N.Data.path();
    const QString Updater = QDir::toNativeSeparators(Folder + "/vevorozar.exe");
    texts.replaceInStrings("MISSING", "The update program cannot be found at " + Updater);
    if (updater) {
        // Keeps its arguments and what the program had written when the updater started.
        QFile Script(Updater);
        QVERIFY(Script.open(QIODevice::WriteOnly));
        Script.write("#!/bin/sh\n"
                     "cp '" +
                     N.F.Main->Browser->Favorites.FileName().toUtf8() + "' '" + Folder.toUtf8() +
                     "/favorites.seen'\n"
                     "cp '" +
                     TRegistry::DefaultFileName().toUtf8() + "' '" + Folder.toUtf8() +
                     "/registry.seen'\n"
                     "printf '%s\\n' \"$@\" > '" +
                     Folder.toUtf8() +
                     "/args.part'\n"
                     "mv '" +
                     Folder.toUtf8() + "/args.part' '" + Folder.toUtf8() + "/args'\n");
        Script.close();
        Script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // A Windows program starts through Wine: a stand-in that runs the script it is given.
        QFile Wine(Folder + "/wine");
        QVERIFY(Wine.open(QIODevice::WriteOnly));
        Wine.write("#!/bin/sh\nexec \"$@\"\n");
        Wine.close();
        Wine.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray SavedPath = qgetenv("PATH");
    const auto RestorePath = qScopeGuard([&] { qputenv("PATH", SavedPath); });
    qputenv("PATH", Folder.toUtf8() + ':' + SavedPath);
    // Changes the updater must find saved: a new favourite and a setting not yet written.
    N.F.Main->Browser->Favorites.Add(TMorrowServer("10.1.2.3", "1400"));
    N.Settings().SetValue(TField::Email, "changed@x.example");
    QTRY_VERIFY(!N.Udp.Requests.isEmpty());

    TBoxScript Boxes(answers);
    // The program's exit request ends the loop with 0; otherwise the test ends it with 42 once
    // the reply has been handled and every question answered.
    QTimer Settled;
    Settled.setSingleShot(true);
    connect(&Settled, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    QTimer Watch;
    connect(&Watch, &QTimer::timeout, [&] {
        if (N.News() && N.News()->motd_text->toPlainText().isEmpty()) return;
        if (QApplication::activeModalWidget() || Boxes.Texts.size() < texts.size()) return;
        if (!Settled.isActive()) Settled.start(300);
    });
    Watch.start(10);
    QTimer Limit;
    connect(&Limit, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    Limit.start(20000);
    QTimer::singleShot(0, [&] { N.Udp.Reply(reply); });
    const int Code = QCoreApplication::exec();
    Watch.stop();
    Settled.stop();
    Limit.stop();

    QCOMPARE(Boxes.Texts, texts);
    QCOMPARE(Code, ends ? 0 : 42);
    QCOMPARE(Catcher.Opened, opened.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(opened)});
    if (!updater) return;
    QTRY_VERIFY(QFile::exists(Folder + "/args"));
    QFile Args(Folder + "/args");
    QVERIFY(Args.open(QIODevice::ReadOnly));
    QCOMPARE(Args.readAll(), QByteArray("Software\\Scoutly\\tarnwick\\morrow\n"));
    QFile Favorites(Folder + "/favorites.seen");
    QVERIFY(Favorites.open(QIODevice::ReadOnly));
    QVERIFY(Favorites.readAll().contains("10.1.2.3:1400"));
    QFile Registry(Folder + "/registry.seen");
    QVERIFY(Registry.open(QIODevice::ReadOnly));
    QVERIFY(Registry.readAll().contains("changed@x.example"));
}

void TestMotd::usageReport_data() {
    const qint64 Minute = 60'000;
    QTest::addColumn<bool>("overHttp");
    QTest::addColumn<QString>("host");
    QTest::addColumn<qint64>("runMs");
    QTest::addColumn<qint64>("activeMs");   // before the last restore
    QTest::addColumn<qint64>("restoredMs"); // ago; -1: minimised now
    QTest::addColumn<QByteArray>("minutes");
    QTest::newRow("half an hour, restored five minutes ago")
        << false << "127.0.0.1" << 30 * Minute + 1000 << 10 * Minute << 5 * Minute
        << QByteArray("30|15|");
    QTest::newRow("minimised at the end")
        << false << "127.0.0.1" << 90 * Minute << 40 * Minute << qint64(-1) << QByteArray("90|40|");
    QTest::newRow("HTTP chosen: the report still goes over UDP")
        << true << "127.0.0.1" << 2 * Minute << qint64(0) << 2 * Minute << QByteArray("2|2|");
    QTest::newRow("service named, not numbered")
        << false << "localhost" << 7 * Minute << qint64(0) << 7 * Minute << QByteArray("7|7|");
}

void TestMotd::usageReport() {
    QFETCH(bool, overHttp);
    QFETCH(QString, host);
    QFETCH(qint64, runMs);
    QFETCH(qint64, activeMs);
    QFETCH(qint64, restoredMs);
    QFETCH(QByteArray, minutes);
    TNews N;
    N.Http.Pages["/motd"] = {200, "MOTD\nhello"};
    QVERIFY(N.Start(overHttp, {}, host));
    if (overHttp)
        QTRY_COMPARE(N.News()->motd_text->toPlainText(), QString("hello"));
    else
        QVERIFY(N.Answer("MOTD\nhello", "hello"));
    const QByteArray Code = N.Setting("code").toLatin1();
    const qint64 Now = TickCount();
    N.F.Main->StartTick = Now - runMs;
    N.F.Main->ActiveTime = activeMs;
    N.F.Main->RestoreTick = restoredMs < 0 ? 0 : Now - restoredMs;
    N.F.Close();
    QTRY_COMPARE(N.Udp.Reports.size(), 1);
    QCOMPARE(N.Udp.Reports[0], "TIME|030104|tarnwick|" + Code + '|' + minutes);
}

void TestMotd::linksOpenInBrowser_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("plain text")
        << QByteArray("MOTD\nSee http://lab.example/news. Write to mailto:desk@lab.example or "
                      "e-mail:desk@lab.example, try gopher://old.example/1 and "
                      "ftp://files.example/a.zip! Not this: www.lab.example or fish://x")
        << QStringList{"http://lab.example/news", "mailto:desk@lab.example",
                       "e-mail:desk@lab.example", "gopher://old.example/1",
                       "ftp://files.example/a.zip"};
    QTest::newRow("rich text")
        << QByteArray("MOTD\n{\\rtf1{\\colortbl ;\\red0\\green0\\blue255;}Visit "
                      "{\\ul\\cf1 https://lab.example/rtf?a=1&b=2} or {\\b news:lab.example}}")
        << QStringList{"https://lab.example/rtf?a=1&b=2", "news:lab.example"};
}

void TestMotd::linksOpenInBrowser() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, links);
    TNews N;
    QVERIFY(N.Start(false));
    QTRY_VERIFY(!N.Udp.Requests.isEmpty());
    N.Udp.Reply(reply);
    QTextBrowser* View = N.News()->motd_text;
    QTRY_VERIFY(!View->toPlainText().isEmpty());
    QStringList Found;
    for (const auto& [Href, Text] : Anchors(View->document())) {
        QCOMPARE(Text, Href);
        Found << Href;
    }
    QCOMPARE(Found, links);

    // A click hands the address to the desktop; the view stays as it is.
    N.F.Main->pages->Activate(N.News());
    QTRY_VERIFY(View->isVisible());
    const QString Before = View->toPlainText();
    QTextCursor At(View->document());
    At.setPosition(int(Before.indexOf(links[0])) + 3);
    QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, View->cursorRect(At).center());
    QTRY_COMPARE(Catcher.Opened.size(), 1);
    QCOMPARE(Catcher.Opened[0], QUrl(links[0]));
    QCOMPARE(View->toPlainText(), Before);
    QVERIFY(View->source().isEmpty());
    // Other schemes stay links on the page; a click only says why it was not opened.
    At.setPosition(int(Before.indexOf(links.last())) + 3);
    QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, View->cursorRect(At).center());
    QTRY_VERIFY2(N.F.Main->statusBar()->currentMessage().startsWith(
                     "Link not opened: " + links.last() + " ("),
                 qPrintable(N.F.Main->statusBar()->currentMessage()));
    QCOMPARE(Catcher.Opened.size(), 1);
}

void TestMotd::closeDocksBack() {
    TNews N;
    QVERIFY(N.Start(false));
    QVERIFY(N.Answer("MOTD\nkept across docking", "kept across docking"));
    TDockWindow* Dock = N.F.Main->pages->DockOf(N.News());
    QVERIFY(Dock);
    Dock->setFloating(true);
    QVERIFY(Dock->isFloating());
    // Looking at the floating news is not looking at the chat.
    N.F.Windows->ChatModule->Session->WantActive = true;
    QEvent Activate(QEvent::WindowActivate);
    QApplication::sendEvent(N.News(), &Activate);
    QVERIFY(!N.F.Windows->ChatModule->Session->WantActive);
    // Asked to close, the window docks back with its text.
    const QPointer<Tmotd_form> Window = N.News();
    QVERIFY(!Window->close());
    QVERIFY(Window);
    QVERIFY(!Dock->isFloating());
    QVERIFY(Dock->isVisible());
    QCOMPARE(N.News()->motd_text->toPlainText(), QString("kept across docking"));
}

void TestMotd::throughHttpProxy() {
    TPeer Proxy;
    QVERIFY2(Proxy.Start("tinyproxy", {"-d", "-c", "DIR/peer.conf"},
                         "User nobody\nGroup nogroup\nPort PORT\nListen 127.0.0.1\n"
                         "Allow 127.0.0.1\nBasicAuth bob secret\nDisableViaHeader Yes\n"),
             qPrintable(Proxy.Why));
    TNews N;
    N.Http.Pages["/motd"] = {200, "MOTD\nvia the proxy"};
    QVERIFY(N.Start(true, {{"useproxies_Checked", "True"},
                           {"proxyaddr_Text", "127.0.0.1"},
                           {"proxyport_Text", QString::number(Proxy.Port)},
                           {"proxyuser_Text", "bob"},
                           {"proxypass_Text", "secret"}}));
    QTRY_COMPARE(N.News()->motd_text->toPlainText(), QString("via the proxy"));
    QCOMPARE(N.Http.Targets.size(), 1);
    QVERIFY(N.Http.Targets[0].startsWith("/motd?MOTD%7C030104%7Ctarnwick%7C"));
}

void TestMotd::longLine_data() {
    QTest::addColumn<bool>("rich");
    QTest::addColumn<int>("wordLength"); // 0: no space at all
    QTest::newRow("one word") << false << 0;
    QTest::newRow("unwrapped page") << false << 9;
    QTest::newRow("rtf, one word") << true << 0;
    QTest::newRow("rtf, unwrapped page") << true << 9;
}

// A message of 1 MB on one line (a base64 block, a page without line ends): the window keeps
// going while it is shown, and every letter of it is there.
void TestMotd::longLine() {
    QFETCH(bool, rich);
    QFETCH(int, wordLength);
    QByteArray Line(1 << 20, 'x');
    for (qsizetype I = 0; I < Line.size(); ++I)
        Line[I] = wordLength && I % wordLength == 0 ? ' ' : char('a' + I * 7 % 26);
    TNews N;
    N.Http.Pages["/motd"] = {200, "MOTD\n" + (rich ? "{\\rtf1 " + Line + "}" : Line)};
    QVERIFY(N.Start(true));
    TStallWatch Watch;
    Watch.Start();
    QTRY_VERIFY_WITH_TIMEOUT(N.News()->motd_text->document()->characterCount() > Line.size(),
                             30000);
    QTest::qWait(200);
    QVERIFY2(Watch.LongestMs() < 500, qPrintable(QString::number(Watch.LongestMs())));
    QCOMPARE(N.News()->motd_text->toPlainText().remove('\n'), QString::fromLatin1(Line));
}

QTEST_MAIN(TestMotd)
#include "tst_motd.moc"
