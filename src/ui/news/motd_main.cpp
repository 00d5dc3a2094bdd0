#include "ui/news/motd_main.h"

#include "config/settings.h"
#include "config/skins.h"
#include "net/netutils.h"
#include "portal/motdsession.h"
#include "portal/rtfhtml.h"
#include "ui/widgets/dockarea.h"
#include "ui/widgets/linkopener.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStyle>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

const QStringList Tmotd_form::LinkSchemes{"e-mail", "http", "file",     "mailto", "ftp",  "https",
                                          "gopher", "nntp", "prospero", "telnet", "news", "wais"};

Tmotd_form::Tmotd_form(TSettings& Settings, TDockArea* Pages, QWidget* Parent)
    : QWidget(Parent), Session(std::make_unique<TMotdSession>(Settings)), Pages(Pages),
      Settings(Settings) {
    setObjectName("motd_form");
    setWindowTitle("News");
    setFont(QFont("Arial"));
    resize(426, 249);

    motd_text = new QTextBrowser;
    motd_text->setObjectName("motd_text");
    motd_text->setReadOnly(true);
    // Links go to the user's browser, never into the view itself.
    motd_text->setOpenLinks(false);
    motd_text->setOpenExternalLinks(false);
    motd_text->setUndoRedoEnabled(false);
    motd_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    motd_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont TextFont("Arial");
    TextFont.setPixelSize(11);
    motd_text->setFont(TextFont);
    QPalette Colors = style()->standardPalette();
    for (const QPalette::ColorRole Role : {QPalette::Highlight, QPalette::HighlightedText})
        Colors.setColor(QPalette::Inactive, Role, Colors.color(QPalette::Active, Role));
    motd_text->setPalette(Colors);
    connect(motd_text, &QTextBrowser::anchorClicked, this, &Tmotd_form::motd_textURLClick);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(motd_text);

    Session->OnMessage = [this](TMotdSession*, const TMotdReply& Reply, bool Forward) {
        ShowMessage(Reply);
        if (Forward) BringForward();
    };
    Session->OnAsk = [this](TMotdSession*, const QString& Question, bool& Yes) {
        Yes = Ask(Question);
    };
    Session->OnError = [this](TMotdSession*, const QString& Text) { ShowError(Text); };
    FormCreate();
}

Tmotd_form::~Tmotd_form() = default;

void Tmotd_form::FormCreate() {
    ApplyColors(Settings.Colors);
    Session->RequestMotd();
}

void Tmotd_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    setPalette(P);
    setAutoFillBackground(true);
    // The dialogs' font, as the other windows of the skin have it.
    setFont(QApplication::font());
}

// ---- showing --------------------------------------------------------------------------------

void Tmotd_form::ShowMessage(const TMotdReply& Reply) {
    if (Reply.Rich)
        motd_text->setHtml(RtfToHtml(Reply.Message));
    else
        motd_text->setPlainText(BreakLongLines(DisplayText(Reply.Message)));
    MarkLinks();
}

void Tmotd_form::MarkLinks() {
    static const QRegularExpression Link(
        QStringLiteral("(?<![\\w-])(?:%1):[^\\s<>\"]+").arg(LinkSchemes.join('|')),
        QRegularExpression::CaseInsensitiveOption);
    QTextDocument* Document = motd_text->document();
    QTextCursor Found = Document->find(Link);
    while (!Found.isNull()) {
        QString Href = Found.selectedText();
        // Punctuation closing a sentence is not part of the address.
        while (!Href.isEmpty() && QStringLiteral(".,;:!?)]}'").contains(Href.back()))
            Href.chop(1);
        if (Href.indexOf(':') + 1 < Href.size()) {
            QTextCursor Anchor(Document);
            Anchor.setPosition(Found.selectionStart());
            Anchor.setPosition(Found.selectionStart() + int(Href.size()), QTextCursor::KeepAnchor);
            QTextCharFormat Format;
            Format.setAnchor(true);
            Format.setAnchorHref(Href);
            Format.setForeground(QColor(Qt::blue));
            Format.setFontUnderline(true);
            Anchor.mergeCharFormat(Format);
        }
        Found = Document->find(Link, Found.selectionEnd());
    }
}

void Tmotd_form::BringForward() {
    TDockWindow* Dock = Pages ? Pages->DockOf(this) : nullptr;
    if (Dock) {
        Dock->show();
        if (Dock->isFloating())
            Dock->raise();
        else
            Pages->Activate(this);
    } else if (!Pages) {
        // On its own (no main window to dock into) the window shows itself.
        show();
        raise();
    }
    // Not docked yet: the main window docks it last, which makes it the active page anyway.
}

// ---- questions ------------------------------------------------------------------------------

QString Tmotd_form::BoxTitle() const {
    return Pages ? Pages->window()->windowTitle() : QGuiApplication::applicationDisplayName();
}

bool Tmotd_form::Ask(const QString& Question) {
    QMessageBox Box(QMessageBox::Warning, BoxTitle(), Question, QMessageBox::Yes | QMessageBox::No);
    Box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return Box.exec() == QMessageBox::Yes;
}

void Tmotd_form::ShowError(const QString& Text) {
    QMessageBox Box(QMessageBox::Critical, BoxTitle(), Text, QMessageBox::Ok);
    Box.setWindowFlag(Qt::WindowStaysOnTopHint);
    Box.exec();
}

// ---- window ---------------------------------------------------------------------------------

void Tmotd_form::motd_textURLClick(const QUrl& URL) {
    if (LinkSchemes.contains(URL.scheme(), Qt::CaseInsensitive))
        OpenLink(URL.toEncoded(), StatusBarReport(this));
}

bool Tmotd_form::event(QEvent* Event) {
    // Reading the news is not reading the chat.
    if (Event->type() == QEvent::WindowActivate && OnActivated) OnActivated(this);
    return QWidget::event(Event);
}

void Tmotd_form::closeEvent(QCloseEvent* Event) {
    // Never closed: a close request docks the window back into the main window.
    Event->ignore();
    if (!Pages) return;
    if (TDockWindow* Dock = Pages->DockOf(this)) {
        Dock->setFloating(false);
        Dock->show();
    } else if (Pages->window()->isVisible()) {
        Pages->Dock(this);
    }
}
