#include "labgameserver.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <ctime>
#include <linux/sockios.h>
#include <sys/ioctl.h>

namespace {

using TPairs = QList<QPair<QByteArray, QByteArray>>;

enum TSection {
    Basic = 1,
    Info = 2,
    Players = 4,
    Rules = 8,
    Status = Basic | Info | Players | Rules
};

// Which parts a request asks for; 0 for anything we do not recognise (left unanswered).
int RequestSections(const QByteArray& Request) {
    int Sections = 0;
    for (const QByteArray& Word : Request.split('\\')) {
        if (Word == "status")
            Sections |= Status;
        else if (Word == "basic")
            Sections |= Basic;
        else if (Word == "info")
            Sections |= Info;
        else if (Word == "players")
            Sections |= Players;
        else if (Word == "rules")
            Sections |= Rules;
        else if (!Word.isEmpty())
            return 0;
    }
    return Sections;
}

TPairs SectionPairs(const TLabServerConfig& C, int Sections) {
    const auto Num = [](qsizetype V) { return QByteArray::number(V); };
    TPairs P;
    if (Sections & Info) {
        P.append({"hostname", C.HostName});
        if (!C.HostPort.isEmpty()) P.append({"hostport", C.HostPort});
        P.append({"maxplayers", Num(C.MaxPlayers)});
        P.append({"numplayers", Num(C.NumPlayers < 0 ? C.Players.size() : C.NumPlayers)});
        P.append({"mapname", C.MapName});
        P.append({"gametype", C.GameType});
        P.append({"gamemode", C.GameMode});
    }
    if (Sections & Basic) {
        P.append({"gamever", C.GameVersion});
        P.append({"location", Num(C.Location)});
    }
    if (Sections & Players) {
        for (qsizetype I = 0; I < C.Players.size(); ++I) {
            const TLabPlayer& Pl = C.Players[I];
            const QByteArray N = '_' + Num(I);
            P.append({"player" + N, Pl.Name});
            P.append({"frags" + N, Num(Pl.Frags)});
            P.append({"deaths" + N, Num(Pl.Deaths)});
            P.append({"ping" + N, Num(Pl.Ping)});
            P.append({"team" + N, Pl.Team});
            P.append({"id" + N, Pl.Id});
            if (C.MorrowKeys) {
                P.append({"mesh" + N, Pl.Mesh});
                P.append({"skin" + N, Pl.Skin});
            }
        }
    }
    if (Sections & Rules) P.append(C.Rules);
    return P;
}

QByteArray Join(const TPairs& Pairs, qsizetype From, qsizetype To) {
    QByteArray Text;
    for (qsizetype I = From; I < To; ++I)
        Text += '\\' + Pairs[I].first + '\\' + Pairs[I].second;
    return Text;
}

QByteArray GarbageDatagram() {
    auto* R = QRandomGenerator::global();
    QByteArray D(8 + R->bounded(600), '\0');
    for (char& Byte : D)
        Byte = char(R->bounded(256));
    D[R->bounded(D.size())] = '\0';
    return D;
}

QList<QByteArray> ReplyDatagrams(const TLabServerConfig& C, int Sections, int QueryId) {
    if (C.Silent) return {};
    if (!C.RawDatagrams.isEmpty()) return C.RawDatagrams;
    QList<QByteArray> Out;
    if (C.Garbage) {
        for (int K = 0; K < std::max(1, C.Datagrams); ++K)
            Out.append(GarbageDatagram());
        return Out;
    }
    const TPairs Pairs = SectionPairs(C, Sections);
    const qsizetype Count =
        std::clamp<qsizetype>(C.Datagrams, 1, std::max<qsizetype>(1, Pairs.size()));
    for (qsizetype K = 0; K < Count; ++K) {
        QByteArray D = Join(Pairs, K * Pairs.size() / Count, (K + 1) * Pairs.size() / Count);
        if (K == Count - 1 && !C.NoFinal) D += "\\final\\";
        Out.append(D + "\\queryid\\" + QByteArray::number(QueryId) + '.' +
                   QByteArray::number(K + 1));
    }
    return Out;
}

} // namespace

