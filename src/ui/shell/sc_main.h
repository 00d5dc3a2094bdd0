// The browser's main window: banner strip, left panel with the toolbar and link buttons, the
// server list, the tabbed area for the chat, players/rules and news windows, and the status bar
// with the progress gauge and the news ticker. The edition window derives from it.
#pragma once

#include "config/settings.h"
#include "masterlist/customserverlist.h"
#include "portal/banner.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>

class QAction;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class TDockArea;
class THttpClient;
class TNewsTicker;
class TServerView;
class Tconfig_form;

class Tsc_form : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs its creation: the configuration dialog first of all.
    template <class T = Tsc_form> static std::unique_ptr<T> Create(QWidget* Parent = nullptr) {
        std::unique_ptr<T> Form(new T(Parent));
        Form->FormCreate();
        return Form;
    }
    ~Tsc_form() override;

    virtual void ApplySkin(bool All);
    virtual void SetupColumns();
    virtual void ListUpdatesComplete(TCustomServerList* Sender);
    virtual void UpdateActionStates();

    void ApplyLinkButtons();
    void ServerUpdated(TCustomServerList* Sender, const TServerRef& Server);
    void ListStatus(TCustomServerList* Sender, int Percent, const QString& Text);
    void ClearServerView();

    // Handlers
    void refresh_buttClick();
    void fav_buttClick();
    void configure_buttClick();
    void help_buttClick();
    void lb1Click(QToolButton* Sender);
    void LaunchExecute();
    void AddtoFavoritesExecute();
    void RemoveFromFavoritesExecute();
    void RefreshSelectedExecute();
    void CopytoClipboardExecute();
    void FindExecute();
    void FindDialog1Find();
    void RefreshFavorites();
    void SaveFavorites();

    // Banners and the news ticker
    void FetchBanner();
    void ScheduleNextBanner();
    void bannerclientDocBegin();
    void bannerclientDocEnd();
    void bannerimgClick();
    void FetchTicker();
    void scrollerclientDocBegin();
    void scrollerclientDocEnd();
    void newstickerClick();

    // Selected rows that carry records, in view order.
    QList<TServerRef> SelectedServers() const;
    static QByteArray KeyOf(const TCustomServer& Server);

    std::function<void()> OnHelp; // the tips window

    // State
    int FindPosition = -1;
    QString FavoritesFile;
    QList<TServerRef> RefreshTargets;
    qint64 StartTick = 0;
    qint64 ActiveTime = 0;
    qint64 RestoreTick = 0;
    bool BannerBusy = false;
    QByteArray BannerSuffix; // of the last banner fetch started; the click carries it too
    bool Updating = false;
    bool UpdateExisting = false;
    std::unique_ptr<TCustomServerList> ServerList;
    QStringList Favorites; // kept sorted, case-insensitively
    std::optional<QList<TServerRef>> SavedServers;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<Tconfig_form> config;

    // Set by the program: the tabbed area takes its windows, the first showing is done, every
    // window takes the skin.
    std::function<void(TDockArea* Pages)> OnDockWindows;
    std::function<void()> OnStarted;
    std::function<void()> OnSkinApplied;

    // Controls
    QWidget* toppanel;
    QLabel* topimage;
    QLabel* bannerimg;
    QToolButton* company_butt;
    QWidget* mainpanel;
    QLabel* leftimage;
    QToolButton* refresh_butt;
    QToolButton* fav_butt;
    QToolButton* configure_butt;
    QToolButton* help_butt;
    QList<QToolButton*> LinkButtons; // lb1..lb5
    QToolButton* scly_butt;
    TServerView* serverview;
    TDockArea* pages;
    QProgressBar* gauge;
    QLabel* statuslabel;
    TNewsTicker* newsticker;
    QLabel* statuspanel3;
    QSystemTrayIcon* RxTrayIcon1;
    QTimer* bannertimer;
    THttpClient* bannerclient;
    QTimer* scrollertimer;
    THttpClient* scrollerclient;
    QMenu* ServerListPopup;
    QAction* Launch;
    QAction* AddtoFavorites;
    QAction* RemoveFromFavorites;
    QAction* RefreshSelected;
    QAction* CopytoClipboard;
    QAction* Find;
    QAction* AutosizeColumns1;
    QDialog* FindDialog1 = nullptr;
    QLineEdit* FindText = nullptr;
    QRadioButton* FindDown = nullptr;

protected:
    explicit Tsc_form(QWidget* Parent);
    virtual void FormCreate();
    virtual std::unique_ptr<Tconfig_form> CreateConfigForm();
    virtual TEdition SettingsEdition() const;
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    void FormShow();
    void FormDestroy();
    void mainpanelResize();
    // A row became selected: fill the players and rules panes with its server.
    void serverviewSelectItem(int Row);
    void ApplyTray();
    void LoadFavorites();
    bool IsFavorite(const TCustomServer& Server) const;

private:
    void BuildTopPanel();
    void BuildMainPanel();
    void BuildStatusBar();
    void BuildActions();
    void BuildPortal();
    void ShowBanner(const TBannerImage& Picture);
    void HideBanner();
    void bannerFrameTimer();
    QToolButton* GlyphButton(const char* Name, const QString& Tip);
    bool Shown = false;
    bool Destroyed = false;
    std::unique_ptr<QByteArray> BannerStream, TickerStream; // documents being received
    TBannerImage BannerPicture;
    int BannerFrame = 0;
    QTimer* BannerFrameTimer;
};

extern Tsc_form* sc_form;
