#include "chat/chatsession.h"

#include "config/settings.h"
#include "net/netutils.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <memory>

namespace {
QString Nick(const TUser* User) {
    if (!User) return {};
    // A server's reply has no nick: its name stands in.
    return DisplayText(User->Nick.isEmpty() ? User->UserHost : User->Nick);
}
QString Name(const TChannel* Channel) {
    return Channel ? DisplayText(Channel->Name) : QString();
}
} // namespace

TChatSession::TChatSession(TSettings& Settings, QObject* Parent)
    : QObject(Parent), IRCClient1(std::make_unique<TIRCClient>()), Settings(Settings) {
    disconnecttimer.setInterval(100);
    disconnecttimer.setSingleShot(true);
    connect(&disconnecttimer, &QTimer::timeout, this, [this] { QuitChat(true); });
    activetimer.setInterval(10000);
    activetimer.setSingleShot(true);
    connect(&activetimer, &QTimer::timeout, this, &TChatSession::activetimerTimer);
    SetupEngine();
    SetupEvents();
    SetupLineEvents();
    SavedNick = IRCClient1->Nick();
    IsActive = true;
    SetChatActive(false);
    activetimer.start();
}

TChatSession::~TChatSession() {
    // The windows may be gone already: nothing is reported from here on.
    Destroying = true;
    QuitChat(false);
    IRCClient1.reset();
}

void TChatSession::SetupEngine() {
    TIRCClient& E = *IRCClient1;
    E.IRCX = true;
    E.Username = "l33t";
    E.RealName = "z";
    QString Chosen = Settings.Nick();
    if (Chosen.isEmpty()) {
        // A generated nick stays for later runs.
        Chosen = "Anon" + QString::number(QRandomGenerator::global()->bounded(10000));
        Settings.SetValue(TField::Nick, Chosen);
        Settings.Save();
    }
    const QByteArray Bytes = Chosen.toUtf8();
    E.SetNick(Bytes);
    E.AltNick = Bytes + '_';
    E.Username = Bytes;
    const QString Real = Settings.Value(TField::RealName);
    if (!Real.isEmpty()) E.RealName = Real.toUtf8().replace(' ', '_');
    E.Server = Settings.ChatServerHost();
    E.Port = Settings.ChatServerPort();
    // Every try is the second choice and a number not tried since it was refused: the nick
    // never grows past what servers accept. The list is shared: events fire through a copy of
    // the handler, which would lose state of its own.
    E.OnNicksInUse = [Tried = std::make_shared<QList<int>>()](TIRCClient* Sender,
                                                              QByteArray& NewNick) {
        if (NewNick == Sender->AltNick || Tried->size() >= 1000) Tried->clear();
        int Number;
        do
            Number = int(QRandomGenerator::global()->bounded(1000));
        while (Tried->contains(Number));
        *Tried << Number;
        NewNick = Sender->AltNick + QByteArray::number(Number);
    };
}

// Events that move windows or reach beyond the lines.
void TChatSession::SetupEvents() {
    TIRCClient& E = *IRCClient1;
    E.OnJoined = [this](TIRCClient*, TChannel* C) { Joined(C); };
    E.OnParted = [this](TIRCClient*, TChannel* C) { Parted(C); };
    E.OnKicked = [this](TIRCClient*, TUser* U, TChannel* C) { Kicked(U, C); };
    E.OnTopic = [this](TIRCClient*, TUser* U, TChannel* C) {
        const int W = WindowOf(C);
        if (W < 0 || !C) return;
        if (U)
            Line(W, "*** " + Nick(U) + " has changed to topic to: " + ChatText(C->Topic),
                 TChatColor::Red);
        if (!Destroying && OnTopic) OnTopic(W, C);
    };
    E.OnNoTopic = [this](TIRCClient*, TChannel* C) {
        const int W = WindowOf(C);
        if (W >= 0 && C && OnTopic) OnTopic(W, C);
    };
    E.OnChannelUpdate = [this](TChannel* C, TChannelUpdateType Type, TUser* U, int Info) {
        const int W = WindowOf(C);
        if (W >= 0 && Type != cuTopic && Type != cuModes && OnMembers)
            OnMembers(W, C, Type, U, Info);
    };
    E.OnStartChannelInfo = [this](TIRCClient*) {
        if (!Destroying && OnListStarted) OnListStarted();
    };
    E.OnAddChannelInfo = [this](TIRCClient*, const QByteArray& Name, int Count,
                                const QByteArray& Desc) {
        if (!Destroying && OnListed) OnListed(Name, Count, Desc);
    };
    E.OnEndChannelInfo = [this](TIRCClient*) {
        if (!Destroying && OnListEnded) OnListEnded();
    };
    E.OnCTCPQuery = [this](TIRCClient*, TUser* U, TChannel*, const QByteArray& Command,
                           const QByteArray& Args, bool&) { CTCPQuery(U, Command, Args); };
    E.OnStateChange = [this](TIRCClient*) { StateChange(); };
    E.OnDisconnect = [this](TIRCClient*) { Disconnected(); };
}

