#include "ui/news/motd_main.h"

#include "config/paths.h"
#include "config/settingsstore.h"
#include "config/skins.h"
#include "net/WSockets.h"
#include "net/http.h"
#include "net/netutils.h"
#include "portal/motd.h"
#include "portal/rtfhtml.h"
#include "ui/config/config_main.h"
#include "ui/shell/sc_main.h"
#include "ui/widgets/dockarea.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

Tmotd_form* motd_form = nullptr;

const QStringList Tmotd_form::LinkSchemes{"e-mail", "http", "file",     "mailto", "ftp",  "https",
                                          "gopher", "nntp", "prospero", "telnet", "news", "wais"};

namespace {
QString BoxTitle() {
    return sc_form ? sc_form->windowTitle() : QGuiApplication::applicationDisplayName();
}

void ShowError(const QString& Text) {
    QMessageBox Box(QMessageBox::Critical, BoxTitle(), Text, QMessageBox::Ok);
    Box.setWindowFlag(Qt::WindowStaysOnTopHint);
    Box.exec();
}

// The program ends once the event being handled returns, through the usual teardown.
void EndProgram() {
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

QByteArray StoredOr(const char* Name, const QByteArray& Default) {
    if (!config_form) return Default;
    const QString Value = config_form->Settings.Stored(QLatin1String(Name)).trimmed();
    return Value.isEmpty() ? Default : Value.toUtf8();
}

QByteArray VersionText() {
    return config_form ? config_form->Settings.Edition().VersionParts.join(QString()).toLatin1()
                       : QByteArray();
}
} // namespace

Tmotd_form::Tmotd_form(QWidget* Parent)
    : QWidget(Parent), Httpmotdcli(std::make_unique<THttpClient>()),
      UDPmotdcli(std::make_unique<TUDPClient>()) {
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

    Httpmotdcli->ProxyPort = "80";
    Httpmotdcli->OnDocBegin = [this](THttpClient*) { HttpmotdcliDocBegin(); };
    Httpmotdcli->OnDocEnd = [this](THttpClient*) { HttpmotdcliDocEnd(); };
    UDPmotdcli->Authorized = false;
    UDPmotdcli->OnData = [this](TCustomWSockets*, int) { UDPmotdcliData(); };
    FormCreate();
}

Tmotd_form::~Tmotd_form() {
    FormDestroy();
}

void Tmotd_form::FormCreate() {
    motd_form = this;
    Headers.clear();
    ApplyColors();
    RequestMotd();
}

void Tmotd_form::FormDestroy() {
    Headers.clear();
    SendUsageReport();
    if (motd_form == this) motd_form = nullptr;
}

void Tmotd_form::ApplyColors() {
    if (config_form) ApplyColors(config_form->Settings.Colors);
}

void Tmotd_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    setPalette(P);
    setAutoFillBackground(true);
    if (config_form) setFont(config_form->font());
}

QByteArray Tmotd_form::MotdHost() const {
    return StoredOr("motdhost",
                    config_form ? config_form->Settings.Edition().MotdHost : QByteArray());
}

QByteArray Tmotd_form::MotdPort() const {
    return StoredOr("motdport",
                    config_form ? config_form->Settings.Edition().MotdPort : QByteArray("25636"));
}

QByteArray Tmotd_form::MotdUrl() const {
    return StoredOr("motdurl",
                    config_form ? config_form->Settings.Edition().MotdUrl : QByteArray());
}

// ---- the exchange ---------------------------------------------------------------------------

void Tmotd_form::RequestMotd() {
    if (!config_form) return;
    TMotdRequestFields Fields;
    Fields.Version = VersionText();
    Fields.Product = config_form->Settings.Edition().ProductCode;
    Fields.Email = config_form->Settings.Value(TField::Email).toUtf8();
    Fields.InstallCode = config_form->Settings.InstallCode.toLatin1();
    Fields.Notify = config_form->Settings.Flag(TField::Notify);
    Fields.RealName = config_form->Settings.Value(TField::RealName).toUtf8();
    Fields.Age = config_form->Settings.Value(TField::Age).toUtf8();
    Fields.Zip = config_form->Settings.Value(TField::Zip).toUtf8();
    const QByteArray Request = MotdRequest(Fields);
    LookUpReportAddress();
    if (config_form->Settings.Flag(TField::UdpMotd)) {
        UDPmotdcli->Host = MotdHost();
        UDPmotdcli->Port = MotdPort();
        if (UDPmotdcli->Open()) UDPmotdcli->SendText(Request);
        return;
    }
    Httpmotdcli->URL = MotdUrl() + UrlEncode(Request);
    Httpmotdcli->RcvdStream = nullptr;
    Receiving = false;
    config_form->Settings.ApplyHttpProxy(*Httpmotdcli);
    Httpmotdcli->GetASync();
}

