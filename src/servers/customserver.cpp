#include "servers/customserver.h"

#include "net/WSockets.h"
#include "net/netutils.h"

#include <QTimer>

namespace {

template <class T> constexpr TPlayerClassInfo PlayerClassOf(const char* Name) {
    return {Name, &T::ColumnCount, &T::ColumnCaptions,
            [](const QByteArray& Text) -> std::unique_ptr<TCustomPlayer> {
                return std::make_unique<T>(Text);
            }};
}

template <class T> constexpr TServerClassInfo ServerClassOf(const char* Name) {
    return {Name, &T::PlayerClassOf, &T::ColumnCount, &T::ColumnCaptions,
            [](const QByteArray& Address,
               const QByteArray& QueryPort) -> std::unique_ptr<TCustomServer> {
                return std::make_unique<T>(Address, QueryPort);
            }};
}

QByteArray Number(qint64 Value) {
    return QByteArray::number(Value);
}

} // namespace

// ---- players --------------------------------------------------------------------------------

const TPlayerClassInfo TCustomPlayer::Class = PlayerClassOf<TCustomPlayer>("TCustomPlayer");
const TPlayerClassInfo TSQPPlayer::Class = PlayerClassOf<TSQPPlayer>("TSQPPlayer");
const TPlayerClassInfo TMorrowPlayer::Class = PlayerClassOf<TMorrowPlayer>("TMorrowPlayer");
const TPlayerClassInfo THLPlayer::Class = PlayerClassOf<THLPlayer>("THLPlayer");

TCustomPlayer::TCustomPlayer(const QByteArray& Text)
    : Name(GetValue(Text, "player")), Frags(IntOfText(GetValue(Text, "frags"))),
      Ping(IntOfText(GetValue(Text, "ping"))) {}

TColumnCaptions TCustomPlayer::ColumnCaptions() {
    return {{"Name", ckText}, {"Frags", ckText}, {"Ping", ckNumber}};
}

void TCustomPlayer::GetColumnTexts(QList<QByteArray>& Strings) const {
    Strings << Name << Number(Frags) << Number(Ping);
}

TSQPPlayer::TSQPPlayer(const QByteArray& Text)
    : TCustomPlayer(Text), Deaths(IntOfText(GetValue(Text, "deaths"))),
      Team(GetValue(Text, "team")), Id(GetValue(Text, "id")) {}

TColumnCaptions TSQPPlayer::ColumnCaptions() {
    return {{"Name", ckText},
            {"Frags", ckText},
            {"Deaths", ckText},
            {"Ping", ckNumber},
            {"Team", ckText}};
}

void TSQPPlayer::GetColumnTexts(QList<QByteArray>& Strings) const {
    Strings << Name << Number(Frags) << Number(Deaths) << Number(Ping) << Team;
}

TMorrowPlayer::TMorrowPlayer(const QByteArray& Text)
    : TSQPPlayer(Text), Mesh(GetValue(Text, "mesh")), Skin(GetValue(Text, "skin")) {}

TColumnCaptions TMorrowPlayer::ColumnCaptions() {
    return {{"Name", ckText},
            {"Frags", ckText},
            {"Ping", ckNumber},
            {"Team", ckText},
            {"Skin", ckText}};
}

void TMorrowPlayer::GetColumnTexts(QList<QByteArray>& Strings) const {
    Strings << Name << Number(Frags) << Number(Ping) << Team << Mesh + '\\' + Skin;
}

THLPlayer::THLPlayer(const QByteArray& Text)
    : TCustomPlayer(Text), Time(IntOfText(GetValue(Text, "time"))) {}

TColumnCaptions THLPlayer::ColumnCaptions() {
    return {{"Name", ckText}, {"Frags", ckText}, {"Time", ckText}};
}

void THLPlayer::GetColumnTexts(QList<QByteArray>& Strings) const {
    Strings << Name << Number(Frags) << Number(Time / 60) + "m " + Number(Time % 60) + "s";
}

// ---- query attempts -------------------------------------------------------------------------

TCustomServer::TCustomServer(const QByteArray& Address, const QByteArray& QueryPort)
    : Address(Address), QueryPort(QueryPort), GamePort(QueryPort) {}

TCustomServer::~TCustomServer() {
    if (QueryTimer) QueryTimer->stop();
}

void TCustomServer::StartQuery(TQueryDoneEvent OnQueryDone) {
    if (Busy) return;
    RetryCount = 0;
    QueryDone = std::move(OnQueryDone);
    StartAttempt();
}

void TCustomServer::StartAttempt() {
    Busy = true;
    Responded = true;
    if (!QueryTimer) {
        QueryTimer.reset(new QTimer);
        QueryTimer->setSingleShot(true);
        QObject::connect(QueryTimer.get(), &QTimer::timeout, [this] { TimedOut(); });
    }
    QueryTimer->start(Timeout);
}

void TCustomServer::TimedOut() {
    Responded = false;
    FinishQuery();
}

void TCustomServer::FinishQuery() {
    QueryTimer->stop();
    if (Responded || RetryCount >= MaxRetries) {
        Busy = false;
        // Last thing done here: the owner may free the record from the callback.
        FireEvent(std::exchange(QueryDone, {}), this);
    } else {
        ++RetryCount;
        StartAttempt();
    }
}

