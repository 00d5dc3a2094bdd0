// The command line built for joining a server, and starting it, without any window.
#include "config/gamelauncher.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "servers/customserver.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
void WriteScript(const QString& Path, const QByteArray& Body) {
    QFile Script(Path);
    QVERIFY(Script.open(QIODevice::WriteOnly));
    Script.write("#!/bin/sh\n" + Body);
    Script.close();
    Script.setPermissions(Script.permissions() | QFile::ExeOwner);
}

QByteArray FileText(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}
} // namespace

class TestLaunch : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void editionArguments_data();
    void editionArguments();
    void baseArguments();
    void command_data();
    void command();
    void launchStartsTheGame();

private:
    std::unique_ptr<TSettings> Open(const TEdition& Edition);
    std::unique_ptr<QTemporaryDir> Home;
    QString Game, Bin;
    QByteArray SavedPath;
};

void TestLaunch::init() {
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
    Game = Home->path() + "/game/";
    Bin = Home->path() + "/bin";
    QDir().mkpath(Game);
    QDir().mkpath(Bin);
    // Only our stand-in programs are found, whatever this machine has installed.
    SavedPath = qgetenv("PATH");
    qputenv("PATH", Bin.toUtf8());
}

void TestLaunch::cleanup() {
    qputenv("PATH", SavedPath);
}

std::unique_ptr<TSettings> TestLaunch::Open(const TEdition& Edition) {
    auto Settings = std::make_unique<TSettings>(
        Edition, std::make_unique<TRegistry>(Home->path() + "/registry.ini"));
    Settings->SetValue(TField::ProgramDir, Game);
    return Settings;
}

void TestLaunch::editionArguments_data() {
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("arguments");
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << ""
                                 << "10.0.0.5:7777";
    QTest::newRow("all three") << "Bob"
                               << "Mage"
                               << "Ember"
                               << "10.0.0.5:7777?name=Bob?class=Morrowi.Mage?skin=Ember";
    QTest::newRow("blank in the nick, typed model")
        << "Bob Smith"
        << "Dragon"
        << ""
        << "10.0.0.5:7777?name=Bob Smith?class=Morrowi.Dragon";
    QTest::newRow("skin alone") << ""
                                << ""
                                << "Ember"
                                << "10.0.0.5:7777?skin=Ember";
}

void TestLaunch::editionArguments() {
    QFETCH(QString, nick);
    QFETCH(QString, model);
    QFETCH(QString, skin);
    QFETCH(QString, arguments);
    auto Settings = Open(TEdition::Morrow());
    Settings->SetValue(TField::Nick, nick);
    Settings->SetValue(TField::PlayerModel, model);
    Settings->SetValue(TField::PlayerSkin, skin);
    // The game port, not the query port the favourites use.
    TMorrowServer Server("10.0.0.5", "27900");
    Server.GamePort = "7777";
    QCOMPARE(TGameLauncher(*Settings).Arguments(Server), arguments);
}

void TestLaunch::baseArguments() {
    auto Settings = Open(TEdition::Generic());
    Settings->SetValue(TField::Nick, "Bob");
    TSQPServer Server("10.0.0.5", "27900");
    QCOMPARE(TGameLauncher(*Settings).Arguments(Server), QString("+connect 10.0.0.5:27900"));
}

void TestLaunch::command_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("wine");
    QTest::addColumn<QString>("program"); // under the game folder, or "wine" from the path
    QTest::addColumn<QString>("error");
    QTest::newRow("native game") << "morrow.sh" << true << false << "morrow.sh"
                                 << "";
    QTest::newRow("windows game, wine found") << "morrow.exe" << true << true << "wine"
                                              << "";
    QTest::newRow("windows game, no wine")
        << "morrow.exe" << true << false << ""
        << "Wine is needed to start morrow.exe: install the wine package and try again.";
    QTest::newRow("game missing") << "missing.exe" << false << true << ""
                                  << "The file to launch (%1missing.exe) does not exist, check "
                                     "your configuration";
}

void TestLaunch::command() {
    QFETCH(QString, executable);
    QFETCH(bool, present);
    QFETCH(bool, wine);
    QFETCH(QString, program);
    QFETCH(QString, error);
    if (present) WriteScript(Game + executable, "exit 0\n");
    if (wine) WriteScript(Bin + "/wine", "exit 0\n");
    auto Settings = Open(TEdition::Morrow());
    Settings->SetValue(TField::Nick, "Bob");
    TGameLauncher Launcher(*Settings);
    Launcher.GameExecutable = executable;
    TMorrowServer Server("10.0.0.5", "27900");
    Server.GamePort = "7777";
    const TLaunchCommand Command = Launcher.Command(Server);
    QCOMPARE(Command.Error, error.arg(Game));
    if (!error.isEmpty()) {
        QCOMPARE(Launcher.Launch(Server), error.arg(Game));
        QCOMPARE(Launcher.LaunchedProcessId, 0);
        return;
    }
    QCOMPARE(Command.Folder, Game);
    QStringList Arguments{"10.0.0.5:7777?name=Bob"};
    if (program == "wine") {
        QCOMPARE(Command.Program, Bin + "/wine");
        Arguments.prepend(Game + executable);
    } else {
        QCOMPARE(Command.Program, Game + program);
    }
    QCOMPARE(Command.Arguments, Arguments);
}

void TestLaunch::launchStartsTheGame() {
    // A stand-in game that writes down where it ran and what it was given.
    WriteScript(Game + "fakegame.sh", "pwd > \"$0.cwd\"\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    auto Settings = Open(TEdition::Morrow());
    Settings->SetValue(TField::Nick, "Bob Smith");
    Settings->SetValue(TField::PlayerSkin, "Ember");
    TGameLauncher Launcher(*Settings);
    Launcher.GameExecutable = "fakegame.sh";
    TMorrowServer Server("10.0.0.5", "27900");
    Server.GamePort = "7777";
    QCOMPARE(Launcher.Launch(Server), QString());
    QVERIFY(Launcher.LaunchedProcessId > 0);
    QTRY_VERIFY(QFile::exists(Game + "fakegame.sh.args"));
    QTRY_COMPARE(FileText(Game + "fakegame.sh.args"),
                 QByteArray("10.0.0.5:7777?name=Bob Smith?skin=Ember\n"));
    QCOMPARE(QDir(QString::fromUtf8(FileText(Game + "fakegame.sh.cwd").trimmed())).canonicalPath(),
             QDir(Game).canonicalPath());

    // A file that is there but cannot be run: the start failure's text, nothing started.
    QFile(Game + "fakegame.sh").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    Launcher.LaunchedProcessId = 0;
    QVERIFY(Launcher.Launch(Server).startsWith("Failed to execute program.  Error Code "));
    QCOMPARE(Launcher.LaunchedProcessId, 0);
}

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
