#include "irc/IRCClient.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

enum TCTCPWord {
    ctAction,
    ctSound,
    ctPing,
    ctFinger,
    ctUserInfo,
    ctVersion,
    ctClientInfo,
    ctTime,
    ctError,
    ctDcc,
    ctOther
};

TCTCPWord CTCPWordOf(const QByteArray& Word) {
    static const char* const Words[] = {"ACTION",  "SOUND",      "PING", "FINGER", "USERINFO",
                                        "VERSION", "CLIENTINFO", "TIME", "ERROR",  "DCC"};
    for (int I = 0; I < ctOther; ++I)
        if (Word == Words[I]) return TCTCPWord(I);
    return ctOther;
}

// The framed text between 0x01 characters: the last character is dropped as the closing one.
void SplitCTCP(const QByteArray& Text, QByteArray& Command, QByteArray& Args) {
    const qsizetype Blank = Text.indexOf(' ');
    if (Blank < 0) {
        Command = Text.mid(1, qMax<qsizetype>(0, Text.size() - 2));
        Args.clear();
    } else {
        Command = Text.mid(1, Blank - 1);
        Args = Text.mid(Blank + 1, qMax<qsizetype>(0, Text.size() - Blank - 2));
    }
}

bool IsChannelName(const QByteArray& Name) {
    return !Name.isEmpty() && (Name[0] == '#' || Name[0] == '@');
}

int IntOf(const QByteArray& Text) {
    bool Ok = false;
    const int Value = Text.toInt(&Ok);
    return Ok ? Value : 0;
}

QByteArray Format(const char* Pattern, const QList<QByteArray>& Values) {
    QByteArray Result;
    auto Next = Values.begin();
    for (const char* P = Pattern; *P; ++P) {
        if (P[0] == '%' && P[1] == 's') {
            if (Next != Values.end()) Result += *Next++;
            ++P;
        } else {
            Result += *P;
        }
    }
    return Result;
}

} // namespace

TIRCClient::TIRCClient(QObject* Parent)
    : QObject(Parent), Users(std::make_unique<TUsers>(this)),
      Channels(std::make_unique<TChannels>(this)), Socket(std::make_unique<TSocksTCPClient>()) {
    Socket->OnConnect = [this](TCustomWSockets*, int) { SocketConnected(); };
    Socket->OnData = [this](TCustomWSockets*, int) { SocketData(); };
    Socket->OnClose = [this](TCustomWSockets*, int) { SocketClosed(); };
    // A connection that never came up still ends the attempt, once.
    Socket->OnError = [this](TCustomWSockets*, int, const QByteArray& Text) {
        if (State == csConnecting) {
            FireEvent(OnSocketError, this, Server + ':' + Port, Text);
            Disconnect(true);
        }
    };
}

TIRCClient::~TIRCClient() {
    if (Connected()) Disconnect(true);
}

void TIRCClient::SetNick(const QByteArray& Value) {
    if (Connected())
        SendRaw("NICK " + Value);
    else
        StoredNick = Value;
}

void TIRCClient::SetUserMode(TUserModes Value) {
    if (!Connected()) Modes = Value;
}

void TIRCClient::SetState(TClientState Value) {
    if (State == Value) return;
    State = Value;
    FireEvent(OnStateChange, this);
}

void TIRCClient::Connect() {
    if (Connected()) Disconnect(true);
    Channels->Clear();
    Users->Clear();
    SelfUser = Users->Add(StoredNick, {});
    CurrentNick = StoredNick;
    ReceiveBuffer.clear();
    ReceiveStart = 0;
    NickRetries = 0;
    SetState(csConnecting);
    Socket->Host = Server;
    Socket->Port = Port;
    Socket->Open();
}

void TIRCClient::Disconnect(bool Force) {
    if (!Connected()) {
        Socket->Close();
        return;
    }
    // Close() flushes what was written and then closes: nothing queued is lost either way.
    Q_UNUSED(Force);
    Socket->Close();
    SocketClosed();
}

