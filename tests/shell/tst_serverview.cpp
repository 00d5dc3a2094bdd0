// The server list: sort order, rows that stay put, the status picture chosen, the favourite colour
// and the stored layout, driven through the real view offscreen.
#include "config/favorites.h"
#include "config/settingsstore.h"
#include "ui/shell/serverview.h"

#include <QHeaderView>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TServerRef Record(const QByteArray& Name, int Ping, int Num, int Max, const QByteArray& Map) {
    static int Port = 7000;
    TServerRef Server(TMorrowServer::Class.Create("10.0.0.1", QByteArray::number(++Port)));
    auto& Game = static_cast<TGameServer&>(*Server);
    std::tie(Game.ServerName, Game.Ping, Game.NumPlayers, Game.MaxPlayers, Game.MapName) =
        std::tuple(Name, Ping, Num, Max, Map);
    return Server;
}

// Appended in this order; names and maps differ only in case in places, and pings tie.
void Fill(TServerView& View) {
    View.ListModel()->SetColumns(TMorrowServer::Class.ColumnCaptions());
    View.ListModel()->Append(Record("delta", 120, 10, 12, "Tundra"));
    View.ListModel()->Append(Record("alpha", 40, 4, 16, "arena"));
    View.ListModel()->Append(Record("Charlie", 120, 4, 8, "Arena"));
    View.ListModel()->Append(Record("Bravo", 9999, 0, 16, "tundra"));
}

QStringList Names(const TServerListModel& Model) {
    QStringList Result;
    for (int Row = 0; Row < Model.rowCount(); ++Row)
        Result << Model.Text(Row, 0);
    return Result;
}

void ClickHeader(TServerView& View, int Column) {
    QHeaderView* Header = View.header();
    const QPoint At(Header->sectionViewportPosition(Column) + Header->sectionSize(Column) / 2,
                    Header->height() / 2);
    QTest::mouseClick(Header->viewport(), Qt::LeftButton, {}, At);
}

} // namespace

class TestServerView : public QObject {
    Q_OBJECT
private slots:
    void compare_data();
    void compare();
    void pingImage_data();
    void pingImage();
    void playersImage_data();
    void playersImage();
    void rowsStayPut();
    void headerSorts_data();
    void headerSorts();
    void takeAllAndClear();
    void filterHidesRowsInPlace();
    void favoriteColor_data();
    void favoriteColor();
    void layoutRoundTrip_data();
    void layoutRoundTrip();
    void buddyMarkerAndReplace();
};

void TestServerView::compare_data() {
    QTest::addColumn<int>("Kind");
    QTest::addColumn<QString>("A");
    QTest::addColumn<QString>("B");
    QTest::addColumn<int>("Expected");
    const struct {
        const char* Name;
        TColumnKind Kind;
        QString A, B;
        int Expected;
    } Rows[] = {
        {"number by value", ckNumber, "10", "9", 1},
        {"not a number is 0", ckNumber, "abc", "0", 0},
        {"not a number below 1", ckNumber, "x", "1", -1},
        {"players first", ckFraction, "10/12", "4/16", 1},
        {"players then max", ckFraction, "4/16", "4/8", 1},
        {"players equal", ckFraction, "4/8", "4/8", 0},
        {"players bad part", ckFraction, "x/5", "0/5", 0},
        {"players no slash", ckFraction, "3", "3/1", -1},
        {"text ignores case", ckText, "Alpha", "aLPHA", 0},
        {"text lower first", ckText, "a", "B", -1},
        {"text lowered, not raised", ckText, "Z", "_", 1},
        {"text ordinal", ckText, QString(u'\u00e4'), "b", 1},
        {"text prefix", ckText, "abc", "ab", 1},
        {"text two-unit lower", ckText, QString(u'\u0130'), "iz", 1},
        {"text two-unit lower 2", ckText, QString(u'\u0130'), "j", -1},
        {"text beyond 16 bits", ckText, QString::fromUcs4(U"\U00010400"),
         QString::fromUcs4(U"\U00010428"), 0},
    };
    for (const auto& Row : Rows)
        QTest::newRow(Row.Name) << int(Row.Kind) << Row.A << Row.B << Row.Expected;
}

void TestServerView::compare() {
    QFETCH(int, Kind);
    QFETCH(QString, A);
    QFETCH(QString, B);
    QFETCH(int, Expected);
    QCOMPARE(TServerListModel::Compare(TColumnKind(Kind), A, B), Expected);
    QCOMPARE(TServerListModel::Compare(TColumnKind(Kind), B, A), -Expected);
}

