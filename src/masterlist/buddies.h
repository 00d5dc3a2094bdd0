// The user's buddies: which of them play on a server, and which of them came onto a server
// since the last report of it, so each arrival is told once.
#pragma once

#include "masterlist/customserverlist.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <functional>

class TBuddies {
public:
    using TAppearedEvent =
        std::function<void(TBuddies* Sender, const TServerRef& Server, const QStringList& Names)>;

    // One name a line; blank lines and surrounding blanks go, case does not matter.
    void SetNames(const QString& Lines);
    bool IsEmpty() const { return Names.isEmpty(); }
    int Count() const { return Names.size(); }

    // The buddies playing on Server, as the server spells them, in its player order.
    QStringList On(const TCustomServer& Server) const;
    // Every buddy found on these servers, each once, sorted.
    QStringList FoundOn(const QList<TServerRef>& Servers) const;

    // A fresh report of Server: buddies it lacked in its previous report are told through
    // OnAppeared, once the first round of reports has set what was there already.
    void Report(const TServerRef& Server);
    // A round of reports ended; from now on arrivals are told.
    void RoundDone() { Primed = true; }

    // The cap on what one server can make us remember.
    static constexpr int MaxNameLength = 256;
    TAppearedEvent OnAppeared;

private:
    static QString Key(const TCustomServer& Server);
    QSet<QString> Names;                // case-folded
    QHash<QString, QSet<QString>> Seen; // server key -> case-folded buddies last reported
    bool Primed = false;
};

// The status text after a refresh: the buddies found, or nothing when none.
QString BuddiesFoundText(const QStringList& Names);
