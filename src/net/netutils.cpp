#include "net/netutils.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QUrl>
#include <QVarLengthArray>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

QByteArray ExtractValue(QByteArray& Text, const QByteArray& Name, bool Remove) {
    // The "\Name\" pattern is built on the stack: lookups run for every key of every reply.
    QVarLengthArray<char, 64> Key(Name.size() + 2);
    Key[0] = '\\';
    std::copy(Name.begin(), Name.end(), Key.begin() + 1);
    Key[Key.size() - 1] = '\\';
    const qsizetype Start = Text.indexOf(QByteArrayView(Key.constData(), Key.size()));
    if (Start < 0) return {};
    const qsizetype ValueStart = Start + Key.size();
    qsizetype End = ValueStart;
    while (End < Text.size() && Text[End] != '\\' && uchar(Text[End]) >= 32)
        ++End;
    QByteArray Value = Text.mid(ValueStart, End - ValueStart);
    if (Remove) Text.remove(Start, End - Start);
    return Value;
}

QByteArray GetValue(const QByteArray& Text, const QByteArray& Name) {
    QByteArray Copy = Text;
    return ExtractValue(Copy, Name, false);
}

QByteArray NextToken(QByteArray& Text, char Delimiter) {
    const qsizetype First = Text.indexOf(Delimiter);
    if (First < 0) {
        Text.clear();
        return {};
    }
    // Qt 6 drops a prefix without moving the rest, so cutting tokens off the front stays linear.
    Text.remove(0, First + 1);
    const qsizetype Next = Text.indexOf(Delimiter);
    if (Next < 0) return std::exchange(Text, QByteArray());
    QByteArray Token = Text.left(Next);
    Text.remove(0, Next);
    return Token;
}

QByteArray NextBackslashToken(QByteArray& Text) {
    return NextToken(Text, '\\');
}

QByteArray TakeCString(QByteArray& Text) {
    const qsizetype Nul = Text.indexOf('\0');
    if (Nul < 0) return Text;
    QByteArray Result = Text.left(Nul);
    Text.remove(0, Nul + 1);
    return Result;
}

QByteArray HostOf(const QByteArray& Text) {
    const qsizetype Colon = Text.indexOf(':');
    return Colon < 0 ? Text : Text.left(Colon);
}

QByteArray PortOf(const QByteArray& Text, const QByteArray& Default) {
    const qsizetype Colon = Text.indexOf(':');
    if (Colon < 0) return Default;
    const QByteArray Port = Text.mid(Colon + 1);
    bool Ok = false;
    Port.toInt(&Ok);
    const bool Digits = !Port.isEmpty() && std::all_of(Port.begin(), Port.end(),
                                                       [](char C) { return C >= '0' && C <= '9'; });
    return Ok && Digits ? Port : Default;
}

bool IsDottedIP(const QByteArray& Text) {
    if (Text.isEmpty() || Text[0] == '0') return false;
    int Dots = 0;
    for (char C : Text) {
        if (C == '.')
            ++Dots;
        else if (C != ':' && (C < '0' || C > '9'))
            return false;
    }
    return Dots == 3;
}

bool IsValidPort(const QByteArray& Text) {
    if (Text.isEmpty() || Text.size() > 5) return false;
    for (char C : Text)
        if (C < '0' || C > '9') return false;
    const int Value = Text.toInt();
    return Value >= 1 && Value <= 65535;
}

QByteArray UrlEncode(const QByteArray& Text) {
    static const char Hex[] = "0123456789ABCDEF";
    QByteArray Result;
    Result.reserve(Text.size() * 3);
    for (char C : Text) {
        const uchar B = uchar(C);
        if ((B >= '0' && B <= '9') || (B >= 'A' && B <= 'Z') || (B >= 'a' && B <= 'z')) {
            Result += C;
        } else {
            Result += '%';
            Result += Hex[B >> 4];
            Result += Hex[B & 15];
        }
    }
    return Result;
}

