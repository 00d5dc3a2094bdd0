// TIRCClient: one client connection to one IRC server. It registers, splits the byte stream
// into lines, parses and routes each line to its events, keeps the tables of users and
// channels, answers CTCP queries and offers one operation per outgoing command.
#pragma once

#include "irc/ircusers.h"
#include "net/socks.h"

#include <QByteArray>
#include <QObject>
#include <array>
#include <functional>
#include <memory>

enum TClientState { csDisconnected = 0, csConnecting = 1, csConnected = 2, csRegistered = 3 };

enum TUserMode { umInvisible = 0, umOperator = 1, umServerNotices = 2, umWallops = 3 };
using TUserModes = quint8; // bit n stands for TUserMode n

// Texts of the automatic CTCP answers.
struct TReplies {
    QByteArray Finger;
    QByteArray Version = "TIRCClient 0.1 by the Scoutly Lite developers";
    QByteArray UserInfo;
    QByteArray ClientInfo = "TIRCClient 0.1 by the Scoutly Lite developers - an IRC client "
                            "engine for Qt programs.";
};

class TIRCClient : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TIRCClient* Sender)>;
    using TOnMessage = std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel,
                                          const QByteArray& Content)>;
    using TOnJoin = std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel)>;
    using TOnChannel = std::function<void(TIRCClient* Sender, TChannel* Channel)>;
    using TOnPart = std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel,
                                       const QByteArray& Reason)>;
    using TOnKick =
        std::function<void(TIRCClient* Sender, TUser* User, TUser* Victim, TChannel* Channel)>;
    using TOnNickChange =
        std::function<void(TIRCClient* Sender, TUser* User, const QByteArray& OldNick)>;
    using TOnUser = std::function<void(TIRCClient* Sender, TUser* User)>;
    using TOnNames = std::function<void(TIRCClient* Sender, const QByteArray& Names)>;
    using TOnInvite =
        std::function<void(TIRCClient* Sender, TUser* User, const QByteArray& Channel)>;
    using TOnError = std::function<void(TIRCClient* Sender, TUser* User, const QByteArray& Numeric,
                                        const QByteArray& Error)>;
    using TOnWallops =
        std::function<void(TIRCClient* Sender, TUser* User, const QByteArray& Content)>;
    using TOnCommand = std::function<void(TIRCClient* Sender, TUser* User,
                                          const QByteArray& Command, const QByteArray& Content)>;
    using TOnRaw = std::function<void(TIRCClient* Sender, TUser* User, const QByteArray& Command,
                                      const QByteArray& Content, bool& Suppress)>;
    using TOnOp =
        std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel, TUser* Target)>;
    using TOnBan = std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel,
                                      const QByteArray& Hostmask)>;
    using TOnChannelMode = std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel,
                                              const QByteArray& Modes)>;
    using TOnInviting =
        std::function<void(TIRCClient* Sender, const QByteArray& Nick, const QByteArray& Channel)>;
    using TOnKill = std::function<void(TIRCClient* Sender, TUser* User, const QByteArray& Victim,
                                       const QByteArray& Reason)>;
    using TOnCTCPQuery =
        std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel,
                           const QByteArray& Command, const QByteArray& Args, bool& Suppress)>;
    using TOnCTCPReply = std::function<void(TIRCClient* Sender, TUser* User, TChannel* Channel,
                                            const QByteArray& Command, const QByteArray& Args)>;
    using TOnSend = std::function<void(TIRCClient* Sender, const QByteArray& Command)>;
    using TOnNicksInUse = std::function<void(TIRCClient* Sender, QByteArray& Nick)>;
    using TOnSocketError =
        std::function<void(TIRCClient* Sender, const QByteArray& Socket, const QByteArray& Msg)>;
    using TAddChannelInfoEvent = std::function<void(TIRCClient* Sender, const QByteArray& Name,
                                                    int Count, const QByteArray& Desc)>;

    explicit TIRCClient(QObject* Parent = nullptr);
    ~TIRCClient() override;

    // Properties
    bool IRCX = false;
    QByteArray AltNick = "OtherNick";
    QByteArray Username = "username";
    QByteArray RealName = "Real name";
    QByteArray Server;
    QByteArray Port = "6667";
    QByteArray Password;
    QByteArray Nick() const { return Connected() ? CurrentNick : StoredNick; }
    void SetNick(const QByteArray& Value);
    TUserModes UserMode() const { return Modes; }
    void SetUserMode(TUserModes Value);

    TClientState State = csDisconnected;
    bool Connected() const { return State != csDisconnected; }
    QByteArray CurrentNick;
    bool Away = false;
    TReplies Replies;
    std::unique_ptr<TUsers> Users;
    std::unique_ptr<TChannels> Channels;
    std::unique_ptr<TSocksTCPClient> Socket;

    // A line this long without a line end is not IRC: the connection is dropped.
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
    // Nicks from OnNicksInUse tried before giving up.
    static constexpr int MaxNickRetries = 5;
    // Received lines handled in one event-loop turn for at most this long.
    static constexpr int TurnBudgetMs = 25;

    // Operations
    void Connect();
    void Disconnect(bool Force);
    void SendRaw(const QByteArray& Line);
    void PrivMsg(const QByteArray& Target, const QByteArray& Text);
    void Notice(const QByteArray& Target, const QByteArray& Text);
    void CTCPQuery(const QByteArray& Target, const QByteArray& Command, const QByteArray& Args);
    void CTCPReply(const QByteArray& Target, const QByteArray& Command, const QByteArray& Args);
    void Action(const QByteArray& Target, const QByteArray& Text);
    void Join(const QByteArray& Channel, const QByteArray& Key);
    void List();
    void Part(const QByteArray& Channel, const QByteArray& Reason);
    void Quit(const QByteArray& Reason);
    void Mode(const QByteArray& Target, const QByteArray& Modes, const QByteArray& Params);
    void SetTopic(const QByteArray& Channel, const QByteArray& Text);

    // One received line, as the receive loop hands it on (tests and benchmarks feed it too).
    void DispatchLine(const QByteArray& Line);
    // One past the end of the line starting at From (its CR, LF or CR LF); 0 when incomplete.
    static int FindLineEnd(const QByteArray& Buffer, int From = 0);

    // Per-line fields
    std::array<QByteArray, 15> Params;
    QByteArray PrefixNick;
    QByteArray PrefixHost;
    QByteArray Command;
    QByteArray ParamText;

    // Events
    TOnMessage OnMessage, OnNotice, OnAction;
    TNotifyEvent OnConnect, OnDisconnect;
    TOnJoin OnJoin;
    TOnChannel OnJoined, OnParted, OnNoTopic;
    TOnPart OnPart;
    TOnKick OnKick;
    TOnJoin OnKicked; // (Sender, User: the kicker, Channel)
    TOnNickChange OnNickChange;
    TNotifyEvent OnNickChanged;
    TOnJoin OnTopic;
    TOnUser OnQuit, OnAway;
    TOnNames OnNames;
    TOnInvite OnInvite;
    TNotifyEvent OnPingPong, OnNowAway, OnUnAway;
    TOnError OnError;
    TOnWallops OnWallops;
    TOnCommand OnSystem, OnUnknownCommand;
    TOnRaw OnRaw;
    TOnOp OnOp, OnDeop, OnVoice, OnDevoice;
    TOnBan OnBan, OnUnban;
    TOnChannelMode OnChannelMode;
    TOnJoin OnChannelModeChanged;
    TNotifyEvent OnUserMode, OnUserModeChanged;
    TOnInviting OnInviting;
    TOnKill OnKill;
    TOnCTCPQuery OnCTCPQuery;
    TOnCTCPReply OnCTCPReply;
    TNotifyEvent OnStateChange;
    TOnSend OnSend, OnReceive;
    TOnNicksInUse OnNicksInUse;
    TOnSocketError OnSocketError;
    TChannel::TUpdateEvent OnChannelUpdate;
    TAddChannelInfoEvent OnAddChannelInfo;
    TNotifyEvent OnStartChannelInfo, OnEndChannelInfo;

