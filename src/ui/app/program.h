// The program's windows, made in the order the program starts them: the settings and the
// configuration dialog first of all, the main window, the splash, the chat module with the
// chat and channel list windows, the players/rules and news windows, then the tips window.
// This is the one place that knows every window: each gets what it works with from here.
#pragma once

#include <memory>

class TChatModule;
class TCloseSignals;
class TSettings;
class Tchannellist_form;
class Tchat_form;
class Tconfig_form;
class Tinfo_form;
class Tmotd_form;
class Tscmorrow_form;
class Tsplash_form;
class Ttip_form;

struct TProgramWindows {
    TProgramWindows();
    ~TProgramWindows();
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;

    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<Tconfig_form> Config;
    std::unique_ptr<Tscmorrow_form> Main;
    std::unique_ptr<Tsplash_form> Splash;
    std::unique_ptr<Ttip_form> Tips;

    // Owned by the main window, docked in its tabbed area or not.
    TChatModule* ChatModule = nullptr;
    Tchat_form* Chat = nullptr;
    Tchannellist_form* ChannelList = nullptr;
    Tinfo_form* Info = nullptr;
    Tmotd_form* News = nullptr; // gone after the usage report at the end

    // SIGTERM, SIGINT and SIGHUP close the program as closing its window does: settings,
    // favourites and list layout saved, the chat quit, the usage report sent.
    void CloseOnSignals();
    std::unique_ptr<TCloseSignals> Signals;

private:
    void CreateBrowser();
    void CreateChat();
    void CreateNews();
    void WireMainWindow();
};