QByteArray FilterChars(const QByteArray& Text, bool Delete, const TCharSet& CharSet,
                       char Replacement) {
    QByteArray Result;
    Result.reserve(Text.size());
    for (char C : Text) {
        if (!CharSet.test(uchar(C)))
            Result += C;
        else if (!Delete)
            Result += Replacement;
    }
    return Result;
}

QByteArray CleanControlChars(const QByteArray& Text, bool Delete) {
    static const TCharSet Controls = [] {
        TCharSet Set;
        for (int B = 0; B <= 31; ++B)
            Set.set(B);
        Set.set(127);
        for (int B = 128; B <= 144; ++B)
            Set.set(B);
        for (int B = 147; B <= 160; ++B)
            Set.set(B);
        return Set;
    }();
    return FilterChars(Text, Delete, Controls, ' ');
}

qint32 TextChecksum(const QByteArray& Text) {
    quint32 Sum = 0;
    for (qsizetype I = 0; I < Text.size(); ++I)
        Sum += uchar(Text[I]) + quint32((I + 1) % 256);
    return qint32(Sum);
}

int MaxOf(int A, int B) {
    return A > B ? A : B;
}

int RoundSeconds(double Seconds) {
    if (std::isnan(Seconds) || Seconds < 0.5) return 0;
    if (Seconds > 2147483647.0) return 2147483647;
    const double Whole = std::floor(Seconds);
    const int FirstDecimal = int(std::floor(Seconds * 10.0) - Whole * 10.0);
    return int(Whole) + (FirstDecimal >= 6 && Whole < 2147483647.0 ? 1 : 0);
}

int IntOfText(const QByteArray& Text) {
    bool Ok = false;
    const int Value = Text.toInt(&Ok);
    return Ok ? Value : 0;
}

void CryptWithKey(unsigned char* Buffer, int Length, const char* Key) {
    // An empty key counts as one zero byte rather than dividing by zero.
    const int KeyLength = qMax<int>(1, int(std::strlen(Key)));
    unsigned char S[256];
    for (int I = 0; I < 256; ++I)
        S[I] = uchar(I);
    for (int I = 0, J = 0, K = 0; I < 256; ++I) {
        J = (J + S[I] + uchar(Key[K])) & 255;
        std::swap(S[I], S[J]);
        K = (K + 1) % KeyLength;
    }
    // Unlike RC4 the first index advances by the plain byte plus one.
    int X = 0, Y = 0;
    for (int N = 0; N < Length; ++N) {
        X = (X + Buffer[N] + 1) & 255;
        Y = (Y + S[X]) & 255;
        std::swap(S[X], S[Y]);
        Buffer[N] ^= S[(S[X] + S[Y]) & 255];
    }
}

QByteArray Base64Encode(const unsigned char* Buffer, int Length) {
    static const char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray Result;
    Result.reserve((Length + 2) / 3 * 4);
    for (int I = 0; I < Length; I += 3) {
        const uint B0 = Buffer[I];
        const uint B1 = I + 1 < Length ? Buffer[I + 1] : 0;
        const uint B2 = I + 2 < Length ? Buffer[I + 2] : 0;
        const uint Group = (B0 << 16) | (B1 << 8) | B2;
        Result += Alphabet[(Group >> 18) & 63];
        Result += Alphabet[(Group >> 12) & 63];
        Result += Alphabet[(Group >> 6) & 63];
        Result += Alphabet[Group & 63];
    }
    return Result;
}

qint64 TickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString DisplayText(const QByteArray& Bytes) {
    QStringDecoder Utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Text = Utf8(Bytes);
    if (!Utf8.hasError()) return Text;
    // Windows-1252; its five unassigned bytes map to the same code points, as Windows does.
    static const char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    Text.resize(Bytes.size());
    for (qsizetype I = 0; I < Bytes.size(); ++I) {
        const uchar B = uchar(Bytes[I]);
        Text[I] = QChar(B >= 0x80 && B < 0xA0 ? High[B - 0x80] : char16_t(B));
    }
    return Text;
}

