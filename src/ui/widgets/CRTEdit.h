// The chat's input line, which remembers what was typed (Up and Down walk back through it), and
// the combo box the chat windows name beside it.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <functional>

class TCRTEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TCRTEdit(QWidget* Parent = nullptr);

    static constexpr int MaxHistory = 200;

    // Entry 0 is the empty line below the newest; entry 1 the newest line, then older ones.
    QStringList Histroy;
    int HistoryIndex = 0;
    // Enter was pressed; the line is still in the field and is cleared afterwards.
    std::function<void(TCRTEdit* Sender)> OnEnterKey;
    // Nothing further to recall; QApplication::beep when empty.
    std::function<void(TCRTEdit* Sender)> OnBeep;

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void Recall();
    void Beep();
};

// Adds nothing to QComboBox; it is here so the forms can name it.
class TCRTComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
};
