#include "masterlist/browser.h"

#include "config/settings.h"

TBrowser::TBrowser(const TSettings& Settings)
    : Favorites(TFavorites::FileFor(Settings.Edition().ProductCode)), Settings(Settings),
      ServerList(Settings.Edition().ListClass->Create()) {
    if (auto* Generic = qobject_cast<TSQPGenericList*>(ServerList.get()))
        Generic->SetGameName("morrow");
    ServerList->OnComplete = [this](TCustomServerList*) { Complete(); };
    ServerList->OnStatus = [this](TCustomServerList*, int Percent, const QString& Text) {
        if (OnStatus) OnStatus(this, Percent, Text);
    };
    ServerList->OnServerDone = [this](TCustomServerList*, const TServerRef& Server) {
        ServerDone(Server);
    };
    Favorites.Load();
}

TBrowser::~TBrowser() = default;

void TBrowser::Refresh() {
    if (Updating) {
        Abort();
        return;
    }
    if (OnClear) OnClear(this);
    if (FavoritesView && !Favorites.IsEmpty()) {
        RefreshFavorites();
        return;
    }
    FavoritesView = false;
    Updating = true;
    UpdateExisting = false;
    // The settings are read at each refresh, so a change in the dialog takes effect at once.
    ServerList->SetMasters(Settings.MasterServers());
    ServerList->SetMaxOutstanding(Settings.QueriesAtOnce());
    ServerList->SetQueryRate(Settings.QueriesPerSecond());
    ServerList->Refresh();
}

void TBrowser::Abort() {
    if (Updating) ServerList->Abort();
}

bool TBrowser::RefreshSelected(const QList<TServerRef>& Servers) {
    if (Updating || Servers.isEmpty()) return false;
    Query(Servers, true);
    return true;
}

void TBrowser::RefreshFavorites() {
    Query(Favorites.Servers(ServerClass()), false);
}

void TBrowser::Query(const QList<TServerRef>& Servers, bool Existing) {
    RefreshTargets = Servers;
    Updating = true;
    UpdateExisting = Existing;
    ServerList->SetMaxOutstanding(Settings.QueriesAtOnce());
    ServerList->SetQueryRate(Settings.QueriesPerSecond());
    ServerList->RefreshServers(RefreshTargets);
}

bool TBrowser::ShowFavorites(const QList<TServerRef>& Shown) {
    if (Updating || Favorites.IsEmpty()) return false;
    FavoritesView = true;
    SavedServers = Shown;
    RefreshFavorites();
    return true;
}

bool TBrowser::ShowAll() {
    if (Updating) return false;
    FavoritesView = false;
    if (!SavedServers) return true;
    if (OnClear) OnClear(this);
    const QList<TServerRef> Saved = *std::exchange(SavedServers, std::nullopt);
    if (Saved.isEmpty()) {
        Refresh();
        return true;
    }
    UpdateExisting = false;
    for (const TServerRef& Server : Saved)
        ServerDone(Server);
    return true;
}

void TBrowser::AddFavorites(const QList<TServerRef>& Servers) {
    bool Changed = false;
    for (const TServerRef& Server : Servers)
        Changed |= Favorites.Add(*Server);
    // Written at once: a kill, a crash or a logout must not take them.
    if (Changed) Favorites.Save();
}

void TBrowser::RemoveFavorites(const QList<TServerRef>& Servers) {
    bool Changed = false;
    for (const TServerRef& Server : Servers)
        Changed |= Favorites.Remove(*Server);
    if (Changed) Favorites.Save();
    if (FavoritesView) Refresh();
}

void TBrowser::ServerDone(const TServerRef& Server) {
    MarkNotResponding(*Server);
    if (OnServerDone) OnServerDone(this, Server);
}

void TBrowser::Complete() {
    Updating = false;
    if (OnComplete) OnComplete(this);
}
