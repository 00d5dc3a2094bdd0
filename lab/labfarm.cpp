#include "labgameserver.h"

#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <iterator>
#include <numeric>
#include <sys/resource.h>

namespace {

// Room for the client's sockets and the process's other files beside the servers.
constexpr rlim_t SpareFiles = 256;

void EnsureFileLimit(qsizetype Sockets) {
    rlimit Limit{};
    if (getrlimit(RLIMIT_NOFILE, &Limit) == 0 && Limit.rlim_cur != RLIM_INFINITY &&
        Limit.rlim_cur < rlim_t(Sockets) + SpareFiles)
        LabRaiseFileLimit();
}

template <typename T, size_t N> const T& Pick(QRandomGenerator& R, const T (&Items)[N]) {
    return Items[R.bounded(int(N))];
}

// Opens one server per config, all or none; Servers must be empty.
template <typename TServer, typename TConfig>
bool Open(QObject* Owner, QList<TServer*>& Servers, const QList<TConfig>& Configs, quint16 BasePort,
          qsizetype OtherSockets) {
    if (BasePort && BasePort + Configs.size() - 1 > 65535) return false;
    EnsureFileLimit(OtherSockets + Configs.size());
    for (qsizetype I = 0; I < Configs.size(); ++I) {
        Servers.append(new TServer(Configs[I], Owner));
        if (!Servers.last()->Listen(BasePort ? quint16(BasePort + I) : 0)) {
            qDeleteAll(Servers);
            Servers.clear();
            return false;
        }
    }
    return true;
}

// Hands out distinct servers, in random order, to the odd kinds (silent, garbage, ...).
template <class TConfig> auto Marker(QList<TConfig>& Configs, QRandomGenerator& R) {
    QList<int> Order(Configs.size());
    std::iota(Order.begin(), Order.end(), 0);
    std::shuffle(Order.begin(), Order.end(), R);
    return [&Configs, Order, Next = qsizetype(0)](int Wanted, auto Apply) mutable {
        for (int K = 0; K < Wanted && Next < Order.size(); ++K, ++Next)
            Apply(Configs[Order[Next]]);
    };
}

} // namespace

bool LabRaiseFileLimit() {
    rlimit Limit{};
    if (getrlimit(RLIMIT_NOFILE, &Limit) != 0) return false;
    if (Limit.rlim_cur == Limit.rlim_max) return true;
    Limit.rlim_cur = Limit.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &Limit) == 0;
}

TLabFarm::TLabFarm(QObject* Parent) : QObject(Parent) {}

bool TLabFarm::Start(const QList<TLabServerConfig>& Configs, quint16 BasePort) {
    qDeleteAll(FServers);
    FServers.clear();
    return Open(this, FServers, Configs, BasePort, FHLServers.size());
}

bool TLabFarm::StartHL(const QList<TLabHLConfig>& Configs, quint16 BasePort) {
    qDeleteAll(FHLServers);
    FHLServers.clear();
    return Open(this, FHLServers, Configs, BasePort, FServers.size());
}

void TLabFarm::Stop() {
    qDeleteAll(FServers);
    FServers.clear();
    qDeleteAll(FHLServers);
    FHLServers.clear();
}

quint16 TLabFarm::Port(int Index) const {
    return FServers.at(Index)->Port();
}

quint16 TLabFarm::HLPort(int Index) const {
    return FHLServers.at(Index)->Port();
}

