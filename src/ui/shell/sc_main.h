// The browser's main window: banner strip, left panel with the toolbar and link buttons, the
// server list, the tabbed area for the chat, players/rules and news windows, and the status bar
// with the progress gauge and the news ticker. The edition window derives from it.
#pragma once

#include "config/gamelauncher.h"
#include "masterlist/customserverlist.h"
#include "portal/banner.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

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
class TBrowser;
class TBuddies;
class TFavoritesWatch;
class TSlotWatch;
class TBannerFetcher;
class TDockArea;
class TFilterBar;
class THttpClient;
class TNewsTicker;
class TServerView;
class TTickerFetcher;
class TSettings;

class Tsc_form : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs its creation. Settings outlive the window.
    template <class T = Tsc_form>
    static std::unique_ptr<T> Create(TSettings& Settings, QWidget* Parent = nullptr) {
        std::unique_ptr<T> Form(new T(Settings, Parent));
        Form->FormCreate();
        return Form;
    }
    ~Tsc_form() override;

    virtual void ApplySkin(bool All);
    virtual void SetupColumns();
    virtual void ListUpdatesComplete();
    virtual void UpdateActionStates();

    void ApplyLinkButtons();
    void ApplyTray();
    // The dialog's banner switch: off hides the banner at once.
    void BannersDisabled(bool Off);
    void ServerUpdated(const TServerRef& Server);
    void ListStatus(int Percent, const QString& Text);
    void ShowStatus(const QString& Text);
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
    void SaveFavorites();
    // The filter bar: shown, it narrows the list to what it asks for; hidden, it hides nothing.
    void ShowFilterExecute();
    void filterbarChange();

    // Banners and the news ticker: the core's fetch loops, and the timers and clients they run
    // (named as the controls they replace).
    void bannerimgClick();
    void newstickerClick();
    TBannerFetcher* BannerFetcher = nullptr;
    TTickerFetcher* TickerFetcher = nullptr;

    // Buddies, the favourites watch and joining when a slot frees (sc_buddies.cpp).
    void ApplyBuddies();
    void JoinWhenFreeExecute();
    std::unique_ptr<TBuddies> Buddies;
    std::unique_ptr<TFavoritesWatch> FavoritesWatch;
    std::unique_ptr<TSlotWatch> SlotWatch;
    QAction* JoinWhenFree = nullptr;
    QToolButton* slotcancel = nullptr;

    // Selected rows that carry records, in view order.
    QList<TServerRef> SelectedServers() const;

    // Events, set by the program. The players pane follows the selection and the columns.
    std::function<void()> OnConfigure;
    std::function<void()> OnHelp;
    std::function<void(TDockArea* Pages)> OnDockWindows; // the tabbed windows dock now
    std::function<void()> OnStarted;                     // first shown, docked and ready
    std::function<void()> OnSkinApplied;                 // ApplySkin(true) is done here
    std::function<void()> OnClosing;                     // the window is going away
    std::function<void(const TServerRef& Server)> OnServerSelected;
    std::function<void(const QStringList& Captions)> OnPlayerCaptions;

    // State
    TSettings& Settings;
    std::unique_ptr<TBrowser> Browser;
    TGameLauncher Launcher;
    int FindPosition = -1;
    qint64 StartTick = 0;
    qint64 ActiveTime = 0;
    qint64 RestoreTick = 0;

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
    TFilterBar* filterbar;
    QLabel* filtercount; // "Showing N of M servers" while the filter hides some
    QToolButton* filter_butt;
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
    QAction* ShowFilter;
    QDialog* FindDialog1 = nullptr;
    QLineEdit* FindText = nullptr;
    QRadioButton* FindDown = nullptr;

protected:
    Tsc_form(TSettings& Settings, QWidget* Parent);
    virtual void FormCreate();
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    void FormShow();
    void FormDestroy();
    void mainpanelResize();
    // A row became selected: its server goes to the players and rules panes.
    void serverviewSelectItem(int Row);
    void UpdateButtons();

private:
    void BuildTopPanel();
    void BuildMainPanel();
    void BuildStatusBar();
    void BuildActions();
    void BuildPortal();
    void ConnectBrowser();
    void BuildBuddies();
    void ShowBuddiesFound();
    void WatchedFavorite(const TServerRef& Server);
    bool OfferJoinWhenFree(const TServerRef& Server);
    void Notify(const QString& Title, const QString& Text);
    void BuildPortalFetchers();
    void ShowBanner(const TBannerImage& Picture);
    void HideBanner();
    void bannerFrameTimer();
    void BuildFilter();
    void UpdateFilterCount();
    QToolButton* GlyphButton(const char* Name, const QString& Tip);
    bool Shown = false;
    bool Destroyed = false;
    TBannerImage BannerPicture;
    int BannerFrame = 0;
    QTimer* BannerFrameTimer;
};
