#include "net/closesignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::array<int, 3> Handled{SIGTERM, SIGINT, SIGHUP};
// The handler only writes the signal's number to this pipe: nothing else is safe in a signal
// handler, Qt least of all. The event loop reads the other end.
int Pipe[2] = {-1, -1};
std::array<struct sigaction, Handled.size()> Earlier{};

extern "C" void NoteSignal(int Signal) {
    const int Saved = errno;
    const unsigned char Byte = (unsigned char)Signal;
    // A full pipe already holds a request to end: losing this one loses nothing.
    [[maybe_unused]] const ssize_t Written = ::write(Pipe[1], &Byte, 1);
    errno = Saved;
}

void RestoreHandlers() {
    for (size_t I = 0; I < Handled.size(); ++I)
        ::sigaction(Handled[I], &Earlier[I], nullptr);
}
} // namespace

TCloseSignals::TCloseSignals(QObject* Parent) : QObject(Parent) {
    if (Pipe[0] >= 0 || ::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    Notifier = std::make_unique<QSocketNotifier>(Pipe[0], QSocketNotifier::Read);
    connect(Notifier.get(), &QSocketNotifier::activated, this, &TCloseSignals::Readable);
    struct sigaction Action {};
    Action.sa_handler = NoteSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (size_t I = 0; I < Handled.size(); ++I)
        ::sigaction(Handled[I], &Action, &Earlier[I]);
}

TCloseSignals::~TCloseSignals() {
    if (!Notifier) return;
    RestoreHandlers();
    Notifier.reset();
    ::close(Pipe[0]);
    ::close(Pipe[1]);
    Pipe[0] = Pipe[1] = -1;
}

void TCloseSignals::Readable() {
    unsigned char Byte = 0;
    int Signal = 0;
    while (::read(Pipe[0], &Byte, 1) == 1)
        if (!Signal) Signal = Byte;
    if (!Signal || Told) return;
    Told = true;
    // Closing may wait on a question the user never answers: a second request must still end
    // the program.
    RestoreHandlers();
    if (OnSignal) OnSignal(this, Signal);
}