// Events that only say something.
void TChatSession::SetupLineEvents() {
    TIRCClient& E = *IRCClient1;
    E.OnMessage = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
        if (!C)
            Line(Current, "*" + Nick(U) + "* " + ChatText(T), TChatColor::Blue);
        else
            LineIn(C, "<" + Nick(U) + "> " + ChatText(T), TChatColor::Black);
    };
    E.OnNotice = [this](TIRCClient*, TUser* U, TChannel*, const QByteArray& T) {
        Line(Current, "-" + Nick(U) + "- " + ChatText(T), TChatColor::Green);
    };
    E.OnAction = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
        LineIn(C, "* " + Nick(U) + " " + ChatText(T), TChatColor::Purple);
    };
    E.OnJoin = [this](TIRCClient*, TUser* U, TChannel* C) {
        if (!Settings.Flag(TField::HideJoins))
            LineIn(C, "*** " + Nick(U) + " has joined " + Name(C), TChatColor::Orange, true);
    };
    E.OnPart = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray&) {
        if (!Settings.Flag(TField::HideJoins))
            LineIn(C, "*** " + Nick(U) + " has left " + Name(C), TChatColor::Orange, true);
    };
    E.OnKick = [this](TIRCClient*, TUser* U, TUser* V, TChannel* C) {
        LineIn(C,
               "*** " + Nick(V) + " was kicked by " + Nick(U) + " (" + ChatText(V->Comment) + ")",
               TChatColor::Orange);
    };
    E.OnSystem = [this](TIRCClient*, TUser*, const QByteArray& Kind, const QByteArray& Text) {
        if (Kind == "MOTD" || Kind == "LUSER" || Kind == "WHOIS" || Kind == "WELCOME")
            Line(Current, "*** " + ChatText(Text), TChatColor::Red);
    };
    // A connection that could not be made is said where the user looks.
    E.OnSocketError = [this](TIRCClient*, const QByteArray& Where, const QByteArray& Why) {
        Line(Current,
             "*** Cannot connect to chat server " + DisplayText(Where) + ": " + DisplayText(Why),
             TChatColor::Red);
    };
    E.OnError = [this](TIRCClient*, TUser*, const QByteArray& Numeric, const QByteArray& Text) {
        // The server's own refusals (no such nick, cannot send) help the user; the rest is noise.
        if (Numeric.isEmpty() || Numeric == "401" || Numeric == "403" || Numeric == "404" ||
            Numeric == "433" || Numeric == "482")
            Line(Current, "*** " + ChatText(Text), TChatColor::Red);
    };
}

int TChatSession::AddWindow(const QString& Caption) {
    const int Id = NextId++;
    Slots.append({Id, nullptr});
    NoChannelCaption = Caption;
    if (Current < 0) Current = Id;
    return Id;
}

QList<int> TChatSession::Windows() const {
    QList<int> Ids;
    for (const TWindow& S : Slots)
        Ids << S.Id;
    return Ids;
}

