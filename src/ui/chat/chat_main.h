// A chat window: the text of one IRC channel, its people, an input line with a small command
// language and a column of buttons. Docked in the browser's tabbed area; one per channel.
#pragma once

#include "chat/chatcolor.h"
#include "irc/ircusers.h"

#include <QColor>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QListView;
class QMenu;
class QTextBrowser;
class QToolButton;
class TCRTEdit;
class TChannel;
class TIRCClient;
class TNameList;
struct TChatCommand;
struct TSkinColors;

class Tchat_form : public QWidget {
    Q_OBJECT
public:
    explicit Tchat_form(QWidget* Parent = nullptr);
    ~Tchat_form() override;

    void AddLine(const QString& Text, const QColor& Color);
    // Shown with the others queued in this event-loop turn: one layout and paint for a burst.
    void QueueLine(const QString& Text, const QColor& Color);
    void ScrollToEnd();
    void ApplyColors(const TSkinColors& Colors);
    void ExecuteCommand(const QString& Line);
    QString SelectedNick();
    void RefreshNames(TChannel* Channel);
    // One change of the channel's people, as the engine reports it.
    void UpdateNames(TChannel* Of, TChannelUpdateType Type, TUser* User, int Info);
    void ShowTopic(TChannel* Channel);
    // This window is the one being looked at.
    void Activated();
    // Compatibility with the first window's early users.
    void AddSystemLine(const QString& Text) { AddLine("*** " + Text, Red); }
    // Drops the engine and every event: what they reach is going away.
    void Detach();

    TChannel* Channel = nullptr;
    TIRCClient* Client = nullptr;
    bool ForceScroll = true;

    // Set by the chat module.
    std::function<void(Tchat_form* Sender)> OnActivated; // being looked at
    std::function<void(Tchat_form* Sender)> OnShown;
    std::function<void(Tchat_form* Sender)> OnConnectChat; // the connect button, pressed
    std::function<void(Tchat_form* Sender)> OnLeaveChat;   // the connect button, released
    std::function<void(Tchat_form* Sender)> OnChannelList; // the list is asked for: show it
    std::function<void(Tchat_form* Sender, const QByteArray& Nick)> OnSendFile;

    QLabel* topiclabel;
    QTextBrowser* mainchat;
    TCRTEdit* mainline;
    QListView* name_box = nullptr;
    TNameList* Names = nullptr;
    QWidget* buttonpanel;
    QToolButton* connect_butt;
    QToolButton* leavechan_butt;
    QToolButton* chanlist_butt;
    QToolButton* sendmsg_butt;
    QToolButton* sendfile_butt;
    QToolButton* chanlock_butt;
    QToolButton* kick_butt;
    QToolButton* kickban_butt;
    QMenu* PopupMenu1;

    // Line colours.
    static inline const QColor Black{0, 0, 0}, Blue{0, 0, 0xFF}, Green{0, 0x80, 0},
        Purple{0x80, 0, 0x80}, Orange{0xFF, 0x80, 0}, Red{0xFF, 0, 0};
    static QColor ColorOf(TChatColor Color);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void CreateTextArea();
    void FlushLines();
    void CreateButtons();
    void CreateMenu();
    void CreateLayout();
    void Carry(const TChatCommand& Command);
    void mainlineEnterKey();
    void connect_buttClick();
    void leavechan_buttClick();
    void chanlist_buttClick();
    void sendmsg_buttClick();
    void sendfile_buttClick();
    void kick_buttClick();
    void kickban_buttClick();
    void Whois1Click();
    QToolButton* Button(const char* Name, const QString& Hint, const QString& Symbol);

    QStringList PendingLines;
    QTimer LineTimer;
};
