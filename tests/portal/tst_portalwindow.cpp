// The banner strip and the news ticker of the main window, offscreen, against a local web
// server that stands in for the ad server and the ticker document.
#include "config/settings.h"
#include "shell/mainwindowfixture.h"
#include "ui/config/config_main.h"

#include "gifwriter.h"

#include "net/http.h"
#include "net/netutils.h"
#include "peers/minihttp.h"
#include "portal/portalfetcher.h"
#include "ui/shell/newsticker.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImageWriter>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVariantAnimation>

namespace {
const QString DirectKey = "Software\\Scoutly\\tarnwick\\morrow";
const QByteArray ClickPrefix = "http://click.example/go";

// A 468 x 60 GIF in four colours; each further frame shifts the colours and stays 20 ms.
QByteArray BannerGif(QList<QImage>* Pictures = nullptr, int Frames = 1) {
    using namespace gifwriter;
    const QSize Size(468, 60);
    const QList<QRgb> Colors{qRgb(200, 0, 0), qRgb(0, 160, 0), qRgb(0, 0, 220), qRgb(255, 255, 0)};
    QList<TGifFrame> List;
    for (int I = 0; I < Frames; ++I) {
        List << Frame(QRect(QPoint(0, 0), Size), Pattern(Size, 4, I));
        List.last().Delay = 2;
        if (Pictures) *Pictures << Expected(Size, List.last().Pixels, Colors);
    }
    return MakeGif(Size, Colors, List);
}

QByteArray Encoded(const char* Format) {
    QImage Image(468, 60, QImage::Format_RGB32);
    Image.fill(qRgb(30, 90, 200));
    QBuffer Buffer;
    Buffer.open(QIODevice::WriteOnly);
    QImageWriter(&Buffer, Format).write(Image);
    return Buffer.data();
}

int PixelsOf(const QImage& Image, QColor Color) {
    int Count = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            Count += Image.pixelColor(X, Y).rgb() == Color.rgb();
    return Count;
}
} // namespace

class TestPortalWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void bannerShown_data();
    void bannerShown();
    void animatedBanner();
    void suffixesAndClick();
    void disableBannersHidesAtOnce();
    void bannerArrivingAfterDisableStaysHidden();
    void hungBannerAbandoned();
    void minimisedWindowSkips();
    void tickerRotatesAndOpensLinks();
    void tickerDocuments_data();
    void tickerDocuments();
    void hungTickerFetchAborted();

private:
    bool Start();
    // Lets the timer tick at once and waits until the fetch it starts has ended.
    bool TickBanner();
    bool TickTicker();
    std::unique_ptr<TMainWindowFixture> F;
    std::unique_ptr<TMiniHttpServer> Web;
    Tsc_form* Main = nullptr;
    QStringList Opened;
};

void TestPortalWindow::initTestCase() {
    SetOpenURLFailureHandler([this](const QString& Message) { Opened << Message; });
}

void TestPortalWindow::init() {
    Opened.clear();
    F = std::make_unique<TMainWindowFixture>();
    Web = std::make_unique<TMiniHttpServer>();
    QVERIFY(Start());
}

void TestPortalWindow::cleanup() {
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    Main = nullptr;
    F.reset();
    Web.reset();
}

bool TestPortalWindow::Start() {
    if (!Web->Listen()) return false;
    // The link table's banner and ticker entries, as a message-of-the-day reply stores them.
    qputenv("SCOUTLY_HOME", F->Home.path().toUtf8());
    {
        TRegistry Registry;
        Registry.WriteString(DirectKey, "bannertext", Web->Url("/banner"));
        Registry.WriteString(DirectKey, "bannerurl", QString::fromLatin1(ClickPrefix));
        Registry.WriteString(DirectKey, "scrollertext", "News");
        Registry.WriteString(DirectKey, "scrollerurl", Web->Url("/ticker.txt"));
    }
    if (!F->Start(TLabFarm::MakeConfigs(1))) return false;
    Main = F->Main;
    // Each test ticks the timer it is about.
    Main->bannertimer->stop();
    Main->scrollertimer->stop();
    return true;
}

