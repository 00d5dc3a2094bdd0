#include "ui/app/program.h"

#include "config/settings.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"
#include "ui/widgets/dockarea.h"

TProgramWindows::TProgramWindows() {
    Main = Tsc_form::Create<Tscmorrow_form>();
    Splash = Tsplash_form::Create<Tmorrowsplash_form>(Main->Settings->Colors);
    // Owned by the main window until they dock into its tabbed area, then by that.
    OpenChat();
    auto* Info = new Tinfo_form(Main.get());
    auto* News = new Tmotd_form(Main.get());
    Info->hide();
    News->hide();
    News->OnWindowActivate = [this] {
        if (ChatModule) ChatModule->SetChatActive(false);
    };
    Main->ApplySkin(true);
    Tips = Ttip_form::Create<Tmorrowtip_form>(*Main->Settings);
    Main->OnHelp = [this] {
        Tips->show();
        Tips->raise();
    };
}

// The chat docks first into the main window's tabbed area, takes the skin with the other
// windows and connects once the main window is up.
void TProgramWindows::OpenChat() {
    Chat = new Tchat_form(Main.get());
    ChannelList = new Tchannellist_form(Main.get());
    Chat->hide();
    ChannelList->hide();
    ChatModule = new TChatModule(*Main->Settings, Chat, ChannelList, Main.get());
    Main->OnDockWindows = [this, Next = Main->OnDockWindows](TDockArea* Pages) {
        ChatModule->Dock(Pages);
        if (Next) Next(Pages);
    };
    Main->OnStarted = [this, Next = Main->OnStarted] {
        if (Next) Next();
        ChatModule->Start();
    };
    Main->OnSkinApplied = [this, Next = Main->OnSkinApplied] {
        if (Next) Next();
        ChatModule->ApplyChatSkin();
    };
}

TProgramWindows::~TProgramWindows() {
    // The chat says goodbye to its server while the settings it quits with still exist.
    delete ChatModule;
    ChatModule = nullptr;
    Tips.reset();
    Splash.reset();
    Main.reset();
}
