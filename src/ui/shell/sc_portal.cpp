// The main window's banner strip and news ticker: the core's fetch loops bring the documents,
// this half of the window shows them.
#include "ui/shell/sc_main.h"

#include "config/settings.h"
#include "net/http.h"
#include "net/netutils.h"
#include "portal/portalfetcher.h"
#include "ui/shell/newsticker.h"
#include "ui/widgets/linkopener.h"

#include <QLabel>
#include <QTimer>

void Tsc_form::BuildPortal() {
    bannerimg->installEventFilter(this);
    BannerFrameTimer = new QTimer(this);
    BannerFrameTimer->setSingleShot(true);
    connect(BannerFrameTimer, &QTimer::timeout, this, &Tsc_form::bannerFrameTimer);
    newsticker->OnClick = [this](TNewsTicker*) { newstickerClick(); };
}

// Once the settings are there: the fetch loops read the links, the proxy and the periods.
void Tsc_form::BuildPortalFetchers() {
    BannerFetcher = new TBannerFetcher(Settings, this);
    BannerFetcher->OnScreen = [this] { return !isMinimized() && isVisible(); };
    BannerFetcher->OnShow = [this](TBannerFetcher*, const TBannerImage& Picture) {
        ShowBanner(Picture);
    };
    BannerFetcher->OnHide = [this](TBannerFetcher*) { HideBanner(); };
    bannertimer = BannerFetcher->Timer;
    bannerclient = BannerFetcher->Client;

    TickerFetcher = new TTickerFetcher(Settings, this);
    TickerFetcher->OnDocument = [this](TTickerFetcher*, const QByteArray& Text, bool& Loaded) {
        Loaded = newsticker->LoadDocument(Text);
    };
    scrollertimer = TickerFetcher->Timer;
    scrollerclient = TickerFetcher->Client;
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
    OpenLink(BannerFetcher->ClickAddress(), StatusBarReport(this));
}

void Tsc_form::newstickerClick() {
    QByteArray Address;
    if (newsticker->Ticker.Click(Address) == TTicker::ckOpen) {
        OpenLink(Address, StatusBarReport(this));
        return;
    }
    newsticker->SetActive(newsticker->Ticker.Active);
}
