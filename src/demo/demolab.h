// The servers a demo runs against, all on free loopback ports and all stopped with it: a
// scoutly-lab child (a master listing 300 game servers, the news server, the web server for
// banners and the ticker) and, when ngircd is installed, a private IRC server whose channel
// the lab's chat bots fill.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class TRegistry;

struct TDemoAddresses {
    QString Master; // host:port
    QString Motd;   // host:port
    QString Web;    // base address, ending in "/"
    QString Chat;   // host:port; empty without an IRC server
};

class TDemoLab {
public:
    // LabProgram: the scoutly-lab to run (default: the one beside this program, else PATH).
    // Ircd: the ngircd to run (default: found on PATH or in the sbin folders; a name that is
    // not there turns chat off).
    explicit TDemoLab(QString LabProgram = {}, QString Ircd = {});
    ~TDemoLab();

    // Starts everything and waits until it listens (a few seconds at most). False with the
    // reason in Error when the lab does not come up; a missing or failing IRC server only
    // turns chat off and says so in Notes().
    bool Start(QString& Error);
    const TDemoAddresses& Addresses() const { return FAddresses; }
    // What the user should know: where the servers are, or that chat is off.
    const QStringList& Notes() const { return FNotes; }
    // Stores the addresses as --master, --motd, --web and --chat would.
    bool Store(TRegistry& Registry, QString& Error) const;

    // Starts one and prints its notes; null (with the reason on standard error) when it fails.
    static std::unique_ptr<TDemoLab> Launch();

    // The lab's report (its "<kind> 127.0.0.1:PORT ..." lines up to "ready") into Addresses;
    // false when it is not complete.
    static bool ParseLabReport(const QByteArray& Report, TDemoAddresses& Addresses);

private:
    bool StartIrc(quint16& Port, QString& Error);
    void Stop(std::unique_ptr<QProcess>& Process);

    QString FLabProgram, FIrcd;
    QTemporaryDir FDir;
    std::unique_ptr<QProcess> FIrc, FLab;
    TDemoAddresses FAddresses;
    QStringList FNotes;
};