bool TestPortalWindow::TickBanner() {
    const qsizetype Before = Web->Targets.size();
    Main->bannertimer->start(0);
    return QTest::qWaitFor([&] {
        return Web->Targets.size() > Before && !Main->BannerFetcher->Busy() &&
               Main->bannerclient->State() == httpReady;
    });
}

bool TestPortalWindow::TickTicker() {
    const qsizetype Before = Web->Targets.size();
    Main->scrollertimer->start(0);
    return QTest::qWaitFor(
        [&] { return Web->Targets.size() > Before && Main->scrollerclient->State() == httpReady; });
}

void TestPortalWindow::bannerShown_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("shown");
    QTest::newRow("GIF") << BannerGif() << 200 << true;
    QTest::newRow("GIF after 20 bytes of text")
        << QByteArray("Served by adserver\r\n") + BannerGif() << 200 << true;
    QTest::newRow("JPEG") << Encoded("JPEG") << 200 << true;
    QTest::newRow("PNG") << Encoded("PNG") << 200 << false;
    QTest::newRow("HTML") << QByteArray("<html><body>No ads</body></html>") << 200 << false;
    QTest::newRow("GIF on an error page") << BannerGif() << 500 << false;
}

void TestPortalWindow::bannerShown() {
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(bool, shown);
    Web->Pages["/banner"] = {status, body};
    QVERIFY(Main->bannerimg->isHidden());
    QVERIFY(TickBanner());
    QCOMPARE(Main->bannerimg->isVisible(), shown);
    // Shown or not, the next banner is due after the normal period.
    QVERIFY(Main->bannertimer->isActive());
    QCOMPARE(Main->bannertimer->interval(), 300000);
    const QByteArray Head = Web->Requests.last();
    QVERIFY2(Head.contains("\r\nUser-Agent: DovodIZ 1.0\r\n"), Head.constData());
    QVERIFY2(Head.contains("\r\nPragma: no-cache"), Head.constData());
    QCOMPARE(Web->Targets.last(), "/banner" + Main->BannerFetcher->Suffix);
    if (QTest::currentDataTag() == QLatin1String("GIF")) {
        QList<QImage> Expected;
        BannerGif(&Expected);
        QCOMPARE(Main->bannerimg->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                 Expected[0]);
    }
}

void TestPortalWindow::animatedBanner() {
    QList<QImage> Frames;
    Web->Pages["/banner"] = {200, BannerGif(&Frames, 3)};
    QVERIFY(TickBanner());
    QVERIFY(Main->bannerimg->isVisible());
    const auto Shown = [&] {
        return Main->bannerimg->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    };
    // Every frame comes up in turn, and the first again after the last.
    for (int Frame : {1, 2, 0, 1})
        QTRY_COMPARE(Shown(), Frames[Frame]);
    // Hidden, the banner stops moving.
    F->Windows->Config->disablebanners->click();
    const QImage Still = Shown();
    QTest::qWait(100);
    QCOMPARE(Shown(), Still);
}

void TestPortalWindow::suffixesAndClick() {
    Web->Pages["/banner"] = {200, BannerGif()};
    QVERIFY(TickBanner());
    QVERIFY(TickBanner());
    QCOMPARE(Web->Count("/banner?"), 2);
    const QByteArray First = Web->Targets[0].mid(7), Second = Web->Targets[1].mid(7);
    QVERIFY(First != Second);
    QCOMPARE(Second, Main->BannerFetcher->Suffix);
    QVERIFY(Main->bannerimg->isVisible());
    QTest::mouseClick(Main->bannerimg, Qt::LeftButton);
    QCOMPARE(Opened, QStringList{"Unable to launch web browser - " +
                                 QString::fromLatin1(ClickPrefix + Second)});
}

