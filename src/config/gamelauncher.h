// Joining a server: the game's command line from the settings, and starting it. Failures come
// back as the text to show; nothing here shows anything.
#pragma once

#include <QString>
#include <QStringList>

class TCustomServer;
class TSettings;

struct TLaunchCommand {
    QString Program;
    QStringList Arguments;
    QString Folder; // the game folder; the game runs there
    QString Error;  // why there is nothing to start
    bool Ok() const { return Error.isEmpty(); }
};

class TGameLauncher {
public:
    explicit TGameLauncher(const TSettings& Settings);

    // What the game is given to join Server: "+connect host:port", or with the player's look
    // "host:port?name=..?class=Morrowi...?skin=..".
    QString Arguments(const TCustomServer& Server) const;
    // The whole command line, or why there is none.
    TLaunchCommand Command(const TCustomServer& Server) const;
    // Starts the game for Server; the error text when nothing started.
    QString Launch(const TCustomServer& Server);
    // How Executable (a path) is started with Arguments on this platform: through Wine when
    // it is a Windows program, or why it cannot start. Used for the game and the updater.
    static TLaunchCommand CommandFor(const QString& Executable, const QStringList& Arguments,
                                     const QString& Folder);

    QString GameExecutable; // the edition's, in the game folder
    qint64 LaunchedProcessId = 0;

private:
    const TSettings& Settings;
};
