// scoutly-lite: the game-server browser with chat.
#include "config/paths.h"
#include "config/settingsstore.h"
#include "shell/portaloptions.h"
#include "shell/program.h"
#include "shell/scmorrow_main.h"
#include "shell/uihooks.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

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
    const QCommandLineOption MotdOption(
        "motd",
        "Fetch the message of the day from this server, over UDP or HTTP on the same port "
        "(stored; empty: the usual server again).",
        "host[:port]");
    const QCommandLineOption WebOption(
        "web",
        "Fetch banners (URL/banner, clicks open URL/click) and the news ticker (URL/ticker.txt) "
        "from this web server (stored; empty: the usual addresses again).",
        "URL");
    const QCommandLineOption DemoOption(
        "demo", "Run in a throwaway home with a stand-in game folder: nothing of yours is read "
                "or written.");
    Parser.addOptions({HomeOption, MasterOption, ChatOption, MotdOption, WebOption, DemoOption});
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
    if (Parser.isSet(MotdOption) || Parser.isSet(WebOption)) {
        const auto Given = [&](const QCommandLineOption& Option) {
            return Parser.isSet(Option) ? std::optional(Parser.value(Option)) : std::nullopt;
        };
        TRegistry Registry;
        QString Error;
        if (!StorePortalOverrides(Registry, Given(MotdOption), Given(WebOption), Error)) {
            std::fprintf(stderr, "scoutly-lite: %s\n", qPrintable(Error));
            return 1;
        }
    }

    InstallUIHooks();
    TProgramWindows Windows;
    Windows.Main->show();
    return App.exec();
}
