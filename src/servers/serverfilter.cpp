#include "servers/serverfilter.h"

#include "net/netutils.h"

namespace {
QString Folded(const QByteArray& Bytes) {
    return DisplayText(Bytes).toCaseFolded();
}
} // namespace

TServerFilter::TServerFilter(const TServerFilterState& State) : St(State) {
    St.Text = St.Text.left(MaxTextLength);
    St.MaxPing = qMax(0, St.MaxPing);
    Needle = St.Text.trimmed().toCaseFolded();
}

bool TServerFilter::Active() const {
    return HasText() || St.HideEmpty || St.HideFull || St.HideNotResponding || St.MaxPing > 0;
}

TServerFilterKeys TServerFilter::KeysOf(const TCustomServer& Server) {
    TServerFilterKeys Keys;
    Keys.Name = Folded(Server.ServerName);
    const auto* Game = dynamic_cast<const TGameServer*>(&Server);
    if (!Game) return Keys;
    Keys.Map = Folded(Game->MapName);
    Keys.GameType = Folded(Game->GameType);
    Keys.Players.reserve(qsizetype(Game->Players.size()));
    for (const auto& P : Game->Players)
        Keys.Players << Folded(P->Name);
    return Keys;
}

bool TServerFilter::Passes(const TCustomServer& Server, const TServerFilterKeys& Keys) const {
    if (St.HideEmpty && Server.NumPlayers <= 0) return false;
    if (St.HideFull && Server.MaxPlayers > 0 && Server.NumPlayers >= Server.MaxPlayers)
        return false;
    if (St.HideNotResponding && !Server.Responded) return false;
    if (St.MaxPing > 0 && Server.Ping > St.MaxPing) return false;
    if (Needle.isEmpty()) return true;
    if (Keys.Name.contains(Needle) || Keys.Map.contains(Needle) || Keys.GameType.contains(Needle))
        return true;
    for (const QString& Player : Keys.Players)
        if (Player.contains(Needle)) return true;
    return false;
}

bool TServerFilter::MatchesPlayer(const QByteArray& Name) const {
    return !Needle.isEmpty() && Folded(Name).contains(Needle);
}
