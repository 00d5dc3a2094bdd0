// File transfers: the offer's text, our sender and receiver with each other and with peers
// that split, coalesce or size things differently, a full disk, and real IRC clients
// (python3-irc and weechat) through ngircd.
#include "irc/IRCClient.h"
#include "irc/dcc.h"
#include "peers/ngircd.h"

#include <QCryptographicHash>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

namespace {
QByteArray Sha256(const QString& Path) {
    QFile F(Path);
    QCryptographicHash Hash(QCryptographicHash::Sha256);
    return F.open(QIODevice::ReadOnly) && Hash.addData(&F) ? Hash.result().toHex()
                                                           : QByteArray("unreadable");
}

QString MakeFile(const QString& Path, qint64 Size, quint32 Seed = 1) {
    QFile F(Path);
    if (!F.open(QIODevice::WriteOnly)) return {};
    QRandomGenerator Random(Seed);
    QByteArray Chunk(1 << 16, Qt::Uninitialized);
    for (qint64 Left = Size; Left > 0; Left -= Chunk.size()) {
        Random.fillRange(reinterpret_cast<quint32*>(Chunk.data()), Chunk.size() / 4);
        F.write(Chunk.constData(), qMin<qint64>(Left, Chunk.size()));
    }
    return Path;
}

QByteArray Ack(quint32 Value) {
    char B[4];
    qToBigEndian(Value, B);
    return QByteArray(B, 4);
}

// Like QTest::qWaitFor, but without its sleep between rounds, which would cost every block
// of a transfer 10 ms.
bool Await(const std::function<bool()>& Done, int Ms) {
    QEventLoop Loop;
    QTimer Check, Limit;
    QObject::connect(&Check, &QTimer::timeout, [&] {
        if (Done()) Loop.quit();
    });
    QObject::connect(&Limit, &QTimer::timeout, &Loop, &QEventLoop::quit);
    Check.start(5);
    Limit.start(Ms);
    if (!Done()) Loop.exec();
    return Done();
}

// A user on the test server driven by our engine; keeps the DCC offers it is sent.
struct TOurSide {
    QList<QByteArray> Offers;
    TIRCClient Engine;
    TOurSide(quint16 Port, const QByteArray& Nick) {
        Engine.Server = "127.0.0.1";
        Engine.Port = QByteArray::number(Port);
        Engine.SetNick(Nick);
        Engine.AltNick = Nick + "_";
        Engine.Username = "dcc";
        Engine.RealName = "dcc";
        Engine.OnCTCPQuery = [this](TIRCClient*, TUser*, TChannel*, const QByteArray& Command,
                                    const QByteArray& Args,
                                    bool&) { Offers << Command + ' ' + Args; };
        Engine.Connect();
    }
    bool Registered() {
        return QTest::qWaitFor([this] { return Engine.State == csRegistered; }, 10000);
    }
};

// A python3-irc peer (tests/peers/dccpeer.py) as a separate process.
struct TPython {
    QProcess Process;
    QByteArray Out;
    TPython(const QStringList& Arguments) {
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.start("/usr/bin/python3",
                      QStringList{QFINDTESTDATA("../peers/dccpeer.py")} + Arguments);
    }
    ~TPython() {
        Process.kill();
        Process.waitForFinished();
    }
    bool Said(const QByteArray& Text, int Ms) {
        return Await(
            [&] {
                Out += Process.readAll();
                return Out.contains(Text);
            },
            Ms);
    }
};
} // namespace

class TestDcc : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void offeredNames_data();
    void offeredNames();
    void progressTexts();
    void offeredAddresses_data();
    void offeredAddresses();
    void listensOnceOnItsAddress();
    void ourselves_data();
    void ourselves();
    void acknowledgementsSplitOrCoalesced();
    void receiverLeavesEarly();
    void unevenSender();
    void writeError();
    void hostileSender_data();
    void hostileSender();
    void pythonReceives_data();
    void pythonReceives();
    void pythonSends_data();
    void pythonSends();
    void weechatReceives();

private:
    // Our sender and receiver over loopback; the receiver writes Target.
    bool Transfer(const QString& Source, const QString& Target);
    TPeer Server;
    QTemporaryDir Dir;
};

void TestDcc::initTestCase() {
    QVERIFY(Dir.isValid());
    QVERIFY2(StartNgircd(Server), qPrintable(Server.Why));
}