QByteArray LabStatusText(const TLabServerConfig& Config) {
    const TPairs Pairs = SectionPairs(Config, Status);
    return Join(Pairs, 0, Pairs.size());
}

QList<QByteArray> LabStatusDatagrams(const TLabServerConfig& Config, int QueryId) {
    return ReplyDatagrams(Config, Status, QueryId);
}

TLabGameServer::TLabGameServer(QObject* Parent) : QObject(Parent), FSocket(new QUdpSocket(this)) {
    // Asking the system for a proxy per socket is slow with thousands of servers.
    FSocket->setProxy(QNetworkProxy::NoProxy);
    connect(FSocket, &QUdpSocket::readyRead, this, &TLabGameServer::ReadPending);
}

TLabGameServer::TLabGameServer(const TLabServerConfig& Config, QObject* Parent)
    : TLabGameServer(Parent) {
    this->Config = Config;
}

bool TLabGameServer::Listen(quint16 Port) {
    FSocket->close();
    // A port already taken must fail, never be shared: tests rely on where replies come from.
    if (!FSocket->bind(QHostAddress::LocalHost, Port, QAbstractSocket::DontShareAddress))
        return false;
    timespec Unused{}; // the first ask turns on the kernel's arrival stamps
    ioctl(int(FSocket->socketDescriptor()), SIOCGSTAMPNS, &Unused);
    return true;
}

// How long ago the kernel took in the datagram just read, so a delay counts from the wire
// and a busy farm thread does not add to it.
static int MsSinceArrival(qintptr Socket) {
    timespec Stamp{}, Now{};
    if (ioctl(int(Socket), SIOCGSTAMPNS, &Stamp) != 0) return 0;
    clock_gettime(CLOCK_REALTIME, &Now);
    const qint64 Ns =
        (qint64(Now.tv_sec) - Stamp.tv_sec) * 1000000000 + Now.tv_nsec - Stamp.tv_nsec;
    // Rounded up: the timer waits whole milliseconds and fires late rather than early.
    return int(std::clamp<qint64>((Ns + 999999) / 1000000, 0, 1000));
}

quint16 TLabGameServer::Port() const {
    return FSocket->localPort();
}

void TLabGameServer::ReadPending() {
    while (FSocket->hasPendingDatagrams()) {
        const QNetworkDatagram Request = FSocket->receiveDatagram(4096);
        const int Sections = RequestSections(Request.data());
        if (!Sections) continue;
        ++FQueries;
        emit Queried();
        Send(ReplyDatagrams(Config, Sections, FQueries), Request.senderAddress(),
             quint16(Request.senderPort()), MsSinceArrival(FSocket->socketDescriptor()));
    }
}

void TLabGameServer::Send(const QList<QByteArray>& Datagrams, const QHostAddress& Peer,
                          quint16 PeerPort, int LateMs) {
    const auto Schedule = [this, Datagrams, Peer, PeerPort](int Wait, qsizetype From,
                                                            qsizetype To) {
        const auto SendRange = [this, Datagrams, Peer, PeerPort, From, To] {
            for (qsizetype K = From; K < To; ++K)
                FSocket->writeDatagram(Datagrams[K], Peer, PeerPort);
        };
        if (Wait > 0)
            QTimer::singleShot(Wait, this, SendRange);
        else
            SendRange();
    };
    const int Delay = std::max(0, Config.DelayMs - LateMs), Gap = std::max(0, Config.GapMs);
    // Without a gap one timer sends them all, so their order never rests on timer ties.
    if (Gap == 0)
        Schedule(Delay, 0, Datagrams.size());
    else
        for (qsizetype K = 0; K < Datagrams.size(); ++K)
            Schedule(Delay + int(K) * Gap, K, K + 1);
}
