// Server, player and rule records. A record runs its own query attempts (time-out, one
// retry) and presents itself as a list row; protocol classes say how to ask and how to read.
#pragma once

#include "net/WSockets.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
class TUDPClient;
class TCustomPlayer;
class TCustomServer;

// How a list view sorts a column.
enum TColumnKind { ckText = 0, ckNumber = 1, ckFraction = 2 };

struct TColumnCaption {
    QString Caption;
    TColumnKind Kind;
    bool operator==(const TColumnCaption&) const = default;
};
using TColumnCaptions = QList<TColumnCaption>;

// Class references: what can be asked of a record class without an instance.
struct TPlayerClassInfo {
    const char* ClassName;
    int (*ColumnCount)();
    TColumnCaptions (*ColumnCaptions)();
    std::unique_ptr<TCustomPlayer> (*Create)(const QByteArray& Text);
};
using TPlayerClass = const TPlayerClassInfo*;

struct TServerClassInfo {
    const char* ClassName;
    TPlayerClass (*PlayerClass)();
    int (*ColumnCount)();
    TColumnCaptions (*ColumnCaptions)();
    std::unique_ptr<TCustomServer> (*Create)(const QByteArray& Address,
                                             const QByteArray& QueryPort);
};
using TServerClass = const TServerClassInfo*;

class TRule {
public:
    TRule(const QByteArray& Key, const QByteArray& Value) : Key(Key), Value(Value) {}
    QByteArray Key;
    QByteArray Value;
};

// ---- players --------------------------------------------------------------------------------

class TCustomPlayer {
public:
    explicit TCustomPlayer(const QByteArray& Text);
    virtual ~TCustomPlayer() = default;
    static const TPlayerClassInfo Class;
    virtual TPlayerClass ClassType() const { return &Class; }
    static int ColumnCount() { return 3; }
    static TColumnCaptions ColumnCaptions();
    virtual void GetColumnTexts(QList<QByteArray>& Strings) const;

    QByteArray Name;
    int Frags = 0;
    int Ping = 0;
};

class TSQPPlayer : public TCustomPlayer {
public:
    explicit TSQPPlayer(const QByteArray& Text);
    static const TPlayerClassInfo Class;
    TPlayerClass ClassType() const override { return &Class; }
    static int ColumnCount() { return 5; }
    static TColumnCaptions ColumnCaptions();
    void GetColumnTexts(QList<QByteArray>& Strings) const override;

    int Deaths = 0;
    QByteArray Team;
    QByteArray Id;
};

class TMorrowPlayer : public TSQPPlayer {
public:
    explicit TMorrowPlayer(const QByteArray& Text);
    static const TPlayerClassInfo Class;
    TPlayerClass ClassType() const override { return &Class; }
    static int ColumnCount() { return 5; }
    static TColumnCaptions ColumnCaptions();
    void GetColumnTexts(QList<QByteArray>& Strings) const override;

    QByteArray Mesh;
    QByteArray Skin;
};

class THLPlayer : public TCustomPlayer {
public:
    explicit THLPlayer(const QByteArray& Text);
    static const TPlayerClassInfo Class;
    TPlayerClass ClassType() const override { return &Class; }
    static int ColumnCount() { return 3; }
    static TColumnCaptions ColumnCaptions();
    void GetColumnTexts(QList<QByteArray>& Strings) const override;

    int Time = 0; // whole seconds connected
};

// ---- servers --------------------------------------------------------------------------------

class TCustomServer {
public:
    using TQueryDoneEvent = std::function<void(TCustomServer* Sender)>;

    TCustomServer(const QByteArray& Address, const QByteArray& QueryPort);
    virtual ~TCustomServer();
    TCustomServer(const TCustomServer&) = delete;
    TCustomServer& operator=(const TCustomServer&) = delete;

    virtual TServerClass ClassType() const = 0;
    TPlayerClass PlayerClass() const { return ClassType()->PlayerClass(); }

    // Begins a query: up to 1 + MaxRetries attempts of Timeout ms, then OnQueryDone once.
    // Each query gets its full attempts, however earlier queries of this record ended.
    void StartQuery(TQueryDoneEvent OnQueryDone);
    // Ends a running query without calling back (its owner is going away).
    void CancelQuery();
    virtual void GetColumnTexts(QList<QByteArray>& Strings) const = 0;