void TIRCClient::SocketConnected() {
    SetState(csConnected);
    if (IRCX) {
        SendRaw("MODE ISIRCX");
        SendRaw("IRCX");
    }
    if (!Password.isEmpty()) SendRaw("PASS " + Password);
    SendRaw("NICK " + StoredNick);
    QByteArray Local = TCustomWSockets::LocalIP();
    if (Local.isEmpty()) Local = "0.0.0.0";
    SendRaw(Format("USER %s %s %s :%s", {Username, Local, Server, RealName}));
    FireEvent(OnConnect, this);
}

void TIRCClient::SocketClosed() {
    if (State == csDisconnected) return;
    SetState(csDisconnected);
    FireEvent(OnDisconnect, this);
    if (SelfUser) {
        Users->Release(SelfUser);
        SelfUser = nullptr;
    }
}

int TIRCClient::FindLineEnd(const QByteArray& Buffer, int From) {
    const char* Begin = Buffer.constData();
    const char* End = Begin + Buffer.size();
    const char* P = std::find_if(Begin + From, End, [](char C) { return C == '\r' || C == '\n'; });
    if (P == End) return 0;
    if (*P == '\r' && P + 1 < End && P[1] == '\n') ++P;
    return int(P - Begin) + 1;
}

void TIRCClient::SocketData() {
    ReceiveBuffer += Socket->ReceiveText();
    HandleReceived();
}

void TIRCClient::HandleReceived() {
    QPointer<TIRCClient> Self(this);
    QElapsedTimer Turn;
    Turn.start();
    int End;
    // Lines are taken from an offset and the buffer is compacted once per turn: removing each
    // line from the front would make a big burst cost quadratic copying.
    while (Connected() && (End = FindLineEnd(ReceiveBuffer, ReceiveStart)) > 0) {
        if (Turn.elapsed() >= TurnBudgetMs) {
            // A burst (a netsplit, a huge channel) goes on next turn: the windows paint and
            // the timers run in between. Later data queues behind it in the buffer.
            if (!MoreQueued) {
                MoreQueued = true;
                QTimer::singleShot(0, this, [this] {
                    MoreQueued = false;
                    HandleReceived();
                });
            }
            break;
        }
        QByteArray Line = ReceiveBuffer.mid(ReceiveStart, End - 1 - ReceiveStart);
        ReceiveStart = End;
        Line.removeIf([](char C) { return C == '\r' || C == '\n'; });
        if (Line.isEmpty()) continue;
        FireEvent(OnReceive, this, Line);
        if (!Self) return;
        DispatchLine(Line);
        if (!Self) return;
    }
    ReceiveBuffer.remove(0, ReceiveStart);
    ReceiveStart = 0;
    if (MoreQueued) return;
    // Without a line end in this much data the peer is not speaking IRC.
    if (Connected() && ReceiveBuffer.size() > MaxLineBytes) {
        ReceiveBuffer.clear();
        FireEvent(OnError, this, nullptr, QByteArray(),
                  QByteArray("The server sent a line longer than 64 KB: disconnected."));
        if (Self) Disconnect(true);
    }
}

void TIRCClient::SendRaw(const QByteArray& Line) {
    if (!Connected()) {
        FireEvent(OnError, this, nullptr, QByteArray(), QByteArray("Not connected to server."));
        return;
    }
    // A CR, LF or NUL inside a text (a typed message, a stranger's CTCP PING) would start a
    // line of its own: the line ends at the first of them.
    QByteArray Clean = Line;
    for (qsizetype I = 0; I < Clean.size(); ++I)
        if (Clean[I] == '\r' || Clean[I] == '\n' || Clean[I] == '\0') {
            Clean.truncate(I);
            break;
        }
    Socket->SendText(Clean + "\r\n");
    FireEvent(OnSend, this, Clean);
}

// ---- parsing and routing --------------------------------------------------------------------

