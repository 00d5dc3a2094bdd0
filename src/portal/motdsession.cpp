#include "portal/motdsession.h"

#include "config/gamelauncher.h"
#include "config/links.h"
#include "config/paths.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "net/WSockets.h"
#include "net/http.h"
#include "net/netutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSet>

const QString TMotdSession::ExpiredUpdateQuestion =
    "This program has expired. You must download a newer version\n"
    "Would you like to launch the auto-update program now?";
const QString TMotdSession::NewVersionQuestion =
    "There is a new version available.\nWould you like to launch the auto-update program now?";

QString TMotdSession::ExpiredDownloadQuestion(const QString& Address) {
    return "This program has expired. You must download a newer version\nA new version may be "
           "available at: " +
           Address + "\nWould you like to go there now?";
}

QString TMotdSession::UpdaterPath() {
    return QDir::toNativeSeparators(QDir(ProgramDataDir()).filePath("vevorozar.exe"));
}

bool TMotdSession::MayStore(const QString& Name) {
    // A reply is a plain UDP datagram or HTTP document that anyone on the way can forge, and
    // what it stores lasts for every later start. It carries the link table, the banner
    // period and the description of an update (read by the update program), and may leave
    // names this program never reads; every other value the program reads (where the
    // message service is, the installation code, the checksum, the tips switch) stays the
    // user's, or a forged reply would own every later exchange.
    static const QSet<QString> Carried = [] {
        QSet<QString> Names{"bannerinterval", "updatever", "updatedesc", "updateurl",
                            "updatesize",     "dlcount",   "dl1",        "dl1desc"};
        for (const QString& Name : LinkValueNames())
            Names.insert(Name);
        return Names;
    }();
    const QString Key = Name.toLower();
    return Carried.contains(Key) || !TSettings::DirectNamesRead().contains(Key);
}

TMotdSession::TMotdSession(TSettings& Settings, QObject* Parent)
    : QObject(Parent), Httpmotdcli(std::make_unique<THttpClient>()),
      UDPmotdcli(std::make_unique<TUDPClient>()), Settings(Settings) {
    Httpmotdcli->ProxyPort = "80";
    Httpmotdcli->OnDocBegin = [this](THttpClient*) { HttpmotdcliDocBegin(); };
    Httpmotdcli->OnDocEnd = [this](THttpClient*) { HttpmotdcliDocEnd(); };
    UDPmotdcli->Authorized = false;
    UDPmotdcli->OnData = [this](TCustomWSockets*, int) { UDPmotdcliData(); };
}

TMotdSession::~TMotdSession() {
    // An answer still on its way has nobody left to tell.
    Httpmotdcli->OnDocBegin = nullptr;
    Httpmotdcli->OnDocEnd = nullptr;
    UDPmotdcli->OnData = nullptr;
}

// ---- the exchange ---------------------------------------------------------------------------

void TMotdSession::RequestMotd() {
    TMotdRequestFields Fields;
    Fields.Version = Settings.VersionText();
    Fields.Product = Settings.Edition().ProductCode;
    Fields.Email = Settings.Value(TField::Email).toUtf8();
    Fields.InstallCode = Settings.InstallCode.toLatin1();
    Fields.Notify = Settings.Flag(TField::Notify);
    Fields.RealName = Settings.Value(TField::RealName).toUtf8();
    Fields.Age = Settings.Value(TField::Age).toUtf8();
    Fields.Zip = Settings.Value(TField::Zip).toUtf8();
    const QByteArray Request = MotdRequest(Fields);
    LookUpReportAddress();
    if (Settings.Flag(TField::UdpMotd)) {
        UDPmotdcli->Host = Settings.MotdHost();
        UDPmotdcli->Port = Settings.MotdPort();
        if (UDPmotdcli->Open()) UDPmotdcli->SendText(Request);
        return;
    }
    Httpmotdcli->URL = Settings.MotdUrl() + UrlEncode(Request);
    Httpmotdcli->RcvdStream = nullptr;
    Receiving = false;
    Settings.ApplyHttpProxy(*Httpmotdcli);
    Httpmotdcli->GetASync();
}

void TMotdSession::UDPmotdcliData() {
    // Only the service's datagrams arrive: the socket is connected to it.
    const QByteArray Datagram = UDPmotdcli->ReceiveText();
    if (!Datagram.isEmpty()) HandleReply(Datagram);
}

void TMotdSession::HttpmotdcliDocBegin() {
    Document.clear();
    Receiving = true;
    Httpmotdcli->RcvdStream = &Document;
}

void TMotdSession::HttpmotdcliDocEnd() {
    if (!Receiving) return;
    Receiving = false;
    Httpmotdcli->RcvdStream = nullptr;
    const QByteArray Reply = std::exchange(Document, {});
    // An error page or a document cut short is no message and must not write settings.
    const int Status = Httpmotdcli->StatusCode;
    if (Status < 200 || Status > 299) return;
    HandleReply(Reply);
}

