// The tabbed area at the bottom of the browser. Windows dock into it as tabs, can be torn out
// to float, and a floating window asked to close docks back instead of going away.
#pragma once

#include <QDockWidget>
#include <QMainWindow>
#include <functional>

class TDockWindow : public QDockWidget {
    Q_OBJECT
public:
    TDockWindow(QWidget* Window, QWidget* Parent);
    QWidget* Window() const { return widget(); }
    // When set, a close request is the window's to answer (a chat window leaves its channel);
    // otherwise closing a floating window docks it back.
    std::function<bool()> OnCloseQuery;

protected:
    void closeEvent(QCloseEvent* Event) override;
};

class TDockArea : public QMainWindow {
    Q_OBJECT
public:
    explicit TDockArea(QWidget* Parent = nullptr);

    // Adds Window as the last tab and brings it forward; a window docked before comes back.
    TDockWindow* Dock(QWidget* Window);
    void Undock(QWidget* Window);
    TDockWindow* DockOf(const QWidget* Window) const;
    QList<TDockWindow*> Docks() const;
    // The window whose tab is in front, if any.
    QWidget* ActiveWindow() const;
    void Activate(QWidget* Window);

    // A window's tab came to the front (the chat module follows what is being looked at).
    std::function<void(QWidget* Window)> OnWindowActivated;

private:
    QList<TDockWindow*> Order;
};
