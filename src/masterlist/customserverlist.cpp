#include "masterlist/customserverlist.h"

#include "masterlist/validation.h"
#include "net/WSockets.h"
#include "net/netutils.h"

#include <QTimer>

QList<TMasterAddress> ParseMasterList(const QByteArray& Text, const QByteArray& DefaultPort) {
    QList<TMasterAddress> Result;
    QByteArray Name;
    const auto Take = [&] {
        const TMasterAddress Address{HostOf(Name), PortOf(Name, DefaultPort)};
        if (!Name.isEmpty() && !Result.contains(Address) &&
            Result.size() < TCustomServerList::MaxMasters)
            Result.append(Address);
        Name.clear();
    };
    for (const char C : Text) {
        if (C == ',' || C == ';' || uchar(C) <= ' ')
            Take();
        else
            Name += C;
    }
    Take();
    return Result;
}

TAddressScope AddressScope(const QHostAddress& Address) {
    // IPv4, or IPv4 mapped into IPv6 as a dual-stack socket reports it.
    bool IsV4 = false;
    const quint32 V4 = Address.toIPv4Address(&IsV4);
    if (!IsV4) {
        if (Address.protocol() != QAbstractSocket::IPv6Protocol) return TAddressScope::Never;
        if (Address.isLoopback()) return TAddressScope::Loopback;
        if (Address.isNull() || Address.isMulticast()) return TAddressScope::Never;
        if (Address.isUniqueLocalUnicast() || Address.isLinkLocal()) return TAddressScope::Private;
        return TAddressScope::Public;
    }
    const auto In = [V4](quint32 Net, int Bits) {
        return (V4 >> (32 - Bits)) == (Net >> (32 - Bits));
    };
    // 0/8 unspecified, 224/4 multicast, 240/4 reserved with the broadcast address in it.
    if (In(0x00000000, 8) || In(0xE0000000, 3)) return TAddressScope::Never;
    if (In(0x7F000000, 8)) return TAddressScope::Loopback;
    if (In(0x0A000000, 8) || In(0xAC100000, 12) || In(0xC0A80000, 16) || In(0xA9FE0000, 16) ||
        In(0x64400000, 10))
        return TAddressScope::Private;
    return TAddressScope::Public;
}

bool MayQueryListed(const QHostAddress& Server, const QHostAddress& Master) {
    const TAddressScope From = Master.isNull() ? TAddressScope::Public : AddressScope(Master);
    switch (AddressScope(Server)) {
    case TAddressScope::Public:
        return true;
    case TAddressScope::Private:
        return From == TAddressScope::Private || From == TAddressScope::Loopback;
    case TAddressScope::Loopback:
        return From == TAddressScope::Loopback;
    case TAddressScope::Never:
        break;
    }
    return false;
}

TCustomServerList::TCustomServerList(QObject* Parent)
    : QObject(Parent), ListTimer(std::make_unique<QTimer>()),
      FetchTimer(std::make_unique<QTimer>()), PaceTimer(std::make_unique<QTimer>()) {
    ListTimer->setSingleShot(true);
    FetchTimer->setSingleShot(true);
    PaceTimer->setSingleShot(true);
    PaceTimer->setTimerType(Qt::PreciseTimer);
    connect(ListTimer.get(), &QTimer::timeout, this, &TCustomServerList::ListTimedOut);
    connect(FetchTimer.get(), &QTimer::timeout, this, &TCustomServerList::ListTimedOut);
    connect(PaceTimer.get(), &QTimer::timeout, this, [this] { Pump(); });
}

TCustomServerList::~TCustomServerList() {
    // Queries still running would call back into a list that is gone.
    for (const TServerRef& Server : std::as_const(Servers))
        Server->CancelQuery();
}

void TCustomServerList::SetMaxOutstanding(int Count) {
    MaxOutstanding = qBound(MinOutstanding, Count, MaxOutstandingLimit);
}

void TCustomServerList::SetQueryRate(int PerSecond) {
    QueryRate = qBound(MinQueryRate, PerSecond, MaxQueryRate);
}

void TCustomServerList::SetMasters(const QList<TMasterAddress>& Addresses) {
    MasterHost = Addresses.isEmpty() ? QByteArray() : Addresses.first().first;
    MasterPort = Addresses.isEmpty() ? QByteArray("28900") : Addresses.first().second;
    MoreMasters = Addresses.mid(1, MaxMasters - 1);
}

void TCustomServerList::Status(int Percent, const QString& Text) {
    FireEvent(OnStatus, this, Percent, Text);
}

