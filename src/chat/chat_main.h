// A chat window: one per channel, docked in the browser's tabbed area.
#pragma once

#include <QWidget>

class QTextBrowser;
class QToolButton;
class TCRTEdit;
struct TSkinColors;

class Tchat_form : public QWidget {
    Q_OBJECT
public:
    explicit Tchat_form(QWidget* Parent = nullptr);
    ~Tchat_form() override;

    void AddSystemLine(const QString& Text);
    void ApplyColors(const TSkinColors& Colors);

    QTextBrowser* chatview;
    TCRTEdit* mainline;
    QToolButton* chanlock_butt;
};

extern Tchat_form* chat_form;
