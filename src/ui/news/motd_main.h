// "News": the message of the day, shown as the message session hands it over; the questions a
// reply raises are asked here. Docked in the main window's tabbed area, or on its own.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QTextBrowser;
class QUrl;
class TDockArea;
class TMotdSession;
class TSettings;
struct TMotdReply;
struct TSkinColors;

class Tmotd_form : public QWidget {
    Q_OBJECT
public:
    // Pages: the tabbed area the window docks into; null when it stands on its own. The
    // session's request goes out at once.
    explicit Tmotd_form(TSettings& Settings, TDockArea* Pages = nullptr, QWidget* Parent = nullptr);
    ~Tmotd_form() override;

    // The link schemes the text shows as clickable links.
    static const QStringList LinkSchemes;

    void ApplyColors(const TSkinColors& Colors);

    QTextBrowser* motd_text;
    std::unique_ptr<TMotdSession> Session;
    TDockArea* const Pages;

    // The window became the active one (floating on its own).
    std::function<void(Tmotd_form* Sender)> OnActivated;

protected:
    bool event(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void FormCreate();
    void motd_textURLClick(const QUrl& URL);
    void ShowMessage(const TMotdReply& Reply);
    void MarkLinks();
    void BringForward();
    QString BoxTitle() const;
    bool Ask(const QString& Question);
    void ShowError(const QString& Text);

    TSettings& Settings;
};
