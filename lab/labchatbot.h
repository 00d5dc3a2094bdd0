// Chat bots for a loopback IRC server: a helper that greets newcomers and answers a few
// commands, and talkers that keep a channel busy, so a chat window has company offline.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

class QTcpSocket;
class QTimer;

struct TLabChatBotConfig {
    QByteArray Nick{"Scout"};
    QByteArray Channel{"#morrow"};
    bool Helper = true;  // greets joiners, answers !help, !servers, hello and private messages
    bool Talker = false; // posts game chat (now and then an action) at random intervals
    int MinIntervalMs = 4000, MaxIntervalMs = 9000;
    QByteArray Topic;          // set when the bot finds itself operator of a topicless channel
    QList<QByteArray> Friends; // nicks a talker may mention
    quint32 Seed = 1;
    int ReconnectMs = 3000; // after a refused or lost connection
};

class TLabChatBot : public QObject {
    Q_OBJECT
public:
    explicit TLabChatBot(const TLabChatBotConfig& Config = {}, QObject* Parent = nullptr);
    ~TLabChatBot() override;

    // Connects (and reconnects until Stop) to an IRC server by name or address.
    void Start(const QString& Host, quint16 Port);
    void Stop(); // QUIT and no reconnecting

    QByteArray Nick() const { return FNick; }     // as registered; a taken nick gets digits
    bool InChannel() const { return FInChannel; } // from the end of its names on
    QString LastError() const { return FLastError; }
    int LinesPosted() const { return FPosted; } // talker lines and actions

    const TLabChatBotConfig Config;

signals:
    void Joined();
    void Failed(); // a refused, unreachable or broken connection; LastError says which

private:
    void Connect();
    void Lost();
    void Read();
    void Handle(const QByteArray& Line);
    void Message(const QByteArray& From, const QByteArray& Target, const QByteArray& Text);
    QByteArray Answer(const QByteArray& From, QByteArray Text, bool Private);
    void Say(const QByteArray& Target, const QByteArray& Text);
    void Send(const QByteArray& Line);
    void Talk();
    void ScheduleTalk();
    QByteArray ServersLine();

    QTcpSocket* FSocket;
    QTimer *FTalk, *FReconnect;
    QString FHost;
    quint16 FPort = 0;
    QByteArray FNick, FBuffer;
    int FNickTries = 0, FPosted = 0;
    QList<int> FDeck; // talker lines still to come this round
    bool FRegistered = false, FInChannel = false, FStopped = false, FOperator = false,
         FHasTopic = false;
    QString FLastError;
    QRandomGenerator FRandom;
};