QByteArray StripIrcFormatting(const QByteArray& Text) {
    QByteArray Result;
    Result.reserve(Text.size());
    const auto Digits = [&](qsizetype& I) {
        for (int N = 0; N < 2 && I < Text.size() && Text[I] >= '0' && Text[I] <= '9'; ++N)
            ++I;
    };
    for (qsizetype I = 0; I < Text.size();) {
        const char C = Text[I];
        if (C == '\x03') {
            ++I;
            const qsizetype Start = I;
            Digits(I);
            // A background only follows a foreground: "\x03,5" keeps its comma.
            if (I > Start && I + 1 < Text.size() && Text[I] == ',' && Text[I + 1] >= '0' &&
                Text[I + 1] <= '9') {
                ++I;
                Digits(I);
            }
        } else if (C == '\x02' || C == '\x0f' || C == '\x16' || C == '\x1d' || C == '\x1f' ||
                   C == '\x1e') {
            ++I;
        } else {
            Result += C;
            ++I;
        }
    }
    return Result;
}

QString ChatText(const QByteArray& Bytes) {
    QString Text = DisplayText(StripIrcFormatting(Bytes));
    Text.removeIf([](QChar C) {
        const char16_t U = C.unicode();
        return U < 32 || U == 127 || (U >= 0x80 && U <= 0x9f);
    });
    return Text;
}

namespace {
std::function<void(const QString&)>& OpenURLFailure() {
    static std::function<void(const QString&)> Handler;
    return Handler;
}

// errno-style code for a start that failed, as far as it can be told from outside.
int StartErrorCode(const QString& Program, const QString& WorkingDirectory) {
    if (!WorkingDirectory.isEmpty() && !QFileInfo(WorkingDirectory).isDir()) return ENOENT;
    QString Path = Program;
    if (!Program.contains(QLatin1Char('/'))) Path = QStandardPaths::findExecutable(Program);
    if (Path.isEmpty()) return ENOENT;
    QFileInfo Info(WorkingDirectory.isEmpty() ? Path : QDir(WorkingDirectory).filePath(Path));
    if (!Info.exists()) return ENOENT;
    if (Info.isDir() || !Info.isExecutable()) return EACCES;
    return ENOEXEC;
}
} // namespace

void SetOpenURLFailureHandler(std::function<void(const QString& Message)> Handler) {
    OpenURLFailure() = std::move(Handler);
}

void OpenURL(const QByteArray& URL) {
    QByteArray Address = URL;
    Address.replace(' ', '+');
    if (QDesktopServices::openUrl(QUrl::fromEncoded(Address))) return;
    const QString Message =
        QStringLiteral("Unable to launch web browser - ") + DisplayText(Address);
    if (OpenURLFailure())
        OpenURLFailure()(Message);
    else
        qWarning("%s", qPrintable(Message));
}

TRunResult RunProgram(const QString& Program, const QStringList& Arguments,
                      const QString& WorkingDirectory, bool Wait) {
    TRunResult Result;
    QProcess Process;
    Process.setProgram(Program);
    Process.setArguments(Arguments);
    if (!WorkingDirectory.isEmpty()) Process.setWorkingDirectory(WorkingDirectory);
    bool Started = false;
    if (Wait) {
        Process.start();
        Started = Process.waitForStarted(-1);
        if (Started) {
            Process.waitForFinished(-1);
            Result.Value = Process.exitCode();
        }
    } else {
        Started = Process.startDetached(&Result.Value);
    }
    Result.Ok = Started;
    if (!Started)
        Result.Error = QStringLiteral("Failed to execute program.  Error Code %1")
                           .arg(StartErrorCode(Program, WorkingDirectory));
    return Result;
}
