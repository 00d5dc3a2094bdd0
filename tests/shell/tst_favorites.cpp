// Favourites and launching from the main window, against the lab.
#include "config/favorites.h"
#include "config/settings.h"
#include "labmotd.h"
#include "mainwindowfixture.h"

#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>

namespace {
QByteArray FileText(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

// The program as its entry builds it, in the home the test gave, with one favourite added
// through the browser; it runs until a signal ends it.
int RunUntilSignalled() {
    TProgramWindows Windows;
    Windows.CloseOnSignals();
    Windows.Main->show();
    TBrowser& Browser = *Windows.Main->Browser;
    Browser.AddFavorites({Browser.ServerClass()->Create("192.0.2.5", "27900")});
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
} // namespace

class TestFavorites : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(QApplication::activeModalWidget(), nullptr); }
    void addTwiceKeepsOne();
    void favoritesViewAndBack();
    void removingTheLastFavorite();
    void emptyFavoritesMessage();
    void fileAcrossRestarts();
    void launchSelected();
    void signalClosesAsTheWindowDoes_data();
    void signalClosesAsTheWindowDoes();
};

void TestFavorites::addTwiceKeepsOne() {
    TMainWindowFixture F;
    QVERIFY(F.Start(TLabFarm::MakeConfigs(3)));
    QVERIFY(F.Refresh());
    F.SelectRows({1});
    F.Main->AddtoFavorites->trigger();
    F.Main->AddtoFavoritesExecute();
    const TCustomServer* S = F.Model()->ServerAt(1);
    QCOMPARE(F.Browser().Favorites.Keys(), QStringList{QString(S->Address + ':' + S->QueryPort)});
    QVERIFY(!F.Main->AddtoFavorites->isEnabled() && F.Main->RemoveFromFavorites->isEnabled());
    // A mixed selection offers both.
    F.SelectRows({0, 1});
    F.Main->UpdateActionStates();
    QVERIFY(F.Main->AddtoFavorites->isEnabled() && F.Main->RemoveFromFavorites->isEnabled());
}

void TestFavorites::favoritesViewAndBack() {
    TMainWindowFixture F;
    QVERIFY(F.Start(TLabFarm::MakeConfigs(6)));
    QVERIFY(F.Refresh());
    QStringList Before;
    for (int R = 0; R < 6; ++R)
        Before << F.Model()->Text(R, 0);
    F.SelectRows({0, 3});
    F.Main->AddtoFavoritesExecute();

    const int Asked = F.LabQueries();
    F.Main->fav_butt->click();
    QVERIFY(F.Main->fav_butt->isChecked());
    QTRY_VERIFY(!F.Browser().Updating);
    QCOMPARE(F.Model()->rowCount(), 2);
    QCOMPARE(F.LabQueries(), Asked + 2); // the favourites alone, no master
    QCOMPARE(F.Master.Connections(), 1);

    // Back to the full list: the earlier rows, in their order, without asking anyone.
    F.Main->fav_butt->click();
    QVERIFY(!F.Main->fav_butt->isChecked());
    QCOMPARE(F.Model()->rowCount(), 6);
    QStringList After;
    for (int R = 0; R < 6; ++R)
        After << F.Model()->Text(R, 0);
    QCOMPARE(After, Before);
    QTest::qWait(100);
    QCOMPARE(F.LabQueries(), Asked + 2);
}

void TestFavorites::removingTheLastFavorite() {
    TMainWindowFixture F;
    QVERIFY(F.Start(TLabFarm::MakeConfigs(4)));
    QVERIFY(F.Refresh());
    F.SelectRows({2});
    F.Main->AddtoFavoritesExecute();
    F.Main->fav_butt->click();
    QTRY_VERIFY(!F.Browser().Updating);
    QCOMPARE(F.Model()->rowCount(), 1);
    // Removing it refreshes; with no favourites left the full list is fetched again.
    F.SelectRows({0});
    F.Main->RemoveFromFavorites->trigger();
    QVERIFY(F.Browser().Favorites.IsEmpty());
    QTRY_VERIFY(!F.Browser().Updating);
    QVERIFY(!F.Main->fav_butt->isChecked());
    QCOMPARE(F.Model()->rowCount(), 4);
    QCOMPARE(F.Master.Connections(), 2);
}