void TIRCClient::ParseLine(QByteArray L) {
    PrefixNick.clear();
    PrefixHost.clear();
    Command.clear();
    ParamText.clear();
    Params[0].clear();
    if (L.startsWith(':')) {
        const qsizetype Blank = L.indexOf(' ');
        const QByteArray Prefix = Blank < 0 ? L.mid(1) : L.mid(1, Blank - 1);
        L = Blank < 0 ? QByteArray() : L.mid(Blank + 1, 512);
        Params[0] = Prefix;
        const qsizetype Bang = Prefix.indexOf('!');
        if (Bang >= 0) {
            PrefixNick = Prefix.left(Bang);
            PrefixHost = Prefix.mid(Bang + 1, 512);
        } else {
            PrefixHost = Prefix;
        }
    }
    const qsizetype Blank = L.indexOf(' ');
    if (Blank >= 0) {
        Command = L.left(Blank);
        L = L.mid(Blank + 1, 512);
    }
    Params[1] = Command;
    ParamText = L;
    int Slot = 2;
    while (!L.isEmpty() && Slot < 15) {
        if (L.startsWith(':')) {
            Params[Slot++] = L.mid(1);
            L.clear();
        } else if (const qsizetype Next = L.indexOf(' '); Next >= 0) {
            Params[Slot++] = L.left(Next);
            L = L.mid(Next + 1, 512);
        } else {
            Params[Slot++] = L.left(512);
            L.clear();
        }
    }
    // Parameters past the fourteenth slot have nowhere to go and are dropped.
    for (; Slot < 15; ++Slot)
        Params[Slot].clear();
}

void TIRCClient::DispatchLine(const QByteArray& Line) {
    ParseLine(Line);
    TUser* LineUser = Users->Add(PrefixNick, PrefixHost);
    QPointer<TIRCClient> Self(this);
    bool Suppress = false;
    if (OnRaw) FireEvent(OnRaw, this, LineUser, Command, ParamText, Suppress);
    if (Self && !Suppress) Route(LineUser);
    if (Self) Users->Release(LineUser);
}

void TIRCClient::Route(TUser* LineUser) {
    bool IsNumber = false;
    const int Number = Command.toInt(&IsNumber);
    if (IsNumber && Number >= 0) {
        HandleNumeric(Number, LineUser);
        return;
    }
    using THandler = void (TIRCClient::*)(TUser*);
    static const std::pair<const char*, THandler> Handlers[] = {
        {"PRIVMSG", &TIRCClient::HandlePrivmsg}, {"NOTICE", &TIRCClient::HandleNotice},
        {"QUIT", &TIRCClient::HandleQuit},       {"INVITE", &TIRCClient::HandleInvite},
        {"KILL", &TIRCClient::HandleKill},       {"PING", &TIRCClient::HandlePing},
        {"WALLOPS", &TIRCClient::HandleWallops}, {"TOPIC", &TIRCClient::HandleTopic},
        {"JOIN", &TIRCClient::HandleJoin},       {"PART", &TIRCClient::HandlePart},
        {"KICK", &TIRCClient::HandleKick},       {"MODE", &TIRCClient::HandleMode},
        {"NICK", &TIRCClient::HandleNick}};
    for (const auto& [Word, Handler] : Handlers)
        if (Command == Word) {
            (this->*Handler)(LineUser);
            return;
        }
    FireEvent(OnUnknownCommand, this, LineUser, Command, ParamText);
}

void TIRCClient::HandlePrivmsg(TUser* LineUser) {
    if (!Params[3].isEmpty() && Params[3][0] == '\x01')
        HandleCTCPQuery();
    else
        FireEvent(OnMessage, this, LineUser, Channels->Find(Params[2]), Params[3]);
}

void TIRCClient::HandleNotice(TUser* LineUser) {
    if (!Params[3].isEmpty() && Params[3][0] == '\x01')
        HandleCTCPReply();
    else
        FireEvent(OnNotice, this, LineUser, Channels->Find(Params[2]), Params[3]);
}

