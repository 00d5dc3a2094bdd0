#include "config/favorites.h"

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
    QDir().mkpath(QFileInfo(FileName).absolutePath());
    QSaveFile File(FileName);
    if (!File.open(QIODevice::WriteOnly)) return false;
    for (const QString& Key : Keys)
        File.write(Key.toLatin1() + "\r\n");
    return File.commit();
}
