// A master server on loopback: challenge, validation with the game key, then the list of
// servers for the requested game, with knobs for the ways real masters misbehave.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>

class QTcpServer;

struct TLabMasterConfig {
    QByteArray Challenge;                      // empty: 6 random uppercase letters per connection
    QMap<QByteArray, QList<QByteArray>> Lists; // game name -> "ip:port" entries in order
    int SegmentBytes = 0;       // > 0: the list goes out in pieces of this size, separately written
    int SegmentDelayMs = 0;     // wait before each piece
    bool FinalAlone = false;    // \final\ as its own last piece
    bool NoFinal = false;       // never send \final\ (CloseAfterList still decides the close)
    bool CloseAfterList = true; // close once the list is out; false: leave it to the client
    int CloseAfterEntries = -1; // >= 0: close right after this many entries, no \final\ then
    bool Silent = false;        // accept, then never send anything and never close
    QByteArray GarbageBetween;  // inserted between entries
    QByteArray RawList;         // non-empty: sent verbatim (still in pieces) instead of the list
};

// The answer a client must give to Challenge: the challenge enciphered with the game key,
// in Base64 without padding (8 characters for a 6-character challenge).
QByteArray LabValidate(const QByteArray& Challenge);

// Listens on 127.0.0.1 and serves any number of clients at once.
class TLabMasterServer : public QObject {
    Q_OBJECT
public:
    explicit TLabMasterServer(const TLabMasterConfig& Config = {}, QObject* Parent = nullptr);

    bool Listen(quint16 Port = 0); // 0: a free port; a taken port fails
    quint16 Port() const;

    int Connections() const { return FConnections; }
    int Accepted() const { return FAccepted; } // validated
    int Rejected() const { return FRejected; } // closed for a wrong or missing validation
    int ListsSent() const { return FListsSent; }
    QByteArray LastReceived() const { return FLastReceived; } // from the latest client

    TLabMasterConfig Config; // copied by each connection as it arrives

signals:
    void ListSent();

private:
    class TSession;
    friend class TSession;
    void Accept();

    QTcpServer* FServer;
    int FConnections = 0, FAccepted = 0, FRejected = 0, FListsSent = 0;
    QByteArray FLastReceived;
    quint64 FLatestId = 0;
};
