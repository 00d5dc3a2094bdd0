// The browser's refresh without a window: whole lists, chosen servers, the favourites view,
// against a lab master and lab game servers.
#include "config/gamelauncher.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "labgameserver.h"
#include "labmaster.h"
#include "masterlist/browser.h"
#include "masterlist/buddies.h"
#include "masterlist/favoriteswatch.h"
#include "masterlist/slotwatch.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {
TLabPlayer Player(const QString& Name) {
    TLabPlayer Result;
    Result.Name = Name.toUtf8();
    return Result;
}

// What the browser told its window, and the rows a window would show.
struct TShown {
    QList<TServerRef> Rows;
    QStringList Statuses;
    int Clears = 0, Completes = 0;
    void Attach(TBrowser& Browser) {
        Browser.OnClear = [this](TBrowser*) {
            ++Clears;
            Rows.clear();
        };
        Browser.OnServerDone = [this](TBrowser* B, const TServerRef& S) {
            if (!B->UpdateExisting || !Rows.contains(S)) Rows << S;
        };
        Browser.OnStatus = [this](TBrowser*, int, const QString& Text) { Statuses << Text; };
        Browser.OnComplete = [this](TBrowser*) { ++Completes; };
    }
    QList<QByteArray> Names() const {
        QList<QByteArray> Result;
        for (const TServerRef& S : Rows)
            Result << S->ServerName;
        return Result;
    }
};
} // namespace

Q_DECLARE_METATYPE(TSlotWatchEnd)

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void init();
    void refreshReadsSettingsEachTime();
    void secondRefreshAborts();
    void refreshSelectedKeepsRows();
    void favoritesViewAndBack();
    void lastFavoriteRemovedInView();
    void buddyArrivalToldOnce_data();
    void buddyArrivalToldOnce();
    void joinWhenSlotFrees_data();
    void joinWhenSlotFrees();

private:
    bool Start(int Servers, int DelayMs = 0);
    bool Wait(int TimeoutMs = 15000) {
        return QTest::qWaitFor([this] { return !Browser->Updating; }, TimeoutMs);
    }
    int Queries() const {
        int Total = 0;
        for (int I = 0; I < Farm->Count(); ++I)
            Total += Farm->Server(I)->Queries();
        return Total;
    }

    std::unique_ptr<QTemporaryDir> Home;
    std::unique_ptr<TLabFarm> Farm;
    std::unique_ptr<TLabMasterServer> Master;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TBrowser> Browser;
    TShown Shown;
};

void TestBrowser::init() {
    Browser.reset();
    Settings.reset();
    Master.reset();
    Farm.reset();
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
    Shown = {};
}

bool TestBrowser::Start(int Servers, int DelayMs) {
    Farm = std::make_unique<TLabFarm>();
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(Servers);
    for (TLabServerConfig& C : Configs)
        C.DelayMs = DelayMs;
    if (!Farm->Start(Configs)) return false;
    Master = std::make_unique<TLabMasterServer>();
    for (int I = 0; I < Farm->Count(); ++I)
        Master->Config.Lists["morrow"] << "127.0.0.1:" + QByteArray::number(Farm->Port(I));
    if (!Master->Listen()) return false;
    Settings = std::make_unique<TSettings>(TEdition::Morrow(), std::make_unique<TRegistry>());
    Settings->SetValue(TField::MasterServer, QString("127.0.0.1:%1").arg(Master->Port()));
    Browser = std::make_unique<TBrowser>(*Settings);
    Shown.Attach(*Browser);
    return true;
}