TChatSession::TWindow* TChatSession::Find(int Window) {
    for (TWindow& S : Slots)
        if (S.Id == Window) return &S;
    return nullptr;
}

TChannel* TChatSession::ChannelOf(int Window) const {
    for (const TWindow& S : Slots)
        if (S.Id == Window) return S.Channel;
    return nullptr;
}

int TChatSession::WindowOf(const TChannel* Channel) const {
    if (Destroying) return -1;
    for (const TWindow& S : Slots)
        if (S.Channel == Channel) return S.Id;
    return -1;
}

void TChatSession::SetCurrentWindow(int Window) {
    Current = Window;
}

void TChatSession::Line(int Window, const QString& Text, TChatColor Color) {
    if (!Destroying && Window >= 0 && OnLine) OnLine(Window, Text, Color);
}

void TChatSession::LineIn(const TChannel* Channel, const QString& Text, TChatColor Color,
                          bool Busy) {
    const int Window = WindowOf(Channel);
    if (Busy && !Destroying && Window >= 0 && OnBusyLine)
        OnBusyLine(Window, Text, Color);
    else
        Line(Window, Text, Color);
}

void TChatSession::ConnectChat() {
    IRCClient1->Server = Settings.ChatServerHost();
    IRCClient1->Port = Settings.ChatServerPort();
    Settings.ApplySocksProxy(*IRCClient1->Socket);
    if (IRCClient1->Server.isEmpty()) {
        // Without a chat server there is nothing to connect to: say where to set one.
        Line(Current, "*** No chat server is set: enter one on the Chat tab of the configuration",
             TChatColor::Red);
        if (!Destroying && Current >= 0 && OnConnectedChanged) OnConnectedChanged(Current, false);
        return;
    }
    Line(Current, "*** Connecting to " + DisplayText(IRCClient1->Server + ':' + IRCClient1->Port),
         TChatColor::Red);
    IRCClient1->Connect();
}

void TChatSession::QuitChat(bool Force) {
    if (!IRCClient1) return;
    const QByteArray Address = Settings.Links[lkScoutly].Address.toUtf8();
    if (IRCClient1->Connected()) IRCClient1->Quit(Address + " -- be there");
    IRCClient1->Disconnect(Force);
}

void TChatSession::SetChatActive(bool Value) {
    WantActive = Value;
    if (Value != IsActive && !activetimer.isActive()) activetimer.start();
}

void TChatSession::activetimerTimer() {
    activetimer.stop();
    if (WantActive == IsActive || !IRCClient1->Connected()) return;
    if (Settings.Flag(TField::NoAutoAway)) return;
    IsActive = WantActive;
    if (WantActive) {
        IRCClient1->SetNick(SavedNick);
    } else {
        SavedNick = IRCClient1->Nick();
        if (!SavedNick.contains("[AWAY]")) IRCClient1->SetNick("[AWAY]" + SavedNick);
    }
}

int TChatSession::OpenWindow() {
    const int Id = NextId++;
    // Known before the window exists: docking it may make it the current one at once.
    Slots.append({Id, nullptr});
    if (OnWindowOpened) OnWindowOpened(Id);
    return Id;
}

void TChatSession::Joined(TChannel* Channel) {
    if (Destroying) return;
    // The one window stays while it has no channel; every other channel gets a window.
    const int W = Slots.size() == 1 && !Slots[0].Channel ? Slots[0].Id : OpenWindow();
    if (OnChannelShown) OnChannelShown(W, Channel);
    Current = W;
    if (TWindow* S = Find(W)) S->Channel = Channel;
    if (OnNames) OnNames(W, Channel);
    Line(Current, "*** You are now chatting in " + Name(Channel), TChatColor::Orange);
}

void TChatSession::Release(int Window) {
    TWindow* S = Find(Window);
    if (!S) return;
    const QString ChannelName = Name(S->Channel);
    S->Channel = nullptr;
    if (Slots.size() < 2) {
        // The last window stays, waiting for the next channel.
        Current = Window;
        if (OnWindowCleared) OnWindowCleared(Window, NoChannelCaption);
    } else {
        Slots.removeIf([Window](const TWindow& W) { return W.Id == Window; });
        if (OnWindowClosed) OnWindowClosed(Window);
        const int First = Slots.first().Id;
        if (OnWindowRaised) OnWindowRaised(First);
        Current = First;
    }
    Line(Current, "*** You have left " + ChannelName, TChatColor::Orange);
}

