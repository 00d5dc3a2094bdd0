// Banner sniffing and decoding: GIFs (behind junk too, interlaced, animated), JPEGs, and
// everything else refused cleanly, broken and oversized pictures included.
#include "portal/banner.h"

#include "gifwriter.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using namespace gifwriter;

namespace {
const QList<QRgb> Palette{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(250, 250, 10),
                          qRgb(0, 0, 0)};

QByteArray SimpleGif(QSize Size = {46, 12}) {
    return MakeGif(Size, Palette, {Frame(QRect(QPoint(0, 0), Size), Pattern(Size))});
}

QImage Photo(QSize Size = {468, 60}) {
    QImage Image(Size, QImage::Format_RGB32);
    for (int Y = 0; Y < Size.height(); ++Y)
        for (int X = 0; X < Size.width(); ++X)
            Image.setPixel(X, Y, qRgb(X * 255 / Size.width(), Y * 255 / Size.height(), 128));
    return Image;
}

QByteArray Written(const QImage& Image, const char* Format, const QString& Comment = {}) {
    QBuffer Buffer;
    Buffer.open(QIODevice::WriteOnly);
    QImageWriter Writer(&Buffer, Format);
    Writer.setQuality(95);
    if (!Comment.isEmpty()) Writer.setText("Comment", Comment);
    Writer.write(Image);
    return Buffer.data();
}

int MaxChannelDifference(const QImage& A, const QImage& B) {
    const QImage X = A.convertToFormat(QImage::Format_RGB32);
    const QImage Y = B.convertToFormat(QImage::Format_RGB32);
    int Worst = 0;
    for (int Row = 0; Row < X.height(); ++Row)
        for (int Col = 0; Col < X.width(); ++Col) {
            const QRgb P = X.pixel(Col, Row), Q = Y.pixel(Col, Row);
            Worst = std::max({Worst, qAbs(qRed(P) - qRed(Q)), qAbs(qGreen(P) - qGreen(Q)),
                              qAbs(qBlue(P) - qBlue(Q))});
        }
    return Worst;
}

// Height and width of a JPEG's frame header, patched.
QByteArray WithJpegSize(QByteArray Jpeg, int Width, int Height) {
    const qsizetype Sof = Jpeg.indexOf("\xFF\xC0");
    if (Sof < 0) return {};
    Jpeg[Sof + 5] = char(Height >> 8), Jpeg[Sof + 6] = char(Height);
    Jpeg[Sof + 7] = char(Width >> 8), Jpeg[Sof + 8] = char(Width);
    return Jpeg;
}
} // namespace

class TestBanner : public QObject {
    Q_OBJECT
private slots:
    void sniff_data();
    void sniff();
    void gifPixels_data();
    void gifPixels();
    void testWriterAgreesWithQt();
    void jpegPixels_data();
    void jpegPixels();
    void animation();
    void brokenLaterFrameKeepsEarlierOnes();
    void decodedLimitEndsAnimation();
    void refused_data();
    void refused();
    void mangledDataFailsCleanly_data();
    void mangledDataFailsCleanly();
    void suffixes();
    void period_data();
    void period();
};

void TestBanner::sniff_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("offset");
    const QByteArray Gif = SimpleGif();
    QTest::newRow("GIF at the start") << Gif << int(bfGif) << 0;
    QTest::newRow("GIF after 20 bytes of text") << QByteArray(20, 'x') + Gif << int(bfGif) << 20;
    QTest::newRow("GIF after 149 bytes") << QByteArray(149, ' ') + Gif << int(bfGif) << 149;
    QTest::newRow("GIF after 150 bytes") << QByteArray(150, ' ') + Gif << int(bfNone) << 0;
    QTest::newRow("JPEG") << Written(Photo(), "JPEG") << int(bfJpeg) << 0;
    QTest::newRow("JPEG with GIF in its comment")
        << Written(Photo(), "JPEG", "GIF89a look-alike") << int(bfJpeg) << 0;
    QTest::newRow("PNG") << Written(Photo(), "PNG") << int(bfNone) << 0;
    QTest::newRow("HTML") << QByteArray("<html><body>No ad today</body></html>") << int(bfNone)
                          << 0;
    QTest::newRow("empty") << QByteArray() << int(bfNone) << 0;
    QTest::newRow("two bytes") << QByteArray("GI") << int(bfNone) << 0;
    QTest::newRow("JPEG start cut short") << QByteArray("\xFF\xD8") << int(bfNone) << 0;
    QTest::newRow("GIF only in the last three bytes") << QByteArray("abGIF") << int(bfNone) << 0;
}

