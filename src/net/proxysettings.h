// Proxy settings as the connections that honour them hold them. The SOCKS-capable socket
// and the HTTP client carry these; the configuration dialog fills them right before use.
#pragma once

#include <QByteArray>

struct TSocksSettings {
    QByteArray SocksServer; // empty: connect directly
    QByteArray SocksPort;
    QByteArray SocksLevel{"5"}; // "4" or "5"
    QByteArray SocksUsercode;
    QByteArray SocksPassword;
    bool SocksAuthentication = false;
};

struct THttpProxySettings {
    QByteArray Proxy; // empty: no HTTP proxy
    QByteArray ProxyPort{"80"};
    QByteArray ProxyUsername;
    QByteArray ProxyPassword;
    TSocksSettings Socks; // the client's own socket
};

// What the user chose, read from the dialog at the moment it is applied.
struct TProxyChoice {
    bool UseHttp = false;
    QByteArray HttpAddress, HttpPort, HttpUser, HttpPassword;
    bool UseSocks = false;
    QByteArray SocksAddress, SocksUser, SocksPassword;
    bool Socks5 = true;
};

void ApplySocksProxy(const TProxyChoice& Choice, TSocksSettings& Socket);
void ApplyHttpProxy(const TProxyChoice& Choice, THttpProxySettings& Client);
