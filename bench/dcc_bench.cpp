// File transfer over loopback: our sender to our receiver in one event loop, with the
// 512-byte blocks and an acknowledgement for each. Prints MB/s and CPU time.
// dcc_bench [MEGABYTES]   (default 64)
#include "benchclock.h"
#include "irc/dcc.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const qint64 Megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 64;
    if (Megabytes <= 0) {
        std::fprintf(stderr, "usage: dcc_bench [MEGABYTES]\n");
        return 1;
    }
    QTemporaryDir Dir;
    const QString Source = Dir.filePath("source"), Target = Dir.filePath("target");
    {
        QFile F(Source);
        if (!F.open(QIODevice::WriteOnly)) return 1;
        QByteArray Chunk(1 << 20, Qt::Uninitialized);
        QRandomGenerator Random(7);
        for (qint64 I = 0; I < Megabytes; ++I) {
            Random.fillRange(reinterpret_cast<quint32*>(Chunk.data()), Chunk.size() / 4);
            F.write(Chunk);
        }
    }

    TDccTransfer Sender, Receiver;
    QString Error;
    if (!Sender.StartSending(Source, "127.0.0.1", Error)) {
        std::fprintf(stderr, "%s\n", qPrintable(Error));
        return 1;
    }
    TDccOffer Offer;
    if (ParseDccOffer("DCC SEND " + Sender.OfferArgs(), Offer) != TDccParse::Valid) return 1;
    int Finished = 0;
    Sender.OnDone = Receiver.OnDone = [&] {
        if (++Finished == 2) App.quit();
    };
    Receiver.OnSenderClosed = [&] { App.exit(2); };
    QElapsedTimer Clock;
    Clock.start();
    const double Cpu = ThreadCpuSeconds();
    if (!Receiver.StartReceiving(Offer, Target, Error)) return 1;
    QTimer::singleShot(600000, &App, [&] { App.exit(3); });
    const int Result = App.exec();
    const double Seconds = Clock.elapsed() / 1000.0, CpuSeconds = ThreadCpuSeconds() - Cpu;

    const auto Sum = [](const QString& Path) {
        QFile F(Path);
        QCryptographicHash Hash(QCryptographicHash::Sha256);
        return F.open(QIODevice::ReadOnly) && Hash.addData(&F) ? Hash.result() : QByteArray();
    };
    const bool Same = Result == 0 && Sum(Source) == Sum(Target);
    std::printf("%lld MB in %.2f s: %.1f MB/s, CPU %.2f s, %s\n", Megabytes, Seconds,
                double(Megabytes) / Seconds, CpuSeconds, Same ? "identical" : "DIFFERENT");
    return Same ? 0 : 1;
}
