// The favourites file: one "address:queryport" key per line, CR LF, sorted without regard to
// case.
#pragma once

#include <QString>
#include <QStringList>

// The keys in the file, sorted; none when there is no file.
QStringList ReadFavorites(const QString& FileName);
// Written whole into a new file that replaces the old one only once it is complete, so a
// crash or a full disk leaves the previous favourites. False when that failed.
bool WriteFavorites(const QString& FileName, const QStringList& Keys);
