// The other person in chat tests: a plain socket speaking IRC to the test's ngircd. And a
// scripted server for what ngircd will not do (thousands of members, refusing every nick).
#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

struct TPal {
    QTcpSocket Socket;
    QList<QByteArray> Lines;
    QByteArray Pending;
    bool Open(quint16 Port, const QByteArray& Nick) {
        QObject::connect(&Socket, &QTcpSocket::readyRead, [this] {
            Pending += Socket.readAll();
            qsizetype End;
            while ((End = Pending.indexOf("\r\n")) >= 0) {
                const QByteArray Line = Pending.left(End);
                Pending.remove(0, End + 2);
                if (Line.startsWith("PING ")) Send("PONG " + Line.mid(5));
                Lines << Line;
            }
        });
        Socket.connectToHost(QHostAddress::LocalHost, Port);
        if (!Socket.waitForConnected(3000)) return false;
        Send("NICK " + Nick);
        Send("USER " + Nick + " 0 * :" + Nick);
        return Wait(" 001 ");
    }
    void Send(const QByteArray& Line) {
        Socket.write(Line + "\r\n");
        Socket.flush();
    }
    bool Wait(const QByteArray& Part, int Ms = 5000) {
        return QTest::qWaitFor([&] { return Got(Part); }, Ms);
    }
    bool Got(const QByteArray& Part) const {
        return std::any_of(Lines.begin(), Lines.end(),
                           [&](const QByteArray& L) { return L.contains(Part); });
    }
};

// One client: welcomed after USER (or every NICK refused), its JOINs echoed; the test sends the
// rest. Received keeps the client's lines.
struct TScriptServer {
    QTcpServer Listener;
    QPointer<QTcpSocket> Client;
    QList<QByteArray> Received;
    QByteArray Pending, Nick;
    bool RefuseNicks = false;
    bool Listen() {
        QObject::connect(&Listener, &QTcpServer::newConnection, [this] {
            Client = Listener.nextPendingConnection();
            QObject::connect(Client, &QTcpSocket::readyRead, [this] { Read(); });
        });
        return Listener.listen(QHostAddress::LocalHost);
    }
    void Send(const QByteArray& Text) {
        if (Client) Client->write(Text);
    }
    void Read() {
        Pending += Client->readAll();
        for (qsizetype End; (End = Pending.indexOf("\r\n")) >= 0; Pending.remove(0, End + 2)) {
            const QByteArray Line = Pending.left(End);
            Received << Line;
            if (Line.startsWith("NICK ")) Nick = Line.mid(5);
            if (Line.startsWith("NICK ") && RefuseNicks)
                Send(":lab 433 * " + Nick + " :Nickname is already in use\r\n");
            else if (Line.startsWith("USER ") && !RefuseNicks)
                Send(":lab 001 " + Nick + " :Welcome\r\n");
            else if (Line.startsWith("JOIN "))
                Send(":" + Nick + "!u@lab JOIN :" + Line.mid(5).split(' ').first() + "\r\n");
        }
    }
};
