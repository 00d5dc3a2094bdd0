#include "portal/motd.h"

#include "net/netutils.h"

#include <QSet>

namespace {
QByteArray Field(QByteArray Text) {
    Text.replace('|', QByteArray());
    return Text;
}
} // namespace

QByteArray MotdRequest(const TMotdRequestFields& Fields) {
    return "MOTD|" + Field(Fields.Version) + '|' + Field(Fields.Product) + '|' +
           Field(Fields.Email) + '|' + Field(Fields.InstallCode) + "|N|1|" +
           (Fields.Notify ? "1" : "0") + '|' + Field(Fields.RealName) + '|' + Field(Fields.Age) +
           '|' + Field(Fields.Zip) + '|';
}

QByteArray MotdUsageReport(const QByteArray& Version, const QByteArray& Product,
                           const QByteArray& InstallCode, int RunMinutes, int ActiveMinutes) {
    return "TIME|" + Field(Version) + '|' + Field(Product) + '|' + Field(InstallCode) + '|' +
           QByteArray::number(RunMinutes) + '|' + QByteArray::number(ActiveMinutes) + '|';
}

int MotdMinutes(qint64 Milliseconds) {
    return RoundSeconds(double(Milliseconds) / 1000.0 / 60.0);
}

TMotdReply TMotdReply::Parse(const QByteArray& Reply) {
    TMotdReply R;
    R.Rich = Reply.contains("\\rtf");
    R.Checksum = TextChecksum(Reply);
    QList<QByteArray> Lines;
    if (!Reply.isEmpty()) Lines = Reply.split('\n');
    // A line break at the very end ends the last line; it does not start another.
    if (Reply.endsWith('\n')) Lines.removeLast();
    for (QByteArray& Line : Lines)
        if (Line.endsWith('\r')) Line.chop(1);
    qsizetype Next = 0;
    while (Next < Lines.size()) {
        const QByteArray& Line = Lines[Next++];
        if (Line == "MOTD-EXPIRED" || Line == "MOTD") {
            R.Separated = true;
            R.Expired = Line == "MOTD-EXPIRED";
            break;
        }
        R.Headers << Line;
    }
    if (R.Separated) R.Message = Lines.mid(Next).join('\n');
    return R;
}

QList<QPair<QByteArray, QByteArray>> MotdSettings(const QList<QByteArray>& Headers) {
    QList<QPair<QByteArray, QByteArray>> Result;
    QSet<QByteArray> Seen;
    for (const QByteArray& Line : Headers) {
        const qsizetype Equals = Line.indexOf('=');
        if (Equals <= 0) continue;
        const QByteArray Name = Line.left(Equals);
        if (Name.contains('<')) continue;
        const QByteArray Key = Name.toLower();
        if (Seen.contains(Key)) continue;
        Seen.insert(Key);
        Result.append({Name, Line.mid(Equals + 1)});
    }
    return Result;
}

bool MotdOffersUpdate(const QList<QByteArray>& Headers) {
    for (const QByteArray& Line : Headers) {
        const qsizetype Equals = Line.indexOf('=');
        if (Equals >= 0 && Line.left(Equals) == "updatever") return true;
    }
    return false;
}