void TChatSession::Parted(TChannel* Channel) {
    if (Destroying) return;
    if (const int W = WindowOf(Channel); W >= 0) Release(W);
}

void TChatSession::Kicked(TUser* User, TChannel* Channel) {
    if (Destroying) return;
    Parted(Channel);
    Line(Current,
         "*** You were kicked from " + Name(Channel) + " by " + Nick(User) + " (" +
             ChatText(User ? User->Comment : QByteArray()) + ")",
         TChatColor::Orange);
}

void TChatSession::StateChange() {
    if (Destroying || IRCClient1->State != csRegistered) return;
    const QString Home = Settings.Value(TField::HomeChannel);
    if (!Home.isEmpty())
        IRCClient1->Join(Home.toUtf8(), {});
    else if (!Settings.Edition().DefaultChannel.isEmpty())
        IRCClient1->Join(Settings.Edition().DefaultChannel, {});
    if (Current >= 0 && OnConnectedChanged) OnConnectedChanged(Current, true);
}

void TChatSession::Disconnected() {
    if (Destroying) return;
    for (qsizetype I = Slots.size() - 1; I >= 0; --I)
        if (I < Slots.size() && Slots[I].Channel) Release(Slots[I].Id);
    if (Current >= 0 && OnConnectedChanged) OnConnectedChanged(Current, false);
}

// Only a well-formed offer is put to the user; one with a bad address is said where the user
// looks, anything else is dropped.
void TChatSession::CTCPQuery(TUser* User, const QByteArray& Command, const QByteArray& Args) {
    if (Destroying) return;
    TDccOffer Offer;
    QString Error;
    switch (ParseDccOffer(Command + ' ' + Args, Offer, &Error)) {
    case TDccParse::NotAnOffer:
    case TDccParse::Ignored:
        return;
    case TDccParse::BadAddress:
        Line(Current, "*** " + Error, TChatColor::Red);
        return;
    case TDccParse::Valid:
        break;
    }
    TakeOffer(User ? User->Nick : QByteArray(), Offer);
}

// The address rule first, then the caps; what passes waits its turn.
void TChatSession::TakeOffer(const QByteArray& Nick, const TDccOffer& Offer) {
    const QString About = "*** File offer " + DisplayText(Offer.FileName) + " from " +
                          DisplayText(Nick) + " refused: ";
    const QString Why = DccAddressRefusal(Offer.Address, IRCClient1->Socket->PeerHostAddress());
    if (!Why.isEmpty()) {
        Line(Current, About + DisplayText(Offer.Address + ':' + Offer.Port) + " is " + Why,
             TChatColor::Red);
        return;
    }
    const QByteArray Key = Nick.toLower();
    qsizetype FromNick = DccAskOpen && DccAsking == Key ? 1 : 0;
    for (const TWaitingOffer& W : std::as_const(DccQueue))
        FromNick += W.Nick.toLower() == Key;
    if (FromNick >= DccPerNick || DccQueue.size() >= DccMaxWaiting) {
        Line(Current, About + "too many offers are waiting", TChatColor::Red);
        return;
    }
    DccQueue.append({Nick, Offer});
    if (!DccAskOpen) AskNextOffer();
}

void TChatSession::AskNextOffer() {
    if (Destroying || DccAskOpen || DccQueue.isEmpty()) return;
    const TWaitingOffer Next = DccQueue.takeFirst();
    DccAskOpen = true;
    DccAsking = Next.Nick.toLower();
    if (OnDccOffer)
        OnDccOffer(Next.Nick, Next.Offer);
    else
        DccAnswered();
}

void TChatSession::DccAnswered() {
    DccAskOpen = false;
    DccAsking.clear();
    AskNextOffer();
}