void TestDcc::parse_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<qint64>("size");
    const int Valid = int(TDccParse::Valid), Ignored = int(TDccParse::Ignored);
    QTest::newRow("plain") << QByteArray("DCC SEND file.txt 2130706433 5000 1234") << Valid
                           << QByteArray("FILE.TXT") << QByteArray("127.0.0.1") << 1234ll;
    QTest::newRow("lower case") << QByteArray("dcc send Report.pdf 3232235777 1024 10") << Valid
                                << QByteArray("REPORT.PDF") << QByteArray("192.168.1.1") << 10ll;
    QTest::newRow("over 4 GiB") << QByteArray("DCC SEND big 16909060 2000 6000000000") << Valid
                                << QByteArray("BIG") << QByteArray("1.2.3.4") << 6000000000ll;
    QTest::newRow("low 32 bits of the address")
        << QByteArray("DCC SEND f 6425673729 2000 5") << Valid << QByteArray("F")
        << QByteArray("127.0.0.1") << 5ll;
    QTest::newRow("no size") << QByteArray("DCC SEND f 2130706433 2000") << Ignored << QByteArray()
                             << QByteArray() << 0ll;
    QTest::newRow("size 0") << QByteArray("DCC SEND f 2130706433 2000 0") << Ignored << QByteArray()
                            << QByteArray() << 0ll;
    QTest::newRow("text after the size") << QByteArray("DCC SEND f 2130706433 2000 100 77")
                                         << Ignored << QByteArray() << QByteArray() << 0ll;
    QTest::newRow("reverse (port 0)") << QByteArray("DCC SEND f 2130706433 0 100") << Ignored
                                      << QByteArray() << QByteArray() << 0ll;
    QTest::newRow("address not a number")
        << QByteArray("DCC SEND f localhost 2000 100") << int(TDccParse::BadAddress) << QByteArray()
        << QByteArray() << 0ll;
    QTest::newRow("chat, not a file")
        << QByteArray("DCC CHAT chat 2130706433 2000") << int(TDccParse::NotAnOffer) << QByteArray()
        << QByteArray() << 0ll;
}

void TestDcc::parse() {
    QFETCH(QByteArray, text);
    QFETCH(int, result);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, address);
    QFETCH(qint64, size);
    TDccOffer Offer;
    QString Error;
    QCOMPARE(int(ParseDccOffer(text, Offer, &Error)), result);
    if (result == int(TDccParse::BadAddress))
        QCOMPARE(Error, QString("'LOCALHOST' is not a valid integer value"));
    if (result != int(TDccParse::Valid)) return;
    QCOMPARE(Offer.FileName, name);
    QCOMPARE(Offer.Address, address);
    QCOMPARE(Offer.Size, size);
}

// Names from strangers lose folders and controls; ours go out without blanks.
void TestDcc::offeredNames_data() {
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<QString>("saved");
    QTest::newRow("plain") << QByteArray("NOTES.TXT") << "NOTES.TXT";
    QTest::newRow("up and out") << QByteArray("../../.bashrc") << ".bashrc";
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << "passwd";
    QTest::newRow("windows folders") << QByteArray("C:\\GAMES\\EVIL.EXE") << "EVIL.EXE";
    QTest::newRow("controls") << QByteArray("A\x01\x1b[31mB\x7f.TXT") << "A[31mB.TXT";
    QTest::newRow("nothing left") << QByteArray("..") << "file";
    QTest::newRow("Windows-1252") << QByteArray("CAF\xc9.TXT") << QString::fromUtf8("CAFÉ.TXT");
}

void TestDcc::offeredNames() {
    QFETCH(QByteArray, offered);
    QFETCH(QString, saved);
    QCOMPARE(DccSafeFileName(offered), saved);
    QCOMPARE(DccOfferArgs("/home/me/my file.txt", "10.0.0.2", 4000, 77),
             QByteArray("my_file.txt 167772162 4000 77"));
}

