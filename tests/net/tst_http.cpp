// The HTTP client against a loopback origin, directly and through real proxies: tinyproxy
// (HTTP, Basic auth), microsocks (SOCKS 5, with and without a password), dante (SOCKS 4).
#include "net/http.h"
#include "net/proxysettings.h"
#include "peers/minihttp.h"
#include "peers/peers.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

// One request and what it delivered.
struct TFetch {
    QStringList Events;
    QByteArray Body;
    THttpClient Client;
    explicit TFetch(const QByteArray& Url) {
        Client.URL = Url;
        Client.OnDocBegin = [this](THttpClient* C) {
            Events << "begin";
            C->RcvdStream = &Body;
        };
        Client.OnDocEnd = [this](THttpClient*) { Events << "end"; };
    }
    bool Run(int TimeoutMs = 10000) {
        if (!Client.GetASync()) return false;
        return QTest::qWaitFor([this] { return Events.contains("end"); }, TimeoutMs);
    }
};

TPeer* Tinyproxy(TPeer& Peer) {
    const QString Config = "User nobody\nGroup nogroup\nPort PORT\nListen 127.0.0.1\n"
                           "Allow 127.0.0.1\nBasicAuth bob secret\nDisableViaHeader Yes\n"
                           "LogLevel Info\n";
    return Peer.Start("tinyproxy", {"-d", "-c", "DIR/peer.conf"}, Config) ? &Peer : nullptr;
}

TPeer* Dante(TPeer& Peer) {
    const QString Config = "logoutput: DIR/danted.log\ninternal: 127.0.0.1 port = PORT\n"
                           "external: 127.0.0.1\nclientmethod: none\nsocksmethod: none\n"
                           "user.privileged: root\nuser.unprivileged: nobody\n"
                           "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
                           "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n"
                           "  command: connect bind\n  log: error connect\n}\n";
    return Peer.Start("danted", {"-f", "DIR/peer.conf", "-p", "DIR/danted.pid", "-N", "1"}, Config)
               ? &Peer
               : nullptr;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bannerRequestOnTheWire();
    void busyAndAbort();
    void badServers_data();
    void badServers();
    void redirects();
    void httpProxy_data();
    void httpProxy();
    void proxyDefaultPort();
    void socksProxies_data();
    void socksProxies();
    void severalAtOnce();

private:
    TMiniHttpServer Origin;
};

void TestHttp::initTestCase() {
    QVERIFY(Origin.Listen());
}

void TestHttp::bannerRequestOnTheWire() {
    Origin.Requests.clear();
    TFetch F(Origin.Url("/banner"));
    F.Client.Agent = "DovodIZ 1.0";
    F.Client.NoCache = true;
    QVERIFY(F.Run());
    QCOMPARE(F.Events, (QStringList{"begin", "end"}));
    QCOMPARE(F.Body, Origin.Document);
    QCOMPARE(F.Client.RcvdCount, Origin.Document.size());
    QCOMPARE(F.Client.StatusCode, 200);
    QCOMPARE(F.Client.ReasonPhrase, QString("OK"));
    QCOMPARE(F.Client.State(), httpReady);
    // HTTP/1.0, and no header but those the protocol names.
    QCOMPARE(Origin.Requests.size(), 1);
    QList<QByteArray> Lines = Origin.Requests[0].split('\n');
    for (QByteArray& L : Lines)
        L = L.trimmed();
    QCOMPARE(Lines.takeFirst(), QByteArray("GET /banner HTTP/1.0"));
    std::sort(Lines.begin(), Lines.end());
    QCOMPARE(Lines, (QList<QByteArray>{"Host: 127.0.0.1:" + QByteArray::number(Origin.Port()),
                                       "Pragma: no-cache", "User-Agent: DovodIZ 1.0"}));
}