    void AddRule(const QByteArray& Key, const QByteArray& Value);
    void ClearRules() { Rules.clear(); }

    QByteArray Address;
    QByteArray QueryPort;
    QByteArray GamePort;
    QByteArray ServerName;
    int Timeout = 2000;
    int Ping = 9999;
    bool Responded = false;
    int RetryCount = 0;
    int MaxRetries = 1;
    bool Busy = false;
    int NumPlayers = 0;
    int MaxPlayers = 0;
    QList<TRule> Rules;

protected:
    virtual void StartAttempt();
    virtual void StopAttempt() {}
    virtual void TimedOut();
    virtual void FinishQuery();
    virtual void ParseRules(QByteArray Text);

    later_ptr<QTimer> QueryTimer;

private:
    TQueryDoneEvent QueryDone;
};

class TGameServer : public TCustomServer {
public:
    using TCustomServer::TCustomServer;
    ~TGameServer() override;

    // Every protocol shows its servers with the same columns.
    static int ColumnCount() { return 5; }
    static TColumnCaptions ColumnCaptions();
    void GetColumnTexts(QList<QByteArray>& Strings) const override;

    void AddPlayer(const QByteArray& Text);
    void ClearPlayers() { Players.clear(); }

    QByteArray MapName;
    QByteArray GameType;
    QByteArray GameMode;
    QByteArray GameVersion;
    int Location = 0;
    std::vector<std::unique_ptr<TCustomPlayer>> Players;
    qint64 StartTick = 0;
    qint64 Elapsed = 0;

protected:
    void StartAttempt() override;
    void StopAttempt() override { CloseSocket(); }
    void FinishQuery() override;
    void DataReceived(const QByteArray& Data);

    virtual void OpenSocket() = 0;
    virtual void CloseSocket() = 0;
    virtual qint64 RoundTripNs() const { return -1; }
    virtual void SendQuery() = 0;
    virtual bool AddPacket(const QByteArray& Data) = 0;
    virtual void ParseReply() = 0;
    virtual void ParsePlayers(QByteArray& Text) = 0;
};

class TUDPQueryServer : public TGameServer {
public:
    using TGameServer::TGameServer;
    ~TUDPQueryServer() override;

    QByteArray ReplyText;

protected:
    void OpenSocket() override;
    void CloseSocket() override;
    qint64 RoundTripNs() const override;

    later_ptr<TUDPClient> QueryClient;
};

// The key/value status protocol: "\status\" and a backslash key/value reply.
class TSQPServer : public TUDPQueryServer {
public:
    TSQPServer(const QByteArray& Address, const QByteArray& QueryPort);
    static const TServerClassInfo Class;
    TServerClass ClassType() const override { return &Class; }
    static TPlayerClass PlayerClassOf() { return &TSQPPlayer::Class; }

    QList<QByteArray> PlayerKeys;

    // Replies larger than this are cut: a hostile server must not grow memory without bound.
    static constexpr qsizetype MaxReplyBytes = 256 * 1024;
    // A server may claim any player count; no more player records than this are built.
    static constexpr int MaxPlayerRecords = 1024;

protected:
    void SendQuery() override;
    bool AddPacket(const QByteArray& Data) override;
    void ParseReply() override;
    void ParsePlayers(QByteArray& Text) override;
};

class TMorrowServer : public TSQPServer {
public:
    TMorrowServer(const QByteArray& Address, const QByteArray& QueryPort);
    static const TServerClassInfo Class;
    TServerClass ClassType() const override { return &Class; }
    static TPlayerClass PlayerClassOf() { return &TMorrowPlayer::Class; }
};

// The Half-Life protocol: three binary requests, three replies told apart by a type byte.
class THLServer : public TUDPQueryServer {
public:
    using TUDPQueryServer::TUDPQueryServer;
    static const TServerClassInfo Class;
    TServerClass ClassType() const override { return &Class; }
    static TPlayerClass PlayerClassOf() { return &THLPlayer::Class; }

    QByteArray InfoReply;
    QByteArray PlayersReply;
    QByteArray RulesReply;

protected:
    void SendQuery() override;
    bool AddPacket(const QByteArray& Data) override;
    void ParseReply() override;
    void ParsePlayers(QByteArray& Text) override;
    void ParseRules(QByteArray Text) override;
};

// How a list shows a server that did not answer: ping 9999 and a marked name.
void MarkNotResponding(TCustomServer& Server);
