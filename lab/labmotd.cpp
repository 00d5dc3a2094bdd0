#include "labmotd.h"

#include "labhttp.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QUdpSocket>

QByteArray TLabMotdConfig::Reply() const {
    QByteArray Text;
    for (const QByteArray& Header : Headers)
        Text += Header + LineBreak;
    return Text + (Expired ? "MOTD-EXPIRED" : "MOTD") + LineBreak + Message;
}

QByteArray LabDemoMotd(const QByteArray& Link) {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\n"
           "{\\colortbl ;\\red192\\green32\\blue32;\\red0\\green102\\blue204;"
           "\\red0\\green128\\blue64;}\n"
           "\\f0\\fs20{\\b\\fs28\\cf1 Welcome to the Scoutly Lab!}\\par\n"
           "\\par\n"
           "This news comes from the lab's message-of-the-day server on your own machine.\\par\n"
           "{\\b Tonight:} the {\\b\\cf3 Morrow CTF Cup} qualifiers on Frosthold CTF and Keep of "
           "Ash - sign up with your clan.\\par\n"
           "{\\i Caf\\'e9 crawl} on the Duel Pit at 21:00, first to 10 wins.\\par\n"
           "\\par\n"
           "Brackets and rules: {\\field{\\*\\fldinst{HYPERLINK \"" +
           Link + "\"}}{\\fldrslt{\\ul\\cf2 " + Link + "}}}\\par\n}\n";
}

TLabMotdServer::TLabMotdServer(const TLabMotdConfig& Config, QObject* Parent)
    : QObject(Parent), Config(Config), FUdp(new QUdpSocket(this)), FHttp(new TLabHttpServer(this)) {
    FUdp->setProxy(QNetworkProxy::NoProxy);
    connect(FUdp, &QUdpSocket::readyRead, this, &TLabMotdServer::ReadDatagrams);
    FHttp->OnRequest = [this](const QByteArray& Target) -> TLabHttpReply {
        const qsizetype Query = Target.indexOf('?');
        const QByteArray Text =
            Query < 0 ? QByteArray() : QByteArray::fromPercentEncoding(Target.mid(Query + 1));
        switch (Take(Text, true)) {
        case Request:
            return {200, "text/plain", this->Config.Reply()};
        case Report:
            return {200, "text/plain", {}};
        case Other:
            break;
        }
        return {400, "text/plain", "not a MOTD| request or TIME| report\n"};
    };
}

TLabMotdServer::~TLabMotdServer() = default;

bool TLabMotdServer::ListenBoth(quint16 Port) {
    FUdp->close();
    if (!FUdp->bind(QHostAddress::LocalHost, Port, QAbstractSocket::DontShareAddress)) return false;
    if (FHttp->Listen(FUdp->localPort())) return true;
    FUdp->close();
    return false;
}

bool TLabMotdServer::Listen(quint16 Port) {
    if (Port) return ListenBoth(Port);
    // A free UDP port may be taken for TCP; another one will do.
    for (int Try = 0; Try < 50; ++Try)
        if (ListenBoth(0)) return true;
    return false;
}

quint16 TLabMotdServer::Port() const {
    return FUdp->localPort();
}

TLabMotdServer::TKind TLabMotdServer::Take(const QByteArray& Text, bool Http) {
    if (Text.startsWith("MOTD|")) {
        FRequests.append({Text, Http});
        emit Requested();
        return Request;
    }
    if (Text.startsWith("TIME|")) {
        FReports.append({Text, Http});
        emit Reported();
        return Report;
    }
    ++FIgnored;
    return Other;
}

void TLabMotdServer::ReadDatagrams() {
    while (FUdp->hasPendingDatagrams()) {
        const QNetworkDatagram Datagram = FUdp->receiveDatagram();
        if (Take(Datagram.data(), false) == Request)
            FUdp->writeDatagram(Config.Reply(), Datagram.senderAddress(),
                                quint16(Datagram.senderPort()));
    }
}
