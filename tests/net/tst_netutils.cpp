#include "net/netutils.h"

#include <QTemporaryDir>
#include <QtTest>

class TestNetUtils : public QObject {
    Q_OBJECT
private slots:
    void extractValue_data();
    void extractValue();
    void nextBackslashTokenTwice();
    void nextToken_data();
    void nextToken();
    void addresses_data();
    void addresses();
    void isDottedIP_data();
    void isDottedIP();
    void validPort_data();
    void validPort();
    void urlEncode_data();
    void urlEncode();
    void cleanControlChars();
    void filterChars();
    void textChecksum_data();
    void textChecksum();
    void roundSeconds_data();
    void roundSeconds();
    void base64_data();
    void base64();
    void displayText_data();
    void displayText();
    void openUrlFailure();
    void runProgram();
};

void TestNetUtils::extractValue_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("afterRemove");

    QTest::newRow("middle") << QByteArray("\\a\\1\\b\\2\\c\\3") << QByteArray("b")
                            << QByteArray("2") << QByteArray("\\a\\1\\c\\3");
    QTest::newRow("last") << QByteArray("\\a\\1\\b\\2") << QByteArray("b") << QByteArray("2")
                          << QByteArray("\\a\\1");
    QTest::newRow("absent") << QByteArray("\\a\\1") << QByteArray("x") << QByteArray()
                            << QByteArray("\\a\\1");
    QTest::newRow("empty value") << QByteArray("\\a\\\\b\\2") << QByteArray("a") << QByteArray()
                                 << QByteArray("\\b\\2");
    QTest::newRow("control ends value") << QByteArray("\\a\\xy\x01z\\b\\2") << QByteArray("a")
                                        << QByteArray("xy") << QByteArray("\x01z\\b\\2");
    QTest::newRow("first occurrence wins")
        << QByteArray("\\a\\1\\a\\2") << QByteArray("a") << QByteArray("1") << QByteArray("\\a\\2");
    // A value that looks like a key is found first: lookups see the whole text.
    QTest::newRow("value named like a key")
        << QByteArray("\\gametype\\mapname\\mapname\\dm1") << QByteArray("mapname")
        << QByteArray("mapname") << QByteArray("\\gametype\\dm1");
    QTest::newRow("case sensitive") << QByteArray("\\Name\\1\\name\\2") << QByteArray("name")
                                    << QByteArray("2") << QByteArray("\\Name\\1");
    QTest::newRow("key at end without value")
        << QByteArray("\\a\\1\\b\\") << QByteArray("b") << QByteArray() << QByteArray("\\a\\1");
}

void TestNetUtils::extractValue() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, afterRemove);

    QCOMPARE(GetValue(text, name), value);
    QByteArray Kept = text;
    QCOMPARE(ExtractValue(Kept, name, false), value);
    QCOMPARE(Kept, text);
    QByteArray Cut = text;
    QCOMPARE(ExtractValue(Cut, name, true), value);
    QCOMPARE(Cut, afterRemove);
}

void TestNetUtils::nextBackslashTokenTwice() {
    QByteArray Text = "\\a\\b\\c";
    QCOMPARE(NextBackslashToken(Text), QByteArray("a"));
    QCOMPARE(NextBackslashToken(Text), QByteArray("b"));
    QCOMPARE(Text, QByteArray("\\c"));
    QCOMPARE(NextBackslashToken(Text), QByteArray("c"));
    QCOMPARE(Text, QByteArray());
}

void TestNetUtils::nextToken_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArray>("rest");
    QTest::newRow("no delimiter") << QByteArray("abc") << QByteArray() << QByteArray();
    QTest::newRow("delimiter last") << QByteArray("abc,") << QByteArray() << QByteArray();
    QTest::newRow("to end") << QByteArray("x,abc") << QByteArray("abc") << QByteArray();
    QTest::newRow("stops before next") << QByteArray(",a,b") << QByteArray("a") << QByteArray(",b");
    QTest::newRow("empty token") << QByteArray(",,b") << QByteArray() << QByteArray(",b");
}

void TestNetUtils::nextToken() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, token);
    QFETCH(QByteArray, rest);
    QCOMPARE(NextToken(text, ','), token);
    QCOMPARE(text, rest);
}