void TestBanner::sniff() {
    QFETCH(QByteArray, data);
    QFETCH(int, format);
    QFETCH(int, offset);
    if (QTest::currentDataTag() == QLatin1String("JPEG with GIF in its comment"))
        QVERIFY(data.indexOf("GIF") > 0 && data.indexOf("GIF") < 150);
    const TBannerSniff Sniff = SniffBanner(data);
    QCOMPARE(int(Sniff.Format), format);
    if (format != bfNone) QCOMPARE(Sniff.Offset, qsizetype(offset));
}

void TestBanner::gifPixels_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QImage>("expected");
    const QSize Size(37, 19);
    const QList<uchar> Pixels = Pattern(Size);
    const QImage Plain = Expected(Size, Pixels, Palette);
    QTest::newRow("plain") << SimpleGif(Size) << Plain;
    QTest::newRow("20 bytes of text first")
        << QByteArray("HTTP junk here.....\n") + SimpleGif(Size) << Plain;
    TGifFrame Interlaced = Frame(QRect(QPoint(0, 0), Size), Pixels);
    Interlaced.Interlace = true;
    QTest::newRow("interlaced") << MakeGif(Size, Palette, {Interlaced}) << Plain;
    // Several hundred pixels: the writer's clear codes come up many times.
    const QSize Wide(468, 60);
    QTest::newRow("banner sized") << SimpleGif(Wide) << Expected(Wide, Pattern(Wide), Palette);
    const QList<QRgb> Local{qRgb(1, 2, 3), qRgb(40, 50, 60), qRgb(200, 100, 0), qRgb(9, 9, 9)};
    QTest::newRow("local colour table, no global one")
        << MakeGif(Size, {}, {Frame(QRect(QPoint(0, 0), Size), Pixels, Local)})
        << Expected(Size, Pixels, Local);
    TGifFrame Holes = Frame(QRect(QPoint(0, 0), Size), Pixels);
    Holes.Transparent = 2;
    QImage WithHoles = Plain;
    for (int Y = 0; Y < Size.height(); ++Y)
        for (int X = 0; X < Size.width(); ++X)
            if (Pixels[Y * Size.width() + X] == 2) WithHoles.setPixel(X, Y, 0);
    QTest::newRow("transparent colour") << MakeGif(Size, Palette, {Holes}) << WithHoles;
    // A frame smaller than the screen, partly outside it.
    const QList<uchar> Small = Pattern({10, 8});
    QImage Placed(Size, QImage::Format_ARGB32);
    Placed.fill(0);
    for (int Y = 0; Y < 8; ++Y)
        for (int X = 0; X < 10; ++X)
            if (30 + X < Size.width() && 15 + Y < Size.height())
                Placed.setPixel(30 + X, 15 + Y, Palette[Small[Y * 10 + X]]);
    QTest::newRow("frame partly off the screen")
        << MakeGif(Size, Palette, {Frame(QRect(30, 15, 10, 8), Small)}) << Placed;
    QTest::newRow("screen size 0 takes the frame's")
        << MakeGif({0, 0}, Palette, {Frame(QRect(QPoint(0, 0), Size), Pixels)}) << Plain;
    // Indexes past a short colour table must not read past it: they paint nothing.
    const QList<uchar> Five = Pattern(Size, 5);
    QByteArray Short = MakeGif(Size, Palette, {Frame(QRect(QPoint(0, 0), Size), Five)});
    Short[10] = char(0xF1); // a global table of 4 entries
    Short.remove(13 + 12, 768 - 12);
    QTest::newRow("indexes past a short colour table")
        << Short << Expected(Size, Five, {Palette[0], Palette[1], Palette[2], Palette[3], 0});
}

