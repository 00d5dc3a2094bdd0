// The registry-style store: string values under backslash-separated keys, kept in one INI
// file that only its owner can read (it holds proxy passwords) and that is replaced
// atomically on every write.
#pragma once

#include <QString>
#include <memory>

class QSettings;

class TRegistry {
public:
    // UserConfigDir()/registry.ini unless told otherwise.
    explicit TRegistry(const QString& FileName = DefaultFileName());
    ~TRegistry();
    static QString DefaultFileName();

    // Empty when the key or the value is missing: reading never fails. Names are found
    // whatever their case, as the platform registry finds them: a value stored as
    // "BannerInterval" is the one read as "bannerinterval".
    QString ReadString(const QString& Key, const QString& Name) const;
    bool ValueExists(const QString& Key, const QString& Name) const;
    // Creates the key when missing; a name stored in another case keeps its spelling and takes
    // the value. A store that cannot be written is skipped silently.
    void WriteString(const QString& Key, const QString& Name, const QString& Value);
    void Flush();
    QString FileName() const { return File; }

private:
    QString Path(const QString& Key, const QString& Name) const;
    // Path of the stored spelling of Name under Key; Path(Key, Name) when none is stored.
    QString StoredPath(const QString& Key, const QString& Name) const;
    QString File;
    std::unique_ptr<QSettings> Settings;
};

// Installation code: four groups of four ASCII letters or digits joined by "-", made once
// and kept under "code" in Key.
QString LoadInstallCode(TRegistry& Registry, const QString& Key);