void TestFavorites::emptyFavoritesMessage() {
    TMainWindowFixture F;
    QVERIFY(F.Start(TLabFarm::MakeConfigs(1)));
    TBoxAnswer Box(QMessageBox::Ok);
    F.Main->fav_butt->click();
    QCOMPARE(Box.Text, QString("You do not have any servers on your favorites list.\nTo add a "
                               "server to your favorites list, right click it and select 'Add "
                               "to Favorites'"));
    QVERIFY(!F.Main->fav_butt->isChecked());
}

void TestFavorites::fileAcrossRestarts() {
    TMainWindowFixture F;
    QVERIFY(F.Start(TLabFarm::MakeConfigs(2)));
    const QString File = F.Home.path() + "/tarnwickfavors.txt";
    QCOMPARE(F.Browser().Favorites.FileName(), File);
    QVERIFY(!QFile::exists(File));
    // A hand-edited file, unsorted, with a key that has no port.
    F.Close();
    {
        QFile Out(File);
        QVERIFY(Out.open(QIODevice::WriteOnly));
        Out.write("127.0.0.1:" + QByteArray::number(F.Farm.Port(1)) + "\n127.0.0.1\r\n");
    }
    F.Open();
    QCOMPARE(F.Browser().Favorites.Count(), 2);
    F.Main->fav_butt->click();
    QCOMPARE(F.Browser().RefreshTargets.size(), 2);
    QCOMPARE(F.Browser().RefreshTargets[0]->QueryPort, QByteArray("1400"));
    QTRY_VERIFY_WITH_TIMEOUT(!F.Browser().Updating, 10000);
    F.Restart();
    // Rewritten at shutdown: sorted, one key a line, CR LF.
    QCOMPARE(FileText(File),
             "127.0.0.1\r\n127.0.0.1:" + QByteArray::number(F.Farm.Port(1)) + "\r\n");
    QVERIFY(!QFile::exists(File + ".tmp"));
}

