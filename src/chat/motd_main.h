// "News": the message of the day.
#pragma once

#include <QWidget>

class QTextBrowser;
struct TSkinColors;

class Tmotd_form : public QWidget {
    Q_OBJECT
public:
    explicit Tmotd_form(QWidget* Parent = nullptr);
    ~Tmotd_form() override;

    void ApplyColors(const TSkinColors& Colors);

    QTextBrowser* motdview;
};

extern Tmotd_form* motd_form;