void TIRCClient::HandleJoin(TUser* LineUser) {
    if (!IsUs(PrefixNick)) {
        TChannel* Channel = Channels->Find(Params[2]);
        if (Channel) Channel->UserJoined(LineUser);
        FireEvent(OnJoin, this, LineUser, Channel);
    } else {
        TChannel* Channel = Channels->Add(Params[2]);
        Channel->Joined = true;
        Mode(Params[2], {}, {});
        FireEvent(OnJoined, this, Channel);
    }
}

void TIRCClient::HandlePart(TUser* LineUser) {
    LineUser->Comment = Params[3];
    TChannel* Channel = Channels->Find(Params[2]);
    if (!IsUs(PrefixNick)) {
        if (Channel) Channel->UserParted(LineUser);
        FireEvent(OnPart, this, LineUser, Channel, QByteArray());
    } else {
        if (Channel) {
            Channel->Joined = false;
            Channel->LeftReason = 1;
        }
        FireEvent(OnParted, this, Channel);
        Channels->Remove(Params[2]);
    }
}

void TIRCClient::HandleKick(TUser* LineUser) {
    LineUser->Comment = Params[4];
    TChannel* Channel = Channels->Find(Params[2]);
    if (!IsUs(Params[3])) {
        TUser* Victim = Users->Add(Params[3], {});
        Victim->Comment = LineUser->Comment;
        QPointer<TIRCClient> Self(this);
        FireEvent(OnKick, this, LineUser, Victim, Channel);
        if (!Self) return;
        if (Channel && Channels->Find(Params[2]) == Channel) Channel->UserKicked(Victim);
        Users->Release(Victim);
    } else {
        if (Channel) {
            Channel->Joined = false;
            Channel->LeftReason = 2;
        }
        FireEvent(OnKicked, this, LineUser, Channel);
        Channels->Remove(Params[2]);
    }
}

void TIRCClient::HandleMode(TUser*) {
    if (IsChannelName(Params[2])) {
        if (TChannel* Channel = Channels->Find(Params[2])) {
            FireEvent(OnChannelMode, this, Users->Find(PrefixNick), Channel, Params[3]);
            ChannelModes(2);
        }
    } else if (IsUs(Params[2])) {
        FireEvent(OnUserMode, this);
        if (UserModes(Params[3])) FireEvent(OnUserModeChanged, this);
    }
}

void TIRCClient::HandleNick(TUser* LineUser) {
    const QByteArray NewNick = Params[2];
    if (IsUs(PrefixNick)) {
        CurrentNick = NewNick;
        FireEvent(OnNickChanged, this);
    } else {
        FireEvent(OnNickChange, this, LineUser, NewNick);
    }
    // Nicks are unique: a server handing a taken nick to someone else has lost its
    // previous holder, who leaves every channel as on a quit, so that no membership is
    // counted on the wrong user.
    if (TUser* Holder = Users->Find(NewNick); Holder && Holder != LineUser) {
        Users->Add(NewNick, {}); // held until it has left every channel
        Channels->UserQuit(Holder);
        Users->Release(Holder);
    }
    Channels->RenameMember(LineUser, NewNick);
    Users->Rename(LineUser->Nick, NewNick);
}

void TIRCClient::HandleQuit(TUser* LineUser) {
    LineUser->Comment = Params[2];
    FireEvent(OnQuit, this, LineUser);
    Channels->UserQuit(LineUser);
}

void TIRCClient::HandleInvite(TUser* LineUser) {
    FireEvent(OnInvite, this, LineUser, Params[2]);
}

void TIRCClient::HandleKill(TUser* LineUser) {
    FireEvent(OnKill, this, LineUser, Params[2], Params[3]);
}

void TIRCClient::HandlePing(TUser*) {
    SendRaw("PONG :" + Params[2]);
    FireEvent(OnPingPong, this);
}

void TIRCClient::HandleWallops(TUser* LineUser) {
    FireEvent(OnWallops, this, LineUser, Params[2]);
}