void TestHttp::busyAndAbort() {
    TFetch F(Origin.Url("/stall"));
    QVERIFY(F.Client.GetASync());
    QCOMPARE(F.Client.State(), httpBusy);
    QVERIFY(!F.Client.GetASync());
    QCOMPARE(F.Client.ReasonPhrase, QString("HTTP component is busy"));
    QTRY_VERIFY(F.Events.contains("begin"));
    F.Client.Abort();
    // The end event comes before Abort returns, and the client is free again.
    QCOMPARE(F.Events, (QStringList{"begin", "end"}));
    QCOMPARE(F.Client.ReasonPhrase, QString("Connection aborted on request"));
    QCOMPARE(F.Client.State(), httpReady);
    F.Client.URL = Origin.Url("/doc");
    F.Events.clear();
    F.Body.clear();
    QVERIFY(F.Run());
    QCOMPARE(F.Body, Origin.Document);
}

void TestHttp::badServers_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("begun");
    QTest::addColumn<qint64>("received");
    // Whatever body arrived is delivered, whatever the status says.
    QTest::newRow("not found") << QByteArray("/notfound") << 404 << true << qint64(7);
    QTest::newRow("body over the cap") << QByteArray("/big") << 0 << true << qint64(-1);
    QTest::newRow("truncated body") << QByteArray("/truncated") << 0 << true << qint64(100);
    QTest::newRow("stalls mid-body") << QByteArray("/stall") << 0 << true << qint64(100);
    QTest::newRow("headers forever") << QByteArray("/headers") << 0 << false << qint64(0);
    QTest::newRow("nobody listening") << QByteArray("refused") << 0 << false << qint64(0);
}

void TestHttp::badServers() {
    QFETCH(QByteArray, path);
    QFETCH(int, status);
    QFETCH(bool, begun);
    QFETCH(qint64, received);
    TFetch F(path == "refused" ? "http://127.0.0.1:" + QByteArray::number(FreeTcpPort()) + "/"
                               : Origin.Url(path.constData()));
    F.Client.MaxBodyBytes = 1024 * 1024;
    F.Client.StallTimeoutMs = 1000;
    F.Client.TotalTimeoutMs = 3000;
    QElapsedTimer Clock;
    Clock.start();
    QVERIFY(F.Run(8000));
    QVERIFY(Clock.elapsed() < 5000);
    QCOMPARE(F.Events.count("end"), 1);
    QCOMPARE(F.Events.contains("begin"), begun);
    QCOMPARE(F.Client.StatusCode, status);
    if (status == 0) QVERIFY(!F.Client.ReasonPhrase.isEmpty());
    if (received >= 0) QCOMPARE(F.Client.RcvdCount, received);
    QVERIFY(F.Client.RcvdCount <= F.Client.MaxBodyBytes);
    QCOMPARE(F.Client.RcvdCount, F.Body.size());
}

void TestHttp::redirects() {
    TFetch Followed(Origin.Url("/redirect"));
    QVERIFY(Followed.Run());
    QCOMPARE(Followed.Body, Origin.Document);
    QCOMPARE(Followed.Client.StatusCode, 200);
    // A loop ends after five hops instead of going round for ever.
    Origin.Requests.clear();
    TFetch Loop(Origin.Url("/loop"));
    QVERIFY(Loop.Run());
    QCOMPARE(Loop.Client.StatusCode, 0);
    QCOMPARE(Origin.Requests.size(), 6);
}

void TestHttp::httpProxy_data() {
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("status");
    QTest::newRow("right password") << QByteArray("bob") << QByteArray("secret") << 200;
    QTest::newRow("wrong password") << QByteArray("bob") << QByteArray("guess") << 401;
    QTest::newRow("no credentials") << QByteArray() << QByteArray() << 407;
}

void TestHttp::httpProxy() {
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(int, status);
    TPeer Peer;
    QVERIFY2(Tinyproxy(Peer), qPrintable(Peer.Why));
    TProxyChoice Choice;
    Choice.UseHttp = true;
    Choice.HttpAddress = "127.0.0.1";
    Choice.HttpPort = QByteArray::number(Peer.Port);
    Choice.HttpUser = user;
    Choice.HttpPassword = password;
    TFetch F(Origin.Url("/doc"));
    ApplyHttpProxy(Choice, F.Client);
    Origin.Requests.clear();
    QVERIFY(F.Run());
    QCOMPARE(F.Client.StatusCode, status);
    // Only a let-through request reaches the origin and brings the document.
    QCOMPARE(F.Body == Origin.Document, status == 200);
    QCOMPARE(Origin.Requests.size(), status == 200 ? 1 : 0);
}

