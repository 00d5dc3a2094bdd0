#include "net/proxysettings.h"

void ApplySocksProxy(const TProxyChoice& Choice, TSocksSettings& Socket) {
    if (Choice.UseSocks) {
        Socket.SocksServer = Choice.SocksAddress;
        Socket.SocksPort = "1080"; // there is no port field for SOCKS
        Socket.SocksUsercode = Choice.SocksUser;
        Socket.SocksPassword = Choice.SocksPassword;
        Socket.SocksLevel = Choice.Socks5 ? "5" : "4";
        Socket.SocksAuthentication = !Choice.SocksUser.isEmpty();
    } else {
        Socket.SocksServer.clear();
        Socket.SocksPort.clear();
        Socket.SocksUsercode.clear();
        Socket.SocksPassword.clear();
    }
}

void ApplyHttpProxy(const TProxyChoice& Choice, THttpProxySettings& Client) {
    if (Choice.UseHttp) {
        Client.Proxy = Choice.HttpAddress;
        Client.ProxyPort = Choice.HttpPort;
        Client.ProxyUsername = Choice.HttpUser;
        Client.ProxyPassword = Choice.HttpPassword;
        return;
    }
    Client.Proxy.clear();
    Client.ProxyPort.clear();
    Client.ProxyUsername.clear();
    Client.ProxyPassword.clear();
    // Without an HTTP proxy, downloads go through the SOCKS proxy when there is one.
    if (Choice.UseSocks) ApplySocksProxy(Choice, Client.Socks);
}