void TestPortalWindow::disableBannersHidesAtOnce() {
    Web->Pages["/banner"] = {200, BannerGif()};
    QVERIFY(TickBanner());
    QVERIFY(Main->bannerimg->isVisible());
    F->Windows->Config->disablebanners->click();
    QVERIFY(F->Windows->Config->disablebanners->isChecked());
    QVERIFY(Main->bannerimg->isHidden());
    // While switched off, ticks fetch nothing.
    Main->bannertimer->start(5);
    QTest::qWait(100);
    QCOMPARE(Web->Targets.size(), 1);
    QVERIFY(Main->bannertimer->isActive());
    // Switched on again, the banner comes back only with the next fetch.
    F->Windows->Config->disablebanners->click();
    QVERIFY(!F->Windows->Config->disablebanners->isChecked());
    QVERIFY(Main->bannerimg->isHidden());
    QVERIFY(TickBanner());
    QVERIFY(Main->bannerimg->isVisible());
}

void TestPortalWindow::bannerArrivingAfterDisableStaysHidden() {
    Web->Pages["/banner"] = {200, BannerGif(), 300};
    Main->bannertimer->start(0);
    QTRY_VERIFY(Main->BannerFetcher->Busy());
    F->Windows->Config->disablebanners->click();
    QTRY_VERIFY_WITH_TIMEOUT(!Main->BannerFetcher->Busy(), 10000);
    QCOMPARE(Web->Targets.size(), 1);
    QVERIFY(Main->bannerimg->isHidden());
}

void TestPortalWindow::hungBannerAbandoned() {
    Web->Pages["/banner"] = {200, {}, 0, true};
    Main->bannertimer->start(0);
    QTRY_VERIFY(Main->BannerFetcher->Busy() && Web->Targets.size() == 1);
    QCOMPARE(Main->bannertimer->interval(), 45000);
    QCOMPARE(Main->bannerclient->State(), httpBusy);
    // A message-of-the-day reply set the period to nothing: the ad server still gets a rest.
    F->Windows->Settings->BannerInterval = 0;
    // The watchdog tick gives the request up.
    Main->bannertimer->start(0);
    QTRY_VERIFY(!Main->BannerFetcher->Busy());
    QCOMPARE(Main->bannerclient->State(), httpReady);
    QCOMPARE(Main->bannertimer->interval(), MinBannerInterval);
    QVERIFY(Main->bannertimer->isActive());
    QCOMPARE(Web->Targets.size(), 1);
    QVERIFY(Main->bannerimg->isHidden());
}

void TestPortalWindow::minimisedWindowSkips() {
    Web->Pages["/banner"] = {200, BannerGif()};
    Main->showMinimized();
    QTRY_VERIFY(Main->isMinimized());
    Main->bannertimer->start(5);
    QTest::qWait(100);
    QCOMPARE(Web->Targets.size(), 0);
    QVERIFY(!Main->BannerFetcher->Busy());
    QVERIFY(Main->bannertimer->isActive());
    Main->showNormal();
    QTRY_VERIFY(!Main->isMinimized());
    QVERIFY(TickBanner());
    QVERIFY(Main->bannerimg->isVisible());
}

