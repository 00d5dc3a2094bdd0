#include "demo/demolab.h"

#include "config/settings.h"
#include "config/settingsstore.h"
#include "portal/portaloptions.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <cstdio>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The lab lists 300 servers in some 20 KB; anything far beyond is not the lab talking.
constexpr qsizetype MaxReport = 1 << 20;
constexpr int LabStartMs = 15000; // the chat bots alone may wait 4 s for their channel
constexpr int IrcStartMs = 5000;

// A child must not outlive the program, even when the program is killed.
void DieWithParent(QProcess& Process) {
    Process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

quint16 FreeLoopbackPort() {
    QTcpServer Probe;
    if (!Probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return Probe.serverPort();
}

// Given: a path or a name; empty looks for ngircd on PATH, then in the sbin folders, which
// a user's PATH often lacks.
QString FindIrcd(const QString& Given) {
    if (Given.contains('/')) return QFileInfo(Given).isExecutable() ? Given : QString();
    if (!Given.isEmpty()) return QStandardPaths::findExecutable(Given);
    const QString Found = QStandardPaths::findExecutable("ngircd");
    return !Found.isEmpty() ? Found
                            : QStandardPaths::findExecutable(
                                  "ngircd", {"/usr/sbin", "/sbin", "/usr/local/sbin"});
}

// Configured like the tests' one: no PAM, ident, DNS, penalties or per-address caps.
QByteArray IrcConfig(quint16 Port, const QString& PidFile) {
    return "[Global]\nName = irc.demo.local\nInfo = Scoutly Lite demo\nListen = 127.0.0.1\n"
           "Ports = " +
           QByteArray::number(Port) +
           "\nMotdPhrase = Welcome to the demo\nAdminInfo1 = demo\nAdminInfo2 = demo\n"
           "AdminEMail = root@localhost\nPidFile = " +
           PidFile.toUtf8() +
           "\n[Limits]\nMaxConnectionsIP = 0\nMaxNickLength = 30\nMaxPenaltyTime = 0\n"
           "[Options]\nDNS = no\nIdent = no\nPAM = no\nRequireAuthPing = no\n";
}

// As root, ngircd would become nobody itself, and a process that changes its user loses the
// signal that ends it with the program. So it starts as nobody, with its folder open to it.
struct TIrcUser {
    uid_t Uid = 0;
    gid_t Gid = 0;
};
std::optional<TIrcUser> PrepareIrcUser(const QString& Root, const QString& PidDir) {
    if (::geteuid() != 0) return std::nullopt;
    const passwd* Nobody = ::getpwnam("nobody");
    if (!Nobody) return std::nullopt;
    const TIrcUser User{Nobody->pw_uid, Nobody->pw_gid};
    [[maybe_unused]] const int Ignored =
        ::chown(QFile::encodeName(PidDir).constData(), User.Uid, User.Gid);
    for (const QString& Dir : {Root, QFileInfo(PidDir).path()})
        QFile::setPermissions(Dir, QFile::permissions(Dir) | QFile::ReadOther | QFile::ExeOther);
    return User;
}

bool Listens(quint16 Port) {
    QTcpSocket Socket;
    Socket.connectToHost(QHostAddress::LocalHost, Port);
    return Socket.waitForConnected(200);
}

} // namespace

TDemoLab::TDemoLab(QString LabProgram, QString Ircd)
    : FLabProgram(std::move(LabProgram)), FIrcd(std::move(Ircd)) {}

TDemoLab::~TDemoLab() {
    // The bots leave before their server goes.
    Stop(FLab);
    Stop(FIrc);
}

void TDemoLab::Stop(std::unique_ptr<QProcess>& Process) {
    if (!Process) return;
    if (Process->state() != QProcess::NotRunning) {
        Process->terminate();
        if (!Process->waitForFinished(3000)) {
            Process->kill();
            Process->waitForFinished(1000);
        }
    }
    Process.reset();
}

bool TDemoLab::StartIrc(quint16& Port, QString& Error) {
    const QString Program = FindIrcd(FIrcd);
    if (Program.isEmpty()) {
        Error = "install ngircd for one";
        return false;
    }
    Port = FreeLoopbackPort();
    const QString Root = FDir.filePath("irc"), PidDir = Root + "/pid";
    QFile Config(Root + "/ngircd.conf");
    if (!Port || !QDir().mkpath(PidDir) || !Config.open(QIODevice::WriteOnly) ||
        Config.write(IrcConfig(Port, PidDir + "/ngircd.pid")) < 0 || !Config.flush()) {
        Error = "cannot prepare its folder in " + FDir.path();
        return false;
    }
    FIrc = std::make_unique<QProcess>();
    FIrc->setProcessChannelMode(QProcess::MergedChannels);
    FIrc->setStandardOutputFile(Root + "/log");
    if (const auto User = PrepareIrcUser(FDir.path(), PidDir))
        FIrc->setChildProcessModifier([User = *User] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(User.Gid) != 0 || ::setuid(User.Uid) != 0)
                ::_exit(127);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
    else
        DieWithParent(*FIrc);
    FIrc->start(Program, {"-n", "-f", Config.fileName()});
    const QDeadlineTimer Deadline(IrcStartMs);
    while (!Deadline.hasExpired() && FIrc->state() != QProcess::NotRunning) {
        if (Listens(Port)) return true;
        FIrc->waitForFinished(50);
    }
    QFile Log(Root + "/log");
    Log.open(QIODevice::ReadOnly);
    Error = Program + " did not listen: " + QString::fromUtf8(Log.read(2000)).simplified();
    Stop(FIrc);
    return false;
}

bool TDemoLab::Start(QString& Error) {
    if (!FDir.isValid()) {
        Error = "cannot make a temporary folder: " + FDir.errorString();
        return false;
    }
    QStringList Arguments{"--master-port", "0",
                          "--servers",     "300",
                          "--silent",      "6",
                          "--split",       "30",
                          "--delay-ms",    "400",
                          "--motd-port",   "0",
                          "--motd-header", "bannerinterval=30000",
                          "--http-port",   "0",
                          "--friends",     "8"};
    quint16 IrcPort = 0;
    QString IrcError;
    // Scout (greets, answers !help and !servers) and four talkers in #morrow.
    if (StartIrc(IrcPort, IrcError))
        Arguments << "--chat-server"
                  << "127.0.0.1:" + QString::number(IrcPort) << "--chat-bots"
                  << "5";
    else
        FNotes << "No IRC server (" + IrcError + "): the demo runs without chat.";

    QString Program = FLabProgram;
    if (Program.isEmpty()) {
        Program = QCoreApplication::applicationDirPath() + "/scoutly-lab";
        if (!QFileInfo(Program).isExecutable())
            Program = QStandardPaths::findExecutable("scoutly-lab");
    }
    if (Program.isEmpty()) {
        Error = "scoutly-lab is neither beside this program nor on PATH";
        return false;
    }
    FLab = std::make_unique<QProcess>();
    FLab->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    DieWithParent(*FLab);
    FLab->start(Program, Arguments);
    QByteArray Report;
    const QDeadlineTimer Deadline(LabStartMs);
    while (!Report.endsWith("ready\n") && Report.size() < MaxReport && !Deadline.hasExpired() &&
           FLab->state() != QProcess::NotRunning) {
        FLab->waitForReadyRead(int(qMin<qint64>(Deadline.remainingTime(), 500)));
        Report += FLab->read(MaxReport - Report.size());
    }
    if (!ParseLabReport(Report, FAddresses)) {
        Error = Program + (FLab->state() == QProcess::NotRunning ? " stopped before it was ready"
                                                                 : " was not ready in time");
        Stop(FLab);
        return false;
    }
    if (IrcPort) FAddresses.Chat = "127.0.0.1:" + QString::number(IrcPort);
    FNotes << "Lab master server at " + FAddresses.Master + "; press Refresh in the window."
           << "News from " + FAddresses.Motd + ", banners and ticker from " + FAddresses.Web + ".";
    if (IrcPort) FNotes << "IRC server at " + FAddresses.Chat + ", bots in #morrow.";
    FNotes << "The bots play too: Wren and Thorn are buddies (Configure, Buddies); two servers "
              "are full, and on one of them a slot frees every minute (Launch, Join when a slot "
              "frees).";
    return true;
}

bool TDemoLab::ParseLabReport(const QByteArray& Report, TDemoAddresses& Addresses) {
    TDemoAddresses Found;
    bool Ready = false;
    for (const QByteArray& Line : Report.split('\n')) {
        const QList<QByteArray> Words = Line.trimmed().split(' ');
        if (Words.first() == "ready") Ready = true;
        if (Ready || Words.size() < 2 || !Words[1].startsWith("127.0.0.1:")) continue;
        const QString Where = QString::fromLatin1(Words[1]);
        if (Words[0] == "master") Found.Master = Where;
        if (Words[0] == "motd") Found.Motd = Where;
        if (Words[0] == "http") Found.Web = "http://" + Where + '/';
    }
    if (!Ready || Found.Master.isEmpty() || Found.Motd.isEmpty() || Found.Web.isEmpty())
        return false;
    Addresses = Found;
    return true;
}

bool TDemoLab::Store(TRegistry& Registry, QString& Error) const {
    const QString Key = TEdition::Morrow().FormStorageKey;
    Registry.WriteString(Key, FieldName(TField::MasterServer), FAddresses.Master);
    const TEdition Edition = TEdition::Morrow();
    Registry.WriteString(Edition.RegistryKey + Edition.RegistrySubKey, "buddies", "Wren\nThorn");
    if (!FAddresses.Chat.isEmpty())
        Registry.WriteString(Key, FieldName(TField::ChatServer), FAddresses.Chat);
    return StorePortalOverrides(Registry, FAddresses.Motd, FAddresses.Web, Error);
}

std::unique_ptr<TDemoLab> TDemoLab::Launch() {
    auto Lab = std::make_unique<TDemoLab>();
    QString Error;
    if (!Lab->Start(Error)) {
        std::fprintf(stderr, "scoutly-lite: the demo's servers did not start: %s\n",
                     qPrintable(Error));
        return nullptr;
    }
    for (const QString& Note : Lab->Notes())
        std::printf("%s\n", qPrintable(Note));
    std::fflush(stdout);
    return Lab;
}
