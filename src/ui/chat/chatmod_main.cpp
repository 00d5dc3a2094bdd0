#include "ui/chat/chatmod_main.h"

#include "config/settings.h"
#include "net/netutils.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/dcc_main.h"
#include "ui/widgets/dockarea.h"

#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <utility>

namespace {
// Closing a chat window leaves its channel and docks it back.
void LeaveOnClose(TDockWindow* Dock, Tchat_form* Window) {
    Dock->OnCloseQuery = [Window, Dock] {
        Window->leavechan_butt->click();
        if (Dock->isFloating()) Dock->setFloating(false);
        return false;
    };
}
} // namespace

TChatModule::TChatModule(TSettings& Settings, Tchat_form* First, Tchannellist_form* ChannelList,
                         QObject* Parent)
    : QObject(Parent), Session(std::make_unique<TChatSession>(Settings)), Settings(Settings),
      First(First), ChannelList(ChannelList) {
    SessionWindowEvents();
    SessionEvents();
    if (First) Attach(First, Session->AddWindow(First->windowTitle()));
    if (ChannelList) {
        TIRCClient* Engine = Session->IRCClient1.get();
        ChannelList->OnRefresh = [Engine] { Engine->List(); };
        ChannelList->OnJoin = [Engine](const QByteArray& Channel) { Engine->Join(Channel, {}); };
        ChannelList->ApplyColors(Settings.Colors);
    }
}

TChatModule::~TChatModule() {
    // The session says nothing more; windows that outlive the module stop calling it.
    Session.reset();
    QList<QPointer<Tchat_form>> Known = Windows.values() + Created;
    Known << First;
    for (const QPointer<Tchat_form>& W : std::as_const(Known))
        if (W) W->Detach();
    if (ChannelList) {
        ChannelList->OnRefresh = nullptr;
        ChannelList->OnJoin = nullptr;
    }
    for (const QPointer<Tchat_form>& W : std::as_const(Created))
        delete W.data();
    for (const QPointer<Tdcc_form>& W : std::as_const(DccWindows))
        delete W.data();
}

void TChatModule::SessionWindowEvents() {
    TChatSession& S = *Session;
    S.OnLine = [this](int Id, const QString& Text, TChatColor Color) {
        if (Tchat_form* W = WindowOf(Id)) W->AddLine(Text, Tchat_form::ColorOf(Color));
    };
    S.OnBusyLine = [this](int Id, const QString& Text, TChatColor Color) {
        if (Tchat_form* W = WindowOf(Id)) W->QueueLine(Text, Tchat_form::ColorOf(Color));
    };
    S.OnWindowOpened = [this](int Id) { NewChatWindow(Id); };
    S.OnChannelShown = [this](int Id, TChannel* Channel) { ShowChannel(Id, Channel); };
    S.OnWindowCleared = [this](int Id, const QString& Caption) {
        if (Tchat_form* W = WindowOf(Id)) {
            W->Channel = nullptr;
            W->setWindowTitle(Caption);
            W->RefreshNames(nullptr);
        }
    };
    S.OnWindowClosed = [this](int Id) { CloseChatWindow(Id); };
    S.OnWindowRaised = [this](int Id) {
        if (Tchat_form* W = WindowOf(Id)) Raise(W);
    };
    S.OnNames = [this](int Id, TChannel* Channel) {
        if (Tchat_form* W = WindowOf(Id)) W->RefreshNames(Channel);
    };
    S.OnMembers = [this](int Id, TChannel* Channel, TChannelUpdateType Type, TUser* User,
                         int Info) {
        if (Tchat_form* W = WindowOf(Id)) W->UpdateNames(Channel, Type, User, Info);
    };
    S.OnTopic = [this](int Id, TChannel* Channel) {
        if (Tchat_form* W = WindowOf(Id)) W->ShowTopic(Channel);
    };
    S.OnConnectedChanged = [this](int Id, bool Connected) {
        if (Tchat_form* W = WindowOf(Id)) W->connect_butt->setChecked(Connected);
    };
}

void TChatModule::SessionEvents() {
    TChatSession& S = *Session;
    S.OnDccOffer = [this](const QByteArray& Nick, const TDccOffer& Offer) {
        ReceiveOffer(Nick, Offer);
    };
    S.OnListStarted = [this] {
        if (ChannelList) ChannelList->StartListing();
    };
    S.OnListed = [this](const QByteArray& Name, int Count, const QByteArray& Topic) {
        if (ChannelList) ChannelList->AddChannel(Name, Count, Topic);
    };
    S.OnListEnded = [this] {
        if (ChannelList) ChannelList->EndListing();
    };
}

