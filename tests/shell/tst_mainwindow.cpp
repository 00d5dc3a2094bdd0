// The main window driven offscreen against a lab master and lab game servers.
#include "config/settings.h"
#include "mainwindowfixture.h"
#include "ui/shell/filterbar.h"
#include "ui/widgets/dockarea.h"

#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>

namespace {
QList<TLabServerConfig> Servers(int Count, int DelayMs = 0) {
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(Count);
    for (TLabServerConfig& C : Configs)
        C.DelayMs = DelayMs;
    return Configs;
}

QList<TLabPlayer> Named(const QList<QByteArray>& Names) {
    QList<TLabPlayer> Players(Names.size());
    for (qsizetype I = 0; I < Names.size(); ++I)
        Players[I].Name = Names[I];
    return Players;
}

QStringList ColumnTexts(const TServerListModel& Model, int Column) {
    QStringList Texts;
    for (int R = 0; R < Model.rowCount(); ++R)
        Texts << Model.Text(R, Column);
    return Texts;
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(QApplication::activeModalWidget(), nullptr); }
    void refreshFillsRows();
    void secondClickAborts();
    void serversGoneMidRefresh();
    void notRespondingRows();
    void sortByColumnKind_data();
    void sortByColumnKind();
    void selectionFillsPlayersAndRules();
    void copyGamePorts();
    void findWalksToTheEnd();
    void layoutSurvivesRestart();
    void dockedWindowsComeBack();
    void filterNarrowsTheList_data();
    void filterNarrowsTheList();
    void playerSearchComesFirst();
    void buddiesAfterRefresh();
    void cleanupTestCase() { FilterLab.reset(); }

private:
    // One refresh of five chosen servers serves every filter case.
    std::unique_ptr<TMainWindowFixture> FilterLab;
};

void TestMainWindow::refreshFillsRows() {
    TMainWindowFixture F;
    QVERIFY(F.Start(Servers(12)));
    QCOMPARE(F.Main->windowTitle(), QString("Scoutly Lite for Morrow"));
    QCOMPARE(F.Main->statuslabel->text(), QString(" Status"));
    F.Main->refresh_butt->click();
    // The fetch has begun: no percentage yet, so the gauge runs without one.
    QCOMPARE(F.Main->statuslabel->text(), QString("Server List"));
    QCOMPARE(F.Main->gauge->maximum(), 0);
    QVERIFY(F.Main->refresh_butt->isChecked());
    QTRY_VERIFY(!F.Browser().Updating);
    QCOMPARE(F.Main->statuslabel->text(), QString("Updates Complete"));
    QCOMPARE(F.Main->gauge->maximum(), 100);
    QVERIFY(!F.Main->refresh_butt->isChecked());
    QCOMPARE(F.Model()->rowCount(), 12);
    for (int I = 0; I < F.Farm.Count(); ++I) {
        const TLabServerConfig& C = F.Farm.Server(I)->Config;
        const int Row = F.RowNamed(C.HostName);
        QVERIFY2(Row >= 0, C.HostName.constData());
        QCOMPARE(F.Model()->Text(Row, 2), QString("%1/%2").arg(C.Players.size()).arg(C.MaxPlayers));
        QCOMPARE(F.Model()->Text(Row, 3), QString::fromUtf8(C.MapName));
        QCOMPARE(F.Model()->Text(Row, 4), QString::fromUtf8(C.GameType));
    }
    // Sorted once at the end, by the second column.
    const QStringList Pings = ColumnTexts(*F.Model(), 1);
    QVERIFY(std::is_sorted(Pings.begin(), Pings.end(), [](const QString& A, const QString& B) {
        return A.toInt() < B.toInt();
    }));
}

void TestMainWindow::secondClickAborts() {
    TMainWindowFixture F;
    QVERIFY(F.Start(Servers(40, 300)));
    QStringList Statuses;
    F.Browser().OnStatus = [&](TBrowser*, int P, const QString& T) {
        Statuses << T;
        F.Main->ListStatus(P, T);
    };
    F.Main->refresh_butt->click();
    QTRY_VERIFY(Statuses.contains("Updating Servers"));
    F.Main->refresh_butt->click();
    QVERIFY(Statuses.contains("Aborting Updates"));
    // The queries in flight still end; only then does the button come up.
    QVERIFY(F.Main->refresh_butt->isChecked() && F.Browser().Updating);
    QTRY_VERIFY(!F.Browser().Updating);
    QVERIFY(!F.Main->refresh_butt->isChecked());
    QCOMPARE(Statuses.last(), QString("Updates Complete"));
    QCOMPARE(Statuses.count("Updates Complete"), 1);
    QCOMPARE(F.Model()->rowCount(), 0);
}

