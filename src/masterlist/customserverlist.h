// Server lists: fetch the addresses from a master server, then query the servers with a
// bounded number in flight, reporting progress, each finished server and the end.
#pragma once

#include "servers/customserver.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QTimer;
class TTCPClient;

enum TListState : quint8 { lsIdle = 0, lsFetching = 1, lsQuerying = 2 };

// Where an address leads: the public internet, a private network, this machine, or nowhere
// a game server can be (unspecified, multicast, reserved, broadcast).
enum class TAddressScope : quint8 { Public, Private, Loopback, Never };
TAddressScope AddressScope(const QHostAddress& Address);
// Whether a game server the master at Master listed may be asked. A master on the internet
// must not make clients probe their own machine or network; a master on the local network
// (a LAN party) may list its neighbours, one on this machine (the demo, the lab) anything
// but the reserved ranges.
bool MayQueryListed(const QHostAddress& Server, const QHostAddress& Master);

// Records are shared: the owner keeps the ones it was told about, the list keeps every record
// of the current update, so records of an aborted update never leak.
using TServerRef = std::shared_ptr<TCustomServer>;

class TCustomServerList;

// A master server: host and port.
using TMasterAddress = std::pair<QByteArray, QByteArray>;
// Masters named in Text, separated by blanks, commas or semicolons, each once, at most
// MaxMasters; DefaultPort where a name has no port.
QList<TMasterAddress> ParseMasterList(const QByteArray& Text, const QByteArray& DefaultPort);

// Class references: the configuration names the list class the main window creates.
struct TServerListClassInfo {
    const char* ClassName;
    std::unique_ptr<TCustomServerList> (*Create)();
};
using TServerListClass = const TServerListClassInfo*;

class TCustomServerList : public QObject {
    Q_OBJECT
public:
    using TStatusEvent =
        std::function<void(TCustomServerList* Sender, int Percent, const QString& Text)>;
    using TServerDoneEvent =
        std::function<void(TCustomServerList* Sender, const TServerRef& Server)>;
    using TCompleteEvent = std::function<void(TCustomServerList* Sender)>;

    explicit TCustomServerList(QObject* Parent = nullptr);
    ~TCustomServerList() override;

    virtual TServerClass ServerClass() const = 0;

    virtual void Abort();
    virtual void Refresh();
    virtual void RefreshServers(const QList<TServerRef>& Records);

    // Queries in flight: an upper bound only; the send rate sets the pace. Each holds a UDP
    // socket, so the bound stays well inside the usual limit of 1024 open files.
    static constexpr int MinOutstanding = 1, MaxOutstandingLimit = 256, DefaultOutstanding = 256;
    void SetMaxOutstanding(int Count);
    // Queries sent per second. A silent server holds its slot for its two attempts, so a
    // paced send keeps silent servers from stalling the ones behind them. The highest rate
    // does not pace at all: the bound alone.
    static constexpr int MinQueryRate = 1, MaxQueryRate = 5000, DefaultQueryRate = 200;
    void SetQueryRate(int PerSecond);
    // Several masters are fetched at once and their lists merged; one behaves as ever.
    static constexpr int MaxMasters = 16;
    void SetMasters(const QList<TMasterAddress>& Addresses);

    TListState State = lsIdle;
    int MaxOutstanding = DefaultOutstanding;
    int QueryRate = DefaultQueryRate;
    QByteArray MasterHost; // empty until the user chooses one
    QByteArray MasterPort = "28900";
    QList<TMasterAddress> MoreMasters; // after the first
    TCompleteEvent OnComplete;
    TServerDoneEvent OnServerDone;
    TStatusEvent OnStatus;
    int Outstanding = 0;
    int NextIndex = 0;
    bool Aborted = false;
    QList<TServerRef> Servers;
    int Skipped = 0; // listed addresses of the last fetch that were not asked (MayQueryListed)
    QStringList MasterFailures; // of the last fetch from several masters, as named in the status
    // Silence that ends a master fetch, and the longest a fetch may take however the master
    // trickles its bytes.
    int ListTimeout = 30000;
    int FetchLimit = 300000;

protected:
    virtual void FetchList();
    virtual void QueryServers();
    virtual void EndFetch();
    virtual void Pump();
    virtual TServerRef CreateServer(const QByteArray& Address, const QByteArray& QueryPort);
    virtual void SendListRequest() = 0;

