#include "net/WSockets.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <cerrno>
#include <unistd.h>

namespace {
struct TErrorLog {
    QList<int> Codes;
    QList<QByteArray> Texts;
    void Attach(TCustomWSockets& S) {
        S.OnError = [this](TCustomWSockets*, int Code, const QByteArray& Text) {
            Codes << Code;
            Texts << Text;
        };
    }
};

// A TCP port nobody listens on.
quint16 ClosedTcpPort() {
    QTcpServer S;
    S.listen(QHostAddress::LocalHost);
    return S.serverPort();
}
} // namespace

class TestWSockets : public QObject {
    Q_OBJECT
private slots:
    void errorTexts_data();
    void errorTexts();
    void tcpClientExchange();
    void tcpClientFailures_data();
    void tcpClientFailures();
    void tcpClientByHostName();
    void portNames_data();
    void portNames();
    void authorizedBinding();
    void udpDatagrams();
    void udpBroadcastWithoutLookup();
    void udpPortUnreachable();
    void closeTwiceIsQuiet();
    void tcpServer();
    void localIP();
};

void TestWSockets::errorTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("refused") << 10061 << QByteArray("Connection refused");
    QTest::newRow("host") << 11001 << QByteArray("Host not found");
    QTest::newRow("splice") << 10059 << QByteArray("Too many references:can't splice");
    QTest::newRow("no data") << 11004 << QByteArray("Valid name, no data record of requested type");
    QTest::newRow("unknown") << 12345 << QByteArray("Not a Winsock error");
    QTest::newRow("zero") << 0 << QByteArray("Not a Winsock error");
}

void TestWSockets::errorTexts() {
    QFETCH(int, code);
    QFETCH(QByteArray, text);
    QCOMPARE(WinsockErrorText(code), text);
}

void TestWSockets::tcpClientExchange() {
    QTcpServer Peer;
    QVERIFY(Peer.listen(QHostAddress::LocalHost));
    QTcpSocket* Remote = nullptr;
    connect(&Peer, &QTcpServer::newConnection, [&] { Remote = Peer.nextPendingConnection(); });

    TTCPClient Client;
    Client.Host = "127.0.0.1";
    Client.Port = QByteArray::number(Peer.serverPort());
    QStringList Events;
    QByteArray Received;
    Client.OnConnect = [&](TCustomWSockets* S, int Handle) {
        QCOMPARE(S, &Client);
        QVERIFY(Handle >= 0);
        Events << "connect";
    };
    Client.OnData = [&](TCustomWSockets*, int) { Received += Client.ReceiveText(); };
    Client.OnClose = [&](TCustomWSockets*, int) {
        Events << "close";
        // The component is closed before its owner hears of it.
        QCOMPARE(Client.SocketState, ssClosed);
    };
    TErrorLog Errors;
    Errors.Attach(Client);

    QVERIFY(Client.Open());
    QCOMPARE(Client.SocketState, ssOpen);
    QTRY_COMPARE(Events, QStringList{"connect"});
    QCOMPARE(Client.SocketState, ssConnected);
    QTRY_VERIFY(Remote);

    // Bytes of any value, including NUL, in both directions; split or joined as TCP likes.
    const QByteArray Binary("a\0b\\final\\\xff", 11);
    Client.SendText(Binary);
    QTRY_COMPARE(Remote->bytesAvailable(), qint64(Binary.size()));
    QCOMPARE(Remote->readAll(), Binary);
    Remote->write(Binary);
    Remote->write(QByteArray(100000, 'x'));
    QTRY_COMPARE(Received.size(), Binary.size() + 100000);
    QVERIFY(Received.startsWith(Binary));

    QVERIFY(!Client.LocalAddress().isEmpty());
    Remote->disconnectFromHost();
    QTRY_COMPARE(Events, (QStringList{"connect", "close"}));
    QVERIFY(Errors.Codes.isEmpty());

    // A component may be opened again after closing.
    QVERIFY(Client.Open());
    QTRY_COMPARE(Events.size(), 3);
    QCOMPARE(Client.SocketState, ssConnected);
    Client.Close();
    QCOMPARE(Client.SocketState, ssClosed);
}

