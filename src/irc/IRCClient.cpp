#include "irc/IRCClient.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>

namespace {

const char* const CommandWords[] = {"PRIVMSG", "NOTICE",  "QUIT",  "INVITE", "KILL",
                                    "PING",    "WALLOPS", "TOPIC", "JOIN",   "PART",
                                    "KICK",    "MODE",    "NICK"};

enum TCommand {
    cmPrivmsg,
    cmNotice,
    cmQuit,
    cmInvite,
    cmKill,
    cmPing,
    cmWallops,
    cmTopic,
    cmJoin,
    cmPart,
    cmKick,
    cmMode,
    cmNick,
    cmUnknown
};

TCommand CommandOf(const QByteArray& Word) {
    for (int I = 0; I < cmUnknown; ++I)
        if (Word == CommandWords[I]) return TCommand(I);
    return cmUnknown;
}

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

QByteArray Format(const char* Pattern, std::initializer_list<QByteArray> Values) {
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

int TIRCClient::FindLineEnd(const QByteArray& Buffer) {
    const int C = int(Buffer.indexOf('\r')) + 1;
    const int L = int(Buffer.indexOf('\n')) + 1;
    if (C != 0 && (L == 0 || C < L) && C + 1 != L) return C;
    return L;
}

void TIRCClient::SocketData() {
    ReceiveBuffer += Socket->ReceiveText();
    QPointer<TIRCClient> Self(this);
    int End;
    while (Connected() && (End = FindLineEnd(ReceiveBuffer)) > 0) {
        QByteArray Line = ReceiveBuffer.left(End - 1);
        ReceiveBuffer.remove(0, End);
        Line.removeIf([](char C) { return C == '\r' || C == '\n'; });
        if (Line.isEmpty()) continue;
        FireEvent(OnReceive, this, Line);
        if (!Self) return;
        DispatchLine(Line);
        if (!Self) return;
    }
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
    const bool FromUs = IsUs(PrefixNick);
    switch (CommandOf(Command)) {
    case cmPrivmsg:
        if (!Params[3].isEmpty() && Params[3][0] == '\x01')
            HandleCTCPQuery();
        else
            FireEvent(OnMessage, this, LineUser, Channels->Find(Params[2]), Params[3]);
        break;
    case cmNotice:
        if (!Params[3].isEmpty() && Params[3][0] == '\x01')
            HandleCTCPReply();
        else
            FireEvent(OnNotice, this, LineUser, Channels->Find(Params[2]), Params[3]);
        break;
    case cmJoin:
        if (!FromUs) {
            TChannel* Channel = Channels->Find(Params[2]);
            if (Channel) Channel->UserJoined(LineUser);
            FireEvent(OnJoin, this, LineUser, Channel);
        } else {
            TChannel* Channel = Channels->Add(Params[2]);
            Channel->Joined = true;
            Mode(Params[2], {}, {});
            FireEvent(OnJoined, this, Channel);
        }
        break;
    case cmPart: {
        LineUser->Comment = Params[3];
        TChannel* Channel = Channels->Find(Params[2]);
        if (!FromUs) {
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
        break;
    }
    case cmKick: {
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
        break;
    }
    case cmMode:
        if (IsChannelName(Params[2])) {
            if (TChannel* Channel = Channels->Find(Params[2])) {
                FireEvent(OnChannelMode, this, Users->Find(PrefixNick), Channel, Params[3]);
                ChannelModes(2);
            }
        } else if (IsUs(Params[2])) {
            FireEvent(OnUserMode, this);
            if (UserModes(Params[3])) FireEvent(OnUserModeChanged, this);
        }
        break;
    case cmNick: {
        const QByteArray NewNick = Params[2];
        if (FromUs) {
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
        break;
    }
    case cmQuit:
        LineUser->Comment = Params[2];
        FireEvent(OnQuit, this, LineUser);
        Channels->UserQuit(LineUser);
        break;
    case cmInvite:
        FireEvent(OnInvite, this, LineUser, Params[2]);
        break;
    case cmKill:
        FireEvent(OnKill, this, LineUser, Params[2], Params[3]);
        break;
    case cmPing:
        SendRaw("PONG :" + Params[2]);
        FireEvent(OnPingPong, this);
        break;
    case cmWallops:
        FireEvent(OnWallops, this, LineUser, Params[2]);
        break;
    case cmTopic: {
        TChannel* Channel = Channels->Find(Params[2]);
        if (Channel) Channel->SetTopic(Params[3]);
        FireEvent(OnTopic, this, LineUser, Channel);
        break;
    }
    case cmUnknown:
        FireEvent(OnUnknownCommand, this, LineUser, Command, ParamText);
        break;
    }
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

void TIRCClient::HandleNumeric(int N, TUser* U) {
    const auto In = [N](int Low, int High) { return N >= Low && N <= High; };
    const QByteArray& P = ParamText;
    QPointer<TIRCClient> Self(this);
    if (In(1, 4)) {
        SetState(csRegistered);
        System(U, "WELCOME", P);
    } else if (In(200, 206) || N == 208 || N == 261) {
        System(U, "TRACE", P);
    } else if (In(211, 216) || N == 218 || In(241, 244)) {
        System(U, "STATS", P);
    } else if (N == 219) {
        System(U, "STATS", Format("%s :%s", {Slot(2), Slot(3)}));
    } else if (N == 221) {
        System(U, "UMODE", Slot(2));
    } else if (In(251, 255)) {
        System(U, "LUSER", Slot(3));
    } else if (In(256, 259)) {
        System(U, "ADMIN", P);
    } else if (N == 301) {
        U->Comment = Slot(3);
        FireEvent(OnAway, this, U);
    } else if (N == 302) {
        System(U, "USERHOST", Slot(2));
    } else if (N == 303) {
        System(U, "ISON", Slot(2));
    } else if (N == 305) {
        Away = false;
        FireEvent(OnUnAway, this);
    } else if (N == 306) {
        Away = true;
        FireEvent(OnNowAway, this);
    } else if (N == 311) {
        System(U, "WHOIS",
               Format("%s is %s@%s %s %s", {Slot(3), Slot(4), Slot(5), Slot(6), Slot(7)}));
    } else if (N == 312) {
        System(U, "WHOIS", Format("%s is using %s :%s", {Slot(3), Slot(4), Slot(5)}));
    } else if (N == 313) {
        System(U, "WHOIS", Format("%s %s", {Slot(3), Slot(4)}));
    } else if (N == 314) {
        System(U, "WHOWAS",
               Format("%s was %s@%s %s %s", {Slot(3), Slot(4), Slot(5), Slot(6), Slot(7)}));
    } else if (N == 315) {
        System(U, "WHO", Format("%s :%s", {Slot(3), Slot(4)}));
    } else if (N == 317) {
        System(U, "WHOIS",
               Format("%s has been idle %s seconds, signed on at %s", {Slot(3), Slot(4), Slot(5)}));
    } else if (N == 318) {
        System(U, "WHOIS", Format("%s :%s", {Slot(3), Slot(4)}));
    } else if (N == 319) {
        System(U, "WHOIS", Format("%s is on %s", {Slot(3), Slot(4)}));
    } else if (N == 321) {
        System(U, "LIST", "Start of LIST");
        if (Self) FireEvent(OnStartChannelInfo, this);
    } else if (N == 322) {
        System(U, "LIST", Format("%s %s %s", {Slot(2), Slot(3), Slot(4)}));
        if (Self) FireEvent(OnAddChannelInfo, this, Slot(3), IntOf(Slot(4)), Slot(5));
    } else if (N == 323) {
        System(U, "LIST", Slot(2));
        if (Self) FireEvent(OnEndChannelInfo, this);
    } else if (N == 324) {
        ChannelModes(3);
    } else if (N == 329) {
        FireEvent(OnSystem, this, U, Command, P);
    } else if (N == 331) {
        if (TChannel* Channel = Channels->Find(Slot(3))) {
            Channel->SetTopic({});
            FireEvent(OnNoTopic, this, Channel);
        }
    } else if (N == 332) {
        if (TChannel* Channel = Channels->Find(Slot(3))) {
            Channel->SetTopic(Slot(4));
            FireEvent(OnTopic, this, U, Channel);
        }
    } else if (N == 341) {
        FireEvent(OnInviting, this, Slot(3), Slot(2));
    } else if (N == 342) {
        System(U, "SUMMON", Format("%s has been summoned", {Slot(2)}));
    } else if (N == 351) {
        System(U, "VERSION", Format("%s %s :%s", {Slot(2), Slot(3), Slot(4)}));
    } else if (N == 352) {
        System(U, "WHO", Slot(2));
    } else if (N == 353) {
        System(U, "NAMES", Format("%s :%s", {Slot(4), Slot(5)}));
        if (!Self) return;
        if (TChannel* Channel = Channels->Find(Slot(4))) {
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
    } else if (N == 364) {
        System(U, "LINKS", Format("%s %s :%s", {Slot(2), Slot(3), Slot(4)}));
    } else if (N == 365) {
        System(U, "LINKS", Format("%s :%s", {Slot(2), Slot(3)}));
    } else if (N == 366) {
        System(U, "NAMES", Format("%s :%s", {Slot(3), Slot(4)}));
    } else if (N == 367) {
        System(U, "BANS", Format("%s %s", {Slot(2), Slot(3)}));
    } else if (N == 368) {
        System(U, "BANS", Format("%s :%s", {Slot(2), Slot(3)}));
    } else if (N == 369) {
        System(U, "WHOWAS", Format("%s :%s", {Slot(3), Slot(4)}));
    } else if (N == 371 || N == 374) {
        System(U, "INFO", Slot(2));
    } else if (N == 372 || N == 376) {
        System(U, "MOTD", Slot(3));
    } else if (N == 375) {
        SetState(csRegistered);
        System(U, "MOTD", Slot(3));
    } else if (N == 381) {
        System(U, "OPER", Slot(2));
    } else if (N == 382) {
        System(U, "REHASH", Format("%s :%s", {Slot(2), Slot(3)}));
    } else if (N == 391) {
        System(U, "TIME", Format("%s :%s", {Slot(2), Slot(3)}));
    } else if (In(392, 395)) {
        System(U, "USERS", Slot(2));
    } else if (In(401, 502)) {
        FireEvent(OnError, this, U, Command, P);
        if (Self && N == 433 && State == csConnected) NickInUse();
    } else {
        FireEvent(OnUnknownCommand, this, U, Command, P);
    }
}

void TIRCClient::NickInUse() {
    if (CurrentNick == StoredNick) {
        CurrentNick = AltNick;
    } else if (CurrentNick == AltNick || NickRetries > 0) {
        if (++NickRetries > MaxNickRetries) {
            // The design would repeat a refused nick for ever.
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
