#include "ui/chat/chatmod_main.h"

#include "net/netutils.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/dcc_main.h"
#include "ui/config/config_main.h"
#include "ui/widgets/dockarea.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRandomGenerator>
#include <QToolButton>

TChatModule* chat_module = nullptr;

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

TChatModule::TChatModule(QObject* Parent)
    : QObject(Parent), IRCClient1(std::make_unique<TIRCClient>()) {
    chat_module = this;
    TIRCClient& E = *IRCClient1;
    E.IRCX = true;
    E.Username = "l33t";
    E.RealName = "z";
    disconnecttimer.setInterval(100);
    disconnecttimer.setSingleShot(true);
    connect(&disconnecttimer, &QTimer::timeout, this, [this] { QuitChat(true); });
    activetimer.setInterval(10000);
    activetimer.setSingleShot(true);
    connect(&activetimer, &QTimer::timeout, this, &TChatModule::activetimerTimer);

    if (config_form) {
        TSettings& Settings = config_form->Settings;
        if (Settings.Nick().isEmpty()) {
            // A generated nick stays for later runs.
            Settings.SetValue(TField::Nick,
                              "Anon" + QString::number(QRandomGenerator::global()->bounded(10000)));
            Settings.Save();
        }
        const QByteArray Chosen = Settings.Nick().toUtf8();
        E.SetNick(Chosen);
        E.AltNick = Chosen + '_';
        E.Username = Chosen;
        const QString Real = config_form->Settings.Value(TField::RealName);
        if (!Real.isEmpty()) E.RealName = Real.toUtf8().replace(' ', '_');
        E.Server = config_form->Settings.ChatServerHost();
        E.Port = config_form->Settings.ChatServerPort();
    }

    E.OnMessage = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
        IRCClient1Message(U, C, T);
    };
    E.OnNotice = [this](TIRCClient*, TUser* U, TChannel*, const QByteArray& T) {
        Line(CurrentChatWindow, "-" + Nick(U) + "- " + ChatText(T), Tchat_form::Green);
    };
    E.OnAction = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray& T) {
        Line(FindChatWindow(C), "* " + Nick(U) + " " + ChatText(T), Tchat_form::Purple);
    };
    E.OnJoin = [this](TIRCClient*, TUser* U, TChannel* C) {
        if (!config_form || !config_form->Settings.Flag(TField::HideJoins))
            LineIn(C, "*** " + Nick(U) + " has joined " + Name(C), Tchat_form::Orange);
    };
    E.OnPart = [this](TIRCClient*, TUser* U, TChannel* C, const QByteArray&) {
        if (!config_form || !config_form->Settings.Flag(TField::HideJoins))
            LineIn(C, "*** " + Nick(U) + " has left " + Name(C), Tchat_form::Orange);
    };
    E.OnJoined = [this](TIRCClient*, TChannel* C) { IRCClient1Joined(C); };
    E.OnParted = [this](TIRCClient*, TChannel* C) { IRCClient1Parted(C); };
    E.OnKick = [this](TIRCClient*, TUser* U, TUser* V, TChannel* C) {
        LineIn(C,
               "*** " + Nick(V) + " was kicked by " + Nick(U) + " (" + ChatText(V->Comment) + ")",
               Tchat_form::Orange);
    };
    E.OnKicked = [this](TIRCClient*, TUser* U, TChannel* C) { IRCClient1Kicked(U, C); };
    E.OnTopic = [this](TIRCClient*, TUser* U, TChannel* C) {
        if (Destroying) return;
        if (Tchat_form* W = FindChatWindow(C)) W->ShowTopic(U ? Nick(U) : QString(), C);
    };
    E.OnNoTopic = [this](TIRCClient*, TChannel* C) {
        if (Destroying) return;
        if (Tchat_form* W = FindChatWindow(C)) W->ShowTopic(QString(), C);
    };
    E.OnChannelUpdate = [this](TChannel* C, TChannelUpdateType, TUser*, int) {
        if (Destroying) return;
        if (Tchat_form* W = FindChatWindow(C)) W->RefreshNames(C);
    };
    E.OnStartChannelInfo = [this](TIRCClient*) {
        if (!Destroying && channellist_form) channellist_form->StartListing();
    };
    E.OnAddChannelInfo = [this](TIRCClient*, const QByteArray& Name, int Count,
                                const QByteArray& Desc) {
        if (!Destroying && channellist_form) channellist_form->AddChannel(Name, Count, Desc);
    };
    E.OnEndChannelInfo = [this](TIRCClient*) {
        if (!Destroying && channellist_form) channellist_form->EndListing();
    };
    E.OnCTCPQuery = [this](TIRCClient*, TUser* U, TChannel*, const QByteArray& Command,
                           const QByteArray& Args,
                           bool&) { IRCClient1CTCPQuery(U, Command, Args); };
    E.OnNicksInUse = [](TIRCClient* Sender, QByteArray& NewNick) {
        NewNick = Sender->Nick() + QByteArray::number(QRandomGenerator::global()->bounded(1000));
    };
    E.OnSystem = [this](TIRCClient*, TUser*, const QByteArray& Kind, const QByteArray& Text) {
        if (Kind == "MOTD" || Kind == "LUSER" || Kind == "WHOIS" || Kind == "WELCOME")
            Line(CurrentChatWindow, "*** " + ChatText(Text), Tchat_form::Red);
    };
    E.OnStateChange = [this](TIRCClient*) { IRCClient1StateChange(); };
    E.OnDisconnect = [this](TIRCClient*) { IRCClient1Disconnect(); };
    // A connection that could not be made is said where the user looks.
    E.OnSocketError = [this](TIRCClient*, const QByteArray& Where, const QByteArray& Why) {
        Line(CurrentChatWindow,
             "*** Cannot connect to chat server " + DisplayText(Where) + ": " + DisplayText(Why),
             Tchat_form::Red);
    };
    E.OnError = [this](TIRCClient*, TUser*, const QByteArray& Numeric, const QByteArray& Text) {
        // The server's own refusals (no such nick, cannot send) help the user; the rest is noise.
        if (Numeric.isEmpty() || Numeric == "401" || Numeric == "403" || Numeric == "404" ||
            Numeric == "433" || Numeric == "482")
            Line(CurrentChatWindow, "*** " + ChatText(Text), Tchat_form::Red);
    };

    SavedNick = E.Nick();
    NoChannelCaption = "Chat";
    IsActive = true;
    SetChatActive(false);
    activetimer.start();
}

