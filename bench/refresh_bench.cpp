// A whole refresh through the list engine: lab masters and game servers on their own thread,
// the engine on this one.
//   refresh_bench [servers] [silent share] [case...]   cases: paced (default), masters, before,
//   legacy
// paced: the default settings over servers with 20 % silent and 10 % answering after 50 ms;
// wall time to "Updates Complete" and the error of the pings measured on the delayed ones.
// before: the same with the old bound of 10 in flight and no pacing.
// masters: 3 masters with overlapping lists of half the servers each, against one master
// listing them all.
// legacy: answering and mixed farms at 10 and 64 in flight, where silent servers dominate:
// each holds a query slot for two attempts of 2 s.
#include "benchclock.h"
#include "labgameserver.h"
#include "labmaster.h"
#include "masterlist/customserverlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QSet>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int DelayMs = 50;

struct TRun {
    int Listed = 0, Answered = 0;
    double Wall = 0, Cpu = 0;
    QList<TServerRef> Done;
};

// InFlight and Rate 0: the defaults.
TRun Refresh(const QList<quint16>& MasterPorts, int InFlight, int Rate = 0) {
    TSQPMorrowServerList List;
    QList<TMasterAddress> Masters;
    for (const quint16 Port : MasterPorts)
        Masters.append({"127.0.0.1", QByteArray::number(Port)});
    List.SetMasters(Masters);
    if (InFlight) List.SetMaxOutstanding(InFlight);
    if (Rate) List.SetQueryRate(Rate);
    TRun Run;
    QEventLoop Loop;
    List.OnServerDone = [&](TCustomServerList*, const TServerRef& S) {
        Run.Answered += S->Responded;
        Run.Done << S;
    };
    List.OnComplete = [&](TCustomServerList*) { Loop.quit(); };
    QElapsedTimer Wall;
    Wall.start();
    const double Cpu = ThreadCpuSeconds();
    List.Refresh();
    Loop.exec();
    Run.Wall = Wall.nsecsElapsed() / 1e9;
    Run.Cpu = ThreadCpuSeconds() - Cpu;
    Run.Listed = int(List.Servers.size());
    return Run;
}

