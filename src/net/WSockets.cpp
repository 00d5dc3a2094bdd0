#include "net/WSockets.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <cerrno>
#include <ctime>
#include <linux/sockios.h>
#include <netdb.h>
#include <sys/ioctl.h>

namespace {

struct TErrorText {
    int Code;
    const char* Text;
};

constexpr TErrorText ErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references:can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name is too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory is not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {11001, "Host not found"},
    {11002, "Non authoritative - host not found"},
    {11003, "Non recoverable error"},
    {11004, "Valid name, no data record of requested type"},
    // The proxy conversation of the chat connection (not Winsock's own).
    {20001, "SOCKS proxy refused the connection"},
    {20002, "SOCKS authentication failed"},
    {20003, "SOCKS proxy sent an invalid reply"},
    {20004, "SOCKS proxy closed the connection"},
    {20005, "SOCKS proxy did not answer"},
    {20006, "SOCKS proxy not found"},
};

struct TErrnoCode {
    int Errno;
    int Code;
};

constexpr TErrnoCode ErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {EPIPE, 10054},           {ENOBUFS, 10055},
    {ENOMEM, 10055},       {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
    {EUSERS, 10068},       {EDQUOT, 10069},          {ESTALE, 10070},
    {EREMOTE, 10071},
};

// Stops every notification of a Qt socket before it is let go.
void Silence(QObject* Object) {
    if (Object) QObject::disconnect(Object, nullptr, nullptr, nullptr);
}

} // namespace

QByteArray WinsockErrorText(int Code) {
    for (const auto& Entry : ErrorTexts)
        if (Entry.Code == Code) return Entry.Text;
    return "Not a Winsock error";
}

int WinsockErrorFromErrno(int Errno) {
    for (const auto& Entry : ErrnoCodes)
        if (Entry.Errno == Errno) return Entry.Code;
    return 0;
}

int WinsockErrorFromQt(QAbstractSocket::SocketError Error, const QString& ErrorString,
                       bool Datagram) {
    switch (Error) {
    case QAbstractSocket::ConnectionRefusedError:
        // An ICMP "port unreachable" on a datagram socket is a reset to Winsock.
        return Datagram ? 10054 : 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10024;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        if (ErrorString.contains(QLatin1String("Network unreachable"), Qt::CaseInsensitive))
            return 10051;
        if (ErrorString.contains(QLatin1String("Host unreachable"), Qt::CaseInsensitive))
            return 10065;
        if (ErrorString.contains(QLatin1String("timed out"), Qt::CaseInsensitive)) return 10060;
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036;
    case QAbstractSocket::TemporaryError:
        return 10035;
    case QAbstractSocket::OperationError:
        return 10022;
    case QAbstractSocket::ProxyConnectionRefusedError:
        return 20001;
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return 20002;
    case QAbstractSocket::ProxyProtocolError:
        return 20003;
    case QAbstractSocket::ProxyConnectionClosedError:
        return 20004;
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return 20005;
    case QAbstractSocket::ProxyNotFoundError:
        return 20006;
    default:
        return 0;
    }
}

void TDeleteLater::operator()(QObject* Object) const {
    if (!Object) return;
    Silence(Object);
    Object->setParent(nullptr);
    Object->deleteLater();
}

// ---------------------------------------------------------------------------------------------

TCustomWSockets::TCustomWSockets(int Protocol, int SocketType, QObject* Parent)
    : QObject(Parent), Protocol(Protocol), SocketType(SocketType) {}

TCustomWSockets::~TCustomWSockets() {
    CancelLookup();
}

QByteArray TCustomWSockets::LocalIP() {
    const auto Addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& A : Addresses)
        if (A.protocol() == QAbstractSocket::IPv4Protocol && !A.isLoopback())
            return A.toString().toLatin1();
    const QHostInfo Info = QHostInfo::fromName(QHostInfo::localHostName());
    for (const QHostAddress& A : Info.addresses())
        if (A.protocol() == QAbstractSocket::IPv4Protocol) return A.toString().toLatin1();
    return {};
}

