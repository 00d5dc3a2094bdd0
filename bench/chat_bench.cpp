// The chat window in a busy channel and the News window with a long message, as the program
// builds them (offscreen, docked in the main window). A scripted IRC server on loopback, in a
// thread of its own, fills a channel of 10,000 members, then sends 1,200 mixed JOIN, PART,
// MODE and PRIVMSG lines, then a netsplit: 5,000 QUITs and the 5,000 JOINs that bring them
// back. Each phase ends with a PING; the phase is over when its PONG is back and the windows
// have caught up. Then a one-line News message of NEWS_BYTES is shown.
// chat_bench [NEWS_BYTES]   (default 1048576)
#include "benchclock.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "irc/IRCClient.h"
#include "portal/motd.h"
#include "portal/motdsession.h"
#include "stallwatch.h"
#include "ui/app/program.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/widgets/dockarea.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const int Members = 10000;

std::string Member(int I) {
    char Name[16];
    std::snprintf(Name, sizeof Name, "u%05d", I);
    return Name;
}

// The server's side: one client, one channel, the phases on request.
class TScriptedServer {
public:
    std::atomic<int> Go{-1}, Done{-1};
    std::vector<std::string> Phases;
    std::vector<int> Lines;

    bool Listen() {
        Listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in A{};
        A.sin_family = AF_INET;
        A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t Size = sizeof A;
        if (bind(Listener, reinterpret_cast<sockaddr*>(&A), Size) != 0 || listen(Listener, 1) != 0)
            return false;
        getsockname(Listener, reinterpret_cast<sockaddr*>(&A), &Size);
        Port = ntohs(A.sin_port);
        Thread = std::thread([this] { Run(); });
        return true;
    }
    ~TScriptedServer() {
        Go = 1000;
        if (Client >= 0) shutdown(Client, SHUT_RDWR);
        shutdown(Listener, SHUT_RDWR);
        if (Thread.joinable()) Thread.join();
        if (Client >= 0) close(Client);
        close(Listener);
    }
    int Port = 0;

private:
    void Send(const std::string& Text) {
        for (size_t At = 0; At < Text.size();) {
            const ssize_t N = send(Client, Text.data() + At, Text.size() - At, MSG_NOSIGNAL);
            if (N <= 0) return;
            At += size_t(N);
        }
    }
    // Reads until a line holding Part has come; false when the client is gone.
    bool WaitFor(const std::string& Part) {
        for (;;) {
            size_t End;
            while ((End = Buffer.find("\r\n")) != std::string::npos) {
                const std::string Line = Buffer.substr(0, End);
                Buffer.erase(0, End + 2);
                if (Line.find(Part) != std::string::npos) return true;
            }
            char Chunk[4096];
            const ssize_t N = recv(Client, Chunk, sizeof Chunk, 0);
            if (N <= 0) return false;
            Buffer.append(Chunk, size_t(N));
        }
    }
    void Run() {
        Client = accept(Listener, nullptr, nullptr);
        if (Client < 0 || !WaitFor("USER ")) return;
        Send(":lab.example 001 benchy :Welcome to the bench\r\n:lab.example 376 benchy :End\r\n");
        if (!WaitFor("JOIN")) return;
        Send(":benchy!b@loopback JOIN :#morrow\r\n");
        for (int P = 0; P < int(Phases.size()); ++P) {
            while (Go < P)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (Go >= 1000) return;
            Send(Phases[size_t(P)] + "PING :phase" + std::to_string(P) + "\r\n");
            if (!WaitFor("PONG :phase" + std::to_string(P))) return;
            Done = P;
        }
    }
    int Listener = -1, Client = -1;
    std::string Buffer;
    std::thread Thread;
};

void Script(TScriptedServer& S) {
    std::string Names;
    std::string Line;
    for (int I = 0; I < Members; ++I) {
        if (Line.empty()) Line = ":lab.example 353 benchy = #morrow :@benchy";
        Line += ' ' + std::string(I < 50 ? "@" : I < 250 ? "+" : "") + Member(I);
        if (Line.size() > 400 || I + 1 == Members) Names += Line + "\r\n", Line.clear();
    }
    Names += ":lab.example 366 benchy #morrow :End of NAMES list\r\n";
    S.Phases.push_back(Names);
    S.Lines.push_back(Members / 40);

    std::string Mixed;
    const char* const Modes[] = {"+v", "-v", "+o", "-o"};
    for (int I = 0; I < 1200; ++I) {
        const std::string Who = ':' + Member(I) + "!u@h.example ";
        switch (I % 4) {
        case 0:
            Mixed += ":n" + std::to_string(I) + "!n@h.example JOIN :#morrow\r\n";
            break;
        case 1:
            Mixed += Who + "PART #morrow :later\r\n";
            break;
        case 2:
            Mixed += ":u00000!u@h.example MODE #morrow " + std::string(Modes[(I / 4) % 4]) + ' ' +
                     Member(2000 + I) + "\r\n";
            break;
        default:
            Mixed += Who + "PRIVMSG #morrow :line " + std::to_string(I) + " of the busy hour\r\n";
        }
    }
    S.Phases.push_back(Mixed);
    S.Lines.push_back(1200);

    std::string Split, Rejoin;
    for (int I = 5000; I < Members; ++I) {
        Split += ':' + Member(I) + "!u@h.example QUIT :hub.example leaf.example\r\n";
        Rejoin += ':' + Member(I) + "!u@h.example JOIN :#morrow\r\n";
    }
    S.Phases.push_back(Split);
    S.Lines.push_back(5000);
    S.Phases.push_back(Rejoin);
    S.Lines.push_back(5000);
}

