// An asynchronous HTTP/1.0 GET client on libcurl's multi-socket interface, driven by the Qt
// event loop (a socket notifier per curl socket, one timer for curl's time-outs): no thread,
// no polling. Proxies come from the configuration (HTTP proxy, or the SOCKS proxy of its own
// socket); the events arrive on the GUI thread, never from inside curl.
#pragma once

#include "net/proxysettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

typedef void CURL;
struct curl_slist;

enum THttpState { httpReady = 0, httpBusy = 1 };

class THttpClient : public QObject, public THttpProxySettings {
    Q_OBJECT
public:
    using THttpEvent = std::function<void(THttpClient* Sender)>;

    explicit THttpClient(QObject* Parent = nullptr);
    ~THttpClient() override;

    QByteArray URL;
    QByteArray Agent;
    bool NoCache = false;
    // Where the body goes; set it in OnDocBegin. Without one the body is counted and dropped.
    QByteArray* RcvdStream = nullptr;
    qint64 RcvdCount = 0;
    THttpEvent OnDocBegin; // the response body starts
    THttpEvent OnDocEnd;   // the response is complete, or the request ended without one

    // The outcome of the last request: the HTTP status with its reason, or 0 and what went wrong
    // ("Connection aborted on request", a connection or proxy failure, a time-out).
    int StatusCode = 0;
    QString ReasonPhrase;

    // Limits a document fetch never needs to exceed.
    int ConnectTimeoutMs = 15000;
    int TotalTimeoutMs = 60000;
    int StallTimeoutMs = 20000; // no byte for this long ends the request
    qint64 MaxBodyBytes = 4 * 1024 * 1024;
    int MaxRedirects = 5;

    THttpState State() const { return Handle ? httpBusy : httpReady; }
    // Starts the GET and returns at once. False, with ReasonPhrase "HTTP component is busy",
    // while a request is under way.
    bool GetASync();
    // Ends the request under way; OnDocEnd follows before Abort returns.
    void Abort();

private:
    friend class TCurlDriver;
    void Deliver();
    void Finished(int Code);
    void Release();
    static size_t WriteBody(char* Data, size_t Size, size_t Count, void* Self);

    CURL* Handle = nullptr;
    curl_slist* Headers = nullptr;
    QByteArray Pending;    // body bytes not yet handed over
    QByteArray StatusLine; // of the response being received
    bool DocBegun = false;
    bool HeadersDone = false;
    char ErrorBuffer[256] = {};
};