void TestWSockets::tcpClientFailures_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("refused") << QByteArray("127.0.0.1") << QByteArray::number(ClosedTcpPort())
                             << true << 10061 << QByteArray("Connection refused");
    QTest::newRow("unknown host") << QByteArray("no-such-host.invalid") << QByteArray("80") << true
                                  << 11001 << QByteArray("Host not found");
    QTest::newRow("port not a number") << QByteArray("127.0.0.1") << QByteArray("no-such-service")
                                       << false << 10022 << QByteArray("Invalid argument");
    QTest::newRow("port too large") << QByteArray("127.0.0.1") << QByteArray("70000") << false
                                    << 10022 << QByteArray("Invalid argument");
}

void TestWSockets::tcpClientFailures() {
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, port);
    QFETCH(bool, opens);
    QFETCH(int, code);
    QFETCH(QByteArray, text);

    TTCPClient Client;
    Client.Host = host;
    Client.Port = port;
    bool Connected = false;
    Client.OnConnect = [&](TCustomWSockets*, int) { Connected = true; };
    TErrorLog Errors;
    Errors.Attach(Client);
    QCOMPARE(Client.Open(), opens);
    QTRY_COMPARE_WITH_TIMEOUT(Errors.Codes, QList<int>{code}, 20000);
    QCOMPARE(Errors.Texts, QList<QByteArray>{text});
    QCOMPARE(Client.LastError, code);
    QVERIFY(!Connected);
}

void TestWSockets::tcpClientByHostName() {
    // A name goes through the asynchronous lookup; the open itself returns at once.
    QTcpServer Peer;
    QVERIFY(Peer.listen(QHostAddress::LocalHost));
    TTCPClient Client;
    Client.Host = "localhost";
    Client.Port = QByteArray::number(Peer.serverPort());
    bool Connected = false;
    Client.OnConnect = [&](TCustomWSockets*, int) { Connected = true; };
    QVERIFY(Client.Open());
    QTRY_VERIFY(Connected);
    QTRY_VERIFY(Peer.hasPendingConnections());

    // Lookups given up half-way, by a close or by the client going away, report nothing
    // (and, under the sanitizers, leave nothing behind); a new open after a close still works.
    bool Heard = false;
    TTCPClient Closed;
    Closed.Host = "localhost";
    Closed.Port = Client.Port;
    Closed.OnConnect = [&](TCustomWSockets*, int) { Heard = true; };
    Closed.OnError = [&](TCustomWSockets*, int, const QByteArray&) { Heard = true; };
    QVERIFY(Closed.Open());
    Closed.Close();
    {
        auto Gone = std::make_unique<TTCPClient>();
        Gone->Host = "no-such-host.invalid";
        Gone->Port = "80";
        Gone->OnError = [&](TCustomWSockets*, int, const QByteArray&) { Heard = true; };
        QVERIFY(Gone->Open());
    }
    QTest::qWait(300);
    QVERIFY(!Heard);
    Connected = false;
    Closed.OnConnect = [&](TCustomWSockets*, int) { Connected = true; };
    QVERIFY(Closed.Open());
    QTRY_VERIFY(Connected);
}

void TestWSockets::portNames_data() {
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<int>("number");
    QTest::newRow("decimal") << QByteArray("80") << 80;
    QTest::newRow("service") << QByteArray("http") << 80;
    QTest::newRow("irc service or number") << QByteArray("6667") << 6667;
    QTest::newRow("unknown name") << QByteArray("no-such-service") << -1;
    QTest::newRow("empty") << QByteArray() << -1;
}

void TestWSockets::portNames() {
    QFETCH(QByteArray, port);
    QFETCH(int, number);
    TTCPClient Client;
    TErrorLog Errors;
    Errors.Attach(Client);
    quint16 Result = 0;
    const bool Ok = Client.ResolvePort(port, Result);
    QCOMPARE(Ok, number >= 0);
    if (Ok)
        QCOMPARE(int(Result), number);
    else
        QCOMPARE(Errors.Codes, QList<int>{10022});
}

