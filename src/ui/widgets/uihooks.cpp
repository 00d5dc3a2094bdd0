#include "ui/widgets/uihooks.h"

#include "net/netutils.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>

void InstallUIHooks() {
    // One look on every desktop: the skins recolour Fusion's palette-driven drawing.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    SetOpenURLFailureHandler([](const QString& Message) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"), Message, QMessageBox::Ok);
    });
}
