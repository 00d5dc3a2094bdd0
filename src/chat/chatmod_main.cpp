#include "chat/chatmod_main.h"

#include "chat/chat_main.h"
#include "config/config_main.h"

TChatModule* chat_module = nullptr;

TChatModule::TChatModule(QObject* Parent) : QObject(Parent) {
    chat_module = this;
}

TChatModule::~TChatModule() {
    if (chat_module == this) chat_module = nullptr;
}

void TChatModule::RegisterChatWindow(Tchat_form* Window) {
    if (!ChatWindows.contains(Window)) ChatWindows.append(Window);
}

void TChatModule::ConnectChat() {
    if (!config_form || config_form->ChatServer.isEmpty()) {
        for (Tchat_form* W : ChatWindows)
            W->AddSystemLine(
                "No chat server is set: enter one on the Chat tab of the configuration");
        return;
    }
}

void TChatModule::SetChatActive(bool Active) {
    ChatActive = Active;
}

void TChatModule::ApplyChatSkin() {
    if (!config_form) return;
    for (Tchat_form* W : ChatWindows)
        W->ApplyColors(config_form->Colors);
}