void TestNetUtils::addresses_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("port");
    QTest::newRow("no port") << QByteArray("10.0.0.1") << QByteArray("10.0.0.1")
                             << QByteArray("1025");
    QTest::newRow("port") << QByteArray("10.0.0.1:7778") << QByteArray("10.0.0.1")
                          << QByteArray("7778");
    QTest::newRow("not a number") << QByteArray("10.0.0.1:x") << QByteArray("10.0.0.1")
                                  << QByteArray("1025");
    QTest::newRow("empty port") << QByteArray("10.0.0.1:") << QByteArray("10.0.0.1")
                                << QByteArray("1025");
    QTest::newRow("overflow") << QByteArray("h:99999999999") << QByteArray("h")
                              << QByteArray("1025");
    QTest::newRow("second colon") << QByteArray("h:1:2") << QByteArray("h") << QByteArray("1025");
}

void TestNetUtils::addresses() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, port);
    QCOMPARE(HostOf(text), host);
    QCOMPARE(PortOf(text, "1025"), port);
}

void TestNetUtils::isDottedIP_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("dotted");
    QTest::newRow("with port") << QByteArray("10.0.0.1:7778") << true;
    QTest::newRow("bare") << QByteArray("10.0.0.1") << true;
    QTest::newRow("leading zero") << QByteArray("010.0.0.1") << false;
    QTest::newRow("zero first") << QByteArray("0.1.2.3:7778") << false;
    QTest::newRow("two dots") << QByteArray("10.0.0") << false;
    QTest::newRow("two dots and port") << QByteArray("10.0.0:7778") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("letters") << QByteArray("a.b.c.d") << false;
    QTest::newRow("range not checked") << QByteArray("999.1.1.1") << true;
}

void TestNetUtils::isDottedIP() {
    QFETCH(QByteArray, text);
    QFETCH(bool, dotted);
    QCOMPARE(IsDottedIP(text), dotted);
}

void TestNetUtils::validPort_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("7777") << QByteArray("7777") << true;
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("65535") << QByteArray("65535") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("65536") << QByteArray("65536") << false;
    QTest::newRow("sign") << QByteArray("+80") << false;
    QTest::newRow("argument") << QByteArray("7777 +exec") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestNetUtils::validPort() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValidPort(text), valid);
}

void TestNetUtils::urlEncode_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("blank and ampersand") << QByteArray("a b&c") << QByteArray("a%20b%26c");
    QTest::newRow("alnum kept") << QByteArray("AZaz09") << QByteArray("AZaz09");
    QTest::newRow("high bytes and separators")
        << QByteArray("\xe9|-_.") << QByteArray("%E9%7C%2D%5F%2E");
    QTest::newRow("nul") << QByteArray("a\0b", 3) << QByteArray("a%00b");
}

void TestNetUtils::urlEncode() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, encoded);
    QCOMPARE(UrlEncode(text), encoded);
}

void TestNetUtils::cleanControlChars() {
    const QByteArray Text("a\tb\x92"
                          "c\x7f"
                          "d\x91\x93\xa0\xa1",
                          11);
    QCOMPARE(CleanControlChars(Text, false), QByteArray("a b\x92"
                                                        "c d\x91  \xa1"));
    QCOMPARE(CleanControlChars(Text, true), QByteArray("ab\x92"
                                                       "cd\x91\xa1"));
}

void TestNetUtils::filterChars() {
    TCharSet Set;
    Set.set('x');
    Set.set(0);
    QCOMPARE(FilterChars(QByteArray("axb\0c", 5), false, Set, '-'), QByteArray("a-b-c"));
    QCOMPARE(FilterChars(QByteArray("axb\0c", 5), true, Set, '-'), QByteArray("abc"));
}

void TestNetUtils::textChecksum_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint32>("sum");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("abc") << QByteArray("abc") << 300;
    // Positions wrap at 256: byte 256 adds 0, byte 257 adds 1.
    QTest::newRow("257 zeros") << QByteArray(257, '\0') << qint32(255 * 256 / 2 + 0 + 1);
    QTest::newRow("high bytes unsigned") << QByteArray("\xff") << 256;
}

void TestNetUtils::textChecksum() {
    QFETCH(QByteArray, text);
    QFETCH(qint32, sum);
    QCOMPARE(TextChecksum(text), sum);
}