void TCustomServerList::Refresh() {
    if (State != lsIdle) return;
    Servers.clear();
    Skipped = 0;
    MasterFailures.clear();
    FetchList();
}

void TCustomServerList::RefreshServers(const QList<TServerRef>& Records) {
    if (State != lsIdle) return;
    Aborted = false;
    Skipped = 0;
    MasterFailures.clear();
    Servers = Records;
    NextIndex = 0;
    State = lsQuerying;
    PaceClock.start();
    NextSendNs = 0;
    Pump();
}

void TCustomServerList::FetchList() {
    Aborted = false;
    Listed.clear();
    State = lsFetching;
    RestartListTimer();
    FetchTimer->start(FetchLimit);
    Status(-1, QStringLiteral("Server List"));
}

void TCustomServerList::RestartListTimer() {
    ListTimer->start(ListTimeout);
}

void TCustomServerList::StopListTimers() {
    ListTimer->stop();
    FetchTimer->stop();
}

void TCustomServerList::AddListed(const QByteArray& Address, const QByteArray& QueryPort) {
    // A hostile master could name one victim thousands of times: each address is asked once.
    const QByteArray Key = Address + ':' + QueryPort;
    if (Listed.contains(Key)) return;
    Listed.insert(Key);
    Servers.append(CreateServer(Address, QueryPort));
}

void TCustomServerList::QueryServers() {
    StopListTimers();
    Listed.clear();
    State = lsQuerying;
    NextIndex = 0;
    PaceClock.start();
    NextSendNs = 0;
    Pump();
}

void TCustomServerList::EndFetch() {
    QueryServers();
}

void TCustomServerList::Pump() {
    while (Outstanding < MaxOutstanding) {
        if (NextIndex >= Servers.size() || Aborted) {
            if (State == lsQuerying && Outstanding == 0) UpdatesComplete();
            return;
        }
        // A record listed twice is already on its way: one report is enough.
        if (Servers[NextIndex]->Busy) {
            ++NextIndex;
            continue;
        }
        if (!SendDue()) return;
        const TServerRef Server = Servers[NextIndex++];
        Status(int((NextIndex - 1 - Outstanding) * 100 / qMax<qsizetype>(1, Servers.size())),
               QStringLiteral("Updating Servers"));
        ++Outstanding;
        // The callback holds the record until it has been reported.
        Server->StartQuery([this, Server](TCustomServer*) { ServerDone(Server); });
    }
}

bool TCustomServerList::SendDue() {
    if (QueryRate >= MaxQueryRate) return true;
    const qint64 Interval = 1000000000 / QueryRate;
    const qint64 Now = PaceClock.nsecsElapsed();
    if (Now >= NextSendNs) {
        // A late timer may catch up a few sends, never a burst after a long wait.
        NextSendNs = qMax(NextSendNs, Now - 4 * Interval) + Interval;
        return true;
    }
    if (!PaceTimer->isActive()) PaceTimer->start(int((NextSendNs - Now + 999999) / 1000000));
    return false;
}

void TCustomServerList::ServerDone(const TServerRef& Server) {
    if (!Aborted) FireEvent(OnServerDone, this, Server);
    --Outstanding;
    Pump();
}

void TCustomServerList::UpdatesComplete() {
    StopListTimers();
    PaceTimer->stop();
    State = lsIdle;
    // Said once, at the end, where it stays in view.
    QString Text = Skipped ? QStringLiteral("Updates Complete (skipped %1 server addresses that "
                                            "are not public)")
                                 .arg(Skipped)
                           : QStringLiteral("Updates Complete");
    if (!MasterFailures.isEmpty()) Text += " - " + MasterFailures.join("; ");
    Status(0, Text);
    FireEvent(OnComplete, this);
}

void TCustomServerList::ListTimedOut() {
    ListTimer->stop();
    FetchTimer->stop();
    if (State != lsFetching) return;
    Status(0, QStringLiteral("List Timed Out"));
    Abort();
}

void TCustomServerList::Abort() {
    if (!Aborted) Status(-1, QStringLiteral("Aborting Updates"));
    Aborted = true;
    if (State == lsFetching) EndFetch();
}

void TCustomServerList::FetchFailed(const QString& Text) {
    Status(0, Text);
    Aborted = true;
    if (State == lsFetching) EndFetch();
}

TServerRef TCustomServerList::CreateServer(const QByteArray& Address, const QByteArray& QueryPort) {
    return ServerClass()->Create(Address, QueryPort);
}

