// The chat as the program runs it, without its windows: the IRC engine set up from the
// settings, which chat window each channel gets and which one hears what belongs to no
// channel, the lines every engine event becomes, the nick (a generated one is kept, one in use
// gets a number), auto-away while the chat is not looked at, and which file offers are put to
// the user. The chat module turns its events into widgets.
#pragma once

#include "chat/chatcolor.h"
#include "irc/IRCClient.h"
#include "irc/dcc.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class TSettings;

class TChatSession : public QObject {
    Q_OBJECT
public:
    explicit TChatSession(TSettings& Settings, QObject* Parent = nullptr);
    ~TChatSession() override;

    std::unique_ptr<TIRCClient> IRCClient1;

    // Chat windows go by the ids the session gives them. The program adds the first; the
    // others open for channels and close again when left.
    int AddWindow(const QString& Caption);
    QList<int> Windows() const;
    TChannel* ChannelOf(int Window) const;
    // The window showing Channel (null: the first one showing none); -1 when there is none.
    int WindowOf(const TChannel* Channel) const;
    // The window shown or activated last: it gets what belongs to no channel.
    int CurrentWindow() const { return Current; }
    void SetCurrentWindow(int Window);
    QString NoChannelCaption = "Chat";

    void ConnectChat();
    void QuitChat(bool Force);
    // The connect button released: the chat is left a moment later.
    void QuitChatSoon() { disconnecttimer.start(); }

    // Looking at the chat or elsewhere; the nick follows after a quiet interval unless the
    // noautoaway setting says otherwise.
    void SetChatActive(bool Value);

    QTimer disconnecttimer;
    QTimer activetimer;
    bool IsActive = true;
    bool WantActive = true;
    QByteArray SavedNick;

    // None of these fires once the session is being destroyed.
    std::function<void(int Window, const QString& Text, TChatColor Color)> OnLine;
    // Join and part lines, which come in bursts: they may show a moment later, together
    // (unset: OnLine).
    std::function<void(int Window, const QString& Text, TChatColor Color)> OnBusyLine;
    // A new window, its connect button down.
    std::function<void(int Window)> OnWindowOpened;
    // Window now shows Channel: its caption and names, an empty topic; shown and in front.
    std::function<void(int Window, TChannel* Channel)> OnChannelShown;
    // Window keeps going without a channel, under Caption, with no names.
    std::function<void(int Window, const QString& Caption)> OnWindowCleared;
    std::function<void(int Window)> OnWindowClosed;
    // Window shown and brought in front.
    std::function<void(int Window)> OnWindowRaised;
    std::function<void(int Window, TChannel* Channel)> OnNames;
    // One change of Window's channel members: Info and User as the engine reports them.
    std::function<void(int Window, TChannel* Channel, TChannelUpdateType Type, TUser* User,
                       int Info)>
        OnMembers;
    std::function<void(int Window, TChannel* Channel)> OnTopic;
    // The connect button of Window follows the connection.
    std::function<void(int Window, bool Connected)> OnConnectedChanged;
    // A file offer to put to the user: one at a time, the next once DccAnswered is called.
    std::function<void(const QByteArray& Nick, const TDccOffer& Offer)> OnDccOffer;
    // The user is done with the offer put last (accepted, declined or its window gone).
    void DccAnswered();
    // Offers waiting behind the one being asked.
    qsizetype DccWaiting() const { return DccQueue.size(); }
    // A stranger's offers cost a window each: few wait per nick and in all, the rest are
    // refused, so a flood cannot pile questions up.
    static constexpr int DccPerNick = 3;
    static constexpr int DccMaxWaiting = 10;
    // The server's channel listing.
    std::function<void()> OnListStarted;
    std::function<void(const QByteArray& Name, int Count, const QByteArray& Topic)> OnListed;
    std::function<void()> OnListEnded;

private:
    struct TWindow {
        int Id;
        TChannel* Channel;
    };
    void SetupEngine();
    void SetupEvents();
    void SetupLineEvents();
    void Line(int Window, const QString& Text, TChatColor Color);
    void LineIn(const TChannel* Channel, const QString& Text, TChatColor Color, bool Busy = false);
    int OpenWindow();
    void Joined(TChannel* Channel);
    void Release(int Window);
    void Parted(TChannel* Channel);
    void Kicked(TUser* User, TChannel* Channel);
    void StateChange();
    void Disconnected();
    void CTCPQuery(TUser* User, const QByteArray& Command, const QByteArray& Args);
    void activetimerTimer();
    void TakeOffer(const QByteArray& Nick, const TDccOffer& Offer);
    void AskNextOffer();
    TWindow* Find(int Window);

    TSettings& Settings;
    struct TWaitingOffer {
        QByteArray Nick;
        TDccOffer Offer;
    };
    QList<TWindow> Slots;
    QList<TWaitingOffer> DccQueue;
    QByteArray DccAsking; // the nick whose offer is being asked, lower case
    bool DccAskOpen = false;
    int Current = -1;
    int NextId = 1;
    bool Destroying = false;
};
