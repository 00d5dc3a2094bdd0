// Small stateless helpers shared by the protocols, the chat and the windows. Wire and file
// text is bytes (QByteArray); DisplayText is the one place bytes become text for a person.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <bitset>
#include <functional>

using TCharSet = std::bitset<256>;

// Backslash key/value text: the first "\Name\" anywhere; the value runs to the next backslash
// or character below 32. With Remove the pair is cut out and the ending character stays.
QByteArray ExtractValue(QByteArray& Text, const QByteArray& Name, bool Remove);
QByteArray GetValue(const QByteArray& Text, const QByteArray& Name);

QByteArray NextToken(QByteArray& Text, char Delimiter);
QByteArray NextBackslashToken(QByteArray& Text);
// The text up to the first NUL, cut from Text with the NUL; all of Text (left as it is) when
// there is no NUL.
QByteArray TakeCString(QByteArray& Text);

QByteArray HostOf(const QByteArray& Text);
QByteArray PortOf(const QByteArray& Text, const QByteArray& Default);
bool IsDottedIP(const QByteArray& Text);
// A decimal port 1..65535 and nothing else.
bool IsValidPort(const QByteArray& Text);

QByteArray UrlEncode(const QByteArray& Text);
QByteArray FilterChars(const QByteArray& Text, bool Delete, const TCharSet& CharSet,
                       char Replacement);
QByteArray CleanControlChars(const QByteArray& Text, bool Delete);
qint32 TextChecksum(const QByteArray& Text);
int MaxOf(int A, int B);
int RoundSeconds(double Seconds);
// Decimal integer as the protocols read it: 0 when absent, not a number or out of range.
int IntOfText(const QByteArray& Text);

void CryptWithKey(unsigned char* Buffer, int Length, const char* Key);
QByteArray Base64Encode(const unsigned char* Buffer, int Length);

// Milliseconds on a monotonic clock.
qint64 TickCount();

// Bytes from the wire or a file as text for a person: UTF-8 when valid, else Windows-1252.
QString DisplayText(const QByteArray& Bytes);
// Chat text without the colour and formatting codes of IRC clients (\x03 with up to two digits,
// an optional comma and up to two more; bold, italic, underline, reverse, reset).
QByteArray StripIrcFormatting(const QByteArray& Text);
// What a chat line shows: decoded, formatting codes gone, then control characters (C0, DEL,
// C1) removed from the characters - removing bytes 128..160 from UTF-8 would break it.
QString ChatText(const QByteArray& Bytes);

// Opens a web address in the user's browser. The core has no windows: the failure message
// ("Unable to launch web browser - " + URL) goes to the handler the UI installs.
void OpenURL(const QByteArray& URL);
void SetOpenURLFailureHandler(std::function<void(const QString& Message)> Handler);

struct TRunResult {
    bool Ok = false;
    qint64 Value = 0; // the process id, or the exit code when waited for
    QString Error;    // "Failed to execute program.  Error Code N" when not Ok
};

// Starts Program with Arguments in WorkingDirectory (the caller's when empty). No shell is
// involved. Failures come back in the result instead of an exception, since callers are
// event handlers.
TRunResult RunProgram(const QString& Program, const QStringList& Arguments,
                      const QString& WorkingDirectory = QString(), bool Wait = false);
