// A small HTTP origin server on loopback that records what it is asked and answers per path,
// well or badly: the pages a test sets (the query ignored), else /doc, /notfound, /big (100 MB,
// more than any cap), /truncated, /stall, /headers (header lines forever), /redirect (to /doc),
// /loop (to itself); anything else is 404.
#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

class TMiniHttpServer : public QObject {
public:
    struct TPage {
        int Status = 200;
        QByteArray Body;
        int DelayMs = 0;
        bool Hang = false;     // never answer
        bool CutShort = false; // promise more than is sent, then hang up
    };
    QHash<QByteArray, TPage> Pages; // by path, without the query
    QByteArray Document = "<html>the document</html>";
    QList<QByteArray> Requests; // each request as received, up to its empty line
    QList<QByteArray> Targets;  // each request's path with its query

    int Count(const QByteArray& Path) const {
        return int(std::count_if(Targets.begin(), Targets.end(),
                                 [&](const QByteArray& T) { return T.startsWith(Path); }));
    }

    bool Listen(quint16 Port = 0) {
        connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* S = Server.nextPendingConnection()) {
                S->setParent(this);
                connect(S, &QTcpSocket::readyRead, this, [this, S] { Read(S); });
                // A later socket may reuse this one's address: forget its buffer with it.
                connect(S, &QTcpSocket::disconnected, this, [this, S] {
                    Pending.remove(S);
                    S->deleteLater();
                });
            }
        });
        return Server.listen(QHostAddress::LocalHost, Port);
    }
    quint16 Port() const { return Server.serverPort(); }
    QByteArray Url(const char* Path) const {
        return "http://127.0.0.1:" + QByteArray::number(Port()) + Path;
    }

private:
    void Read(QTcpSocket* S) {
        QByteArray& Buffer = Pending[S];
        Buffer += S->readAll();
        const qsizetype End = Buffer.indexOf("\r\n\r\n");
        if (End < 0) return;
        const QByteArray Request = Buffer.left(End);
        Buffer.remove(0, End + 4);
        Requests << Request;
        const QList<QByteArray> Words = Request.split(' ');
        QByteArray Path = Words.value(1);
        if (Path.startsWith("http://")) Path = Path.mid(Path.indexOf('/', 7));
        Targets << Path;
        Answer(S, Path);
    }

    void Answer(QTcpSocket* S, const QByteArray& Path) {
        if (const auto Page = Pages.constFind(Path.split('?').first()); Page != Pages.cend()) {
            if (Page->Hang) return;
            const TPage P = *Page;
            const auto Send = [S, P] {
                S->write("HTTP/1.0 " + QByteArray::number(P.Status) +
                         " Whatever\r\nContent-Length: " +
                         QByteArray::number(P.Body.size() + (P.CutShort ? 100 : 0)) + "\r\n\r\n" +
                         P.Body);
                S->disconnectFromHost();
            };
            if (P.DelayMs)
                QTimer::singleShot(P.DelayMs, S, Send);
            else
                Send();
        } else if (Path == "/doc" || Path == "/banner") {
            S->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(Document.size()) +
                     "\r\n\r\n" + Document);
            S->disconnectFromHost();
        } else if (Path == "/notfound") {
            S->write("HTTP/1.0 404 Not Found\r\n\r\nmissing");
            S->disconnectFromHost();
        } else if (Path == "/redirect") {
            S->write("HTTP/1.0 302 Found\r\nLocation: /doc\r\n\r\n");
            S->disconnectFromHost();
        } else if (Path == "/loop") {
            S->write("HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n");
            S->disconnectFromHost();
        } else if (Path == "/truncated" || Path == "/stall") {
            S->write("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(100, 'x'));
            if (Path == "/truncated") S->disconnectFromHost();
        } else if (Path == "/big") {
            S->write("HTTP/1.0 200 OK\r\n\r\n");
            Stream(S, 100 * 1024 * 1024); // a banner address serving 100 MB
        } else if (Path == "/headers") {
            S->write("HTTP/1.0 200 OK\r\n");
            auto* Timer = new QTimer(S);
            connect(Timer, &QTimer::timeout, S, [S] { S->write("X-Padding: more\r\n"); });
            Timer->start(20);
        } else {
            S->write("HTTP/1.0 404 Not Found\r\nContent-Length: 7\r\n\r\nmissing");
            S->disconnectFromHost();
        }
    }

    void Stream(QTcpSocket* S, qint64 Left) {
        auto Remaining = std::make_shared<qint64>(Left);
        const auto More = [S, Remaining] {
            if (*Remaining <= 0 || S->bytesToWrite() > 256 * 1024) return;
            const qint64 Chunk = qMin<qint64>(*Remaining, 64 * 1024);
            S->write(QByteArray(Chunk, 'b'));
            *Remaining -= Chunk;
            if (*Remaining <= 0) S->disconnectFromHost();
        };
        connect(S, &QTcpSocket::bytesWritten, S, More);
        More();
    }

    QTcpServer Server;
    QHash<QTcpSocket*, QByteArray> Pending;
};
