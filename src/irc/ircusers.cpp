#include "irc/ircusers.h"

#include "irc/IRCClient.h"
#include "net/WSockets.h"

QByteArray IrcKey(const QByteArray& Name) {
    QByteArray Key = Name;
    for (char& C : Key)
        if (C >= 'A' && C <= 'Z') C = char(C + 32);
    return Key;
}

// ---- users ----------------------------------------------------------------------------------

TUsers::~TUsers() {
    Clear();
}

TUser* TUsers::Add(const QByteArray& Nick, const QByteArray& Host) {
    const QByteArray Key = IrcKey(Nick);
    if (TUser* User = Listed.value(Key)) {
        ++User->RefCount;
        if (!Host.isEmpty() && Host != User->UserHost) User->UserHost = Host;
        return User;
    }
    auto Owned = std::make_unique<TUser>(Client, Nick, Host);
    TUser* User = Owned.get();
    Objects.emplace(User, std::move(Owned));
    Listed.insert(Key, User);
    return User;
}

TUser* TUsers::Find(const QByteArray& Nick) const {
    return Listed.value(IrcKey(Nick));
}

bool TUsers::FindIndex(const QByteArray& Nick, int& Index) const {
    Index = -1;
    const auto It = Listed.constFind(IrcKey(Nick));
    if (It == Listed.cend()) return false;
    Index = int(std::distance(Listed.cbegin(), It));
    return true;
}

void TUsers::Release(TUser* User) {
    if (!User || !Objects.count(User)) return;
    if (--User->RefCount > 0) return;
    // An object is listed under its own nick at most (a rename onto its nick unlists it).
    const auto It = Listed.find(IrcKey(User->Nick));
    if (It != Listed.end() && It.value() == User) Listed.erase(It);
    Objects.erase(User);
}

void TUsers::Rename(const QByteArray& OldNick, const QByteArray& NewNick) {
    TUser* User = Listed.take(IrcKey(OldNick));
    if (!User) return;
    User->Nick = NewNick;
    // A listed NewNick now names this object; its previous object lives on unlisted.
    Listed.insert(IrcKey(NewNick), User);
}

void TUsers::Clear() {
    Listed.clear();
    Objects.clear();
}

// ---- members --------------------------------------------------------------------------------

void TMembers::Bump(int Slot, int Delta) {
    for (int I = Slot + 1; I <= int(Slots.size()); I += I & -I)
        Tree[I] += Delta;
}

int TMembers::IndexOfSlot(int Slot) const {
    int Sum = 0;
    for (int I = Slot; I > 0; I -= I & -I)
        Sum += Tree[I];
    return Sum; // live slots before Slot
}

int TMembers::SlotOf(int Index) const {
    // The slot holding the (Index+1)-th live member.
    int Slot = 0, Left = Index + 1;
    int Step = 1;
    while (Step * 2 <= int(Slots.size()))
        Step *= 2;
    for (; Step > 0; Step /= 2)
        if (Slot + Step <= int(Slots.size()) && Tree[Slot + Step] < Left) {
            Slot += Step;
            Left -= Tree[Slot];
        }
    return Slot;
}

QByteArray TMembers::Nick(int Index) const {
    return Index >= 0 && Index < Live ? Slots[SlotOf(Index)].Nick : QByteArray();
}

int TMembers::Flags(int Index) const {
    return Index >= 0 && Index < Live ? Slots[SlotOf(Index)].Flags : 0;
}

int TMembers::IndexOf(const QByteArray& Nick) const {
    const auto It = SlotByKey.constFind(IrcKey(Nick));
    return It == SlotByKey.cend() ? -1 : IndexOfSlot(*It);
}

int TMembers::Append(const QByteArray& Nick, int Flags) {
    const int Slot = int(Slots.size());
    Slots.push_back({Nick, Flags, false});
    Tree.resize(Slots.size() + 1, 0);
    // The new node covers a range of earlier slots: give it their live count.
    const int Node = Slot + 1;
    const int Low = Node - (Node & -Node);
    Tree[Node] = IndexOfSlot(Slot) - IndexOfSlot(Low);
    Bump(Slot, 1);
    SlotByKey.insert(IrcKey(Nick), Slot);
    return Live++;
}

void TMembers::SetFlags(int Index, int Flags) {
    Slots[SlotOf(Index)].Flags = Flags;
}

void TMembers::Rename(int Index, const QByteArray& Nick) {
    const int Slot = SlotOf(Index);
    SlotByKey.remove(IrcKey(Slots[Slot].Nick));
    Slots[Slot].Nick = Nick;
    SlotByKey.insert(IrcKey(Nick), Slot);
}

void TMembers::Delete(int Index) {
    const int Slot = SlotOf(Index);
    SlotByKey.remove(IrcKey(Slots[Slot].Nick));
    Slots[Slot].Gone = true;
    Slots[Slot].Nick.clear();
    Bump(Slot, -1);
    --Live;
    if (int(Slots.size()) > 64 && Live * 2 < int(Slots.size())) Compact();
}

void TMembers::Compact() {
    std::vector<TSlot> Kept;
    Kept.reserve(size_t(Live));
    for (TSlot& S : Slots)
        if (!S.Gone) Kept.push_back(std::move(S));
    Slots = std::move(Kept);
    Tree.assign(Slots.size() + 1, 0);
    SlotByKey.clear();
    for (int Slot = 0; Slot < int(Slots.size()); ++Slot) {
        SlotByKey.insert(IrcKey(Slots[Slot].Nick), Slot);
        // Every slot is live: a node covers exactly its range's length.
        Tree[Slot + 1] = (Slot + 1) & -(Slot + 1);
    }
}

