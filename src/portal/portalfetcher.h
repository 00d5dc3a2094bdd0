// The banner strip and the news ticker fetch a document from the web over and over: a timer
// ticks, a GET goes out through the configured proxy, a request that hangs is given up at the
// 45 s tick, and only a whole document (a 2xx answer, within a size cap) is handed on. The
// banner and the ticker differ only in what a tick fetches and when the next one comes.
#pragma once

#include "portal/banner.h"

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>

class QTimer;
class THttpClient;
class TSettings;

class TPortalFetcher : public QObject {
    Q_OBJECT
public:
    // Name: the timer and the client are named Name + "timer" and Name + "client".
    TPortalFetcher(const TSettings& Settings, const QString& Name, qint64 MaxBytes,
                   QObject* Parent = nullptr);
    ~TPortalFetcher() override;

    // How long a fetch may take before the next tick gives it up, and how soon a failed one
    // is tried again.
    static constexpr int RetryMs = 45000;

    QTimer* Timer;
    THttpClient* Client;

    // The first tick comes after FirstMs.
    void Start(int FirstMs);
    // Quiet from now on: no tick, the request under way ended, nothing handed on.
    void Stop();
    // From the start of a fetch until its document is handed on or the fetch is given up.
    bool Busy() const { return FBusy; }
    // What the timer does at each tick.
    virtual void Tick() = 0;

protected:
    // What a fetch ended with: Complete when Document is a whole 2xx answer.
    virtual void Ended(bool Complete, const QByteArray& Document) = 0;
    // Starts a GET of Address; the retry tick runs from now.
    void Fetch(const QByteArray& Address);
    // Ends the request under way; whatever it still brings is dropped.
    void Abandon();

    const TSettings& Settings;

private:
    void ClientDocBegin();
    void ClientDocEnd();

    bool FBusy = false;
    std::unique_ptr<QByteArray> Stream; // the document being received
};

// The banner strip: a picture every BannerPeriod, each request carrying a fresh suffix that a
// click on the picture carries too. Nothing is fetched while the window is not on screen or
// the user has switched banners off.
class TBannerFetcher : public TPortalFetcher {
    Q_OBJECT
public:
    explicit TBannerFetcher(const TSettings& Settings, QObject* Parent = nullptr);

    QByteArray Suffix; // of the last fetch started
    // Where a click on the banner goes.
    QByteArray ClickAddress() const;
    bool Disabled() const;

    std::function<bool()> OnScreen; // the window is shown and not minimised; unset: yes
    std::function<void(TBannerFetcher* Sender, const TBannerImage& Picture)> OnShow;
    std::function<void(TBannerFetcher* Sender)> OnHide;

    void Tick() override;

protected:
    void Ended(bool Complete, const QByteArray& Document) override;

private:
    void ScheduleNext();
};

// The news ticker document: fetched again after TickerInterval once one with lines came, after
// RetryMs while none did.
class TTickerFetcher : public TPortalFetcher {
    Q_OBJECT
public:
    explicit TTickerFetcher(const TSettings& Settings, QObject* Parent = nullptr);

    // A whole document; Loaded: it had lines (TTicker::Load's answer).
    std::function<void(TTickerFetcher* Sender, const QByteArray& Document, bool& Loaded)>
        OnDocument;

    void Tick() override;

protected:
    void Ended(bool Complete, const QByteArray& Document) override;
};
