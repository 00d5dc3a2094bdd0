#include "ui/app/program.h"

#include "config/settings.h"
#include "config/settingsstore.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/config/morrowconfig_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"
#include "ui/widgets/dockarea.h"

#include <QToolButton>

TProgramWindows::TProgramWindows() {
    Settings = std::make_unique<TSettings>(TEdition::Morrow());
    Config = Tconfig_form::Create<Tmorrowconfig_form>(*Settings);
    Config->CheckGameFolder();
    CreateBrowser();
    Splash = Tsplash_form::Create<Tmorrowsplash_form>(Settings->Colors);
    // Owned by the main window until they dock into its tabbed area, then by that.
    new TChatModule(Main.get());
    for (QWidget* Window : std::initializer_list<QWidget*>{new Tchat_form(Main.get()),
                                                           new Tchannellist_form(Main.get()),
                                                           new Tmotd_form(Main.get())})
        Window->hide();
    News = MakeNews(*Main);
    QObject::connect(News, &QObject::destroyed, [this] { News = nullptr; });
    if (channellist_form && chat_module) {
        TIRCClient* Engine = chat_module->IRCClient1.get();
        channellist_form->OnRefresh = [Engine] { Engine->List(); };
        channellist_form->OnJoin = [Engine](const QByteArray& Channel) {
            Engine->Join(Channel, {});
        };
    }
    WireMainWindow();
    Main->ApplySkin(true);
    Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
}

// ---- News ------------------------------------------------------------------------------------

// Each main-window event is chained: other windows may have taken it first.
Tmotd_form* TProgramWindows::MakeNews(Tsc_form& Main) {
    const QPointer<Tmotd_form> News = new Tmotd_form(*Main.Settings, Main.pages, &Main);
    News->hide();
    // Reading the news is not reading the chat.
    News->OnActivated = [](Tmotd_form*) {
        if (chat_module) chat_module->SetChatActive(false);
    };
    // What the dialog shows counts as typed, as at any end of the program.
    News->Session->OnUpdaterStarting = [&Main](TMotdSession*) {
        Main.SaveFavorites();
        if (Main.config) Main.config->SaveSettings();
    };
    // Docked last: a new message shows in front at the start.
    Main.OnDockWindows = [News, Before = std::move(Main.OnDockWindows)](TDockArea* Pages) {
        if (Before) Before(Pages);
        if (News) Pages->Dock(News);
    };
    Main.OnSkinApplied = [News, &Main, Before = std::move(Main.OnSkinApplied)] {
        if (Before) Before();
        if (News) News->ApplyColors(Main.Settings->Colors);
    };
    // The minutes of use go out while the main window's counters are still there.
    Main.OnClosing = [News, &Main, Before = std::move(Main.OnClosing)] {
        if (Before) Before();
        if (!News) return;
        News->Session->SendUsageReport(Main.StartTick, Main.ActiveTime, Main.RestoreTick);
        delete News.data();
    };
    return News;
}

TProgramWindows::~TProgramWindows() {
    Tips.reset();
    Splash.reset();
    Main.reset();
    Config.reset();
    Settings.reset();
}

// ---- the browser ----------------------------------------------------------------------------

void TProgramWindows::CreateBrowser() {
    Main = Tsc_form::Create<Tscmorrow_form>(*Settings);
    sc_form = Main.get();
    Main->OnConfigure = [this] { Config->exec(); };
    Main->OnHelp = [this] {
        if (!Tips) return;
        Tips->show();
        Tips->raise();
    };
    // These switches act when clicked, before OK; closing the dialog keeps or restores them.
    Config->OnTaskbarChanged = [this](bool On) {
        Settings->SetFlag(TField::UseTaskbar, On);
        Main->ApplyTray();
    };
    Config->OnBannersDisabled = [this](bool Off) {
        Settings->SetFlag(TField::DisableBanners, Off);
        Main->BannersDisabled(Off);
    };
    Config->OnSkinChanged = [this] { Main->ApplySkin(true); };
    Info = new Tinfo_form(Main.get());
    Info->hide();
    Main->OnServerSelected = [this](const TServerRef& Server) { Info->ShowServer(Server); };
    Main->OnPlayerCaptions = [this](const QStringList& Captions) {
        Info->SetPlayerCaptions(Captions);
    };
}

// ---- what the main window asks of the other windows -----------------------------------------

void TProgramWindows::WireMainWindow() {
    Main->OnDockWindows = [this](TDockArea* Pages) {
        if (chat_module && chat_form) {
            chat_module->DockSite = Pages;
            chat_module->RegisterChatWindow(chat_form);
            TDockWindow* Dock = Pages->Dock(chat_form);
            // Closing the chat window leaves its channel and docks it back.
            Dock->OnCloseQuery = [Dock] {
                chat_form->leavechan_butt->click();
                if (Dock->isFloating()) Dock->setFloating(false);
                return false;
            };
        }
        Pages->Dock(Info);
        if (motd_form) Pages->Dock(motd_form);
        // Looking at the players or the news is not looking at the chat.
        Pages->OnWindowActivated = [this](QWidget* Window) {
            if (auto* Chat = qobject_cast<Tchat_form*>(Window))
                Chat->Activated();
            else if (chat_module && (Window == Info || Window == motd_form))
                chat_module->SetChatActive(false);
        };
    };
    Main->OnStarted = [this] {
        if (chat_form) chat_form->chanlock_butt->setChecked(false);
        if (chat_module && Settings->Flag(TField::ChatConnect)) chat_module->ConnectChat();
    };
    Main->OnSkinApplied = [this] {
        Config->ApplyColors();
        Info->ApplyColors(Settings->Colors);
        if (chat_module) chat_module->ApplyChatSkin();
        if (motd_form) motd_form->ApplyColors(Settings->Colors);
    };
    // The news window reports the minutes of use while the main window's counters are here.
    // The window is being deleted, so Main no longer holds it.
    Main->OnClosing = [Window = Main.get()] {
        if (motd_form && Window->isAncestorOf(motd_form)) delete motd_form;
        if (sc_form == Window) sc_form = nullptr;
    };
}
