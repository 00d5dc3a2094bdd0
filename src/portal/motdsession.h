// The message-of-the-day session: the request at start (over UDP or HTTP, as the settings
// say), each reply taken in (the message to show, the settings it stores, the questions an
// expired copy or a new version raise) and the usage report when the program ends. The
// "News" window shows what it hands over and asks its questions.
#pragma once

#include "portal/motd.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class THttpClient;
class TSettings;
class TUDPClient;

class TMotdSession : public QObject {
    Q_OBJECT
public:
    explicit TMotdSession(TSettings& Settings, QObject* Parent = nullptr);
    ~TMotdSession() override;

    // The questions a reply may raise, as the user reads them.
    static const QString ExpiredUpdateQuestion;
    static const QString NewVersionQuestion;
    static QString ExpiredDownloadQuestion(const QString& Address);
    // Where the update program is expected: the program folder.
    static QString UpdaterPath();
    // Whether a reply may store a value under Name (any case).
    static bool MayStore(const QString& Name);

    // Over UDP when the UDP choice is on, over HTTP (through the proxy) otherwise.
    void RequestMotd();
    // One reply, whole: a datagram or an HTTP document.
    void HandleReply(const QByteArray& Reply);
    // The minutes of use, from the main window's counters (TickCount values; RestoreTick 0
    // while minimised). Always over UDP, to an address known by now.
    void SendUsageReport(qint64 StartTick, qint64 ActiveTime, qint64 RestoreTick);

    std::unique_ptr<THttpClient> Httpmotdcli;
    std::unique_ptr<TUDPClient> UDPmotdcli;
    QList<QByteArray> Headers; // of the last reply

    // Show Reply's message; Forward: one not seen before (or expired) wants its page in front.
    std::function<void(TMotdSession* Sender, const TMotdReply& Reply, bool Forward)> OnMessage;
    // A yes/no question; Yes stays false unless the user says yes.
    std::function<void(TMotdSession* Sender, const QString& Question, bool& Yes)> OnAsk;
    std::function<void(TMotdSession* Sender, const QString& Text)> OnError;
    // The update program is about to start and may replace this program: write what is kept.
    std::function<void(TMotdSession* Sender)> OnUpdaterStarting;
    // The program must end; without a handler the application is told to exit.
    std::function<void(TMotdSession* Sender)> OnEndProgram;

private:
    void UDPmotdcliData();
    void HttpmotdcliDocBegin();
    void HttpmotdcliDocEnd();
    void Handle(const QByteArray& Reply);
    void StoreHeaders();
    // Asks what the reply offers; true when the program is ending.
    bool OfferUpdate(bool Expired, bool NewVersion);
    bool RunUpdater();
    bool Ask(const QString& Question);
    void EndProgram();
    void LookUpReportAddress();

    TSettings& Settings;
    QByteArray Document;
    bool Receiving = false;
    bool Handling = false;
    std::optional<QByteArray> Deferred; // a reply that came while a question was open
    QByteArray ReportHost;              // the service host looked up for the report at exit
    QByteArray ReportAddress;
};
