// Answers the next message box a window opens, as a user would, and keeps its text.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
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

// Answers the next file dialog with Path, typed into its name field as a user would.
struct TFileAnswer {
    int Seen = 0;
    explicit TFileAnswer(const QString& Path) {
        auto* Timer = new QTimer(qApp);
        QObject::connect(Timer, &QTimer::timeout, [this, Timer, Path] {
            auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* Name = Dialog ? Dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
            if (!Name) return;
            ++Seen;
            Name->setText(Path);
            QMetaObject::invokeMethod(Dialog, "accept"); // a slot, protected to callers
            Timer->deleteLater();
        });
        Timer->start(10);
    }
};