// ---- channels -------------------------------------------------------------------------------

TChannel::TChannel(TIRCClient* Client, const QByteArray& Name) : Client(Client), Name(Name) {}

void TChannel::Update(TChannelUpdateType Type, TUser* User, int Info) {
    FireEvent(OnUpdate, this, Type, User, Info);
}

void TChannel::SetTopic(const QByteArray& Text) {
    if (Topic != Text) Topic = Text;
    Update(cuTopic, nullptr, 0);
}

void TChannel::SetModes(quint8 Flags) {
    if (ModeFlags != Flags) ModeFlags = Flags;
    Update(cuModes, nullptr, 0);
}

void TChannel::SetLimit(int Value) {
    if (Limit != Value) Limit = Value;
    Update(cuModes, nullptr, 0);
}

void TChannel::SetKey(const QByteArray& Text) {
    if (Key != Text) Key = Text;
    Update(cuModes, nullptr, 0);
}

bool TChannel::FindMember(const QByteArray& Nick, int& Index) const {
    Index = Members.IndexOf(Nick);
    return Index >= 0;
}

TUser* TChannel::AddMember(QByteArray Entry, const QByteArray& Host) {
    int Flags = 0;
    if (Entry.startsWith('@')) {
        Flags = mfOperator;
        Entry.remove(0, 1);
        if (Entry.endsWith('+')) {
            Flags |= mfVoice;
            Entry.chop(1);
        }
    } else if (Entry.startsWith('+')) {
        Flags = mfVoice;
        Entry.remove(0, 1);
    }
    int Index;
    if (FindMember(Entry, Index)) return nullptr;
    // This reference is the membership's: it goes when the member leaves.
    TUser* User = Client->Users->Add(Entry, Host);
    Members.Append(Entry, Flags);
    return User;
}

void TChannel::ChangeFlags(TUser* User, int Set, int Clear) {
    int Index;
    if (!User || !FindMember(User->Nick, Index)) return;
    const int Flags = (Members.Flags(Index) | Set) & ~Clear;
    Members.SetFlags(Index, Flags);
    Update(cuMemberFlags, User, Flags);
}

void TChannel::Op(TUser* User) {
    ChangeFlags(User, mfOperator, 0);
}
void TChannel::Deop(TUser* User) {
    ChangeFlags(User, 0, mfOperator);
}
void TChannel::Voice(TUser* User) {
    ChangeFlags(User, mfVoice, 0);
}
void TChannel::Devoice(TUser* User) {
    ChangeFlags(User, 0, mfVoice);
}

void TChannel::RenameMember(TUser* User, const QByteArray& NewNick) {
    int Index;
    if (!User || !FindMember(User->Nick, Index)) return;
    Members.Rename(Index, NewNick);
    Update(cuRename, User, Index);
}

void TChannel::UserJoined(TUser* User) {
    int Index;
    if (!User || FindMember(User->Nick, Index)) return;
    // Each membership holds a reference, so later MODE and NICK lines find a user who joined
    // after our NAMES list, and a user who left every channel is let go.
    ++User->RefCount;
    Update(cuJoin, User, Members.Append(User->Nick, 0));
}

void TChannel::RemoveMember(TUser* User, TChannelUpdateType Type) {
    int Index;
    if (!User || !FindMember(User->Nick, Index)) return;
    Members.Delete(Index);
    Update(Type, User, Index);
    Client->Users->Release(User);
}

TChannel::~TChannel() {
    for (int I = 0; I < Members.Count(); ++I)
        Client->Users->Release(Client->Users->Find(Members.Nick(I)));
}

void TChannel::UserParted(TUser* User) {
    RemoveMember(User, cuPart);
}
void TChannel::UserKicked(TUser* User) {
    RemoveMember(User, cuKick);
}
void TChannel::UserQuit(TUser* User) {
    RemoveMember(User, cuQuit);
}

TChannels::~TChannels() {
    Clear();
}

TChannel* TChannels::Add(const QByteArray& Name) {
    Remove(Name);
    auto Channel = std::make_shared<TChannel>(Client, Name);
    Channel->OnUpdate = Client->OnChannelUpdate;
    List.insert(IrcKey(Name), Channel);
    return Channel.get();
}

void TChannels::Remove(const QByteArray& Name) {
    List.remove(IrcKey(Name));
}

TChannel* TChannels::Find(const QByteArray& Name) const {
    const auto It = List.constFind(IrcKey(Name));
    return It == List.cend() ? nullptr : It->get();
}

bool TChannels::FindIndex(const QByteArray& Name, int& Index) const {
    Index = -1;
    const auto It = List.constFind(IrcKey(Name));
    if (It == List.cend()) return false;
    Index = int(std::distance(List.cbegin(), It));
    return true;
}

void TChannels::Clear() {
    List.clear();
}

QList<TChannel*> TChannels::Items() const {
    QList<TChannel*> Result;
    for (const auto& C : List)
        Result << C.get();
    return Result;
}

void TChannels::RenameMember(TUser* User, const QByteArray& NewNick) {
    for (TChannel* C : Items())
        C->RenameMember(User, NewNick);
}

void TChannels::UserQuit(TUser* User) {
    for (TChannel* C : Items())
        C->UserQuit(User);
}
