// The server list under a full refresh: records reported one by one through the main window's
// ServerUpdated into its visible view, which paints as they come, then the completion sort.
// Then the filter bar: one keystroke at a time in its text box, each timed until the narrowed
// view has painted, over records that now carry players.
// listview_bench [ROWS]
#include "config/settings.h"
#include "ui/shell/filterbar.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/serverview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {

qint64 ResidentBytes() {
    QFile Statm("/proc/self/statm");
    if (!Statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> Fields = Statm.readAll().split(' ');
    return Fields.size() > 1 ? Fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

std::vector<TServerRef> MakeRecords(int Count) {
    static const char* const Words[] = {"Frag",   "Arena",  "Clan",  "Night",  "Iron",
                                        "Storm",  "Public", "Elite", "Noob",   "Dust",
                                        "Castle", "Zone",   "Hell",  "Friday", "Café"};
    static const char* const Maps[] = {"DM-Deck16",  "CTF-Face",  "DM-Morpheus", "AS-Frigate",
                                       "DOM-Cinder", "dm-tundra", "BR-Skyline"};
    static const char* const Types[] = {"DeathMatch", "CTF", "Team DM", "Assault", "Domination"};
    QRandomGenerator Random(1234);
    std::vector<TServerRef> Records;
    Records.reserve(Count);
    for (int I = 0; I < Count; ++I) {
        TServerRef Server(TMorrowServer::Class.Create("10." + QByteArray::number(I >> 16) + '.' +
                                                          QByteArray::number((I >> 8) & 255) + '.' +
                                                          QByteArray::number(I & 255),
                                                      QByteArray::number(7777 + I % 5)));
        auto& Game = static_cast<TGameServer&>(*Server);
        Game.ServerName = QByteArray(Words[Random.bounded(15)]) + ' ' + Words[Random.bounded(15)] +
                          " #" + QByteArray::number(I);
        Game.MapName = Maps[Random.bounded(7)];
        Game.GameType = Types[Random.bounded(5)];
        Game.MaxPlayers = 8 + 4 * Random.bounded(5);
        Game.NumPlayers = Random.bounded(Game.MaxPlayers + 1);
        Game.Responded = Random.bounded(10) != 0;
        Game.Ping = Game.Responded ? 10 + Random.bounded(900) : 9999;
        MarkNotResponding(Game);
        Records.push_back(std::move(Server));
    }
    return Records;
}

void AddPlayers(std::vector<TServerRef>& Records) {
    static const char* const Names[] = {"Bob",    "Ann",  "Zed",         "xXSniperXx",
                                        "Mia",    "Kai",  "Lena",        "Otto",
                                        "Player", "Rook", "\0034Red\017"};
    QRandomGenerator Random(99);
    for (TServerRef& Server : Records) {
        auto& Game = static_cast<TGameServer&>(*Server);
        for (int P = 0; P < Game.NumPlayers; ++P) {
            Game.Players.push_back(Game.PlayerClass()->Create({}));
            Game.Players.back()->Name =
                QByteArray(Names[Random.bounded(11)]) + QByteArray::number(Random.bounded(100));
        }
    }
}

struct TPaintCount : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* Event) override {
        Count += Event->type() == QEvent::Paint;
        return false;
    }
};

// Each keystroke of Keys (backspace as '\b'), timed from the key to the painted view.
void TimeKeystrokes(Tsc_form& Main, const QString& Keys) {
    QLineEdit* Box = Main.filterbar->filtertext;
    QElapsedTimer Clock;
    double Worst = 0, Sum = 0;
    TPaintCount Paints;
    Main.serverview->viewport()->installEventFilter(&Paints);
    for (const QChar Key : Keys) {
        Clock.start();
        if (Key == u'\b')
            Box->backspace();
        else
            Box->insert(Key);
        // The narrowed view is laid out and painted by the events the keystroke leaves.
        QApplication::processEvents();
        QApplication::processEvents();
        const double Ms = Clock.nsecsElapsed() / 1e6;
        Worst = std::max(Worst, Ms);
        Sum += Ms;
        if (!std::exchange(Paints.Count, 0)) std::printf("  (no paint after this keystroke)\n");
        std::printf("  \"%s\": %d of %d rows shown, %.2f ms\n", qPrintable(Box->text()),
                    Main.serverview->ListModel()->rowCount(),
                    Main.serverview->ListModel()->TotalCount(), Ms);
    }
    std::printf("keystrokes: mean %.2f ms, worst %.2f ms (target <= 30 ms)\n", Sum / Keys.size(),
                Worst);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const int Count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

    // A throwaway home with a stand-in game, so no first-start dialog waits for an answer.
    QTemporaryDir Home;
    qputenv("SCOUTLY_HOME", Home.path().toUtf8());
    QDir().mkpath(Home.path() + "/game");
    QFile(Home.path() + "/game/morrow.exe").open(QIODevice::WriteOnly);
    TSettings Settings(TEdition::Morrow());
    Settings.SetValue(TField::ProgramDir, Home.path() + "/game/");
    auto Main = Tsc_form::Create<Tscmorrow_form>(Settings);
    Main->resize(1000, 700);
    Main->show();
    QApplication::processEvents();
    TServerListModel& Model = *Main->serverview->ListModel();

    const qint64 Start = ResidentBytes();
    std::vector<TServerRef> Records = MakeRecords(Count);
    const qint64 WithRecords = ResidentBytes();

    QElapsedTimer Clock;
    Clock.start();
    for (int I = 0; I < Count; ++I) {
        Main->ServerUpdated(Records[I]);
        if (I % 100 == 99) QApplication::processEvents();
    }
    QApplication::processEvents();
    const qint64 AppendNs = Clock.nsecsElapsed();
    Main->ListUpdatesComplete();
    QApplication::processEvents();
    const qint64 TotalNs = Clock.nsecsElapsed();
    const qint64 End = ResidentBytes();

    const double Total = TotalNs / 1e9, Sort = (TotalNs - AppendNs) / 1e9;
    const double PerRow = double(End - Start) / Count,
                 ViewPerRow = double(End - WithRecords) / Count;
    std::printf("%d rows: total %.3f s (target <= 1 s), %.1f us per row, completion sort and "
                "paint %.1f ms\n",
                Count, Total, AppendNs / 1e3 / Count, Sort * 1e3);
    std::printf("resident growth %.0f bytes per row with the records (target <= 2048), %.0f of "
                "them the list's\n",
                PerRow, ViewPerRow);
    std::printf("rows %d, first row \"%s\"\n", Model.rowCount(), qPrintable(Model.Text(0, 0)));

    AddPlayers(Records);
    for (const TServerRef& Server : Records)
        Main->ServerUpdated(Server);
    Main->ShowFilter->trigger();
    QApplication::processEvents();
    Clock.start();
    Main->serverview->viewport()->repaint();
    std::printf("baseline: one paint of the unfiltered view %.2f ms\n", Clock.nsecsElapsed() / 1e6);
    TimeKeystrokes(*Main, "clan\b\b\b\bzed4\b\b\b\b.*");
    return Total <= 1.0 && PerRow <= 2048 ? 0 : 1;
}
