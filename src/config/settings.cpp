#include "config/settings.h"

#include "config/paths.h"
#include "config/settingsstore.h"
#include "net/WSockets.h"
#include "net/netutils.h"
#include "servers/serverfilter.h"

#include <QDir>
#include <QFileInfo>

TEdition TEdition::Generic() {
    TEdition E;
    E.VersionParts = {"00", "00", "03"};
    E.ProductCode = "zovaro";
    E.MotdHost = "motd-test.scoutly.example";
    E.MotdPort = "25636";
    E.MotdUrl = "http://motd.scoutly.example/motd?";
    E.DefaultChannel = "#scoutly";
    E.ListClass = &TSQPHLServerList::Class;
    E.GameExecutable = "cmdline.exe";
    E.GameSubdirectory = "quake";
    E.RegistryKey = "Software\\Scoutly\\tarnwick";
    E.RegistrySubKey = "\\test";
    E.FormStorageKey = "Software\\Scoutly\\ScoutlyLite\\config";
    E.SkinDirectory = ProgramDataDir() + "/skins/default/";
    E.Colors = TSkinColors{0x003300, 0x333333, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x00FFFF};
    return E;
}

TEdition TEdition::Morrow() {
    TEdition E = Generic();
    E.VersionParts = {"03", "01", "04"};
    E.ProductCode = "tarnwick";
    E.MotdHost = "motd.scoutly.example";
    E.DefaultChannel = "#morrow";
    E.ListClass = &TSQPMorrowServerList::Class;
    E.GameExecutable = "morrow.exe";
    E.GameSubdirectory = "morrow/system";
    E.RegistryKey = "Software\\Scoutly\\tarnwick\\morrow";
    E.RegistrySubKey.clear();
    E.FormStorageKey = "Software\\Scoutly\\tarnwick\\morrow\\config";
    E.Colors = TSkinColors{};
    E.PlayerLook = true;
    return E;
}

const std::array<TFieldSchema, size_t(TField::Count)>& FieldSchema() {
    // The names are the dialog controls' object names plus the property they keep; stores
    // written by every earlier version use them, so they never change.
    static const std::array<TFieldSchema, size_t(TField::Count)> Schema{{
        {TField::DisableBanners, "disablebanners_Checked", "False"},
        {TField::Nick, "nick_Text", ""},
        {TField::ProgramDir, "program_dir_Text", ""},
        {TField::MasterServer, "masterserver_Text", ""},
        {TField::QueryParallel, "queryparallel_Value", "256"},
        {TField::ChatConnect, "chatconnect_Checked", "True"},
        {TField::HideJoins, "hidejoins_Checked", "False"},
        {TField::UseProxies, "useproxies_Checked", "False"},
        {TField::ProxyAddr, "proxyaddr_Text", ""},
        {TField::ProxyPass, "proxypass_Text", ""},
        {TField::ProxyPort, "proxyport_Text", "80"},
        {TField::ProxyUser, "proxyuser_Text", ""},
        {TField::HttpMotd, "httpmotdbutt_Checked", "False"},
        {TField::UdpMotd, "udpmotdbutt_Checked", "True"},
        {TField::HomeChannel, "homechanneledit_Text", ""},
        {TField::ChatServer, "chatserver_Text", ""},
        {TField::UseTaskbar, "use_taskbar_Checked", "False"},
        {TField::SocksProxyAddr, "socksproxyaddr_Text", ""},
        {TField::SocksProxyPass, "socksproxypass_Text", ""},
        {TField::SocksProxyUser, "socksproxyuser_Text", ""},
        {TField::UseSocksProxies, "usesocksproxies_Checked", "False"},
        {TField::Socks4, "socks4butt_Checked", "False"},
        {TField::Socks5, "socks5butt_Checked", "True"},
        {TField::RealName, "realname_Text", ""},
        {TField::Age, "age_Text", ""},
        {TField::Email, "email_Text", ""},
        {TField::Zip, "zip_Text", ""},
        {TField::Notify, "notify_box_Checked", "True"},
        {TField::Speed, "speedbox_ItemIndex", "2"},
        {TField::NoAutoAway, "noautoaway_Checked", "False"},
        {TField::SkinPath, "skinpathbox_Text", "Default"},
        {TField::TcpPing, "tcppingbutt_Checked", "False"},
        {TField::IcmpPing, "icmppingbutt_Checked", "True"},
        {TField::PlayerSkin, "skinbox_Text", ""},
        {TField::PlayerModel, "modelbox_Text", ""},
        {TField::FormLeft, "config_form_Left", ""},
        {TField::FormTop, "config_form_Top", ""},
        {TField::QueryRate, "queryrate_Value", "200"},
    }};
    return Schema;
}