private:
    void SetState(TClientState Value);
    void SocketConnected();
    void SocketData();
    void HandleReceived();
    void SocketClosed();
    void ParseLine(QByteArray Line);
    void Route(TUser* LineUser);
    void HandleNumeric(int Number, TUser* LineUser);
    // One per command word.
    void HandlePrivmsg(TUser* LineUser);
    void HandleNotice(TUser* LineUser);
    void HandleJoin(TUser* LineUser);
    void HandlePart(TUser* LineUser);
    void HandleKick(TUser* LineUser);
    void HandleMode(TUser* LineUser);
    void HandleNick(TUser* LineUser);
    void HandleQuit(TUser* LineUser);
    void HandleInvite(TUser* LineUser);
    void HandleKill(TUser* LineUser);
    void HandlePing(TUser* LineUser);
    void HandleWallops(TUser* LineUser);
    void HandleTopic(TUser* LineUser);
    // Numeric replies that do more than show a system line.
    void HandleRegistered(int Number, TUser* LineUser);
    void HandleAwayReply(int Number, TUser* LineUser);
    void HandleAwayState(int Number, TUser* LineUser);
    void HandleChannelList(int Number, TUser* LineUser);
    void HandleChannelModeReply(int Number, TUser* LineUser);
    void HandleCreationTime(int Number, TUser* LineUser);
    void HandleTopicReply(int Number, TUser* LineUser);
    void HandleInvitingReply(int Number, TUser* LineUser);
    void HandleNamesReply(int Number, TUser* LineUser);
    void HandleErrorReply(int Number, TUser* LineUser);
    void HandleCTCPQuery();
    void HandleCTCPReply();
    void ChannelModes(int Slot);
    bool UserModes(const QByteArray& Letters);
    void NickInUse();
    void System(TUser* User, const char* Label, const QByteArray& Content);
    bool IsUs(const QByteArray& Nick) const { return Nick == CurrentNick; }
    QByteArray Slot(int Index) const {
        return Index >= 0 && Index < 15 ? Params[Index] : QByteArray();
    }

    QByteArray StoredNick = "Nick";
    TUserModes Modes = 0;
    TUser* SelfUser = nullptr;
    QByteArray ReceiveBuffer;
    int ReceiveStart = 0; // where the next unhandled line starts
    int NickRetries = 0;
    bool MoreQueued = false;
};