void TestServerView::pingImage_data() {
    QTest::addColumn<QString>("Ping");
    QTest::addColumn<int>("Image");
    const std::pair<const char*, int> Rows[] = {{"250", 1}, {"251", 2},  {"500", 2},
                                                {"501", 3}, {"9999", 3}, {"abc", 3}};
    for (auto [Ping, Image] : Rows)
        QTest::newRow(Ping) << QString(Ping) << Image;
}

void TestServerView::pingImage() {
    QFETCH(QString, Ping);
    QFETCH(int, Image);
    QCOMPARE(TServerViewDelegate::PingImage(Ping), Image);
}

void TestServerView::playersImage_data() {
    QTest::addColumn<int>("Num");
    QTest::addColumn<int>("Max");
    QTest::addColumn<int>("Image");
    for (auto [Num, Max, Image] :
         {std::tuple{0, 16, 4}, {16, 16, 6}, {0, 0, 4}, {5, 16, 5}, {17, 16, 5}})
        QTest::addRow("%d/%d", Num, Max) << Num << Max << Image;
}

void TestServerView::playersImage() {
    QFETCH(int, Num);
    QFETCH(int, Max);
    QFETCH(int, Image);
    QCOMPARE(TServerViewDelegate::PlayersImage(Num, Max), Image);
}

void TestServerView::rowsStayPut() {
    TServerView View;
    Fill(View);
    TServerListModel& Model = *View.ListModel();
    QCOMPARE(View.header()->sortIndicatorSection(), 1);
    const QStringList Appended{"delta", "alpha", "Charlie", "Bravo"};
    QCOMPARE(Names(Model), Appended);

    auto& Delta = static_cast<TGameServer&>(*Model.Server(0));
    Delta.Ping = 200;
    Delta.NumPlayers = 11;
    QSignalSpy Changed(&Model, &QAbstractItemModel::dataChanged);
    Model.Refresh(Model.RowOf(&Delta));
    QCOMPARE(Changed.size(), 1);
    QCOMPARE(Model.Text(0, 1), QString("200"));
    QCOMPARE(Model.Text(0, 2), QString("11/12"));
    QCOMPARE(Names(Model), Appended);
    QCOMPARE(Model.Append(Model.Server(2)), 2); // a listed record keeps its row
    QCOMPARE(Model.rowCount(), 4);
    View.SortNow();
    QCOMPARE(Names(Model), (QStringList{"alpha", "Charlie", "delta", "Bravo"}));
}

void TestServerView::headerSorts_data() {
    QTest::addColumn<int>("Column");
    QTest::addColumn<QStringList>("FirstClick");
    QTest::addColumn<QStringList>("SecondClick");
    // Ping is already the sort column, so its first click reverses.
    QTest::newRow("ping") << 1 << QStringList{"Bravo", "delta", "Charlie", "alpha"}
                          << QStringList{"alpha", "delta", "Charlie", "Bravo"};
    QTest::newRow("players") << 2 << QStringList{"Bravo", "Charlie", "alpha", "delta"}
                             << QStringList{"delta", "alpha", "Charlie", "Bravo"};
    QTest::newRow("name") << 0 << QStringList{"alpha", "Bravo", "Charlie", "delta"}
                          << QStringList{"delta", "Charlie", "Bravo", "alpha"};
    QTest::newRow("map, ties stable") << 3 << QStringList{"alpha", "Charlie", "delta", "Bravo"}
                                      << QStringList{"delta", "Bravo", "alpha", "Charlie"};
}