void TestHttp::proxyDefaultPort() {
    // Proxy port left at "80": the request goes to port 80 of the proxy, the whole URL in it.
    TMiniHttpServer Port80;
    if (!Port80.Listen(80)) QSKIP("port 80 cannot be listened on here");
    TProxyChoice Choice;
    Choice.UseHttp = true;
    Choice.HttpAddress = "127.0.0.1";
    Choice.HttpPort = "80";
    TFetch F(Origin.Url("/doc"));
    ApplyHttpProxy(Choice, F.Client);
    QVERIFY(F.Run());
    QCOMPARE(Port80.Requests.size(), 1);
    QVERIFY(Port80.Requests[0].startsWith("GET " + Origin.Url("/doc") + " HTTP/1.0"));
}

void TestHttp::socksProxies_data() {
    QTest::addColumn<QString>("proxy"); // microsocks, microsocks-auth, dante
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("socks5");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("SOCKS 5, no password")
        << "microsocks" << QByteArray() << QByteArray() << true << true;
    QTest::newRow("SOCKS 5, right password")
        << "microsocks-auth" << QByteArray("bob") << QByteArray("secret") << true << true;
    QTest::newRow("SOCKS 5, wrong password")
        << "microsocks-auth" << QByteArray("bob") << QByteArray("guess") << true << false;
    QTest::newRow("SOCKS 5 wants a password, none given")
        << "microsocks-auth" << QByteArray() << QByteArray() << true << false;
    QTest::newRow("SOCKS 4") << "dante" << QByteArray() << QByteArray() << false << true;
}

void TestHttp::socksProxies() {
    QFETCH(QString, proxy);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(bool, socks5);
    QFETCH(bool, delivered);
    TPeer Peer;
    const bool Started =
        proxy == "dante"
            ? Dante(Peer) != nullptr
            : Peer.Start("microsocks", proxy == "microsocks-auth"
                                           ? QStringList{"-i", "127.0.0.1", "-p", "PORT", "-u",
                                                         "bob", "-P", "secret"}
                                           : QStringList{"-i", "127.0.0.1", "-p", "PORT"});
    QVERIFY2(Started, qPrintable(Peer.Why));
    // HTTP proxy off, SOCKS on: the download goes through the SOCKS proxy.
    TProxyChoice Choice;
    Choice.UseSocks = true;
    Choice.SocksAddress = "127.0.0.1";
    Choice.SocksUser = user;
    Choice.SocksPassword = password;
    Choice.Socks5 = socks5;
    TFetch F(Origin.Url("/doc"));
    ApplyHttpProxy(Choice, F.Client);
    QCOMPARE(F.Client.Socks.SocksPort, QByteArray("1080"));
    F.Client.Socks.SocksPort = QByteArray::number(Peer.Port); // the test's proxy is elsewhere
    QCOMPARE(F.Client.Socks.SocksAuthentication, !user.isEmpty());
    Origin.Requests.clear();
    QVERIFY(F.Run());
    QCOMPARE(F.Body == Origin.Document, delivered);
    QCOMPARE(Origin.Requests.size(), delivered ? 1 : 0);
    if (!delivered) QVERIFY(!F.Client.ReasonPhrase.isEmpty());
}

void TestHttp::severalAtOnce() {
    std::vector<std::unique_ptr<TFetch>> Fetches;
    for (int I = 0; I < 8; ++I) {
        Fetches.push_back(std::make_unique<TFetch>(Origin.Url(I % 2 ? "/doc" : "/redirect")));
        QVERIFY(Fetches.back()->Client.GetASync());
    }
    QTRY_VERIFY(std::all_of(Fetches.begin(), Fetches.end(),
                            [](const auto& F) { return F->Events.contains("end"); }));
    for (const auto& F : Fetches)
        QCOMPARE(F->Body, Origin.Document);
}

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
