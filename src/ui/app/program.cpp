#include "ui/app/program.h"

#include "portal/motdsession.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/config/config_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"
#include "ui/widgets/dockarea.h"

#include <QPointer>

TProgramWindows::TProgramWindows() {
    Main = Tsc_form::Create<Tscmorrow_form>();
    Splash = Tsplash_form::Create<Tmorrowsplash_form>(Main->Settings->Colors);
    // Owned by the main window until they dock into its tabbed area, then by that.
    new TChatModule(Main.get());
    for (QWidget* Window : std::initializer_list<QWidget*>{new Tchat_form(Main.get()),
                                                           new Tchannellist_form(Main.get()),
                                                           new Tinfo_form(Main.get())})
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
    Main->ApplySkin(true);
    Tips = Ttip_form::Create<Tmorrowtip_form>(*Main->Settings);
    Main->OnHelp = [this] {
        Tips->show();
        Tips->raise();
    };
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
}
