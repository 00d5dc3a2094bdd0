// Shared by the fuzz harnesses: the input as bytes and the one application object the
// Qt classes under test expect.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

inline QByteArray FuzzBytes(const uint8_t* Data, size_t Size) {
    return QByteArray(reinterpret_cast<const char*>(Data), qsizetype(Size));
}

inline QByteArray TakeBytes(FuzzedDataProvider& Provider, size_t MaxLength) {
    const std::string Piece = Provider.ConsumeRandomLengthString(MaxLength);
    return QByteArray(Piece.data(), qsizetype(Piece.size()));
}

// Text protocols cut into pieces (datagrams, reads) at 0xFF, a byte their texts never hold.
inline QList<QByteArray> FuzzPieces(const QByteArray& Input) {
    return Input.split('\xff');
}

// Sockets, timers and deleteLater need an application; none of them needs a display.
inline void EnsureApplication() {
    static int Argc = 1;
    static char Name[] = "fuzz";
    static char* Argv[] = {Name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(Argc, Argv);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnsureApplication();
    return 0;
}

// Objects released with deleteLater go before the next input, so memory stays flat.
inline void DrainDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