void TestBanner::gifPixels() {
    QFETCH(QByteArray, data);
    QFETCH(QImage, expected);
    TBannerImage Image;
    QString Error;
    QVERIFY2(DecodeBanner(data, Image, Error), qPrintable(Error));
    QCOMPARE(Image.Frames.size(), 1);
    QCOMPARE(Image.Frames[0].convertToFormat(QImage::Format_ARGB32), expected);
}

// The pictures above are only as good as the GIF writer: Qt's own reader must see the same.
void TestBanner::testWriterAgreesWithQt() {
    const QSize Size(37, 19);
    TGifFrame Interlaced = Frame(QRect(QPoint(0, 0), Size), Pattern(Size));
    Interlaced.Interlace = true;
    const QList<QRgb> Local{qRgb(1, 2, 3), qRgb(40, 50, 60), qRgb(200, 100, 0), qRgb(9, 9, 9)};
    const QImage Plain = Expected(Size, Pattern(Size), Palette);
    const QList<std::pair<QByteArray, QImage>> Cases{
        {SimpleGif(Size), Plain},
        {MakeGif(Size, Palette, {Interlaced}), Plain},
        {SimpleGif({468, 60}), Expected({468, 60}, Pattern({468, 60}), Palette)},
        {MakeGif(Size, {}, {Frame(QRect(QPoint(0, 0), Size), Pattern(Size), Local)}),
         Expected(Size, Pattern(Size), Local)},
    };
    for (const auto& [Gif, Picture] : Cases) {
        const QImage Read = QImage::fromData(Gif, "GIF");
        QVERIFY(!Read.isNull());
        QCOMPARE(Read.convertToFormat(QImage::Format_ARGB32), Picture);
    }
}

void TestBanner::jpegPixels_data() {
    QTest::addColumn<QImage>("picture");
    QTest::newRow("colour") << Photo();
    QTest::newRow("grey") << Photo({120, 30}).convertToFormat(QImage::Format_Grayscale8);
    QTest::newRow("odd size") << Photo({33, 17});
}

void TestBanner::jpegPixels() {
    QFETCH(QImage, picture);
    const QByteArray Jpeg = Written(picture, "JPEG");
    TBannerImage Image;
    QString Error;
    QVERIFY2(DecodeBanner(Jpeg, Image, Error), qPrintable(Error));
    QCOMPARE(Image.Frames.size(), 1);
    QCOMPARE(Image.Frames[0].size(), picture.size());
    // Lossy, but close to what went in.
    QVERIFY(MaxChannelDifference(Image.Frames[0], picture) <= 24);
    QImage Direct;
    QVERIFY(DecodeJpeg(Jpeg, Direct, Error));
    QCOMPARE(Direct, Image.Frames[0]);
}

void TestBanner::animation() {
    const QSize Size(20, 10);
    const QList<uchar> Red(200, 0);
    TGifFrame First = Frame(QRect(0, 0, 20, 10), Red);
    First.Delay = 50;
    // Drawn over the red, then taken away again (disposal to background).
    TGifFrame Second = Frame(QRect(5, 2, 4, 4), QList<uchar>(16, 2));
    Second.Disposal = 2;
    Second.Delay = 0;
    // Drawn, then the picture before it comes back (disposal to previous).
    TGifFrame Third = Frame(QRect(0, 0, 10, 5), QList<uchar>(50, 3));
    Third.Disposal = 3;
    Third.Delay = 7;
    TGifFrame Fourth = Frame(QRect(10, 5, 10, 5), QList<uchar>(50, 1));
    Fourth.Transparent = 1; // all see-through: nothing changes
    TBannerImage Image;
    QString Error;
    QVERIFY2(DecodeBanner(MakeGif(Size, Palette, {First, Second, Third, Fourth}), Image, Error),
             qPrintable(Error));
    QCOMPARE(Image.Frames.size(), 4);
    QCOMPARE(Image.Delays, (QList<int>{500, 100, 70, 100}));
    const auto At = [&](int Frame, int X, int Y) { return Image.Frames[Frame].pixel(X, Y); };
    QCOMPARE(At(0, 6, 3), Palette[0]);
    QCOMPARE(At(1, 6, 3), Palette[2]);
    QCOMPARE(At(1, 0, 0), Palette[0]);
    // The second frame's area went back to transparent before the third was drawn.
    QCOMPARE(At(2, 6, 3), Palette[3]);
    QCOMPARE(At(2, 12, 3), Palette[0]);
    QCOMPARE(At(2, 6, 5), QRgb(0));
    QCOMPARE(At(3, 2, 2), Palette[0]); // the third was undone
    QCOMPARE(At(3, 6, 3), QRgb(0));
    QCOMPARE(At(3, 15, 8), Palette[0]);
}