void TestDcc::progressTexts() {
    QCOMPARE(DccSpeedText(0, 1), QString("0 of 1 (0%) "));
    QCOMPARE(DccSpeedText(1, 1), QString("1 of 1 (100%) "));
    QCOMPARE(DccSpeedText(3000000000, 6000000000), QString("3000000000 of 6000000000 (50%) "));
    QCOMPARE(DccSpeedText(999999999999999999, 1999999999999999999),
             QString("999999999999999999 of 1999999999999999999 (49%) "));
    QCOMPARE(DccTimeText(1000, 61000, 2500), QString("2:00 remaining 500 cps"));
    QCOMPARE(DccTimeText(0, 100, 0), QString("1:40 remaining 1 cps"));
    const QStringList Sizes{ReadableSize(1023), ReadableSize(1331), ReadableSize(LLONG_MAX)};
    QCOMPARE(Sizes, (QStringList{"1023 bytes", "1.3 KB", "8.0 EB"}));
    QCOMPARE(DccSpaceRefusal(Dir.filePath("small"), 1000), QString());
    QVERIFY(DccSpaceRefusal(Dir.filePath("huge"), 1ll << 60).startsWith("The file needs 1.0 EB"));
}

// Offers never point us at this computer or special addresses, nor into a private network
// unless the chat itself is in one.
void TestDcc::offeredAddresses_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("why"); // empty: connected to
    const QString Public = "198.51.100.7", Lan = "192.168.1.2", Local = "127.0.0.1";
    const QString Private = "a private network address, and the chat server is not on one";
    QTest::newRow("public") << QByteArray("172.32.0.1") << Public << QString();
    QTest::newRow("loopback") << QByteArray("127.1.2.3") << Local << "this computer's own address";
    QTest::newRow("unspecified") << QByteArray("0.1.2.3") << Lan << "an unspecified address";
    QTest::newRow("multicast") << QByteArray("239.255.255.250") << Lan << "a multicast address";
    QTest::newRow("broadcast") << QByteArray("255.255.255.255") << Lan << "the broadcast address";
    QTest::newRow("reserved") << QByteArray("240.0.0.1") << Lan << "a reserved address";
    for (const char* A : {"10.1.2.3", "172.31.0.1", "192.168.0.9", "169.254.1.1", "100.127.0.1"})
        QTest::newRow(A) << QByteArray(A) << Public << Private;
    QTest::newRow("server unknown") << QByteArray("10.1.2.3") << QString() << Private;
    QTest::newRow("server on loopback") << QByteArray("10.1.2.3") << Local << QString();
    QTest::newRow("server in a LAN") << QByteArray("10.1.2.3") << Lan << QString();
}

void TestDcc::offeredAddresses() {
    QFETCH(QByteArray, address);
    QFETCH(QString, server);
    QFETCH(QString, why);
    QCOMPARE(DccAddressRefusal(address, QHostAddress(server)), why);
}

// Our offer is heard only where the IRC server sees us, by one receiver, for a while.
void TestDcc::listensOnceOnItsAddress() {
    const auto Reachable = [](const QString& Address, const QByteArray& Port) {
        QTcpSocket Probe;
        Probe.connectToHost(Address, quint16(Port.toUInt()));
        return Probe.waitForConnected(2000);
    };
    TDccTransfer Sender, Late;
    QString Error, Line;
    QVERIFY(Sender.StartSending(MakeFile(Dir.filePath("once.bin"), 100000), "127.0.0.1", Error));
    for (const QHostAddress& A : QNetworkInterface::allAddresses())
        if (A.protocol() == QAbstractSocket::IPv4Protocol && !A.isLoopback())
            QVERIFY2(!Reachable(A.toString(), Sender.PeerPort), qPrintable(A.toString()));
    QTcpSocket First;
    First.connectToHost("127.0.0.1", quint16(Sender.PeerPort.toUInt()));
    QTRY_VERIFY(First.bytesAvailable() > 0); // the first block: accepted
    QVERIFY(!Reachable("127.0.0.1", Sender.PeerPort));

    Late.ListenTimeoutMs = 300;
    Late.OnListenTimeout = [&](const QString& S) { Line = S; };
    QVERIFY(Late.StartSending(MakeFile(Dir.filePath("late.bin"), 10), "127.0.0.1", Error));
    QTRY_COMPARE(Line, QString("Nobody accepted late.bin within 0.3 seconds: no longer listening"));
    QVERIFY(Late.Done && !Reachable("127.0.0.1", Late.PeerPort));
}