// ---- the master exchange --------------------------------------------------------------------

TCustomSQPServerList::TCustomSQPServerList(QObject* Parent)
    : TCustomServerList(Parent), MasterClient(std::make_unique<TTCPClient>()) {}

TCustomSQPServerList::~TCustomSQPServerList() {
    MasterClient->Close();
}

void TCustomSQPServerList::FetchList() {
    TCustomServerList::FetchList();
    ListReply.clear();
    MasterAddress.clear();
    DropFetchers();
    if (!MoreMasters.isEmpty() && !MasterHost.isEmpty()) {
        FetchMasters();
        return;
    }
    if (MasterHost.isEmpty()) {
        FetchFailed(QStringLiteral("No master server is set: enter one in the configuration"));
        return;
    }
    MasterClient->Host = MasterHost;
    MasterClient->Port = MasterPort;
    MasterClient->OnData = [this](TCustomWSockets*, int) { MasterData(); };
    MasterClient->OnClose = [this](TCustomWSockets*, int) { MasterClosed(); };
    // A master that cannot be reached is said at once, not after the silence time-out.
    MasterClient->OnError = [this](TCustomWSockets*, int, const QByteArray& Text) {
        if (State == lsFetching && !Aborted)
            FetchFailed(QStringLiteral("Master server: ") + QString::fromLatin1(Text));
    };
    MasterClient->Open();
}

void TCustomSQPServerList::DropFetchers() {
    // A fetcher may still be on the stack, reporting the end of the last update.
    for (auto& Fetcher : Fetchers) {
        Fetcher->OnStatus = nullptr;
        Fetcher->OnFetched = nullptr;
        Fetcher.release()->deleteLater();
    }
    Fetchers.clear();
}

void TCustomSQPServerList::FetchMasters() {
    // Each master keeps its own time-outs; this list waits for them all.
    StopListTimers();
    FetchersFailed = 0;
    QList<TMasterAddress> All{{MasterHost, MasterPort}};
    All += MoreMasters;
    for (const TMasterAddress& Master : std::as_const(All)) {
        std::unique_ptr<TCustomSQPServerList> Fetcher = CreateFetcher();
        Fetcher->FetchOnly = true;
        Fetcher->MasterHost = Master.first;
        Fetcher->MasterPort = Master.second;
        Fetcher->ListTimeout = ListTimeout;
        Fetcher->FetchLimit = FetchLimit;
        const QString Name =
            QStringLiteral("Master server %1:%2")
                .arg(QString::fromUtf8(Master.first), QString::fromUtf8(Master.second));
        // A master that fails is named; the others carry on.
        Fetcher->OnStatus = [this, Name](TCustomServerList*, int Percent, const QString& Text) {
            // Progress is the bytes of every list so far.
            if (Percent < 0 && Text.startsWith(QStringLiteral("Server List ("))) {
                qsizetype Bytes = 0;
                for (const auto& Each : Fetchers)
                    Bytes += Each->ListReply.size();
                Status(-1, QStringLiteral("Server List (%1)").arg(Bytes));
                return;
            }
            if (Percent != 0) return;
            static const QString Prefix = QStringLiteral("Master server: ");
            MasterFailures << Name + ": " +
                                  (Text.startsWith(Prefix) ? Text.mid(Prefix.size()) : Text);
            Status(-1, MasterFailures.last());
        };
        Fetcher->OnFetched = [this](TCustomSQPServerList* Sender) { MasterFetched(Sender); };
        Fetchers.push_back(std::move(Fetcher));
    }
    FetchersRunning = int(Fetchers.size());
    for (qsizetype I = 0; I < qsizetype(Fetchers.size()) && State == lsFetching; ++I)
        Fetchers[I]->Refresh();
}

void TCustomSQPServerList::MasterFetched(TCustomSQPServerList* Fetcher) {
    FetchersFailed += Fetcher->Aborted;
    Skipped += Fetcher->Skipped;
    if (!Fetcher->Aborted)
        for (const TServerRef& Server : std::as_const(Fetcher->Servers))
            AddListed(Server->Address, Server->QueryPort);
    Fetcher->Servers.clear();
    if (--FetchersRunning > 0 || State != lsFetching) return;
    // No master gave a list: the update ends as a failed fetch does.
    if (FetchersFailed >= int(Fetchers.size())) Aborted = true;
    TCustomServerList::QueryServers();
}

void TCustomSQPServerList::MasterData() {
    // Taken while connected: the list may end with the master closing the connection.
    if (MasterAddress.isNull()) MasterAddress = MasterClient->PeerHostAddress();
    ListData(MasterClient->ReceiveText());
}

