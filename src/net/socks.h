// The stream socket of the chat connection: a TCP client that can go through a SOCKS 4 or
// SOCKS 5 proxy. With no SOCKS server set it connects directly.
#pragma once

#include "net/WSockets.h"
#include "net/proxysettings.h"

#include <QTimer>

// Errors of the proxy conversation, reported through OnError like socket errors.
enum : int {
    SOCKS_REFUSED = 20001,
    SOCKS_AUTH_FAILED = 20002,
    SOCKS_BAD_REPLY = 20003,
    SOCKS_CLOSED = 20004,
    SOCKS_NO_ANSWER = 20005,
    SOCKS_NOT_FOUND = 20006,
};

class TSocksTCPClient : public TTCPClient, public TSocksSettings {
    Q_OBJECT
public:
    explicit TSocksTCPClient(QObject* Parent = nullptr);

    // A connection not established within this time (proxy included) is given up.
    int ConnectTimeoutMs = 30000;

    bool Open() override;
    void Close() override;

protected:
    void SocketConnected() override;
    void SocketReadyRead() override;
    void SocketDisconnected() override;

private:
    void Fail(int Code);
    void OpenSocks4(const QHostAddress& Destination, quint16 DestinationPort);
    bool Handshaking = false;
    QByteArray Socks4Request;
    QTimer Deadline;
};