void TIRCClient::HandleTopic(TUser* LineUser) {
    TChannel* Channel = Channels->Find(Params[2]);
    if (Channel) Channel->SetTopic(Params[3]);
    FireEvent(OnTopic, this, LineUser, Channel);
}

void TIRCClient::ChannelModes(int K) {
    TChannel* Channel = Channels->Find(Slot(K));
    if (!Channel) return;
    TUser* User = Users->Find(PrefixNick);
    quint8 Flags = Channel->ModeFlags;
    int A = K + 2;
    bool Plus = true;
    const QByteArray Letters = Slot(K + 1);
    for (char Letter : Letters) {
        switch (Letter) {
        case '+':
            Plus = true;
            break;
        case '-':
            Plus = false;
            break;
        case 'b':
            FireEvent(Plus ? OnBan : OnUnban, this, User, Channel, Slot(A));
            ++A;
            break;
        case 'p':
        case 's':
        case 'i':
        case 't':
        case 'n':
        case 'm': {
            static const QByteArray Order = "psitnm";
            const quint8 Bit = quint8(1 << Order.indexOf(Letter));
            Flags = Plus ? (Flags | Bit) : (Flags & ~Bit);
            break;
        }
        case 'k':
            if (Plus) {
                Flags |= cmKey;
                Channel->SetKey(Slot(A++));
            } else {
                Flags &= ~cmKey;
                Channel->SetKey({});
                ++A; // "-k" names the key too (ngircd sends "*")
            }
            break;
        case 'l':
            if (Plus) {
                Flags |= cmLimit;
                Channel->SetLimit(IntOf(Slot(A++)));
            } else {
                Flags &= ~cmLimit;
                Channel->SetLimit(0);
            }
            break;
        case 'o':
        case 'v': {
            TUser* Target = Users->Find(Slot(A++));
            if (Letter == 'o') {
                FireEvent(Plus ? OnOp : OnDeop, this, User, Channel, Target);
                Plus ? Channel->Op(Target) : Channel->Deop(Target);
            } else {
                FireEvent(Plus ? OnVoice : OnDevoice, this, User, Channel, Target);
                Plus ? Channel->Voice(Target) : Channel->Devoice(Target);
            }
            break;
        }
        default:
            break;
        }
    }
    if (Flags != Channel->ModeFlags) Channel->SetModes(Flags);
}

bool TIRCClient::UserModes(const QByteArray& Letters) {
    TUserModes Flags = Modes;
    bool Plus = true;
    for (char Letter : Letters) {
        const int Bit = QByteArray("iosw").indexOf(Letter);
        if (Letter == '+')
            Plus = true;
        else if (Letter == '-')
            Plus = false;
        else if (Bit >= 0)
            Flags = Plus ? TUserModes(Flags | (1 << Bit)) : TUserModes(Flags & ~(1 << Bit));
    }
    if (Flags == Modes) return false;
    Modes = Flags;
    return true;
}

// ---- CTCP -----------------------------------------------------------------------------------

void TIRCClient::HandleCTCPQuery() {
    QByteArray Word, Args;
    SplitCTCP(Params[3], Word, Args);
    bool Suppress = false;
    TUser* Sender = Users->Add(PrefixNick, PrefixHost);
    const QByteArray Nick = PrefixNick;
    const TCTCPWord Kind = CTCPWordOf(Word);
    QPointer<TIRCClient> Self(this);
    if (Kind == ctAction)
        FireEvent(OnAction, this, Sender, Channels->Find(Params[2]), Args);
    else
        FireEvent(OnCTCPQuery, this, Sender, Kind == ctDcc ? nullptr : Channels->Find(Params[2]),
                  Word, Args, Suppress);
    if (!Self) return;
    if (!Suppress) {
        switch (Kind) {
        case ctPing:
            CTCPReply(Nick, Word, Args);
            break;
        case ctFinger:
            CTCPReply(Nick, Word, Replies.Finger);
            break;
        case ctUserInfo:
            CTCPReply(Nick, Word, Replies.UserInfo);
            break;
        case ctVersion:
            CTCPReply(Nick, Word, Replies.Version);
            break;
        case ctClientInfo:
            CTCPReply(Nick, Word, Replies.ClientInfo);
            break;
        case ctTime: {
            const QDateTime Now = QDateTime::currentDateTime();
            const QLocale Local;
            CTCPReply(Nick, Word,
                      "Local time is " + (Local.toString(Now.date(), QLocale::ShortFormat) + ' ' +
                                          Local.toString(Now.time(), QLocale::LongFormat))
                                             .toUtf8());
            break;
        }
        default:
            break;
        }
    }
    if (Self) Users->Release(Sender);
}

