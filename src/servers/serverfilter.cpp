#include "servers/serverfilter.h"

#include "net/netutils.h"

namespace {
QString Folded(const QByteArray& Bytes) {
    return DisplayText(Bytes).toCaseFolded();
}

QString WithoutControls(QString Text) {
    Text.removeIf([](QChar C) { return C.unicode() < 0x20; });
    return Text;
}
} // namespace

TServerFilter::TServerFilter(const TServerFilterState& State) : St(State) {
    St.Text = St.Text.left(MaxTextLength);
    St.MaxPing = qMax(0, St.MaxPing);
    Needle = WithoutControls(St.Text).trimmed().toCaseFolded();
}

bool TServerFilter::Active() const {
    return HasText() || St.HideEmpty || St.HideFull || St.HideNotResponding || St.MaxPing > 0;
}

TServerFilterKeys TServerFilter::KeysOf(const TCustomServer& Server) {
    QString Text = DisplayText(Server.ServerName);
    if (const auto* Game = dynamic_cast<const TGameServer*>(&Server)) {
        Text += u'\n' + DisplayText(Game->MapName) + u'\n' + DisplayText(Game->GameType);
        for (const auto& P : Game->Players)
            Text += u'\n' + DisplayText(P->Name);
    }
    Text = std::move(Text).toCaseFolded();
    Text.squeeze();
    return {Text};
}

bool TServerFilter::Passes(const TCustomServer& Server, const TServerFilterKeys& Keys) const {
    if (St.HideEmpty && Server.NumPlayers <= 0) return false;
    if (St.HideFull && Server.MaxPlayers > 0 && Server.NumPlayers >= Server.MaxPlayers)
        return false;
    if (St.HideNotResponding && !Server.Responded) return false;
    if (St.MaxPing > 0 && Server.Ping > St.MaxPing) return false;
    if (Needle.isEmpty()) return true;
    return Keys.Text.contains(Needle);
}

bool TServerFilter::MatchesPlayer(const QByteArray& Name) const {
    return !Needle.isEmpty() && Folded(Name).contains(Needle);
}
