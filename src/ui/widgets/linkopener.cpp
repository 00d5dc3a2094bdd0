#include "ui/widgets/linkopener.h"

#include "config/links.h"
#include "net/netutils.h"

#include <QCursor>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>
#include <QToolTip>

void OpenLink(const QByteArray& Address, const TLinkRefused& Refused) {
    const QString Why = LinkRefusal(Address);
    if (Why.isEmpty())
        OpenURL(Address);
    else if (Refused)
        Refused(Why);
}

TLinkRefused StatusBarReport(QWidget* Near) {
    return [Near = QPointer<QWidget>(Near)](const QString& Why) {
        if (!Near) return;
        // The top window: the docking area inside the main window is a main window too.
        if (auto* Main = qobject_cast<QMainWindow*>(Near->window())) {
            Main->statusBar()->showMessage(Why, 15000);
            return;
        }
        QToolTip::showText(QCursor::pos(), Why, Near);
    };
}
