#include "masterlist/customserverlist.h"

#include "masterlist/validation.h"
#include "net/WSockets.h"
#include "net/netutils.h"

#include <QTimer>

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
      FetchTimer(std::make_unique<QTimer>()) {
    ListTimer->setSingleShot(true);
    FetchTimer->setSingleShot(true);
    connect(ListTimer.get(), &QTimer::timeout, this, &TCustomServerList::ListTimedOut);
    connect(FetchTimer.get(), &QTimer::timeout, this, &TCustomServerList::ListTimedOut);
}

TCustomServerList::~TCustomServerList() {
    // Queries still running would call back into a list that is gone.
    for (const TServerRef& Server : std::as_const(Servers))
        Server->CancelQuery();
}

void TCustomServerList::SetMaxOutstanding(int Count) {
    MaxOutstanding = qBound(MinOutstanding, Count, MaxOutstandingLimit);
}

void TCustomServerList::Status(int Percent, const QString& Text) {
    FireEvent(OnStatus, this, Percent, Text);
}

void TCustomServerList::Refresh() {
    if (State != lsIdle) return;
    Servers.clear();
    Skipped = 0;
    FetchList();
}

void TCustomServerList::RefreshServers(const QList<TServerRef>& Records) {
    if (State != lsIdle) return;
    Aborted = false;
    Skipped = 0;
    Servers = Records;
    NextIndex = 0;
    State = lsQuerying;
    Pump();
}

void TCustomServerList::FetchList() {
    Aborted = false;
    State = lsFetching;
    RestartListTimer();
    FetchTimer->start(FetchLimit);
    Status(-1, QStringLiteral("Server List"));
}

void TCustomServerList::RestartListTimer() {
    ListTimer->start(ListTimeout);
}

void TCustomServerList::QueryServers() {
    ListTimer->stop();
    FetchTimer->stop();
    State = lsQuerying;
    NextIndex = 0;
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
        const TServerRef Server = Servers[NextIndex++];
        // A record listed twice is already on its way: one report is enough.
        if (Server->Busy) continue;
        Status(int((NextIndex - 1 - Outstanding) * 100 / qMax<qsizetype>(1, Servers.size())),
               QStringLiteral("Updating Servers"));
        ++Outstanding;
        // The callback holds the record until it has been reported.
        Server->StartQuery([this, Server](TCustomServer*) { ServerDone(Server); });
    }
}

void TCustomServerList::ServerDone(const TServerRef& Server) {
    if (!Aborted) FireEvent(OnServerDone, this, Server);
    --Outstanding;
    Pump();
}

void TCustomServerList::UpdatesComplete() {
    ListTimer->stop();
    FetchTimer->stop();
    State = lsIdle;
    // Said once, at the end, where it stays in view.
    Status(0, Skipped ? QStringLiteral("Updates Complete (skipped %1 server addresses that are "
                                       "not public)")
                            .arg(Skipped)
                      : QStringLiteral("Updates Complete"));
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
    : TCustomServerList(Parent), MasterClient(std::make_unique<TTCPClient>()) {
    MaxOutstanding = 10;
}

TCustomSQPServerList::~TCustomSQPServerList() {
    MasterClient->Close();
}

void TCustomSQPServerList::FetchList() {
    TCustomServerList::FetchList();
    ListReply.clear();
    MasterAddress.clear();
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
                Servers.append(CreateServer(Host, PortOf(Entry, "1025")));
            else
                ++Skipped;
        }
        Start = Next;
    }
    ListReply.clear();
    TCustomServerList::QueryServers();
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