void TIRCClient::HandleCTCPReply() {
    QByteArray Word, Args;
    SplitCTCP(Params[3], Word, Args);
    TUser* Sender = Users->Add(PrefixNick, PrefixHost);
    QPointer<TIRCClient> Self(this);
    if (CTCPWordOf(Word) != ctDcc)
        FireEvent(OnCTCPReply, this, Sender, Channels->Find(Params[2]), Word, Args);
    if (Self) Users->Release(Sender);
}

// ---- outgoing -------------------------------------------------------------------------------

void TIRCClient::PrivMsg(const QByteArray& Target, const QByteArray& Text) {
    SendRaw("PRIVMSG " + Target + " :" + Text);
}

void TIRCClient::Notice(const QByteArray& Target, const QByteArray& Text) {
    SendRaw("NOTICE " + Target + " :" + Text);
}

void TIRCClient::CTCPQuery(const QByteArray& Target, const QByteArray& Command,
                           const QByteArray& Args) {
    PrivMsg(Target, '\x01' + Command.toUpper() + ' ' + Args + '\x01');
}

void TIRCClient::CTCPReply(const QByteArray& Target, const QByteArray& Command,
                           const QByteArray& Args) {
    Notice(Target, '\x01' + Command + ' ' + Args + '\x01');
}

void TIRCClient::Action(const QByteArray& Target, const QByteArray& Text) {
    CTCPQuery(Target, "ACTION", Text);
}

void TIRCClient::Join(const QByteArray& Channel, const QByteArray& Key) {
    SendRaw(Key.isEmpty() ? "JOIN " + Channel : "JOIN " + Channel + ' ' + Key);
}

void TIRCClient::List() {
    SendRaw("LIST");
}

void TIRCClient::Part(const QByteArray& Channel, const QByteArray& Reason) {
    SendRaw(Reason.isEmpty() ? "PART " + Channel : "PART " + Channel + " :" + Reason);
}

void TIRCClient::Quit(const QByteArray& Reason) {
    SendRaw("QUIT :" + Reason);
}

void TIRCClient::Mode(const QByteArray& Target, const QByteArray& Modes, const QByteArray& Params) {
    SendRaw(Params.isEmpty() ? "MODE " + Target + ' ' + Modes
                             : "MODE " + Target + ' ' + Modes + ' ' + Params);
}

void TIRCClient::SetTopic(const QByteArray& Channel, const QByteArray& Text) {
    SendRaw("TOPIC " + Channel + " :" + Text);
}

// ---- numeric replies ------------------------------------------------------------------------

void TIRCClient::System(TUser* User, const char* Label, const QByteArray& Content) {
    FireEvent(OnSystem, this, User, QByteArray(Label), Content);
}

namespace {
// A numeric reply: shown as a system line (Label, and Pattern filled from the slots, or the
// whole parameter text without one), or handed to Handler when it does more than that.
struct TNumericRoute {
    int Low, High;
    const char* Label;
    const char* Pattern = nullptr;
    std::array<int, 5> Slots = {}; // 0 ends the list
    void (TIRCClient::*Handler)(int, TUser*) = nullptr;
};
} // namespace