void TMotdSession::HandleReply(const QByteArray& Reply) {
    // A reply that comes while a question of the last one is open waits for its answer.
    if (Handling) {
        Deferred = Reply;
        return;
    }
    QPointer<TMotdSession> Self(this);
    std::optional<QByteArray> Next = Reply;
    while (Next) {
        Handling = true;
        Handle(*Next);
        if (!Self) return;
        Handling = false;
        Next = std::exchange(Deferred, std::nullopt);
    }
}

void TMotdSession::Handle(const QByteArray& Reply) {
    const TMotdReply R = TMotdReply::Parse(Reply);
    Headers = R.Headers;
    const QString Sum = QString::number(R.Checksum);
    // An unchanged message stays in the background tab.
    const bool Forward = Sum != Settings.Stored("motdck") || R.Expired;
    QPointer<TMotdSession> Self(this);
    if (OnMessage) OnMessage(this, R, Forward);
    if (!Self) return;
    if (Forward) Settings.Store("motdck", Sum);
    if (Headers.isEmpty()) return;
    const bool NewVersion = MotdOffersUpdate(Headers);
    StoreHeaders();
    OfferUpdate(R.Expired, NewVersion);
}

void TMotdSession::StoreHeaders() {
    // The service moves the links and the banner period this way, within MayStore. One
    // write of the store for the whole reply, however many lines it has.
    TRegistry& Store = Settings.Registry();
    const QString Key = Settings.DirectKey();
    for (const auto& [Name, Value] : MotdSettings(Headers)) {
        const QString Text = DisplayText(Name);
        if (MayStore(Text)) Store.WriteString(Key, Text, DisplayText(Value));
    }
    Store.Flush();
    Settings.LoadLinks();
}

bool TMotdSession::Ask(const QString& Question) {
    bool Yes = false;
    if (OnAsk) OnAsk(this, Question, Yes);
    return Yes;
}

bool TMotdSession::OfferUpdate(bool Expired, bool NewVersion) {
    // Each question runs its own event loop, in which anything may go, this session too.
    QPointer<TMotdSession> Self(this);
    if (Expired) {
        if (NewVersion && Ask(ExpiredUpdateQuestion)) {
            if (!Self || RunUpdater()) return true;
        }
        if (!Self) return true;
        const QString Download = Settings.Links[lkDownload].Address;
        if (Ask(ExpiredDownloadQuestion(Download))) {
            // The address may come from a reply: the link rule decides, as for every link.
            if (const QString Why = LinkRefusal(Download.toUtf8()); Why.isEmpty())
                OpenURL(Download.toUtf8());
            else
                FireEvent(OnError, this, Why);
        }
        if (!Self) return true;
    }
    if (NewVersion && Ask(NewVersionQuestion)) {
        if (!Self || RunUpdater()) return true;
    }
    // Asked for once every question is answered: an earlier request would close the boxes.
    if (Expired) EndProgram();
    return Expired;
}

bool TMotdSession::RunUpdater() {
    const QString Path = UpdaterPath();
    if (!QFileInfo(Path).isFile()) {
        if (OnError) OnError(this, "The update program cannot be found at " + Path);
        return false;
    }
    // A Windows program starts through Wine, as the game does.
    const TLaunchCommand Command =
        TGameLauncher::CommandFor(Path, {Settings.DirectKey()}, QFileInfo(Path).absolutePath());
    if (!Command.Ok()) {
        if (OnError) OnError(this, Command.Error);
        return false;
    }
    // The updater may replace this program: favourites and settings are written first, as at
    // any end of the program, instead of being lost to an abrupt exit.
    QPointer<TMotdSession> Self(this);
    if (OnUpdaterStarting) OnUpdaterStarting(this);
    if (!Self) return true;
    Settings.Save();
    const TRunResult Result = RunProgram(Command.Program, Command.Arguments, Command.Folder);
    if (!Result.Ok) {
        if (OnError) OnError(this, Result.Error);
        return false;
    }
    EndProgram();
    return true;
}

void TMotdSession::EndProgram() {
    if (OnEndProgram) {
        OnEndProgram(this);
        return;
    }
    // The program ends once the event being handled returns, through the usual teardown.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

// ---- usage report ---------------------------------------------------------------------------

void TMotdSession::LookUpReportAddress() {
    // The report goes out while the program ends, when a name lookup could no longer finish.
    ReportHost = Settings.MotdHost();
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

void TMotdSession::SendUsageReport(qint64 StartTick, qint64 ActiveTime, qint64 RestoreTick) {
    const qint64 Now = TickCount();
    const qint64 Active = ActiveTime + (RestoreTick ? Now - RestoreTick : 0);
    const QByteArray Report = MotdUsageReport(
        Settings.VersionText(), Settings.Edition().ProductCode, Settings.InstallCode.toLatin1(),
        MotdMinutes(Now - StartTick), MotdMinutes(Active));
    QByteArray Host = Settings.MotdHost();
    if (Host == ReportHost && !ReportAddress.isEmpty()) Host = ReportAddress;
    // A name still unresolved now would be looked up after the program is gone.
    if (QHostAddress(QString::fromLatin1(Host)).isNull()) return;
    UDPmotdcli->OnData = nullptr;
    UDPmotdcli->Host = Host;
    UDPmotdcli->Port = Settings.MotdPort();
    if (UDPmotdcli->Open()) UDPmotdcli->SendText(Report);
}
