// How long the user-interface thread went without handling events: a short timer on it notes
// the widest gap between its ticks while a test or benchmark drives the windows.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

class TStallWatch {
public:
    explicit TStallWatch(int IntervalMs = 5) {
        Timer.setTimerType(Qt::PreciseTimer);
        Timer.setInterval(IntervalMs);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        Longest = 0;
        Clock.start();
        Timer.start();
    }
    // Milliseconds; the time since the last tick counts too.
    double LongestMs() const {
        return Clock.isValid() ? std::max(Longest, double(Clock.nsecsElapsed()) / 1e6) : 0;
    }

private:
    void Tick() {
        Longest = std::max(Longest, double(Clock.nsecsElapsed()) / 1e6);
        Clock.restart();
    }
    QTimer Timer;
    QElapsedTimer Clock;
    double Longest = 0;
};
