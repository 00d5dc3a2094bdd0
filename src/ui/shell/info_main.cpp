#include "ui/shell/info_main.h"

#include "config/skins.h"
#include "net/netutils.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>

namespace {
QTreeWidget* ListView(const char* Name, QAbstractItemView::SelectionMode Selection) {
    auto* View = new QTreeWidget;
    View->setObjectName(Name);
    View->setRootIsDecorated(false);
    View->setUniformRowHeights(true);
    View->setSelectionMode(Selection);
    View->setSelectionBehavior(QAbstractItemView::SelectRows);
    View->setEditTriggers(QAbstractItemView::NoEditTriggers);
    View->setSortingEnabled(true);
    View->header()->setSortIndicatorShown(true);
    View->header()->setStretchLastSection(true);
    return View;
}

// A player the search names sorts ahead of the others, whichever way the column sorts.
class TPlayerItem : public QTreeWidgetItem {
public:
    TPlayerItem(const QStringList& Texts, bool Match) : QTreeWidgetItem(Texts), Match(Match) {
        if (!Match) return;
        QFont Bold = font(0);
        Bold.setBold(true);
        for (int C = 0; C < Texts.size(); ++C) {
            setBackground(C, Tinfo_form::MatchColor);
            setFont(C, Bold);
        }
    }
    bool operator<(const QTreeWidgetItem& Other) const override {
        const auto* Player = dynamic_cast<const TPlayerItem*>(&Other);
        if (Player && Player->Match != Match) {
            const QTreeWidget* View = treeWidget();
            const bool Ascending =
                !View || View->header()->sortIndicatorOrder() == Qt::AscendingOrder;
            return Ascending == Match;
        }
        return QTreeWidgetItem::operator<(Other);
    }
    const bool Match;
};

void Fill(QTreeWidget* View, const QList<QStringList>& Rows, const QList<bool>& Matches = {}) {
    View->setUpdatesEnabled(false);
    View->setSortingEnabled(false);
    View->clear();
    QList<QTreeWidgetItem*> Items;
    for (qsizetype I = 0; I < Rows.size(); ++I)
        Items << new TPlayerItem(Rows[I], I < Matches.size() && Matches[I]);
    View->addTopLevelItems(Items);
    View->setSortingEnabled(true);
    View->setUpdatesEnabled(true);
}
} // namespace

Tinfo_form::Tinfo_form(QWidget* Parent) : QWidget(Parent) {
    setObjectName("info_form");
    setWindowTitle("Players / Rules");
    playerview = ListView("playerview", QAbstractItemView::SingleSelection);
    playerview->setColumnCount(6);
    playerview->setHeaderLabels(QStringList(6, QString()));
    playerview->setColumnWidth(0, 250);
    for (int C = 1; C < 4; ++C)
        playerview->setColumnWidth(C, 75);
    ruleview = ListView("ruleview", QAbstractItemView::ExtendedSelection);
    ruleview->setHeaderLabels({"Rule", "Value"});
    ruleview->setColumnWidth(0, 150);
    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->addWidget(playerview);
    Splitter1->addWidget(ruleview);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({520, 280});
    auto* Layout = new QHBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(Splitter1);
    resize(319, 332);
}

void Tinfo_form::SetPlayerCaptions(const QStringList& Captions) {
    QStringList Labels = Captions;
    while (Labels.size() < 6)
        Labels << QString();
    playerview->setHeaderLabels(Labels);
}

void Tinfo_form::ShowServer(const TServerRef& Server, const TServerFilter& Search) {
    const auto* Game = dynamic_cast<const TGameServer*>(Server.get());
    if (!Game) return;
    QList<QStringList> Players;
    QList<bool> Matches;
    for (const auto& P : Game->Players) {
        Matches << Search.MatchesPlayer(P->Name);
        QList<QByteArray> Texts;
        P->GetColumnTexts(Texts);
        QStringList Row;
        for (const QByteArray& T : Texts)
            Row << DisplayText(T);
        Players << Row;
    }
    Fill(playerview, Players, Matches);
    QList<QStringList> Rules;
    for (const TRule& R : Game->Rules)
        Rules << QStringList{DisplayText(R.Key), DisplayText(R.Value)};
    Fill(ruleview, Rules);
}

void Tinfo_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    P.setColor(QPalette::WindowText, ColorOfBGR(Colors.PrimaryFontColor));
    setPalette(P);
    setAutoFillBackground(true);
    // The lists keep the classic light look, like the server list.
    const QPalette Light = style()->standardPalette();
    playerview->setPalette(Light);
    ruleview->setPalette(Light);
}
