#include "ui/app/program.h"

#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"

TProgramWindows::TProgramWindows() {
    Main = Tsc_form::Create<Tscmorrow_form>();
    Splash = Tsplash_form::Create<Tmorrowsplash_form>(Main->Settings->Colors);
    // Owned by the main window until they dock into its tabbed area, then by that.
    new TChatModule(Main.get());
    for (QWidget* Window : std::initializer_list<QWidget*>{
             new Tchat_form(Main.get()), new Tchannellist_form(Main.get()),
             new Tinfo_form(Main.get()), new Tmotd_form(Main.get())})
        Window->hide();
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

TProgramWindows::~TProgramWindows() {
    Tips.reset();
    Splash.reset();
    Main.reset();
}
