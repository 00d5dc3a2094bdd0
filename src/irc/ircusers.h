// The IRC engine's tables: the users it has met (reference counted) and the channels we are
// in, with their topics, modes and members. Lookups ignore ASCII letter case and are hashed,
// so a channel of thousands of members costs about what a small one does.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class TIRCClient;
class TChannel;

enum TChannelUpdateType {
    cuModes = 0,
    cuTopic = 1,
    cuMemberFlags = 2,
    cuNames = 3,
    cuRename = 4,
    cuJoin = 5,
    cuPart = 6,
    cuKick = 7,
    cuQuit = 8
};

// Member flags.
enum : int { mfOperator = 1, mfVoice = 2 };

// Channel mode bits.
enum : quint8 {
    cmPrivate = 0x01,
    cmSecret = 0x02,
    cmInviteOnly = 0x04,
    cmTopicOps = 0x08,
    cmNoOutside = 0x10,
    cmModerated = 0x20,
    cmLimit = 0x40,
    cmKey = 0x80
};

// The key IRC nicks and channel names are compared by: ASCII letters folded.
QByteArray IrcKey(const QByteArray& Name);

class TUser {
public:
    TUser(TIRCClient* Client, const QByteArray& Nick, const QByteArray& UserHost)
        : Client(Client), Nick(Nick), UserHost(UserHost) {}
    TIRCClient* Client;
    QByteArray Nick;
    QByteArray UserHost;
    QByteArray Comment;
    int RefCount = 1;
};

class TUsers {
public:
    explicit TUsers(TIRCClient* Client) : Client(Client) {}
    ~TUsers();

    TUser* Add(const QByteArray& Nick, const QByteArray& Host);
    TUser* Find(const QByteArray& Nick) const;
    bool FindIndex(const QByteArray& Nick, int& Index) const;
    void Release(TUser* User);
    void Rename(const QByteArray& OldNick, const QByteArray& NewNick);
    void Clear();
    int Count() const { return int(Listed.size()); }
    // Objects alive, listed or not (a rename onto a listed nick unlists its old object).
    int Alive() const { return int(Objects.size()); }

    TIRCClient* Client;

private:
    QHash<QByteArray, TUser*> Listed; // by IrcKey of the nick
    std::unordered_map<TUser*, std::unique_ptr<TUser>> Objects;
};

// Members in arrival order. Positions are what the events report, so departures are marked
// and counted with a Fenwick tree instead of moving every later member.
class TMembers {
public:
    int Count() const { return Live; }
    QByteArray Nick(int Index) const;
    int Flags(int Index) const;
    // -1 when absent.
    int IndexOf(const QByteArray& Nick) const;
    int Append(const QByteArray& Nick, int Flags);
    void SetFlags(int Index, int Flags);
    void Rename(int Index, const QByteArray& Nick);
    void Delete(int Index);

private:
    struct TSlot {
        QByteArray Nick;
        int Flags = 0;
        bool Gone = false;
    };
    int SlotOf(int Index) const;
    int IndexOfSlot(int Slot) const;
    void Bump(int Slot, int Delta);
    void Compact();

    std::vector<TSlot> Slots;
    std::vector<int> Tree; // Fenwick tree of live slots, 1-based
    QHash<QByteArray, int> SlotByKey;
    int Live = 0;
};

class TChannel {
public:
    using TUpdateEvent =
        std::function<void(TChannel* Sender, TChannelUpdateType UpdateType, TUser* User, int Info)>;

    TChannel(TIRCClient* Client, const QByteArray& Name);
    ~TChannel();
    TChannel(const TChannel&) = delete;
    TChannel& operator=(const TChannel&) = delete;

    void SetTopic(const QByteArray& Text);
    void SetModes(quint8 Flags);
    void SetLimit(int Value);
    void SetKey(const QByteArray& Text);
    bool FindMember(const QByteArray& Nick, int& Index) const;
    TUser* AddMember(QByteArray Entry, const QByteArray& Host);
    void Op(TUser* User);
    void Deop(TUser* User);
    void Voice(TUser* User);
    void Devoice(TUser* User);
    void RenameMember(TUser* User, const QByteArray& NewNick);
    void UserJoined(TUser* User);
    void UserParted(TUser* User);
    void UserKicked(TUser* User);
    void UserQuit(TUser* User);
    void Update(TChannelUpdateType Type, TUser* User, int Info);

    TIRCClient* Client;
    QByteArray Name;
    QByteArray Topic;
    quint8 ModeFlags = 0;
    int Limit = 0;
    QByteArray Key;
    TMembers Members;
    bool Joined = false;
    quint8 LeftReason = 0;
    TUpdateEvent OnUpdate;

private:
    void ChangeFlags(TUser* User, int Set, int Clear);
    void RemoveMember(TUser* User, TChannelUpdateType Type);
};

class TChannels {
public:
    explicit TChannels(TIRCClient* Client) : Client(Client) {}
    ~TChannels();

    TChannel* Add(const QByteArray& Name);
    void Remove(const QByteArray& Name);
    TChannel* Find(const QByteArray& Name) const;
    bool FindIndex(const QByteArray& Name, int& Index) const;
    void Clear();
    void RenameMember(TUser* User, const QByteArray& NewNick);
    void UserQuit(TUser* User);
    int Count() const { return int(List.size()); }
    // In list order: names sorted without regard to case.
    QList<TChannel*> Items() const;

    TIRCClient* Client;

private:
    QMap<QByteArray, std::shared_ptr<TChannel>> List; // by IrcKey of the name
};
