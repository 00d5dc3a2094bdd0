#include "labhlserver.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>
#include <algorithm>
#include <bit>

namespace {

constexpr int QueryWindowMs = 50;

const QByteArray Header(4, '\xff');

enum TRequest { None, Info, Players, Rules };

TRequest RequestKind(const QByteArray& Datagram) {
    if (!Datagram.startsWith(Header)) return None;
    const QByteArray Word = Datagram.mid(Header.size());
    if (Word == "info\r\n") return Info;
    if (Word == "players\r\n") return Players;
    if (Word == "rules\r\n") return Rules;
    return None;
}

template <typename T> void PutLE(QByteArray& Out, T Value) {
    const T LE = qToLittleEndian(Value);
    Out.append(reinterpret_cast<const char*>(&LE), sizeof LE);
}

char Byte(int Value) {
    return char(std::clamp(Value, 0, 255));
}

// Strings end in \0, except the reply's last one when the config says so.
class TReply {
public:
    TReply(char Kind, bool OmitLast) : FOut(Header + Kind), FOmitLast(OmitLast) {}
    void Str(const QByteArray& S) {
        FOut += S;
        FOut += '\0';
        FLastEnd = FOut.size();
    }
    QByteArray& Out() { return FOut; }
    QByteArray Done() {
        if (FOmitLast && FLastEnd > 0) FOut.remove(FLastEnd - 1, 1);
        return FOut;
    }

private:
    QByteArray FOut;
    bool FOmitLast;
    qsizetype FLastEnd = 0;
};

QByteArray InfoReply(const TLabHLConfig& C, quint16 OwnPort) {
    TReply R('C', C.OmitTerminators);
    R.Str(C.Address.isEmpty() ? "127.0.0.1:" + QByteArray::number(OwnPort) : C.Address);
    R.Str(C.Name);
    R.Str(C.Map);
    R.Str(C.GameDir);
    R.Str(C.Description);
    R.Out() += Byte(C.NumPlayers < 0 ? int(C.Players.size()) : C.NumPlayers);
    R.Out() += Byte(C.MaxPlayers);
    R.Out() += Byte(C.Protocol);
    return R.Done();
}

QByteArray PlayersReply(const TLabHLConfig& C) {
    TReply R('D', C.OmitTerminators);
    R.Out() += Byte(C.PlayerCount < 0 ? int(C.Players.size()) : C.PlayerCount);
    for (qsizetype I = 0; I < C.Players.size(); ++I) {
        R.Out() += Byte(int(I) + 1);
        R.Str(C.Players[I].Name);
        PutLE<qint32>(R.Out(), C.Players[I].Frags);
        PutLE<quint32>(R.Out(), std::bit_cast<quint32>(C.Players[I].Time));
    }
    QByteArray Out = R.Done();
    Out.chop(std::max(0, C.TruncatePlayers));
    return Out;
}

QByteArray RulesReply(const TLabHLConfig& C) {
    TReply R('E', C.OmitTerminators);
    PutLE<qint16>(R.Out(), qint16(C.RuleCount.value_or(int(C.Rules.size()))));
    for (const auto& [Key, Value] : C.Rules) {
        R.Str(Key);
        R.Str(Value);
    }
    return R.Done();
}

} // namespace

QList<QByteArray> LabHLDatagrams(const TLabHLConfig& Config, quint16 OwnPort) {
    if (Config.Silent) return {};
    if (!Config.RawDatagrams.isEmpty()) return Config.RawDatagrams;
    QList<QByteArray> Out;
    for (const char Kind : Config.Answer) {
        if (Kind == 'C')
            Out.append(InfoReply(Config, OwnPort));
        else if (Kind == 'D')
            Out.append(PlayersReply(Config));
        else if (Kind == 'E')
            Out.append(RulesReply(Config));
    }
    return Out;
}

TLabHLServer::TLabHLServer(const TLabHLConfig& Config, QObject* Parent)
    : QObject(Parent), Config(Config), FSocket(new QUdpSocket(this)) {
    FSocket->setProxy(QNetworkProxy::NoProxy);
    connect(FSocket, &QUdpSocket::readyRead, this, &TLabHLServer::ReadPending);
}

bool TLabHLServer::Listen(quint16 Port) {
    FSocket->close();
    FOpen.clear();
    return FSocket->bind(QHostAddress::LocalHost, Port, QAbstractSocket::DontShareAddress);
}

quint16 TLabHLServer::Port() const {
    return FSocket->localPort();
}

void TLabHLServer::ReadPending() {
    while (FSocket->hasPendingDatagrams()) {
        const QNetworkDatagram Request = FSocket->receiveDatagram(4096);
        const TRequest Kind = RequestKind(Request.data());
        if (Kind == None) continue;
        if (Kind == Info) {
            ++FQueries;
            emit Queried();
        }
        const TPeer Peer{Request.senderAddress(), quint16(Request.senderPort())};
        if (Kind == Rules) {
            Answer(Peer);
        } else if (!FOpen.contains(Peer)) {
            const quint64 Query = ++FNextQuery;
            FOpen.insert(Peer, Query);
            QTimer::singleShot(QueryWindowMs, this, [this, Peer, Query] {
                if (FOpen.value(Peer) == Query) Answer(Peer);
            });
        }
    }
}

void TLabHLServer::Answer(const TPeer& Peer) {
    FOpen.remove(Peer);
    const QList<QByteArray> Datagrams = LabHLDatagrams(Config, Port());
    const auto Send = [this, Datagrams, Peer] {
        for (const QByteArray& D : Datagrams)
            FSocket->writeDatagram(D, Peer.first, Peer.second);
    };
    if (Config.DelayMs > 0)
        QTimer::singleShot(Config.DelayMs, this, Send);
    else
        Send();
}
