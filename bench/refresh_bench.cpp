// A whole refresh through the list engine: lab master and game servers on their own thread,
// the engine on this one. Silent servers dominate: each holds a query slot for two attempts of
// 2 s, so a refresh takes at most silent servers / queries in flight x 4 s.
#include "benchclock.h"
#include "labgameserver.h"
#include "labmaster.h"
#include "masterlist/customserverlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

namespace {

struct TRun {
    int Listed = 0, Answered = 0;
    double Wall = 0, Cpu = 0;
};

TRun Refresh(quint16 MasterPort, int InFlight) {
    TSQPMorrowServerList List;
    List.MasterHost = "127.0.0.1";
    List.MasterPort = QByteArray::number(MasterPort);
    List.SetMaxOutstanding(InFlight);
    TRun Run;
    QEventLoop Loop;
    List.OnServerDone = [&](TCustomServerList*, const TServerRef& S) {
        Run.Answered += S->Responded;
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const int Servers = argc > 1 ? std::atoi(argv[1]) : 2000;
    const double SilentShare = argc > 2 ? std::atof(argv[2]) : 0.2;
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
        !AnsweringFarm.Start(TLabFarm::MakeConfigs(Servers, Answering), 0, TLabMasterConfig{})) {
        std::fprintf(stderr, "refresh_bench: the lab could not listen\n");
        return 1;
    }
    std::printf("refresh_bench: %d servers per farm; mixed farm: %d silent, %d split replies\n",
                Servers, Silent, Servers / 10);
    std::fflush(stdout);
    Print("answering", 10, Refresh(AnsweringFarm.MasterPort(), 10), 0);
    Print("answering", 64, Refresh(AnsweringFarm.MasterPort(), 64), 0);
    Print("mixed", 10, Refresh(MixedFarm.MasterPort(), 10), Silent);
    return 0;
}