long PeakKiB() {
    QFile Status("/proc/self/status");
    if (!Status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& L : Status.readAll().split('\n'))
        if (L.startsWith("VmHWM:")) return L.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Events handled until the condition holds; the stall watch's timer keeps the loop turning.
template <class F> void Until(F Condition) {
    while (!Condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (int I = 0; I < 3; ++I)
        QCoreApplication::processEvents();
}

struct TFigures {
    double Seconds, CpuPerLine, StallMs;
};

TFigures Phase(TScriptedServer& S, int P, TStallWatch& Watch) {
    const double Cpu = ThreadCpuSeconds();
    QElapsedTimer Clock;
    Clock.start();
    Watch.Start();
    S.Go = P;
    Until([&] { return S.Done >= P; });
    return {Clock.nsecsElapsed() / 1e9, (ThreadCpuSeconds() - Cpu) / S.Lines[size_t(P)] * 1e6,
            Watch.LongestMs()};
}

void News(TProgramWindows& P, qsizetype Bytes, TStallWatch& Watch) {
    TMotdReply Reply;
    Reply.Separated = true;
    Reply.Message.reserve(Bytes);
    static const char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (qsizetype I = 0; I < Bytes; ++I)
        Reply.Message += Alphabet[(I * 7 + I / 64) % 64];
    QElapsedTimer Clock;
    Clock.start();
    Watch.Start();
    P.News->Session->OnMessage(P.News->Session.get(), Reply, true);
    QCoreApplication::processEvents();
    const double Shown = Clock.nsecsElapsed() / 1e9;
    // The rest of the layout, if it goes on in steps, within two seconds.
    while (Clock.elapsed() < Shown * 1000 + 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    qsizetype Letters = 0;
    for (QChar C : P.News->motd_text->toPlainText())
        Letters += C.isLetterOrNumber() || C == '+' || C == '/';
    std::printf("news: %lld bytes on one line shown in %.3f s (target <= 0.5 s), longest stall "
                "%.0f ms (target <= 200 ms), %lld of them in the view\n",
                qlonglong(Bytes), Shown, Watch.LongestMs(), qlonglong(Letters));
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const qsizetype NewsBytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1 << 20;

    TScriptedServer Server;
    Script(Server);
    if (!Server.Listen()) return 2;
    // A throwaway home with a stand-in game, so no first-start dialog waits for an answer.
    QTemporaryDir Home;
    qputenv("SCOUTLY_HOME", Home.path().toUtf8());
    const QString Game = Home.path() + "/game/";
    QDir().mkpath(Game);
    QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
    {
        const QString Fields = "Software\\Scoutly\\tarnwick\\morrow\\config";
        TRegistry Registry;
        Registry.WriteString(Fields, "program_dir_Text", Game);
        Registry.WriteString(Fields, "nick_Text", "benchy");
        Registry.WriteString(Fields, "chatserver_Text", QString("127.0.0.1:%1").arg(Server.Port));
        Registry.WriteString("Software\\Scoutly\\tarnwick\\morrow", "showtips", "X");
    }
    TProgramWindows P;
    P.Main->resize(1000, 700);
    P.Main->show();
    Until([&] { return P.Chat->windowTitle() == "#morrow"; });
    P.Main->pages->Activate(P.Chat);
    TIRCClient* Engine = P.ChatModule->Session->IRCClient1.get();
    TChannel* Channel = Engine->Channels->Find("#morrow");

    TStallWatch Watch;
    const char* const Names[] = {"names (10,000 members)", "mixed 1,200 lines", "netsplit quits",
                                 "netsplit joins"};
    double Longest = 0, Split = 0;
    for (int Ph = 0; Ph < 4; ++Ph) {
        const TFigures F = Phase(Server, Ph, Watch);
        if (Ph > 0) Longest = std::max(Longest, F.StallMs);
        if (Ph >= 2) Split += F.Seconds;
        std::printf("%-24s %7.3f s, %7.1f us UI time per line, longest stall %5.0f ms\n", Names[Ph],
                    F.Seconds, F.CpuPerLine, F.StallMs);
        if (Ph == 1) std::printf("  target: mixed <= 0.25 s\n");
    }
    std::printf("netsplit total %.3f s (target <= 1.5 s); longest stall after the names %.0f ms "
                "(target <= 100 ms)\n",
                Split, Longest);
    std::printf("members %d, names listed %d, peak memory %ld MiB\n", Channel->Members.Count(),
                P.Chat->name_box->model()->rowCount(), PeakKiB() / 1024);
    News(P, NewsBytes, Watch);
    std::printf("peak memory %ld MiB\n", PeakKiB() / 1024);
    return 0;
}
