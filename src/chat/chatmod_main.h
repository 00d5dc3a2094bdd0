// The chat module: owns the IRC engine and routes its events to the chat windows.
#pragma once

#include <QList>
#include <QObject>

class TDockArea;
class Tchat_form;

class TChatModule : public QObject {
    Q_OBJECT
public:
    explicit TChatModule(QObject* Parent = nullptr);
    ~TChatModule() override;

    void RegisterChatWindow(Tchat_form* Window);
    void ConnectChat();
    void SetChatActive(bool Active);
    void ApplyChatSkin();

    TDockArea* DockSite = nullptr;
    QList<Tchat_form*> ChatWindows;
    bool ChatActive = false;
};

extern TChatModule* chat_module;
