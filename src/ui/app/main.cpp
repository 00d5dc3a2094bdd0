// scoutly-lite: the game-server browser with chat.
#include "config/paths.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "config/skins.h"
#include "demo/demolab.h"
#include "portal/portaloptions.h"
#include "ui/app/program.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/widgets/uihooks.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

namespace {
QString FieldsKey() {
    return TEdition::Morrow().FormStorageKey;
}

// A demo needs no game: a stand-in executable keeps the first-start dialog away.
void PrepareDemoHome(const QString& Home) {
    const QString Game = QDir(Home).filePath("game");
    QDir().mkpath(Game);
    QFile(QDir(Game).filePath("morrow.exe")).open(QIODevice::WriteOnly);
    TRegistry Registry;
    if (Registry.ReadString(FieldsKey(), FieldName(TField::ProgramDir)).isEmpty())
        Registry.WriteString(FieldsKey(), FieldName(TField::ProgramDir),
                             QDir::toNativeSeparators(Game) + '/');
}

// The same pictures the desktop's menu shows, from the program's own hicolor tree.
QIcon ProgramIcon() {
    QIcon Icon;
    const QDir Root(QDir(ProgramDataDir()).filePath("icons/hicolor"));
    for (const QString& Size : Root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString File = Root.filePath(Size + "/apps/scoutly-lite.png");
        if (QFile::exists(File)) Icon.addFile(File);
    }
    return Icon;
}

// --help and --version only print: answer them before QApplication, which needs a display.
void AnswerTextOnlyOptions(QCommandLineParser& Parser, int& argc, char** argv) {
    QStringList Arguments;
    for (int I = 0; I < argc; ++I)
        Arguments << QString::fromLocal8Bit(argv[I]);
    Parser.parse(Arguments);
    for (const QString& Name : Parser.optionNames())
        if (Name == "h" || Name == "help" || Name == "help-all" || Name == "v" ||
            Name == "version") {
            QCoreApplication Text(argc, argv);
            Parser.process(Text); // prints and exits
        }
}

// The program's options, added to Parser as they are made.
struct TOptions {
    explicit TOptions(QCommandLineParser& Parser) {
        // Hidden: ends the program after MS milliseconds of running, for scripted smoke runs
        // (the first-start dialog still waits for an answer, so give a home with a game folder
        // or --demo).
        QuitAfter.setFlags(QCommandLineOption::HiddenFromHelp);
        Parser.addOptions({Home, Master, Chat, Motd, Web, Demo, QuitAfter});
    }
    const QCommandLineOption Home{
        "home", "Keep settings, favourites and skins under DIR instead of the usual folders.",
        "DIR"};
    const QCommandLineOption Master{
        "master", "Use this master server (stored like the setting of the same name).",
        "host[:port]"};
    const QCommandLineOption Chat{
        "chat", "Use this chat server (stored like the setting of the same name).", "host[:port]"};
    const QCommandLineOption Motd{
        "motd",
        "Fetch the message of the day from this server, over UDP or HTTP on the same port "
        "(stored; empty: the usual server again).",
        "host[:port]"};
    const QCommandLineOption Web{
        "web",
        "Fetch banners (URL/banner, clicks open URL/click) and the news ticker (URL/ticker.txt) "
        "from this web server (stored; empty: the usual addresses again).",
        "URL"};
    const QCommandLineOption Demo{
        "demo", "Run in a throwaway home with a stand-in game folder: nothing of yours is read "
                "or written. Without --master, also start a lab on loopback (a master listing "
                "300 game servers, news, banners, ticker and, with ngircd, chat bots) for as "
                "long as the program runs."};
    QCommandLineOption QuitAfter{"quit-after", "Quit after MS milliseconds.", "ms"};
};

// The home folder and the servers given on the command line, stored before any window reads
// them. False (with the reason on standard error) when a value is not well formed.
bool ApplyOptions(const QCommandLineParser& Parser, const TOptions& O,
                  std::unique_ptr<QTemporaryDir>& DemoHome, const TDemoLab* Lab) {
    if (Parser.isSet(O.Home)) {
        SetScoutlyHome(Parser.value(O.Home));
    } else if (Parser.isSet(O.Demo)) {
        DemoHome = std::make_unique<QTemporaryDir>();
        SetScoutlyHome(DemoHome->path());
    }
    if (Parser.isSet(O.Demo)) PrepareDemoHome(UserConfigDir());
    if (QString Error; Lab) {
        TRegistry Registry;
        if (!Lab->Store(Registry, Error)) {
            std::fprintf(stderr, "scoutly-lite: %s\n", qPrintable(Error));
            return false;
        }
    }
    if (Parser.isSet(O.Master) || Parser.isSet(O.Chat)) {
        TRegistry Registry;
        if (Parser.isSet(O.Master))
            Registry.WriteString(FieldsKey(), FieldName(TField::MasterServer),
                                 Parser.value(O.Master));
        if (Parser.isSet(O.Chat))
            Registry.WriteString(FieldsKey(), FieldName(TField::ChatServer), Parser.value(O.Chat));
    }
    if (!Parser.isSet(O.Motd) && !Parser.isSet(O.Web)) return true;
    const auto Given = [&](const QCommandLineOption& Option) {
        return Parser.isSet(Option) ? std::optional(Parser.value(Option)) : std::nullopt;
    };
    TRegistry Registry;
    QString Error;
    if (StorePortalOverrides(Registry, Given(O.Motd), Given(O.Web), Error)) return true;
    std::fprintf(stderr, "scoutly-lite: %s\n", qPrintable(Error));
    return false;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName("scoutly-lite");
    QCoreApplication::setApplicationVersion("3.1.4");

    QCommandLineParser Parser;
    Parser.setApplicationDescription("Scoutly Lite: a game-server browser with chat for Morrow.");
    Parser.addHelpOption();
    Parser.addVersionOption();
    const TOptions Options(Parser);
    AnswerTextOnlyOptions(Parser, argc, argv);

    QApplication App(argc, argv);
    QApplication::setApplicationDisplayName("Scoutly Lite");
    QApplication::setDesktopFileName("scoutly-lite");
    Parser.process(App);

    int QuitAfter = -1;
    if (Parser.isSet(Options.QuitAfter)) {
        bool Ok = false;
        QuitAfter = Parser.value(Options.QuitAfter).toInt(&Ok);
        if (!Ok || QuitAfter < 0) {
            std::fprintf(stderr, "scoutly-lite: --quit-after takes milliseconds\n");
            return 1;
        }
    }
    // --demo brings its own servers on loopback (unless --master names one); they stop with
    // the program.
    std::unique_ptr<TDemoLab> Lab;
    if (Parser.isSet(Options.Demo) && !Parser.isSet(Options.Master) && !(Lab = TDemoLab::Launch()))
        return 1;
    std::unique_ptr<QTemporaryDir> DemoHome;
    if (!ApplyOptions(Parser, Options, DemoHome, Lab.get())) return 1;

    // Without them the windows keep their built-in look; say where they were looked for.
    if (!SkinNames().contains("default"))
        std::fprintf(
            stderr, "scoutly-lite: the default skin is missing from %s\n",
            qPrintable(QDir::toNativeSeparators(QDir(ProgramDataDir()).filePath("skins"))));
    App.setWindowIcon(ProgramIcon());

    InstallUIHooks();
    TProgramWindows Windows;
    Windows.CloseOnSignals();
    Windows.Main->show();
    if (QuitAfter >= 0) QTimer::singleShot(QuitAfter, &App, &QCoreApplication::quit);
    return App.exec();
}
