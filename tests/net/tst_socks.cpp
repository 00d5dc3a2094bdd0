// The chat's stream socket directly and through real SOCKS proxies (microsocks for SOCKS 5,
// dante for SOCKS 4), and against proxies that misbehave.
#include "net/socks.h"
#include "peers/peers.h"

#include <QtTest>

namespace {

// Echoes every byte back, after greeting the client.
struct TEchoServer : QTcpServer {
    TEchoServer() {
        connect(this, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* S = nextPendingConnection()) {
                S->write("hello\n");
                connect(S, &QTcpSocket::readyRead, [S] { S->write(S->readAll()); });
            }
        });
        listen(QHostAddress::LocalHost);
    }
};

// A proxy that accepts and then answers the way a test wants: garbage, a close, or nothing.
struct TBadProxy : QTcpServer {
    explicit TBadProxy(const QString& Behaviour) {
        connect(this, &QTcpServer::newConnection, [this, Behaviour] {
            while (QTcpSocket* S = nextPendingConnection())
                connect(S, &QTcpSocket::readyRead, [S, Behaviour] {
                    S->readAll();
                    if (Behaviour == "garbage") S->write("\x47\x45\x54\x20garbage!!");
                    if (Behaviour == "close") S->disconnectFromHost();
                });
        });
        listen(QHostAddress::LocalHost);
    }
};

// One connection attempt and what the socket reported.
struct TAttempt {
    TSocksTCPClient Client;
    QStringList Events;
    QByteArray Received;
    TAttempt(const QByteArray& Host, quint16 Port) {
        Client.Host = Host;
        Client.Port = QByteArray::number(Port);
        Client.OnConnect = [this](TCustomWSockets*, int) { Events << "connect"; };
        Client.OnData = [this](TCustomWSockets*, int) { Received += Client.ReceiveText(); };
        Client.OnClose = [this](TCustomWSockets*, int) { Events << "close"; };
        Client.OnError = [this](TCustomWSockets*, int Code, const QByteArray& Text) {
            Events << QString("error %1 %2").arg(Code).arg(QString::fromLatin1(Text));
        };
    }
    void Through(quint16 ProxyPort, bool Socks5, const QByteArray& User = {},
                 const QByteArray& Password = {}) {
        Client.SocksServer = "127.0.0.1";
        Client.SocksPort = QByteArray::number(ProxyPort);
        Client.SocksLevel = Socks5 ? "5" : "4";
        Client.SocksUsercode = User;
        Client.SocksPassword = Password;
        Client.SocksAuthentication = !User.isEmpty();
    }
    bool Ended() const { return !Events.isEmpty() && Events.last() != "connect"; }
};

bool StartProxy(TPeer& Peer, const QString& Kind) {
    if (Kind == "dante")
        return Peer.Start("danted", {"-f", "DIR/peer.conf", "-p", "DIR/danted.pid", "-N", "1"},
                          "logoutput: DIR/danted.log\ninternal: 127.0.0.1 port = PORT\n"
                          "external: 127.0.0.1\nclientmethod: none\nsocksmethod: none\n"
                          "user.privileged: root\nuser.unprivileged: nobody\n"
                          "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
                          "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n"
                          "  command: connect bind\n  log: error connect\n}\n");
    if (Kind == "microsocks-auth")
        return Peer.Start("microsocks",
                          {"-i", "127.0.0.1", "-p", "PORT", "-u", "bob", "-P", "secret"});
    return Peer.Start("microsocks", {"-i", "127.0.0.1", "-p", "PORT"});
}

} // namespace

class TestSocks : public QObject {
    Q_OBJECT
private slots:
    void throughProxies_data();
    void throughProxies();
    void refusedBehindTheProxy_data();
    void refusedBehindTheProxy();
    void misbehavingProxy_data();
    void misbehavingProxy();
};

