#include "ui/chat/chat_main.h"

#include "chat/chatcommands.h"
#include "chat/namelist.h"
#include "config/skins.h"
#include "irc/IRCClient.h"
#include "net/netutils.h"
#include "ui/widgets/CRTEdit.h"
#include "ui/widgets/linkopener.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A button face drawn from a symbol of the default font: no artwork files needed.
QIcon SymbolIcon(const QString& Symbol, const QColor& Color) {
    QPixmap Picture(40, 40);
    Picture.fill(Qt::transparent);
    QPainter P(&Picture);
    P.setRenderHint(QPainter::Antialiasing);
    QFont F = P.font();
    F.setPixelSize(28);
    F.setBold(true);
    P.setFont(F);
    P.setPen(Color);
    P.drawText(Picture.rect(), Qt::AlignCenter, Symbol);
    return QIcon(Picture);
}

// Addresses become links; the schemes a chat is expected to show.
QString Linked(const QString& Text) {
    static const QRegularExpression Url(
        "\\b((?:https?|ftp|file|mailto|gopher|nntp|prospero|telnet|news|wais|e-mail):[^\\s<>\"]+"
        "|www\\.[^\\s<>\"]+)");
    QString Result;
    qsizetype At = 0;
    for (auto It = Url.globalMatch(Text); It.hasNext();) {
        const auto M = It.next();
        Result += Text.mid(At, M.capturedStart() - At).toHtmlEscaped();
        const QString Address = M.captured(1);
        const QString Target = Address.startsWith("www.") ? "http://" + Address : Address;
        Result += QString("<a href=\"%1\" style=\"color:#0000FF\">%2</a>")
                      .arg(Target.toHtmlEscaped(), Address.toHtmlEscaped());
        At = M.capturedEnd();
    }
    return Result + Text.mid(At).toHtmlEscaped();
}

} // namespace

Tchat_form::Tchat_form(QWidget* Parent) : QWidget(Parent) {
    setObjectName("chat_form");
    setWindowTitle("Chat (No Channel)");
    CreateTextArea();
    CreateButtons();
    CreateMenu();
    CreateLayout();
    resize(720, 270);
    setFocusProxy(mainline);
    LineTimer.setSingleShot(true);
    LineTimer.setInterval(0);
    connect(&LineTimer, &QTimer::timeout, this, &Tchat_form::FlushLines);
}

Tchat_form::~Tchat_form() = default;

void Tchat_form::CreateTextArea() {
    const QFont Fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    topiclabel = new QLabel(" Topic:");
    topiclabel->setObjectName("topiclabel");
    topiclabel->setTextFormat(Qt::PlainText);
    mainchat = new QTextBrowser;
    mainchat->setObjectName("mainchat");
    mainchat->setFont(Fixed);
    mainchat->setOpenLinks(false);
    mainchat->setUndoRedoEnabled(false);
    mainchat->document()->setMaximumBlockCount(501);
    mainchat->setPalette(style()->standardPalette());
    connect(mainchat, &QTextBrowser::anchorClicked, this, [this](const QUrl& Url) {
        OpenLink(Url.toEncoded(), [this](const QString& Why) { AddSystemLine(Why); });
    });
    mainline = new TCRTEdit;
    mainline->setObjectName("mainline");
    mainline->setFont(Fixed);
    mainline->OnEnterKey = [this](TCRTEdit*) { mainlineEnterKey(); };
    mainline->installEventFilter(this);
    mainline->setPalette(style()->standardPalette());

    Names = new TNameList(this);
    name_box = new QListView;
    name_box->setObjectName("name_box");
    name_box->setFont(Fixed);
    name_box->setModel(Names);
    // One height for every name: a list of thousands lays out without measuring each.
    name_box->setUniformItemSizes(true);
    name_box->setEditTriggers(QAbstractItemView::NoEditTriggers);
    name_box->setMinimumWidth(113);
    name_box->setPalette(style()->standardPalette());
    name_box->viewport()->installEventFilter(this);
}