void TCustomWSockets::ReportError(int Code) {
    LastError = Code;
    FireEvent(OnError, this, Code, WinsockErrorText(Code));
}

void TCustomWSockets::ReportQtError(QAbstractSocket* Sock) {
    ReportError(WinsockErrorFromQt(Sock->error(), Sock->errorString(),
                                   Sock->socketType() == QAbstractSocket::UdpSocket));
}

bool TCustomWSockets::ResolvePort(const QByteArray& Port, quint16& Result) {
    bool Ok = false;
    const uint Value = Port.toUInt(&Ok);
    if (Ok && Value <= 65535) {
        Result = quint16(Value);
        return true;
    }
    // Service names are never numbers, so only a non-number needs the (slow) services file.
    const char* Proto = Protocol == 17 ? "udp" : "tcp";
    if (!Ok && !Port.isEmpty())
        if (const servent* Service = getservbyname(Port.constData(), Proto)) {
            Result = ntohs(quint16(Service->s_port));
            return true;
        }
    ReportError(WSAEINVAL);
    return false;
}

void TCustomWSockets::ResolveHost(const QByteArray& Host,
                                  std::function<void(const QHostAddress&)> Done) {
    CancelLookup();
    if (Host == "255.255.255.255") {
        Done(QHostAddress(QHostAddress::Broadcast));
        return;
    }
    QHostAddress Address;
    if (Address.setAddress(QString::fromLatin1(Host)) &&
        Address.protocol() == QAbstractSocket::IPv4Protocol) {
        Done(Address);
        return;
    }
    // The slot form: Qt 6.4 never frees a functor whose lookup is aborted or whose receiver
    // is gone first.
    LookupDone = std::move(Done);
    LookupId = QHostInfo::lookupHost(QString::fromLatin1(Host), this, SLOT(HostFound(QHostInfo)));
}

void TCustomWSockets::HostFound(const QHostInfo& Info) {
    if (Info.lookupId() != LookupId) return;
    LookupId = -1;
    const auto Done = std::move(LookupDone);
    LookupDone = nullptr;
    for (const QHostAddress& A : Info.addresses())
        if (A.protocol() == QAbstractSocket::IPv4Protocol) {
            Done(A);
            return;
        }
    SocketState = ssClosed;
    ReportError(WSAHOST_NOT_FOUND);
}

void TCustomWSockets::CancelLookup() {
    if (LookupId != -1) QHostInfo::abortHostLookup(LookupId);
    LookupId = -1;
    LookupDone = nullptr;
}

bool TCustomWSockets::BindAuthorized(QAbstractSocket* Sock) {
    for (quint16 LocalPort = 1024; LocalPort >= 513; --LocalPort) {
        if (Sock->bind(QHostAddress(QHostAddress::AnyIPv4), LocalPort)) return true;
        if (Sock->error() != QAbstractSocket::AddressInUseError) {
            ReportQtError(Sock);
            return false;
        }
    }
    return true; // every port taken: go ahead unbound
}

// ---------------------------------------------------------------------------------------------

TTCPClient::TTCPClient(QObject* Parent) : TCustomWSockets(6, 1, Parent) {}

TTCPClient::~TTCPClient() {
    Close();
}

bool TTCPClient::Open() {
    Close();
    quint16 PortNumber = 0;
    if (!ResolvePort(Port, PortNumber)) return false;
    SocketState = ssOpen;
    ResolveHost(Host, [this, PortNumber](const QHostAddress& A) { Connect(A, PortNumber); });
    return SocketState == ssOpen;
}

