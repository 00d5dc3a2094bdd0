#include "ui/widgets/CRTEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

TCRTEdit::TCRTEdit(QWidget* Parent) : QLineEdit(Parent), Histroy{QString()} {}

void TCRTEdit::keyPressEvent(QKeyEvent* Event) {
    switch (Event->key()) {
    case Qt::Key_Down:
        if (HistoryIndex > 0) --HistoryIndex;
        if (HistoryIndex < Histroy.size())
            Recall();
        else
            Beep();
        end(false);
        break;
    case Qt::Key_Up:
        if (HistoryIndex < Histroy.size() - 1) {
            ++HistoryIndex;
            Recall();
        } else {
            Beep();
        }
        end(false);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        // Every line is kept, even an empty or repeated one, so Up steps back line by line.
        if (Histroy.isEmpty()) Histroy << QString();
        if (Histroy.size() > MaxHistory) Histroy.removeLast();
        Histroy.insert(1, text());
        HistoryIndex = 0;
        // The handler may close the window and free this edit with it.
        const QPointer<TCRTEdit> Self(this);
        if (OnEnterKey) {
            const auto Handler = OnEnterKey;
            Handler(this);
        }
        if (Self) clear();
        break;
    }
    default:
        QLineEdit::keyPressEvent(Event);
        return;
    }
    Event->accept();
}

void TCRTEdit::Recall() {
    setText(Histroy.at(HistoryIndex));
}

void TCRTEdit::Beep() {
    if (OnBeep)
        OnBeep(this);
    else
        QApplication::beep();
}