void Tchat_form::CreateButtons() {
    buttonpanel = new QWidget;
    buttonpanel->setObjectName("buttonpanel");
    auto* Buttons = new QVBoxLayout(buttonpanel);
    Buttons->setContentsMargins(0, 0, 0, 0);
    Buttons->setSpacing(0);
    connect_butt =
        Button("connect_butt", "Connect / Disconnect from chat", QString::fromUtf8("\u26A1"));
    connect_butt->setCheckable(true);
    leavechan_butt = Button("leavechan_butt", "Leave Channel", QString::fromUtf8("\u2715"));
    chanlist_butt = Button("chanlist_butt", "Channel List", QString::fromUtf8("\u2630"));
    sendmsg_butt = Button("sendmsg_butt", "Send a private message to the selected person",
                          QString::fromUtf8("\u2709"));
    sendfile_butt =
        Button("sendfile_butt", "Send a file to the selected person", QString::fromUtf8("\u21EA"));
    chanlock_butt = Button("chanlock_butt", "Don't leave this channel when auto-joining",
                           QString::fromUtf8("\u2693"));
    chanlock_butt->setCheckable(true);
    chanlock_butt->setChecked(true);
    kick_butt =
        Button("kick_butt", "Kick the selected user from the channel", QString::fromUtf8("\u2191"));
    kickban_butt = Button("kickban_butt", "Kick the selected user and ban them from rejoining",
                          QString::fromUtf8("\u2298"));
    for (QToolButton* B : {connect_butt, leavechan_butt, chanlist_butt})
        Buttons->addWidget(B);
    Buttons->addSpacing(8);
    for (QToolButton* B : {sendmsg_butt, sendfile_butt})
        Buttons->addWidget(B);
    Buttons->addSpacing(8);
    Buttons->addWidget(chanlock_butt);
    Buttons->addSpacing(8);
    for (QToolButton* B : {kick_butt, kickban_butt})
        Buttons->addWidget(B);
    Buttons->addStretch();
    connect(connect_butt, &QToolButton::clicked, this, &Tchat_form::connect_buttClick);
    connect(leavechan_butt, &QToolButton::clicked, this, &Tchat_form::leavechan_buttClick);
    connect(chanlist_butt, &QToolButton::clicked, this, &Tchat_form::chanlist_buttClick);
    connect(sendmsg_butt, &QToolButton::clicked, this, &Tchat_form::sendmsg_buttClick);
    connect(sendfile_butt, &QToolButton::clicked, this, &Tchat_form::sendfile_buttClick);
    connect(kick_butt, &QToolButton::clicked, this, &Tchat_form::kick_buttClick);
    connect(kickban_butt, &QToolButton::clicked, this, &Tchat_form::kickban_buttClick);
}

void Tchat_form::CreateMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    PopupMenu1->addAction("&Send Message", this, &Tchat_form::sendmsg_buttClick);
    PopupMenu1->addAction("Send &File", this, &Tchat_form::sendfile_buttClick);
    PopupMenu1->addAction("&Kick", this, &Tchat_form::kick_buttClick);
    PopupMenu1->addAction("&Kick / Ban", this, &Tchat_form::kickban_buttClick);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction("&Whois", this, &Tchat_form::Whois1Click);
}

void Tchat_form::CreateLayout() {
    auto* Back = new QWidget;
    Back->setObjectName("backpanel");
    auto* BackLayout = new QVBoxLayout(Back);
    BackLayout->setContentsMargins(0, 0, 0, 0);
    BackLayout->setSpacing(2);
    BackLayout->addWidget(topiclabel);
    BackLayout->addWidget(mainchat, 1);
    BackLayout->addWidget(mainline);
    auto* Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    auto* Left = new QWidget;
    auto* LeftLayout = new QHBoxLayout(Left);
    LeftLayout->setContentsMargins(0, 0, 0, 0);
    LeftLayout->setSpacing(2);
    LeftLayout->addWidget(Back, 1);
    LeftLayout->addWidget(buttonpanel);
    Splitter1->addWidget(Left);
    Splitter1->addWidget(name_box);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({600, 130});
    auto* Layout = new QHBoxLayout(this);
    Layout->setContentsMargins(2, 2, 2, 2);
    Layout->addWidget(Splitter1);
}

