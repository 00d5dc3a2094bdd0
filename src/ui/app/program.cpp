#include "ui/app/program.h"

#include "portal/motdsession.h"
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
    Splash = Tsplash_form::Create<Tmorrowsplash_form>();
    // Owned by the main window until they dock into its tabbed area, then by that.
    new TChatModule(Main.get());
    for (QWidget* Window : std::initializer_list<QWidget*>{new Tchat_form(Main.get()),
                                                           new Tchannellist_form(Main.get()),
                                                           new Tinfo_form(Main.get())})
        Window->hide();
    ConnectNews();
    if (channellist_form && chat_module) {
        TIRCClient* Engine = chat_module->IRCClient1.get();
        channellist_form->OnRefresh = [Engine] { Engine->List(); };
        channellist_form->OnJoin = [Engine](const QByteArray& Channel) {
            Engine->Join(Channel, {});
        };
    }
    Main->ApplySkin(true);
    Tips = Ttip_form::Create<Tmorrowtip_form>();
}

// ---- News ------------------------------------------------------------------------------------

// Each main-window event is chained: other windows may have taken it first.
void TProgramWindows::ConnectNews() {
    News = new Tmotd_form(*Settings, Main->pages, Main.get());
    News->hide();
    // Reading the news is not reading the chat.
    News->OnActivated = [](Tmotd_form*) {
        if (chat_module) chat_module->SetChatActive(false);
    };
    News->Session->OnUpdaterStarting = [this](TMotdSession*) { Main->SaveFavorites(); };
    // Docked last: a new message shows in front at the start.
    Main->OnDockWindows = [this, Before = std::move(Main->OnDockWindows)](TDockArea* Pages) {
        if (Before) Before(Pages);
        if (News) Pages->Dock(News);
    };
    Main->OnSkinApplied = [this, Before = std::move(Main->OnSkinApplied)] {
        if (Before) Before();
        if (News) News->ApplyColors(Settings->Colors);
    };
    // The minutes of use go out while the main window's counters are still there.
    Main->OnClosing = [this, Before = std::move(Main->OnClosing)] {
        if (Before) Before();
        if (!News) return;
        News->Session->SendUsageReport(Main->StartTick, Main->ActiveTime, Main->RestoreTick);
        delete News;
        News = nullptr;
    };
}

TProgramWindows::~TProgramWindows() {
    Tips.reset();
    Splash.reset();
    Main.reset();
}
