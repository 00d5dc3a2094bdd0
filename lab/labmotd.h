// The message-of-the-day service on loopback: "MOTD|..." requests over UDP (one datagram
// each way) or HTTP GET (the request percent-encoded after the "?"), answered with settings
// headers, a separator and the message; "TIME|..." usage reports are taken in silently.
// Everything that arrives is kept so tests can read what the program sent.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

class QUdpSocket;
class TLabHttpServer;

// The most a UDP reply can carry over IPv4.
constexpr qsizetype LabMaxDatagram = 65507;

struct TLabMotdConfig {
    QList<QByteArray> Headers; // "name=value" lines ahead of the separator
    bool Expired = false;      // "MOTD-EXPIRED" instead of "MOTD"
    QByteArray Message;        // plain text, or RTF (the program looks for "\rtf")
    QByteArray LineBreak{"\n"};

    QByteArray Reply() const;
};

// A message with a bold, coloured title, accented text and a link to Link, in RTF.
QByteArray LabDemoMotd(const QByteArray& Link);

struct TLabMotdArrival {
    QByteArray Text; // as sent, percent-decoding undone for HTTP
    bool Http = false;
};

class TLabMotdServer : public QObject {
    Q_OBJECT
public:
    explicit TLabMotdServer(const TLabMotdConfig& Config = {}, QObject* Parent = nullptr);
    ~TLabMotdServer() override;

    // UDP and TCP on the same port number; 0: one that is free for both.
    bool Listen(quint16 Port = 0);
    quint16 Port() const;

    QList<TLabMotdArrival> Requests() const { return FRequests; } // "MOTD|..."
    QList<TLabMotdArrival> Reports() const { return FReports; }   // "TIME|..."
    int Ignored() const { return FIgnored; } // datagrams and GETs that were neither

    TLabMotdConfig Config; // read afresh for every request

signals:
    void Requested();
    void Reported();

private:
    enum TKind { Request, Report, Other };
    TKind Take(const QByteArray& Text, bool Http);
    void ReadDatagrams();
    bool ListenBoth(quint16 Port);

    QUdpSocket* FUdp;
    TLabHttpServer* FHttp;
    QList<TLabMotdArrival> FRequests, FReports;
    int FIgnored = 0;
};
