// Answers the next message box a window opens, as a user would, and keeps its text.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

struct TBoxAnswer {
    QString Text;
    int Seen = 0;
    explicit TBoxAnswer(QMessageBox::StandardButton Button) {
        auto* Timer = new QTimer(qApp);
        QObject::connect(Timer, &QTimer::timeout, [this, Timer, Button] {
            if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Text = Box->text();
                ++Seen;
                Box->button(Button)->click();
                Timer->deleteLater();
            }
        });
        Timer->start(10);
    }
};
