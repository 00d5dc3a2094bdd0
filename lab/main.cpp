// scoutly-lab: loopback stand-ins for the servers Scoutly Lite talks to, for tests,
// benchmarks and the demo.
#include "labchatbot.h"
#include "labgameserver.h"
#include "labmotd.h"
#include "labweb.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
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
    // Once every stand-in listens, so they can point at each other.
    virtual void AllStarted() {}
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

QByteArray Address(quint16 Port) {
    return "127.0.0.1:" + QByteArray::number(Port);
}

class TGameService : public TLabService {
public:
    void AddOptions(QCommandLineParser& Parser) override {
        Parser.addOptions({
            {"base-port", "Game servers listen on P, P+1, ... (default 0: any free ports).", "P"},
            {"servers", "Number of game servers (default 8).", "N"},
            {"silent", "N of them never answer.", "N"},
            {"silent-share", "A fraction S (0 to 1) of them never answer (instead of --silent).",
             "S"},
            {"split", "N of them split each reply over 2-4 datagrams.", "N"},
            {"no-final", "N of them never send \\final\\.", "N"},
            {"garbage", "N of them answer with random bytes.", "N"},
            {"delay-ms", "Each server waits a random 0..D ms before answering (default 0).", "D"},
            {"max-players", "Most player slots on any server (default 32).", "N"},
            {"seed", "Seed for names, maps, players and rules (default 1).", "S"},
            {"hl-servers",
             "Number of Half-Life servers on free ports (default 0); they share --delay-ms, "
             "--max-players and --seed.",
             "M"},
            {"friends",
             "N answering servers have the chat bots among their players; the first two are "
             "full, and on the second a slot frees for 20 s of every minute.",
             "N"},
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
        int Seed = int(Options.Seed), HLServers = 0, Friends = 0;
        if (!ReadInt(Parser, "seed", 0, INT_MAX, Seed, Error) ||
            !ReadInt(Parser, "hl-servers", 0, 60000, HLServers, Error) ||
            !ReadInt(Parser, "friends", 0, Servers, Friends, Error))
            return Error;
        Options.Seed = quint32(Seed);
        if (Parser.isSet("silent-share")) {
            if (Parser.isSet("silent")) return "--silent and --silent-share exclude each other";
            bool Ok = false;
            const double Share = Parser.value("silent-share").toDouble(&Ok);
            if (!Ok || Share < 0 || Share > 1)
                return "--silent-share wants a fraction from 0 to 1, not \"" +
                       Parser.value("silent-share") + '"';
            Options.Silent = qRound(Share * Servers);
        }
        if (Options.Silent + Options.Split + Options.NoFinal + Options.Garbage > Servers)
            return "--silent, --split, --no-final and --garbage together exceed --servers";
        if (Base && Base + Servers - 1 > 65535) return "--base-port leaves too few ports";

        if (!FFarm.Start(TLabFarm::MakeConfigs(Servers, Options), quint16(Base)))
            return Base ? QStringLiteral("cannot listen on UDP 127.0.0.1:%1-%2")
                              .arg(Base)
                              .arg(Base + Servers - 1)
                        : QStringLiteral("cannot open %1 UDP sockets").arg(Servers);
        SeatFriends(Friends);
        TLabFarmOptions HLOptions;
        HLOptions.MaxDelayMs = Options.MaxDelayMs;
        HLOptions.MaxPlayers = Options.MaxPlayers;
        HLOptions.Seed = Options.Seed;
        if (!FFarm.StartHL(TLabFarm::MakeHLConfigs(HLServers, HLOptions)))
            return QStringLiteral("cannot open %1 more UDP sockets").arg(HLServers);
        return {};
    }

    QList<QByteArray> Lines() const override {
        QList<QByteArray> Lines;
        for (int I = 0; I < FFarm.Count(); ++I)
            Lines.append("game " + Address(FFarm.Port(I)) + ' ' + FFarm.Server(I)->Config.HostName);
        for (int I = 0; I < FFarm.HLCount(); ++I)
            Lines.append("hl " + Address(FFarm.HLPort(I)) + ' ' + FFarm.HLServer(I)->Config.Name);
        return Lines;
    }

    QList<QByteArray> Entries() const {
        QList<QByteArray> Entries;
        for (int I = 0; I < FFarm.Count(); ++I)
            Entries.append(Address(FFarm.Port(I)));
        return Entries;
    }

    QList<QByteArray> HLEntries() const {
        QList<QByteArray> Entries;
        for (int I = 0; I < FFarm.HLCount(); ++I)
            Entries.append(Address(FFarm.HLPort(I)));
        return Entries;
    }

private:
    // The bots' nicks as players, so buddies and joining when a slot frees can be tried.
    void SeatFriends(int Count) {
        static const QList<QByteArray> Bots{"Scout", "Thorn", "Lyra", "Kestrel", "Rook", "Wren"};
        // The farm's made-up players borrow some of these names; they take others, so a
        // bot plays only where it is seated here.
        static const QList<QByteArray> Others{"Sten", "Brand", "Ilse", "Falk", "Dag", "Odo"};
        for (int I = 0; I < FFarm.Count(); ++I)
            for (TLabPlayer& P : FFarm.Server(I)->Config.Players)
                for (int B = 0; B < Bots.size(); ++B)
                    if (P.Name.startsWith(Bots[B])) P.Name.replace(0, Bots[B].size(), Others[B]);
        QList<TLabServerConfig*> Chosen;
        for (int I = 0; I < FFarm.Count() && Chosen.size() < Count; ++I) {
            TLabServerConfig& C = FFarm.Server(I)->Config;
            if (!C.Silent && !C.NoFinal && !C.Garbage && C.RawDatagrams.isEmpty()) Chosen << &C;
        }
        for (int I = 0; I < Chosen.size(); ++I) {
            TLabServerConfig& C = *Chosen[I];
            C.NumPlayers = -1;
            if (C.Players.isEmpty()) {
                TLabPlayer Alone;
                Alone.Id = "1";
                Alone.Mesh = "Elf";
                Alone.Skin = "Ranger";
                Alone.Frags = 12;
                Alone.Ping = 48;
                C.Players.append(Alone);
            }
            C.Players.first().Name = Bots[I % Bots.size()];
            while (I < 2 && C.Players.size() < C.MaxPlayers) {
                TLabPlayer Extra = C.Players.first();
                Extra.Name = "Guest" + QByteArray::number(C.Players.size());
                C.Players.append(Extra);
            }
        }
        if (Chosen.size() < 2) return;
        TLabServerConfig* Busy = Chosen[1];
        FSlotTimer.setSingleShot(true);
        QObject::connect(&FSlotTimer, &QTimer::timeout, [this, Busy] {
            if (Busy->Players.size() >= Busy->MaxPlayers) {
                FAway = Busy->Players.takeLast();
                FSlotTimer.start(20000);
            } else {
                Busy->Players.append(FAway);
                FSlotTimer.start(40000);
            }
        });
        FSlotTimer.start(40000);
    }

    TLabFarm FFarm;
    QTimer FSlotTimer;
    TLabPlayer FAway;
};

// Lists the game servers of both kinds; started only with --master-port.
class TMasterService : public TLabService {
public:
    explicit TMasterService(const TGameService& Games) : FGames(Games) {}

    void AddOptions(QCommandLineParser& Parser) override {
        Parser.addOptions({
            {"master-port", "Start the master server on TCP port P (0: any free port).", "P"},
            {"game",
             "Game name the master lists the key/value servers under (default morrow); "
             "the Half-Life servers are listed under halflife.",
             "NAME"},
            {"master-segment", "The master sends its list in pieces of BYTES bytes.", "BYTES"},
            {"master-delay-ms", "The master waits MS ms before each piece of its list.", "MS"},
            {"master-no-final", "The master never sends \\final\\."},
            {"master-silent", "The master accepts connections and never sends anything."},
            {"master-garbage", "The master puts \\junk\\xx between the list's entries."},
            {"master-close-after", "The master closes after N entries, without \\final\\.", "N"},
        });
    }

    QString Start(const QCommandLineParser& Parser) override {
        static const QStringList Tuning{
            "game",          "master-segment", "master-delay-ms",   "master-no-final",
            "master-silent", "master-garbage", "master-close-after"};
        if (!Parser.isSet("master-port")) {
            for (const QString& Name : Tuning)
                if (Parser.isSet(Name)) return "--" + Name + " needs --master-port";
            return {};
        }
        int Port = 0;
        TLabMasterConfig& C = FMaster.Config;
        QString Error;
        if (!ReadInt(Parser, "master-port", 0, 65535, Port, Error) ||
            !ReadInt(Parser, "master-segment", 1, INT_MAX, C.SegmentBytes, Error) ||
            !ReadInt(Parser, "master-delay-ms", 0, 600000, C.SegmentDelayMs, Error) ||
            !ReadInt(Parser, "master-close-after", 0, INT_MAX, C.CloseAfterEntries, Error))
            return Error;
        FGame = Parser.isSet("game") ? Parser.value("game").toUtf8() : QByteArray("morrow");
        if (FGame.isEmpty() || FGame.contains('\\') || FGame == "halflife")
            return "--game wants a name without backslashes, other than halflife";
        C.NoFinal = Parser.isSet("master-no-final");
        C.Silent = Parser.isSet("master-silent");
        if (Parser.isSet("master-garbage")) C.GarbageBetween = "\\junk\\xx";
        if (!FMaster.Listen(quint16(Port)))
            return QStringLiteral("cannot listen on TCP 127.0.0.1:%1").arg(Port);
        FListening = true;
        return {};
    }

    void AllStarted() override {
        FMaster.Config.Lists[FGame] = FGames.Entries();
        FMaster.Config.Lists["halflife"] = FGames.HLEntries();
    }

    QList<QByteArray> Lines() const override {
        if (!FListening) return {};
        return {"master " + Address(FMaster.Port())};
    }

private:
    const TGameService& FGames;
    TLabMasterServer FMaster;
    QByteArray FGame;
    bool FListening = false;
};

// Bots in a channel of an IRC server that runs elsewhere; started only with --chat-server.
class TChatService : public TLabService {
public:
    void AddOptions(QCommandLineParser& Parser) override {
        Parser.addOptions({
            {"chat-server",
             "Bots join a channel on the IRC server at HOST:PORT (port default 6667).",
             "HOST:PORT"},
            {"chat-channel", "The bots' channel (default #morrow).", "NAME"},
            {"chat-bots",
             "Number of bots (default 1: Scout, who greets newcomers and answers !help, "
             "!servers, hi and private messages); each one more talks about the game.",
             "N"},
            {"chat-interval-ms",
             "Each talker posts a line every A to B ms, at random (default 4000-9000).", "A-B"},
        });
    }

    QString Start(const QCommandLineParser& Parser) override {
        static const QStringList Tuning{"chat-channel", "chat-bots", "chat-interval-ms"};
        if (!Parser.isSet("chat-server")) {
            for (const QString& Name : Tuning)
                if (Parser.isSet(Name)) return "--" + Name + " needs --chat-server";
            return {};
        }
        const auto Server = QRegularExpression("^\\[?([^\\[\\]]+?)\\]?(?::(\\d+))?$")
                                .match(Parser.value("chat-server"));
        const uint Port = Server.captured(2).isEmpty() ? 6667 : Server.captured(2).toUInt();
        if (!Server.hasMatch() || Port == 0 || Port > 65535)
            return "--chat-server wants HOST:PORT, not \"" + Parser.value("chat-server") + '"';
        FHost = Server.captured(1);
        FPort = quint16(Port);
        FChannel = Parser.isSet("chat-channel") ? Parser.value("chat-channel").toUtf8() : "#morrow";
        if (FChannel.size() < 2 || !QByteArray("#&").contains(FChannel[0]) ||
            FChannel.contains(' ') || FChannel.contains(',') || FChannel.contains('\x07'))
            return "--chat-channel wants a name starting with # or &, without spaces or commas";
        int Bots = 1, Min = 4000, Max = 9000;
        QString Error;
        if (!ReadInt(Parser, "chat-bots", 1, 50, Bots, Error)) return Error;
        if (Parser.isSet("chat-interval-ms")) {
            const auto Range = QRegularExpression("^(\\d{1,6})(?:-(\\d{1,6}))?$")
                                   .match(Parser.value("chat-interval-ms"));
            Min = Range.captured(1).toInt();
            Max = Range.captured(2).isEmpty() ? Min : Range.captured(2).toInt();
            if (!Range.hasMatch() || Min < 100 || Max < Min)
                return "--chat-interval-ms wants A-B with 100 <= A <= B, not \"" +
                       Parser.value("chat-interval-ms") + '"';
        }

        static const QList<QByteArray> Names{"Thorn", "Lyra", "Kestrel", "Rook", "Wren"};
        QList<QByteArray> Talkers;
        for (int I = 0; I < Bots - 1; ++I)
            Talkers.append(Names[I % Names.size()] +
                           (I < Names.size() ? "" : QByteArray::number(I / Names.size() + 1)));
        const auto Add = [&](TLabChatBotConfig C) {
            C.Channel = FChannel;
            C.Seed = QRandomGenerator::global()->generate();
            FBots.push_back(std::make_unique<TLabChatBot>(C));
        };
        TLabChatBotConfig Helper;
        Helper.Topic = "Welcome to " + FChannel + " — play nice, frag hard";
        Add(Helper);
        for (const QByteArray& Nick : Talkers) {
            TLabChatBotConfig C;
            C.Nick = Nick;
            C.Helper = false;
            C.Talker = true;
            C.MinIntervalMs = Min;
            C.MaxIntervalMs = Max;
            C.Friends = Talkers;
            Add(C);
        }

        // The helper goes first so it opens the channel and sets the topic.
        QEventLoop Wait;
        const auto AllIn = [this] {
            return std::all_of(FBots.begin(), FBots.end(), [](auto& B) { return B->InChannel(); });
        };
        for (const auto& Bot : FBots)
            QObject::connect(Bot.get(), &TLabChatBot::Joined, &Wait, [&, AllIn] {
                if (AllIn()) Wait.quit();
            });
        QObject::connect(
            FBots.front().get(), &TLabChatBot::Joined, FBots.front().get(),
            [this] {
                for (std::size_t I = 1; I < FBots.size(); ++I)
                    FBots[I]->Start(FHost, FPort);
            },
            Qt::SingleShotConnection);
        // Nobody answering is no reason to hold up the rest of the lab.
        QObject::connect(FBots.front().get(), &TLabChatBot::Failed, &Wait, [&] {
            if (!FBots.front()->InChannel()) Wait.quit();
        });
        FBots.front()->Start(FHost, FPort);
        QTimer::singleShot(4000, &Wait, &QEventLoop::quit);
        Wait.exec();
        FJoined =
            int(std::count_if(FBots.begin(), FBots.end(), [](auto& B) { return B->InChannel(); }));
        if (FJoined < Bots)
            std::fprintf(
                stderr,
                "scoutly-lab: only %d of %d chat bots are in %s on %s:%u (%s); they keep trying\n",
                FJoined, Bots, FChannel.constData(), qPrintable(FHost), FPort,
                qPrintable(FBots.front()->LastError().isEmpty() ? QStringLiteral("no answer")
                                                                : FBots.front()->LastError()));
        return {};
    }

    QList<QByteArray> Lines() const override {
        if (FBots.empty()) return {};
        return {"chat " + FHost.toUtf8() + ':' + QByteArray::number(FPort) + ' ' + FChannel + ' ' +
                QByteArray::number(FJoined)};
    }

private:
    QString FHost;
    quint16 FPort = 0;
    QByteArray FChannel;
    std::vector<std::unique_ptr<TLabChatBot>> FBots;
    int FJoined = 0;
};

// The message-of-the-day server (--motd-port) and the web server for banners and the ticker
// (--http-port), each started only when its port is given.
class TPortalService : public TLabService {
public:
    void AddOptions(QCommandLineParser& Parser) override {
        Parser.addOptions({
            {"motd-port",
             "Start the message-of-the-day server on UDP and TCP port P, the same number for "
             "both (0: any port free for both).",
             "P"},
            {"motd-text",
             "The message from FILE (plain text, or RTF) instead of the built-in RTF news.",
             "FILE"},
            {"motd-header",
             "A header line NAME=VALUE ahead of the message, a setting the program stores "
             "(repeatable).",
             "NAME=VALUE"},
            {"motd-expired", "Separate the message with MOTD-EXPIRED instead of MOTD."},
            {"motd-crlf", "End the reply's lines with CR LF instead of LF."},
            {"http-port",
             "Start the web server for banners and the news ticker on TCP port P (0: any free "
             "port).",
             "P"},
        });
    }

    QString Start(const QCommandLineParser& Parser) override {
        static const QStringList Tuning{"motd-text", "motd-header", "motd-expired", "motd-crlf"};
        QString Error;
        if (Parser.isSet("http-port")) {
            int Port = 0;
            if (!ReadInt(Parser, "http-port", 0, 65535, Port, Error)) return Error;
            FWeb = std::make_unique<TLabWebServer>();
            if (!FWeb->Listen(quint16(Port)))
                return QStringLiteral("cannot listen on TCP 127.0.0.1:%1").arg(Port);
            FWeb->AddDemoDocuments();
        }
        if (!Parser.isSet("motd-port")) {
            for (const QString& Name : Tuning)
                if (Parser.isSet(Name)) return "--" + Name + " needs --motd-port";
            return {};
        }
        int Port = 0;
        if (!ReadInt(Parser, "motd-port", 0, 65535, Port, Error)) return Error;
        TLabMotdConfig Config;
        for (const QString& Header : Parser.values("motd-header")) {
            const qsizetype Equals = Header.indexOf('=');
            if (Equals < 1 || Header.contains('\n') || Header.contains('\r'))
                return "--motd-header wants NAME=VALUE on one line, not \"" + Header + '"';
            Config.Headers.append(Header.toUtf8());
        }
        Config.Expired = Parser.isSet("motd-expired");
        if (Parser.isSet("motd-crlf")) Config.LineBreak = "\r\n";
        if (Parser.isSet("motd-text")) {
            QFile File(Parser.value("motd-text"));
            if (!File.open(QIODevice::ReadOnly))
                return "cannot read --motd-text " + File.fileName() + ": " + File.errorString();
            Config.Message = File.readAll();
        } else {
            Config.Message = LabDemoMotd(FWeb ? FWeb->Url("/news")
                                              : QByteArray("http://www.morrowgame.example/"));
        }
        // A UDP client gets the whole reply in one datagram or not at all.
        if (const qsizetype Size = Config.Reply().size(); Size > LabMaxDatagram)
            return QStringLiteral("the message-of-the-day reply is %1 bytes, more than one UDP "
                                  "datagram holds (%2)")
                .arg(Size)
                .arg(LabMaxDatagram);
        FMotd = std::make_unique<TLabMotdServer>(Config);
        if (!FMotd->Listen(quint16(Port)))
            return Port ? QStringLiteral("cannot listen on UDP and TCP 127.0.0.1:%1").arg(Port)
                        : QStringLiteral("cannot find a port free for both UDP and TCP");
        return {};
    }

    QList<QByteArray> Lines() const override {
        QList<QByteArray> Lines;
        if (FMotd) Lines.append("motd " + Address(FMotd->Port()));
        if (FWeb) Lines.append("http " + Address(FWeb->Port()));
        return Lines;
    }

private:
    std::unique_ptr<TLabMotdServer> FMotd;
    std::unique_ptr<TLabWebServer> FWeb;
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

    // In the order of their lines.
    std::vector<std::unique_ptr<TLabService>> Services;
    auto Games = std::make_unique<TGameService>();
    Services.push_back(std::make_unique<TMasterService>(*Games));
    Services.push_back(std::move(Games));
    Services.push_back(std::make_unique<TChatService>());
    Services.push_back(std::make_unique<TPortalService>());

    QCommandLineParser Parser;
    Parser.setApplicationDescription(
        "Local stand-ins for the servers Scoutly Lite talks to, all on 127.0.0.1.\n"
        "Game servers answer the UDP key/value status query (\\status\\, and \\basic\\,\n"
        "\\info\\, \\rules\\, \\players\\); Half-Life servers answer the binary info,\n"
        "players and rules queries. The master server (TCP) sends a challenge, checks the\n"
        "client's validation and lists the servers of the requested game.\n"
        "With --chat-server, bots join a channel of an IRC server that runs elsewhere: Scout\n"
        "greets whoever joins, sets the topic and answers !help, !servers, hi and private\n"
        "messages; the others chat about the game. If they are not all in after 4 s, a note\n"
        "goes to stderr and they keep trying.\n"
        "The message-of-the-day server answers MOTD| requests over UDP and over HTTP GET\n"
        "(percent-encoded after the \"?\") and takes in TIME| usage reports. The web server\n"
        "serves /banner.gif (after 20 bytes of junk), /banner-late.gif (after 160),\n"
        "/banner.jpg, /banner.png, /banner.html, /banner (.gif and .jpg in turn), /click,\n"
        "/news and /ticker.txt; query strings are ignored.\n\n"
        "Once everything listens it prints one line per server,\n"
        "  master 127.0.0.1:PORT\n"
        "  game 127.0.0.1:PORT <host name>\n"
        "  hl 127.0.0.1:PORT <server name>\n"
        "  chat HOST:PORT CHANNEL BOTS   (BOTS: how many have joined)\n"
        "  motd 127.0.0.1:PORT           (UDP and TCP)\n"
        "  http 127.0.0.1:PORT\n"
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
        Service->AllStarted();
    for (const auto& Service : Services)
        for (const QByteArray& Line : Service->Lines())
            std::printf("%s\n", Line.constData());
    std::printf("ready\n");
    std::fflush(stdout);

    if (Duration > 0) QTimer::singleShot(int(Duration * 1000), &App, &QCoreApplication::quit);
    return App.exec();
}
