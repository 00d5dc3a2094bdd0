// The chat module: keeps the chat windows (one per channel) and the channel list, and turns
// what the chat session decides into lines, window changes and channel-list rows. The main
// window reaches it through the program: docking, activation, skins and the start.
#pragma once

#include "chat/chatsession.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

class QColor;
class QWidget;
class TDockArea;
class TSettings;
class Tchannellist_form;
class Tchat_form;
class Tdcc_form;

class TChatModule : public QObject {
    Q_OBJECT
public:
    // First: the chat window made with the program; it stays when every channel is left.
    TChatModule(TSettings& Settings, Tchat_form* First, Tchannellist_form* ChannelList,
                QObject* Parent = nullptr);
    ~TChatModule() override;

    // Docks the first chat window into the main window's tabbed area (closing it leaves its
    // channel and docks it back); channel windows dock there too, and the area's activations
    // tell the chat whether it is looked at.
    void Dock(TDockArea* Pages);
    // A docked window came in front: a chat window is now the one looked at, anything else
    // means the chat is not.
    void WindowActivated(QWidget* Window);
    // The main window is up: the first window's channel lock is released, and the chat
    // connects when the chatconnect setting says so.
    void Start();
    void ApplyChatSkin();
    void SetChatActive(bool Value) { Session->SetChatActive(Value); }
    void ConnectChat() { Session->ConnectChat(); }
    void QuitChat(bool Force) { Session->QuitChat(Force); }
    // A file offer to Nick from Window, in a transfer window that window owns.
    void SendFile(Tchat_form* Window, const QByteArray& Nick);

    QList<Tchat_form*> ChatWindows() const;
    Tchat_form* CurrentChatWindow() const { return WindowOf(Session->CurrentWindow()); }
    Tchat_form* FindChatWindow(const TChannel* Channel) const;

    std::unique_ptr<TChatSession> Session;
    TDockArea* DockSite = nullptr;

private:
    void SessionWindowEvents();
    void SessionEvents();
    void Attach(Tchat_form* Window, int Id);
    void NewChatWindow(int Id);
    void ShowChannel(int Id, TChannel* Channel);
    void CloseChatWindow(int Id);
    void Raise(Tchat_form* Window);
    void ReceiveOffer(const QByteArray& Nick, const TDccOffer& Offer);
    Tchat_form* WindowOf(int Id) const;

    TSettings& Settings;
    QPointer<Tchat_form> First;
    QPointer<Tchannellist_form> ChannelList;
    QHash<int, QPointer<Tchat_form>> Windows; // by the session's id
    QList<QPointer<Tchat_form>> Created;      // windows this module made, freed by it
    QList<QPointer<Tdcc_form>> DccWindows;    // receiving transfers, freed by this module
};
