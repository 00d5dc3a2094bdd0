// A channel's people as a chat window lists them: operators, then voiced, then the rest, each
// group by nick with ASCII letter case folded. Fed by the channel's update events one change at
// a time, at the place the sort order gives; only a fresh NAMES list reads the whole member
// table again, and in a large channel once per event-loop turn however many lines it came in.
#pragma once

#include "irc/ircusers.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QTimer>
#include <vector>

class TNameList : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TNameList(QObject* Parent = nullptr);

    int rowCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;

    // Everything again from Channel's member table; null empties the list.
    void Reset(TChannel* Channel);
    // One event of the channel the list shows.
    void Update(TChannel* Channel, TChannelUpdateType Type, TUser* User, int Info);

    QByteArray Nick(int Row) const;
    int Flags(int Row) const;
    // "@nick", "+nick" or "nick".
    QString Text(int Row) const;

    // Up to this many members a fresh NAMES list is read again at once.
    static constexpr int ImmediateRebuild = 500;

private:
    struct TEntry {
        int Rank;
        QByteArray Key; // IrcKey of the nick
        QByteArray Nick;
        int Flags;
    };
    static TEntry Entry(const QByteArray& Nick, int Flags);
    static bool Before(const TEntry& A, const TEntry& B);
    int RowOf(const QByteArray& Nick) const;
    void Insert(const QByteArray& Nick, int Flags);
    void Remove(const QByteArray& Nick);
    void Replace(const QByteArray& OldNick, const QByteArray& Nick, int Flags);
    void Rebuild();

    std::vector<TEntry> Entries;
    QHash<QByteArray, int> FlagsByKey;
    QPointer<TIRCClient> Client;
    QByteArray ChannelName;
    bool Stale = false; // a NAMES list is waiting for the rebuild
    QTimer RebuildTimer;
};
