// RTF messages as the News window shows them: the HTML is loaded into a text document, as the
// window does, and the visible text and its formatting are read back.
#include "portal/rtfhtml.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {

QString VisibleText(const QTextDocument& Document) {
    QString Text = Document.toRawText();
    Text.replace(QChar::LineSeparator, '\n').replace(QChar::ParagraphSeparator, '\n');
    return Text;
}

// "kind:text" or "kind:value:text": the first character of text has that formatting.
QString CheckFormat(const QTextDocument& Document, const QString& Mark) {
    const QStringList Parts = Mark.split(':');
    const QString Kind = Parts.first();
    const QString Text = Parts.last();
    const QString Value = Parts.size() > 2 ? Parts[1] : QString();
    const qsizetype At = VisibleText(Document).indexOf(Text);
    if (At < 0) return Mark + ": text not found";
    QTextCursor Cursor(const_cast<QTextDocument*>(&Document));
    Cursor.setPosition(int(At) + 1); // the format of the character before the cursor
    const QTextCharFormat F = Cursor.charFormat();
    const bool Bold = F.fontWeight() >= QFont::Bold;
    bool Ok = false;
    if (Kind == "bold") Ok = Bold;
    if (Kind == "italic") Ok = F.fontItalic();
    if (Kind == "underline") Ok = F.fontUnderline();
    if (Kind == "color")
        Ok = F.hasProperty(QTextFormat::ForegroundBrush) && F.foreground().color().name() == Value;
    if (Kind == "size") Ok = F.fontPointSize() == Value.toDouble();
    if (Kind == "plain")
        Ok = !Bold && !F.fontItalic() && !F.fontUnderline() &&
             !F.hasProperty(QTextFormat::ForegroundBrush) &&
             !F.hasProperty(QTextFormat::FontPointSize);
    return Ok ? QString() : Mark + ": not so";
}

} // namespace

class TestRtfHtml : public QObject {
    Q_OBJECT
private slots:
    void samples_data();
    void samples();
    void hostile_data();
    void hostile();
};