bool TestDcc::Transfer(const QString& Source, const QString& Target) {
    TDccTransfer Sender, Receiver;
    QStringList Statuses;
    Sender.OnStatus = [&](const QString& S) { Statuses << "send " + S; };
    Receiver.OnStatus = [&](const QString& S) { Statuses << "receive " + S; };
    QString Error;
    if (!Sender.StartSending(Source, "127.0.0.1", Error)) return false;
    TDccOffer Offer;
    if (ParseDccOffer("DCC SEND " + Sender.OfferArgs(), Offer) != TDccParse::Valid) return false;
    if (!Receiver.StartReceiving(Offer, Target, Error)) return false;
    if (!Await([&] { return Sender.Done && Receiver.Done; }, 60000)) return false;
    return Statuses.contains("send Done Sending") && Statuses.contains("receive Done Receiving") &&
           Receiver.Transferred == QFileInfo(Source).size();
}

void TestDcc::ourselves_data() {
    QTest::addColumn<qint64>("size");
    QTest::newRow("1 byte") << 1ll;
    QTest::newRow("512 bytes") << 512ll;
    QTest::newRow("1,000,000 bytes") << 1000000ll;
    QTest::newRow("10 MB") << 10000000ll;
}

void TestDcc::ourselves() {
    QFETCH(qint64, size);
    const QString Source = MakeFile(Dir.filePath("ours.bin"), size, quint32(size));
    QVERIFY(Transfer(Source, Dir.filePath("ours.out")));
    QCOMPARE(Sha256(Dir.filePath("ours.out")), Sha256(Source));
}

// A receiver that acknowledges a byte at a time, and two blocks in one write: the sender goes
// on exactly when everything it sent is acknowledged, and closes only after the last one.
void TestDcc::acknowledgementsSplitOrCoalesced() {
    const QString Source = MakeFile(Dir.filePath("acks.bin"), 5000);
    TDccTransfer Sender;
    QString Error;
    QVERIFY(Sender.StartSending(Source, "127.0.0.1", Error));
    QTcpSocket Peer;
    Peer.connectToHost(QHostAddress::LocalHost, Sender.PeerPort.toUShort());
    QVERIFY(Peer.waitForConnected(3000));
    QByteArray Got;
    const auto Read = [&](qint64 Until) {
        return QTest::qWaitFor(
            [&] {
                Got += Peer.readAll();
                return Got.size() >= Until;
            },
            3000);
    };
    QVERIFY(Read(512));
    // Byte by byte.
    for (char C : Ack(512)) {
        Peer.write(&C, 1);
        Peer.flush();
        QTest::qWait(20);
    }
    QVERIFY(Read(1024));
    // A stale acknowledgement and the right one in one write release one block.
    Peer.write(Ack(512) + Ack(1024));
    QVERIFY(Read(1536));
    QTest::qWait(100);
    QCOMPARE(Got.size(), 1536);
    for (qint64 Total = 1536; Total < 5000; Total = qMin<qint64>(Total + 512, 5000)) {
        Peer.write(Ack(quint32(Total)));
        QVERIFY(Read(qMin<qint64>(Total + 512, 5000)));
    }
    QVERIFY(!Sender.Done);
    Peer.write(Ack(5000));
    QVERIFY(QTest::qWaitFor([&] { return Sender.Done; }, 3000));
    QVERIFY(Peer.state() == QAbstractSocket::UnconnectedState || Peer.waitForDisconnected(3000));
    QFile F(Source);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(Got, F.readAll());
}

// A receiver that goes away halfway has not received the file.
void TestDcc::receiverLeavesEarly() {
    TDccTransfer Sender;
    QString Error, Status;
    Sender.OnStatus = [&](const QString& S) { Status = S; };
    QVERIFY(Sender.StartSending(MakeFile(Dir.filePath("early.bin"), 4096), "127.0.0.1", Error));
    QTcpSocket Peer;
    Peer.connectToHost(QHostAddress::LocalHost, Sender.PeerPort.toUShort());
    QVERIFY(Peer.waitForConnected(3000));
    QTRY_COMPARE(Status, QString("Connected"));
    Peer.close();
    QTRY_VERIFY(Sender.Done);
    QCOMPARE(Status, QString("Receiver closed file transfer"));
}

