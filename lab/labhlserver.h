// Game servers on loopback speaking the binary info/players/rules query of Half-Life.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <optional>

class QUdpSocket;

struct TLabHLPlayer {
    QByteArray Name;
    qint32 Frags = 0;
    float Time = 0; // seconds connected
};

struct TLabHLConfig {
    QByteArray Address{"127.0.0.1:27015"}; // empty: the server's own address
    QByteArray Name{"HL Lab"}, Map{"de_dust"}, GameDir{"cstrike"}, Description{"Counter-Strike"};
    int NumPlayers = -1; // info reply's player byte; -1: Players.size()
    int MaxPlayers = 16, Protocol = 47;
    QList<TLabHLPlayer> Players;
    int PlayerCount = -1;    // players reply's count byte; -1: Players.size(); may claim more
    int TruncatePlayers = 0; // cut this many bytes off the end of the players reply
    QList<QPair<QByteArray, QByteArray>> Rules;
    std::optional<int> RuleCount;   // count in the rules reply (default Rules.size()), any value
    bool OmitTerminators = false;   // the last string of each reply without its \0
    QByteArray Answer{"CDE"};       // replies sent, in this order: C info, D players, E rules
    int DelayMs = 0;                // wait before answering
    bool Silent = false;            // never answer
    QList<QByteArray> RawDatagrams; // non-empty: sent verbatim instead of the replies
};

// Exactly the replies a server with Config sends for one query (empty when silent).
QList<QByteArray> LabHLDatagrams(const TLabHLConfig& Config, quint16 OwnPort);

// One UDP server on 127.0.0.1. A client's info, players and rules requests make one query;
// it is answered once the rules request is in (or 50 ms after the first request), so the
// order of the replies is the server's choice, never an accident of arrival.
class TLabHLServer : public QObject {
    Q_OBJECT
public:
    explicit TLabHLServer(const TLabHLConfig& Config = {}, QObject* Parent = nullptr);

    bool Listen(quint16 Port = 0); // 0: a free port; a taken port fails
    quint16 Port() const;
    int Queries() const { return FQueries; } // info requests received

    TLabHLConfig Config; // read afresh for every query

signals:
    void Queried();

private:
    using TPeer = QPair<QHostAddress, quint16>;
    void ReadPending();
    void Answer(const TPeer& Peer);

    QUdpSocket* FSocket;
    QHash<TPeer, quint64> FOpen; // peers with a query under way -> its number
    quint64 FNextQuery = 0;
    int FQueries = 0;
};
