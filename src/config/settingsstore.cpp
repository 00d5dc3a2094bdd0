#include "config/settingsstore.h"

#include "config/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QThread>

namespace {
// QSettings takes a lock file for every write and waits 30 s for one that names no owner. A
// writer names itself right after creating the lock, so an empty one that stays empty for a
// second was left by a writer that died in between (a crash, a kill at logout).
constexpr qint64 OwnerlessLockMs = 1000;

// When the lock was made if it names no owner; invalid if it names one or is not there.
QDateTime OwnerlessSince(const QString& Lock) {
    const QFileInfo Info(Lock);
    if (!Info.exists() || Info.size() > 0) return {};
    return Info.lastModified();
}

void RemoveOwnerlessLock(const QString& FileName) {
    const QString Lock = FileName + ".lock";
    const QDateTime Made = OwnerlessSince(Lock);
    if (!Made.isValid()) return;
    const qint64 Age = qMax<qint64>(0, Made.msecsTo(QDateTime::currentDateTime()));
    if (Age < OwnerlessLockMs) {
        QThread::msleep((unsigned long)(OwnerlessLockMs - Age));
        // Filled in, gone or made anew meanwhile: a live writer's.
        if (OwnerlessSince(Lock) != Made) return;
    }
    QFile::remove(Lock);
}

// The file exists with owner-only rights before QSettings writes it: its atomic save
// keeps the rights of the file it replaces. Only folders made here get owner-only rights.
void PrepareFile(const QString& FileName) {
    const QFileInfo Info(FileName);
    MakeUserFolder(Info.absolutePath());
    if (!Info.exists()) {
        QFile File(FileName);
        if (File.open(QIODevice::WriteOnly)) File.close();
    }
    QFile::setPermissions(FileName, QFile::ReadOwner | QFile::WriteOwner);
    RemoveOwnerlessLock(FileName);
}
} // namespace

TRegistry::TRegistry(const QString& FileName)
    : File(FileName), Settings(std::make_unique<QSettings>(FileName, QSettings::IniFormat)) {
    PrepareFile(FileName);
}

TRegistry::~TRegistry() {
    Flush();
}

QString TRegistry::DefaultFileName() {
    return UserConfigDir() + "/registry.ini";
}

QString TRegistry::Path(const QString& Key, const QString& Name) const {
    QString Group = Key;
    Group.replace('\\', '/');
    while (Group.startsWith('/'))
        Group.remove(0, 1);
    // A value name is one level: separators in it must not open sub-keys.
    QString Value = Name;
    Value.replace('\\', '_').replace('/', '_');
    return Group.isEmpty() ? Value : Group + '/' + Value;
}

QString TRegistry::StoredPath(const QString& Key, const QString& Name) const {
    const QString Exact = Path(Key, Name);
    if (Settings->contains(Exact)) return Exact;
    const qsizetype Slash = Exact.lastIndexOf('/');
    const QString Group = Slash < 0 ? QString() : Exact.left(Slash);
    const QString Value = Exact.mid(Slash + 1);
    Settings->beginGroup(Group);
    const QStringList Names = Settings->childKeys();
    Settings->endGroup();
    for (const QString& Stored : Names)
        if (Stored.compare(Value, Qt::CaseInsensitive) == 0)
            return Group.isEmpty() ? Stored : Group + '/' + Stored;
    return Exact;
}

QString TRegistry::ReadString(const QString& Key, const QString& Name) const {
    return Settings->value(StoredPath(Key, Name)).toString();
}

bool TRegistry::ValueExists(const QString& Key, const QString& Name) const {
    return Settings->contains(StoredPath(Key, Name));
}

void TRegistry::WriteString(const QString& Key, const QString& Name, const QString& Value) {
    Settings->setValue(StoredPath(Key, Name), Value);
}

void TRegistry::Flush() {
    PrepareFile(File);
    Settings->sync();
}

QString LoadInstallCode(TRegistry& Registry, const QString& Key) {
    QString Code = Registry.ReadString(Key, "code");
    if (!Code.isEmpty()) return Code;
    auto* Random = QRandomGenerator::global();
    for (int Group = 0; Group < 4; ++Group) {
        if (Group) Code += '-';
        for (int Count = 0; Count < 4;) {
            const char C = char(Random->bounded(128));
            if ((C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z')) {
                Code += QLatin1Char(C);
                ++Count;
            }
        }
    }
    Registry.WriteString(Key, "code", Code);
    Registry.Flush();
    return Code;
}
