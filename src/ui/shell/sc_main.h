// The browser's main window: banner strip, left panel with the toolbar and link buttons, the
// server list, the tabbed area for the chat, players/rules and news windows, and the status bar
// with the progress gauge and the news ticker. The edition window derives from it.
#pragma once

#include "config/settings.h"
#include "masterlist/customserverlist.h"
#include "portal/banner.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
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
class TBannerFetcher;
class TDockArea;
class THttpClient;
class TNewsTicker;
class TServerView;
class TTickerFetcher;
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

    // Banners and the news ticker: the core's fetch loops, and the timers and clients they run
    // (named as the controls they replace).
    void bannerimgClick();
    void newstickerClick();
    TBannerFetcher* BannerFetcher = nullptr;
    TTickerFetcher* TickerFetcher = nullptr;

    // Docking the windows of the tabbed area at the first show; the skin applied to every
    // window; the window going at program end.
    std::function<void(TDockArea* Pages)> OnDockWindows;
    std::function<void()> OnSkinApplied;
    std::function<void()> OnClosing;

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
    bool Updating = false;
    bool UpdateExisting = false;
    std::unique_ptr<TCustomServerList> ServerList;
    QStringList Favorites; // kept sorted, case-insensitively
    std::optional<QList<TServerRef>> SavedServers;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<Tconfig_form> config;

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
    QTimer* bannertimer = nullptr;
    THttpClient* bannerclient = nullptr;
    QTimer* scrollertimer = nullptr;
    THttpClient* scrollerclient = nullptr;
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
    void BuildPortalFetchers();
    void ShowBanner(const TBannerImage& Picture);
    void HideBanner();
    void bannerFrameTimer();
    QToolButton* GlyphButton(const char* Name, const QString& Tip);
    bool Shown = false;
    bool Destroyed = false;
    TBannerImage BannerPicture;
    int BannerFrame = 0;
    QTimer* BannerFrameTimer;
};

extern Tsc_form* sc_form;
