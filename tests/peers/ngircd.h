// ngircd in a throwaway folder, configured for tests: no PAM, ident, DNS, penalties or
// per-address caps, and a server PING after 5 s of silence (the least it accepts).
#pragma once

#include "peers/peers.h"

#include <pwd.h>
#include <unistd.h>

inline const char* const NgircdConfig = R"([Global]
	Name = irc.test.local
	Info = test ircd
	Listen = 127.0.0.1
	Ports = PORT
	MotdPhrase = hello
	AdminInfo1 = test
	AdminInfo2 = test
	AdminEMail = root@localhost
	PidFile = DIR/pid/ngircd.pid
[Limits]
	MaxConnectionsIP = 0
	MaxNickLength = 30
	MaxPenaltyTime = 0
	PingTimeout = 5
[Options]
	DNS = no
	Ident = no
	PAM = no
	IncludeDir = DIR/conf.d
	RequireAuthPing = no
)";

// Started as root, ngircd becomes nobody before it writes its pid file: that user must be
// able to reach the folder and write in DIR/pid.
inline bool StartNgircd(TPeer& Peer) {
    const QString Dir = Peer.Folder.path();
    if (!QDir(Dir).mkpath("pid") || !QDir(Dir).mkpath("conf.d")) {
        Peer.Why = "cannot make ngircd's folders";
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* Nobody = ::getpwnam("nobody");
        if (!Nobody || ::chown(QFile::encodeName(Dir + "/pid").constData(), Nobody->pw_uid,
                               Nobody->pw_gid) != 0) {
            Peer.Why = "cannot give DIR/pid to nobody";
            return false;
        }
        QFile::setPermissions(Dir, QFile::permissions(Dir) | QFileDevice::ExeOther);
    }
    return Peer.Start("ngircd", {"-n", "-f", "DIR/peer.conf"}, NgircdConfig);
}