void TChatModule::Attach(Tchat_form* W, int Id) {
    Windows.insert(Id, W);
    W->Client = Session->IRCClient1.get();
    W->OnActivated = [this, Id](Tchat_form*) {
        Session->SetCurrentWindow(Id);
        Session->SetChatActive(true);
    };
    W->OnShown = [this, Id](Tchat_form*) { Session->SetCurrentWindow(Id); };
    W->OnConnectChat = [this](Tchat_form*) { Session->ConnectChat(); };
    W->OnLeaveChat = [this](Tchat_form*) { Session->QuitChatSoon(); };
    W->OnChannelList = [this](Tchat_form*) {
        if (!ChannelList) return;
        ChannelList->show();
        ChannelList->raise();
    };
    W->OnSendFile = [this](Tchat_form* Window, const QByteArray& Nick) { SendFile(Window, Nick); };
}

Tchat_form* TChatModule::WindowOf(int Id) const {
    return Windows.value(Id).data();
}

QList<Tchat_form*> TChatModule::ChatWindows() const {
    QList<Tchat_form*> Result;
    for (int Id : Session->Windows())
        if (Tchat_form* W = WindowOf(Id)) Result << W;
    return Result;
}

Tchat_form* TChatModule::FindChatWindow(const TChannel* Channel) const {
    return WindowOf(Session->WindowOf(Channel));
}

void TChatModule::Dock(TDockArea* Pages) {
    DockSite = Pages;
    if (First) LeaveOnClose(Pages->Dock(First), First);
    Pages->OnWindowActivated = [this](QWidget* Window) { WindowActivated(Window); };
}

void TChatModule::WindowActivated(QWidget* Window) {
    if (auto* Chat = qobject_cast<Tchat_form*>(Window))
        Chat->Activated();
    else
        Session->SetChatActive(false);
}

void TChatModule::Start() {
    if (First) First->chanlock_butt->setChecked(false);
    if (Settings.Flag(TField::ChatConnect)) Session->ConnectChat();
}

void TChatModule::ApplyChatSkin() {
    for (Tchat_form* W : ChatWindows())
        W->ApplyColors(Settings.Colors);
    if (ChannelList) ChannelList->ApplyColors(Settings.Colors);
}

void TChatModule::NewChatWindow(int Id) {
    auto* W = new Tchat_form;
    W->setAttribute(Qt::WA_DeleteOnClose, false);
    Created << W;
    W->ApplyColors(Settings.Colors);
    W->connect_butt->setChecked(true);
    Attach(W, Id);
    if (DockSite) LeaveOnClose(DockSite->Dock(W), W);
}

void TChatModule::Raise(Tchat_form* W) {
    W->show();
    if (DockSite) DockSite->Activate(W);
}

void TChatModule::ShowChannel(int Id, TChannel* Channel) {
    Tchat_form* W = WindowOf(Id);
    if (!W) return;
    W->Client = Session->IRCClient1.get();
    W->setWindowTitle(Channel ? DisplayText(Channel->Name) : QString());
    W->topiclabel->setText("Topic: ");
    Raise(W);
    W->Channel = Channel;
}

void TChatModule::CloseChatWindow(int Id) {
    Tchat_form* W = WindowOf(Id);
    Windows.remove(Id);
    if (!W) return;
    W->Channel = nullptr;
    W->hide();
    if (DockSite) DockSite->Undock(W);
    if (Created.removeAll(W)) W->deleteLater();
}

void TChatModule::ReceiveOffer(const QByteArray& Nick, const TDccOffer& Offer) {
    DccWindows.removeAll(nullptr);
    auto* Window = new Tdcc_form;
    Window->ApplyColors(Settings.Colors);
    DccWindows.append(Window);
    // The next offer is asked once this one is answered, or its window is gone unanswered.
    auto Answered = std::make_shared<bool>(false);
    const auto Next = [this, Answered] {
        if (std::exchange(*Answered, true)) return;
        if (Session) Session->DccAnswered();
    };
    Window->OnAnswered = Next;
    connect(Window, &QObject::destroyed, this, Next);
    // The questions wait for the engine to finish the line it is handling.
    QTimer::singleShot(0, Window, [Window, Nick, Offer] { Window->ReceiveOffer(Nick, Offer); });
}

void TChatModule::SendFile(Tchat_form* Window, const QByteArray& ToNick) {
    // The transfer belongs to the chat window and goes with it.
    auto* Dcc = new Tdcc_form(Window);
    Dcc->ApplyColors(Settings.Colors);
    Dcc->OnChatLine = [Window = QPointer<Tchat_form>(Window)](const QString& Text) {
        if (Window) Window->AddSystemLine(Text);
    };
    Dcc->StartSending(Window->Client, ToNick);
}