void TIRCClient::HandleNumeric(int N, TUser* U) {
    using C = TIRCClient;
    static const TNumericRoute Routes[] = {
        {1, 4, nullptr, nullptr, {}, &C::HandleRegistered},
        {200, 206, "TRACE"},
        {208, 208, "TRACE"},
        {211, 216, "STATS"},
        {218, 218, "STATS"},
        {219, 219, "STATS", "%s :%s", {2, 3}},
        {221, 221, "UMODE", "%s", {2}},
        {241, 244, "STATS"},
        {251, 255, "LUSER", "%s", {3}},
        {256, 259, "ADMIN"},
        {261, 261, "TRACE"},
        {301, 301, nullptr, nullptr, {}, &C::HandleAwayReply},
        {302, 302, "USERHOST", "%s", {2}},
        {303, 303, "ISON", "%s", {2}},
        {305, 306, nullptr, nullptr, {}, &C::HandleAwayState},
        {311, 311, "WHOIS", "%s is %s@%s %s %s", {3, 4, 5, 6, 7}},
        {312, 312, "WHOIS", "%s is using %s :%s", {3, 4, 5}},
        {313, 313, "WHOIS", "%s %s", {3, 4}},
        {314, 314, "WHOWAS", "%s was %s@%s %s %s", {3, 4, 5, 6, 7}},
        {315, 315, "WHO", "%s :%s", {3, 4}},
        {317, 317, "WHOIS", "%s has been idle %s seconds, signed on at %s", {3, 4, 5}},
        {318, 318, "WHOIS", "%s :%s", {3, 4}},
        {319, 319, "WHOIS", "%s is on %s", {3, 4}},
        {321, 323, nullptr, nullptr, {}, &C::HandleChannelList},
        {324, 324, nullptr, nullptr, {}, &C::HandleChannelModeReply},
        {329, 329, nullptr, nullptr, {}, &C::HandleCreationTime},
        {331, 332, nullptr, nullptr, {}, &C::HandleTopicReply},
        {341, 341, nullptr, nullptr, {}, &C::HandleInvitingReply},
        {342, 342, "SUMMON", "%s has been summoned", {2}},
        {351, 351, "VERSION", "%s %s :%s", {2, 3, 4}},
        {352, 352, "WHO", "%s", {2}},
        {353, 353, nullptr, nullptr, {}, &C::HandleNamesReply},
        {364, 364, "LINKS", "%s %s :%s", {2, 3, 4}},
        {365, 365, "LINKS", "%s :%s", {2, 3}},
        {366, 366, "NAMES", "%s :%s", {3, 4}},
        {367, 367, "BANS", "%s %s", {2, 3}},
        {368, 368, "BANS", "%s :%s", {2, 3}},
        {369, 369, "WHOWAS", "%s :%s", {3, 4}},
        {371, 371, "INFO", "%s", {2}},
        {372, 372, "MOTD", "%s", {3}},
        {374, 374, "INFO", "%s", {2}},
        {375, 375, nullptr, nullptr, {}, &C::HandleRegistered},
        {376, 376, "MOTD", "%s", {3}},
        {381, 381, "OPER", "%s", {2}},
        {382, 382, "REHASH", "%s :%s", {2, 3}},
        {391, 391, "TIME", "%s :%s", {2, 3}},
        {392, 395, "USERS", "%s", {2}},
        {401, 502, nullptr, nullptr, {}, &C::HandleErrorReply},
    };
    const auto Route =
        std::find_if(std::begin(Routes), std::end(Routes),
                     [N](const TNumericRoute& R) { return N >= R.Low && N <= R.High; });
    if (Route == std::end(Routes)) {
        FireEvent(OnUnknownCommand, this, U, Command, ParamText);
    } else if (Route->Handler) {
        (this->*Route->Handler)(N, U);
    } else if (!Route->Pattern) {
        System(U, Route->Label, ParamText);
    } else {
        QList<QByteArray> Values;
        for (int Index : Route->Slots)
            if (Index) Values << Slot(Index);
        System(U, Route->Label, Format(Route->Pattern, Values));
    }
}