void TestWSockets::authorizedBinding() {
    if (geteuid() != 0) QSKIP("binding ports below 1025 needs root");
    QTcpServer Peer;
    QVERIFY(Peer.listen(QHostAddress::LocalHost));
    QList<quint16> PeerPorts;
    connect(&Peer, &QTcpServer::newConnection,
            [&] { PeerPorts << Peer.nextPendingConnection()->peerPort(); });

    // Take 1024 so the client has to step down (to 1023, or lower while an earlier run's
    // connection from 1023 lingers in TIME-WAIT).
    QTcpSocket Blocker;
    QVERIFY(Blocker.bind(QHostAddress::AnyIPv4, 1024));
    TTCPClient Client;
    Client.Host = "127.0.0.1";
    Client.Port = QByteArray::number(Peer.serverPort());
    Client.Authorized = true;
    QVERIFY(Client.Open());
    QTRY_COMPARE(PeerPorts.size(), 1);
    QVERIFY2(PeerPorts[0] >= 513 && PeerPorts[0] < 1024, qPrintable(QString::number(PeerPorts[0])));

    QUdpSocket UdpPeer;
    QVERIFY(UdpPeer.bind(QHostAddress::LocalHost, 0));
    TUDPClient Udp;
    Udp.Host = "127.0.0.1";
    Udp.Port = QByteArray::number(UdpPeer.localPort());
    Udp.Authorized = true;
    QVERIFY(Udp.Open());
    Udp.SendText("x");
    QTRY_VERIFY(UdpPeer.hasPendingDatagrams());
    const QNetworkDatagram D = UdpPeer.receiveDatagram();
    QVERIFY(D.senderPort() >= 513 && D.senderPort() <= 1024);
}

void TestWSockets::udpDatagrams() {
    QUdpSocket Peer;
    QVERIFY(Peer.bind(QHostAddress::LocalHost, 0));

    TUDPClient Client;
    Client.Host = "127.0.0.1";
    Client.Port = QByteArray::number(Peer.localPort());
    // One datagram per notification and per ReceiveText, whatever its bytes.
    QList<QByteArray> Got;
    Client.OnData = [&](TCustomWSockets*, int) { Got << Client.ReceiveText(); };
    QVERIFY(Client.Open());
    QCOMPARE(Client.SocketState, ssOpen);
    QCOMPARE(Client.ReceiveText(), QByteArray()); // nothing pending

    Client.SendText("\\status\\");
    QTRY_VERIFY(Peer.hasPendingDatagrams());
    const QNetworkDatagram Request = Peer.receiveDatagram();
    QCOMPARE(Request.data(), QByteArray("\\status\\"));

    const QList<QByteArray> Replies{QByteArray("first"), QByteArray("\0\0\\x\0", 5), QByteArray(),
                                    QByteArray(60000, 'z')};
    for (const QByteArray& R : Replies)
        Peer.writeDatagram(R, Request.senderAddress(), quint16(Request.senderPort()));
    // A stranger's datagram never reaches a connected client.
    QUdpSocket Stranger;
    Stranger.writeDatagram("stranger", QHostAddress::LocalHost, quint16(Request.senderPort()));

    QTRY_COMPARE(Got, Replies);
    QTest::qWait(50);
    QCOMPARE(Got, Replies);
}

void TestWSockets::udpBroadcastWithoutLookup() {
    TUDPClient Client;
    Client.Host = "255.255.255.255";
    Client.Port = "27900";
    TErrorLog Errors;
    Errors.Attach(Client);
    QVERIFY(Client.Open());
    // Opened at once: no name lookup was started for the broadcast address.
    QCOMPARE(Client.SocketState, ssOpen);
    QVERIFY(Client.Socket >= 0);
    QVERIFY(Errors.Codes.isEmpty());
}

void TestWSockets::udpPortUnreachable() {
    // A closed port answers with ICMP: reported as a reset, and no busy loop follows.
    QUdpSocket Probe;
    QVERIFY(Probe.bind(QHostAddress::LocalHost, 0));
    const quint16 ClosedPort = Probe.localPort();
    Probe.close();

    TUDPClient Client;
    Client.Host = "127.0.0.1";
    Client.Port = QByteArray::number(ClosedPort);
    TErrorLog Errors;
    Errors.Attach(Client);
    int Notifications = 0;
    Client.OnData = [&](TCustomWSockets*, int) {
        ++Notifications;
        Client.ReceiveText();
    };
    QVERIFY(Client.Open());
    Client.SendText("\\status\\");
    QTest::qWait(300);
    QVERIFY2(Notifications < 5, qPrintable(QString::number(Notifications)));
    for (int Code : Errors.Codes)
        QCOMPARE(Code, 10054);
}

