// Game servers on loopback speaking the key/value status query, alone or by the thousand.
#pragma once

#include "labhlserver.h"
#include "labmaster.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <atomic>
#include <memory>
#include <optional>

class QHostAddress;
class QThread;
class QUdpSocket;

struct TLabPlayer {
    QByteArray Name, Team, Id, Mesh, Skin;
    int Frags = 0, Deaths = 0, Ping = 0;
};

struct TLabServerConfig {
    QByteArray HostName{"Lab Server"}, MapName{"dm1"}, GameType{"dm"}, GameMode{"openplaying"},
        GameVersion{"1.0"};
    QByteArray HostPort; // empty: key left out
    int MaxPlayers = 16;
    int NumPlayers = -1; // -1: Players.size(); otherwise sent as given, even if it disagrees
    int Location = 0;
    bool MorrowKeys = true; // send mesh_N / skin_N
    QList<TLabPlayer> Players;
    QList<QPair<QByteArray, QByteArray>> Rules;
    int Datagrams = 1;              // split at pair boundaries; fewer if there are not enough pairs
    int DelayMs = 0;                // wait before the first datagram
    int GapMs = 0;                  // wait between datagrams of one reply
    bool Silent = false;            // never answer
    bool NoFinal = false;           // never send \final\ (otherwise the same reply)
    bool Garbage = false;           // random bytes (NULs included, no \final) instead of a reply
    QList<QByteArray> RawDatagrams; // non-empty: sent verbatim instead of a built reply
};

// Options for TLabFarm::MakeConfigs and MakeHLConfigs. The odd servers are disjoint: a silent one
// is not also split. Half-Life servers have no datagrams to split or final to leave out, so
// there Split answers in another order, NoFinal never sends the rules and Garbage sends random
// bytes after the four 0xFF.
struct TLabFarmOptions {
    int Silent = 0;
    int Split = 0; // replies over 2-4 datagrams
    int NoFinal = 0;
    int Garbage = 0;
    int MaxDelayMs = 0; // each server waits 0..MaxDelayMs before answering
    int MaxPlayers = 32;
    quint32 Seed = 1;
};

// Raises the soft RLIMIT_NOFILE to the hard limit; thousands of UDP sockets need it.
bool LabRaiseFileLimit();

// The status pairs, without queryid and final.
QByteArray LabStatusText(const TLabServerConfig& Config);
// Exactly what a server with Config sends for one \status\ query (empty when silent).
QList<QByteArray> LabStatusDatagrams(const TLabServerConfig& Config, int QueryId);

// One UDP game server on 127.0.0.1. Answers \status\ and the partial queries
// \basic\, \info\, \rules\ and \players\ (also concatenated, e.g. \basic\\info\).
class TLabGameServer : public QObject {
    Q_OBJECT
public:
    explicit TLabGameServer(QObject* Parent = nullptr);
    explicit TLabGameServer(const TLabServerConfig& Config, QObject* Parent = nullptr);

    bool Listen(quint16 Port = 0); // 0: a free port
    quint16 Port() const;
    int Queries() const { return FQueries; } // recognised requests, answered or not

    TLabServerConfig Config; // read afresh for every query

signals:
    void Queried();

private:
    void ReadPending();
    void Send(const QList<QByteArray>& Datagrams, const QHostAddress& Peer, quint16 PeerPort,
              int LateMs);

    QUdpSocket* FSocket;
    int FQueries = 0;
};

// Many game servers in the caller's thread, on consecutive ports from a base or on free ports.
// The key/value servers and the Half-Life ones start and are counted apart.
class TLabFarm : public QObject {
    Q_OBJECT
public:
    explicit TLabFarm(QObject* Parent = nullptr);

    bool Start(const QList<TLabServerConfig>& Configs, quint16 BasePort = 0);
    bool StartHL(const QList<TLabHLConfig>& Configs, quint16 BasePort = 0);
    void Stop(); // both kinds
    int Count() const { return FServers.size(); }
    quint16 Port(int Index) const;
    TLabGameServer* Server(int Index) const { return FServers.at(Index); }
    int HLCount() const { return FHLServers.size(); }
    quint16 HLPort(int Index) const;
    TLabHLServer* HLServer(int Index) const { return FHLServers.at(Index); }

    // Varied names, maps, game types, players and rules; the same for the same options.
    static QList<TLabServerConfig> MakeConfigs(int Count, const TLabFarmOptions& Options = {});
    static QList<TLabHLConfig> MakeHLConfigs(int Count, const TLabFarmOptions& Options = {});

private:
    QList<TLabGameServer*> FServers;
    QList<TLabHLServer*> FHLServers;
};

// A TLabFarm on its own thread and event loop, so a benchmark measures the client's CPU
// apart from the servers'.
class TLabFarmThread {
public:
    TLabFarmThread();
    ~TLabFarmThread();
    TLabFarmThread(const TLabFarmThread&) = delete;
    TLabFarmThread& operator=(const TLabFarmThread&) = delete;

    // Returns listening. With Master, a master on a free port lists every server, in order,
    // under GameName (besides its own lists).
    bool Start(const QList<TLabServerConfig>& Configs, quint16 BasePort = 0,
               std::optional<TLabMasterConfig> Master = {}, const QByteArray& GameName = "morrow");
    void Stop();
    // One more master on a free port, listing the servers at Indices under GameName; 0 when
    // it cannot listen.
    quint16 AddMaster(const QList<int>& Indices, TLabMasterConfig Master = {},
                      const QByteArray& GameName = "morrow");
    int Count() const { return FPorts.size(); }
    quint16 Port(int Index) const { return FPorts.at(Index); }
    quint16 MasterPort() const { return FMasterPort; } // 0: no master
    qint64 Queries() const { return FQueries.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<QThread> FThread;
    TLabFarm* FFarm = nullptr;
    QList<quint16> FPorts;
    quint16 FMasterPort = 0;
    std::atomic<qint64> FQueries{0};
};