void TestFavorites::launchSelected() {
    TMainWindowFixture F;
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(1);
    Configs[0].HostPort = "7777";
    QVERIFY(F.Start(Configs));
    QVERIFY(F.Refresh());
    {
        TBoxAnswer Box(QMessageBox::Ok);
        F.Main->LaunchExecute();
        QCOMPARE(Box.Text, QString("You must select a server to launch"));
    }
    // A stand-in game that writes down where it ran and what it was given.
    const QString Game = F.Home.path() + "/game/";
    QFile Script(Game + "fakegame.sh");
    QVERIFY(Script.open(QIODevice::WriteOnly));
    Script.write("#!/bin/sh\npwd > \"$0.cwd\"\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    Script.close();
    Script.setPermissions(Script.permissions() | QFile::ExeOwner);
    TGameLauncher& Launcher = F.Main->Launcher;
    Launcher.GameExecutable = "fakegame.sh";
    TSettings& Settings = *F.Windows->Settings;
    Settings.SetValue(TField::Nick, "Bob Smith");
    Settings.SetValue(TField::PlayerModel, "Mage");
    Settings.SetValue(TField::PlayerSkin, "Ember");
    F.SelectRows({0});
    QTest::keyClick(F.Main->serverview, Qt::Key_Return);
    QTRY_VERIFY(QFile::exists(Game + "fakegame.sh.args"));
    const QString Address = QString::fromLatin1(F.Model()->ServerAt(0)->Address);
    QCOMPARE(FileText(Game + "fakegame.sh.args"),
             (Address + ":7777?name=Bob Smith?class=Morrowi.Mage?skin=Ember\n").toUtf8());
    QCOMPARE(QDir(QString::fromUtf8(FileText(Game + "fakegame.sh.cwd").trimmed())).canonicalPath(),
             QDir(Game).canonicalPath());
    QVERIFY(Launcher.LaunchedProcessId > 0);

    // The game is not there: said so, nothing started.
    Launcher.GameExecutable = "missing.exe";
    TBoxAnswer Box(QMessageBox::Ok);
    F.Main->LaunchExecute();
    QCOMPARE(Box.Text, "The file to launch (" + Game +
                           "missing.exe) does not exist, check your configuration");
}

void TestFavorites::signalClosesAsTheWindowDoes_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

// Logout, shutdown, kill and Ctrl+C end the program as closing its window does.
void TestFavorites::signalClosesAsTheWindowDoes() {
    QFETCH(int, signal);
    QTemporaryDir Home;
    // A home the user gave keeps its rights.
    QVERIFY(::chmod(QFile::encodeName(Home.path()).constData(), 0755) == 0);
    TLabMotdServer Motd;
    QVERIFY(Motd.Listen());
    // A chat server that writes down what it hears.
    QTcpServer Irc;
    QByteArray Heard;
    QVERIFY(Irc.listen(QHostAddress::LocalHost));
    connect(&Irc, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* Peer = Irc.nextPendingConnection();
        connect(Peer, &QTcpSocket::readyRead, this, [&, Peer] { Heard += Peer->readAll(); });
    });
    const QString Game = Home.path() + "/game/";
    QDir().mkpath(Game);
    QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
    const QString RegistryFile = Home.path() + "/registry.ini";
    {
        TRegistry Registry(RegistryFile);
        Registry.WriteString(FieldsKey, "program_dir_Text", Game);
        Registry.WriteString(FieldsKey, "chatserver_Text",
                             QString("127.0.0.1:%1").arg(Irc.serverPort()));
        const QString Direct = "Software\\Scoutly\\tarnwick\\morrow";
        Registry.WriteString(Direct, "motdhost", "127.0.0.1");
        Registry.WriteString(Direct, "motdport", QString::number(Motd.Port()));
        Registry.WriteString(Direct, "showtips", "False");
    }
    QProcess Child;
    qputenv("SCOUTLY_HOME", Home.path().toUtf8());
    Child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Child.start(QCoreApplication::applicationFilePath(), {"--until-signalled"});
    QVERIFY(Child.waitForStarted());
    QByteArray Said;
    QTRY_VERIFY_WITH_TIMEOUT((Said += Child.readAllStandardOutput()).contains("ready"), 20000);
    const QString File = Home.path() + "/tarnwickfavors.txt";
    // Written when it changed, not only at the end.
    QCOMPARE(ReadFavorites(File), QStringList{"192.0.2.5:27900"});
    QTRY_VERIFY_WITH_TIMEOUT(Heard.contains("NICK ") && Motd.Requests().size() == 1, 20000);

    QVERIFY(::kill(pid_t(Child.processId()), signal) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(Child.state() == QProcess::NotRunning, 20000);
    QCOMPARE(Child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(Child.exitCode(), 0);
    QVERIFY2(Heard.contains("\r\nQUIT :"), Heard.constData());
    QTRY_COMPARE(Motd.Reports().size(), 1);
    QCOMPARE(ReadFavorites(File), QStringList{"192.0.2.5:27900"});
    QSettings Raw(RegistryFile, QSettings::IniFormat);
    QVERIFY(Raw.contains("Software/Scoutly/ScoutlyLite/config/serverview_SortColumn"));
    struct stat Info;
    QCOMPARE(::stat(QFile::encodeName(Home.path()).constData(), &Info), 0);
    QCOMPARE(Info.st_mode & 07777, 0755u);
}

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    if (argc == 2 && QByteArray(argv[1]) == "--until-signalled") return RunUntilSignalled();
    TestFavorites Test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&Test, argc, argv);
}
#include "tst_favorites.moc"