QToolButton* Tchat_form::Button(const char* Name, const QString& Hint, const QString& Symbol) {
    auto* B = new QToolButton;
    B->setObjectName(Name);
    B->setToolTip(Hint);
    B->setAutoRaise(true);
    B->setIcon(SymbolIcon(Symbol, QColor(0xED, 0xA7, 0x36)));
    B->setIconSize(QSize(20, 20));
    B->setFixedSize(25, 24);
    return B;
}

QColor Tchat_form::ColorOf(TChatColor Color) {
    switch (Color) {
    case TChatColor::Black:
        return Black;
    case TChatColor::Blue:
        return Blue;
    case TChatColor::Green:
        return Green;
    case TChatColor::Purple:
        return Purple;
    case TChatColor::Orange:
        return Orange;
    case TChatColor::Red:
        break;
    }
    return Red;
}

void Tchat_form::Detach() {
    Client = nullptr;
    OnActivated = OnShown = OnConnectChat = OnLeaveChat = OnChannelList = nullptr;
    OnSendFile = nullptr;
}

void Tchat_form::AddLine(const QString& Text, const QColor& Color) {
    QueueLine(Text, Color);
    FlushLines();
}

void Tchat_form::QueueLine(const QString& Text, const QColor& Color) {
    QString Line = Text;
    Line.removeIf([](QChar C) { return C.unicode() < 32; });
    PendingLines << QString("<span style=\"color:%1; white-space:pre-wrap\">%2</span>")
                        .arg(Color.name(), Linked(Line));
    if (!LineTimer.isActive()) LineTimer.start();
}

void Tchat_form::FlushLines() {
    LineTimer.stop();
    if (PendingLines.isEmpty()) return;
    QScrollBar* Bar = mainchat->verticalScrollBar();
    const bool AtBottom = Bar->maximum() <= Bar->value() + Bar->pageStep() / 8;
    // The document keeps at most 501 lines: the oldest goes as each new one comes, so lines
    // that would go at once are never laid out.
    const qsizetype Kept = mainchat->document()->maximumBlockCount();
    if (Kept > 0 && PendingLines.size() > Kept)
        PendingLines.erase(PendingLines.begin(), PendingLines.end() - Kept);
    QTextCursor Batch(mainchat->document());
    Batch.beginEditBlock();
    for (const QString& Html : std::as_const(PendingLines))
        mainchat->append(Html);
    Batch.endEditBlock();
    PendingLines.clear();
    if (AtBottom || ForceScroll) {
        Bar->setValue(Bar->maximum());
        ForceScroll = false;
    }
}

void Tchat_form::ScrollToEnd() {
    mainchat->verticalScrollBar()->setValue(mainchat->verticalScrollBar()->maximum());
}

void Tchat_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    P.setColor(QPalette::WindowText, ColorOfBGR(Colors.PrimaryFontColor));
    setPalette(P);
    setAutoFillBackground(true);
    QPalette Label = topiclabel->palette();
    Label.setColor(QPalette::WindowText, ColorOfBGR(Colors.PrimaryFontColor));
    topiclabel->setPalette(Label);
}

namespace {
TChatContext ContextOf(const TChannel* Channel, const TIRCClient* Client) {
    TChatContext Context;
    if (Channel) Context.Channel = Channel->Name;
    if (Client) Context.OwnNick = Client->Nick();
    Context.Engine = Client;
    return Context;
}
} // namespace

void Tchat_form::mainlineEnterKey() {
    const QString Line = mainline->text();
    if (!Line.isEmpty()) Carry(ParseChatLine(Line, ContextOf(Channel, Client)));
}

void Tchat_form::ExecuteCommand(const QString& Line) {
    Carry(ParseChatCommand(Line, ContextOf(Channel, Client)));
}

