// The banner and ticker fetch loops without a window, against a small web server on loopback:
// which documents are handed on, when the next tick comes, and that a hung or stopped fetch
// is given up quietly.
#include "gifwriter.h"
#include "peers/minihttp.h"

#include "config/settings.h"
#include "config/settingsstore.h"
#include "net/http.h"
#include "portal/portalfetcher.h"
#include "portal/ticker.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray Gif() {
    using namespace gifwriter;
    const QSize Size(4, 2);
    return MakeGif(Size, {qRgb(200, 0, 0), qRgb(0, 0, 200)},
                   {Frame(QRect(QPoint(0, 0), Size), Pattern(Size, 2))});
}

struct TRig {
    QTemporaryDir Home;
    TMiniHttpServer Web;
    std::unique_ptr<TSettings> Settings;

    bool Start() {
        qputenv("SCOUTLY_HOME", Home.path().toUtf8());
        if (!Web.Listen()) return false;
        Settings = std::make_unique<TSettings>(
            TEdition::Morrow(), std::make_unique<TRegistry>(Home.filePath("registry.ini")));
        Settings->Load();
        Settings->Links[lkBanner].Text = Web.Url("/banner");
        Settings->Links[lkBanner].Address = "http://click.example/go";
        Settings->Links[lkScroller].Address = Web.Url("/ticker.txt");
        return true;
    }

    // Lets Fetcher tick at once and waits until the fetch it starts has ended.
    bool Tick(TPortalFetcher& Fetcher) {
        const qsizetype Before = Web.Targets.size();
        Fetcher.Timer->start(0);
        return QTest::qWaitFor(
            [&] { return Web.Targets.size() > Before && Fetcher.Client->State() == httpReady; });
    }
};
} // namespace

class TestPortalFetcher : public QObject {
    Q_OBJECT
private slots:
    void tickerDocuments_data();
    void tickerDocuments();
    void bannerTicks_data();
    void bannerTicks();
    void hungFetchGivenUp();
};

void TestPortalFetcher::tickerDocuments_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("cutShort");
    QTest::addColumn<QList<QByteArray>>("handed");
    QTest::addColumn<int>("next"); // ms to the next tick
    QTest::newRow("lines") << 200 << QByteArray("a\r\nb") << false << QList<QByteArray>{"a\r\nb"}
                           << 900000;
    QTest::newRow("no lines: again soon")
        << 200 << QByteArray() << false << QList<QByteArray>{""} << 45000;
    QTest::newRow("error page") << 404 << QByteArray("<html>gone</html>") << false
                                << QList<QByteArray>{} << 45000;
    QTest::newRow("cut short") << 200 << QByteArray("a\nb") << true << QList<QByteArray>{} << 45000;
    QTest::newRow("past the cap") << 200 << QByteArray(300 * 1024, 'x') << false
                                  << QList<QByteArray>{} << 45000;
}

void TestPortalFetcher::tickerDocuments() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, cutShort);
    QFETCH(QList<QByteArray>, handed);
    QFETCH(int, next);
    TRig R;
    QVERIFY(R.Start());
    R.Web.Pages["/ticker.txt"] = {status, body, 0, false, cutShort};
    TTickerFetcher Fetcher(*R.Settings);
    QList<QByteArray> Handed;
    Fetcher.OnDocument = [&](TTickerFetcher*, const QByteArray& Document, bool& Loaded) {
        Handed << Document;
        TTicker Ticker;
        Loaded = Ticker.Load(Document);
    };
    QVERIFY(R.Tick(Fetcher));
    QCOMPARE(Handed, handed);
    QCOMPARE(R.Web.Targets.last(), "/ticker.txt");
    QVERIFY(R.Web.Requests.last().contains("\r\nUser-Agent: DovodIZ 1.0\r\n"));
    QVERIFY(Fetcher.Timer->isActive());
    QCOMPARE(Fetcher.Timer->interval(), next);
}