void TestPortalWindow::tickerRotatesAndOpensLinks() {
    TNewsTicker* Ticker = Main->newsticker;
    Web->Pages["/ticker.txt"] = {
        200, "Old news\r\nREG\r\nFirst news\r\nhttp://news.example/read?a=1\r\nThird news\r\n"};
    QCOMPARE(Ticker->ShownText(), QString("Click here to enable the News Ticker"));
    QVERIFY(TickTicker());
    QCOMPARE(Web->Requests.last().contains("\r\nUser-Agent: DovodIZ 1.0\r\n"), true);
    QCOMPARE(Ticker->ShownText(), QString("First news"));
    QVERIFY(!Ticker->Highlighted());
    QCOMPARE(Main->scrollertimer->interval(), 900000);
    QVERIFY(Main->scrollertimer->isActive());
    QCOMPARE(Ticker->LineTimer->interval(), 3000);
    QVERIFY(Ticker->LineTimer->isActive());

    const auto WaitFor = [&](const QString& Line) {
        Ticker->LineTimer->start(20);
        const bool Reached = QTest::qWaitFor([&] { return Ticker->ShownText() == Line; });
        Ticker->LineTimer->start(3600000); // hold it there
        return Reached && QTest::qWaitFor([&] {
                   return Ticker->Slide->state() == QAbstractAnimation::Stopped;
               });
    };
    const QColor Highlight = ColorOfBGR(F->Windows->Settings->Colors.HighlightColor);
    QVERIFY(WaitFor("http://news.example/read?a=1"));
    QVERIFY(Ticker->Highlighted());
    QVERIFY(PixelsOf(Ticker->grab().toImage(), Highlight) > 0);
    QTest::mouseClick(Ticker, Qt::LeftButton);
    QCOMPARE(Opened, QStringList{"Unable to launch web browser - http://news.example/read?a=1"});
    QVERIFY(Ticker->Ticker.Active);

    QVERIFY(WaitFor("Third news"));
    QVERIFY(!Ticker->Highlighted());
    if (Ticker->palette().color(QPalette::WindowText) != Highlight)
        QCOMPARE(PixelsOf(Ticker->grab().toImage(), Highlight), 0);
    // A plain line stops the rotation, and starts it again.
    QTest::mouseClick(Ticker, Qt::LeftButton);
    QVERIFY(!Ticker->Ticker.Active && !Ticker->LineTimer->isActive());
    QCOMPARE(Ticker->frameShadow(), QFrame::Raised);
    QTest::mouseClick(Ticker, Qt::LeftButton);
    QVERIFY(Ticker->Ticker.Active && Ticker->LineTimer->isActive());
    QCOMPARE(Ticker->frameShadow(), QFrame::Sunken);
    QCOMPARE(Opened.size(), 1);
    // Round to the first line.
    QVERIFY(WaitFor("First news"));
}

void TestPortalWindow::tickerDocuments_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<int>("interval");
    QTest::newRow("new lines") << 200 << QByteArray("c\nd\ne") << QList<QByteArray>{"c", "d", "e"}
                               << 900000;
    QTest::newRow("empty document: again in 45 s")
        << 200 << QByteArray() << QList<QByteArray>{""} << 45000;
    QTest::newRow("last line REG: no lines for 15 minutes")
        << 200 << QByteArray("c\r\nREG\r\n") << QList<QByteArray>{} << 900000;
    QTest::newRow("error page: the old lines stay")
        << 404 << QByteArray("<html>Not Found</html>") << QList<QByteArray>{"a", "b"} << 45000;
}

void TestPortalWindow::tickerDocuments() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(int, interval);
    Web->Pages["/ticker.txt"] = {200, "a\r\nb\r\n"};
    QVERIFY(TickTicker());
    QCOMPARE(Main->newsticker->Ticker.Lines, (QList<QByteArray>{"a", "b"}));
    Web->Pages["/ticker.txt"] = {status, body};
    QVERIFY(TickTicker());
    QCOMPARE(Main->newsticker->Ticker.Lines, lines);
    QCOMPARE(Main->scrollertimer->interval(), interval);
    QVERIFY(Main->scrollertimer->isActive());
    if (lines.size() <= 1) QCOMPARE(Main->newsticker->ShownText(), QString());
}

void TestPortalWindow::hungTickerFetchAborted() {
    Web->Pages["/ticker.txt"] = {200, {}, 0, true};
    Main->scrollertimer->start(0);
    QTRY_VERIFY(Web->Targets.size() == 1);
    QCOMPARE(Main->scrollerclient->State(), httpBusy);
    QCOMPARE(Main->scrollertimer->interval(), 45000);
    // The next tick only ends the hung request; the one after starts anew.
    Main->TickerFetcher->Tick();
    QCOMPARE(Main->scrollerclient->State(), httpReady);
    QCOMPARE(Main->scrollertimer->interval(), 45000);
    QVERIFY(Main->scrollertimer->isActive());
    QCOMPARE(Web->Targets.size(), 1);
    QCOMPARE(Main->newsticker->ShownText(), QString("Click here to enable the News Ticker"));
    Web->Pages["/ticker.txt"] = {200, "Back again"};
    QVERIFY(TickTicker());
    QCOMPARE(Main->newsticker->ShownText(), QString("Back again"));
}

QTEST_MAIN(TestPortalWindow)
#include "tst_portalwindow.moc"