QTcpSocket* TTCPClient::NewSocket() {
    Sock.reset(new QTcpSocket);
    QTcpSocket* S = Sock.get();
    S->setProxy(QNetworkProxy::NoProxy);
    connect(S, &QTcpSocket::connected, this, [this] { SocketConnected(); });
    connect(S, &QTcpSocket::readyRead, this, [this] { SocketReadyRead(); });
    connect(S, &QTcpSocket::disconnected, this, [this] { SocketDisconnected(); });
    connect(S, &QTcpSocket::errorOccurred, this, [this, S](QAbstractSocket::SocketError E) {
        // A peer's close (graceful or reset) arrives as the close event, not as an error.
        if (E == QAbstractSocket::RemoteHostClosedError) return;
        ReportQtError(S);
    });
    return S;
}

void TTCPClient::Connect(const QHostAddress& Address, quint16 PortNumber) {
    QTcpSocket* S = NewSocket();
    if (Authorized && !BindAuthorized(S)) {
        Close();
        return;
    }
    S->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    S->connectToHost(Address, PortNumber,
                     Unbuffered ? QIODevice::ReadWrite | QIODevice::Unbuffered
                                : QIODevice::ReadWrite);
}

void TTCPClient::Established() {
    // Qt hands out a connecting socket's descriptor only once it is connected.
    Socket = int(Sock->socketDescriptor());
    SocketState = ssConnected;
    FireEvent(OnConnect, this, Socket);
}

void TTCPClient::SocketDisconnected() {
    const int Handle = Socket;
    Close();
    FireEvent(OnClose, this, Handle);
}

void TTCPClient::Close() {
    CancelLookup();
    if (Sock) {
        Silence(Sock.get());
        Sock->flush();
        Sock->abort();
        Sock.reset();
    }
    Socket = -1;
    SocketState = ssClosed;
}

void TTCPClient::SendText(const QByteArray& Text) {
    if (SendBuf(Text.constData(), int(Text.size())) < 0) return;
}

int TTCPClient::SendBuf(const char* Buffer, int Length) {
    if (!Sock || Sock->state() == QAbstractSocket::UnconnectedState) {
        ReportError(WSAENOTCONN);
        return -1;
    }
    const qint64 Sent = Sock->write(Buffer, Length);
    if (Sent < 0) {
        ReportQtError(Sock.get());
        return -1;
    }
    Sock->flush();
    return int(Sent);
}

QByteArray TTCPClient::ReceiveText() {
    if (!Sock) return {};
    const QByteArray Text = Sock->readAll();
    NoticePeerClose();
    return Text;
}

int TTCPClient::ReceiveBuf(char* Buffer, int Size) {
    if (!Sock) {
        ReportError(WSAENOTCONN);
        return -1;
    }
    const int Read = int(Sock->read(Buffer, Size));
    NoticePeerClose();
    return Read;
}

void TTCPClient::NoticePeerClose() {
    // An unbuffered Qt socket meets the peer's close inside a read and drops to unconnected
    // without its disconnected signal: the close event comes after the data event instead.
    if (!Unbuffered || SocketState != ssConnected ||
        Sock->state() != QAbstractSocket::UnconnectedState)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, S = Sock.get()] {
            if (Sock.get() == S && SocketState == ssConnected) SocketDisconnected();
        },
        Qt::QueuedConnection);
}

QByteArray TTCPClient::LocalAddress() const {
    if (!Sock || Sock->state() != QAbstractSocket::ConnectedState) return {};
    return Sock->localAddress().toString().toLatin1();
}

QHostAddress TTCPClient::PeerHostAddress() const {
    if (!Sock || Sock->state() != QAbstractSocket::ConnectedState) return {};
    return Sock->peerAddress();
}

// ---------------------------------------------------------------------------------------------

TUDPClient::TUDPClient(QObject* Parent) : TCustomWSockets(17, 2, Parent) {}

TUDPClient::~TUDPClient() {
    Close();
}