// The whole farm goes away while its servers are being asked: the refresh still ends with
// every row listed, and once servers are back the next refresh fills the list again.
void TestMainWindow::serversGoneMidRefresh() {
    TMainWindowFixture F;
    QVERIFY(F.Start(Servers(20, 300)));
    F.Main->refresh_butt->click();
    QTRY_VERIFY(F.Main->statuslabel->text() == "Updating Servers");
    F.Farm.Stop();
    // Each silent server holds its query slot for both attempts.
    QTRY_VERIFY_WITH_TIMEOUT(!F.Browser().Updating, 20000);
    QCOMPARE(F.Main->statuslabel->text(), QString("Updates Complete"));
    QCOMPARE(F.Model()->rowCount(), 20);
    QCOMPARE(ColumnTexts(*F.Model(), 1).count("9999"), 20);

    QVERIFY(F.Farm.Start(Servers(20)));
    QList<QByteArray> Entries;
    for (int I = 0; I < F.Farm.Count(); ++I)
        Entries << "127.0.0.1:" + QByteArray::number(F.Farm.Port(I));
    F.Master.Config.Lists["morrow"] = Entries;
    QVERIFY(F.Refresh());
    QCOMPARE(F.Model()->rowCount(), 20);
    QCOMPARE(ColumnTexts(*F.Model(), 1).count("9999"), 0);
}

void TestMainWindow::notRespondingRows() {
    QList<TLabServerConfig> Configs = Servers(3);
    Configs[0].HostName = "Quiet";
    Configs[0].Silent = true;
    Configs[1].HostName = "Half Said";
    Configs[1].NoFinal = true;
    TMainWindowFixture F;
    QVERIFY(F.Start(Configs));
    QVERIFY(F.Refresh());
    QCOMPARE(F.Model()->rowCount(), 3);
    const int Silent = F.RowNamed("NOT RESPONDING ");
    const int Partial = F.RowNamed("NOT RESPONDING Half Said");
    QVERIFY(Silent >= 0 && Partial >= 0);
    QCOMPARE(F.Model()->Text(Partial, 1), QString("9999"));
    QCOMPARE(F.Model()->Text(Silent, 1), QString("9999"));

    // Queried again as selected rows, the mark is not doubled.
    F.SelectRows({Partial});
    F.Main->RefreshSelected->trigger();
    QVERIFY(F.Browser().Updating && F.Browser().UpdateExisting);
    QTRY_VERIFY_WITH_TIMEOUT(!F.Browser().Updating, 10000);
    QCOMPARE(F.Model()->rowCount(), 3);
    QCOMPARE(F.Model()->Text(F.RowNamed("NOT RESPONDING Half Said"), 0),
             QString("NOT RESPONDING Half Said"));
}

void TestMainWindow::sortByColumnKind_data() {
    QTest::addColumn<int>("column");
    QTest::newRow("name") << 0;
    QTest::newRow("ping") << 1;
    QTest::newRow("players") << 2;
}

void TestMainWindow::sortByColumnKind() {
    QFETCH(int, column);
    QList<TLabServerConfig> Configs = Servers(6);
    const QList<QByteArray> Names{"beta", "Alpha", "alpha", "Gamma", "delta", "BETA"};
    const QList<int> Counts{4, 4, 10, 0, 12, 2};
    const QList<int> Slots{16, 8, 12, 8, 12, 4};
    for (int I = 0; I < 6; ++I) {
        Configs[I].HostName = Names[I];
        Configs[I].Players.resize(Counts[I]);
        Configs[I].MaxPlayers = Slots[I];
        Configs[I].DelayMs = 20 * I; // pings differ
    }
    TMainWindowFixture F;
    QVERIFY(F.Start(Configs));
    QVERIFY(F.Refresh());
    QHeaderView* Header = F.Main->serverview->header();
    const auto Click = [&] {
        QTest::mouseClick(
            Header->viewport(), Qt::LeftButton, {},
            QPoint(Header->sectionViewportPosition(column) + 5, Header->height() / 2));
    };
    if (Header->sortIndicatorSection() == column) Click();
    Click();
    if (Header->sortIndicatorOrder() != Qt::AscendingOrder) Click();
    const QStringList Texts = ColumnTexts(*F.Model(), column);
    const TColumnKind Kind = F.Model()->ColumnKind(column);
    for (int R = 1; R < Texts.size(); ++R)
        QVERIFY2(TServerListModel::Compare(Kind, Texts[R - 1], Texts[R]) <= 0,
                 qPrintable(Texts.join(", ")));
    if (column == 2) QCOMPARE(Texts.mid(0, 3), (QStringList{"0/8", "2/4", "4/8"}));
    Click(); // descending
    const QStringList Reversed = ColumnTexts(*F.Model(), column);
    QCOMPARE(TServerListModel::Compare(Kind, Reversed.first(), Reversed.last()), 1);
}

