#include "portal/portalfetcher.h"

#include "config/settings.h"
#include "net/http.h"

#include <QTimer>

namespace {
// A ticker document is a few lines; this keeps a hostile one from costing much memory.
constexpr qint64 MaxTickerBytes = 256 * 1024;
} // namespace

TPortalFetcher::TPortalFetcher(const TSettings& Settings, const QString& Name, qint64 MaxBytes,
                               QObject* Parent)
    : QObject(Parent), Timer(new QTimer(this)), Client(new THttpClient(this)), Settings(Settings) {
    Timer->setObjectName(Name + "timer");
    connect(Timer, &QTimer::timeout, this, [this] { Tick(); });
    Client->setObjectName(Name + "client");
    Client->Agent = "DovodIZ 1.0";
    Client->NoCache = true;
    Client->MaxBodyBytes = MaxBytes;
    Client->OnDocBegin = [this](THttpClient*) { ClientDocBegin(); };
    Client->OnDocEnd = [this](THttpClient*) { ClientDocEnd(); };
}

TPortalFetcher::~TPortalFetcher() {
    Client->OnDocBegin = nullptr;
    Client->OnDocEnd = nullptr;
}

void TPortalFetcher::Start(int FirstMs) {
    Timer->start(FirstMs);
}

void TPortalFetcher::Stop() {
    Timer->stop();
    Abandon();
}

void TPortalFetcher::Fetch(const QByteArray& Address) {
    FBusy = true;
    Client->URL = Address;
    Settings.ApplyHttpProxy(*Client);
    Client->GetASync();
    Timer->start(RetryMs);
}

void TPortalFetcher::Abandon() {
    Stream.reset();
    Client->RcvdStream = nullptr;
    if (Client->State() == httpBusy) Client->Abort();
    FBusy = false;
}

void TPortalFetcher::ClientDocBegin() {
    Stream = std::make_unique<QByteArray>();
    Client->RcvdStream = Stream.get();
}

void TPortalFetcher::ClientDocEnd() {
    // No document begun (no connection, or given up): the retry tick deals with it.
    if (!Stream) return;
    const std::unique_ptr<QByteArray> Data = std::move(Stream);
    Client->RcvdStream = nullptr;
    FBusy = false;
    // Only a whole document that the server meant as one counts; a cut-off transfer or an
    // error page keeps what is on screen.
    const bool Complete = Client->StatusCode >= 200 && Client->StatusCode < 300;
    Ended(Complete, Complete ? Data->left(Client->RcvdCount) : QByteArray());
}

// ---- banner ---------------------------------------------------------------------------------

TBannerFetcher::TBannerFetcher(const TSettings& Settings, QObject* Parent)
    : TPortalFetcher(Settings, "banner", MaxBannerBytes, Parent) {}

QByteArray TBannerFetcher::ClickAddress() const {
    return Settings.Links[lkBanner].Address.toUtf8() + Suffix;
}

bool TBannerFetcher::Disabled() const {
    return Settings.Flag(TField::DisableBanners);
}

void TBannerFetcher::Tick() {
    // A fetch still under way at the next tick is abandoned.
    if (Busy() || Client->State() == httpBusy) {
        ScheduleNext();
        return;
    }
    if (OnScreen && !OnScreen()) return;
    if (OnHide) OnHide(this);
    if (Disabled()) return;
    Timer->stop();
    Suffix = NewBannerSuffix(Suffix);
    Fetch(Settings.Links[lkBanner].Text.toUtf8() + Suffix);
}

void TBannerFetcher::ScheduleNext() {
    Timer->stop();
    Abandon();
    Timer->start(BannerPeriod(Settings.BannerInterval));
}

void TBannerFetcher::Ended(bool Complete, const QByteArray& Document) {
    TBannerImage Picture;
    QString Error;
    // Banners switched off while this one was on its way stay off.
    if (Complete && !Disabled() && DecodeBanner(Document, Picture, Error) && OnShow)
        OnShow(this, Picture);
    ScheduleNext();
}

// ---- ticker ---------------------------------------------------------------------------------

TTickerFetcher::TTickerFetcher(const TSettings& Settings, QObject* Parent)
    : TPortalFetcher(Settings, "scroller", MaxTickerBytes, Parent) {}

void TTickerFetcher::Tick() {
    // A hung request only ends at this tick; the next one starts anew.
    if (Client->State() == httpBusy) {
        Abandon();
        Timer->start();
        return;
    }
    Timer->stop();
    Fetch(Settings.Links[lkScroller].Address.toUtf8());
}

void TTickerFetcher::Ended(bool Complete, const QByteArray& Document) {
    // A failed fetch keeps the old lines; it and an empty document are tried again at the
    // retry tick.
    if (!Complete) return;
    bool Loaded = false;
    if (OnDocument) OnDocument(this, Document, Loaded);
    if (Loaded) Timer->start(Settings.Edition().TickerInterval);
}
