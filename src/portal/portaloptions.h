// --motd and --web of scoutly-lite and scoutly-shots: point the News window, the banner
// strip and the ticker at other servers (a lab on loopback) by storing the values that
// override their defaults, as a message-of-the-day reply would.
#pragma once

#include "config/settingsstore.h"

#include <QRegularExpression>
#include <QUrl>
#include <optional>

// The direct values under the edition's key.
inline const QString PortalSettingsKey = "Software\\Scoutly\\tarnwick\\morrow";

// Motd: "host[:port]" (port 25636 when left out); the HTTP requests go to the same port.
// Web: the server's base address; banners come from Web + "banner", clicks go to
// Web + "click", the ticker document is Web + "ticker.txt". Either left out leaves its values
// alone; an empty text clears them so the defaults apply again. Nothing is written unless
// both are well formed; Error then says which is not.
inline bool StorePortalOverrides(TRegistry& Registry, const std::optional<QString>& Motd,
                                 const std::optional<QString>& Web, QString& Error) {
    QString MotdHost, MotdPort, MotdUrl;
    if (Motd && !Motd->isEmpty()) {
        // An IPv6 address goes in brackets.
        const auto Match =
            QRegularExpression("^(?:\\[([0-9A-Fa-f:.]+)\\]|([^\\[\\]/:\\s]+))(?::(\\d{1,5}))?$")
                .match(*Motd);
        const uint Port = Match.captured(3).isEmpty() ? 25636 : Match.captured(3).toUInt();
        if (!Match.hasMatch() || Port == 0 || Port > 65535) {
            Error = "--motd wants HOST[:PORT], not \"" + *Motd + '"';
            return false;
        }
        MotdHost = Match.captured(1) + Match.captured(2);
        MotdPort = QString::number(Port);
        QUrl Url;
        Url.setScheme("http");
        Url.setHost(MotdHost);
        Url.setPort(int(Port));
        Url.setPath("/motd");
        MotdUrl = Url.toString() + '?';
    }
    QString Base;
    if (Web && !Web->isEmpty()) {
        const QUrl Url(*Web, QUrl::StrictMode);
        if (!Url.isValid() || (Url.scheme() != "http" && Url.scheme() != "https") ||
            Url.host().isEmpty() || Url.hasQuery() || Url.hasFragment()) {
            Error = "--web wants an address like http://HOST:PORT/, not \"" + *Web + '"';
            return false;
        }
        Base = Url.toString();
        if (!Base.endsWith('/')) Base += '/';
    }
    if (Motd) {
        Registry.WriteString(PortalSettingsKey, "motdhost", MotdHost);
        Registry.WriteString(PortalSettingsKey, "motdport", MotdPort);
        Registry.WriteString(PortalSettingsKey, "motdurl", MotdUrl);
    }
    if (Web) {
        // A link entry's stored text decides whether its stored address counts, so the
        // ticker entry, whose text is otherwise unused, needs one too.
        const auto Link = [&](const QString& Name, const QString& Text, const QString& Address) {
            Registry.WriteString(PortalSettingsKey, Name + "text", Base.isEmpty() ? "" : Text);
            Registry.WriteString(PortalSettingsKey, Name + "url", Base.isEmpty() ? "" : Address);
            Registry.WriteString(PortalSettingsKey, Name + "hint", "");
        };
        Link("banner", Base + "banner", Base + "click");
        Link("scroller", "News", Base + "ticker.txt");
    }
    return true;
}