bool TUDPClient::Open() {
    Close();
    quint16 PortNumber = 0;
    if (!ResolvePort(Port, PortNumber)) return false;
    SocketState = ssOpen;
    ResolveHost(Host, [this, PortNumber](const QHostAddress& A) { Connect(A, PortNumber); });
    return SocketState == ssOpen;
}

void TUDPClient::Connect(const QHostAddress& Address, quint16 PortNumber) {
    Sock.reset(new QUdpSocket);
    QUdpSocket* S = Sock.get();
    // Direct sockets: proxies are applied explicitly where wanted, and asking the system
    // for its proxy on every query costs more than the query.
    S->setProxy(QNetworkProxy::NoProxy);
    if (Authorized && !BindAuthorized(S)) {
        Close();
        return;
    }
    connect(S, &QUdpSocket::readyRead, this, [this] { FireEvent(OnData, this, Socket); });
    connect(S, &QUdpSocket::errorOccurred, this, [this, S] { ReportQtError(S); });
    // Connected, so plain sends go to the server and only its datagrams arrive.
    S->connectToHost(Address, PortNumber);
    Socket = int(S->socketDescriptor());
    // The first ask turns on arrival stamps for this socket; it has none to give yet.
    timespec Unused{};
    if (Socket >= 0) ioctl(Socket, SIOCGSTAMPNS, &Unused);
    Connected = S->state() == QAbstractSocket::ConnectedState;
    if (Connected) FlushPending();
}

void TUDPClient::FlushPending() {
    const QList<QByteArray> Queue = std::exchange(Pending, {});
    for (const QByteArray& Datagram : Queue)
        SendText(Datagram);
}

void TUDPClient::Close() {
    CancelLookup();
    Sock.reset();
    Pending.clear();
    Connected = false;
    Socket = -1;
    SocketState = ssClosed;
    FirstSentNs = LastArrivalNs = 0;
}

static qint64 Nanoseconds(const timespec& Time) {
    return qint64(Time.tv_sec) * 1000000000 + Time.tv_nsec;
}

static qint64 WallClockNs() {
    timespec Now{};
    clock_gettime(CLOCK_REALTIME, &Now); // the clock of the kernel's arrival stamps
    return Nanoseconds(Now);
}

qint64 TUDPClient::RoundTripNs() const {
    if (!FirstSentNs || !LastArrivalNs || LastArrivalNs < FirstSentNs) return -1;
    return LastArrivalNs - FirstSentNs;
}

void TUDPClient::SendText(const QByteArray& Text) {
    SendBuf(Text.constData(), int(Text.size()));
}

int TUDPClient::SendBuf(const char* Buffer, int Length) {
    if (SocketState != ssOpen) {
        ReportError(WSAENOTCONN);
        return -1;
    }
    if (!Connected) {
        Pending.append(QByteArray(Buffer, Length));
        return Length;
    }
    // Before the send: on loopback the peer may have it before the call returns.
    const qint64 SendingNs = WallClockNs();
    const qint64 Sent = Sock->write(Buffer, Length);
    if (Sent < 0) {
        ReportQtError(Sock.get());
        return -1;
    }
    if (!FirstSentNs) FirstSentNs = SendingNs;
    return int(Sent);
}

QByteArray TUDPClient::ReceiveText() {
    if (!Sock || !Sock->hasPendingDatagrams()) return {};
    QByteArray Datagram(qMax<qint64>(0, Sock->pendingDatagramSize()), Qt::Uninitialized);
    const qint64 Got = Sock->readDatagram(Datagram.data(), Datagram.size());
    if (Got < 0) {
        if (Sock) ReportQtError(Sock.get());
        return {};
    }
    Datagram.truncate(Got);
    timespec Stamp{};
    LastArrivalNs = ioctl(Socket, SIOCGSTAMPNS, &Stamp) == 0 ? Nanoseconds(Stamp) : WallClockNs();
    return Datagram;
}

// ---------------------------------------------------------------------------------------------