void TestWSockets::closeTwiceIsQuiet() {
    TTCPClient Tcp;
    TUDPClient Udp;
    TTCPServer Server;
    TErrorLog Errors;
    Errors.Attach(Tcp);
    Errors.Attach(Udp);
    Errors.Attach(Server);
    for (int I = 0; I < 2; ++I) {
        Tcp.Close();
        Udp.Close();
        Server.Close();
    }
    QVERIFY(Errors.Codes.isEmpty());
    QCOMPARE(Tcp.SocketState, ssClosed);
    QCOMPARE(Tcp.Socket, -1);
}

void TestWSockets::tcpServer() {
    TTCPServer Server;
    Server.Port = "0";
    QStringList Events;
    QByteArray Received;
    int ClosedHandle = -1;
    bool ListedDuringClose = false;
    Server.OnAccept = [&](TCustomWSockets*, int Handle) { Events << "accept"; };
    Server.OnData = [&](TCustomWSockets*, int Handle) {
        char Buffer[4096];
        const int Got = Server.ReceiveBuf(Handle, Buffer, sizeof Buffer);
        if (Got > 0) Received.append(Buffer, Got);
        Server.SendBuf(Handle, "ack", 3);
    };
    Server.OnClose = [&](TCustomWSockets*, int Handle) {
        Events << "close";
        ClosedHandle = Handle;
        ListedDuringClose = Server.Clients.Count() == 1 && Server.Clients.Items(0) == Handle;
    };
    QVERIFY(Server.Listen());
    QCOMPARE(Server.SocketState, ssListening);

    QTcpSocket Peer;
    Peer.connectToHost(QHostAddress::LocalHost, Server.ListeningPort());
    QVERIFY(Peer.waitForConnected(5000));
    QTRY_COMPARE(Events, QStringList{"accept"});
    QCOMPARE(Server.Clients.Count(), 1);
    const int Handle = Server.Clients.Items(0);

    QByteArray Answer;
    connect(&Peer, &QTcpSocket::readyRead, [&] { Answer += Peer.readAll(); });
    Peer.write("hello");
    QTRY_COMPARE(Received, QByteArray("hello"));
    QTRY_COMPARE(Answer, QByteArray("ack"));

    // The peer goes away: the close event still sees it listed, afterwards it is gone.
    Peer.disconnectFromHost();
    QTRY_COMPARE(Events, (QStringList{"accept", "close"}));
    QCOMPARE(ClosedHandle, Handle);
    QVERIFY(ListedDuringClose);
    QCOMPARE(Server.Clients.Count(), 0);
    QCOMPARE(Server.SendBuf(Handle, "x", 1), -1);
    QCOMPARE(Server.LastError, 10057);

    // A second client, then Close drops every client.
    QTcpSocket Second;
    Second.connectToHost(QHostAddress::LocalHost, Server.ListeningPort());
    QVERIFY(Second.waitForConnected(5000));
    QTRY_COMPARE(Server.Clients.Count(), 1);
    Server.Close();
    QCOMPARE(Server.SocketState, ssClosed);
    QCOMPARE(Server.Clients.Count(), 0);
    QTRY_COMPARE(Second.state(), QAbstractSocket::UnconnectedState);
}

void TestWSockets::localIP() {
    const QByteArray Ip = TCustomWSockets::LocalIP();
    bool HasOutside = false;
    for (const QHostAddress& A : QNetworkInterface::allAddresses())
        HasOutside |= A.protocol() == QAbstractSocket::IPv4Protocol && !A.isLoopback();
    if (HasOutside) {
        QVERIFY2(!Ip.startsWith("127."), Ip.constData());
        QVERIFY(QNetworkInterface::allAddresses().contains(QHostAddress(QString::fromLatin1(Ip))));
    }
}

QTEST_GUILESS_MAIN(TestWSockets)
#include "tst_wsockets.moc"
