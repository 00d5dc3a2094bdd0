// The program's windows, made in the order the program starts them: the main window (which
// makes the configuration dialog first of all), the splash, the chat module with the chat,
// channel list, info and news windows, then the tips window.
#pragma once

#include <memory>

class Tmotd_form;
class Tsc_form;
class Tscmorrow_form;
class Tsplash_form;
class Ttip_form;

struct TProgramWindows {
    TProgramWindows();
    ~TProgramWindows();
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;

    std::unique_ptr<Tscmorrow_form> Main;
    std::unique_ptr<Tsplash_form> Splash;
    std::unique_ptr<Ttip_form> Tips;
    Tmotd_form* News = nullptr; // docked into the main window, which owns it

    // The News window for Main, wired into its events as the program does it; it goes when
    // Main ends, after the usage report.
    static Tmotd_form* MakeNews(Tsc_form& Main);
};
