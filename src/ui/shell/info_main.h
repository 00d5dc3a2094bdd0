// "Players / Rules": the players and rules of the server selected in the browser.
#pragma once

#include <QWidget>

class QSplitter;
class QTreeWidget;
struct TSkinColors;

class Tinfo_form : public QWidget {
    Q_OBJECT
public:
    explicit Tinfo_form(QWidget* Parent = nullptr);
    ~Tinfo_form() override;

    void ApplyColors(const TSkinColors& Colors);
    // The browser sets the player columns from the server class's player class.
    void SetPlayerCaptions(const QStringList& Captions);

    QTreeWidget* playerview;
    QSplitter* Splitter1;
    QTreeWidget* ruleview;
};

extern Tinfo_form* info_form;
