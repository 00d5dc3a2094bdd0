// Query throughput of the record machinery: a lab farm on its own thread answers, this
// thread queries every server through TMorrowServer records with a bounded number in flight.
// A bare QUdpSocket client doing the same exchange is the baseline the records compare with.
#include "benchclock.h"
#include "labgameserver.h"
#include "servers/customserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QUdpSocket>

#include <cstdio>
#include <functional>

namespace {

struct TResult {
    int Answered = 0;
    double WallSeconds = 0;
    double CpuSeconds = 0;
};

// Runs Start(i, Done) for every index with at most InFlight running at once.
TResult Drive(int Count, int InFlight,
              const std::function<void(int, std::function<void(bool)>)>& Start) {
    TResult R;
    int Next = 0, Running = 0;
    QEventLoop Loop;
    std::function<void()> Pump = [&] {
        while (Running < InFlight && Next < Count) {
            ++Running;
            Start(Next++, [&](bool Ok) {
                R.Answered += Ok;
                --Running;
                Pump();
            });
        }
        if (Running == 0) Loop.quit();
    };
    QElapsedTimer Wall;
    Wall.start();
    const double Cpu = ThreadCpuSeconds();
    QMetaObject::invokeMethod(&Loop, Pump, Qt::QueuedConnection);
    Loop.exec();
    R.CpuSeconds = ThreadCpuSeconds() - Cpu;
    R.WallSeconds = Wall.nsecsElapsed() / 1e9;
    return R;
}

TResult RunRecords(const TLabFarmThread& Farm, int InFlight) {
    std::vector<std::unique_ptr<TMorrowServer>> Records;
    for (int I = 0; I < Farm.Count(); ++I)
        Records.push_back(
            std::make_unique<TMorrowServer>("127.0.0.1", QByteArray::number(Farm.Port(I))));
    TResult R = Drive(Farm.Count(), InFlight, [&](int I, std::function<void(bool)> Done) {
        Records[I]->StartQuery([Done](TCustomServer* S) { Done(S->Responded); });
    });
    Records.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return R;
}

// The least a client can do: one socket per query, send, read until \final, parse nothing.
TResult RunBaseline(const TLabFarmThread& Farm, int InFlight) {
    return Drive(Farm.Count(), InFlight, [&](int I, std::function<void(bool)> Done) {
        auto* Sock = new QUdpSocket;
        Sock->setProxy(QNetworkProxy::NoProxy);
        Sock->connectToHost(QHostAddress::LocalHost, Farm.Port(I));
        QObject::connect(Sock, &QUdpSocket::readyRead, [Sock, Done] {
            while (Sock->hasPendingDatagrams())
                if (Sock->receiveDatagram().data().contains("\\final")) {
                    Sock->disconnect();
                    Sock->deleteLater();
                    Done(true);
                    return;
                }
        });
        Sock->write("\\status\\");
    });
}

void Print(const char* Name, const TResult& R) {
    std::printf(
        "%-9s answered %5d  wall %6.3f s  %8.0f answered/s  CPU %6.3f s  %6.1f us CPU/query  "
        "%8.0f answered/CPU-s\n",
        Name, R.Answered, R.WallSeconds, R.Answered / R.WallSeconds, R.CpuSeconds,
        R.CpuSeconds * 1e6 / qMax(1, R.Answered), R.Answered / qMax(1e-9, R.CpuSeconds));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const int Servers = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int InFlight = argc > 2 ? std::atoi(argv[2]) : 10;
    const int Rounds = argc > 3 ? std::atoi(argv[3]) : 3;

    TLabFarmOptions Options;
    Options.MaxPlayers = 16;
    TLabFarmThread Farm;
    if (!Farm.Start(TLabFarm::MakeConfigs(Servers, Options))) {
        std::fprintf(stderr, "query_bench: the lab farm could not listen\n");
        return 1;
    }
    std::printf("query_bench: %d answering lab servers, %d queries in flight, %d rounds\n", Servers,
                InFlight, Rounds);
    TResult Best, BestBase;
    for (int Round = 0; Round < Rounds; ++Round) {
        const TResult Base = RunBaseline(Farm, InFlight);
        const TResult Records = RunRecords(Farm, InFlight);
        Print("baseline", Base);
        Print("records", Records);
        if (Round == 0 || Records.CpuSeconds < Best.CpuSeconds) Best = Records;
        if (Round == 0 || Base.CpuSeconds < BestBase.CpuSeconds) BestBase = Base;
    }
    std::printf("best: records %.0f answered/CPU-s (target >= 10000), %.1f us CPU/query, "
                "%.2fx the baseline's CPU per query\n",
                Best.Answered / qMax(1e-9, Best.CpuSeconds),
                Best.CpuSeconds * 1e6 / qMax(1, Best.Answered),
                (Best.CpuSeconds / qMax(1, Best.Answered)) /
                    qMax(1e-12, BestBase.CpuSeconds / qMax(1, BestBase.Answered)));
    Farm.Stop();
    return Best.Answered == Servers ? 0 : 2;
}
