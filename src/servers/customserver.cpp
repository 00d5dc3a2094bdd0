#include "servers/customserver.h"

#include "net/WSockets.h"
#include "net/netutils.h"

#include <QTimer>

#include <cstring>

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

void TCustomServer::CancelQuery() {
    if (!Busy) return;
    QueryTimer->stop();
    StopAttempt();
    Busy = false;
    QueryDone = nullptr;
}

void TCustomServer::StartAttempt() {
    Busy = true;
    Responded = true;
    if (!QueryTimer) {
        QueryTimer.reset(new QTimer);
        QueryTimer->setSingleShot(true);
        // A coarse timer may end an attempt 5 % early and throw away a reply still in time.
        QueryTimer->setTimerType(Qt::PreciseTimer);
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

void TGameServer::GetColumnTexts(QList<QByteArray>& Strings) const {
    Strings << ServerName << Number(Ping) << Number(NumPlayers) + '/' + Number(MaxPlayers)
            << MapName << GameType;
}

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
    const qint64 Wire = Responded ? RoundTripNs() : -1;
    // The wire time, unless a wall-clock step made it disagree with the steady clock (which
    // starts after the send, so a send held up by the scheduler may exceed it a little).
    if (Wire >= 0 && Wire <= (Elapsed + 100) * 1000000) Elapsed = (Wire + 500000) / 1000000;
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

qint64 TUDPQueryServer::RoundTripNs() const {
    return QueryClient ? QueryClient->RoundTripNs() : -1;
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

TColumnCaptions TGameServer::ColumnCaptions() {
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

// ---- Half-Life protocol ---------------------------------------------------------------------

const TServerClassInfo THLServer::Class = ServerClassOf<THLServer>("THLServer");

namespace {
QByteArray HLRequest(const char* Name) {
    return QByteArray(4, '\xff') + Name + "\r\n";
}

qint32 LittleEndian32(const QByteArray& Bytes) {
    return qint32(quint32(uchar(Bytes[0])) | quint32(uchar(Bytes[1])) << 8 |
                  quint32(uchar(Bytes[2])) << 16 | quint32(uchar(Bytes[3])) << 24);
}
} // namespace

void THLServer::SendQuery() {
    ReplyText.clear();
    InfoReply.clear();
    PlayersReply.clear();
    RulesReply.clear();
    static const QByteArray Info = HLRequest("info"), Players = HLRequest("players"),
                            Rules = HLRequest("rules");
    QueryClient->SendText(Info);
    QueryClient->SendText(Players);
    QueryClient->SendText(Rules);
}

bool THLServer::AddPacket(const QByteArray& Data) {
    if (Data.size() < 5) return false;
    switch (Data[4]) {
    case 'C':
        InfoReply = Data;
        break;
    case 'D':
        PlayersReply = Data;
        break;
    case 'E':
        RulesReply = Data;
        break;
    default:
        return false;
    }
    return !InfoReply.isEmpty() && !PlayersReply.isEmpty() && !RulesReply.isEmpty();
}

void THLServer::ParseReply() {
    Ping = int(Elapsed);
    GamePort = QueryPort;
    QByteArray Info = InfoReply;
    TakeCString(Info); // header and the server's own address
    ServerName = TakeCString(Info);
    MapName = TakeCString(Info);
    QByteArray Directory = TakeCString(Info).replace('/', '\\');
    GameType = Directory.mid(qMax(Directory.lastIndexOf('\\'), Directory.lastIndexOf(':')) + 1);
    TakeCString(Info); // description
    Location = 0;
    GameMode = "openplaying";
    if (Info.size() >= 3) {
        NumPlayers = uchar(Info[0]);
        MaxPlayers = uchar(Info[1]);
        GameVersion = Number(uchar(Info[2]));
    }
    QByteArray PlayersText = PlayersReply.mid(5);
    if (!PlayersText.isEmpty()) {
        NumPlayers = uchar(PlayersText[0]);
        PlayersText.remove(0, 1);
        ParsePlayers(PlayersText);
    }
    const QByteArray RulesText = RulesReply.mid(5);
    if (!RulesText.isEmpty()) ParseRules(RulesText);
}

void THLServer::ParsePlayers(QByteArray& Text) {
    ClearPlayers();
    for (int I = 0; I < NumPlayers && !Text.isEmpty(); ++I) {
        Text.remove(0, 1); // the player's index
        const QByteArray Name = TakeCString(Text);
        if (Text.size() < 4) break;
        const qint32 Frags = LittleEndian32(Text);
        Text.remove(0, 4);
        if (Text.size() < 4) break;
        const quint32 Bits = quint32(LittleEndian32(Text));
        Text.remove(0, 4);
        float Time;
        std::memcpy(&Time, &Bits, sizeof Time);
        AddPlayer("\\player\\" + Name + "\\frags\\" + Number(Frags) + "\\time\\" +
                  Number(RoundSeconds(Time)));
    }
}

void THLServer::ParseRules(QByteArray Text) {
    ClearRules();
    if (Text.size() < 2) return;
    const int Count = qint16(quint16(uchar(Text[0])) | quint16(uchar(Text[1])) << 8);
    Text.remove(0, 2);
    // A count beyond the data ends with the data, not with thousands of empty rules.
    for (int I = 0; I < Count && !Text.isEmpty(); ++I) {
        const QByteArray Key = TakeCString(Text);
        const QByteArray Value = TakeCString(Text);
        AddRule(Key, Value);
    }
}