namespace {
bool PlayerLookField(TField Field) {
    return Field == TField::PlayerSkin || Field == TField::PlayerModel;
}
} // namespace

TSettings::TSettings(const TEdition& Edition, std::unique_ptr<TRegistry> Registry)
    : Ed(Edition), Reg(Registry ? std::move(Registry) : std::make_unique<TRegistry>()) {
    BannerInterval = Ed.BannerInterval;
    SkinDirectory = Ed.SkinDirectory;
    Colors = Ed.Colors;
    InstallCode = LoadInstallCode(*Reg, DirectKey());
    LoadLinks();
    Load();
    LoadSkin();
}

TSettings::~TSettings() = default;

QString TSettings::Value(TField Field) const {
    return Values[size_t(Field)];
}

void TSettings::SetValue(TField Field, const QString& Value) {
    Values[size_t(Field)] = Value;
}

void TSettings::SetFlag(TField Field, bool On) {
    SetValue(Field, On ? QStringLiteral("True") : QStringLiteral("False"));
}

void TSettings::Load() {
    for (const TFieldSchema& S : FieldSchema()) {
        const QString Name = QLatin1String(S.Name);
        Values[size_t(S.Field)] = Reg->ValueExists(Ed.FormStorageKey, Name)
                                      ? Reg->ReadString(Ed.FormStorageKey, Name)
                                      : QString::fromLatin1(S.Default);
    }
    Saved = false;
}

void TSettings::Save() {
    for (const TFieldSchema& S : FieldSchema()) {
        if (PlayerLookField(S.Field) && !Ed.PlayerLook) continue;
        QString Text = Values[size_t(S.Field)];
        // A dialog never placed is stored at the origin, as a window that never moved.
        if ((S.Field == TField::FormLeft || S.Field == TField::FormTop) && Text.isEmpty())
            Text = QStringLiteral("0");
        Reg->WriteString(Ed.FormStorageKey, QLatin1String(S.Name), Text);
    }
    Reg->Flush();
    Saved = true;
    FireEvent(OnSaved);
}

bool TSettings::GameExecutableExists() const {
    return QFileInfo(QDir(GameFolder()).filePath(Ed.GameExecutable)).isFile();
}

QByteArray TSettings::MasterHost() const {
    return HostOf(Value(TField::MasterServer).trimmed().toUtf8());
}

QList<TMasterAddress> TSettings::MasterServers() const {
    return ParseMasterList(Value(TField::MasterServer).toUtf8(), "28900");
}

QByteArray TSettings::MasterPort() const {
    return PortOf(Value(TField::MasterServer).trimmed().toUtf8(), "28900");
}

QByteArray TSettings::ChatServerHost() const {
    return HostOf(Value(TField::ChatServer).trimmed().toUtf8());
}

QByteArray TSettings::ChatServerPort() const {
    return PortOf(Value(TField::ChatServer).trimmed().toUtf8(), "6667");
}

int TSettings::QueriesAtOnce() const {
    bool Ok = false;
    const int Count = Value(TField::QueryParallel).toInt(&Ok);
    return qBound(TCustomServerList::MinOutstanding,
                  Ok ? Count : TCustomServerList::DefaultOutstanding,
                  TCustomServerList::MaxOutstandingLimit);
}

int TSettings::QueriesPerSecond() const {
    bool Ok = false;
    const int Rate = Value(TField::QueryRate).toInt(&Ok);
    return qBound(TCustomServerList::MinQueryRate, Ok ? Rate : TCustomServerList::DefaultQueryRate,
                  TCustomServerList::MaxQueryRate);
}

TProxyChoice TSettings::ProxyChoice() const {
    TProxyChoice C;
    C.UseHttp = Flag(TField::UseProxies);
    C.HttpAddress = Value(TField::ProxyAddr).toUtf8();
    C.HttpPort = Value(TField::ProxyPort).toUtf8();
    C.HttpUser = Value(TField::ProxyUser).toUtf8();
    C.HttpPassword = Value(TField::ProxyPass).toUtf8();
    C.UseSocks = Flag(TField::UseSocksProxies);
    C.SocksAddress = Value(TField::SocksProxyAddr).toUtf8();
    C.SocksUser = Value(TField::SocksProxyUser).toUtf8();
    C.SocksPassword = Value(TField::SocksProxyPass).toUtf8();
    C.Socks5 = Flag(TField::Socks5);
    return C;
}

