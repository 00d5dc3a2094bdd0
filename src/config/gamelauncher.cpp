#include "config/gamelauncher.h"

#include "config/settings.h"
#include "net/netutils.h"
#include "servers/customserver.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

TGameLauncher::TGameLauncher(const TSettings& Settings)
    : GameExecutable(Settings.Edition().GameExecutable), Settings(Settings) {}

QString TGameLauncher::Arguments(const TCustomServer& Server) const {
    const QString Address = DisplayText(Server.Address + ':' + Server.GamePort);
    if (!Settings.Edition().PlayerLook) return "+connect " + Address;
    // Values go in as typed: the game reads them up to the next "?".
    QString Result = Address;
    const QString Nick = Settings.Value(TField::Nick);
    const QString Model = Settings.Value(TField::PlayerModel);
    const QString Skin = Settings.Value(TField::PlayerSkin);
    if (!Nick.isEmpty()) Result += "?name=" + Nick;
    if (!Model.isEmpty()) Result += "?class=Morrowi." + Model;
    if (!Skin.isEmpty()) Result += "?skin=" + Skin;
    return Result;
}

TLaunchCommand TGameLauncher::Command(const TCustomServer& Server) const {
    const QString Folder = Settings.Value(TField::ProgramDir);
    const QString Executable = QDir(Folder).filePath(GameExecutable);
    if (!QFileInfo(Executable).isFile()) {
        TLaunchCommand Command;
        Command.Folder = Folder;
        Command.Error = "The file to launch (" + Folder + GameExecutable +
                        ") does not exist, check your configuration";
        return Command;
    }
    // The arguments travel as the one string the game reads on its own platform; no shell
    // sees them, so nothing in a nick or skin is interpreted.
    return CommandFor(Executable, QStringList{Arguments(Server)}, Folder);
}

TLaunchCommand TGameLauncher::CommandFor(const QString& Executable, const QStringList& Arguments,
                                         const QString& Folder) {
    TLaunchCommand Command;
    Command.Folder = Folder;
    Command.Program = Executable;
    Command.Arguments = Arguments;
#ifndef Q_OS_WIN
    if (Executable.endsWith(".exe", Qt::CaseInsensitive)) {
        const QString Wine = QStandardPaths::findExecutable("wine");
        if (Wine.isEmpty()) {
            Command.Error = "Wine is needed to start " + QFileInfo(Executable).fileName() +
                            ": install the wine package and try again.";
            return Command;
        }
        Command.Program = Wine;
        Command.Arguments.prepend(Executable);
    }
#endif
    return Command;
}

QString TGameLauncher::Launch(const TCustomServer& Server) {
    const TLaunchCommand Command = this->Command(Server);
    if (!Command.Ok()) return Command.Error;
    const TRunResult Result = RunProgram(Command.Program, Command.Arguments, Command.Folder);
    if (!Result.Ok) return Result.Error;
    LaunchedProcessId = Result.Value;
    return {};
}