void TestBanner::brokenLaterFrameKeepsEarlierOnes() {
    const QSize Size(16, 8);
    QByteArray Gif = MakeGif(
        Size, Palette,
        {Frame(QRect(0, 0, 16, 8), Pattern(Size)), Frame(QRect(0, 0, 16, 8), Pattern(Size, 2))},
        false);
    Gif.chop(20);
    TBannerImage Image;
    QString Error;
    QVERIFY2(DecodeBanner(Gif, Image, Error), qPrintable(Error));
    QCOMPARE(Image.Frames.size(), 1);
    QCOMPARE(Image.Frames[0], Expected(Size, Pattern(Size), Palette));
}

void TestBanner::decodedLimitEndsAnimation() {
    // 4 MB of canvas per frame: sixteen frames fill the 64 MB, the rest are dropped.
    const QSize Screen(1024, 1024);
    QList<TGifFrame> Frames;
    for (int I = 0; I < 40; ++I)
        Frames << Frame(QRect(I, I, 1, 1), {uchar(I % 4)});
    TBannerImage Image;
    QString Error;
    QVERIFY2(DecodeBanner(MakeGif(Screen, Palette, Frames), Image, Error), qPrintable(Error));
    QCOMPARE(Image.Frames.size(), int(MaxBannerDecodedBytes / (1024 * 1024 * 4)));
    QCOMPARE(Image.Frames.size(), Image.Delays.size());
}

void TestBanner::refused_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error"); // a part of the error
    const QByteArray Gif = SimpleGif();
    const QByteArray Jpeg = Written(Photo(), "JPEG");
    QTest::newRow("PNG") << Written(Photo(), "PNG") << "Invalid banner graphic";
    QTest::newRow("HTML") << QByteArray("<html>404 Not Found</html>") << "Invalid banner graphic";
    QTest::newRow("GIF after 150 bytes") << QByteArray(150, '.') + Gif << "Invalid banner graphic";
    QTest::newRow("GIF header only") << Gif.left(13) << "GIF";
    QTest::newRow("GIF cut in its colour table") << Gif.left(100) << "GIF";
    QTest::newRow("GIF cut in its pixels") << Gif.left(Gif.size() - 60) << "GIF";
    QTest::newRow("GIF without its last block") << Gif.left(Gif.size() - 3) << "GIF";
    QTest::newRow("GIF stamp, then nothing") << QByteArray("GIF89a") << "GIF";
    QByteArray NoTable = MakeGif({8, 8}, {}, {Frame(QRect(0, 0, 8, 8), Pattern({8, 8}))});
    QTest::newRow("GIF without any colour table") << NoTable << "colour table";
    QTest::newRow("GIF screen too wide")
        << MakeGif({4097, 1}, Palette, {Frame(QRect(0, 0, 1, 1), {0})}) << "too large";
    QTest::newRow("GIF frame too tall")
        << MakeGif({0, 0}, Palette, {Frame(QRect(0, 0, 1, 5000), QList<uchar>(10, 0))})
        << "too large";
    QByteArray Garbage = Gif.left(13 + 768 + 8 + 10);
    Garbage += char(8);
    Garbage += char(40);
    Garbage += QByteArray(40, char(0xFF)); // codes that refer to nothing yet
    Garbage += char(0);
    QTest::newRow("GIF with nonsense codes") << Garbage << "GIF";
    QTest::newRow("GIF past 4 MB")
        << Gif.left(Gif.size() - 1) + QByteArray(MaxBannerBytes, char(0x21)) << "too many bytes";
    QTest::newRow("JPEG cut in half") << Jpeg.left(Jpeg.size() / 2) << "JPEG";
    QTest::newRow("JPEG start only") << QByteArray("\xFF\xD8\xFF") << "JPEG";
    QTest::newRow("JPEG of 5000 x 60") << WithJpegSize(Jpeg, 5000, 60) << "too large";
    QTest::newRow("JPEG of 60 x 5000") << WithJpegSize(Jpeg, 60, 5000) << "too large";
    QByteArray Precision = Jpeg;
    Precision[Precision.indexOf("\xFF\xC0") + 4] = char(12);
    QTest::newRow("JPEG of a precision it does not read") << Precision << "JPEG";
}

