// What the server list shows: a text matched against a server's name, map, game type and
// players (literally, ignoring case, on the text as shown) and switches that hide empty, full,
// silent or distant servers. The records themselves are never changed.
#pragma once

#include "servers/customserver.h"

#include <QString>
#include <QStringList>

struct TServerFilterState {
    QString Text;
    bool HideEmpty = false;
    bool HideFull = false;
    bool HideNotResponding = false;
    int MaxPing = 0; // 0: any ping
    bool operator==(const TServerFilterState&) const = default;
};

// A record's texts as the filter compares them: name, map, game type and player names, decoded
// and case-folded once, one per line (the filter text never holds a line break, so a match never
// spans two of them).
struct TServerFilterKeys {
    QString Text;
};

class TServerFilter {
public:
    TServerFilter() = default;
    explicit TServerFilter(const TServerFilterState& State);

    const TServerFilterState& State() const { return St; }
    // Something would be hidden by this filter for some record.
    bool Active() const;
    bool HasText() const { return !Needle.isEmpty(); }

    static TServerFilterKeys KeysOf(const TCustomServer& Server);
    bool Passes(const TCustomServer& Server, const TServerFilterKeys& Keys) const;
    bool Passes(const TCustomServer& Server) const { return Passes(Server, KeysOf(Server)); }
    // A player's name (bytes as received) contains the filter text.
    bool MatchesPlayer(const QByteArray& Name) const;

    static constexpr int MaxTextLength = 200;

private:
    TServerFilterState St;
    QString Needle; // folded
};