// The server's greeting and the start of its message of the day both say registration is over.
void TIRCClient::HandleRegistered(int N, TUser* U) {
    SetState(csRegistered);
    if (N == 375)
        System(U, "MOTD", Slot(3));
    else
        System(U, "WELCOME", ParamText);
}

void TIRCClient::HandleAwayReply(int, TUser* U) {
    U->Comment = Slot(3);
    FireEvent(OnAway, this, U);
}

void TIRCClient::HandleAwayState(int N, TUser*) {
    Away = N == 306;
    if (Away)
        FireEvent(OnNowAway, this);
    else
        FireEvent(OnUnAway, this);
}

void TIRCClient::HandleChannelList(int N, TUser* U) {
    QPointer<TIRCClient> Self(this);
    if (N == 321) {
        System(U, "LIST", "Start of LIST");
        if (Self) FireEvent(OnStartChannelInfo, this);
    } else if (N == 322) {
        System(U, "LIST", Format("%s %s %s", {Slot(2), Slot(3), Slot(4)}));
        if (Self) FireEvent(OnAddChannelInfo, this, Slot(3), IntOf(Slot(4)), Slot(5));
    } else {
        System(U, "LIST", Slot(2));
        if (Self) FireEvent(OnEndChannelInfo, this);
    }
}

void TIRCClient::HandleChannelModeReply(int, TUser*) {
    ChannelModes(3);
}

void TIRCClient::HandleCreationTime(int, TUser* U) {
    FireEvent(OnSystem, this, U, Command, ParamText);
}

void TIRCClient::HandleTopicReply(int N, TUser* U) {
    TChannel* Channel = Channels->Find(Slot(3));
    if (!Channel) return;
    if (N == 331) {
        Channel->SetTopic({});
        FireEvent(OnNoTopic, this, Channel);
    } else {
        Channel->SetTopic(Slot(4));
        FireEvent(OnTopic, this, U, Channel);
    }
}

void TIRCClient::HandleInvitingReply(int, TUser*) {
    FireEvent(OnInviting, this, Slot(3), Slot(2));
}

void TIRCClient::HandleNamesReply(int, TUser* U) {
    QPointer<TIRCClient> Self(this);
    System(U, "NAMES", Format("%s :%s", {Slot(4), Slot(5)}));
    if (!Self) return;
    TChannel* Channel = Channels->Find(Slot(4));
    if (!Channel) return;
    QByteArray Names = Slot(5);
    while (!Names.isEmpty()) {
        const qsizetype Blank = Names.indexOf(' ');
        if (Blank < 0) {
            Channel->AddMember(Names, {});
            break;
        }
        if (Blank > 0) Channel->AddMember(Names.left(Blank), {});
        Names = Names.mid(Blank + 1, 512);
    }
    Channel->Update(cuNames, nullptr, 0);
}

void TIRCClient::HandleErrorReply(int N, TUser* U) {
    QPointer<TIRCClient> Self(this);
    FireEvent(OnError, this, U, Command, ParamText);
    if (Self && N == 433 && State == csConnected) NickInUse();
}

void TIRCClient::NickInUse() {
    if (CurrentNick == StoredNick) {
        CurrentNick = AltNick;
    } else if (CurrentNick == AltNick || NickRetries > 0) {
        if (++NickRetries > MaxNickRetries) {
            // A server that refuses every nick would otherwise keep us asking for ever.
            FireEvent(OnError, this, nullptr, QByteArray("433"),
                      QByteArray("The server refused every nick tried: disconnected."));
            CurrentNick.clear();
        } else if (OnNicksInUse) {
            QPointer<TIRCClient> Self(this);
            FireEvent(OnNicksInUse, this, CurrentNick);
            if (!Self) return;
        } else {
            CurrentNick.clear();
        }
    }
    if (!CurrentNick.isEmpty())
        SetNick(CurrentNick);
    else
        Disconnect(true);
}
