// The program's settings: the configuration dialog's fields under the names they have always
// been stored with, the edition's fixed values, and the values stored directly under the
// edition's key (links, message service, tips, installation code). Windows read this object;
// the configuration dialog shows it and writes it back on OK.
#pragma once

#include "config/links.h"
#include "config/settingsstore.h"
#include "config/skins.h"
#include "masterlist/customserverlist.h"
#include "net/proxysettings.h"

#include <QSet>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "config/settingsstore.h"

// What one edition of the program fixes for a whole run.
struct TEdition {
    QStringList VersionParts;
    QByteArray ProductCode;
    QByteArray MotdHost;
    QByteArray MotdPort;
    QByteArray MotdUrl;
    QByteArray DefaultChannel;
    TServerListClass ListClass = nullptr;
    QString GameExecutable;
    QString GameSubdirectory;
    QByteArray ChatServer;
    int BannerInterval = 300000;
    int TickerInterval = 900000;
    QString RegistryKey;
    QString RegistrySubKey;
    QString FormStorageKey;
    int LogoMinTop = 224;
    QString SkinDirectory;
    TSkinColors Colors;
    bool PlayerLook = false; // the game's player model and skin are fields too

    static TEdition Generic();
    static TEdition Morrow();
};

// The dialog's fields. Each is stored as "<control>_<property>" under FormStorageKey.
enum class TField {
    DisableBanners,
    Nick,
    ProgramDir,
    MasterServer,
    QueryParallel,
    ChatConnect,
    HideJoins,
    UseProxies,
    ProxyAddr,
    ProxyPass,
    ProxyPort,
    ProxyUser,
    HttpMotd,
    UdpMotd,
    HomeChannel,
    ChatServer,
    UseTaskbar,
    SocksProxyAddr,
    SocksProxyPass,
    SocksProxyUser,
    UseSocksProxies,
    Socks4,
    Socks5,
    RealName,
    Age,
    Email,
    Zip,
    Notify,
    Speed,
    NoAutoAway,
    SkinPath,
    TcpPing,
    IcmpPing,
    PlayerSkin,  // editions with PlayerLook only
    PlayerModel, // editions with PlayerLook only
    FormLeft,    // where the dialog was last
    FormTop,
    QueryRate, // queries sent per second in a refresh
    Count
};

struct TFieldSchema {
    TField Field;
    const char* Name;    // the stored name
    const char* Default; // the stored form of the default ("True", "10", ...)
};

// Every field, in TField order.
const std::array<TFieldSchema, size_t(TField::Count)>& FieldSchema();
inline QString FieldName(TField Field) {
    return QLatin1String(FieldSchema()[size_t(Field)].Name);
}

struct TServerFilterState;

class TSettings {
public:
    // Registry: the store to use; the user's registry.ini when null.
    explicit TSettings(const TEdition& Edition, std::unique_ptr<TRegistry> Registry = nullptr);
    ~TSettings();
    TSettings(const TSettings&) = delete;
    TSettings& operator=(const TSettings&) = delete;

    const TEdition& Edition() const { return Ed; }
    TRegistry& Registry() const { return *Reg; }

    // Fields, as stored text: "True"/"False" for switches, digits for numbers.
    QString Value(TField Field) const;
    bool Flag(TField Field) const { return Value(Field) == QLatin1String("True"); }
    int Number(TField Field) const { return Value(Field).toInt(); }
    void SetValue(TField Field, const QString& Value);
    void SetFlag(TField Field, bool On);
    // Reads every field from the store; a missing one takes its default.
    void Load();
    // Writes every field of the edition to the store and flushes it.
    void Save();
    bool SavedSinceLoad() const { return Saved; }

    // Fields as the program uses them.
    QString Nick() const { return Value(TField::Nick); }
    QString GameFolder() const { return Value(TField::ProgramDir); }
    bool GameExecutableExists() const;
    // The master server field as host and port (port 28900 unless given).
    QByteArray MasterHost() const;
    // Every master named in the field, each once.
    QList<TMasterAddress> MasterServers() const;
    QByteArray MasterPort() const;
    // The chat server field as host and port (port 6667 unless given); empty: no chat.
    QByteArray ChatServerHost() const;
    QByteArray ChatServerPort() const;
    int QueriesAtOnce() const;
    int QueriesPerSecond() const;
    TProxyChoice ProxyChoice() const;
    void ApplySocksProxy(TSocksSettings& Socket) const;
    void ApplyHttpProxy(THttpProxySettings& Client) const;

    // Values stored directly under the edition's key (RegistryKey + RegistrySubKey).
    QString DirectKey() const { return Ed.RegistryKey + Ed.RegistrySubKey; }
    QString Stored(const QString& Name) const;
    void Store(const QString& Name, const QString& Value); // written through at once
    // Every name the program reads under DirectKey(), in lower case: the message service's
    // address, the installation code, the checksum, the tips switch, the link table and the
    // banner interval. A name read there is added here too.
    static const QSet<QString>& DirectNamesRead();

    // Buddies (one name a line) and the favourites watch, stored directly as "buddies",
    // "watchfavorites" ("True"/"False", off unless stored) and "watchminutes".
    QString BuddyList() const { return Stored(QStringLiteral("buddies")); }
    bool WatchFavorites() const;
    int WatchMinutes() const;
    void SetBuddies(const QString& Lines, bool Watch, int Minutes);

    // The message service: the edition's values unless "motdhost", "motdport" and "motdurl"
    // are stored (a deployment or a test points elsewhere).
    QByteArray MotdHost() const;
    QByteArray MotdPort() const;
    QByteArray MotdUrl() const;
    QByteArray VersionText() const { return Ed.VersionParts.join(QString()).toLatin1(); }

    // The link table and the banner interval, from the store over the defaults.
    void LoadLinks();
    TLinks Links;
    int BannerInterval = 300000;
    QString InstallCode;

    // The skin named by the SkinPath field, or by Name: its folder and colours.
    void LoadSkin();
    void LoadSkin(QString Name);
    QString SkinDirectory;
    TSkinColors Colors;

    // The server list's filter bar, stored directly under the edition's key.
    TServerFilterState ListFilter() const;
    void SetListFilter(const TServerFilterState& State);
    bool FilterBarShown() const;
    void SetFilterBarShown(bool Shown);

    std::function<void()> OnLinksLoaded; // the link table changed
    std::function<void()> OnSaved;       // fields may have changed

private:
    TEdition Ed;
    std::unique_ptr<TRegistry> Reg;
    std::array<QString, size_t(TField::Count)> Values;
    bool Saved = false;
};
