// Winsock-style socket components on Qt's sockets: every notification arrives through the
// event loop as an event of the component, errors carry the Winsock numbers and texts.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHash>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>

class QHostAddress;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

enum TSocketState { ssNotReady = 0, ssClosed = 1, ssConnected = 2, ssListening = 3, ssOpen = 4 };

class TCustomWSockets;
using TSocketErrorEvent =
    std::function<void(TCustomWSockets* Sender, int ErrorCode, const QByteArray& ErrorText)>;
using TSocketEvent = std::function<void(TCustomWSockets* Sender, int Socket)>;

// Winsock error numbers the components report.
enum : int {
    WSAEINVAL = 10022,
    WSAEWOULDBLOCK = 10035,
    WSAEADDRINUSE = 10048,
    WSAENETDOWN = 10050,
    WSAECONNRESET = 10054,
    WSAENOTCONN = 10057,
    WSAECONNREFUSED = 10061,
    WSAHOST_NOT_FOUND = 11001,
};

QByteArray WinsockErrorText(int Code);
int WinsockErrorFromErrno(int Errno);
int WinsockErrorFromQt(QAbstractSocket::SocketError Error, const QString& ErrorString,
                       bool Datagram);

// Fires an event through a copy, so a handler may free the component that owns the event.
template <class Event, class... Args> void FireEvent(const Event& Handler, Args&&... A) {
    if (Handler) {
        Event Copy = Handler;
        Copy(std::forward<Args>(A)...);
    }
}

// Qt objects whose signal may be on the stack when their owner lets go of them.
struct TDeleteLater {
    void operator()(QObject* Object) const;
};
template <class T> using later_ptr = std::unique_ptr<T, TDeleteLater>;

class TCustomWSockets : public QObject {
    Q_OBJECT
public:
    TCustomWSockets(int Protocol, int SocketType, QObject* Parent);
    ~TCustomWSockets() override;

    int Protocol;
    int SocketType;
    int Socket = -1;
    TSocketState SocketState = ssClosed;
    int LastError = 0;
    TSocketErrorEvent OnError;

    // The machine's address as others see it: the first non-loopback IPv4 address of its
    // interfaces (a Linux host name often resolves to 127.0.1.1), else the host name's.
    static QByteArray LocalIP();

    // Decimal port or service name; false (after reporting WSAEINVAL) when it is neither.
    bool ResolvePort(const QByteArray& Port, quint16& Result);

protected:
    void ReportError(int Code);
    void ReportQtError(QAbstractSocket* Sock);
    // Dotted address and "255.255.255.255" at once, any other name by an asynchronous lookup;
    // Done runs with the first IPv4 address, or is dropped after reporting the failure.
    void ResolveHost(const QByteArray& Host, std::function<void(const QHostAddress&)> Done);
    void CancelLookup();
    // Binds ports 1024 down to 513 in turn; false when an error other than "in use" occurred.
    bool BindAuthorized(QAbstractSocket* Sock);

private slots:
    void HostFound(const QHostInfo& Info);

private:
    int LookupId = -1;
    std::function<void(const QHostAddress&)> LookupDone;
};

class TTCPClient : public TCustomWSockets {
    Q_OBJECT
public:
    explicit TTCPClient(QObject* Parent = nullptr);
    ~TTCPClient() override;

    QByteArray Host;
    QByteArray Port;
    bool Authorized = false;
    // Writes go straight to the socket (what does not fit is still kept): cheaper for many
    // small exchanges. Takes effect at Open.
    bool Unbuffered = false;
    TSocketEvent OnData;
    TSocketEvent OnConnect;
    TSocketEvent OnClose;

    virtual bool Open();
    virtual void Close();
    void SendText(const QByteArray& Text);
    int SendBuf(const char* Buffer, int Length);
    QByteArray ReceiveText();
    int ReceiveBuf(char* Buffer, int Size);
    // The local end of the connection (what the peer sees); empty when not connected.
    QByteArray LocalAddress() const;
    // The far end of the connection; null when not connected.
    QHostAddress PeerHostAddress() const;

protected:
    // A new socket whose signals drive this component's events.
    QTcpSocket* NewSocket();
    virtual void Connect(const QHostAddress& Address, quint16 PortNumber);
    // The socket reached its peer; a proxy may still have to be asked before Established.
    virtual void SocketConnected() { Established(); }
    virtual void SocketReadyRead() { FireEvent(OnData, this, Socket); }
    virtual void SocketDisconnected();
    void NoticePeerClose();
    // The connection is ready for its owner.
    void Established();
    later_ptr<QTcpSocket> Sock;
};

class TUDPClient : public TCustomWSockets {
    Q_OBJECT
public:
    explicit TUDPClient(QObject* Parent = nullptr);
    ~TUDPClient() override;

    QByteArray Host;
    QByteArray Port;
    bool Authorized = false;
    TSocketEvent OnData;

    bool Open();
    void Close();
    void SendText(const QByteArray& Text);
    int SendBuf(const char* Buffer, int Length);
    // Exactly one pending datagram (any bytes, possibly empty); empty when none is pending.
    QByteArray ReceiveText();
    // Nanoseconds from the first send since Open to the kernel's arrival time of the last
    // datagram read, so a busy event loop does not add to a ping; -1 when unknown.
    qint64 RoundTripNs() const;

private:
    void Connect(const QHostAddress& Address, quint16 PortNumber);
    void FlushPending();
    qint64 FirstSentNs = 0, LastArrivalNs = 0;
    later_ptr<QUdpSocket> Sock;
    bool Connected = false;
    // Datagrams sent while a host name is still being looked up.
    QList<QByteArray> Pending;
};

// Accepted client sockets, in the order they came.
class TClientList {
public:
    int Count() const { return int(Entries.size()); }
    int Items(int Index) const { return Entries.at(Index); }
    bool Add(int Socket);
    void Remove(int Socket);
    void Clear() { Entries.clear(); }

private:
    QList<int> Entries;
};

class TTCPServer : public TCustomWSockets {
    Q_OBJECT
public:
    explicit TTCPServer(QObject* Parent = nullptr);
    ~TTCPServer() override;

    QByteArray Port;
    // The local address to listen on; empty: every IPv4 interface.
    QByteArray BindAddress;
    TSocketEvent OnData;
    TSocketEvent OnAccept;
    TSocketEvent OnClose;
    TClientList Clients;

    bool Listen();
    void Close();
    // No further connections are taken; the accepted ones go on.
    void StopListening();
    void CloseClient(int Socket);
    int SendBuf(int Socket, const char* Buffer, int Length);
    int ReceiveBuf(int Socket, char* Buffer, int Size);
    // The port actually listened on (useful with Port "0").
    quint16 ListeningPort() const;

private:
    void Accept();
    later_ptr<QTcpServer> Server;
    QHash<int, QTcpSocket*> Connections;
};