// Other senders use other block sizes and wait for an acknowledgement of each: our receiver
// acknowledges every read, so a 700-byte block is not left waiting.
void TestDcc::unevenSender() {
    QTcpServer Listener;
    QVERIFY(Listener.listen(QHostAddress::LocalHost));
    const QByteArray Data = QByteArray(700, 'a') + QByteArray(700, 'b') + QByteArray(100, 'c');
    TDccOffer Offer{"X", "127.0.0.1", QByteArray::number(Listener.serverPort()), Data.size()};
    TDccTransfer Receiver;
    QString Error;
    QVERIFY(Receiver.StartReceiving(Offer, Dir.filePath("uneven.out"), Error));
    QVERIFY(Listener.waitForNewConnection(3000));
    QTcpSocket* Peer = Listener.nextPendingConnection();
    QByteArray Acks;
    for (qint64 Sent = 0; Sent < Data.size(); Sent += 700) {
        Peer->write(Data.mid(Sent, 700));
        const quint32 Want = quint32(qMin<qint64>(Sent + 700, Data.size()));
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         Acks += Peer->readAll();
                         return Acks.endsWith(Ack(Want));
                     },
                     3000),
                 "no acknowledgement of the whole block");
    }
    QTRY_VERIFY(Receiver.Done);
    QFile F(Dir.filePath("uneven.out"));
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(F.readAll(), Data);
}

void TestDcc::hostileSender_data() {
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("sent");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("status");
    QTest::newRow("closes mid-file") << 10000 << 4000 << false << "Connected";
    QTest::newRow("killed mid-file") << 10000 << 4000 << true << "Connected";
    QTest::newRow("sends more than offered") << 1500 << 3000 << false << "Done Receiving";
}

// A sender that stops early or goes on too long: the transfer ends, the file holds what came
// within the offer and nothing beyond it.
void TestDcc::hostileSender() {
    QFETCH(int, offered);
    QFETCH(int, sent);
    QFETCH(bool, reset);
    QFETCH(QString, status);
    QTcpServer Listener;
    QVERIFY(Listener.listen(QHostAddress::LocalHost));
    TDccOffer Offer{"X", "127.0.0.1", QByteArray::number(Listener.serverPort()), offered};
    TDccTransfer Receiver;
    QString Error, Status;
    bool SenderClosed = false;
    Receiver.OnStatus = [&](const QString& S) { Status = S; };
    Receiver.OnSenderClosed = [&] { SenderClosed = true; };
    const QString Target = Dir.filePath("hostile.out");
    QVERIFY(Receiver.StartReceiving(Offer, Target, Error));
    QVERIFY(Listener.waitForNewConnection(3000));
    QTcpSocket* Peer = Listener.nextPendingConnection();
    QFile Source(MakeFile(Dir.filePath("hostile.in"), sent));
    QVERIFY(Source.open(QIODevice::ReadOnly));
    const QByteArray Data = Source.readAll();
    Peer->write(Data);
    QVERIFY(Peer->waitForBytesWritten(3000));
    QTRY_COMPARE(Receiver.Transferred, qMin(offered, sent));
    if (reset)
        Peer->abort();
    else
        Peer->disconnectFromHost();
    QTRY_VERIFY(Receiver.Done);
    QCOMPARE(SenderClosed, sent < offered);
    QCOMPARE(Status, status);
    QFile F(Target);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(F.readAll(), Data.left(offered));
}

// A full disk stops the transfer and says so; the bytes are not counted as received.
void TestDcc::writeError() {
    if (!QFile::exists("/dev/full")) QSKIP("this system has no /dev/full");
    const QString Source = MakeFile(Dir.filePath("full.bin"), 3000);
    TDccTransfer Sender, Receiver;
    QString Error, Status;
    Receiver.OnStatus = [&](const QString& S) { Status = S; };
    QVERIFY(Sender.StartSending(Source, "127.0.0.1", Error));
    TDccOffer Offer;
    QCOMPARE(ParseDccOffer("DCC SEND " + Sender.OfferArgs(), Offer), TDccParse::Valid);
    QVERIFY(Receiver.StartReceiving(Offer, "/dev/full", Error));
    QTRY_VERIFY(Receiver.Done);
    QVERIFY2(Status.startsWith("Write error: "), qPrintable(Status));
    QCOMPARE(Receiver.Transferred, 0);
    QTRY_VERIFY(Sender.Done); // the sender sees its receiver go
}

void TestDcc::pythonReceives_data() {
    ourselves_data();
}