void TestBrowser::refreshReadsSettingsEachTime() {
    QVERIFY(Start(5));
    Browser->Refresh();
    QVERIFY(Browser->Updating && !Browser->UpdateExisting);
    QVERIFY(Wait());
    QCOMPARE(Shown.Rows.size(), 5);
    QCOMPARE(Shown.Completes, 1);
    QCOMPARE(Shown.Statuses.last(), QString("Updates Complete"));

    // Another master and fewer queries at once, taken up by the next refresh.
    TLabMasterServer Other;
    Other.Config.Lists["morrow"] = Master->Config.Lists["morrow"].mid(0, 2);
    QVERIFY(Other.Listen());
    Settings->SetValue(TField::MasterServer, QString("127.0.0.1:%1").arg(Other.Port()));
    Settings->SetValue(TField::QueryParallel, "3");
    Browser->Refresh();
    QCOMPARE(Shown.Clears, 2);
    QVERIFY(Wait());
    QCOMPARE(Browser->List().MaxOutstanding, 3);
    QCOMPARE(Other.Connections(), 1);
    QCOMPARE(Master->Connections(), 1);
    QCOMPARE(Shown.Rows.size(), 2);

    // Several masters, one of them down: the lists merge, the one down is named.
    QTcpServer Closed;
    QVERIFY(Closed.listen(QHostAddress::LocalHost));
    const quint16 Down = Closed.serverPort();
    Closed.close();
    Settings->SetValue(TField::MasterServer, QString("127.0.0.1:%1, 127.0.0.1:%2;127.0.0.1:%3")
                                                 .arg(Other.Port())
                                                 .arg(Down)
                                                 .arg(Master->Port()));
    Settings->SetValue(TField::QueryRate, "50");
    Browser->Refresh();
    QVERIFY(Wait());
    QCOMPARE(Browser->List().QueryRate, 50);
    QCOMPARE(Shown.Rows.size(), 5);
    QCOMPARE(Queries(), 5 + 2 + 5);
    const QString Named = QString("Master server 127.0.0.1:%1: Connection refused").arg(Down);
    QVERIFY(Shown.Statuses.contains(Named));
    QCOMPARE(Shown.Statuses.last(), "Updates Complete - " + Named);
}

void TestBrowser::secondRefreshAborts() {
    QVERIFY(Start(40, 300));
    Browser->Refresh();
    QTRY_VERIFY(Shown.Statuses.contains("Updating Servers"));
    Browser->Refresh();
    QVERIFY(Shown.Statuses.contains("Aborting Updates"));
    QCOMPARE(Shown.Clears, 1);
    QVERIFY(Browser->Updating); // until the queries in flight end
    QVERIFY(Wait());
    QCOMPARE(Shown.Completes, 1);
    QCOMPARE(Shown.Rows.size(), 0);
}

void TestBrowser::refreshSelectedKeepsRows() {
    QVERIFY(Start(4));
    Browser->Refresh();
    QVERIFY(Wait());
    const QList<TServerRef> Before = Shown.Rows;
    const int Asked = Queries();
    QVERIFY(Browser->RefreshSelected({Before[1], Before[3]}));
    QVERIFY(Browser->UpdateExisting);
    QVERIFY(!Browser->RefreshSelected({Before[0]})); // one update at a time
    QVERIFY(!Browser->RefreshSelected({}));
    QVERIFY(Wait());
    QCOMPARE(Queries(), Asked + 2);
    QCOMPARE(Shown.Rows, Before);
    QCOMPARE(Shown.Clears, 1);
    QCOMPARE(Master->Connections(), 1);
}

void TestBrowser::favoritesViewAndBack() {
    QVERIFY(Start(6));
    QVERIFY(!Browser->ShowFavorites({})); // none yet
    QVERIFY(!Browser->FavoritesView);
    Browser->Refresh();
    QVERIFY(!Browser->ShowFavorites(Shown.Rows)); // not while updating
    QVERIFY(Wait());
    const QList<QByteArray> Before = Shown.Names();
    Browser->AddFavorites({Shown.Rows[0], Shown.Rows[3], Shown.Rows[0]});
    QCOMPARE(Browser->Favorites.Count(), 2);

    const int Asked = Queries();
    QVERIFY(Browser->ShowFavorites(std::exchange(Shown.Rows, {})));
    QVERIFY(Browser->FavoritesView);
    QVERIFY(Wait());
    QCOMPARE(Shown.Rows.size(), 2);
    QCOMPARE(Queries(), Asked + 2); // the favourites alone, no master
    // Refreshing in the view asks the favourites again.
    Browser->Refresh();
    QVERIFY(Wait());
    QCOMPARE(Shown.Rows.size(), 2);
    QCOMPARE(Master->Connections(), 1);

    // Back: the kept rows in their order, nobody asked.
    QVERIFY(Browser->ShowAll());
    QVERIFY(!Browser->FavoritesView && !Browser->Updating);
    QCOMPARE(Shown.Names(), Before);
    QCOMPARE(Queries(), Asked + 4);
}

