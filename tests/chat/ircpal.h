// The other person in chat tests: a plain socket speaking IRC to the test's ngircd.
#pragma once

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
