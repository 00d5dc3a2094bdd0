#include "net/socks.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>

TSocksTCPClient::TSocksTCPClient(QObject* Parent) : TTCPClient(Parent) {
    Deadline.setSingleShot(true);
    connect(&Deadline, &QTimer::timeout, this, [this] {
        // An attempt that already failed has said so; this is for one that never ends.
        if (SocketState == ssOpen && (!Sock || Sock->state() != QAbstractSocket::UnconnectedState))
            Fail(SocksServer.isEmpty() ? 10060 : SOCKS_NO_ANSWER);
    });
}

bool TSocksTCPClient::Open() {
    Close();
    Handshaking = false;
    if (SocksServer.isEmpty()) {
        if (!TTCPClient::Open()) return false;
    } else {
        quint16 DestinationPort = 0, ProxyPort = 0;
        if (!ResolvePort(Port, DestinationPort) ||
            !ResolvePort(SocksPort.isEmpty() ? QByteArray("1080") : SocksPort, ProxyPort))
            return false;
        SocketState = ssOpen;
        if (SocksLevel == "4") {
            // SOCKS 4 carries an IPv4 address: the name is resolved here first.
            ResolveHost(Host, [this, DestinationPort](const QHostAddress& A) {
                OpenSocks4(A, DestinationPort);
            });
        } else {
            QTcpSocket* S = NewSocket();
            S->setProxy(
                QNetworkProxy(QNetworkProxy::Socks5Proxy, QString::fromUtf8(SocksServer), ProxyPort,
                              SocksAuthentication ? QString::fromUtf8(SocksUsercode) : QString(),
                              SocksAuthentication ? QString::fromUtf8(SocksPassword) : QString()));
            S->connectToHost(QString::fromUtf8(Host), DestinationPort);
        }
    }
    if (SocketState == ssOpen) Deadline.start(ConnectTimeoutMs);
    return SocketState == ssOpen;
}

void TSocksTCPClient::OpenSocks4(const QHostAddress& Destination, quint16 DestinationPort) {
    const quint32 Ip = Destination.toIPv4Address();
    Socks4Request = QByteArray("\x04\x01", 2);
    Socks4Request += char(DestinationPort >> 8);
    Socks4Request += char(DestinationPort & 0xff);
    for (int Shift = 24; Shift >= 0; Shift -= 8)
        Socks4Request += char((Ip >> Shift) & 0xff);
    if (SocksAuthentication) Socks4Request += SocksUsercode;
    Socks4Request += '\0';
    QTcpSocket* S = NewSocket();
    S->connectToHost(QString::fromUtf8(SocksServer),
                     quint16(SocksPort.isEmpty() ? 1080 : SocksPort.toUInt()));
}

void TSocksTCPClient::SocketConnected() {
    if (Socks4Request.isEmpty()) {
        Deadline.stop();
        Established();
        return;
    }
    Handshaking = true;
    Sock->write(std::exchange(Socks4Request, {}));
}

void TSocksTCPClient::SocketReadyRead() {
    if (!Handshaking) {
        TTCPClient::SocketReadyRead();
        return;
    }
    if (Sock->bytesAvailable() < 8) return;
    const QByteArray Reply = Sock->read(8);
    if (Reply[0] != 0 || uchar(Reply[1]) < 90 || uchar(Reply[1]) > 93) {
        Fail(SOCKS_BAD_REPLY);
        return;
    }
    switch (uchar(Reply[1])) {
    case 90:
        break;
    case 91:
        Fail(SOCKS_REFUSED);
        return;
    default: // 92, 93: the proxy could not confirm who we are
        Fail(SOCKS_AUTH_FAILED);
        return;
    }
    Handshaking = false;
    Deadline.stop();
    Established();
    // What the server said right away came in with the proxy's answer.
    if (Sock && Sock->bytesAvailable() > 0) TTCPClient::SocketReadyRead();
}

void TSocksTCPClient::SocketDisconnected() {
    // Before the connection was made, a close is a failed attempt, not the end of a session.
    if (SocketState == ssOpen) {
        Fail(Handshaking ? SOCKS_CLOSED : 10061);
        return;
    }
    TTCPClient::SocketDisconnected();
}

void TSocksTCPClient::Fail(int Code) {
    Handshaking = false;
    Close();
    ReportError(Code);
}

void TSocksTCPClient::Close() {
    Deadline.stop();
    Socks4Request.clear();
    TTCPClient::Close();
}
