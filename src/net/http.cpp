#include "net/http.h"

#include "net/WSockets.h"

#include <QHash>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>
#include <memory>
#include <unordered_map>

// One curl multi handle for the GUI thread, fed by socket notifiers and one timer.
class TCurlDriver : public QObject {
public:
    static TCurlDriver& Instance() {
        static TCurlDriver Driver;
        return Driver;
    }

    void Add(THttpClient* Client) {
        Clients.insert(Client->Handle, Client);
        curl_multi_add_handle(Multi, Client->Handle);
    }

    void Remove(THttpClient* Client) {
        Clients.remove(Client->Handle);
        curl_multi_remove_handle(Multi, Client->Handle);
    }

private:
    struct TWatch {
        std::unique_ptr<QSocketNotifier> Read, Write;
    };

    TCurlDriver() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        Multi = curl_multi_init();
        curl_multi_setopt(Multi, CURLMOPT_SOCKETFUNCTION, &TCurlDriver::SocketCallback);
        curl_multi_setopt(Multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(Multi, CURLMOPT_TIMERFUNCTION, &TCurlDriver::TimerCallback);
        curl_multi_setopt(Multi, CURLMOPT_TIMERDATA, this);
        Timer.setSingleShot(true);
        connect(&Timer, &QTimer::timeout, this, [this] { Action(CURL_SOCKET_TIMEOUT, 0); });
    }

    ~TCurlDriver() override {
        Watches.clear();
        Graveyard.clear();
        curl_multi_cleanup(Multi);
        curl_global_cleanup();
    }

    static int SocketCallback(CURL*, curl_socket_t Socket, int What, void* Self, void*) {
        auto* D = static_cast<TCurlDriver*>(Self);
        if (What == CURL_POLL_REMOVE) {
            if (auto It = D->Watches.find(Socket); It != D->Watches.end()) {
                D->Bury(It->second.Read);
                D->Bury(It->second.Write);
                D->Watches.erase(It);
            }
            return 0;
        }
        TWatch& W = D->Watches[Socket];
        const auto Watch = [D, Socket](std::unique_ptr<QSocketNotifier>& N,
                                       QSocketNotifier::Type Type, bool Wanted, int Event) {
            if (!Wanted) {
                D->Bury(N);
                return;
            }
            if (N) return;
            N.reset(new QSocketNotifier(Socket, Type));
            QObject::connect(N.get(), &QSocketNotifier::activated, D,
                             [D, Socket, Event] { D->Action(Socket, Event); });
        };
        Watch(W.Read, QSocketNotifier::Read, What == CURL_POLL_IN || What == CURL_POLL_INOUT,
              CURL_CSELECT_IN);
        Watch(W.Write, QSocketNotifier::Write, What == CURL_POLL_OUT || What == CURL_POLL_INOUT,
              CURL_CSELECT_OUT);
        return 0;
    }

    static int TimerCallback(CURLM*, long TimeoutMs, void* Self) {
        auto* D = static_cast<TCurlDriver*>(Self);
        if (TimeoutMs < 0)
            D->Timer.stop();
        else
            D->Timer.start(int(TimeoutMs));
        return 0;
    }

    // A notifier may be the one being served right now: it is switched off and freed at the
    // next turn, never inside its own signal.
    void Bury(std::unique_ptr<QSocketNotifier>& N) {
        if (!N) return;
        N->setEnabled(false);
        Graveyard.push_back(std::move(N));
    }

    void Action(curl_socket_t Socket, int Events) {
        Graveyard.clear();
        int Running = 0;
        curl_multi_socket_action(Multi, Socket, Events, &Running);
        // Events reach their owners only now, outside curl, where handlers may do anything.
        QList<QPair<QPointer<THttpClient>, int>> Done;
        int Left = 0;
        while (CURLMsg* Message = curl_multi_info_read(Multi, &Left))
            if (Message->msg == CURLMSG_DONE)
                if (THttpClient* C = Clients.value(Message->easy_handle))
                    Done.append({C, int(Message->data.result)});
        const QList<THttpClient*> Active = Clients.values();
        QList<QPointer<THttpClient>> Guarded(Active.begin(), Active.end());
        for (const QPointer<THttpClient>& C : Guarded)
            if (C) C->Deliver();
        for (const auto& [C, Code] : Done)
            if (C) C->Finished(Code);
    }

    CURLM* Multi = nullptr;
    QTimer Timer;
    std::unordered_map<curl_socket_t, TWatch> Watches;
    std::vector<std::unique_ptr<QSocketNotifier>> Graveyard;
    QHash<CURL*, THttpClient*> Clients;
};

size_t THttpClient::WriteBody(char* Data, size_t Size, size_t Count, void* Self) {
    auto* C = static_cast<THttpClient*>(Self);
    const qsizetype Bytes = qsizetype(Size * Count);
    // A body past the cap ends the request (curl reports a write error).
    if (C->RcvdCount + C->Pending.size() + Bytes > C->MaxBodyBytes) return 0;
    C->Pending.append(Data, Bytes);
    return Size * Count;
}

THttpClient::THttpClient(QObject* Parent) : QObject(Parent) {}

THttpClient::~THttpClient() {
    Release();
}

