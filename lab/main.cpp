// scoutly-lab: loopback stand-ins for the servers Scoutly Lite talks to, for tests,
// benchmarks and the demo.
#include "labgameserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// One stand-in: declares its options, starts from the parsed command line and reports
// what it serves as lines "<kind> 127.0.0.1:PORT <details>".
class TLabService {
public:
    virtual ~TLabService() = default;
    virtual void AddOptions(QCommandLineParser& Parser) = 0;
    virtual QString Start(const QCommandLineParser& Parser) = 0; // error message, empty when up
    virtual QList<QByteArray> Lines() const = 0;
};

// Reads an integer option in [Min, Max] into Value (untouched when absent).
bool ReadInt(const QCommandLineParser& Parser, const QString& Name, int Min, int Max, int& Value,
             QString& Error) {
    if (!Parser.isSet(Name)) return true;
    bool Ok = false;
    const int V = Parser.value(Name).toInt(&Ok);
    if (Ok && V >= Min && V <= Max) {
        Value = V;
        return true;
    }
    Error = QStringLiteral("--%1 wants a whole number from %2 to %3, not \"%4\"")
                .arg(Name)
                .arg(Min)
                .arg(Max)
                .arg(Parser.value(Name));
    return false;
}

class TGameService : public TLabService {
public:
    void AddOptions(QCommandLineParser& Parser) override {
        Parser.addOptions({
            {"base-port", "Game servers listen on P, P+1, ... (default 0: any free ports).", "P"},
            {"servers", "Number of game servers (default 8).", "N"},
            {"silent", "N of them never answer.", "N"},
            {"split", "N of them split each reply over 2-4 datagrams.", "N"},
            {"no-final", "N of them never send \\final\\.", "N"},
            {"garbage", "N of them answer with random bytes.", "N"},
            {"delay-ms", "Each server waits a random 0..D ms before answering (default 0).", "D"},
            {"max-players", "Most player slots on any server (default 32).", "N"},
            {"seed", "Seed for names, maps, players and rules (default 1).", "S"},
        });
    }

    QString Start(const QCommandLineParser& Parser) override {
        int Base = 0, Servers = 8;
        TLabFarmOptions Options;
        QString Error;
        if (!ReadInt(Parser, "base-port", 0, 65535, Base, Error) ||
            !ReadInt(Parser, "servers", 0, 60000, Servers, Error) ||
            !ReadInt(Parser, "silent", 0, Servers, Options.Silent, Error) ||
            !ReadInt(Parser, "split", 0, Servers, Options.Split, Error) ||
            !ReadInt(Parser, "no-final", 0, Servers, Options.NoFinal, Error) ||
            !ReadInt(Parser, "garbage", 0, Servers, Options.Garbage, Error) ||
            !ReadInt(Parser, "delay-ms", 0, 600000, Options.MaxDelayMs, Error) ||
            !ReadInt(Parser, "max-players", 1, 255, Options.MaxPlayers, Error))
            return Error;
        int Seed = int(Options.Seed);
        if (!ReadInt(Parser, "seed", 0, INT_MAX, Seed, Error)) return Error;
        Options.Seed = quint32(Seed);
        if (Options.Silent + Options.Split + Options.NoFinal + Options.Garbage > Servers)
            return "--silent, --split, --no-final and --garbage together exceed --servers";
        if (Base && Base + Servers - 1 > 65535) return "--base-port leaves too few ports";

        if (!FFarm.Start(TLabFarm::MakeConfigs(Servers, Options), quint16(Base)))
            return Base ? QStringLiteral("cannot listen on UDP 127.0.0.1:%1-%2")
                              .arg(Base)
                              .arg(Base + Servers - 1)
                        : QStringLiteral("cannot open %1 UDP sockets").arg(Servers);
        return {};
    }

    QList<QByteArray> Lines() const override {
        QList<QByteArray> Lines;
        for (int I = 0; I < FFarm.Count(); ++I)
            Lines.append("game 127.0.0.1:" + QByteArray::number(FFarm.Port(I)) + ' ' +
                         FFarm.Server(I)->Config.HostName);
        return Lines;
    }

private:
    TLabFarm FFarm;
};

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char Byte = 0;
    [[maybe_unused]] const ssize_t Written = ::write(SignalPipe[1], &Byte, 1);
}

// Qt must not be called from a signal handler; the pipe wakes the event loop instead.
bool QuitOnSignals(QCoreApplication& App) {
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    auto* Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, &App);
    QObject::connect(Notifier, &QSocketNotifier::activated, &App, &QCoreApplication::quit);
    struct sigaction Action {};
    Action.sa_handler = OnSignal;
    sigemptyset(&Action.sa_mask);
    return sigaction(SIGINT, &Action, nullptr) == 0 && sigaction(SIGTERM, &Action, nullptr) == 0;
}

int Fail(const QString& Message) {
    std::fprintf(stderr, "scoutly-lab: %s\n", qPrintable(Message));
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    QCoreApplication::setApplicationName("scoutly-lab");

    std::vector<std::unique_ptr<TLabService>> Services;
    Services.push_back(std::make_unique<TGameService>());

    QCommandLineParser Parser;
    Parser.setApplicationDescription(
        "Local stand-ins for the servers Scoutly Lite talks to, all on 127.0.0.1.\n"
        "Game servers answer the UDP key/value status query (\\status\\, and \\basic\\,\n"
        "\\info\\, \\rules\\, \\players\\).\n\n"
        "Once everything listens it prints one line per server,\n"
        "  game 127.0.0.1:PORT <host name>\n"
        "then the line \"ready\". It runs until SIGINT or SIGTERM (exit status 0) or until\n"
        "--duration elapses. Bad arguments or ports in use: a message on stderr, exit status 1.");
    Parser.addHelpOption();
    Parser.addOption({"duration", "Exit after SECONDS (default: run until signalled).", "SECONDS"});
    for (const auto& Service : Services)
        Service->AddOptions(Parser);

    if (!Parser.parse(App.arguments())) return Fail(Parser.errorText());
    if (Parser.isSet("help")) Parser.showHelp(0);
    if (!Parser.positionalArguments().isEmpty())
        return Fail("unexpected argument " + Parser.positionalArguments().first());
    double Duration = 0;
    if (Parser.isSet("duration")) {
        bool Ok = false;
        Duration = Parser.value("duration").toDouble(&Ok);
        if (!Ok || Duration <= 0 || Duration > 1e6)
            return Fail("--duration wants a positive number of seconds");
    }
    if (!QuitOnSignals(App)) return Fail("cannot watch SIGINT and SIGTERM");

    for (const auto& Service : Services)
        if (const QString Error = Service->Start(Parser); !Error.isEmpty()) return Fail(Error);
    for (const auto& Service : Services)
        for (const QByteArray& Line : Service->Lines())
            std::printf("%s\n", Line.constData());
    std::printf("ready\n");
    std::fflush(stdout);

    if (Duration > 0) QTimer::singleShot(int(Duration * 1000), &App, &QCoreApplication::quit);
    return App.exec();
}