void TestMainWindow::selectionFillsPlayersAndRules() {
    TLabServerConfig C;
    C.HostName = "Full House";
    C.Players = {{"Bob", "red", "1", "Human", "Knight", 5, 2, 40},
                 {"Eve", "blue", "2", "Elf", "Archer", 1, 3, 60}};
    C.Rules = {{"timelimit", "20"}, {"fraglimit", "50"}, {"motd", "Welcome"}};
    TMainWindowFixture F;
    QVERIFY(F.Start({C}));
    QVERIFY(F.Refresh());
    QTreeWidget* Players = F.Info()->playerview;
    QStringList Captions;
    for (int Col = 0; Col < 5; ++Col)
        Captions << Players->headerItem()->text(Col);
    QCOMPARE(Captions, (QStringList{"Name", "Frags", "Ping", "Team", "Skin"}));
    QVERIFY(!F.Main->Launch->isEnabled());
    F.SelectRows({0});
    QCOMPARE(Players->topLevelItemCount(), 2);
    QList<QStringList> Rows;
    for (int R = 0; R < 2; ++R) {
        QStringList Row;
        for (int Col = 0; Col < 5; ++Col)
            Row << Players->topLevelItem(R)->text(Col);
        Rows << Row;
    }
    QVERIFY(Rows.contains(QStringList{"Eve", "1", "60", "blue", "Elf\\Archer"}));
    QCOMPARE(F.Info()->ruleview->topLevelItemCount(), 3);
    QVERIFY(F.Main->Launch->isEnabled() && F.Main->AddtoFavorites->isEnabled());
    QVERIFY(!F.Main->RemoveFromFavorites->isEnabled());
}

void TestMainWindow::copyGamePorts() {
    QList<TLabServerConfig> Configs = Servers(3);
    Configs[0].HostPort = "7777";
    TMainWindowFixture F;
    QVERIFY(F.Start(Configs));
    QVERIFY(F.Refresh());
    F.SelectRows({0, 1, 2});
    F.Main->CopytoClipboard->trigger();
    QStringList Expected;
    for (int R = 0; R < 3; ++R) {
        const TCustomServer* S = F.Model()->ServerAt(R);
        Expected << QString("%1:%2").arg(QString(S->Address), QString(S->GamePort));
    }
    QCOMPARE(QApplication::clipboard()->text(), Expected.join("\r\n"));
    QVERIFY(QApplication::clipboard()->text().contains(":7777"));
    F.Main->serverview->clearSelection();
    F.Main->CopytoClipboardExecute();
    QCOMPARE(QApplication::clipboard()->text(), QString());
}

void TestMainWindow::findWalksToTheEnd() {
    QList<TLabServerConfig> Configs = Servers(5);
    const QList<QByteArray> Names{"Keep One", "Other", "keep two", "Else", "The KEEP"};
    for (int I = 0; I < 5; ++I)
        Configs[I].HostName = Names[I];
    TMainWindowFixture F;
    QVERIFY(F.Start(Configs));
    QVERIFY(F.Refresh());
    F.Main->serverview->setFocus();
    F.Main->Find->setEnabled(true);
    F.Main->Find->trigger();
    F.Main->FindText->setText("keep");
    QStringList Found;
    for (int I = 0; I < 3; ++I) {
        F.Main->FindDialog1Find();
        Found << F.Model()->Text(F.Main->serverview->currentIndex().row(), 0);
    }
    QCOMPARE(Found.size(), 3);
    for (const QString& Name : Found)
        QVERIFY(Name.contains("keep", Qt::CaseInsensitive));
    QCOMPARE(F.Main->FindPosition, F.RowNamed(Found.last().toUtf8()));
    TBoxAnswer Box(QMessageBox::Ok);
    F.Main->FindDialog1Find();
    QCOMPARE(Box.Text, QString("No more found"));
    QVERIFY(!F.Main->FindDialog1->isVisible());
    QVERIFY(!F.Main->serverview->selectionModel()->hasSelection());
}

