// Opens links for every window: what the core's link rule allows goes to the desktop's
// opener, anything else is reported and left alone.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QWidget;

using TLinkRefused = std::function<void(const QString& Why)>;

// Opens Address (encoded, as stored or received), or hands Refused the sentence saying why not.
void OpenLink(const QByteArray& Address, const TLinkRefused& Refused);
// Says a refusal in the status bar of the main window Near sits in (docked pages included),
// or in a tool tip beside Near when it stands on its own.
TLinkRefused StatusBarReport(QWidget* Near);