void Tchat_form::Carry(const TChatCommand& C) {
    if (Client) {
        switch (C.Kind) {
        case TChatCommand::Nothing:
            break;
        case TChatCommand::Say:
        case TChatCommand::PrivMsg:
            Client->PrivMsg(C.Target, C.Text);
            break;
        case TChatCommand::Part:
            Client->Part(C.Target, {});
            break;
        case TChatCommand::Notice:
            Client->Notice(C.Target, C.Text);
            break;
        case TChatCommand::Topic:
            Client->SetTopic(C.Target, C.Text);
            break;
        case TChatCommand::Action:
            Client->Action(C.Target, C.Text);
            break;
        case TChatCommand::ChannelList:
            chanlist_butt->click();
            break;
        case TChatCommand::Raw:
            Client->SendRaw(C.Text);
            break;
        }
    }
    if (!C.Echo.isEmpty()) AddLine(C.Echo, ColorOf(C.EchoColor));
}

QString Tchat_form::SelectedNick() {
    const QModelIndexList Selected = name_box->selectionModel()->selectedIndexes();
    if (Selected.isEmpty()) {
        QMessageBox::information(this, windowTitle(), "You must select a name first");
        return {};
    }
    return DisplayText(Names->Nick(Selected.first().row()));
}

void Tchat_form::RefreshNames(TChannel* Of) {
    Names->Reset(Of);
}

void Tchat_form::UpdateNames(TChannel* Of, TChannelUpdateType Type, TUser* User, int Info) {
    Names->Update(Of, Type, User, Info);
}

void Tchat_form::ShowTopic(TChannel* Of) {
    if (!Of) return;
    const QString Topic = ChatText(Of->Topic);
    topiclabel->setText(" Topic: " + Topic);
    topiclabel->setToolTip(Topic);
}

void Tchat_form::Activated() {
    if (OnActivated) OnActivated(this);
}

void Tchat_form::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    ScrollToEnd();
    if (OnShown) OnShown(this);
}

bool Tchat_form::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == mainline && Event->type() == QEvent::FocusIn) Activated();
    if (name_box && Watched == name_box->viewport() && Event->type() == QEvent::MouseButtonPress) {
        auto* Mouse = static_cast<QMouseEvent*>(Event);
        if (Mouse->button() == Qt::RightButton) {
            // The name under the pointer is the one the menu acts on.
            if (const QModelIndex At = name_box->indexAt(Mouse->position().toPoint()); At.isValid())
                name_box->setCurrentIndex(At);
            PopupMenu1->popup(Mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void Tchat_form::connect_buttClick() {
    if (!Client) return;
    if (connect_butt->isChecked()) {
        if (OnConnectChat) OnConnectChat(this);
        ScrollToEnd();
    } else if (OnLeaveChat) {
        OnLeaveChat(this);
    }
}

void Tchat_form::leavechan_buttClick() {
    if (Channel && Client) Client->Part(Channel->Name, {});
}

void Tchat_form::chanlist_buttClick() {
    if (Client) Client->List();
    if (OnChannelList) OnChannelList(this);
}

void Tchat_form::sendmsg_buttClick() {
    const QString Nick = SelectedNick();
    if (Nick.isEmpty()) return;
    mainline->setText("/msg " + Nick + " " + mainline->text());
    mainline->setFocus();
    mainline->deselect();
    mainline->end(false);
    AddLine("Type you message in the box below and hit enter to send", Red);
}

void Tchat_form::sendfile_buttClick() {
    const QString Nick = SelectedNick();
    if (Nick.isEmpty() || !OnSendFile) return;
    OnSendFile(this, Nick.toUtf8());
}

void Tchat_form::kick_buttClick() {
    const QString Nick = SelectedNick();
    if (Nick.isEmpty() || !Channel) return;
    ExecuteCommand("/kick " + QString::fromUtf8(Channel->Name) + " " + Nick);
}

void Tchat_form::kickban_buttClick() {
    const QString Nick = SelectedNick();
    if (Nick.isEmpty() || !Channel) return;
    ExecuteCommand("/mode " + QString::fromUtf8(Channel->Name) + " +b " + Nick);
    kick_butt->click();
}

void Tchat_form::Whois1Click() {
    const QString Nick = SelectedNick();
    if (!Nick.isEmpty()) ExecuteCommand("/whois " + Nick);
}