void TCustomSQPServerList::ListData(const QByteArray& Text) {
    if (Aborted || State != lsFetching) return;
    RestartListTimer();
    // "\final\" may arrive split over two pieces: look back over the end of what we had.
    const qsizetype SearchFrom = qMax<qsizetype>(0, ListReply.size() - 6);
    bool Full = false;
    if (Text.contains("\\basic\\")) {
        SendValidation(Text);
    } else {
        const qsizetype Room = MaxListBytes - ListReply.size();
        Full = Text.size() > Room;
        ListReply += Text.left(Room);
    }
    Status(-1, QStringLiteral("Server List (%1)").arg(ListReply.size()));
    if (Full)
        EndFetch();
    else if (ListReply.indexOf("\\final\\", SearchFrom) >= 0)
        QueryServers();
}

void TCustomSQPServerList::SendValidation(const QByteArray& Text) {
    const QByteArray Challenge = GetValue(Text, "secure");
    const QByteArray Response = Challenge.isEmpty() ? QByteArray() : ComputeValidate(Challenge);
    MasterClient->SendText("\\gamename\\tarnwick\\gamever\\01\\location\\0\\validate\\" + Response +
                           "\\final\\\\queryid\\1.1");
    SendListRequest();
}

void TCustomSQPServerList::MasterClosed() {
    if (State == lsFetching) QueryServers();
}

void TCustomSQPServerList::EndFetch() {
    MasterClient->Close();
    if (!Fetchers.empty()) {
        // Aborted while the masters answer: they stop without a word.
        for (auto& Fetcher : Fetchers) {
            Fetcher->OnStatus = nullptr;
            Fetcher->OnFetched = nullptr;
            Fetcher->Abort();
        }
        FetchersRunning = 0;
        TCustomServerList::QueryServers();
        return;
    }
    TCustomServerList::EndFetch();
}

void TCustomSQPServerList::QueryServers() {
    static const QByteArray Marker = "\\ip\\";
    qsizetype Start = ListReply.indexOf(Marker);
    while (Start >= 0) {
        const qsizetype Next = ListReply.indexOf(Marker, Start + Marker.size());
        const qsizetype End = Next < 0 ? ListReply.size() : Next;
        const QByteArray Entry = GetValue(ListReply.mid(Start, End - Start), "ip");
        if (IsDottedIP(Entry)) {
            const QByteArray Host = HostOf(Entry);
            if (MayQueryListed(QHostAddress(QString::fromLatin1(Host)), MasterAddress))
                AddListed(Host, PortOf(Entry, "1025"));
            else
                ++Skipped;
        }
        Start = Next;
    }
    ListReply.clear();
    if (FetchOnly) {
        MasterClient->Close();
        StopListTimers();
        State = lsIdle;
        FireEvent(OnFetched, this);
        return;
    }
    TCustomServerList::QueryServers();
}

std::unique_ptr<TCustomSQPServerList> TSQPMorrowServerList::CreateFetcher() const {
    return std::make_unique<TSQPMorrowServerList>();
}

std::unique_ptr<TCustomSQPServerList> TSQPHLServerList::CreateFetcher() const {
    return std::make_unique<TSQPHLServerList>();
}

std::unique_ptr<TCustomSQPServerList> TSQPGenericList::CreateFetcher() const {
    auto Fetcher = std::make_unique<TSQPGenericList>();
    Fetcher->SetGameName(GameName);
    return Fetcher;
}

void TSQPMorrowServerList::SendListRequest() {
    MasterClient->SendText("\\list\\\\gamename\\morrow");
}

void TSQPHLServerList::SendListRequest() {
    MasterClient->SendText("\\list\\\\gamename\\halflife");
}

void TSQPGenericList::SendListRequest() {
    MasterClient->SendText("\\list\\\\gamename\\" + GameName);
}

namespace {
template <class T> constexpr TServerListClassInfo ListClassOf(const char* Name) {
    return {Name, []() -> std::unique_ptr<TCustomServerList> { return std::make_unique<T>(); }};
}
} // namespace

const TServerListClassInfo TSQPMorrowServerList::Class =
    ListClassOf<TSQPMorrowServerList>("TSQPMorrowServerList");
const TServerListClassInfo TSQPHLServerList::Class =
    ListClassOf<TSQPHLServerList>("TSQPHLServerList");
const TServerListClassInfo TSQPGenericList::Class = ListClassOf<TSQPGenericList>("TSQPGenericList");