void TestNetUtils::roundSeconds_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("rounded");
    QTest::newRow("12.5") << 12.5 << 12;
    QTest::newRow("12.6") << 12.6 << 13;
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("0.4") << 0.4 << 0;
    QTest::newRow("59.7") << 59.7 << 60;
    QTest::newRow("125") << 125.0 << 125;
    QTest::newRow("negative") << -3.0 << 0;
    QTest::newRow("huge") << 1e12 << 2147483647;
    QTest::newRow("nan") << std::nan("") << 0;
}

void TestNetUtils::roundSeconds() {
    QFETCH(double, seconds);
    QFETCH(int, rounded);
    QCOMPARE(RoundSeconds(seconds), rounded);
}

void TestNetUtils::base64_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("encoded");
    // Standard vectors, with a short last group completed by zero bytes and never padded.
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("f") << QByteArray("f") << QByteArray("ZgAA");
    QTest::newRow("fo") << QByteArray("fo") << QByteArray("Zm8A");
    QTest::newRow("foo") << QByteArray("foo") << QByteArray("Zm9v");
    QTest::newRow("foobar") << QByteArray("foobar") << QByteArray("Zm9vYmFy");
    QTest::newRow("high bits") << QByteArray("\xfb\xff\xbf") << QByteArray("+/+/");
}

void TestNetUtils::base64() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, encoded);
    QCOMPARE(
        Base64Encode(reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size())),
        encoded);
}

void TestNetUtils::displayText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Alpha") << QStringLiteral("Alpha");
    QTest::newRow("utf-8") << QByteArray("Caf\xc3\xa9") << QStringLiteral("Café");
    QTest::newRow("windows-1252") << QByteArray("Caf\xe9 \x80 \x93x\x94")
                                  << QStringLiteral("Café € “x”");
    QTest::newRow("unassigned byte") << QByteArray("a\x81") << QString::fromUtf16(u"a\u0081");
}

void TestNetUtils::displayText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DisplayText(bytes), text);
}

void TestNetUtils::openUrlFailure() {
    // Without a desktop the open fails; the message carries the address with blanks as "+".
    QStringList Messages;
    SetOpenURLFailureHandler([&](const QString& M) { Messages << M; });
    OpenURL("http://example.invalid/a b");
    SetOpenURLFailureHandler(nullptr);
    QCOMPARE(Messages, QStringList{"Unable to launch web browser - http://example.invalid/a+b"});
}

void TestNetUtils::runProgram() {
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());

    // Waited for: the exit code comes back, and the program runs in the given folder.
    const TRunResult Waited =
        RunProgram("/bin/sh", {"-c", "pwd > where.txt; exit 3"}, Dir.path(), true);
    QVERIFY(Waited.Ok);
    QCOMPARE(Waited.Value, 3);
    QFile Where(Dir.filePath("where.txt"));
    QVERIFY(Where.open(QIODevice::ReadOnly));
    QCOMPARE(QFileInfo(QString::fromUtf8(Where.readAll().trimmed())).canonicalFilePath(),
             QFileInfo(Dir.path()).canonicalFilePath());

    // Detached: a process id; arguments reach the program untouched by any shell.
    const QString Marker = Dir.filePath("$HOME;touch x");
    const TRunResult Detached = RunProgram("/usr/bin/touch", {Marker}, Dir.path());
    QVERIFY(Detached.Ok);
    QVERIFY(Detached.Value > 0);
    QTRY_VERIFY(QFile::exists(Marker));
    QVERIFY(!QFile::exists(Dir.filePath("x")));

    const TRunResult Missing = RunProgram(Dir.filePath("no-such-program"), {});
    QVERIFY(!Missing.Ok);
    QCOMPARE(Missing.Error, QString("Failed to execute program.  Error Code 2"));

    QFile NotExecutable(Dir.filePath("plain.txt"));
    QVERIFY(NotExecutable.open(QIODevice::WriteOnly));
    NotExecutable.close();
    const TRunResult Denied = RunProgram(NotExecutable.fileName(), {});
    QVERIFY(!Denied.Ok);
    QCOMPARE(Denied.Error, QString("Failed to execute program.  Error Code 13"));
}

QTEST_GUILESS_MAIN(TestNetUtils)
#include "tst_netutils.moc"