bool THttpClient::GetASync() {
    if (Handle) {
        ReasonPhrase = QStringLiteral("HTTP component is busy");
        return false;
    }
    Handle = curl_easy_init();
    Pending.clear();
    StatusLine.clear();
    RcvdCount = 0;
    StatusCode = 0;
    ReasonPhrase.clear();
    DocBegun = false;
    HeadersDone = false;
    ErrorBuffer[0] = 0;

    curl_easy_setopt(Handle, CURLOPT_URL, URL.constData());
    curl_easy_setopt(Handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(Handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(Handle, CURLOPT_ERRORBUFFER, ErrorBuffer);
    curl_easy_setopt(Handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(Handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(Handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(Handle, CURLOPT_MAXREDIRS, long(MaxRedirects));
    curl_easy_setopt(Handle, CURLOPT_CONNECTTIMEOUT_MS, long(ConnectTimeoutMs));
    curl_easy_setopt(Handle, CURLOPT_TIMEOUT_MS, long(TotalTimeoutMs));
    curl_easy_setopt(Handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(Handle, CURLOPT_LOW_SPEED_TIME, long(qMax(1, StallTimeoutMs / 1000)));
    curl_easy_setopt(Handle, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxBodyBytes));
    curl_easy_setopt(Handle, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(Handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(
        Handle, CURLOPT_HEADERFUNCTION,
        +[](char* Data, size_t Size, size_t Count, void* Self) -> size_t {
            auto* C = static_cast<THttpClient*>(Self);
            const QByteArray Line(Data, qsizetype(Size * Count));
            // Every response of a redirect chain starts over: only the last one is the document.
            if (Line.startsWith("HTTP/")) {
                C->StatusLine = Line.trimmed();
                C->Pending.clear();
                C->HeadersDone = false;
            } else if (Line == "\r\n" || Line == "\n") {
                C->HeadersDone = true;
            }
            return Size * Count;
        });
    curl_easy_setopt(Handle, CURLOPT_HEADERDATA, this);
    if (!Agent.isEmpty()) curl_easy_setopt(Handle, CURLOPT_USERAGENT, Agent.constData());
    // Only the header lines the protocol calls for: none of curl's own extras.
    Headers = curl_slist_append(Headers, "Accept:");
    Headers = curl_slist_append(Headers, "Proxy-Connection:");
    if (NoCache) Headers = curl_slist_append(Headers, "Pragma: no-cache");
    curl_easy_setopt(Handle, CURLOPT_HTTPHEADER, Headers);

    if (!Proxy.isEmpty()) {
        curl_easy_setopt(Handle, CURLOPT_PROXY, Proxy.constData());
        if (!ProxyPort.isEmpty()) curl_easy_setopt(Handle, CURLOPT_PROXYPORT, ProxyPort.toLong());
        curl_easy_setopt(Handle, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        if (!ProxyUsername.isEmpty()) {
            curl_easy_setopt(Handle, CURLOPT_PROXYUSERNAME, ProxyUsername.constData());
            curl_easy_setopt(Handle, CURLOPT_PROXYPASSWORD, ProxyPassword.constData());
            curl_easy_setopt(Handle, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
        }
    } else if (!Socks.SocksServer.isEmpty()) {
        // SOCKS 4 carries an address, so names are resolved here; SOCKS 5 lets the proxy do it.
        const QByteArray Scheme = Socks.SocksLevel == "4" ? "socks4://" : "socks5h://";
        const QByteArray Address = Scheme + Socks.SocksServer + ':' +
                                   (Socks.SocksPort.isEmpty() ? "1080" : Socks.SocksPort);
        curl_easy_setopt(Handle, CURLOPT_PROXY, Address.constData());
        if (Socks.SocksAuthentication) {
            curl_easy_setopt(Handle, CURLOPT_PROXYUSERNAME, Socks.SocksUsercode.constData());
            curl_easy_setopt(Handle, CURLOPT_PROXYPASSWORD, Socks.SocksPassword.constData());
        }
    } else {
        // Only what the user configured: never the environment's proxy.
        curl_easy_setopt(Handle, CURLOPT_PROXY, "");
    }
    TCurlDriver::Instance().Add(this);
    return true;
}

void THttpClient::Deliver() {
    if (!Handle) return;
    if (!DocBegun && !Pending.isEmpty()) {
        DocBegun = true;
        QPointer<THttpClient> Self(this);
        FireEvent(OnDocBegin, this);
        if (!Self || !Handle) return;
    }
    if (Pending.isEmpty()) return;
    if (RcvdStream) RcvdStream->append(Pending);
    RcvdCount += Pending.size();
    Pending.clear();
}

void THttpClient::Finished(int Code) {
    if (!Handle) return;
    long Status = 0;
    curl_easy_getinfo(Handle, CURLINFO_RESPONSE_CODE, &Status);
    if (HeadersDone && !DocBegun) {
        // A response without a body still begins and ends a document.
        DocBegun = true;
        QPointer<THttpClient> Self(this);
        FireEvent(OnDocBegin, this);
        if (!Self || !Handle) return;
    }
    Deliver();
    if (!Handle) return;
    if (Code == CURLE_OK) {
        StatusCode = int(Status);
        const qsizetype Space = StatusLine.indexOf(' ', StatusLine.indexOf(' ') + 1);
        ReasonPhrase = Space < 0 ? QString() : QString::fromLatin1(StatusLine.mid(Space + 1));
    } else {
        StatusCode = 0;
        ReasonPhrase =
            QString::fromLatin1(*ErrorBuffer ? ErrorBuffer : curl_easy_strerror(CURLcode(Code)));
    }
    Release();
    FireEvent(OnDocEnd, this);
}

void THttpClient::Abort() {
    if (!Handle) return;
    Release();
    StatusCode = 0;
    ReasonPhrase = QStringLiteral("Connection aborted on request");
    FireEvent(OnDocEnd, this);
}

void THttpClient::Release() {
    if (!Handle) return;
    TCurlDriver::Instance().Remove(this);
    curl_easy_cleanup(Handle);
    Handle = nullptr;
    curl_slist_free_all(Headers);
    Headers = nullptr;
}