void TestMainWindow::layoutSurvivesRestart() {
    TMainWindowFixture F;
    QVERIFY(F.Start(Servers(3)));
    TServerView* View = F.Main->serverview;
    View->setColumnWidth(0, 301);
    View->setColumnWidth(2, 91);
    View->sortByColumn(3, Qt::DescendingOrder);
    F.Restart();
    View = F.Main->serverview;
    QCOMPARE(View->columnWidth(0), 301);
    QCOMPARE(View->columnWidth(2), 91);
    QCOMPARE(View->header()->sortIndicatorSection(), 3);
    QCOMPARE(View->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

void TestMainWindow::dockedWindowsComeBack() {
    TMainWindowFixture F;
    QVERIFY(F.Start(Servers(1)));
    TDockArea* Pages = F.Main->pages;
    QCOMPARE(Pages->Docks().size(), 3);
    QCOMPARE(Pages->Docks()[0]->windowTitle(), QString("Chat (No Channel)"));
    QCOMPARE(Pages->Docks()[1]->windowTitle(), QString("Players / Rules"));
    QCOMPARE(Pages->Docks()[2]->windowTitle(), QString("News"));
    // Torn out, then closed: the window is docked back, not gone.
    TDockWindow* Info = Pages->DockOf(F.Info());
    Info->setFloating(true);
    QVERIFY(Info->isFloating());
    Info->close();
    QVERIFY(!Info->isFloating());
    QVERIFY(Info->isVisible());
    QVERIFY(F.Info()->isVisible());
}

void TestMainWindow::filterNarrowsTheList_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hideEmpty");
    QTest::addColumn<bool>("hideFull");
    QTest::addColumn<bool>("hideSilent");
    QTest::addColumn<int>("maxPing");
    QTest::addColumn<QStringList>("shown");
    const QStringList All{"Alpha Arena", "Beta [CTF]", "Echo", "Gamma.*", "NOT RESPONDING"};
    QTest::newRow("off") << "" << false << false << false << 0 << All;
    QTest::newRow("player") << "BOB" << false << false << false << 0 << QStringList{"Alpha Arena"};
    QTest::newRow("player with control codes")
        << "zed" << false << false << false << 0 << QStringList{"Gamma.*"};
    QTest::newRow("regex characters literal")
        << ".*" << false << false << false << 0 << QStringList{"Gamma.*"};
    QTest::newRow("end of a 500-character name")
        << "needle" << false << false << false << 0 << QStringList{"Echo"};
    QTest::newRow("empty and full")
        << "" << true << true << false << 0 << QStringList{"Alpha Arena", "Echo"};
    QTest::newRow("silent and distant") << "" << false << false << true << 100
                                        << QStringList{"Alpha Arena", "Beta [CTF]", "Gamma.*"};
    QTest::newRow("text and a switch")
        << "a" << false << true << false << 0 << QStringList{"Alpha Arena", "Beta [CTF]", "Echo"};
}

void TestMainWindow::filterNarrowsTheList() {
    QFETCH(QString, text);
    QFETCH(bool, hideEmpty);
    QFETCH(bool, hideFull);
    QFETCH(bool, hideSilent);
    QFETCH(int, maxPing);
    QFETCH(QStringList, shown);
    if (!FilterLab) {
        QList<TLabServerConfig> C(5);
        C[0].HostName = "Alpha Arena";
        C[0].MapName = "DM-Deck16";
        C[0].GameType = "DeathMatch";
        C[0].Players = Named({"Bob"});
        C[1].HostName = "Beta [CTF]";
        C[1].MapName = "CTF-Face";
        C[1].GameType = "CTF";
        C[2].HostName = "Gamma.*";
        C[2].MaxPlayers = 2;
        // A value ends at its first control byte: the name arrives as "Zed".
        C[2].Players = Named({"Zed\x07\x1b[31mRed", "Ann"});
        C[3].Silent = true;
        C[4].HostName = "Echo";
        C[4].DelayMs = 200;
        C[4].Players = Named({QByteArray(494, 'x') + "Needle", "Mia"});
        FilterLab = std::make_unique<TMainWindowFixture>();
        QVERIFY(FilterLab->Start(C));
        QVERIFY(FilterLab->Refresh());
    }
    TMainWindowFixture& F = *FilterLab;
    if (!F.Main->filterbar->isVisible()) F.Main->ShowFilter->trigger();
    TFilterBar* Bar = F.Main->filterbar;
    Bar->filtertext->setText(text);
    Bar->hideempty->setChecked(hideEmpty);
    Bar->hidefull->setChecked(hideFull);
    Bar->hidenotresponding->setChecked(hideSilent);
    Bar->maxping->setValue(maxPing);
    QStringList Names = ColumnTexts(*F.Model(), 0);
    for (QString& Name : Names)
        Name = Name.trimmed();
    Names.sort();
    QCOMPARE(Names, shown);
    QCOMPARE(F.Model()->TotalCount(), 5);
    QCOMPARE(F.Main->filtercount->isVisible(), shown.size() < 5);
    if (shown.size() < 5)
        QCOMPARE(F.Main->filtercount->text(), QString("Showing %1 of 5 servers").arg(shown.size()));
    // What the user selects and copies is what the list shows.
    F.Main->serverview->selectAll();
    QCOMPARE(F.Main->SelectedServers().size(), shown.size());
    F.Main->CopytoClipboard->trigger();
    const QString Copied = QApplication::clipboard()->text();
    QCOMPARE(Copied.isEmpty() ? 0 : Copied.split("\r\n").size(), shown.size());
}

void TestMainWindow::playerSearchComesFirst() {
    QList<TLabServerConfig> C(3);
    C[0].HostName = "Crowd";
    C[0].Players = Named({"Ann", "Bob", "Zed", "Mia", "Zed Two"});
    C[1].HostName = "Quiet";
    C[1].Players = Named({"Ann"});
    C[2].HostName = "Lonely";
    TMainWindowFixture F;
    QVERIFY(F.Start(C));
    QVERIFY(F.Refresh());
    QVERIFY(QTest::qWaitForWindowActive(F.Main));
    QVERIFY(!F.Main->filterbar->isVisible());
    QTest::keyClick(F.Main, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(F.Main->filterbar->isVisible());
    QTest::keyClicks(F.Main->filterbar->filtertext, "ZED");
    QCOMPARE(F.Model()->rowCount(), 1);
    F.SelectRows({0});
    QTreeWidget* Players = F.Info()->playerview;
    const auto Marked = [Players] {
        QStringList Names;
        for (int R = 0; R < Players->topLevelItemCount(); ++R)
            if (Players->topLevelItem(R)->background(0).color() == Tinfo_form::MatchColor)
                Names << Players->topLevelItem(R)->text(0) + '@' + QString::number(R);
        return Names;
    };
    QCOMPARE(Players->topLevelItemCount(), 5);
    for (Qt::SortOrder Order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        Players->sortItems(0, Order);
        const QStringList Expected = Order == Qt::AscendingOrder
                                         ? QStringList{"Zed@0", "Zed Two@1"}
                                         : QStringList{"Zed Two@0", "Zed@1"};
        QCOMPARE(Marked(), Expected);
    }
    // The pane follows the text while the server stays selected.
    F.Main->filterbar->filtertext->setText("mia");
    QCOMPARE(Marked(), QStringList{"Mia@0"});
    F.Main->filterbar->filtertext->setText("ann");
    QCOMPARE(F.Model()->rowCount(), 2);
    QCOMPARE(F.Main->filtercount->text(), QString("Showing 2 of 3 servers"));

    // The bar comes back as it was left; hidden, it hides nothing.
    F.Restart();
    QVERIFY(F.Main->filterbar->isVisibleTo(F.Main));
    QCOMPARE(F.Main->filterbar->filtertext->text(), QString("ann"));
    QVERIFY(F.Refresh());
    QCOMPARE(F.Model()->rowCount(), 2);
    F.Main->ShowFilter->trigger();
    QCOMPARE(F.Model()->rowCount(), 3);
    QVERIFY(!F.Main->filtercount->isVisible());
}

void TestMainWindow::buddiesAfterRefresh() {
    TMainWindowFixture F;
    QList<TLabServerConfig> Configs = Servers(3);
    Configs[0].Players = {TLabPlayer{}};
    Configs[0].Players[0].Name = "Wren";
    QVERIFY(F.Start(Configs));
    F.Windows->Settings->SetBuddies("wren\n", false, 5);
    F.Main->ApplyBuddies();
    QVERIFY(F.Refresh());
    QCOMPARE(F.Main->statuslabel->text(), QString("Updates Complete - Buddies online: Wren"));
    const int Row = F.RowNamed(Configs[0].HostName);
    QCOMPARE(F.Model()->data(F.Model()->index(Row, 0), Qt::ToolTipRole).toString(),
             QString("Buddies: Wren"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
