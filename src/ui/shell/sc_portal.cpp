// The main window's banner strip and news ticker.
#include "ui/shell/sc_main.h"

#include "config/settingsstore.h"
#include "net/http.h"
#include "net/netutils.h"
#include "ui/config/config_main.h"
#include "ui/shell/newsticker.h"

#include <QLabel>
#include <QTimer>

// ---- banners and news ticker ---------------------------------------------------------------

namespace {
// Only a whole document that the server meant as one is shown; a cut-off transfer or an error
// page keeps what is on screen.
bool DocumentComplete(const THttpClient& Client) {
    return Client.StatusCode >= 200 && Client.StatusCode < 300;
}
} // namespace

void Tsc_form::BuildPortal() {
    bannerimg->installEventFilter(this);
    BannerFrameTimer = new QTimer(this);
    BannerFrameTimer->setSingleShot(true);
    connect(BannerFrameTimer, &QTimer::timeout, this, &Tsc_form::bannerFrameTimer);

    bannertimer = new QTimer(this);
    bannertimer->setObjectName("bannertimer");
    connect(bannertimer, &QTimer::timeout, this, &Tsc_form::FetchBanner);
    scrollertimer = new QTimer(this);
    scrollertimer->setObjectName("scrollertimer");
    connect(scrollertimer, &QTimer::timeout, this, &Tsc_form::FetchTicker);

    const auto Client = [this](const char* Name) {
        auto* C = new THttpClient(this);
        C->setObjectName(Name);
        C->Agent = "DovodIZ 1.0";
        C->NoCache = true;
        return C;
    };
    bannerclient = Client("bannerclient");
    bannerclient->MaxBodyBytes = MaxBannerBytes;
    bannerclient->OnDocBegin = [this](THttpClient*) { bannerclientDocBegin(); };
    bannerclient->OnDocEnd = [this](THttpClient*) { bannerclientDocEnd(); };
    scrollerclient = Client("scrollerclient");
    // A ticker document is a few lines; this keeps a hostile one from costing much memory.
    scrollerclient->MaxBodyBytes = 256 * 1024;
    scrollerclient->OnDocBegin = [this](THttpClient*) { scrollerclientDocBegin(); };
    scrollerclient->OnDocEnd = [this](THttpClient*) { scrollerclientDocEnd(); };
    newsticker->OnClick = [this](TNewsTicker*) { newstickerClick(); };
}

void Tsc_form::FetchBanner() {
    // A fetch still under way at the next tick is abandoned.
    if (BannerBusy || bannerclient->State() == httpBusy) {
        ScheduleNextBanner();
        return;
    }
    if (isMinimized() || !isVisible()) return;
    HideBanner();
    if (Settings->Flag(TField::DisableBanners)) return;
    bannertimer->stop();
    BannerBusy = true;
    BannerSuffix = NewBannerSuffix(BannerSuffix);
    bannerclient->URL = Settings->Links[lkBanner].Text.toUtf8() + BannerSuffix;
    Settings->ApplyHttpProxy(*bannerclient);
    bannerclient->GetASync();
    bannertimer->start(45000);
}

void Tsc_form::ScheduleNextBanner() {
    bannertimer->stop();
    // What an abandoned request still delivers is not wanted.
    BannerStream.reset();
    bannerclient->RcvdStream = nullptr;
    if (bannerclient->State() == httpBusy) bannerclient->Abort();
    bannertimer->start(BannerPeriod(Settings->BannerInterval));
    BannerBusy = false;
}

void Tsc_form::bannerclientDocBegin() {
    BannerStream = std::make_unique<QByteArray>();
    bannerclient->RcvdStream = BannerStream.get();
}

void Tsc_form::bannerclientDocEnd() {
    if (!BannerStream) return;
    const std::unique_ptr<QByteArray> Data = std::move(BannerStream);
    bannerclient->RcvdStream = nullptr;
    TBannerImage Picture;
    QString Error;
    // Banners switched off while this one was on its way stay off.
    if (DocumentComplete(*bannerclient) && !Settings->Flag(TField::DisableBanners) &&
        DecodeBanner(Data->left(bannerclient->RcvdCount), Picture, Error))
        ShowBanner(Picture);
    ScheduleNextBanner();
}

void Tsc_form::ShowBanner(const TBannerImage& Picture) {
    BannerFrameTimer->stop();
    BannerPicture = Picture;
    BannerFrame = 0;
    bannerimg->setPixmap(QPixmap::fromImage(BannerPicture.Frames.first()));
    bannerimg->show();
    if (BannerPicture.Frames.size() > 1) BannerFrameTimer->start(BannerPicture.Delays.first());
}

void Tsc_form::HideBanner() {
    BannerFrameTimer->stop();
    bannerimg->hide();
}

void Tsc_form::bannerFrameTimer() {
    if (BannerPicture.Frames.size() < 2 || bannerimg->isHidden()) return;
    BannerFrame = (BannerFrame + 1) % int(BannerPicture.Frames.size());
    bannerimg->setPixmap(QPixmap::fromImage(BannerPicture.Frames.at(BannerFrame)));
    BannerFrameTimer->start(BannerPicture.Delays.at(BannerFrame));
}

void Tsc_form::bannerimgClick() {
    OpenURL(Settings->Links[lkBanner].Address.toUtf8() + BannerSuffix);
}

void Tsc_form::FetchTicker() {
    if (scrollerclient->State() == httpBusy) {
        TickerStream.reset();
        scrollerclient->RcvdStream = nullptr;
        scrollerclient->Abort();
    } else {
        scrollertimer->stop();
        scrollerclient->URL = Settings->Links[lkScroller].Address.toUtf8();
        Settings->ApplyHttpProxy(*scrollerclient);
        scrollerclient->GetASync();
        scrollertimer->setInterval(45000);
    }
    scrollertimer->start();
}

void Tsc_form::scrollerclientDocBegin() {
    TickerStream = std::make_unique<QByteArray>();
    scrollerclient->RcvdStream = TickerStream.get();
}

void Tsc_form::scrollerclientDocEnd() {
    if (!TickerStream) return;
    const std::unique_ptr<QByteArray> Data = std::move(TickerStream);
    scrollerclient->RcvdStream = nullptr;
    // A failed fetch keeps the old lines and is tried again at the 45 s tick.
    if (!DocumentComplete(*scrollerclient)) return;
    // An empty document is fetched again at the 45 s tick too.
    if (!newsticker->LoadDocument(Data->left(scrollerclient->RcvdCount))) return;
    scrollertimer->start(Settings->Edition().TickerInterval);
}

void Tsc_form::newstickerClick() {
    QByteArray Address;
    if (newsticker->Ticker.Click(Address) == TTicker::ckOpen) {
        OpenURL(Address);
        return;
    }
    newsticker->SetActive(newsticker->Ticker.Active);
}
