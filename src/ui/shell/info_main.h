// "Players / Rules": the players and rules of the server selected in the browser.
#pragma once

#include "masterlist/customserverlist.h"
#include "servers/serverfilter.h"

#include <QWidget>

class QSplitter;
class QTreeWidget;
struct TSkinColors;

class Tinfo_form : public QWidget {
    Q_OBJECT
public:
    explicit Tinfo_form(QWidget* Parent = nullptr);

    void ApplyColors(const TSkinColors& Colors);
    // The browser sets the player columns from the server class's player class.
    void SetPlayerCaptions(const QStringList& Captions);
    // Fills both lists with the server's players and rules; a record that is no game server
    // leaves them as they are. Players whose names hold Search's text come first, highlighted.
    void ShowServer(const TServerRef& Server, const TServerFilter& Search = {});
    static inline const QColor MatchColor{0xFF, 0xE8, 0x80};

    QTreeWidget* playerview;
    QSplitter* Splitter1;
    QTreeWidget* ruleview;
};
