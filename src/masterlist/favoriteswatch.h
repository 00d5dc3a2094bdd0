// Watching the favourites: every few minutes they are asked again on a list of their own, so
// the user's view, its selection and any refresh under way stay as they are.
#pragma once

#include "masterlist/customserverlist.h"

#include <functional>
#include <memory>

class QTimer;
class TFavorites;
class TSettings;

class TFavoritesWatch {
public:
    using TServerEvent = std::function<void(TFavoritesWatch* Sender, const TServerRef& Server)>;
    using TNotifyEvent = std::function<void(TFavoritesWatch* Sender)>;

    TFavoritesWatch(const TSettings& Settings, const TFavorites& Favorites);
    ~TFavoritesWatch();
    TFavoritesWatch(const TFavoritesWatch&) = delete;
    TFavoritesWatch& operator=(const TFavoritesWatch&) = delete;

    // Follows the settings: on or off, and the minutes between rounds.
    void Apply();
    bool Active() const;
    // One round now, unless one is under way or there are no favourites.
    bool RunNow();
    bool Busy() const;
    int IntervalMs() const;

    // Tests shorten the wait; 0 takes it from the settings.
    int IntervalOverrideMs = 0;
    static constexpr int MinMinutes = 1, MaxMinutes = 1440, DefaultMinutes = 5;

    TServerEvent OnServerDone; // a favourite answered, or did not
    TNotifyEvent OnRoundDone;

private:
    const TSettings& Settings;
    const TFavorites& Favorites;
    std::unique_ptr<TCustomServerList> List;
    std::unique_ptr<QTimer> Timer;
};
