#include "masterlist/buddies.h"

#include "net/netutils.h"

void TBuddies::SetNames(const QString& Lines) {
    Names.clear();
    for (const QString& Line : Lines.split('\n')) {
        const QString Name = Line.trimmed().left(MaxNameLength).toCaseFolded();
        if (!Name.isEmpty()) Names.insert(Name);
    }
    // A changed list starts over: names that left the list are forgotten.
    Seen.clear();
}

QString TBuddies::Key(const TCustomServer& Server) {
    return QString::fromLatin1(Server.Address + ':' + Server.QueryPort);
}

QStringList TBuddies::On(const TCustomServer& Server) const {
    QStringList Result;
    const auto* Game = dynamic_cast<const TGameServer*>(&Server);
    if (!Game || Names.isEmpty()) return Result;
    for (const auto& Player : Game->Players) {
        const QString Shown = DisplayText(Player->Name.left(MaxNameLength)).trimmed();
        if (Names.contains(Shown.toCaseFolded()) && !Result.contains(Shown)) Result.append(Shown);
    }
    return Result;
}

QStringList TBuddies::FoundOn(const QList<TServerRef>& Servers) const {
    QSet<QString> Found;
    QStringList Result;
    for (const TServerRef& Server : Servers)
        for (const QString& Name : On(*Server))
            if (!Found.contains(Name.toCaseFolded())) {
                Found.insert(Name.toCaseFolded());
                Result.append(Name);
            }
    Result.sort(Qt::CaseInsensitive);
    return Result;
}

void TBuddies::Report(const TServerRef& Server) {
    // A server that did not answer says nothing about who left.
    if (Names.isEmpty() || !Server->Responded) return;
    const QStringList Here = On(*Server);
    QSet<QString> Now;
    QStringList Arrived;
    const QString Where = Key(*Server);
    const QSet<QString> Before = Seen.value(Where);
    for (const QString& Name : Here) {
        Now.insert(Name.toCaseFolded());
        if (!Before.contains(Name.toCaseFolded())) Arrived.append(Name);
    }
    // Only servers with a buddy are remembered, so a long list costs nothing.
    if (Now.isEmpty())
        Seen.remove(Where);
    else
        Seen.insert(Where, Now);
    if (Primed && !Arrived.isEmpty() && OnAppeared) OnAppeared(this, Server, Arrived);
}

QString BuddiesFoundText(const QStringList& Names) {
    if (Names.isEmpty()) return {};
    return QStringLiteral("Buddies online: ") + Names.join(QStringLiteral(", "));
}
