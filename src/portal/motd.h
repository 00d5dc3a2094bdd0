// The message-of-the-day exchange: the request and usage-report texts, and a reply taken
// apart into its settings headers and its message. The "News" window drives it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// What a request tells the message service about this copy and its user.
struct TMotdRequestFields {
    QByteArray Version; // the three version parts written one after the other
    QByteArray Product;
    QByteArray Email;
    QByteArray InstallCode;
    bool Notify = true; // the user wants to hear of new versions
    QByteArray RealName;
    QByteArray Age;
    QByteArray Zip;
};

// "MOTD|" version "|" product "|" e-mail "|" code "|N|1|" notify "|" name "|" age "|" zip "|".
// A "|" typed into a field is left out: it would shift every field after it.
QByteArray MotdRequest(const TMotdRequestFields& Fields);

// "TIME|" version "|" product "|" code "|" minutes since start "|" minutes not minimised "|".
QByteArray MotdUsageReport(const QByteArray& Version, const QByteArray& Product,
                           const QByteArray& InstallCode, int RunMinutes, int ActiveMinutes);

// Whole minutes of use for the report, rounded as the service has always been told them.
int MotdMinutes(qint64 Milliseconds);

struct TMotdReply {
    // Header lines come first, up to a line "MOTD" or "MOTD-EXPIRED"; the rest is the message.
    static TMotdReply Parse(const QByteArray& Reply);

    QList<QByteArray> Headers;
    QByteArray Message; // lines joined with "\n"; empty without a separator line
    bool Separated = false;
    bool Expired = false; // this version may no longer be used
    bool Rich = false;    // the reply holds "\rtf" anywhere: the message is RTF
    qint32 Checksum = 0;  // TextChecksum of the whole reply, to recognise a message seen before
};

// The settings header lines carry: name "=" value, in order of first appearance. A name that
// comes again (in any case) keeps its first value; empty names and names holding "<" (markup,
// not settings) are left out.
QList<QPair<QByteArray, QByteArray>> MotdSettings(const QList<QByteArray>& Headers);

// A header line names "updatever": a newer version can be installed.
bool MotdOffersUpdate(const QList<QByteArray>& Headers);
