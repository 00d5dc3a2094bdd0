#include "ui/widgets/dockarea.h"

#include "net/WSockets.h"

#include <QCloseEvent>
#include <QTabBar>

TDockWindow::TDockWindow(QWidget* Window, QWidget* Parent)
    : QDockWidget(Window->windowTitle(), Parent) {
    setObjectName(Window->objectName() + "_dock");
    setWidget(Window);
    setFeatures(DockWidgetMovable | DockWidgetFloatable | DockWidgetClosable);
    setAllowedAreas(Qt::BottomDockWidgetArea);
    // The tab follows the window's caption (a chat window shows its channel).
    connect(Window, &QWidget::windowTitleChanged, this, &QDockWidget::setWindowTitle);
}

void TDockWindow::closeEvent(QCloseEvent* Event) {
    if (OnCloseQuery) {
        if (!OnCloseQuery()) Event->ignore();
        return;
    }
    Event->ignore();
    if (isFloating()) setFloating(false);
}

TDockArea::TDockArea(QWidget* Parent) : QMainWindow(Parent) {
    setObjectName("pages");
    setWindowFlags(Qt::Widget);
    setDockOptions(AllowTabbedDocks | AnimatedDocks);
    setTabPosition(Qt::BottomDockWidgetArea, QTabWidget::North);
    setDocumentMode(true);
}

TDockWindow* TDockArea::Dock(QWidget* Window) {
    TDockWindow* D = DockOf(Window);
    if (!D) {
        D = new TDockWindow(Window, this);
        connect(D, &QDockWidget::visibilityChanged, this, [this, D](bool Visible) {
            if (Visible && !D->isFloating()) FireEvent(OnWindowActivated, D->Window());
        });
    }
    Order.removeAll(D);
    addDockWidget(Qt::BottomDockWidgetArea, D);
    if (!Order.isEmpty()) tabifyDockWidget(Order.last(), D);
    Order.append(D);
    D->setFloating(false);
    D->show();
    // The window docked last is the active tab.
    D->raise();
    return D;
}

void TDockArea::Undock(QWidget* Window) {
    if (TDockWindow* D = DockOf(Window)) {
        Order.removeAll(D);
        removeDockWidget(D);
        D->setWidget(nullptr);
        Window->setParent(nullptr);
        D->deleteLater();
    }
}

TDockWindow* TDockArea::DockOf(const QWidget* Window) const {
    for (TDockWindow* D : Order)
        if (D->Window() == Window) return D;
    return nullptr;
}

QList<TDockWindow*> TDockArea::Docks() const {
    return Order;
}

QWidget* TDockArea::ActiveWindow() const {
    for (TDockWindow* D : Order)
        if (!D->isFloating() && !D->visibleRegion().isEmpty()) return D->Window();
    return nullptr;
}

void TDockArea::Activate(QWidget* Window) {
    if (TDockWindow* D = DockOf(Window)) D->raise();
}