void Tmotd_form::UDPmotdcliData() {
    // Only the service's datagrams arrive: the socket is connected to it.
    const QByteArray Datagram = UDPmotdcli->ReceiveText();
    if (!Datagram.isEmpty()) HandleReply(Datagram);
}

void Tmotd_form::HttpmotdcliDocBegin() {
    Document.clear();
    Receiving = true;
    Httpmotdcli->RcvdStream = &Document;
}

void Tmotd_form::HttpmotdcliDocEnd() {
    if (!Receiving) return;
    Receiving = false;
    Httpmotdcli->RcvdStream = nullptr;
    const QByteArray Reply = std::exchange(Document, {});
    // An error page or a document cut short is no message and must not write settings.
    const int Status = Httpmotdcli->StatusCode;
    if (Status < 200 || Status > 299) return;
    HandleReply(Reply);
}

void Tmotd_form::HandleReply(const QByteArray& Reply) {
    // A reply that comes while a question of the last one is open waits for its answer.
    if (Handling) {
        Deferred = Reply;
        return;
    }
    QPointer<Tmotd_form> Self(this);
    std::optional<QByteArray> Next = Reply;
    while (Next) {
        Handling = true;
        Handle(*Next);
        if (!Self) return;
        Handling = false;
        Next = std::exchange(Deferred, std::nullopt);
    }
}

void Tmotd_form::Handle(const QByteArray& Reply) {
    const TMotdReply R = TMotdReply::Parse(Reply);
    Headers = R.Headers;
    ShowMessage(R);
    const QString Sum = QString::number(R.Checksum);
    // An unchanged message stays in the background tab.
    if (!config_form || Sum != config_form->Settings.Stored("motdck") || R.Expired) {
        BringForward();
        if (config_form) config_form->Settings.Store("motdck", Sum);
    }
    if (!Headers.isEmpty()) ApplyHeaders(R.Expired);
}

void Tmotd_form::ShowMessage(const TMotdReply& Reply) {
    if (Reply.Rich)
        motd_text->setHtml(RtfToHtml(Reply.Message));
    else
        motd_text->setPlainText(DisplayText(Reply.Message));
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
    TDockWindow* Dock = sc_form ? sc_form->pages->DockOf(this) : nullptr;
    if (Dock) {
        Dock->show();
        if (Dock->isFloating())
            Dock->raise();
        else
            sc_form->pages->Activate(this);
    } else if (!sc_form) {
        // On its own (no main window to dock into) the window shows itself.
        show();
        raise();
    }
    // Not docked yet: the main window docks it last, which makes it the active page anyway.
}

void Tmotd_form::ApplyHeaders(bool Expired) {
    const bool NewVersion = MotdOffersUpdate(Headers);
    if (config_form) {
        const QString Key = config_form->Settings.Edition().RegistryKey +
                            config_form->Settings.Edition().RegistrySubKey;
        // One write of the store for the whole reply, however many lines it has.
        for (const auto& [Name, Value] : MotdSettings(Headers))
            config_form->Settings.Registry().WriteString(Key, DisplayText(Name),
                                                         DisplayText(Value));
        config_form->Settings.Registry().Flush();
        config_form->Settings.LoadLinks();
    }
    OfferUpdate(Expired, NewVersion);
}

bool Tmotd_form::Ask(const QString& Question) {
    QMessageBox Box(QMessageBox::Warning, BoxTitle(), Question, QMessageBox::Yes | QMessageBox::No);
    Box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return Box.exec() == QMessageBox::Yes;
}

