#include "ui/app/program.h"

#include "config/settings.h"
#include "net/closesignals.h"
#include "portal/motdsession.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/config/morrowconfig_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/serverview.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"
#include "ui/widgets/dockarea.h"

#include <QCoreApplication>

TProgramWindows::TProgramWindows() {
    Settings = std::make_unique<TSettings>(TEdition::Morrow());
    Config = Tconfig_form::Create<Tmorrowconfig_form>(*Settings);
    Config->CheckGameFolder();
    CreateBrowser();
    Splash = Tsplash_form::Create<Tmorrowsplash_form>(Settings->Colors);
    CreateChat();
    CreateNews();
    WireMainWindow();
    Main->ApplySkin(true);
    Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
}

TProgramWindows::~TProgramWindows() {
    Signals.reset();
    // The chat says goodbye to its server while the settings it quits with still exist.
    delete ChatModule;
    ChatModule = nullptr;
    Tips.reset();
    Splash.reset();
    Main.reset();
    Config.reset();
    Settings.reset();
}

void TProgramWindows::CloseOnSignals() {
    Signals = std::make_unique<TCloseSignals>();
    Signals->OnSignal = [this](TCloseSignals*, int) {
        // The window closes as the user closes it; the rest of the ending is the usual one,
        // when the event loop returns, even with a question or a dialog still open.
        if (Main) Main->close();
        QCoreApplication::quit();
    };
}

void TProgramWindows::CreateBrowser() {
    Main = Tsc_form::Create<Tscmorrow_form>(*Settings);
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
    Main->OnServerSelected = [this](const TServerRef& Server) {
        Info->ShowServer(Server, Main->serverview->ListModel()->Filter());
    };
    Main->OnPlayerCaptions = [this](const QStringList& Captions) {
        Info->SetPlayerCaptions(Captions);
    };
}

void TProgramWindows::CreateChat() {
    Chat = new Tchat_form(Main.get());
    ChannelList = new Tchannellist_form(Main.get());
    Chat->hide();
    ChannelList->hide();
    ChatModule = new TChatModule(*Settings, Chat, ChannelList, Main.get());
}

void TProgramWindows::CreateNews() {
    News = new Tmotd_form(*Settings, Main->pages, Main.get());
    News->hide();
    QObject::connect(News, &QObject::destroyed, [this] { News = nullptr; });
    // Reading the news is not reading the chat.
    News->OnActivated = [this](Tmotd_form*) {
        if (ChatModule) ChatModule->SetChatActive(false);
    };
    // The updater may replace this program: what would be kept at its end is kept now.
    News->Session->OnUpdaterStarting = [this](TMotdSession*) {
        Main->SaveFavorites();
        Settings->Save();
    };
}

void TProgramWindows::WireMainWindow() {
    // Chat first, news last: a new message shows in front at the start. Docking the chat
    // also tells it which docked window is being looked at.
    Main->OnDockWindows = [this](TDockArea* Pages) {
        ChatModule->Dock(Pages);
        Pages->Dock(Info);
        if (News) Pages->Dock(News);
    };
    Main->OnStarted = [this] { ChatModule->Start(); };
    Main->OnSkinApplied = [this] {
        Config->ApplyColors();
        Info->ApplyColors(Settings->Colors);
        ChatModule->ApplyChatSkin();
        if (News) News->ApplyColors(Settings->Colors);
    };
    // The minutes of use go out while the main window's counters are still there; Main no
    // longer holds the window being deleted.
    Main->OnClosing = [this, Window = Main.get()] {
        if (!News) return;
        News->Session->SendUsageReport(Window->StartTick, Window->ActiveTime, Window->RestoreTick);
        delete News;
    };
}