void TSettings::ApplySocksProxy(TSocksSettings& Socket) const {
    ::ApplySocksProxy(ProxyChoice(), Socket);
}

void TSettings::ApplyHttpProxy(THttpProxySettings& Client) const {
    ::ApplyHttpProxy(ProxyChoice(), Client);
}

QString TSettings::Stored(const QString& Name) const {
    return Reg->ReadString(DirectKey(), Name);
}

void TSettings::Store(const QString& Name, const QString& Value) {
    Reg->WriteString(DirectKey(), Name, Value);
    Reg->Flush();
}

const QSet<QString>& TSettings::DirectNamesRead() {
    static const QSet<QString> Names = [] {
        QSet<QString> Read{"code",    "motdck",   "motdhost",      "motdport",
                           "motdurl", "showtips", "bannerinterval"};
        for (const QString& Name : LinkValueNames())
            Read.insert(Name);
        return Read;
    }();
    return Names;
}

namespace {
QByteArray StoredOr(const TSettings& Settings, const char* Name, const QByteArray& Default) {
    const QString Value = Settings.Stored(QLatin1String(Name)).trimmed();
    return Value.isEmpty() ? Default : Value.toUtf8();
}
} // namespace

QByteArray TSettings::MotdHost() const {
    return StoredOr(*this, "motdhost", Ed.MotdHost);
}

QByteArray TSettings::MotdPort() const {
    return StoredOr(*this, "motdport", Ed.MotdPort);
}

QByteArray TSettings::MotdUrl() const {
    return StoredOr(*this, "motdurl", Ed.MotdUrl);
}

void TSettings::LoadLinks() {
    ::LoadLinks(*Reg, DirectKey(), Links, BannerInterval);
    FireEvent(OnLinksLoaded);
}

void TSettings::LoadSkin() {
    LoadSkin(Value(TField::SkinPath));
}

void TSettings::LoadSkin(QString Name) {
    SkinDirectory = ::LoadSkin(Name, Colors);
}

// ---- the server list's filter ---------------------------------------------------------------

namespace {
const QString FilterTextName = "filter_Text", FilterEmptyName = "filter_HideEmpty",
              FilterFullName = "filter_HideFull", FilterSilentName = "filter_HideNotResponding",
              FilterPingName = "filter_MaxPing", FilterBarName = "filterbar_Visible";
QString TrueFalse(bool On) {
    return On ? QStringLiteral("True") : QStringLiteral("False");
}
} // namespace

TServerFilterState TSettings::ListFilter() const {
    TServerFilterState State;
    State.Text = Stored(FilterTextName).left(TServerFilter::MaxTextLength);
    State.HideEmpty = Stored(FilterEmptyName) == QLatin1String("True");
    State.HideFull = Stored(FilterFullName) == QLatin1String("True");
    State.HideNotResponding = Stored(FilterSilentName) == QLatin1String("True");
    State.MaxPing = qBound(0, Stored(FilterPingName).toInt(), 9999);
    return State;
}

void TSettings::SetListFilter(const TServerFilterState& State) {
    const QString Key = DirectKey();
    Reg->WriteString(Key, FilterTextName, State.Text);
    Reg->WriteString(Key, FilterEmptyName, TrueFalse(State.HideEmpty));
    Reg->WriteString(Key, FilterFullName, TrueFalse(State.HideFull));
    Reg->WriteString(Key, FilterSilentName, TrueFalse(State.HideNotResponding));
    Reg->WriteString(Key, FilterPingName, QString::number(State.MaxPing));
    Reg->Flush();
}

bool TSettings::FilterBarShown() const {
    return Stored(FilterBarName) == QLatin1String("True");
}

void TSettings::SetFilterBarShown(bool Shown) {
    Store(FilterBarName, TrueFalse(Shown));
}

bool TSettings::WatchFavorites() const {
    return Stored(QStringLiteral("watchfavorites")) == QLatin1String("True");
}

int TSettings::WatchMinutes() const {
    bool Ok = false;
    const int Minutes = Stored(QStringLiteral("watchminutes")).toInt(&Ok);
    return Ok && Minutes > 0 ? qMin(Minutes, 1440) : 5;
}

void TSettings::SetBuddies(const QString& Lines, bool Watch, int Minutes) {
    // No one keeps more friends than this; a pasted file stays within reason.
    Store(QStringLiteral("buddies"), Lines.left(256 * 1024));
    Store(QStringLiteral("watchfavorites"), TrueFalse(Watch));
    Store(QStringLiteral("watchminutes"), QString::number(qBound(1, Minutes, 1440)));
}
