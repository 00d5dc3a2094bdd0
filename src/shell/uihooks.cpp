#include "shell/uihooks.h"

#include "net/netutils.h"

#include <QMessageBox>

void InstallUIHooks() {
    SetOpenURLFailureHandler([](const QString& Message) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"), Message, QMessageBox::Ok);
    });
}
