// scoutly-query: asks game servers for their status through the same records the browser
// uses and prints what a list row, the players pane and the rules pane would show.
#include "masterlist/customserverlist.h"
#include "net/netutils.h"
#include "servers/customserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {

struct TTarget {
    QByteArray Text; // as given on the command line, or address:port from a master
    TServerRef Server;
};

QStringList Texts(const QList<QByteArray>& Strings) {
    QStringList Result;
    for (const QByteArray& S : Strings)
        Result << DisplayText(S);
    return Result;
}

QStringList Captions(const TColumnCaptions& Columns) {
    QStringList Result;
    for (const TColumnCaption& C : Columns)
        Result << C.Caption;
    return Result;
}

// Rows as aligned columns, each line indented.
void PrintTable(QTextStream& Out, const QList<QStringList>& Rows, const QString& Indent) {
    QList<int> Widths;
    for (const QStringList& Row : Rows)
        for (int I = 0; I < Row.size(); ++I) {
            if (Widths.size() <= I) Widths << 0;
            Widths[I] = qMax(Widths[I], int(Row[I].size()));
        }
    for (const QStringList& Row : Rows) {
        QString Line = Indent;
        for (int I = 0; I < Row.size(); ++I)
            Line += I + 1 < Row.size() ? Row[I].leftJustified(Widths[I] + 2) : Row[I];
        while (Line.endsWith(QLatin1Char(' ')))
            Line.chop(1);
        Out << Line << '\n';
    }
}

void PrintText(QTextStream& Out, const TTarget& Target) {
    const auto& Server = static_cast<const TGameServer&>(*Target.Server);
    QList<QByteArray> Row;
    Server.GetColumnTexts(Row);
    Out << DisplayText(Target.Text) << '\n';
    QList<QStringList> Fields;
    const QStringList Names = Captions(Server.ClassType()->ColumnCaptions());
    const QStringList Values = Texts(Row);
    for (int I = 0; I < Names.size() && I < Values.size(); ++I)
        Fields << QStringList{Names[I], Values[I]};
    Fields << QStringList{"Game Port", DisplayText(Server.GamePort)};
    PrintTable(Out, Fields, "  ");

    Out << "  players (" << Server.Players.size() << "):\n";
    if (!Server.Players.empty()) {
        QList<QStringList> Players{Captions(Server.PlayerClass()->ColumnCaptions())};
        for (const auto& Player : Server.Players) {
            QList<QByteArray> Columns;
            Player->GetColumnTexts(Columns);
            Players << Texts(Columns);
        }
        PrintTable(Out, Players, "    ");
    }
    Out << "  rules (" << Server.Rules.size() << "):\n";
    QList<QStringList> Rules;
    for (const TRule& Rule : Server.Rules)
        Rules << QStringList{DisplayText(Rule.Key), DisplayText(Rule.Value)};
    PrintTable(Out, Rules, "    ");
    Out << '\n';
}

QJsonObject ToJson(const TTarget& Target) {
    const auto& Server = static_cast<const TGameServer&>(*Target.Server);
    QJsonArray Players;
    const QStringList PlayerNames = Captions(Server.PlayerClass()->ColumnCaptions());
    for (const auto& Player : Server.Players) {
        QList<QByteArray> Columns;
        Player->GetColumnTexts(Columns);
        QJsonObject P;
        for (int I = 0; I < PlayerNames.size() && I < Columns.size(); ++I)
            P[PlayerNames[I].toLower()] = DisplayText(Columns[I]);
        Players.append(P);
    }
    QJsonArray Rules;
    for (const TRule& Rule : Server.Rules)
        Rules.append(
            QJsonObject{{"key", DisplayText(Rule.Key)}, {"value", DisplayText(Rule.Value)}});
    return QJsonObject{
        {"address", DisplayText(Target.Text)},
        {"responded", Server.Responded},
        {"name", DisplayText(Server.ServerName)},
        {"ping", Server.Ping},
        {"numplayers", Server.NumPlayers},
        {"maxplayers", Server.MaxPlayers},
        {"map", DisplayText(Server.MapName)},
        {"gametype", DisplayText(Server.GameType)},
        {"gamemode", DisplayText(Server.GameMode)},
        {"gameversion", DisplayText(Server.GameVersion)},
        {"gameport", DisplayText(Server.GamePort)},
        {"location", Server.Location},
        {"players", Players},
        {"rules", Rules},
    };
}

