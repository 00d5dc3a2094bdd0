#include "chat/namelist.h"

#include "irc/IRCClient.h"
#include "net/netutils.h"

#include <algorithm>

TNameList::TNameList(QObject* Parent) : QAbstractListModel(Parent) {
    RebuildTimer.setSingleShot(true);
    RebuildTimer.setInterval(0);
    connect(&RebuildTimer, &QTimer::timeout, this, &TNameList::Rebuild);
}

int TNameList::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : int(Entries.size());
}

QVariant TNameList::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= rowCount() || Role != Qt::DisplayRole) return {};
    return Text(Index.row());
}

QByteArray TNameList::Nick(int Row) const {
    return Row >= 0 && Row < rowCount() ? Entries[size_t(Row)].Nick : QByteArray();
}

int TNameList::Flags(int Row) const {
    return Row >= 0 && Row < rowCount() ? Entries[size_t(Row)].Flags : 0;
}

QString TNameList::Text(int Row) const {
    const int F = Flags(Row);
    const QString Shown = DisplayText(Nick(Row));
    return F & mfOperator ? '@' + Shown : F & mfVoice ? '+' + Shown : Shown;
}

TNameList::TEntry TNameList::Entry(const QByteArray& Nick, int Flags) {
    return {Flags & mfOperator ? 0 : Flags & mfVoice ? 1 : 2, IrcKey(Nick), Nick, Flags};
}

bool TNameList::Before(const TEntry& A, const TEntry& B) {
    if (A.Rank != B.Rank) return A.Rank < B.Rank;
    if (A.Key != B.Key) return A.Key < B.Key;
    return A.Nick < B.Nick;
}

int TNameList::RowOf(const QByteArray& Nick) const {
    const auto Flags = FlagsByKey.constFind(IrcKey(Nick));
    if (Flags == FlagsByKey.cend()) return -1;
    const TEntry Probe = Entry(Nick, *Flags);
    // The key decides: the same nick in another case is still the same person.
    const auto It = std::lower_bound(Entries.begin(), Entries.end(), Probe,
                                     [](const TEntry& A, const TEntry& B) {
                                         return A.Rank != B.Rank ? A.Rank < B.Rank : A.Key < B.Key;
                                     });
    return It != Entries.end() && It->Key == Probe.Key ? int(It - Entries.begin()) : -1;
}

void TNameList::Reset(TChannel* Channel) {
    RebuildTimer.stop();
    Client = Channel ? Channel->Client : nullptr;
    ChannelName = Channel ? Channel->Name : QByteArray();
    Rebuild();
}

void TNameList::Rebuild() {
    Stale = false;
    TChannel* Channel = Client ? Client->Channels->Find(ChannelName) : nullptr;
    beginResetModel();
    Entries.clear();
    FlagsByKey.clear();
    if (Channel) {
        const TMembers& M = Channel->Members;
        Entries.reserve(size_t(M.Count()));
        for (int I = 0; I < M.Count(); ++I) {
            Entries.push_back(Entry(M.Nick(I), M.Flags(I)));
            FlagsByKey.insert(Entries.back().Key, Entries.back().Flags);
        }
        std::sort(Entries.begin(), Entries.end(), Before);
    }
    endResetModel();
}

void TNameList::Insert(const QByteArray& Nick, int Flags) {
    if (FlagsByKey.contains(IrcKey(Nick))) return;
    TEntry E = Entry(Nick, Flags);
    const int Row =
        int(std::lower_bound(Entries.begin(), Entries.end(), E, Before) - Entries.begin());
    beginInsertRows({}, Row, Row);
    FlagsByKey.insert(E.Key, Flags);
    Entries.insert(Entries.begin() + Row, std::move(E));
    endInsertRows();
}

void TNameList::Remove(const QByteArray& Nick) {
    const int Row = RowOf(Nick);
    if (Row < 0) return;
    beginRemoveRows({}, Row, Row);
    FlagsByKey.remove(Entries[size_t(Row)].Key);
    Entries.erase(Entries.begin() + Row);
    endRemoveRows();
}

// A rename or new flags: the entry moves to its new place, keeping a selection on it.
void TNameList::Replace(const QByteArray& OldNick, const QByteArray& Nick, int Flags) {
    const int From = RowOf(OldNick);
    if (From < 0) return Insert(Nick, Flags);
    TEntry E = Entry(Nick, Flags);
    if (E.Key != Entries[size_t(From)].Key && FlagsByKey.contains(E.Key)) Remove(Nick);
    const int Source = RowOf(OldNick);
    FlagsByKey.remove(Entries[size_t(Source)].Key);
    FlagsByKey.insert(E.Key, Flags);
    // Its place among the others, the entry itself counted where it still is.
    const int Place =
        int(std::lower_bound(Entries.begin(), Entries.end(), E, Before) - Entries.begin());
    const int To = Place > Source ? Place - 1 : Place;
    if (To == Source) {
        Entries[size_t(Source)] = std::move(E);
        emit dataChanged(index(Source), index(Source));
        return;
    }
    beginMoveRows({}, Source, Source, {}, To > Source ? To + 1 : To);
    const auto At = Entries.begin();
    if (To > Source)
        std::rotate(At + Source, At + Source + 1, At + To + 1);
    else
        std::rotate(At + To, At + Source, At + Source + 1);
    Entries[size_t(To)] = std::move(E);
    endMoveRows();
}

void TNameList::Update(TChannel* Channel, TChannelUpdateType Type, TUser* User, int Info) {
    if (!Channel || Channel->Client != Client || IrcKey(Channel->Name) != IrcKey(ChannelName))
        return;
    if (Type == cuNames) {
        // Many NAMES lines make one rebuild in a large channel.
        Stale = true;
        if (Channel->Members.Count() <= ImmediateRebuild)
            Reset(Channel);
        else
            RebuildTimer.start();
        return;
    }
    if (Stale || !User) return;
    switch (Type) {
    case cuJoin:
        Insert(Channel->Members.Nick(Info), Channel->Members.Flags(Info));
        break;
    case cuPart:
    case cuKick:
    case cuQuit:
        Remove(User->Nick);
        break;
    case cuRename:
        Replace(User->Nick, Channel->Members.Nick(Info), Channel->Members.Flags(Info));
        break;
    case cuMemberFlags:
        Replace(User->Nick, User->Nick, Info);
        break;
    default:
        break;
    }
}
