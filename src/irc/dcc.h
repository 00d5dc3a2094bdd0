// DCC SEND file transfers: the offer's text and one transfer in either direction, with the
// 512-byte blocks and 4-byte acknowledgements other IRC clients speak. The transfer window
// drives it; nothing here shows anything.
#pragma once

#include "net/WSockets.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

struct TDccOffer {
    QByteArray FileName; // as offered (upper-cased by the parse)
    QByteArray Address;  // dotted
    QByteArray Port;
    qint64 Size = 0;
};

enum class TDccParse { NotAnOffer, Ignored, BadAddress, Valid };

// Parses Command + " " + Args of a CTCP query. BadAddress leaves the offending text in Error
// as the user is told it ("'x' is not a valid integer value").
TDccParse ParseDccOffer(const QByteArray& Text, TDccOffer& Offer, QString* Error = nullptr);
// "name address port size" for a CTCP "DCC SEND": the bare file name with blanks as "_",
// the dotted address as one decimal number.
QByteArray DccOfferArgs(const QString& Path, const QByteArray& Address, quint16 Port, qint64 Size);
// A name offered by a stranger, made safe to suggest for saving: no folders, no controls.
QString DccSafeFileName(const QByteArray& Offered);
// Why an offer pointing at Address must not be connected to (empty when it may): this computer,
// multicast, broadcast, unspecified and reserved addresses never; private-network addresses
// only while the chat server itself is on a private or loopback address. A stranger's offer
// would otherwise make us connect to our own services or those of the local network.
QString DccAddressRefusal(const QByteArray& Address, const QHostAddress& ChatServer);
// "512 bytes", "1.3 KB", "4.0 GB".
QString ReadableSize(qint64 Bytes);
// Why Size bytes cannot be saved as SavePath (empty when they fit the folder's free space).
QString DccSpaceRefusal(const QString& SavePath, qint64 Size);
// The progress texts: "n of m (p%) " and "m:ss remaining r cps".
QString DccSpeedText(qint64 Transferred, qint64 FileSize);
QString DccTimeText(qint64 Transferred, qint64 FileSize, qint64 ElapsedMs);

class TDccTransfer : public QObject {
    Q_OBJECT
public:
    explicit TDccTransfer(QObject* Parent = nullptr);
    ~TDccTransfer() override;

    static constexpr int BlockSize = 512;

    // Opens Path and listens on a random port from 1024 to 30023 of LocalAddress only, which
    // is what the peer is told to connect to. One receiver is taken; listening stops then, or
    // after ListenTimeoutMs without one. False with Error said in words.
    bool StartSending(const QString& Path, const QByteArray& LocalAddress, QString& Error);
    // The CTCP arguments announcing the file, once sending has started.
    QByteArray OfferArgs() const;
    // Creates SavePath (replacing it) and connects to the offering peer.
    bool StartReceiving(const TDccOffer& Offer, const QString& SavePath, QString& Error);
    // Drops the connections and closes the file, wherever the transfer is.
    void Stop();

    int ListenTimeoutMs = 3 * 60 * 1000;
    bool Sending = false;
    bool Done = false;
    QString FileName; // the path sent or written
    qint64 FileSize = 0;
    qint64 Transferred = 0;
    QByteArray PeerAddress, PeerPort;
    qint64 StartTick = 0;

    // Status texts as the window shows them: "Connected", "Done Sending", "Done Receiving",
    // "Write error: ...".
    std::function<void(const QString& Status)> OnStatus;
    std::function<void()> OnProgress;
    // The transfer ended: complete, or stopped by a write error.
    std::function<void()> OnDone;
    // The sender went away before the file was complete.
    std::function<void()> OnSenderClosed;
    // Nobody came for our offer in time: no longer listening, Text says so.
    std::function<void(const QString& Text)> OnListenTimeout;

private:
    void Accepted(int Socket);
    void AckData(int Socket);
    void SendBlock();
    void SenderClosed();
    void Connected();
    void Data();
    void Finish(const QString& Status);
    void ListenTimedOut();

    std::unique_ptr<TTCPServer> TCPServer1;
    std::unique_ptr<TTCPClient> TCPClient1;
    QFile FileStream;
    int ClientSocket = -1;
    QByteArray AckPartial; // an acknowledgement split across reads
    QTimer ListenTimer;
};