// The list that asks for Game with the given protocol; null when they do not go together.
std::unique_ptr<TCustomServerList> MakeList(const QString& Protocol, const QByteArray& Game) {
    if (Protocol == "morrow" && (Game.isEmpty() || Game == "morrow"))
        return std::make_unique<TSQPMorrowServerList>();
    if (Protocol == "hl" && (Game.isEmpty() || Game == "halflife"))
        return std::make_unique<TSQPHLServerList>();
    if (Protocol == "sqp") {
        auto List = std::make_unique<TSQPGenericList>();
        List->SetGameName(Game);
        return List;
    }
    return nullptr;
}

// One line per server as the list fills: address, ping, players, map, game type, name.
void PrintRow(QTextStream& Out, const TTarget& Target) {
    QList<QByteArray> Row;
    Target.Server->GetColumnTexts(Row);
    const QStringList T = Texts(Row);
    Out << DisplayText(Target.Text).leftJustified(21) << ' ' << T[1].rightJustified(5) << "  "
        << T[2].leftJustified(7) << ' ' << T[3].leftJustified(16) << ' ' << T[4].leftJustified(10)
        << ' ' << T[0] << Qt::endl;
}

const char* const Usage =
    "usage: scoutly-query [--protocol morrow|sqp|hl] [--json] [--parallel N] [--rate N] "
    "HOST:PORT...\n"
    "       scoutly-query --master HOST[:PORT]... --game NAME [--protocol morrow|sqp|hl] "
    "[--parallel N] [--rate N] [--json]";

struct TOptions {
    QString Protocol;
    QString Parallel;
    QString Rate;
    bool Json = false;
    bool FromMaster = false;
    QByteArray Master;
    QByteArray Game;
    QStringList Addresses;
};

// --help and --version answer here and end the program, as do unknown options.
TOptions ParseCommandLine(const QCoreApplication& App) {
    QCommandLineParser Parser;
    Parser.setApplicationDescription(
        "Queries game servers over UDP and prints their name, ping, players, map, game type, "
        "player list and rules. With --master, fetches the server list of a game from a master "
        "server and queries every server on it, printing each as it answers, the progress on "
        "stderr and a summary.\n"
        "Exit status: 0 when every server answered, 2 when any did not, 3 when the master "
        "server's list could not be fetched, 1 on bad arguments.");
    Parser.addHelpOption();
    Parser.addVersionOption();
    QCommandLineOption ProtocolOption(
        "protocol",
        "Query protocol: morrow (default), sqp (key/value status of any game) or hl (Half-Life).",
        "name", "morrow");
    QCommandLineOption JsonOption("json", "Print one JSON document instead of text.");
    QCommandLineOption MasterOption(
        "master",
        "Master server (port 28900 unless given); repeat it or give a list separated by blanks, "
        "commas or semicolons to merge the lists of several.",
        "host[:port]");
    QCommandLineOption GameOption("game", "Game whose servers the master lists (with --master).",
                                  "name");
    QCommandLineOption ParallelOption("parallel",
                                      QString("Most queries in flight (%1..%2, default %3).")
                                          .arg(TCustomServerList::MinOutstanding)
                                          .arg(TCustomServerList::MaxOutstandingLimit)
                                          .arg(TCustomServerList::DefaultOutstanding),
                                      "n", QString::number(TCustomServerList::DefaultOutstanding));
    QCommandLineOption RateOption(
        "rate",
        QString("Queries sent per second (%1..%2, default %3; %2: as fast as --parallel allows).")
            .arg(TCustomServerList::MinQueryRate)
            .arg(TCustomServerList::MaxQueryRate)
            .arg(TCustomServerList::DefaultQueryRate),
        "n", QString::number(TCustomServerList::DefaultQueryRate));
    Parser.addOptions(
        {ProtocolOption, JsonOption, MasterOption, GameOption, ParallelOption, RateOption});
    Parser.addPositionalArgument("HOST:PORT", "Server address and query port.", "[HOST:PORT...]");
    Parser.process(App);
    return {Parser.value(ProtocolOption),      Parser.value(ParallelOption),
            Parser.value(RateOption),          Parser.isSet(JsonOption),
            Parser.isSet(MasterOption),        Parser.values(MasterOption).join(' ').toUtf8(),
            Parser.value(GameOption).toUtf8(), Parser.positionalArguments()};
}