void TestSocks::throughProxies_data() {
    QTest::addColumn<QString>("proxy"); // "", microsocks, microsocks-auth, dante
    QTest::addColumn<bool>("socks5");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("error"); // empty: the echo works
    QTest::newRow("direct") << "" << true << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                            << "";
    QTest::newRow("SOCKS 5, no user, no exchange")
        << "microsocks" << true << QByteArray("127.0.0.1") << QByteArray() << QByteArray() << "";
    QTest::newRow("SOCKS 5, name resolved by the proxy")
        << "microsocks" << true << QByteArray("localhost") << QByteArray() << QByteArray() << "";
    QTest::newRow("SOCKS 5, right password") << "microsocks-auth" << true << QByteArray("127.0.0.1")
                                             << QByteArray("bob") << QByteArray("secret") << "";
    QTest::newRow("SOCKS 5, wrong password")
        << "microsocks-auth" << true << QByteArray("127.0.0.1") << QByteArray("bob")
        << QByteArray("guess") << "error 20002 SOCKS authentication failed";
    QTest::newRow("SOCKS 4") << "dante" << false << QByteArray("127.0.0.1") << QByteArray()
                             << QByteArray() << "";
    QTest::newRow("SOCKS 4, name resolved here")
        << "dante" << false << QByteArray("localhost") << QByteArray() << QByteArray() << "";
}

void TestSocks::throughProxies() {
    QFETCH(QString, proxy);
    QFETCH(bool, socks5);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(QString, error);
    TEchoServer Echo;
    TPeer Peer;
    TAttempt A(host, Echo.serverPort());
    if (!proxy.isEmpty()) {
        QVERIFY2(StartProxy(Peer, proxy), qPrintable(Peer.Why));
        A.Through(Peer.Port, socks5, user, password);
    }
    QVERIFY(A.Client.Open());
    if (!error.isEmpty()) {
        QTRY_COMPARE(A.Events, QStringList{error});
        QVERIFY(A.Client.SocketState != ssConnected);
        return;
    }
    QTRY_COMPARE(A.Events, QStringList{"connect"});
    QCOMPARE(A.Client.SocketState, ssConnected);
    QTRY_COMPARE(A.Received, QByteArray("hello\n"));
    A.Client.SendText("PING :x\r\n");
    QTRY_COMPARE(A.Received, QByteArray("hello\nPING :x\r\n"));
    A.Client.Close();
}

void TestSocks::refusedBehindTheProxy_data() {
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<bool>("socks5");
    QTest::addColumn<int>("code");
    QTest::newRow("SOCKS 5") << "microsocks" << true << 10061;
    QTest::newRow("SOCKS 4") << "dante" << false << 20001;
}

void TestSocks::refusedBehindTheProxy() {
    QFETCH(QString, proxy);
    QFETCH(bool, socks5);
    QFETCH(int, code);
    TPeer Peer;
    QVERIFY2(StartProxy(Peer, proxy), qPrintable(Peer.Why));
    TAttempt A("127.0.0.1", FreeTcpPort());
    A.Through(Peer.Port, socks5);
    QVERIFY(A.Client.Open());
    QTRY_VERIFY(A.Ended());
    QVERIFY2(A.Events.first().startsWith(QString("error %1 ").arg(code)),
             qPrintable(A.Events.join("|")));
    QVERIFY(!A.Events.contains("connect") && !A.Events.contains("close"));
}

void TestSocks::misbehavingProxy_data() {
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<bool>("socks5");
    QTest::addColumn<int>("code");
    for (bool Socks5 : {false, true}) {
        const char* Level = Socks5 ? "SOCKS 5" : "SOCKS 4";
        QTest::addRow("%s, garbage", Level) << "garbage" << Socks5 << 20003;
        QTest::addRow("%s, closes mid-handshake", Level) << "close" << Socks5 << 20004;
        QTest::addRow("%s, never answers", Level) << "silent" << Socks5 << 20005;
    }
}

void TestSocks::misbehavingProxy() {
    QFETCH(QString, behaviour);
    QFETCH(bool, socks5);
    QFETCH(int, code);
    TBadProxy Proxy(behaviour);
    TAttempt A("127.0.0.1", 6667);
    A.Through(Proxy.serverPort(), socks5);
    A.Client.ConnectTimeoutMs = 600;
    QVERIFY(A.Client.Open());
    QTRY_VERIFY_WITH_TIMEOUT(A.Ended(), 5000);
    QVERIFY2(A.Events.first().startsWith(QString("error %1 ").arg(code)),
             qPrintable(A.Events.join("|")));
    QCOMPARE(A.Events.size(), 1);
    QTest::qWait(700); // no second report when the deadline passes
    QCOMPARE(A.Events.size(), 1);
}

QTEST_GUILESS_MAIN(TestSocks)
#include "tst_socks.moc"
