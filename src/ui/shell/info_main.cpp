#include "ui/shell/info_main.h"

#include "config/skins.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>

Tinfo_form* info_form = nullptr;

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
    info_form = this;
}

Tinfo_form::~Tinfo_form() {
    if (info_form == this) info_form = nullptr;
}

void Tinfo_form::SetPlayerCaptions(const QStringList& Captions) {
    QStringList Labels = Captions;
    while (Labels.size() < 6)
        Labels << QString();
    playerview->setHeaderLabels(Labels);
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