void TestRtfHtml::samples_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("marks");

    QTest::newRow("plain") << QByteArray("{\\rtf1\\ansi Hello  world}") << "Hello  world"
                           << QStringList{"plain:Hello"};
    QTest::newRow("bold") << QByteArray("{\\rtf1\\ansi Say {\\b loud} then \\b on\\b0  off}")
                          << "Say loud then on off"
                          << QStringList{"plain:Say", "bold:loud", "plain: then", "bold:on",
                                         "plain:off"};
    QTest::newRow("italic, underline, plain")
        << QByteArray("{\\rtf1 \\i slanted\\i0  \\ul under\\ulnone  \\b\\i\\ul all\\plain  none}")
        << "slanted under all none"
        << QStringList{"italic:slanted", "underline:under", "bold:all",
                       "italic:all",     "underline:all",   "plain:none"};
    QTest::newRow("colour table")
        << QByteArray("{\\rtf1{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue64;}"
                      "\\cf1 red \\cf2 green\\cf0  auto \\cf9 nine}")
        << "red green auto nine"
        << QStringList{"color:#ff0000:red", "color:#008040:green", "plain:auto", "plain:nine"};
    QTest::newRow("sizes in half-points")
        << QByteArray("{\\rtf1\\fs28 big {\\fs21 small} big again}") << "big small big again"
        << QStringList{"size:14:big", "size:10.5:small", "size:14:again"};
    QTest::newRow("breaks and tabs")
        << QByteArray("{\\rtf1 one\\par two\\line three\\tab four\\par\r\nfive\\\r\nsix}")
        << "one\ntwo\nthree\tfour\nfive\nsix" << QStringList{};
    QTest::newRow("escaped characters and markup")
        << QByteArray("{\\rtf1 a\\\\b \\{c\\} <script>x</script> &amp; \"q\"}")
        << "a\\b {c} <script>x</script> &amp; \"q\"" << QStringList{"plain:<script>"};
    QTest::newRow("Windows-1252 escapes")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252 Caf\\'e9 \\'80 5 \\'93q\\'94 \\'c3\\'a9}")
        << QString::fromUtf8("Café € 5 “q” Ã©") << QStringList{};
    QTest::newRow("unicode with skip counts")
        << QByteArray("{\\rtf1\\ansi \\u8364? \\uc2\\u1046\\'3f\\'3fx {\\uc0\\u1046}y "
                      "\\uc1\\u-10179?\\u-8704?}")
        << QString::fromUtf8("€ Жx Жy 😀") << QStringList{};
    QTest::newRow("lone surrogate") << QByteArray("{\\rtf1 a\\u-10179?b}")
                                    << QString::fromUtf8("a\xEF\xBF\xBD"
                                                         "b")
                                    << QStringList{};
    QTest::newRow("tables and destinations left out")
        << QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
                      "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret}{\\author Me}}"
                      "{\\*\\generator Writer 1.0;}{\\*\\unknowndest hidden}"
                      "{\\pict\\pngblip 89504e47}\\f0 Shown "
                      "{\\field{\\*\\fldinst HYPERLINK \"http://x.example/\"}{\\fldrslt link}}}")
        << "Shown link" << QStringList{"plain:Shown"};
    QTest::newRow("unknown control words")
        << QByteArray("{\\rtf1 \\foo \\bar12 visible \\qux-5 text "
                      "\\zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz end\\|\\:}")
        << "visible text end" << QStringList{};
    QTest::newRow("special characters")
        << QByteArray("{\\rtf1 a\\~b\\_c\\-d\\emdash e\\bullet\\lquote f\\rdblquote}")
        << QString::fromUtf8("a\u00A0b\u2011cd\u2014e\u2022\u2018f\u201D") << QStringList{};
    QTest::newRow("plain bytes in UTF-8 and in Windows-1252")
        << QByteArray("{\\rtf1 Gr\xC3\xBC\xC3\x9F"
                      "e {\\b na\xEFve}}")
        << QString::fromUtf8("Grüße naïve") << QStringList{"bold:naïve"};
    QTest::newRow("source line breaks are not text")
        << QByteArray("{\\rtf1 line\r\none\\par\r\nnext}") << "lineone\nnext" << QStringList{};
    QTest::newRow("binary data skipped, braces in it too")
        << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << "ab" << QStringList{"plain:b"};
    QTest::newRow("unbalanced and truncated")
        << QByteArray("}}{\\rtf1 x\\'zz {\\b y\\'4") << "xzz y4" << QStringList{"bold:y"};
    QTest::newRow("bad escape at the very end")
        << QByteArray("{\\rtf1 z}\\") << "z" << QStringList{};
}

void TestRtfHtml::samples() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(QStringList, marks);
    QTextDocument Document;
    Document.setHtml(RtfToHtml(rtf));
    QCOMPARE(VisibleText(Document), text);
    for (const QString& Mark : marks) {
        const QString Failure = CheckFormat(Document, Mark);
        QVERIFY2(Failure.isEmpty(), qPrintable(Failure));
    }
}

void TestRtfHtml::hostile_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    const int Deep = 1'000'000;
    QTest::newRow("a million nested groups")
        << QByteArray(Deep, '{') + "deep" + QByteArray(Deep, '}') + "after"
        << "deepafter";
    QTest::newRow("never closed") << QByteArray(200'000, '{') + "x"
                                  << "x";
    QByteArray Formats;
    for (int I = 0; I < 100'000; ++I)
        Formats += "{\\b\\i";
    QTest::newRow("formatting at every level") << Formats + " end"
                                               << "end";
    QTest::newRow("huge binary length") << QByteArray("{\\rtf1 a\\bin999999999999 xyz}") << "a";
    QTest::newRow("huge numbers")
        << QByteArray("{\\rtf1\\fs99999999999999999999 x\\u99999999?y {\\uc99999\\u65}z\\cf-7 w}")
        << "xy Azw";
    QByteArray Big;
    for (int I = 0; I < 100'000; ++I)
        Big += "word\\par ";
    QTest::newRow("a megabyte") << "{\\rtf1 " + Big + "end}"
                                << QString("word\n").repeated(100'000) + "end";
    QTest::newRow("control word without end")
        << QByteArray("{\\rtf1 a\\") + QByteArray(5000, 'q') << "a";
}

void TestRtfHtml::hostile() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    const QString Html = RtfToHtml(rtf);
    QTextDocument Document;
    Document.setHtml(Html);
    QCOMPARE(VisibleText(Document), text);
}

QTEST_MAIN(TestRtfHtml)
#include "tst_rtfhtml.moc"