QList<TLabServerConfig> TLabFarm::MakeConfigs(int Count, const TLabFarmOptions& Options) {
    static const char* const Clans[] = {
        "[EU] ",     "[US] ", "[AU] ", "=KoS= ", "{Wolves} ", "|DK| ",
        "Official ", "LAN ",  "",      "",       "",          ""};
    static const char* const Names[] = {
        "Frag Factory",  "Dragon's Lair", "The Red Keep", "Midnight Arena",
        "Ashen Fields",  "Silver Hall",   "Rusty Anchor", "Storm Citadel",
        "Moonlit Duels", "Blade Guild",   "Ember Tavern", "Iron Pit",
        "Lost Temple",   "Shadow Marsh",  "King's Road",  "Cliffside Brawl"};
    static const char* const Maps[] = {"dm1",        "dm2",          "dm_fortress", "dm_crypt",
                                       "ctf_bridge", "ctf_towers",   "arena_pit",   "keep_siege",
                                       "marsh",      "temple_ruins", "docks",       "citadel"};
    static const struct {
        const char* Type;
        bool Teams;
    } Games[] = {{"dm", false}, {"dm", false},   {"tdm", true},
                 {"ctf", true}, {"duel", false}, {"coop", false}};
    static const char* const Modes[] = {"openplaying", "openplaying", "openplaying", "openwaiting",
                                        "closedplaying"};
    static const char* const Nicks[] = {
        "Bob",  "Grimm", "Vex",  "Lyra",  "Thorn",  "Ash",   "Kestrel", "Mordan", "Nyx", "Oswin",
        "Pike", "Quill", "Rook", "Sable", "Tamsin", "Ulric", "Wren",    "Yara",   "Zed", "Brakka"};
    static const char* const Meshes[] = {"Human", "Elf", "Orc", "Dwarf", "Lizard"};
    static const char* const Skins[] = {"Knight", "Ranger", "Mage", "Rogue", "Brute", "Monk"};
    static const int Sizes[] = {8, 12, 16, 16, 24, 32};
    static const char* const Versions[] = {"1.0", "1.0", "1.1", "1.2"};
    constexpr int NameCount = int(std::size(Names)), NickCount = int(std::size(Nicks));

    QRandomGenerator R(Options.Seed);
    QList<TLabServerConfig> Configs(std::max(0, Count));
    for (int I = 0; I < Configs.size(); ++I) {
        TLabServerConfig& C = Configs[I];
        // Name and number are unique per index, so every server can be told apart.
        C.HostName = QByteArray(Pick(R, Clans)) + Names[I % NameCount];
        if (I >= NameCount) C.HostName += " #" + QByteArray::number(I / NameCount + 1);
        C.MapName = Pick(R, Maps);
        const auto& Game = Pick(R, Games);
        C.GameType = Game.Type;
        C.GameMode = Pick(R, Modes);
        C.GameVersion = Pick(R, Versions);
        C.Location = R.bounded(4);
        C.MaxPlayers = std::max(1, std::min(Pick(R, Sizes), Options.MaxPlayers));
        const int Players = R.bounded(3) == 0 ? 0 : R.bounded(C.MaxPlayers + 1);
        const int FirstNick = R.bounded(NickCount);
        for (int P = 0; P < Players; ++P) {
            TLabPlayer Pl;
            Pl.Name = Nicks[(FirstNick + P) % NickCount];
            if (P >= NickCount) Pl.Name += QByteArray::number(P / NickCount + 1);
            Pl.Frags = R.bounded(60);
            Pl.Deaths = R.bounded(40);
            Pl.Ping = 15 + R.bounded(250);
            Pl.Team = Game.Teams ? (P % 2 ? "blue" : "red") : "";
            Pl.Id = QByteArray::number(P + 1);
            Pl.Mesh = Pick(R, Meshes);
            Pl.Skin = Pick(R, Skins);
            C.Players.append(Pl);
        }
        C.Rules = {{"timelimit", QByteArray::number(5 * (2 + R.bounded(5)))},
                   {"fraglimit", QByteArray::number(25 * R.bounded(5))},
                   {"password", R.bounded(6) ? "0" : "1"}};
        if (Game.Teams) C.Rules.emplaceBack("friendlyfire", R.bounded(2) ? "1" : "0");
        if (Options.MaxDelayMs > 0) C.DelayMs = R.bounded(Options.MaxDelayMs + 1);
    }

    auto Mark = Marker(Configs, R);
    Mark(Options.Silent, [](TLabServerConfig& C) { C.Silent = true; });
    Mark(Options.Garbage, [](TLabServerConfig& C) { C.Garbage = true; });
    Mark(Options.NoFinal, [](TLabServerConfig& C) { C.NoFinal = true; });
    Mark(Options.Split, [&R](TLabServerConfig& C) { C.Datagrams = 2 + R.bounded(3); });
    return Configs;
}

