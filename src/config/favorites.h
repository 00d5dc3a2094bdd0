// Favourite servers: keys "address:queryport", kept sorted without regard to case, and the file
// that holds them (one key per line, CR LF).
#pragma once

#include "masterlist/customserverlist.h"

#include <QString>
#include <QStringList>

// The keys in the file, sorted; none when there is no file.
QStringList ReadFavorites(const QString& FileName);
// Written whole into a new file that replaces the old one only once it is complete, so a
// crash or a full disk leaves the previous favourites. False when that failed.
bool WriteFavorites(const QString& FileName, const QStringList& Keys);

class TFavorites {
public:
    // The user's file for the product: "<ProductCode>favors.txt" in the user data folder.
    static QString FileFor(const QByteArray& ProductCode);
    // How a server is keyed: Address + ":" + QueryPort.
    static QByteArray KeyOf(const TCustomServer& Server);

    explicit TFavorites(const QString& FileName = {}) : File(FileName) {}

    const QString& FileName() const { return File; }
    const QStringList& Keys() const { return List; }
    bool IsEmpty() const { return List.isEmpty(); }
    qsizetype Count() const { return List.size(); }

    bool Contains(const QString& Key) const;
    bool IsFavorite(const TCustomServer& Server) const;
    // False when the server was a favourite already.
    bool Add(const TCustomServer& Server);
    // Every key equal to the server's, whatever its case, goes; false when there was none.
    bool Remove(const TCustomServer& Server);

    // The servers to query for the favourites; a key without a port asks port 1400.
    QList<TServerRef> Servers(TServerClass Class) const;

    void Load() { List = ReadFavorites(File); }
    bool Save() const { return WriteFavorites(File, List); }

private:
    QStringList::const_iterator LowerBound(const QString& Key) const;

    QString File;
    QStringList List;
};
