#include "masterlist/slotwatch.h"

#include "config/gamelauncher.h"
#include "net/netutils.h"

#include <QDeadlineTimer>
#include <QTimer>

namespace {
qint64 Now() {
    return QDeadlineTimer::current().deadline();
}
} // namespace

TSlotWatch::TSlotWatch(TGameLauncher& Launcher)
    : Launcher(Launcher), Ticker(std::make_unique<QTimer>()) {
    Ticker->setInterval(1000);
    QObject::connect(Ticker.get(), &QTimer::timeout, [this] { Tick(); });
}

TSlotWatch::~TSlotWatch() {
    if (Record) Record->CancelQuery();
}

bool TSlotWatch::IsFull(const TCustomServer& Server) {
    return Server.Responded && Server.MaxPlayers > 0 && Server.NumPlayers >= Server.MaxPlayers;
}

void TSlotWatch::Start(const TCustomServer& Server) {
    Cancel();
    Record = Server.ClassType()->Create(Server.Address, Server.QueryPort);
    Record->GamePort = Server.GamePort;
    Started = Now();
    Ticker->setInterval(qMin(1000, IntervalMs));
    Ticker->start();
    Query();
}

void TSlotWatch::Cancel() {
    if (Record)
        Finish(TSlotWatchEnd::Cancelled, QStringLiteral("Join when a slot frees: cancelled"));
}

QString TSlotWatch::StatusText(int SecondsToQuery) const {
    if (!Record) return {};
    const QString Name =
        DisplayText(Record->ServerName.isEmpty() ? Record->Address + ':' + Record->GamePort
                                                 : Record->ServerName);
    return SecondsToQuery > 0 ? QStringLiteral("Waiting for a slot on %1: asking again in %2 s")
                                    .arg(Name)
                                    .arg(SecondsToQuery)
                              : QStringLiteral("Waiting for a slot on %1: asking").arg(Name);
}

void TSlotWatch::Tick() {
    if (!Record) return;
    if (Now() - Started >= LimitMs) {
        Finish(TSlotWatchEnd::TimedOut, QStringLiteral("Join when a slot frees: no slot came free "
                                                       "in time, stopped waiting"));
        return;
    }
    if (Record->Busy) return;
    const qint64 Left = NextQuery - Now();
    if (Left <= 0) {
        Query();
        return;
    }
    if (OnTick) OnTick(this, int((Left + 999) / 1000));
}

void TSlotWatch::Query() {
    if (OnTick) OnTick(this, 0);
    // The callback holds the record, so a Cancel inside the game start cannot pull it away.
    const TServerRef Held = Record;
    Held->StartQuery([this, Held](TCustomServer*) {
        if (Record == Held) Answered();
    });
}

void TSlotWatch::Answered() {
    NextQuery = Now() + IntervalMs;
    if (!Record->Responded || Record->MaxPlayers <= 0 || Record->NumPlayers >= Record->MaxPlayers)
        return;
    const TServerRef Held = Record;
    const QString Error = Launcher.Launch(*Held);
    if (Error.isEmpty())
        Finish(TSlotWatchEnd::Launched,
               QStringLiteral("A slot came free on %1: the game is starting")
                   .arg(DisplayText(Held->ServerName)));
    else
        Finish(TSlotWatchEnd::LaunchFailed, Error);
}

void TSlotWatch::Finish(TSlotWatchEnd How, const QString& Text) {
    Ticker->stop();
    const TServerRef Held = std::exchange(Record, nullptr);
    // A query under way stops without calling back; from its own call-back it is idle already.
    if (Held && Held->Busy) Held->CancelQuery();
    if (OnEnd) OnEnd(this, How, Text);
}