void Print(const char* Name, int InFlight, const TRun& R, int Silent) {
    std::printf("%-14s %3d in flight: %5d listed, %5d answered, wall %7.2f s, %7.0f servers/s, "
                "engine CPU %.3f s",
                Name, InFlight, R.Listed, R.Answered, R.Wall, R.Listed / R.Wall, R.Cpu);
    if (Silent > 0) {
        const double Bound = double(Silent) / InFlight * 4.0;
        std::printf(", bound %.1f s, ratio %.3f (target <= 1.05)", Bound, R.Wall / Bound);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// Pings of the servers that wait DelayMs before answering, against that delay.
void PrintPings(const TRun& R, const QSet<QByteArray>& Delayed) {
    int Count = 0, Outside = 0, Lost = 0;
    double Sum = 0, Worst = 0;
    QMap<int, int> Spread;
    for (const TServerRef& S : R.Done) {
        if (!Delayed.contains(S->QueryPort)) continue;
        if (!S->Responded) {
            ++Lost;
            continue;
        }
        const double Error = S->Ping - DelayMs;
        ++Count;
        Sum += Error;
        Worst = std::fabs(Error) > std::fabs(Worst) ? Error : Worst;
        Outside += std::fabs(Error) > 3;
        ++Spread[int(Error)];
    }
    std::printf("  ping error spread:");
    for (auto I = Spread.cbegin(); I != Spread.cend(); ++I)
        std::printf(" %+d ms: %d", I.key(), I.value());
    std::printf("\n");
    std::printf("  delayed servers: %d measured, %d lost, ping error mean %+.2f ms, worst %+.0f "
                "ms, %d outside +-3 ms\n",
                Count, Lost, Count ? Sum / Count : 0.0, Worst, Outside);
    std::fflush(stdout);
}

int Paced(int Servers, double SilentShare, bool Before) {
    TLabFarmOptions Options;
    Options.Silent = int(Servers * SilentShare);
    Options.MaxPlayers = 16;
    QList<TLabServerConfig> Configs = TLabFarm::MakeConfigs(Servers, Options);
    QList<int> DelayedIndices;
    for (int I = 0; I < Configs.size() && DelayedIndices.size() < Servers / 10; ++I)
        if (!Configs[I].Silent) {
            Configs[I].DelayMs = DelayMs;
            DelayedIndices << I;
        }
    TLabFarmThread Farm;
    if (!Farm.Start(Configs, 0, TLabMasterConfig{})) return 1;
    QSet<QByteArray> Delayed;
    for (const int I : DelayedIndices)
        Delayed.insert(QByteArray::number(Farm.Port(I)));
    std::printf("%s: %d servers, %d silent, %d answering after %d ms\n",
                Before ? "before" : "paced", Servers, Options.Silent, int(Delayed.size()), DelayMs);
    const int InFlight = Before ? 10 : TCustomServerList::DefaultOutstanding;
    const TRun R = Before ? Refresh({Farm.MasterPort()}, 10, TCustomServerList::MaxQueryRate)
                          : Refresh({Farm.MasterPort()}, 0);
    Print(Before ? "10 in flight" : "defaults", InFlight, R, 0);
    PrintPings(R, Delayed);
    return 0;
}

int Masters(int Servers) {
    TLabFarmOptions Options;
    Options.MaxPlayers = 16;
    TLabFarmThread Farm;
    if (!Farm.Start(TLabFarm::MakeConfigs(Servers, Options), 0, TLabMasterConfig{})) return 1;
    // Three lists of half the servers each, the middle one overlapping both others.
    const int Half = Servers / 2, Quarter = Servers / 4;
    QList<quint16> Ports;
    for (const int First : {0, Quarter, Half}) {
        QList<int> Indices;
        for (int K = First; K < First + Half; ++K)
            Indices << K;
        Ports << Farm.AddMaster(Indices);
    }
    if (Ports.contains(0)) return 1;
    std::printf("masters: %d servers; 3 masters listing %d each, from 0, %d and %d\n", Servers,
                Half, Quarter, Half);
    const TRun One = Refresh({Farm.MasterPort()}, 0);
    Print("one master", TCustomServerList::DefaultOutstanding, One, 0);
    const TRun Three = Refresh(Ports, 0);
    Print("three masters", TCustomServerList::DefaultOutstanding, Three, 0);
    QSet<QByteArray> Seen;
    for (const TServerRef& S : Three.Done)
        Seen.insert(S->QueryPort);
    std::printf("  %d rows, %d distinct; time %.3f of one master's (target <= 1.10)\n",
                int(Three.Done.size()), int(Seen.size()), Three.Wall / One.Wall);
    std::fflush(stdout);
    return 0;
}

int Legacy(int Servers, double SilentShare) {
    const int Silent = int(Servers * SilentShare);
    TLabFarmOptions Mixed;
    Mixed.Silent = Silent;
    Mixed.Split = Servers / 10;
    Mixed.MaxPlayers = 16;
    TLabFarmThread MixedFarm;
    TLabFarmOptions Answering;
    Answering.MaxPlayers = 16;
    TLabFarmThread AnsweringFarm;
    if (!MixedFarm.Start(TLabFarm::MakeConfigs(Servers, Mixed), 0, TLabMasterConfig{}) ||
        !AnsweringFarm.Start(TLabFarm::MakeConfigs(Servers, Answering), 0, TLabMasterConfig{}))
        return 1;
    std::printf("legacy: %d servers per farm; mixed farm: %d silent, %d split replies; unpaced\n",
                Servers, Silent, Servers / 10);
    constexpr int Unpaced = TCustomServerList::MaxQueryRate;
    Print("answering", 10, Refresh({AnsweringFarm.MasterPort()}, 10, Unpaced), 0);
    Print("answering", 64, Refresh({AnsweringFarm.MasterPort()}, 64, Unpaced), 0);
    Print("mixed", 10, Refresh({MixedFarm.MasterPort()}, 10, Unpaced), Silent);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const int Servers = argc > 1 ? std::atoi(argv[1]) : 2000;
    const double SilentShare = argc > 2 ? std::atof(argv[2]) : 0.2;
    QStringList Cases;
    for (int I = 3; I < argc; ++I)
        Cases << QString::fromLocal8Bit(argv[I]);
    if (Cases.isEmpty()) Cases << "paced";
    for (const QString& Case : std::as_const(Cases)) {
        int Status = 2;
        if (Case == "paced" || Case == "before")
            Status = Paced(Servers, SilentShare, Case == "before");
        if (Case == "masters") Status = Masters(Servers);
        if (Case == "legacy") Status = Legacy(Servers, SilentShare);
        if (Status == 2) std::fprintf(stderr, "refresh_bench: unknown case %s\n", qPrintable(Case));
        if (Status == 1) std::fprintf(stderr, "refresh_bench: the lab could not listen\n");
        if (Status) return Status;
    }
    return 0;
}