void TestPortalFetcher::bannerTicks_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("shown");
    QTest::newRow("picture") << 200 << Gif() << 1;
    QTest::newRow("picture on an error page") << 500 << Gif() << 0;
    QTest::newRow("not a picture") << 200 << QByteArray("<html>no ads</html>") << 0;
}

void TestPortalFetcher::bannerTicks() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, shown);
    TRig R;
    QVERIFY(R.Start());
    R.Web.Pages["/banner"] = {status, body};
    TBannerFetcher Fetcher(*R.Settings);
    int Shown = 0, Hidden = 0;
    Fetcher.OnShow = [&](TBannerFetcher*, const TBannerImage& Picture) {
        Shown += Picture.Frames.size() == 1;
    };
    Fetcher.OnHide = [&](TBannerFetcher*) { ++Hidden; };
    QVERIFY(R.Tick(Fetcher));
    QTRY_VERIFY(!Fetcher.Busy());
    QCOMPARE(Shown, shown);
    QCOMPARE(Hidden, 1);
    QCOMPARE(R.Web.Targets.last(), "/banner" + Fetcher.Suffix);
    QCOMPARE(Fetcher.ClickAddress(), "http://click.example/go" + Fetcher.Suffix);
    // Shown or not, the next banner is due after the normal period, with a new suffix.
    QCOMPARE(Fetcher.Timer->interval(), 300000);
    const QByteArray First = Fetcher.Suffix;
    QVERIFY(R.Tick(Fetcher));
    QVERIFY(Fetcher.Suffix != First);
}

void TestPortalFetcher::hungFetchGivenUp() {
    TRig R;
    QVERIFY(R.Start());
    R.Web.Pages["/banner"] = {200, Gif(), 0, true};
    R.Web.Pages["/ticker.txt"] = {200, "a", 0, true};
    R.Settings->BannerInterval = 0; // too short: the ad server still gets a rest
    TBannerFetcher Banner(*R.Settings);
    TTickerFetcher Ticker(*R.Settings);
    int Handed = 0;
    Banner.OnShow = [&](TBannerFetcher*, const TBannerImage&) { ++Handed; };
    Ticker.OnDocument = [&](TTickerFetcher*, const QByteArray&, bool&) { ++Handed; };
    for (TPortalFetcher* F : std::initializer_list<TPortalFetcher*>{&Banner, &Ticker}) {
        F->Timer->start(0);
        QTRY_COMPARE(F->Client->State(), httpBusy);
        QCOMPARE(F->Timer->interval(), TPortalFetcher::RetryMs);
    }
    QTRY_COMPARE(R.Web.Targets.size(), 2);
    // The retry tick gives the hung request up; the banner then waits a whole period.
    Banner.Tick();
    Ticker.Tick();
    QCOMPARE(Banner.Client->State(), httpReady);
    QCOMPARE(Ticker.Client->State(), httpReady);
    QVERIFY(!Banner.Busy());
    QCOMPARE(Banner.Timer->interval(), MinBannerInterval);
    QCOMPARE(Ticker.Timer->interval(), TPortalFetcher::RetryMs);
    QCOMPARE(R.Web.Targets.size(), 2);
    // Stopped in the middle of a fetch: nothing more comes of it.
    R.Web.Pages["/banner"] = {200, Gif(), 200};
    QVERIFY(QTest::qWaitFor([&] {
        if (!Banner.Busy()) Banner.Timer->start(0);
        return Banner.Busy();
    }));
    Banner.Stop();
    Ticker.Stop();
    QVERIFY(!Banner.Timer->isActive() && !Ticker.Timer->isActive());
    QCOMPARE(Banner.Client->State(), httpReady);
    QTest::qWait(400);
    QCOMPARE(Handed, 0);
}

QTEST_MAIN(TestPortalFetcher)
#include "tst_portalfetcher.moc"
