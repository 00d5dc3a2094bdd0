// What the server list and the players pane show of a parsed record: every column text.
#pragma once

#include "servers/customserver.h"

inline void ShowRecord(const TGameServer& Server) {
    QList<QByteArray> Columns;
    Server.GetColumnTexts(Columns);
    for (const auto& Player : Server.Players) {
        QList<QByteArray> Texts;
        Player->GetColumnTexts(Texts);
    }
}