void TCustomServer::AddRule(const QByteArray& Key, const QByteArray& Value) {
    Rules.append(TRule(Key, Value));
}

void TCustomServer::ParseRules(QByteArray Text) {
    ClearRules();
    Text.removeIf([](char C) { return uchar(C) < 32 || uchar(C) >= 128; });
    while (Text.contains('\\')) {
        const QByteArray Key = NextBackslashToken(Text);
        const QByteArray Value = NextBackslashToken(Text);
        if (Key.isEmpty() || Key == "final" || Key == "queryid" || Key == "gamename") continue;
        AddRule(Key, Value);
    }
}

TGameServer::~TGameServer() = default;

void TGameServer::AddPlayer(const QByteArray& Text) {
    Players.push_back(PlayerClass()->Create(Text));
}

void TGameServer::StartAttempt() {
    TCustomServer::StartAttempt();
    OpenSocket();
    SendQuery();
    StartTick = TickCount();
}

void TGameServer::FinishQuery() {
    Elapsed = TickCount() - StartTick;
    ParseReply();
    CloseSocket();
    TCustomServer::FinishQuery();
}

void TGameServer::DataReceived(const QByteArray& Data) {
    if (Busy && Responded && AddPacket(Data)) FinishQuery();
}

TUDPQueryServer::~TUDPQueryServer() {
    CloseSocket();
}

void TUDPQueryServer::OpenSocket() {
    QueryClient.reset(new TUDPClient);
    QueryClient->Host = Address;
    QueryClient->Port = QueryPort;
    QueryClient->OnData = [this](TCustomWSockets*, int) {
        DataReceived(QueryClient->ReceiveText());
    };
    QueryClient->Open();
}

void TUDPQueryServer::CloseSocket() {
    if (!QueryClient) return;
    QueryClient->OnData = nullptr;
    QueryClient->Close();
    QueryClient.reset();
}

// ---- key/value status protocol --------------------------------------------------------------

const TServerClassInfo TSQPServer::Class = ServerClassOf<TSQPServer>("TSQPServer");
const TServerClassInfo TMorrowServer::Class = ServerClassOf<TMorrowServer>("TMorrowServer");

TColumnCaptions ServerColumnCaptions() {
    return {{"Server Name", ckText},
            {"Ping", ckNumber},
            {"Players", ckFraction},
            {"Map", ckText},
            {"Game Type", ckText}};
}

void MarkNotResponding(TCustomServer& Server) {
    if (Server.Responded) return;
    static const QByteArray Mark = "NOT RESPONDING ";
    Server.Ping = 9999;
    if (!Server.ServerName.startsWith(Mark)) Server.ServerName.prepend(Mark);
}

TSQPServer::TSQPServer(const QByteArray& Address, const QByteArray& QueryPort)
    : TUDPQueryServer(Address, QueryPort), PlayerKeys{"player", "frags", "deaths",
                                                      "ping",   "team",  "id"} {}

TColumnCaptions TSQPServer::ColumnCaptions() {
    return ServerColumnCaptions();
}

void TSQPServer::GetColumnTexts(QList<QByteArray>& Strings) const {
    Strings << ServerName << Number(Ping) << Number(NumPlayers) + '/' + Number(MaxPlayers)
            << MapName << GameType;
}

void TSQPServer::SendQuery() {
    ReplyText.clear();
    QueryClient->SendText("\\status\\");
}

bool TSQPServer::AddPacket(const QByteArray& Data) {
    ReplyText += Data.left(qMax<qsizetype>(0, MaxReplyBytes - ReplyText.size()));
    return Data.contains("\\final");
}

void TSQPServer::ParseReply() {
    QByteArray& Text = ReplyText;
    // The game port goes onto the game's command line: only a plain port is taken from a reply.
    const QByteArray HostPort = ExtractValue(Text, "hostport", true);
    GamePort = IsValidPort(HostPort) ? HostPort : QueryPort;
    ServerName = ExtractValue(Text, "hostname", true);
    Ping = int(Elapsed);
    MaxPlayers = IntOfText(ExtractValue(Text, "maxplayers", true));
    NumPlayers = IntOfText(ExtractValue(Text, "numplayers", true));
    MapName = ExtractValue(Text, "mapname", true);
    GameType = ExtractValue(Text, "gametype", true);
    GameMode = ExtractValue(Text, "gamemode", true);
    Location = IntOfText(ExtractValue(Text, "location", true));
    GameVersion = ExtractValue(Text, "gamever", true);
    ParsePlayers(Text);
    ParseRules(Text);
}

void TSQPServer::ParsePlayers(QByteArray& Text) {
    ClearPlayers();
    const int Count = qBound(0, NumPlayers, MaxPlayerRecords);
    QByteArray Key, PlayerText;
    for (int I = 0; I < Count; ++I) {
        const QByteArray Suffix = '_' + Number(I);
        PlayerText.clear();
        for (const QByteArray& Name : PlayerKeys) {
            Key.clear();
            Key.append(Name).append(Suffix);
            PlayerText.append('\\').append(Name).append('\\').append(ExtractValue(Text, Key, true));
        }
        AddPlayer(PlayerText);
    }
}

TMorrowServer::TMorrowServer(const QByteArray& Address, const QByteArray& QueryPort)
    : TSQPServer(Address, QueryPort) {
    PlayerKeys << "mesh"
               << "skin";
}