void TestBrowser::lastFavoriteRemovedInView() {
    QVERIFY(Start(3));
    Browser->Refresh();
    QVERIFY(Wait());
    Browser->AddFavorites({Shown.Rows[1]});
    QVERIFY(Browser->ShowFavorites(std::exchange(Shown.Rows, {})));
    QVERIFY(Wait());
    QCOMPARE(Shown.Rows.size(), 1);
    // Without favourites the view ends and the whole list is fetched again.
    Browser->RemoveFavorites(Shown.Rows);
    QVERIFY(Browser->Favorites.IsEmpty() && !Browser->FavoritesView);
    QVERIFY(Wait());
    QCOMPARE(Master->Connections(), 2);
    QCOMPARE(Shown.Rows.size(), 3);
}

void TestBrowser::buddyArrivalToldOnce_data() {
    QTest::addColumn<QStringList>("rounds"); // the first server's players each round; "-": silent
    QTest::addColumn<bool>("browserToo");    // the favourites view reports each round as well
    QTest::addColumn<int>("notices");
    QTest::addColumn<QString>("told"); // the first notice's names
    QTest::newRow("arrives, then stays")
        << QStringList{"Ann", "Ann,Wren", "Wren,Ann"} << false << 1 << "Wren";
    QTest::newRow("two reporters of one round")
        << QStringList{"Ann", "Ann,Wren", "Wren"} << true << 1 << "Wren";
    QTest::newRow("there from the start")
        << QStringList{"Wren", "Wren", "Wren"} << false << 0 << "";
    QTest::newRow("other case, two buddies")
        << QStringList{"", "BUDDY,Ann,wren"} << false << 1 << "BUDDY,wren";
    QTest::newRow("leaves and comes back")
        << QStringList{"Wren", "", "Wren"} << false << 1 << "Wren";
    QTest::newRow("silence is not leaving") << QStringList{"Wren", "-", "Wren"} << false << 0 << "";
}

void TestBrowser::buddyArrivalToldOnce() {
    QFETCH(QStringList, rounds);
    QFETCH(bool, browserToo);
    QFETCH(int, notices);
    QFETCH(QString, told);
    QVERIFY(Start(2));
    for (int I = 0; I < 2; ++I)
        Browser->AddFavorites(
            {std::make_shared<TMorrowServer>("127.0.0.1", QByteArray::number(Farm->Port(I)))});
    TBuddies Buddies;
    QStringList Names;
    for (int I = 0; I < 1000; ++I)
        Names << QString("Friend%1").arg(I);
    Buddies.SetNames(Names.join('\n') + "\n  wren \nBuddy\n");
    QList<QStringList> Told;
    Buddies.OnAppeared = [&](TBuddies*, const TServerRef& Server, const QStringList& Who) {
        QCOMPARE(Server->QueryPort, QByteArray::number(Farm->Port(0)));
        Told << Who;
    };
    TFavoritesWatch Watch(*Settings, Browser->Favorites);
    Watch.OnServerDone = [&](TFavoritesWatch*, const TServerRef& S) { Buddies.Report(S); };
    Browser->OnServerDone = [&](TBrowser*, const TServerRef& S) { Buddies.Report(S); };
    for (const QString& Round : rounds) {
        TLabServerConfig& Config = Farm->Server(0)->Config;
        Config.Silent = Round == "-";
        Config.Players.clear();
        for (const QString& Name : Round.split(',', Qt::SkipEmptyParts))
            Config.Players << Player(Name);
        QVERIFY(Watch.RunNow());
        if (browserToo) Browser->RefreshFavorites();
        QVERIFY(QTest::qWaitFor([&] { return !Watch.Busy() && !Browser->Updating; }, 15000));
        Buddies.RoundDone();
    }
    QCOMPARE(Told.size(), notices);
    if (notices) QCOMPARE(Told.first().join(','), told);
}