// The list to refresh and, without a master, the servers to ask. On bad options: nothing,
// and Complaint says why (empty when the usage alone says it).
std::unique_ptr<TCustomServerList> PrepareList(const TOptions& Options,
                                               std::vector<TTarget>& Targets, QString& Complaint) {
    const QString& Protocol = Options.Protocol;
    const QByteArray& Game = Options.Game;
    bool ParallelOk = false;
    const int Parallel = Options.Parallel.toInt(&ParallelOk);
    bool RateOk = false;
    const int Rate = Options.Rate.toInt(&RateOk);
    if (Protocol != "morrow" && Protocol != "sqp" && Protocol != "hl")
        Complaint = "unknown protocol '" + Protocol + "'";
    else if (!ParallelOk || Parallel < TCustomServerList::MinOutstanding ||
             Parallel > TCustomServerList::MaxOutstandingLimit)
        Complaint = "--parallel takes a number from 1 to 256";
    else if (!RateOk || Rate < TCustomServerList::MinQueryRate ||
             Rate > TCustomServerList::MaxQueryRate)
        Complaint = QString("--rate takes a number from %1 to %2")
                        .arg(TCustomServerList::MinQueryRate)
                        .arg(TCustomServerList::MaxQueryRate);
    else if (Options.FromMaster && !Options.Addresses.isEmpty())
        Complaint = "give either --master or server addresses, not both";
    else if (!Options.FromMaster && Options.Addresses.isEmpty())
        return nullptr;
    else if (Options.FromMaster && Protocol == "sqp" && Game.isEmpty())
        Complaint = "--protocol sqp needs --game NAME";
    if (!Complaint.isEmpty()) return nullptr;
    std::unique_ptr<TCustomServerList> List = MakeList(Protocol, Game);
    if (!List) {
        Complaint =
            "--game " + QString::fromUtf8(Game) + " does not go with --protocol " + Protocol;
        return nullptr;
    }
    List->SetMaxOutstanding(Parallel);
    List->SetQueryRate(Rate);

    if (Options.FromMaster) {
        const QList<TMasterAddress> Masters = ParseMasterList(Options.Master, "28900");
        for (const TMasterAddress& Master : Masters)
            if (Master.first.isEmpty() || !IsValidPort(Master.second)) {
                const QByteArray Named =
                    Masters.size() == 1 ? Options.Master : Master.first + ':' + Master.second;
                Complaint = "'" + QString::fromUtf8(Named) + "' is not HOST[:PORT]";
                return nullptr;
            }
        if (Masters.isEmpty()) {
            Complaint = "'" + QString::fromUtf8(Options.Master) + "' is not HOST[:PORT]";
            return nullptr;
        }
        List->SetMasters(Masters);
        return List;
    }
    for (const QString& Argument : Options.Addresses) {
        const QByteArray Text = Argument.toUtf8();
        const QByteArray Host = HostOf(Text);
        const QByteArray Port = PortOf(Text, "");
        if (Host.isEmpty() || !IsValidPort(Port)) {
            Complaint = "'" + Argument + "' is not HOST:PORT";
            return nullptr;
        }
        Targets.push_back({Text, List->ServerClass()->Create(Host, Port)});
    }
    return List;
}

// One refresh, from the master or of the given servers, with its progress on the way.
struct TRun {
    TRun(const TOptions& Options, TCustomServerList& List, std::vector<TTarget>& Targets,
         QTextStream& Out, QTextStream& Err)
        : Options(Options), List(List), Targets(Targets), Out(Out), Err(Err) {}