    void Status(int Percent, const QString& Text);
    void RestartListTimer();
    // A fetch that cannot go on: says why, then ends the update as an abort does.
    void FetchFailed(const QString& Text);
    void StopListTimers();
    // A listed server, unless the same address and query port is listed already.
    void AddListed(const QByteArray& Address, const QByteArray& QueryPort);

private:
    void ServerDone(const TServerRef& Server);
    void UpdatesComplete();
    void ListTimedOut();
    // True when a query may go now; otherwise the pace timer is set for the next one.
    bool SendDue();

    std::unique_ptr<QTimer> ListTimer;
    std::unique_ptr<QTimer> FetchTimer;
    std::unique_ptr<QTimer> PaceTimer;
    QElapsedTimer PaceClock;
    qint64 NextSendNs = 0;
    QSet<QByteArray> Listed;
};

class TCustomSQPServerList : public TCustomServerList {
    Q_OBJECT
public:
    explicit TCustomSQPServerList(QObject* Parent = nullptr);
    ~TCustomSQPServerList() override;

    std::unique_ptr<TTCPClient> MasterClient;
    QByteArray ListReply;

    // No master sends this much; a list that grows past it is taken as it stands.
    static constexpr qsizetype MaxListBytes = 16 * 1024 * 1024;

    // With several masters: one list per master that only fetches, then hands its entries
    // over through OnFetched.
    bool FetchOnly = false;
    std::function<void(TCustomSQPServerList* Sender)> OnFetched;

protected:
    virtual std::unique_ptr<TCustomSQPServerList> CreateFetcher() const = 0;
    void FetchList() override;
    void QueryServers() override;
    void EndFetch() override;
    virtual void MasterData();
    // One piece of the master's answer: the challenge, or more of the list.
    void ListData(const QByteArray& Text);
    virtual void SendValidation(const QByteArray& Text);
    virtual void MasterClosed();

private:
    void FetchMasters();
    void DropFetchers();
    void MasterFetched(TCustomSQPServerList* Fetcher);

    QByteArray Challenge;       // a challenge that came in pieces
    QHostAddress MasterAddress; // of the master this list came from
    std::vector<std::unique_ptr<TCustomSQPServerList>> Fetchers;
    int FetchersRunning = 0;
    int FetchersFailed = 0;
};

class TSQPMorrowServerList : public TCustomSQPServerList {
    Q_OBJECT
public:
    using TCustomSQPServerList::TCustomSQPServerList;
    static const TServerListClassInfo Class;
    TServerClass ServerClass() const override { return &TMorrowServer::Class; }

protected:
    void SendListRequest() override;
    std::unique_ptr<TCustomSQPServerList> CreateFetcher() const override;
};

class TSQPHLServerList : public TCustomSQPServerList {
    Q_OBJECT
public:
    using TCustomSQPServerList::TCustomSQPServerList;
    static const TServerListClassInfo Class;
    TServerClass ServerClass() const override { return &THLServer::Class; }

protected:
    void SendListRequest() override;
    std::unique_ptr<TCustomSQPServerList> CreateFetcher() const override;
};

class TSQPGenericList : public TCustomSQPServerList {
    Q_OBJECT
public:
    using TCustomSQPServerList::TCustomSQPServerList;
    static const TServerListClassInfo Class;
    TServerClass ServerClass() const override { return &TSQPServer::Class; }
    void SetGameName(const QByteArray& Name) { GameName = Name; }

    QByteArray GameName;

protected:
    void SendListRequest() override;
    std::unique_ptr<TCustomSQPServerList> CreateFetcher() const override;
};
