#include "labmaster.h"

#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <array>
#include <numeric>

namespace {

const QByteArray ListMarker = "\\list\\\\gamename\\";
const QByteArray Final = "\\final\\";
constexpr int ListIdleMs = 150;
// Keeps a huge list from sitting whole in the socket's buffer and the loop free between chunks.
constexpr qint64 ChunkBytes = 64 * 1024, HighWater = 4 * ChunkBytes;

QByteArray RandomChallenge() {
    QByteArray C(6, 'A');
    for (char& Byte : C)
        Byte = char('A' + QRandomGenerator::global()->bounded(26));
    return C;
}

// The value of Key in "\k\v\k\v..." text, or a null array when the key is absent.
QByteArray PairValue(const QByteArray& Text, const QByteArray& Key) {
    const QList<QByteArray> Tokens = Text.split('\\');
    for (qsizetype I = 1; I + 1 < Tokens.size(); I += 2)
        if (Tokens[I] == Key) return Tokens[I + 1];
    return {};
}

} // namespace

QByteArray LabValidate(const QByteArray& Challenge) {
    static constexpr char Key[] = "QpRtVk";
    constexpr int KeyLength = sizeof Key - 1;
    std::array<quint8, 256> S;
    std::iota(S.begin(), S.end(), 0);
    for (int I = 0, J = 0; I < 256; ++I) {
        J = (J + S[I] + quint8(Key[I % KeyLength])) & 255;
        std::swap(S[I], S[J]);
    }
    QByteArray C = Challenge;
    int X = 0, Y = 0;
    for (char& Byte : C) {
        X = (X + quint8(Byte) + 1) & 255;
        Y = (Y + S[X]) & 255;
        std::swap(S[X], S[Y]);
        Byte = char(quint8(Byte) ^ S[(S[X] + S[Y]) & 255]);
    }
    return C.toBase64(QByteArray::OmitTrailingEquals);
}