    const TOptions& Options;
    TCustomServerList& List;
    std::vector<TTarget>& Targets;
    QTextStream& Out;
    QTextStream& Err;
    QString LastStatus;
    QString Problem; // why the master gave no list, if it did not
    QElapsedTimer Clock;

    void Start(QCoreApplication& App) {
        Clock.start();
        if (Options.FromMaster) {
            List.OnStatus = [this](TCustomServerList*, int Percent, const QString& Text) {
                Status(Percent, Text);
            };
            List.OnServerDone = [this](TCustomServerList*, const TServerRef& Server) {
                MarkNotResponding(*Server);
                Targets.push_back({Server->Address + ':' + Server->QueryPort, Server});
                if (!Options.Json) PrintRow(Out, Targets.back());
            };
        }
        List.OnComplete = [](TCustomServerList*) { QCoreApplication::quit(); };
        QMetaObject::invokeMethod(
            &App,
            [this] {
                if (Options.FromMaster) {
                    List.Refresh();
                } else {
                    QList<TServerRef> Records;
                    for (const TTarget& Target : Targets)
                        Records << Target.Server;
                    List.RefreshServers(Records);
                }
            },
            Qt::QueuedConnection);
    }

    void Status(int Percent, const QString& Text) {
        const QString Line = Percent >= 0 && Text == "Updating Servers"
                                 ? QString("%1 %2%").arg(Text).arg(Percent)
                                 : Text;
        if (Line != LastStatus) Err << Line << Qt::endl;
        LastStatus = Line;
        // "List Timed Out", "Master server: ..." and the like; the end text only repeats the
        // masters that failed.
        if (Text.startsWith("Master server ") ||
            (Percent == 0 && Text != "Updates Complete" && !Text.contains(" - Master server ")))
            Problem = Text;
    }

    // Prints the outcome; the exit status.
    int Report() {
        int Answered = 0;
        for (TTarget& Target : Targets) {
            Answered += Target.Server->Responded;
            MarkNotResponding(*Target.Server);
        }
        const int Listed = int(Options.FromMaster ? List.Servers.size() : Targets.size());
        if (Options.Json)
            PrintJson(Listed, Answered);
        else if (Options.FromMaster)
            Out << QString("%1 servers listed, %2 answered, %3 not responding, %4 s")
                       .arg(Listed)
                       .arg(Answered)
                       .arg(Listed - Answered)
                       .arg(Clock.elapsed() / 1000.0, 0, 'f', 1)
                << '\n';
        else
            for (const TTarget& Target : Targets)
                PrintText(Out, Target);
        Out.flush();
        if (Options.FromMaster && List.Aborted) return 3;
        return Answered == Listed ? 0 : 2;
    }

    void PrintJson(int Listed, int Answered) {
        QJsonArray Servers;
        for (const TTarget& Target : Targets)
            Servers.append(ToJson(Target));
        QJsonObject Doc{{"servers", Servers}};
        if (Options.FromMaster)
            Doc["summary"] = QJsonObject{{"listed", Listed},
                                         {"answered", Answered},
                                         {"notResponding", Listed - Answered},
                                         {"seconds", Clock.elapsed() / 1000.0},
                                         {"problem", Problem}};
        Out << QJsonDocument(Doc).toJson(QJsonDocument::Indented);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    QCoreApplication::setApplicationName("scoutly-query");
    QCoreApplication::setApplicationVersion("0.1");
    const TOptions Options = ParseCommandLine(App);

    QTextStream Err(stderr);
    std::vector<TTarget> Targets;
    QString Complaint;
    std::unique_ptr<TCustomServerList> List = PrepareList(Options, Targets, Complaint);
    if (!List) {
        if (!Complaint.isEmpty()) Err << "scoutly-query: " << Complaint << '\n';
        Err << Usage << '\n';
        return 1;
    }

    QTextStream Out(stdout);
    TRun Run(Options, *List, Targets, Out, Err);
    Run.Start(App);
    App.exec();
    const int Status = Run.Report();
    Targets.clear();
    List.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Status;
}
