#include "masterlist/favoriteswatch.h"

#include "config/favorites.h"
#include "config/settings.h"

#include <QTimer>

TFavoritesWatch::TFavoritesWatch(const TSettings& Settings, const TFavorites& Favorites)
    : Settings(Settings), Favorites(Favorites), List(Settings.Edition().ListClass->Create()),
      Timer(std::make_unique<QTimer>()) {
    QObject::connect(Timer.get(), &QTimer::timeout, [this] { RunNow(); });
    List->OnServerDone = [this](TCustomServerList*, const TServerRef& Server) {
        MarkNotResponding(*Server);
        if (OnServerDone) OnServerDone(this, Server);
    };
    List->OnComplete = [this](TCustomServerList*) {
        if (OnRoundDone) OnRoundDone(this);
    };
}

TFavoritesWatch::~TFavoritesWatch() = default;

int TFavoritesWatch::IntervalMs() const {
    if (IntervalOverrideMs > 0) return IntervalOverrideMs;
    return qBound(MinMinutes, Settings.WatchMinutes(), MaxMinutes) * 60000;
}

void TFavoritesWatch::Apply() {
    if (!Settings.WatchFavorites()) {
        Timer->stop();
        return;
    }
    if (!Timer->isActive() || Timer->interval() != IntervalMs()) Timer->start(IntervalMs());
}

bool TFavoritesWatch::Active() const {
    return Timer->isActive();
}

bool TFavoritesWatch::Busy() const {
    return List->State != lsIdle;
}

bool TFavoritesWatch::RunNow() {
    if (Busy() || Favorites.IsEmpty()) return false;
    List->SetMaxOutstanding(Settings.QueriesAtOnce());
    List->RefreshServers(Favorites.Servers(List->ServerClass()));
    return true;
}