bool Tmotd_form::OfferUpdate(bool Expired, bool NewVersion) {
    QPointer<Tmotd_form> Self(this);
    if (Expired) {
        if (NewVersion && Ask("This program has expired. You must download a newer version\n"
                              "Would you like to launch the auto-update program now?")) {
            if (!Self || RunUpdater()) return true;
        }
        if (!Self) return true;
        const QString Download =
            config_form ? config_form->Settings.Links[lkDownload].Address : QString();
        if (Ask("This program has expired. You must download a newer version\nA new version may "
                "be available at: " +
                Download + "\nWould you like to go there now?"))
            OpenURL(Download.toUtf8());
        if (!Self) return true;
    }
    if (NewVersion &&
        Ask("There is a new version available.\nWould you like to launch the auto-update "
            "program now?")) {
        if (!Self || RunUpdater()) return true;
    }
    // Asked for once every question is answered: an earlier request would close the boxes.
    if (Expired) EndProgram();
    return Expired;
}

bool Tmotd_form::RunUpdater() {
    const QString Path = QDir::toNativeSeparators(QDir(ProgramDataDir()).filePath("vevorozar.exe"));
    if (!QFileInfo(Path).isFile()) {
        ShowError("The update program cannot be found at " + Path);
        return false;
    }
    // The updater may replace this program: favourites and settings are written first, as at
    // any end of the program, instead of being lost to an abrupt exit.
    if (sc_form) sc_form->SaveFavorites();
    if (config_form) config_form->SaveSettings();
    const QString Key = config_form ? config_form->Settings.Edition().RegistryKey +
                                          config_form->Settings.Edition().RegistrySubKey
                                    : QString();
    const TRunResult Result = RunProgram(Path, {Key});
    if (!Result.Ok) {
        ShowError(Result.Error);
        return false;
    }
    EndProgram();
    return true;
}

// ---- window ---------------------------------------------------------------------------------

void Tmotd_form::motd_textURLClick(const QUrl& URL) {
    if (LinkSchemes.contains(URL.scheme(), Qt::CaseInsensitive)) OpenURL(URL.toEncoded());
}

bool Tmotd_form::event(QEvent* Event) {
    // Reading the news is not reading the chat.
    if (Event->type() == QEvent::WindowActivate && OnWindowActivate) OnWindowActivate();
    return QWidget::event(Event);
}

void Tmotd_form::closeEvent(QCloseEvent* Event) {
    // Never closed: a close request docks the window back into the main window.
    Event->ignore();
    if (!sc_form) return;
    if (TDockWindow* Dock = sc_form->pages->DockOf(this)) {
        Dock->setFloating(false);
        Dock->show();
    } else if (sc_form->isVisible()) {
        sc_form->pages->Dock(this);
    }
}

// ---- usage report ---------------------------------------------------------------------------

void Tmotd_form::LookUpReportAddress() {
    // The report goes out while the program ends, when a name lookup could no longer finish.
    ReportHost = MotdHost();
    ReportAddress.clear();
    if (ReportHost.isEmpty() || !QHostAddress(QString::fromLatin1(ReportHost)).isNull()) return;
    const QByteArray Host = ReportHost;
    QHostInfo::lookupHost(QString::fromUtf8(Host), this, [this, Host](const QHostInfo& Info) {
        if (Host != ReportHost) return;
        for (const QHostAddress& A : Info.addresses())
            if (A.protocol() == QAbstractSocket::IPv4Protocol) {
                ReportAddress = A.toString().toLatin1();
                return;
            }
    });
}

void Tmotd_form::SendUsageReport() {
    if (!sc_form || !config_form) return;
    const qint64 Now = TickCount();
    const qint64 Active =
        sc_form->ActiveTime + (sc_form->RestoreTick ? Now - sc_form->RestoreTick : 0);
    const QByteArray Report =
        MotdUsageReport(VersionText(), config_form->Settings.Edition().ProductCode,
                        config_form->Settings.InstallCode.toLatin1(),
                        MotdMinutes(Now - sc_form->StartTick), MotdMinutes(Active));
    QByteArray Host = MotdHost();
    if (Host == ReportHost && !ReportAddress.isEmpty()) Host = ReportAddress;
    // A name still unresolved now would be looked up after the program is gone.
    if (QHostAddress(QString::fromLatin1(Host)).isNull()) return;
    UDPmotdcli->OnData = nullptr;
    UDPmotdcli->Host = Host;
    UDPmotdcli->Port = MotdPort();
    if (UDPmotdcli->Open()) UDPmotdcli->SendText(Report);
}
