// The requests to end that come as signals (SIGTERM at logout or shutdown, SIGHUP when the
// terminal goes, SIGINT for Ctrl+C), turned into an event on the event loop so the program
// can close as it does when its window is closed. Only one may exist at a time.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class TCloseSignals : public QObject {
    Q_OBJECT
public:
    explicit TCloseSignals(QObject* Parent = nullptr);
    ~TCloseSignals() override; // the signals' earlier handling comes back

    // The first signal; a second one ends the program at once, the system's way.
    std::function<void(TCloseSignals* Sender, int Signal)> OnSignal;

private:
    void Readable();

    std::unique_ptr<QSocketNotifier> Notifier;
    bool Told = false;
};
