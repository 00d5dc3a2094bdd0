// "News": the message of the day, asked for at every start over UDP or HTTP. The reply also
// carries settings, link overrides and update offers; when the window goes at program end it
// reports the minutes of use.
#pragma once

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <memory>
#include <optional>

class QTextBrowser;
class QUrl;
class THttpClient;
class TUDPClient;
struct TMotdReply;
struct TSkinColors;

class Tmotd_form : public QWidget {
    Q_OBJECT
public:
    explicit Tmotd_form(QWidget* Parent = nullptr);
    ~Tmotd_form() override;

    // The link schemes the text shows as clickable links.
    static const QStringList LinkSchemes;

    void ApplyColors();
    void ApplyColors(const TSkinColors& Colors);
    void RequestMotd();
    // One reply, whole: a datagram or an HTTP document.
    void HandleReply(const QByteArray& Reply);
    void ApplyHeaders(bool Expired);
    // Asks what the reply offers; true when the program is ending.
    bool OfferUpdate(bool Expired, bool NewVersion);
    // Starts the update program and ends this one; false when it could not be started.
    bool RunUpdater();

    // The message service: the edition's defaults unless the stored values "motdhost",
    // "motdport" and "motdurl" say otherwise (a deployment or a test points elsewhere).
    QByteArray MotdHost() const;
    QByteArray MotdPort() const;
    QByteArray MotdUrl() const;

    QTextBrowser* motd_text;
    std::unique_ptr<THttpClient> Httpmotdcli;
    std::unique_ptr<TUDPClient> UDPmotdcli;
    QList<QByteArray> Headers; // of the last reply

    // The window came in front (reading the news is not reading the chat).
    std::function<void()> OnWindowActivate;

protected:
    bool event(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void FormCreate();
    void FormDestroy();
    void UDPmotdcliData();
    void HttpmotdcliDocBegin();
    void HttpmotdcliDocEnd();
    void motd_textURLClick(const QUrl& URL);
    void Handle(const QByteArray& Reply);
    void ShowMessage(const TMotdReply& Reply);
    void MarkLinks();
    void BringForward();
    bool Ask(const QString& Question);
    void SendUsageReport();
    void LookUpReportAddress();

    QByteArray Document;
    bool Receiving = false;
    bool Handling = false;
    std::optional<QByteArray> Deferred; // a reply that came while a question was open
    QByteArray ReportHost;              // the service host looked up for the report at exit
    QByteArray ReportAddress;
};

extern Tmotd_form* motd_form;