TChatModule::~TChatModule() {
    // The windows may be gone already (they die with the tabbed area): no handler runs now.
    Destroying = true;
    QuitChat(false);
    IRCClient1.reset();
    for (const QPointer<Tchat_form>& W : std::as_const(Created))
        delete W.data();
    for (const QPointer<Tdcc_form>& W : std::as_const(DccWindows))
        delete W.data();
    if (chat_module == this) chat_module = nullptr;
}

void TChatModule::Line(Tchat_form* Window, const QString& Text, const QColor& Color) {
    if (!Destroying && Window) Window->AddLine(Text, Color);
}

void TChatModule::LineIn(TChannel* Channel, const QString& Text, const QColor& Color) {
    Line(FindChatWindow(Channel), Text, Color);
}

Tchat_form* TChatModule::FindChatWindow(TChannel* Channel) const {
    if (Destroying) return nullptr;
    for (Tchat_form* W : ChatWindows)
        if (W->Channel == Channel) return W;
    return nullptr;
}

void TChatModule::RegisterChatWindow(Tchat_form* Window) {
    if (!ChatWindows.contains(Window)) ChatWindows.append(Window);
    NoChannelCaption = Window->windowTitle();
    Window->Client = IRCClient1.get();
}

void TChatModule::ConnectChat() {
    if (config_form) {
        IRCClient1->Server = config_form->Settings.ChatServerHost();
        IRCClient1->Port = config_form->Settings.ChatServerPort();
        config_form->Settings.ApplySocksProxy(*IRCClient1->Socket);
    }
    if (IRCClient1->Server.isEmpty()) {
        // Beyond what the design foresaw: without a chat server there is nothing to connect to.
        Line(CurrentChatWindow,
             "*** No chat server is set: enter one on the Chat tab of the configuration",
             Tchat_form::Red);
        if (CurrentChatWindow) CurrentChatWindow->connect_butt->setChecked(false);
        return;
    }
    Line(CurrentChatWindow,
         "*** Connecting to " + DisplayText(IRCClient1->Server + ':' + IRCClient1->Port),
         Tchat_form::Red);
    IRCClient1->Connect();
}

void TChatModule::QuitChat(bool Force) {
    if (!IRCClient1) return;
    const QByteArray Address = config_form ? config_form->Settings.Links[lkScoutly].Address.toUtf8()
                                           : QByteArray("http://www.scoutly.example/");
    if (IRCClient1->Connected()) IRCClient1->Quit(Address + " -- be there");
    IRCClient1->Disconnect(Force);
}

void TChatModule::SetChatActive(bool Value) {
    WantActive = Value;
    if (Value != IsActive && !activetimer.isActive()) activetimer.start();
}

void TChatModule::activetimerTimer() {
    activetimer.stop();
    if (WantActive == IsActive || !IRCClient1->Connected()) return;
    if (config_form && config_form->Settings.Flag(TField::NoAutoAway)) return;
    IsActive = WantActive;
    if (WantActive) {
        IRCClient1->SetNick(SavedNick);
    } else {
        SavedNick = IRCClient1->Nick();
        if (!SavedNick.contains("[AWAY]")) IRCClient1->SetNick("[AWAY]" + SavedNick);
    }
}

void TChatModule::ApplyChatSkin() {
    if (!config_form) return;
    for (Tchat_form* W : std::as_const(ChatWindows))
        W->ApplyColors(config_form->Settings.Colors);
    if (channellist_form) channellist_form->ApplyColors(config_form->Settings.Colors);
}

void TChatModule::IRCClient1Message(TUser* User, TChannel* Channel, const QByteArray& Content) {
    if (!Channel) {
        IRCClient1PrivMessage(User, Content);
        return;
    }
    LineIn(Channel, "<" + Nick(User) + "> " + ChatText(Content), Tchat_form::Black);
}

