// The program's windows, made in the order the program starts them: the settings and the
// configuration dialog first of all, the main window, the splash, the chat module with the
// chat, channel list, players/rules and news windows, then the tips window. Each window gets
// what it works with from here.
#pragma once

#include <memory>

class TSettings;
class Tconfig_form;
class Tinfo_form;
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

    // The browser's players/rules pane; the main window owns it, docked or not.
    Tinfo_form* Info = nullptr;

private:
    void CreateBrowser();
    void WireMainWindow();
};