void TestServerView::headerSorts() {
    QFETCH(int, Column);
    QFETCH(QStringList, FirstClick);
    QFETCH(QStringList, SecondClick);
    TServerView View;
    View.resize(800, 300);
    Fill(View);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    TServerListModel& Model = *View.ListModel();
    View.selectionModel()->select(Model.index(1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const TCustomServer* Selected = Model.ServerAt(1);

    for (const QStringList& Expected : {FirstClick, SecondClick}) {
        ClickHeader(View, Column);
        QCOMPARE(View.header()->sortIndicatorSection(), Column);
        QCOMPARE(Names(Model), Expected);
        for (int Row = 0; Row < Model.rowCount(); ++Row)
            QCOMPARE(Model.RowOf(Model.ServerAt(Row)), Row);
        const QModelIndexList Rows = View.selectionModel()->selectedRows();
        QCOMPARE(Rows.size(), 1);
        QCOMPARE(Rows[0].data(Qt::UserRole).value<TCustomServer*>(), Selected);
    }
}

// Enough rows with many ties that an unstable sort would show.
void TestServerView::takeAllAndClear() {
    TServerView View;
    Fill(View);
    TServerListModel& Model = *View.ListModel();
    Model.sort(0, Qt::AscendingOrder);
    QList<TServerRef> Shown;
    for (int Row = 0; Row < Model.rowCount(); ++Row)
        Shown << Model.Server(Row);
    QVERIFY(Model.TakeAll() == Shown);
    QCOMPARE(Model.rowCount(), 0);
    QCOMPARE(Model.RowOf(Shown[0].get()), -1);

    const std::weak_ptr<TCustomServer> Watch = Shown[0];
    QCOMPARE(Model.Append(Shown[0]), 0);
    Shown.clear();
    QVERIFY(!Watch.expired());
    Model.Clear();
    QVERIFY(Watch.expired());
}

// Filtered rows keep their records: arrivals and changes come and go in list order, the
// selection follows its records, and everything listed is handed back.
void TestServerView::filterHidesRowsInPlace() {
    TServerView View;
    Fill(View);
    TServerListModel& Model = *View.ListModel();
    const QList<TServerRef> All{Model.Server(0), Model.Server(1), Model.Server(2), Model.Server(3)};
    for (int Row : {1, 3})
        View.selectionModel()->select(Model.index(Row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Model.SetFilter(TServerFilter({"ARENA"}));
    QCOMPARE(Names(Model), (QStringList{"alpha", "Charlie"}));
    QCOMPARE(Model.TotalCount(), 4);
    QCOMPARE(View.selectionModel()->selectedRows().size(), 1);
    QCOMPARE(View.selectionModel()->selectedRows().first().row(), Model.RowOf(All[1].get()));

    Model.Append(Record("echo", 30, 1, 8, "Arena Two"));
    Model.Append(Record("foxtrot", 30, 1, 8, "dm1"));
    QCOMPARE(Names(Model), (QStringList{"alpha", "Charlie", "echo"}));
    static_cast<TGameServer&>(*All[0]).MapName = "Arena";
    QCOMPARE(Model.Append(All[0]), 0);
    static_cast<TGameServer&>(*All[1]).MapName = "dm2";
    Model.Refresh(1);
    QCOMPARE(Names(Model), (QStringList{"delta", "Charlie", "echo"}));
    QCOMPARE(Model.RowOf(All[1].get()), -1);
    QVERIFY(!View.selectionModel()->hasSelection());

    Model.sort(0, Qt::AscendingOrder);
    QCOMPARE(Names(Model), (QStringList{"Charlie", "delta", "echo"}));
    Model.SetFilter(TServerFilter());
    QCOMPARE(Names(Model), (QStringList{"alpha", "Bravo", "Charlie", "delta", "echo", "foxtrot"}));
    QCOMPARE(Model.TakeAll().size(), 6);
}

void TestServerView::favoriteColor_data() {
    QTest::addColumn<bool>("Favorite");
    QTest::addColumn<int>("State");
    QTest::addColumn<bool>("Green");
    QTest::newRow("favourite") << true << 0 << true;
    QTest::newRow("favourite selected") << true << int(QStyle::State_Selected) << false;
    QTest::newRow("favourite hovered") << true << int(QStyle::State_MouseOver) << false;
    QTest::newRow("other") << false << 0 << false;
}

void TestServerView::favoriteColor() {
    QFETCH(bool, Favorite);
    QFETCH(int, State);
    QFETCH(bool, Green);
    TServerView View;
    TServerListModel& Model = *View.ListModel();
    Model.SetColumns(TMorrowServer::Class.ColumnCaptions());
    Model.Append(Record("WWWWWWWW", 50, 1, 8, "m"));
    TFavorites Favorites;
    if (Favorite) Favorites.Add(*Model.ServerAt(0));
    Model.IsFavorite = [&](const TCustomServer& S) { return Favorites.IsFavorite(S); };

    QStyleOptionViewItem Option;
    Option.rect = QRect(0, 0, 250, 24);
    Option.palette = View.palette();
    Option.font = View.font();
    Option.font.setPixelSize(16);
    Option.font.setStyleStrategy(QFont::NoAntialias);
    Option.state = QStyle::State_Enabled | QStyle::State_Active | QStyle::State(State);
    Option.widget = &View;
    QImage Image(Option.rect.size(), QImage::Format_ARGB32);
    Image.fill(Qt::white);
    QPainter Painter(&Image);
    View.itemDelegate()->paint(&Painter, Option, Model.index(0, 0));
    Painter.end();

    // Unsmoothed glyphs: their pixels are exactly the pen colour.
    const auto Pixels = [&Image](const QColor& Color) {
        int Count = 0;
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X)
                Count += Image.pixelColor(X, Y) == Color;
        return Count;
    };
    QCOMPARE(Pixels(TServerViewDelegate::FavoriteColor) > 20, Green);
    QCOMPARE(Pixels(TServerViewDelegate::NameColor(Option, false)) > 20, !Green);
}

// Width of the name column, sort column, sort order: as saved, then as restored.
void TestServerView::layoutRoundTrip_data() {
    QTest::addColumn<QList<int>>("Saved");
    QTest::addColumn<QList<int>>("Restored");
    const int Up = Qt::AscendingOrder, Down = Qt::DescendingOrder;
    QTest::newRow("players down") << QList{300, 2, Down} << QList{300, 2, Down};
    QTest::newRow("map up") << QList{320, 3, Up} << QList{320, 3, Up};
    QTest::newRow("name becomes ping") << QList{300, 0, Down} << QList{300, 1, Up};
    QTest::newRow("none becomes ping") << QList{300, -1, Down} << QList{300, 1, Up};
    QTest::newRow("narrow name widened") << QList{180, 2, Up} << QList{250, 2, Up};
}

void TestServerView::layoutRoundTrip() {
    QFETCH(QList<int>, Saved);
    QFETCH(QList<int>, Restored);
    QTemporaryDir Home;
    qputenv("SCOUTLY_HOME", Home.path().toUtf8());
    const QString Key = "Software\\Scoutly\\tarnwick\\morrow";
    const int Widths[] = {Saved[0], 66, 81, 120, 140, 33};
    {
        TServerView View;
        View.AutoSizeLastColumn = false;
        for (int Column = 0; Column < 6; ++Column)
            View.header()->resizeSection(Column, Widths[Column]);
        View.header()->setSortIndicator(Saved[1], Qt::SortOrder(Saved[2]));
        TRegistry Registry;
        View.SaveLayout(Registry, Key);
    }
    TRegistry Registry;
    QCOMPARE(Registry.ReadString(Key, "serverview_Width3"), QString("120"));
    QCOMPARE(Registry.ReadString(Key, "serverview_SortColumn"), QString::number(Saved[1]));

    TServerView View;
    View.resize(900, 300);
    Fill(View);
    View.RestoreLayout(Registry, Key);
    QCOMPARE(View.header()->sectionSize(0), Restored[0]);
    for (int Column : {1, 2, 3, 5})
        QCOMPARE(View.header()->sectionSize(Column), Widths[Column]);
    QCOMPARE(View.header()->sortIndicatorSection(), Restored[1]);
    QCOMPARE(int(View.header()->sortIndicatorOrder()), Restored[2]);
    // The fifth column takes the rest of the view.
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    QCOMPARE(View.header()->length(), View.viewport()->width());
}

void TestServerView::buddyMarkerAndReplace() {
    TServerView View;
    TServerListModel& Model = *View.ListModel();
    QStringList Buddies{"Wren", "Ann"};
    Model.BuddiesOn = [&](const TCustomServer& S) {
        return S.ServerName == "alpha" ? Buddies : QStringList();
    };
    Fill(View);
    const auto Tip = [&](int Row, int Column) {
        return Model.data(Model.index(Row, Column), Qt::ToolTipRole).toString();
    };
    const auto Marked = [&](int Row, int Column) {
        return !Model.data(Model.index(Row, Column), Qt::DecorationRole).isNull();
    };
    QCOMPARE(Tip(1, 0), QString("Buddies: Wren, Ann"));
    QCOMPARE(Tip(1, 3), QString("Buddies: Wren, Ann"));
    QVERIFY(Marked(1, 0) && !Marked(1, 1) && !Marked(0, 0));
    QCOMPARE(Tip(0, 0), QString());

    // The list changed: rows are read again.
    Buddies.clear();
    Model.RereadAll();
    QVERIFY(!Marked(1, 0));
    QCOMPARE(Tip(1, 0), QString());

    // A fresher record takes the row's place: same row, new texts, the old record unknown.
    const TServerRef Old = Model.Server(1);
    const TServerRef Fresh = Record("alpha", 55, 16, 16, "arena");
    Model.Replace(1, Fresh);
    QCOMPARE(Model.Server(1), Fresh);
    QCOMPARE(Model.RowOf(Fresh.get()), 1);
    QCOMPARE(Model.RowOf(Old.get()), -1);
    QCOMPARE(Model.Text(1, Model.PingColumn), QString("55"));
}

QTEST_MAIN(TestServerView)
#include "tst_serverview.moc"