void TChatModule::IRCClient1PrivMessage(TUser* User, const QByteArray& Content) {
    Line(CurrentChatWindow, "*" + Nick(User) + "* " + ChatText(Content), Tchat_form::Blue);
}

Tchat_form* TChatModule::NewChatWindow() {
    auto* W = new Tchat_form;
    W->setAttribute(Qt::WA_DeleteOnClose, false);
    Created << W;
    if (config_form) W->ApplyColors(config_form->Settings.Colors);
    W->connect_butt->setChecked(true);
    if (DockSite) {
        TDockWindow* Dock = DockSite->Dock(W);
        // Closing a chat window leaves its channel and docks it back.
        Dock->OnCloseQuery = [W, Dock] {
            W->leavechan_butt->click();
            if (Dock->isFloating()) Dock->setFloating(false);
            return false;
        };
    }
    ChatWindows.append(W);
    return W;
}

void TChatModule::IRCClient1Joined(TChannel* Channel) {
    if (Destroying) return;
    Tchat_form* W =
        ChatWindows.size() == 1 && !ChatWindows[0]->Channel ? ChatWindows[0] : NewChatWindow();
    W->Client = IRCClient1.get();
    W->setWindowTitle(Name(Channel));
    W->topiclabel->setText("Topic: ");
    W->show();
    if (DockSite) DockSite->Activate(W);
    CurrentChatWindow = W;
    W->Channel = Channel;
    W->RefreshNames(Channel);
    Line(CurrentChatWindow, "*** You are now chatting in " + Name(Channel), Tchat_form::Orange);
}

void TChatModule::ReleaseChatWindow(Tchat_form* W) {
    TChannel* Channel = W->Channel;
    const QString ChannelName = Name(Channel);
    W->Channel = nullptr;
    if (ChatWindows.size() < 2) {
        CurrentChatWindow = W;
        W->setWindowTitle(NoChannelCaption);
        W->name_box->clear();
    } else {
        ChatWindows.removeAll(W);
        W->hide();
        if (DockSite) DockSite->Undock(W);
        if (Created.removeAll(W)) W->deleteLater();
        Tchat_form* First = ChatWindows.first();
        First->show();
        if (DockSite) DockSite->Activate(First);
        CurrentChatWindow = First;
    }
    Line(CurrentChatWindow, "*** You have left " + ChannelName, Tchat_form::Orange);
}

void TChatModule::IRCClient1Parted(TChannel* Channel) {
    if (Destroying) return;
    if (Tchat_form* W = FindChatWindow(Channel)) ReleaseChatWindow(W);
}

void TChatModule::IRCClient1Kicked(TUser* User, TChannel* Channel) {
    if (Destroying) return;
    IRCClient1Parted(Channel);
    Line(CurrentChatWindow,
         "*** You were kicked from " + Name(Channel) + " by " + Nick(User) + " (" +
             ChatText(User ? User->Comment : QByteArray()) + ")",
         Tchat_form::Orange);
}

void TChatModule::IRCClient1StateChange() {
    if (Destroying || IRCClient1->State != csRegistered) return;
    const QString Home = config_form ? config_form->Settings.Value(TField::HomeChannel) : QString();
    if (!Home.isEmpty())
        IRCClient1->Join(Home.toUtf8(), {});
    else if (config_form && !config_form->Settings.Edition().DefaultChannel.isEmpty())
        IRCClient1->Join(config_form->Settings.Edition().DefaultChannel, {});
    if (CurrentChatWindow) CurrentChatWindow->connect_butt->setChecked(true);
}

void TChatModule::IRCClient1Disconnect() {
    if (Destroying) return;
    for (qsizetype I = ChatWindows.size() - 1; I >= 0; --I)
        if (I < ChatWindows.size() && ChatWindows[I]->Channel) ReleaseChatWindow(ChatWindows[I]);
    if (CurrentChatWindow) CurrentChatWindow->connect_butt->setChecked(false);
}

void TChatModule::IRCClient1CTCPQuery(TUser* User, const QByteArray& Command,
                                      const QByteArray& Args) {
    if (Destroying) return;
    TDccOffer Offer;
    QString Error;
    switch (ParseDccOffer(Command + ' ' + Args, Offer, &Error)) {
    case TDccParse::NotAnOffer:
    case TDccParse::Ignored:
        return;
    case TDccParse::BadAddress:
        Line(CurrentChatWindow, "*** " + Error, Tchat_form::Red);
        return;
    case TDccParse::Valid:
        break;
    }
    auto* Window = new Tdcc_form;
    DccWindows.append(Window);
    // The questions wait for the engine to finish the line it is handling.
    const QByteArray From = User ? User->Nick : QByteArray();
    QTimer::singleShot(0, Window, [Window, From, Offer] { Window->ReceiveOffer(From, Offer); });
}

void TChatModule::SendFile(Tchat_form* Window, const QByteArray& ToNick) {
    // The transfer belongs to the chat window and goes with it.
    auto* Dcc = new Tdcc_form(Window);
    Dcc->StartSending(Window->Client, ToNick);
}
