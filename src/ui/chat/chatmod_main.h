// The chat module: owns the program's IRC engine, configures it from the settings, keeps the
// chat windows (one per channel) and turns every engine event into a line, a window change or
// a channel-list row. It also marks the user away when the chat is not being looked at.
#pragma once

#include "irc/IRCClient.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class QColor;
class TDockArea;
class Tchat_form;
class Tdcc_form;

class TChatModule : public QObject {
    Q_OBJECT
public:
    explicit TChatModule(QObject* Parent = nullptr);
    ~TChatModule() override;

    Tchat_form* FindChatWindow(TChannel* Channel) const;
    void RegisterChatWindow(Tchat_form* Window);
    void ConnectChat();
    void QuitChat(bool Force);
    void SetChatActive(bool Value);
    void ApplyChatSkin();
    // A file offer to Nick from Window, in a transfer window that window owns.
    void SendFile(Tchat_form* Window, const QByteArray& Nick);

    std::unique_ptr<TIRCClient> IRCClient1;
    QTimer disconnecttimer;
    QTimer activetimer;
    bool IsActive = true;
    bool WantActive = true;
    QByteArray SavedNick;
    TDockArea* DockSite = nullptr;
    QString NoChannelCaption = "Chat";
    QList<Tchat_form*> ChatWindows;

private:
    void IRCClient1Message(TUser* User, TChannel* Channel, const QByteArray& Content);
    void IRCClient1PrivMessage(TUser* User, const QByteArray& Content);
    void IRCClient1Joined(TChannel* Channel);
    void IRCClient1Parted(TChannel* Channel);
    void IRCClient1Kicked(TUser* User, TChannel* Channel);
    void IRCClient1StateChange();
    void IRCClient1Disconnect();
    void IRCClient1CTCPQuery(TUser* User, const QByteArray& Command, const QByteArray& Args);
    void activetimerTimer();
    void Line(Tchat_form* Window, const QString& Text, const QColor& Color);
    void LineIn(TChannel* Channel, const QString& Text, const QColor& Color);
    Tchat_form* NewChatWindow();
    void ReleaseChatWindow(Tchat_form* Window);
    bool Destroying = false;
    QList<QPointer<Tchat_form>> Created;   // windows this module made, freed by it
    QList<QPointer<Tdcc_form>> DccWindows; // receiving transfers, freed by this module
};

extern TChatModule* chat_module;
