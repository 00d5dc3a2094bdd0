#include "config/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const char AppFolder[] = "scoutly-lite";

QString EnvPath(const char* Name) {
    QString Value = qEnvironmentVariable(Name);
    return Value.isEmpty() ? QString() : QDir::cleanPath(Value);
}

// XDG says a relative value is invalid and must be ignored.
QString XdgDir(const char* Name, const char* Fallback) {
    QString Value = qEnvironmentVariable(Name);
    if (Value.isEmpty() || QDir::isRelativePath(Value))
        Value = QDir::homePath() + QLatin1Char('/') + QLatin1String(Fallback);
    return QDir::cleanPath(Value + QLatin1Char('/') + QLatin1String(AppFolder));
}

} // namespace

QString ProgramDataDir() {
    QString Dir = EnvPath("SCOUTLY_DATA_DIR");
    if (!Dir.isEmpty()) return QDir::toNativeSeparators(Dir);
    // applicationDirPath() needs an application object; tools without one use the fallback.
    if (QCoreApplication::instance()) {
        Dir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1String("/../share/") +
                              QLatin1String(AppFolder));
        if (QFileInfo(Dir).isDir()) return QDir::toNativeSeparators(Dir);
    }
#ifdef SCOUTLY_SOURCE_ASSETS
    return QDir::toNativeSeparators(QDir::cleanPath(QStringLiteral(SCOUTLY_SOURCE_ASSETS)));
#else
    return QDir::toNativeSeparators(Dir);
#endif
}

QString UserConfigDir() {
    QString Home = EnvPath("SCOUTLY_HOME");
    return QDir::toNativeSeparators(Home.isEmpty() ? XdgDir("XDG_CONFIG_HOME", ".config") : Home);
}

QString UserDataDir() {
    QString Home = EnvPath("SCOUTLY_HOME");
    return QDir::toNativeSeparators(Home.isEmpty() ? XdgDir("XDG_DATA_HOME", ".local/share")
                                                   : Home);
}

void SetScoutlyHome(const QString& Dir) {
    if (Dir.isEmpty()) {
        qunsetenv("SCOUTLY_HOME");
        return;
    }
    // Absolute, so a later change of the working folder does not move the user's files.
    qputenv("SCOUTLY_HOME", QFile::encodeName(QFileInfo(Dir).absoluteFilePath()));
}

bool MakeUserFolder(const QString& Dir) {
    const QString Path = QDir::cleanPath(QFileInfo(Dir).absoluteFilePath());
    if (QFileInfo(Path).isDir()) return true;
    const QString Parent = QFileInfo(Path).absolutePath();
    if (Parent != Path && !MakeUserFolder(Parent)) return false;
    // Made with its rights, so there is no moment in which others could open it.
    QDir().mkdir(Path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFileInfo(Path).isDir();
}