// One client, from the challenge to the end of its list.
class TLabMasterServer::TSession : public QObject {
public:
    TSession(TLabMasterServer* Master, QTcpSocket* Socket, quint64 Id)
        : QObject(Master), FMaster(Master), FSocket(Socket), FConfig(Master->Config), FId(Id) {
        Socket->setParent(this);
        // Pieces must leave when written, not when the previous one is acknowledged.
        Socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        FIdle.setSingleShot(true);
        FDelay.setSingleShot(true);
        connect(&FIdle, &QTimer::timeout, this, [this] { Answer(RequestedGame()); });
        connect(&FDelay, &QTimer::timeout, this, &TSession::Pump);
        connect(Socket, &QTcpSocket::readyRead, this, &TSession::Read);
        connect(Socket, &QTcpSocket::bytesWritten, this, [this] {
            if (FState == Sending) Pump();
        });
        connect(Socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        if (FConfig.Silent) {
            FState = Ignoring;
            return;
        }
        FChallenge = FConfig.Challenge.isEmpty() ? RandomChallenge() : FConfig.Challenge;
        Socket->write("\\basic\\\\secure\\" + FChallenge);
        Socket->flush();
    }

private:
    enum TState { Validating, Requesting, Sending, Done, Ignoring };

    void Read() {
        const QByteArray Got = FSocket->readAll();
        FReceived += Got;
        if (FMaster->FLatestId == FId) FMaster->FLastReceived += Got;
        if (FState == Validating) Validate();
        if (FState == Requesting) CheckRequest();
    }

    void Validate() {
        const qsizetype End = FReceived.indexOf(Final);
        const qsizetype List = FReceived.indexOf("\\list\\");
        if (End < 0 && List < 0) return;
        // A list request before any validation counts as a missing validation.
        const bool Valid = End >= 0 && (List < 0 || End < List) &&
                           PairValue(FReceived.left(End), "validate") == LabValidate(FChallenge);
        if (!Valid) {
            ++FMaster->FRejected;
            FState = Done;
            FSocket->disconnectFromHost();
            return;
        }
        ++FMaster->FAccepted;
        FRequestFrom = End + Final.size();
        FState = Requesting;
    }

    // The game name as far as it arrived; empty before the list request.
    QByteArray RequestedGame(bool* Complete = nullptr) const {
        const qsizetype At = FReceived.indexOf(ListMarker, FRequestFrom);
        if (At < 0) return {};
        const qsizetype From = At + ListMarker.size(), End = FReceived.indexOf('\\', From);
        if (Complete) *Complete = End >= 0;
        return FReceived.mid(From, End < 0 ? -1 : End - From);
    }

    // The request has no terminator: a known name or a following key ends it, silence does too.
    void CheckRequest() {
        bool Complete = false;
        const QByteArray Game = RequestedGame(&Complete);
        if (Complete || FConfig.Lists.contains(Game))
            Answer(Game);
        else
            FIdle.start(ListIdleMs);
    }

    void Answer(const QByteArray& Game) {
        FIdle.stop();
        FState = Sending;
        FEntries = FConfig.Lists.value(Game);
        FLimit = FEntries.size();
        if (FConfig.CloseAfterEntries >= 0)
            FLimit = std::min<qsizetype>(FLimit, FConfig.CloseAfterEntries);
        const bool WithFinal =
            !FConfig.NoFinal && FConfig.CloseAfterEntries < 0 && FConfig.RawList.isEmpty();
        FFinalAlone = WithFinal && FConfig.FinalAlone;
        FFinalInBody = WithFinal && !FConfig.FinalAlone;
        if (!FConfig.RawList.isEmpty()) {
            FPending = FConfig.RawList;
            FLimit = 0;
        }
        FNeedDelay = true;
        Pump();
    }

    bool BodyLeft() const { return !FPending.isEmpty() || FNext < FLimit || FFinalInBody; }

    // The next bytes of entries, garbage and (unless it goes alone) the final, built as needed.
    QByteArray TakeBody(qsizetype Max) {
        while (FPending.size() < Max && FNext < FLimit) {
            if (FNext > 0) FPending += FConfig.GarbageBetween;
            FPending += "\\ip\\" + FEntries[FNext++];
        }
        if (FNext == FLimit && FFinalInBody && FPending.size() < Max) {
            FPending += Final;
            FFinalInBody = false;
        }
        QByteArray Out = FPending.left(Max);
        FPending.remove(0, Out.size());
        return Out;
    }

    // Without SegmentBytes the body is one piece in chunks; every piece waits SegmentDelayMs.
    void Pump() {
        // flush() reports bytesWritten at once, which must not start a piece inside this one.
        if (FPumping) return;
        FPumping = true;
        const int Segment = std::max(0, FConfig.SegmentBytes);
        while (FState == Sending && FSocket->state() == QAbstractSocket::ConnectedState &&
               !FDelay.isActive() && FSocket->bytesToWrite() < HighWater) {
            const bool Body = BodyLeft();
            if (!Body && !FFinalAlone) {
                Finish();
                break;
            }
            if (FNeedDelay && FConfig.SegmentDelayMs > 0) {
                FNeedDelay = false;
                FDelay.start(FConfig.SegmentDelayMs);
                break;
            }
            const QByteArray Piece = Body ? TakeBody(Segment > 0 ? Segment : ChunkBytes) : Final;
            if (!Body) FFinalAlone = false;
            FNeedDelay = Segment > 0 || !BodyLeft();
            FSocket->write(Piece);
            FSocket->flush();
        }
        FPumping = false;
    }

    void Finish() {
        FState = Done;
        FEntries.clear();
        ++FMaster->FListsSent;
        emit FMaster->ListSent();
        if (FConfig.CloseAfterList || FConfig.CloseAfterEntries >= 0) FSocket->disconnectFromHost();
    }

    TLabMasterServer* FMaster;
    QTcpSocket* FSocket;
    const TLabMasterConfig FConfig;
    const quint64 FId;
    TState FState = Validating;
    QByteArray FChallenge, FReceived, FPending;
    qsizetype FRequestFrom = 0;
    QTimer FIdle, FDelay;
    QList<QByteArray> FEntries;
    qsizetype FNext = 0, FLimit = 0;
    bool FFinalInBody = false, FFinalAlone = false, FNeedDelay = false, FPumping = false;
};

TLabMasterServer::TLabMasterServer(const TLabMasterConfig& Config, QObject* Parent)
    : QObject(Parent), Config(Config), FServer(new QTcpServer(this)) {
    FServer->setProxy(QNetworkProxy::NoProxy);
    // Benchmarks open hundreds of connections at once.
    FServer->setListenBacklogSize(1024);
    FServer->setMaxPendingConnections(1 << 20);
    connect(FServer, &QTcpServer::newConnection, this, &TLabMasterServer::Accept);
}

bool TLabMasterServer::Listen(quint16 Port) {
    FServer->close();
    return FServer->listen(QHostAddress::LocalHost, Port);
}

quint16 TLabMasterServer::Port() const {
    return FServer->serverPort();
}

void TLabMasterServer::Accept() {
    while (QTcpSocket* Socket = FServer->nextPendingConnection()) {
        ++FConnections;
        FLastReceived.clear();
        new TSession(this, Socket, ++FLatestId);
    }
}
