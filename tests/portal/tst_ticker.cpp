// The news ticker's document: lines, "REG" sections, link lines, rotation and clicks.
#include "portal/ticker.h"

#include <QtTest>

using TLines = QList<QByteArray>;

class TestTicker : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void linkLines_data();
    void linkLines();
    void rotation_data();
    void rotation();
    void newDocumentStartsAtTheTop();
    void clicks();
    void clickWithoutLines();
};

void TestTicker::load_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TLines>("lines");
    QTest::addColumn<bool>("any");
    QTest::newRow("three lines, no separator")
        << QByteArray("one\r\ntwo\r\nthree\r\n") << TLines{"one", "two", "three"} << true;
    QTest::newRow("line feeds only, no final break")
        << QByteArray("one\ntwo\nthree") << TLines{"one", "two", "three"} << true;
    QTest::newRow("carriage returns only")
        << QByteArray("one\rtwo\r") << TLines{"one", "two"} << true;
    QTest::newRow("empty lines count")
        << QByteArray("one\r\n\r\n\ntwo") << TLines{"one", "", "", "two"} << true;
    QTest::newRow("last line REG") << QByteArray("one\r\ntwo\r\nREG\r\n") << TLines{} << true;
    QTest::newRow("five lines, second and fourth REG")
        << QByteArray("one\r\nREG\r\nthree\r\nREG\r\nfive\r\n") << TLines{"five"} << true;
    QTest::newRow("REG first") << QByteArray("REG\nnews\nhttp://x.example/")
                               << TLines{"news", "http://x.example/"} << true;
    QTest::newRow("only exactly REG separates")
        << QByteArray("one\nreg\nREG \n REG\nREGS") << TLines{"one", "reg", "REG ", " REG", "REGS"}
        << true;
    QTest::newRow("empty document") << QByteArray() << TLines{""} << false;
    QTest::newRow("a single line break") << QByteArray("\r\n") << TLines{""} << true;
    QTest::newRow("bytes beyond ASCII stay as they are")
        << QByteArray("caf\xE9\r\n\xC3\xA9t\xC3\xA9") << TLines{"caf\xE9", "\xC3\xA9t\xC3\xA9"}
        << true;
}

void TestTicker::load() {
    QFETCH(QByteArray, text);
    QFETCH(TLines, lines);
    QFETCH(bool, any);
    TTicker Ticker;
    Ticker.Lines = {"old", "lines"};
    Ticker.Current = 1;
    QCOMPARE(Ticker.Load(text), any);
    QCOMPARE(Ticker.Lines, lines);
    QCOMPARE(Ticker.Current, 0);
    QCOMPARE(Ticker.HasLine(), !lines.isEmpty());
    QCOMPARE(Ticker.CurrentLine(), lines.value(0));
}

void TestTicker::linkLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("link");
    QTest::newRow("lower case") << QByteArray("http://news.example/a") << true;
    QTest::newRow("upper case") << QByteArray("HTTP://NEWS.EXAMPLE/") << true;
    QTest::newRow("mixed case") << QByteArray("hTtP://x") << true;
    QTest::newRow("prefix alone") << QByteArray("http://") << true;
    QTest::newRow("leading blank") << QByteArray(" http://news.example/") << false;
    QTest::newRow("address later in the line") << QByteArray("see http://x.example/") << false;
    QTest::newRow("secure address") << QByteArray("https://news.example/") << false;
    QTest::newRow("prefix cut short") << QByteArray("http:/") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestTicker::linkLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, link);
    QCOMPARE(TTicker::IsLinkLine(line), link);
    TTicker Ticker;
    Ticker.Load("plain\n" + line);
    Ticker.Advance();
    QCOMPARE(Ticker.CurrentIsLink(), link);
}

void TestTicker::rotation_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("shown"); // Current after each Advance
    QTest::addColumn<QList<bool>>("moved");
    QTest::newRow("three lines go round")
        << QByteArray("a\nb\nc") << QList<int>{1, 2, 0, 1} << QList<bool>{true, true, true, true};
    QTest::newRow("one line stays")
        << QByteArray("a") << QList<int>{0, 0} << QList<bool>{false, false};
    QTest::newRow("no lines") << QByteArray("x\nREG") << QList<int>{0, 0}
                              << QList<bool>{false, false};
}

void TestTicker::rotation() {
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, shown);
    QFETCH(QList<bool>, moved);
    TTicker Ticker;
    Ticker.Load(text);
    for (int I = 0; I < shown.size(); ++I) {
        QCOMPARE(Ticker.Advance(), moved[I]);
        QCOMPARE(Ticker.Current, shown[I]);
    }
}

void TestTicker::newDocumentStartsAtTheTop() {
    TTicker Ticker;
    Ticker.Load("a\nb\nc\nd");
    Ticker.Advance();
    Ticker.Advance();
    QCOMPARE(Ticker.CurrentLine(), QByteArray("c"));
    // A shorter document: the old position would be past its end.
    Ticker.Load("x\ny");
    QCOMPARE(Ticker.CurrentLine(), QByteArray("x"));
    // A line index left past the lines is safe to show and to move on from.
    Ticker.Current = 7;
    QVERIFY(!Ticker.HasLine());
    QCOMPARE(Ticker.CurrentLine(), QByteArray());
    QVERIFY(!Ticker.CurrentIsLink());
    QVERIFY(Ticker.Advance());
    QCOMPARE(Ticker.Current, 0);
}

void TestTicker::clicks() {
    TTicker Ticker;
    Ticker.Load("Plain news\nhttp://news.example/more?id=3");
    QByteArray Address;
    // A plain line stops the rotation, and the next click starts it again.
    QCOMPARE(Ticker.Click(Address), TTicker::ckToggle);
    QVERIFY(!Ticker.Active);
    QCOMPARE(Ticker.Click(Address), TTicker::ckToggle);
    QVERIFY(Ticker.Active);
    QVERIFY(Address.isEmpty());
    // A link line opens, and leaves the rotation as it is.
    Ticker.Advance();
    QCOMPARE(Ticker.Click(Address), TTicker::ckOpen);
    QCOMPARE(Address, QByteArray("http://news.example/more?id=3"));
    QVERIFY(Ticker.Active);
    Ticker.Active = false;
    QCOMPARE(Ticker.Click(Address), TTicker::ckOpen);
    QVERIFY(!Ticker.Active);
}

void TestTicker::clickWithoutLines() {
    TTicker Ticker;
    QVERIFY(Ticker.Lines.isEmpty());
    QByteArray Address;
    QCOMPARE(Ticker.Click(Address), TTicker::ckToggle);
    QVERIFY(!Ticker.Active);
    Ticker.Load("http://only.example/\nREG");
    QCOMPARE(Ticker.Click(Address), TTicker::ckToggle);
    QVERIFY(Ticker.Active);
    QVERIFY(Address.isEmpty());
}

QTEST_GUILESS_MAIN(TestTicker)
#include "tst_ticker.moc"
