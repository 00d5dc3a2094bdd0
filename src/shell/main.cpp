// scoutly-lite: the game-server browser with chat.
#include "config/paths.h"
#include "config/settingsstore.h"
#include "shell/program.h"
#include "shell/scmorrow_main.h"
#include "shell/uihooks.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
const QString FieldsKey = "Software\\Scoutly\\tarnwick\\morrow\\config";

// A demo needs no game: a stand-in executable keeps the first-start dialog away.
void PrepareDemoHome(const QString& Home) {
    const QString Game = QDir(Home).filePath("game");
    QDir().mkpath(Game);
    QFile(QDir(Game).filePath("morrow.exe")).open(QIODevice::WriteOnly);
    TRegistry Registry;
    if (Registry.ReadString(FieldsKey, "program_dir_Text").isEmpty())
        Registry.WriteString(FieldsKey, "program_dir_Text", QDir::toNativeSeparators(Game) + '/');
}
} // namespace

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    QApplication::setApplicationName("scoutly-lite");
    QApplication::setApplicationDisplayName("Scoutly Lite");
    QApplication::setApplicationVersion("3.1.4");
    QApplication::setDesktopFileName("scoutly-lite");

    QCommandLineParser Parser;
    Parser.setApplicationDescription("Scoutly Lite: a game-server browser with chat for Morrow.");
    Parser.addHelpOption();
    Parser.addVersionOption();
    const QCommandLineOption HomeOption(
        "home", "Keep settings, favourites and skins under DIR instead of the usual folders.",
        "DIR");
    const QCommandLineOption MasterOption(
        "master", "Use this master server (stored like the setting of the same name).",
        "host[:port]");
    const QCommandLineOption ChatOption(
        "chat", "Use this chat server (stored like the setting of the same name).", "host[:port]");
    const QCommandLineOption DemoOption(
        "demo", "Run in a throwaway home with a stand-in game folder: nothing of yours is read "
                "or written.");
    Parser.addOptions({HomeOption, MasterOption, ChatOption, DemoOption});
    Parser.process(App);

    std::unique_ptr<QTemporaryDir> DemoHome;
    if (Parser.isSet(HomeOption)) {
        SetScoutlyHome(Parser.value(HomeOption));
    } else if (Parser.isSet(DemoOption)) {
        DemoHome = std::make_unique<QTemporaryDir>();
        SetScoutlyHome(DemoHome->path());
    }
    if (Parser.isSet(DemoOption)) PrepareDemoHome(UserConfigDir());
    if (Parser.isSet(MasterOption) || Parser.isSet(ChatOption)) {
        TRegistry Registry;
        if (Parser.isSet(MasterOption))
            Registry.WriteString(FieldsKey, "masterserver_Text", Parser.value(MasterOption));
        if (Parser.isSet(ChatOption))
            Registry.WriteString(FieldsKey, "chatserver_Text", Parser.value(ChatOption));
    }

    InstallUIHooks();
    TProgramWindows Windows;
    Windows.Main->show();
    return App.exec();
}
