#include "labhttp.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr qsizetype MaxHeadBytes = 16 * 1024;
constexpr int IdleMs = 10000;

QByteArray Reason(int Status) {
    switch (Status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

} // namespace

QByteArray LabHttpResponse(const TLabHttpReply& Reply, bool WithBody) {
    QByteArray Head = "HTTP/1.1 " + QByteArray::number(Reply.Status) + ' ' + Reason(Reply.Status) +
                      "\r\nContent-Type: " + Reply.Type +
                      "\r\nContent-Length: " + QByteArray::number(Reply.Body.size()) +
                      "\r\nCache-Control: no-store\r\nConnection: close\r\n";
    if (Reply.Status == 405) Head += "Allow: GET, HEAD\r\n";
    return Head + "\r\n" + (WithBody ? Reply.Body : QByteArray());
}

// One connection: reads the request head, answers once and closes. A client that says
// nothing, or sends an endless head, is cut off rather than held forever.
class TLabHttpServer::TSession : public QObject {
public:
    TSession(TLabHttpServer* Server, QTcpSocket* Socket)
        : QObject(Server), FServer(Server), FSocket(Socket) {
        Socket->setParent(this);
        connect(Socket, &QTcpSocket::readyRead, this, &TSession::Read);
        connect(Socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        FIdle.setSingleShot(true);
        connect(&FIdle, &QTimer::timeout, this, [this] { FSocket->abort(), deleteLater(); });
        connect(Socket, &QTcpSocket::bytesWritten, this, [this] { FIdle.start(IdleMs); });
        FIdle.start(IdleMs);
    }

private:
    void Read() {
        if (FAnswered) {
            FSocket->readAll();
            return;
        }
        FHead += FSocket->readAll();
        qsizetype End = FHead.indexOf("\r\n\r\n");
        if (End < 0) End = FHead.indexOf("\n\n"); // lenient with hand-typed requests
        if (End < 0) {
            if (FHead.size() > MaxHeadBytes) Answer(false, {431, "text/plain", "head too long\n"});
            return;
        }
        if (End > MaxHeadBytes) return Answer(false, {431, "text/plain", "head too long\n"});
        const QByteArray Line = FHead.left(FHead.indexOf('\n')).trimmed();
        const QList<QByteArray> Words = Line.split(' ');
        if (Words.size() != 3 || !Words[2].startsWith("HTTP/1.") || Words[1].isEmpty())
            return Answer(false, {400, "text/plain", "bad request line\n"});
        const QByteArray& Method = Words[0];
        const bool Head = Method == "HEAD";
        if (Method != "GET" && !Head)
            return Answer(false, {405, "text/plain", "only GET and HEAD\n"});
        QByteArray Target = Words[1];
        // Through a proxy the target comes in absolute form.
        if (Target.startsWith("http://") || Target.startsWith("https://")) {
            const qsizetype Path = Target.indexOf('/', Target.indexOf("//") + 2);
            Target = Path < 0 ? QByteArray("/") : Target.mid(Path);
        }
        if (!Target.startsWith('/')) return Answer(false, {400, "text/plain", "bad target\n"});
        TLabHttpReply Reply{404, "text/plain", "not found\n"};
        if (FServer->OnRequest) Reply = FServer->OnRequest(Target);
        Answer(!Head, Reply);
    }

    void Answer(bool WithBody, const TLabHttpReply& Reply) {
        FAnswered = true;
        FHead.clear();
        FSocket->write(LabHttpResponse(Reply, WithBody));
        FSocket->disconnectFromHost();
    }

    TLabHttpServer* FServer;
    QTcpSocket* FSocket;
    QByteArray FHead;
    QTimer FIdle;
    bool FAnswered = false;
};

TLabHttpServer::TLabHttpServer(QObject* Parent) : QObject(Parent), FServer(new QTcpServer(this)) {
    FServer->setProxy(QNetworkProxy::NoProxy);
    connect(FServer, &QTcpServer::newConnection, this, &TLabHttpServer::Accept);
}

bool TLabHttpServer::Listen(quint16 Port) {
    FServer->close();
    return FServer->listen(QHostAddress::LocalHost, Port);
}

quint16 TLabHttpServer::Port() const {
    return FServer->serverPort();
}

void TLabHttpServer::Close() {
    FServer->close();
}

void TLabHttpServer::Accept() {
    while (QTcpSocket* Socket = FServer->nextPendingConnection())
        new TSession(this, Socket);
}
