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

    // Empty when the key or the value is missing: reading never fails.
    QString ReadString(const QString& Key, const QString& Name) const;
    bool ValueExists(const QString& Key, const QString& Name) const;
    // Creates the key when missing; a store that cannot be written is skipped silently.
    void WriteString(const QString& Key, const QString& Name, const QString& Value);
    void Flush();
    QString FileName() const { return File; }

private:
    QString Path(const QString& Key, const QString& Name) const;
    QString File;
    std::unique_ptr<QSettings> Settings;
};

// Installation code: four groups of four ASCII letters or digits joined by "-", made once
// and kept under "code" in Key.
QString LoadInstallCode(TRegistry& Registry, const QString& Key);