bool TClientList::Add(int Socket) {
    Entries.append(Socket);
    return true;
}

void TClientList::Remove(int Socket) {
    const qsizetype Index = Entries.indexOf(Socket);
    if (Index >= 0) Entries.removeAt(Index);
}

TTCPServer::TTCPServer(QObject* Parent) : TCustomWSockets(6, 1, Parent) {}

TTCPServer::~TTCPServer() {
    Close();
}

bool TTCPServer::Listen() {
    Close();
    quint16 PortNumber = 0;
    if (!ResolvePort(Port, PortNumber)) return false;
    Server.reset(new QTcpServer);
    Server->setProxy(QNetworkProxy::NoProxy);
    connect(Server.get(), &QTcpServer::newConnection, this, [this] { Accept(); });
    const QHostAddress Bind = BindAddress.isEmpty()
                                  ? QHostAddress(QHostAddress::AnyIPv4)
                                  : QHostAddress(QString::fromLatin1(BindAddress));
    if (!Server->listen(Bind, PortNumber)) {
        ReportError(WinsockErrorFromQt(Server->serverError(), Server->errorString(), false));
        Server.reset();
        return false;
    }
    Socket = int(Server->socketDescriptor());
    SocketState = ssListening;
    return true;
}

void TTCPServer::Accept() {
    while (Server && Server->hasPendingConnections()) {
        QTcpSocket* Client = Server->nextPendingConnection();
        const int Handle = int(Client->socketDescriptor());
        Client->setParent(this);
        if (!Clients.Add(Handle)) {
            Client->disconnectFromHost();
            Client->deleteLater();
            continue;
        }
        Connections.insert(Handle, Client);
        // Small request/answer exchanges (DCC blocks and acknowledgements) must not wait.
        Client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(Client, &QTcpSocket::readyRead, this,
                [this, Handle] { FireEvent(OnData, this, Handle); });
        connect(Client, &QTcpSocket::disconnected, this, [this, Handle] {
            FireEvent(OnClose, this, Handle);
            CloseClient(Handle);
        });
        connect(Client, &QTcpSocket::errorOccurred, this,
                [this, Client](QAbstractSocket::SocketError E) {
                    if (E != QAbstractSocket::RemoteHostClosedError) ReportQtError(Client);
                });
        FireEvent(OnAccept, this, Handle);
    }
}

void TTCPServer::CloseClient(int Socket) {
    Clients.Remove(Socket);
    QTcpSocket* Client = Connections.take(Socket);
    if (!Client) return;
    Silence(Client);
    Client->flush();
    Client->abort();
    TDeleteLater()(Client);
}

int TTCPServer::SendBuf(int Socket, const char* Buffer, int Length) {
    QTcpSocket* Client = Connections.value(Socket);
    if (!Client) {
        ReportError(WSAENOTCONN);
        return -1;
    }
    const qint64 Sent = Client->write(Buffer, Length);
    if (Sent < 0) {
        ReportQtError(Client);
        return -1;
    }
    Client->flush();
    return int(Sent);
}

int TTCPServer::ReceiveBuf(int Socket, char* Buffer, int Size) {
    QTcpSocket* Client = Connections.value(Socket);
    if (!Client) {
        ReportError(WSAENOTCONN);
        return -1;
    }
    return int(Client->read(Buffer, Size));
}

quint16 TTCPServer::ListeningPort() const {
    return Server ? Server->serverPort() : 0;
}

void TTCPServer::StopListening() {
    // Closed now: deleting the server object waits for the event loop.
    if (Server) Server->close();
    Server.reset();
    if (SocketState == ssListening) SocketState = ssConnected;
}

void TTCPServer::Close() {
    const QList<int> Handles = Connections.keys();
    for (int Handle : Handles)
        CloseClient(Handle);
    Clients.Clear();
    if (Server) Server->close();
    Server.reset();
    Socket = -1;
    SocketState = ssClosed;
}
