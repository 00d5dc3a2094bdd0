// The browser's refresh: the whole list from the master, the favourites alone, or chosen
// servers again, one update at a time; and the favourites view, which keeps the full list
// aside until it is left. Rows, progress and the end are reported through events.
#pragma once

#include "config/favorites.h"
#include "masterlist/customserverlist.h"

#include <functional>
#include <memory>
#include <optional>

class TSettings;

class TBrowser {
public:
    using TNotifyEvent = std::function<void(TBrowser* Sender)>;
    using TServerEvent = std::function<void(TBrowser* Sender, const TServerRef& Server)>;
    using TStatusEvent = std::function<void(TBrowser* Sender, int Percent, const QString& Text)>;

    // The list class is the edition's; the favourites file is the user's for the product.
    explicit TBrowser(const TSettings& Settings);
    ~TBrowser();
    TBrowser(const TBrowser&) = delete;
    TBrowser& operator=(const TBrowser&) = delete;

    TCustomServerList& List() const { return *ServerList; }
    TServerClass ServerClass() const { return ServerList->ServerClass(); }

    // The refresh button: stops an update under way; otherwise the rows go and every server
    // of the master's list is asked, or the favourites again while they are shown.
    void Refresh();
    void Abort();
    // Asks these listed servers again; their rows stay where they are. False while busy.
    bool RefreshSelected(const QList<TServerRef>& Servers);
    void RefreshFavorites();

    // The favourites view. Shown is the list as it stands, kept for ShowAll; false, and
    // nothing changes, while updating or without favourites.
    bool ShowFavorites(const QList<TServerRef>& Shown);
    // Back to the kept list, or a full refresh when it was empty. False while updating.
    bool ShowAll();

    // Favourite servers; the file is written whenever they change.
    void AddFavorites(const QList<TServerRef>& Servers);
    // In the favourites view the list is refreshed without the removed ones.
    void RemoveFavorites(const QList<TServerRef>& Servers);

    TFavorites Favorites;
    bool Updating = false;
    bool UpdateExisting = false; // rows of this update are listed already
    bool FavoritesView = false;
    QList<TServerRef> RefreshTargets;
    std::optional<QList<TServerRef>> SavedServers;

    TNotifyEvent OnClear;      // the rows go
    TServerEvent OnServerDone; // a row to show, or to show again when UpdateExisting
    TStatusEvent OnStatus;     // Percent < 0: no measure of progress
    TNotifyEvent OnComplete;   // the update ended, finished or aborted

private:
    void Query(const QList<TServerRef>& Servers, bool Existing);
    void ServerDone(const TServerRef& Server);
    void Complete();

    const TSettings& Settings;
    std::unique_ptr<TCustomServerList> ServerList;
};