void TestDcc::pythonReceives() {
    QFETCH(qint64, size);
    const QString Source = MakeFile(Dir.filePath("to-python.bin"), size, 3);
    TOurSide Us(Server.Port, "oursend");
    QVERIFY(Us.Registered());
    QTemporaryDir In;
    TPython Peer({QString::number(Server.Port), "pyrecv", "receive", In.path()});
    QVERIFY2(Peer.Said("ready", 10000), Peer.Out);
    TDccTransfer Sender;
    QString Error;
    // Offered at the address the IRC server sees us at.
    QVERIFY(Sender.StartSending(Source, Us.Engine.Socket->LocalAddress(), Error));
    QCOMPARE(Sender.PeerAddress, QByteArray("127.0.0.1"));
    Us.Engine.CTCPQuery("pyrecv", "DCC SEND", Sender.OfferArgs());
    QVERIFY2(Peer.Said("done " + QByteArray::number(size), 60000), Peer.Out);
    QVERIFY(Await([&] { return Sender.Done; }, 5000));
    QCOMPARE(Sha256(In.filePath("to-python.bin")), Sha256(Source));
}

void TestDcc::pythonSends_data() {
    ourselves_data();
}

void TestDcc::pythonSends() {
    QFETCH(qint64, size);
    const QString Source = MakeFile(Dir.filePath("from-python.bin"), size, 4);
    TOurSide Us(Server.Port, "ourrecv");
    QVERIFY(Us.Registered());
    TPython Peer({QString::number(Server.Port), "pysend", "send", "ourrecv", Source});
    QVERIFY(QTest::qWaitFor([&] { return !Us.Offers.isEmpty(); }, 10000));
    TDccOffer Offer;
    QCOMPARE(ParseDccOffer(Us.Offers.first(), Offer), TDccParse::Valid);
    QCOMPARE(Offer.FileName, QByteArray("FROM-PYTHON.BIN"));
    QCOMPARE(Offer.Size, size);
    TDccTransfer Receiver;
    QString Error, Status;
    Receiver.OnStatus = [&](const QString& S) { Status = S; };
    QVERIFY(Receiver.StartReceiving(Offer, Dir.filePath("from-python.out"), Error));
    QVERIFY2(Peer.Said("done " + QByteArray::number(size), 60000), Peer.Out);
    QTRY_COMPARE(Status, QString("Done Receiving"));
    QCOMPARE(Sha256(Dir.filePath("from-python.out")), Sha256(Source));
}

// weechat accepts offers by itself and saves them as <sender>.<file>.
void TestDcc::weechatReceives() {
    const QString Weechat = QStandardPaths::findExecutable("weechat-headless");
    QVERIFY2(!Weechat.isEmpty(), "weechat-headless is not installed");
    const QString Source = MakeFile(Dir.filePath("to-weechat.bin"), 1000000, 5);
    TOurSide Us(Server.Port, "ourwee");
    QVERIFY(Us.Registered());
    QTemporaryDir Home;
    QDir().mkpath(Home.filePath("in"));
    QProcess Peer;
    Peer.setProcessChannelMode(QProcess::MergedChannels);
    Peer.start(Weechat,
               {"--stdout", "-d", Home.filePath("home"), "-P", "irc,xfer,logger", "-r",
                QString("/set xfer.file.auto_accept_files on;/set xfer.file.download_path %1;"
                        "/server add local 127.0.0.1/%2 -notls;"
                        "/set irc.server.local.nicks wcbot;/connect local")
                    .arg(Home.filePath("in"))
                    .arg(Server.Port)});
    const auto Stop = qScopeGuard([&] {
        Peer.terminate();
        if (!Peer.waitForFinished(3000)) Peer.kill();
    });
    // Registered once the server knows the nick.
    bool Online = false;
    Us.Engine.OnRaw = [&](TIRCClient*, TUser*, const QByteArray& Command, const QByteArray&,
                          bool&) {
        if (Command == "311") Online = true; // WHOIS answer
    };
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     if (!Online) Us.Engine.SendRaw("WHOIS wcbot");
                     return QTest::qWaitFor([&] { return Online; }, 300);
                 },
                 15000),
             Peer.readAll());
    TDccTransfer Sender;
    QString Error;
    QVERIFY(Sender.StartSending(Source, Us.Engine.Socket->LocalAddress(), Error));
    Us.Engine.CTCPQuery("wcbot", "DCC SEND", Sender.OfferArgs());
    QVERIFY2(Await([&] { return Sender.Done; }, 30000), Peer.readAll());
    const QString Saved = Home.filePath("in/ourwee.to-weechat.bin");
    QTRY_COMPARE(Sha256(Saved), Sha256(Source));
}

QTEST_GUILESS_MAIN(TestDcc)
#include "tst_dcc.moc"
