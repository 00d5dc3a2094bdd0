// scoutly-query: asks game servers for their status through the same records the browser
// uses and prints what a list row, the players pane and the rules pane would show.
#include "net/netutils.h"
#include "servers/customserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int MaxInFlight = 10;

struct TTarget {
    QByteArray Text; // as given on the command line
    std::unique_ptr<TCustomServer> Server;
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    QCoreApplication::setApplicationName("scoutly-query");
    QCoreApplication::setApplicationVersion("0.1");

    QCommandLineParser Parser;
    Parser.setApplicationDescription(
        "Queries game servers over UDP and prints their name, ping, players, map, game type, "
        "player list and rules.\nExit status: 0 when every server answered, 2 when any did "
        "not, 1 on bad arguments.");
    Parser.addHelpOption();
    Parser.addVersionOption();
    QCommandLineOption ProtocolOption("protocol",
                                      "Query protocol: morrow (default) or sqp (key/value "
                                      "status of any game).",
                                      "name", "morrow");
    QCommandLineOption JsonOption("json", "Print one JSON document instead of text.");
    Parser.addOption(ProtocolOption);
    Parser.addOption(JsonOption);
    Parser.addPositionalArgument("HOST:PORT", "Server address and query port.", "HOST:PORT...");
    Parser.process(App);

    QTextStream Err(stderr);
    const QString Usage = "usage: scoutly-query [--protocol morrow|sqp] [--json] HOST:PORT...";
    const QString Protocol = Parser.value(ProtocolOption);
    TServerClass Class = nullptr;
    if (Protocol == "morrow")
        Class = &TMorrowServer::Class;
    else if (Protocol == "sqp")
        Class = &TSQPServer::Class;
    const QStringList Addresses = Parser.positionalArguments();
    if (!Class || Addresses.isEmpty()) {
        if (!Class) Err << "scoutly-query: unknown protocol '" << Protocol << "'\n";
        Err << Usage << '\n';
        return 1;
    }

    std::vector<TTarget> Targets;
    for (const QString& Argument : Addresses) {
        const QByteArray Text = Argument.toUtf8();
        const QByteArray Host = HostOf(Text);
        const QByteArray Port = PortOf(Text, "");
        if (Host.isEmpty() || !IsValidPort(Port)) {
            Err << "scoutly-query: '" << Argument << "' is not HOST:PORT\n" << Usage << '\n';
            return 1;
        }
        Targets.push_back({Text, Class->Create(Host, Port)});
    }

    // Keep a bounded number of queries in flight, starting the next as one ends.
    size_t Next = 0;
    int InFlight = 0;
    std::function<void()> Pump;
    const auto Done = [&](TCustomServer*) {
        --InFlight;
        Pump();
    };
    Pump = [&] {
        while (InFlight < MaxInFlight && Next < Targets.size()) {
            ++InFlight;
            Targets[Next++].Server->StartQuery(Done);
        }
        if (InFlight == 0) QCoreApplication::quit();
    };
    QMetaObject::invokeMethod(&App, Pump, Qt::QueuedConnection);
    App.exec();

    bool All = true;
    for (TTarget& Target : Targets) {
        All = All && Target.Server->Responded;
        MarkNotResponding(*Target.Server);
    }

    QTextStream Out(stdout);
    if (Parser.isSet(JsonOption)) {
        QJsonArray Servers;
        for (const TTarget& Target : Targets)
            Servers.append(ToJson(Target));
        Out << QJsonDocument(QJsonObject{{"servers", Servers}}).toJson(QJsonDocument::Indented);
    } else {
        for (const TTarget& Target : Targets)
            PrintText(Out, Target);
    }
    Out.flush();
    Targets.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return All ? 0 : 2;
}
