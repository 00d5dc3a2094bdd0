#include "config/favorites.h"

#include "config/paths.h"
#include "net/netutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QStringList ReadFavorites(const QString& FileName) {
    QStringList Keys;
    QFile File(FileName);
    if (File.open(QIODevice::ReadOnly)) {
        for (QByteArray Line : File.readAll().split('\n')) {
            Line = Line.trimmed();
            if (!Line.isEmpty()) Keys << QString::fromLatin1(Line);
        }
    }
    Keys.sort(Qt::CaseInsensitive);
    return Keys;
}

bool WriteFavorites(const QString& FileName, const QStringList& Keys) {
    MakeUserFolder(QFileInfo(FileName).absolutePath());
    QSaveFile File(FileName);
    if (!File.open(QIODevice::WriteOnly)) return false;
    // The new file replaces the old one with the rights it has now: the owner's alone.
    File.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    for (const QString& Key : Keys)
        File.write(Key.toLatin1() + "\r\n");
    return File.commit();
}

namespace {
bool Before(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) < 0;
}
} // namespace

QString TFavorites::FileFor(const QByteArray& ProductCode) {
    return QDir(UserDataDir()).filePath(QString::fromLatin1(ProductCode) + "favors.txt");
}

QByteArray TFavorites::KeyOf(const TCustomServer& Server) {
    return Server.Address + ':' + Server.QueryPort;
}

QStringList::const_iterator TFavorites::LowerBound(const QString& Key) const {
    return std::lower_bound(List.cbegin(), List.cend(), Key, Before);
}

bool TFavorites::Contains(const QString& Key) const {
    const auto It = LowerBound(Key);
    return It != List.cend() && It->compare(Key, Qt::CaseInsensitive) == 0;
}

bool TFavorites::IsFavorite(const TCustomServer& Server) const {
    return Contains(QString::fromLatin1(KeyOf(Server)));
}

bool TFavorites::Add(const TCustomServer& Server) {
    const QString Key = QString::fromLatin1(KeyOf(Server));
    if (Contains(Key)) return false;
    List.insert(LowerBound(Key) - List.cbegin(), Key);
    return true;
}

bool TFavorites::Remove(const TCustomServer& Server) {
    const QString Key = QString::fromLatin1(KeyOf(Server));
    return List.removeIf(
               [&](const QString& F) { return F.compare(Key, Qt::CaseInsensitive) == 0; }) > 0;
}

QList<TServerRef> TFavorites::Servers(TServerClass Class) const {
    QList<TServerRef> Result;
    for (const QString& Key : List) {
        const QByteArray Text = Key.toLatin1();
        Result << TServerRef(Class->Create(HostOf(Text), PortOf(Text, "1400")));
    }
    return Result;
}