void TestBanner::refused() {
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    TBannerImage Image;
    Image.Frames << QImage(1, 1, QImage::Format_RGB32);
    QString Error;
    QVERIFY(!DecodeBanner(data, Image, Error));
    QVERIFY2(Error.contains(error), qPrintable(Error));
    QVERIFY(Image.isNull());
}

void TestBanner::mangledDataFailsCleanly_data() {
    QTest::addColumn<QByteArray>("original");
    QTest::newRow("GIF") << SimpleGif();
    TGifFrame Interlaced = Frame(QRect(0, 0, 46, 12), Pattern({46, 12}));
    Interlaced.Interlace = true;
    QTest::newRow("interlaced GIF") << MakeGif({46, 12}, Palette, {Interlaced, Interlaced});
    QTest::newRow("JPEG") << Written(Photo({64, 32}), "JPEG");
}

// Hostile servers send anything: flipped bytes and cut-off data must give a picture within
// the limits or an error, never a crash.
void TestBanner::mangledDataFailsCleanly() {
    QFETCH(QByteArray, original);
    QRandomGenerator Random(1234);
    int Refused = 0;
    for (int Round = 0; Round < 400; ++Round) {
        QByteArray Data = original;
        const int Flips = 1 + Random.bounded(8);
        for (int I = 0; I < Flips; ++I)
            Data[Random.bounded(int(Data.size()))] = char(Random.bounded(256));
        if (Round % 3 == 0) Data.truncate(Random.bounded(int(Data.size())));
        TBannerImage Image;
        QString Error;
        if (!DecodeBanner(Data, Image, Error)) {
            ++Refused;
            QVERIFY(Image.isNull() && !Error.isEmpty());
            continue;
        }
        QVERIFY(!Image.Frames.isEmpty());
        QCOMPARE(Image.Frames.size(), Image.Delays.size());
        for (const QImage& Frame : Image.Frames)
            QVERIFY(Frame.width() <= MaxBannerSide && Frame.height() <= MaxBannerSide);
    }
    QVERIFY(Refused > 0);
}

void TestBanner::suffixes() {
    const QRegularExpression Form("^\\?\\d+$");
    QByteArray Previous;
    for (int I = 0; I < 200; ++I) {
        const QByteArray Suffix = NewBannerSuffix(Previous);
        QVERIFY2(Form.match(QString::fromLatin1(Suffix)).hasMatch(), Suffix.constData());
        QVERIFY(Suffix != Previous);
        Previous = Suffix;
    }
}

void TestBanner::period_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("period");
    QTest::newRow("default") << 300000 << 300000;
    QTest::newRow("zero from the message server") << 0 << MinBannerInterval;
    QTest::newRow("negative") << -5 << MinBannerInterval;
    QTest::newRow("one millisecond") << 1 << MinBannerInterval;
    QTest::newRow("just long enough") << MinBannerInterval << MinBannerInterval;
}

void TestBanner::period() {
    QFETCH(int, interval);
    QFETCH(int, period);
    QCOMPARE(BannerPeriod(interval), period);
}

QTEST_GUILESS_MAIN(TestBanner)
#include "tst_banner.moc"
