// Joining when a slot frees: a full server is asked again every few seconds, and the game
// starts the first time it answers with room; the watch gives up after a while or on Cancel.
#pragma once

#include "masterlist/customserverlist.h"

#include <functional>
#include <memory>

class QTimer;
class TGameLauncher;

enum class TSlotWatchEnd { Launched, LaunchFailed, TimedOut, Cancelled };

class TSlotWatch {
public:
    using TTickEvent = std::function<void(TSlotWatch* Sender, int SecondsToQuery)>;
    using TEndEvent =
        std::function<void(TSlotWatch* Sender, TSlotWatchEnd How, const QString& Text)>;

    explicit TSlotWatch(TGameLauncher& Launcher);
    ~TSlotWatch();
    TSlotWatch(const TSlotWatch&) = delete;
    TSlotWatch& operator=(const TSlotWatch&) = delete;

    // A server with players and no room: one with room is joined at once instead.
    static bool IsFull(const TCustomServer& Server);

    // Watches Server (a record of its own is asked, so the list's row is left alone); a watch
    // under way is cancelled first.
    void Start(const TCustomServer& Server);
    void Cancel();
    bool Watching() const { return Record != nullptr; }
    const TCustomServer* Server() const { return Record.get(); }
    QString StatusText(int SecondsToQuery) const;

    int IntervalMs = 10000;
    int LimitMs = 30 * 60000;

    TTickEvent OnTick; // each second, and when a query starts (0)
    TEndEvent OnEnd;

private:
    void Tick();
    void Query();
    void Answered();
    void Finish(TSlotWatchEnd How, const QString& Text);

    TGameLauncher& Launcher;
    TServerRef Record;
    std::unique_ptr<QTimer> Ticker;
    qint64 Started = 0, NextQuery = 0;
};