QList<TLabHLConfig> TLabFarm::MakeHLConfigs(int Count, const TLabFarmOptions& Options) {
    static const char* const Names[] = {
        "Dust Bowl",    "Office Party", "Nuke Plant", "Aztec Ruins", "Inferno Town", "Train Yard",
        "Italy Market", "Crossfire",    "Two Forts",  "Avalanche",   "Night Shift",  "Bunker 7",
        "Frosty Peaks", "Old Harbour",  "Red Canyon", "Last Outpost"};
    static const char* const Clans[] = {"[EU] ", "[US] ", "|HL| ", "=CS= ", "", "", ""};
    static const struct {
        const char *Dir, *Description, *Maps[4];
    } Games[] = {{"cstrike", "Counter-Strike", {"de_dust", "de_dust2", "cs_office", "de_nuke"}},
                 {"cstrike", "Counter-Strike", {"de_aztec", "de_inferno", "cs_italy", "de_train"}},
                 {"valve", "Half-Life", {"crossfire", "boot_camp", "stalkyard", "datacore"}},
                 {"tfc", "Team Fortress Classic", {"2fort", "well", "rock2", "hunted"}},
                 {"dod", "Day of Defeat", {"dod_avalanche", "dod_anzio", "dod_kalt", "dod_flash"}}};
    static const char* const Nicks[] = {"Gordon", "Barney", "Adrian", "Gina",    "Colette",
                                        "Otis",   "Eli",    "Rosie",  "Kleiner", "Shephard",
                                        "Zombie", "Vort",   "Grunt",  "Hornet",  "Ichthy"};
    static const int Sizes[] = {10, 12, 16, 20, 24, 32};
    static const char* const Answers[] = {"EDC", "DCE", "ECD", "DEC"};
    constexpr int NameCount = int(std::size(Names)), NickCount = int(std::size(Nicks));

    QRandomGenerator R(Options.Seed ^ 0x48u);
    QList<TLabHLConfig> Configs(std::max(0, Count));
    for (int I = 0; I < Configs.size(); ++I) {
        TLabHLConfig& C = Configs[I];
        // The server fills in its own address, which is only known once it listens.
        C.Address.clear();
        C.Name = QByteArray(Pick(R, Clans)) + Names[I % NameCount];
        if (I >= NameCount) C.Name += " #" + QByteArray::number(I / NameCount + 1);
        const auto& Game = Pick(R, Games);
        C.GameDir = Game.Dir;
        C.Description = Game.Description;
        C.Map = Pick(R, Game.Maps);
        C.MaxPlayers = std::max(1, std::min(Pick(R, Sizes), Options.MaxPlayers));
        const int Players = R.bounded(3) == 0 ? 0 : R.bounded(C.MaxPlayers + 1);
        const int FirstNick = R.bounded(NickCount);
        for (int P = 0; P < Players; ++P) {
            TLabHLPlayer Pl;
            Pl.Name = Nicks[(FirstNick + P) % NickCount];
            if (P >= NickCount) Pl.Name += QByteArray::number(P / NickCount + 1);
            Pl.Frags = R.bounded(-3, 60);
            Pl.Time = float(R.bounded(7200.0));
            C.Players.append(Pl);
        }
        C.Rules = {{"mp_timelimit", QByteArray::number(5 * (2 + R.bounded(5)))},
                   {"mp_fraglimit", QByteArray::number(10 * R.bounded(6))},
                   {"mp_friendlyfire", R.bounded(2) ? "1" : "0"},
                   {"sv_gravity", "800"},
                   {"sv_password", R.bounded(6) ? "0" : "1"}};
        if (Options.MaxDelayMs > 0) C.DelayMs = R.bounded(Options.MaxDelayMs + 1);
    }

    auto Mark = Marker(Configs, R);
    Mark(Options.Silent, [](TLabHLConfig& C) { C.Silent = true; });
    Mark(Options.Garbage, [&R](TLabHLConfig& C) {
        QByteArray D(4 + R.bounded(8, 400), '\xff');
        for (qsizetype K = 4; K < D.size(); ++K)
            D[K] = char(R.bounded(256));
        C.RawDatagrams = {D};
    });
    Mark(Options.NoFinal, [](TLabHLConfig& C) { C.Answer = "CD"; });
    Mark(Options.Split, [&R](TLabHLConfig& C) { C.Answer = Pick(R, Answers); });
    return Configs;
}

TLabFarmThread::TLabFarmThread() = default;

TLabFarmThread::~TLabFarmThread() {
    Stop();
}

bool TLabFarmThread::Start(const QList<TLabServerConfig>& Configs, quint16 BasePort,
                           std::optional<TLabMasterConfig> Master, const QByteArray& GameName) {
    Stop();
    FQueries = 0;
    FThread = std::make_unique<QThread>();
    FThread->setObjectName("lab farm");
    auto* Farm = new TLabFarm;
    FFarm = Farm;
    Farm->moveToThread(FThread.get());
    // The sockets must die in the thread that owns them, once its loop has ended.
    QObject::connect(FThread.get(), &QThread::finished, Farm, &QObject::deleteLater);
    FThread->start();

    bool Listening = false;
    QMetaObject::invokeMethod(
        Farm,
        [&] {
            Listening = Farm->Start(Configs, BasePort);
            for (int I = 0; I < Farm->Count(); ++I) {
                FPorts.append(Farm->Port(I));
                QObject::connect(Farm->Server(I), &TLabGameServer::Queried, Farm,
                                 [this] { FQueries.fetch_add(1, std::memory_order_relaxed); });
            }
            if (!Listening || !Master) return;
            QList<QByteArray>& Entries = Master->Lists[GameName];
            Entries.clear();
            for (const quint16 Port : std::as_const(FPorts))
                Entries.append("127.0.0.1:" + QByteArray::number(Port));
            auto* Server = new TLabMasterServer(*Master, Farm);
            Listening = Server->Listen();
            FMasterPort = Server->Port();
        },
        Qt::BlockingQueuedConnection);
    if (!Listening) Stop();
    return Listening;
}

quint16 TLabFarmThread::AddMaster(const QList<int>& Indices, TLabMasterConfig Master,
                                  const QByteArray& GameName) {
    if (!FThread) return 0;
    quint16 Port = 0;
    QList<QByteArray>& Entries = Master.Lists[GameName];
    for (const int Index : Indices)
        Entries.append("127.0.0.1:" + QByteArray::number(FPorts.at(Index)));
    QMetaObject::invokeMethod(
        FFarm,
        [&] {
            auto* Server = new TLabMasterServer(Master, FFarm);
            if (Server->Listen()) Port = Server->Port();
        },
        Qt::BlockingQueuedConnection);
    return Port;
}

void TLabFarmThread::Stop() {
    if (!FThread) return;
    FThread->quit();
    FThread->wait();
    FThread.reset();
    FFarm = nullptr;
    FPorts.clear();
    FMasterPort = 0;
}
