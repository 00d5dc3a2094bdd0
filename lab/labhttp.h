// A minimal HTTP/1.x origin server on loopback for the lab's web stand-ins: one request per
// connection, answered whole and closed, so any client (curl, a browser, a proxy) copes.
#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>

class QTcpServer;

struct TLabHttpReply {
    int Status = 200;
    QByteArray Type{"text/plain"};
    QByteArray Body;
};

class TLabHttpServer : public QObject {
    Q_OBJECT
public:
    explicit TLabHttpServer(QObject* Parent = nullptr);

    bool Listen(quint16 Port = 0); // 0: a free port
    quint16 Port() const;
    void Close();

    // Called for every GET or HEAD with the request target in origin form ("/path?query").
    std::function<TLabHttpReply(const QByteArray& Target)> OnRequest;

private:
    class TSession;
    void Accept();

    QTcpServer* FServer;
};

// The bytes of an answer: status line, length, type, "Connection: close", then the body
// (left out for HEAD).
QByteArray LabHttpResponse(const TLabHttpReply& Reply, bool WithBody = true);
