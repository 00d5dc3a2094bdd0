// The program's windows, made in the order the program starts them: the main window (which
// makes the configuration dialog first of all), the splash, the chat module with the chat,
// channel list, info and news windows, then the tips window.
#pragma once

#include <memory>

class TChatModule;
class Tchannellist_form;
class Tchat_form;
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

    // The chat: its module, first window and channel list live with the main window.
    TChatModule* ChatModule = nullptr;
    Tchat_form* Chat = nullptr;
    Tchannellist_form* ChannelList = nullptr;
    void OpenChat();
};