void TestBrowser::joinWhenSlotFrees_data() {
    QTest::addColumn<int>("freeAfter"); // queries before a player leaves; 0: never
    QTest::addColumn<int>("cancelAfter");
    QTest::addColumn<TSlotWatchEnd>("end");
    QTest::addColumn<int>("launches");
    QTest::newRow("a player leaves") << 3 << 0 << TSlotWatchEnd::Launched << 1;
    QTest::newRow("stays full") << 0 << 0 << TSlotWatchEnd::TimedOut << 0;
    QTest::newRow("cancelled") << 0 << 2 << TSlotWatchEnd::Cancelled << 0;
}

void TestBrowser::joinWhenSlotFrees() {
    QFETCH(int, freeAfter);
    QFETCH(int, cancelAfter);
    QFETCH(TSlotWatchEnd, end);
    QFETCH(int, launches);
    QVERIFY(Start(1));
    TLabServerConfig& Config = Farm->Server(0)->Config;
    Config.MaxPlayers = 2;
    Config.HostPort = "7777";
    Config.Players = {Player("Ann"), Player("Wren")};
    // A stand-in game that writes a line each time it is started.
    const QString Game = Home->path() + "/game/";
    QDir().mkpath(Game);
    QFile Script(Game + "fakegame.sh");
    QVERIFY(Script.open(QIODevice::WriteOnly));
    Script.write("#!/bin/sh\necho \"$@\" >> \"$0.runs\"\n");
    Script.close();
    Script.setPermissions(Script.permissions() | QFile::ExeOwner);
    Settings->SetValue(TField::ProgramDir, Game);
    TGameLauncher Launcher(*Settings);
    Launcher.GameExecutable = "fakegame.sh";

    TMorrowServer Listed("127.0.0.1", QByteArray::number(Farm->Port(0)));
    TSlotWatch Watch(Launcher);
    Watch.IntervalMs = 100;
    Watch.LimitMs = 1500;
    QList<TSlotWatchEnd> Ends;
    Watch.OnEnd = [&](TSlotWatch*, TSlotWatchEnd How, const QString&) { Ends << How; };
    Watch.Start(Listed);
    QVERIFY(QTest::qWaitFor(
        [&] {
            const int Asked = Farm->Server(0)->Queries();
            if (freeAfter && Asked >= freeAfter && Config.Players.size() == 2)
                Config.Players.removeLast();
            if (cancelAfter && Asked >= cancelAfter && Watch.Watching()) Watch.Cancel();
            return !Watch.Watching();
        },
        10000));
    const int Asked = Farm->Server(0)->Queries();
    QTest::qWait(400);
    QCOMPARE(Ends.size(), 1);
    QCOMPARE(int(Ends.first()), int(end));
    QCOMPARE(Farm->Server(0)->Queries(), Asked); // nothing is asked once the watch ended
    QFile Runs(Game + "fakegame.sh.runs");
    if (launches) QTRY_VERIFY(Runs.exists());
    QTest::qWait(200);
    const QByteArray Lines = Runs.open(QIODevice::ReadOnly) ? Runs.readAll() : QByteArray();
    QCOMPARE(Lines.count('\n'), launches);
    if (launches) QVERIFY(Lines.startsWith("127.0.0.1:7777"));
}

QTEST_GUILESS_MAIN(TestBrowser)
#include "tst_browser.moc"
