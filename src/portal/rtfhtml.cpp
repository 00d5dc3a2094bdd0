#include "portal/rtfhtml.h"

#include "net/netutils.h"

#include <QHash>
#include <vector>

namespace {

// Deeper groups than this share the state of the deepest kept one; their braces still count.
constexpr int MaxKeptDepth = 256;
constexpr int MaxWordLength = 32;
constexpr int MaxParamDigits = 10;

enum class TDest { Text, ColorTable, Skip };

struct TState {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    int Color = 0;      // index into the colour table
    int HalfPoints = 0; // 0: the viewer's size
    int UcSkip = 1;     // characters standing in for each \u
    TDest Dest = TDest::Text;

    void Plain() {
        Bold = Italic = Underline = false;
        Color = 0;
        HalfPoints = 0;
    }
};

struct TColor {
    int Red = 0, Green = 0, Blue = 0;
    bool Auto = true;
};

enum TWord {
    wBold,
    wItalic,
    wUnderline,
    wUnderlineOff,
    wPlain,
    wColor,
    wFontSize,
    wBreak,
    wTab,
    wCell,
    wUnicode,
    wUcSkip,
    wBinary,
    wColorTable,
    wRed,
    wGreen,
    wBlue,
    wSkipDest,
    wChar,
};

struct TWordInfo {
    TWord Kind;
    char16_t Char = 0;
};

const QHash<QByteArray, TWordInfo>& Words() {
    static const QHash<QByteArray, TWordInfo> Table = [] {
        QHash<QByteArray, TWordInfo> T{
            {"b", {wBold}},
            {"i", {wItalic}},
            {"ul", {wUnderline}},
            {"uld", {wUnderline}},
            {"uldb", {wUnderline}},
            {"uldash", {wUnderline}},
            {"ulth", {wUnderline}},
            {"ulw", {wUnderline}},
            {"ulwave", {wUnderline}},
            {"ulnone", {wUnderlineOff}},
            {"plain", {wPlain}},
            {"cf", {wColor}},
            {"fs", {wFontSize}},
            {"par", {wBreak}},
            {"line", {wBreak}},
            {"sect", {wBreak}},
            {"page", {wBreak}},
            {"row", {wBreak}},
            {"tab", {wTab}},
            {"cell", {wCell}},
            {"u", {wUnicode}},
            {"uc", {wUcSkip}},
            {"bin", {wBinary}},
            {"colortbl", {wColorTable}},
            {"red", {wRed}},
            {"green", {wGreen}},
            {"blue", {wBlue}},
            {"emdash", {wChar, 0x2014}},
            {"endash", {wChar, 0x2013}},
            {"emspace", {wChar, 0x2003}},
            {"enspace", {wChar, 0x2002}},
            {"qmspace", {wChar, 0x2005}},
            {"bullet", {wChar, 0x2022}},
            {"lquote", {wChar, 0x2018}},
            {"rquote", {wChar, 0x2019}},
            {"ldblquote", {wChar, 0x201C}},
            {"rdblquote", {wChar, 0x201D}},
        };
        // Destinations whose text is not part of what the message says.
        for (const char* Name : {"fonttbl",   "stylesheet",   "info",
                                 "pict",      "header",       "headerl",
                                 "headerr",   "headerf",      "footer",
                                 "footerl",   "footerr",      "footerf",
                                 "footnote",  "object",       "objdata",
                                 "fldinst",   "listtable",    "listoverridetable",
                                 "revtbl",    "rsidtbl",      "filetbl",
                                 "xmlnstbl",  "themedata",    "colorschememapping",
                                 "datastore", "latentstyles", "generator",
                                 "private",   "nonshppict",   "bkmkstart",
                                 "bkmkend",   "xe",           "tc",
                                 "txe",       "docvar",       "author",
                                 "operator",  "title",        "subject",
                                 "keywords",  "comment",      "doccomm",
                                 "company",   "template"})
            T.insert(Name, {wSkipDest});
        return T;
    }();
    return Table;
}

bool IsLetter(char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

int HexDigit(char C) {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

class TRtfReader {
public:
    explicit TRtfReader(const QByteArray& Rtf) : In(Rtf) {}

    QString Run() {
        Out = QStringLiteral("<html><body><div style=\"white-space: pre-wrap;\">");
        const qsizetype Size = In.size();
        while (Pos < Size) {
            const char C = In[Pos++];
            if (C == '{') {
                GroupStart();
            } else if (C == '}') {
                GroupEnd();
            } else if (C == '\\') {
                Control();
            } else if (C == '\r' || C == '\n') {
                // Line breaks in the source are only for the writer's eyes.
            } else {
                Text(C);
            }
        }
        FlushRaw();
        EndHighSurrogate();
        if (OpenLook != TLook()) Out += QLatin1String("</span>");
        Out += QLatin1String("</div></body></html>");
        return Out;
    }

private:
    void GroupStart() {
        FlushRaw();
        PendingSkip = 0;
        if (Stack.size() < MaxKeptDepth)
            Stack.push_back(State);
        else
            ++Overflow;
    }

    void GroupEnd() {
        FlushRaw();
        PendingSkip = 0;
        if (Overflow > 0) {
            --Overflow;
        } else if (!Stack.empty()) {
            State = Stack.back();
            Stack.pop_back();
        }
        // An unmatched closing brace is ignored.
    }

    // A character byte of the document (not a control).
    void Text(char C) {
        if (PendingSkip > 0) {
            --PendingSkip;
            return;
        }
        if (State.Dest == TDest::ColorTable) {
            if (C == ';') {
                Colors.push_back(Entry);
                Entry = TColor();
            }
            return;
        }
        if (State.Dest != TDest::Text) return;
        Raw += C;
    }

    void Control() {
        // Each run of plain bytes ends at a control, so it is shown with its own formatting.
        FlushRaw();
        if (Pos >= In.size()) return;
        const char C = In[Pos];
        if (!IsLetter(C)) {
            ++Pos;
            Symbol(C);
            return;
        }
        QByteArray Word;
        while (Pos < In.size() && IsLetter(In[Pos])) {
            if (Word.size() <= MaxWordLength) Word += In[Pos];
            ++Pos;
        }
        bool HasParam = false;
        bool Negative = false;
        qint64 Value = 0;
        if (Pos < In.size() && In[Pos] == '-' && Pos + 1 < In.size() && In[Pos + 1] >= '0' &&
            In[Pos + 1] <= '9') {
            Negative = true;
            ++Pos;
        }
        int Digits = 0;
        while (Pos < In.size() && In[Pos] >= '0' && In[Pos] <= '9') {
            if (Digits++ < MaxParamDigits) Value = Value * 10 + (In[Pos] - '0');
            HasParam = true;
            ++Pos;
        }
        if (Pos < In.size() && In[Pos] == ' ') ++Pos;
        if (Negative) Value = -Value;
        const int Param = int(qBound(qint64(-2147483647), Value, qint64(2147483647)));
        ControlWord(Word, HasParam, Param);
    }

    void Symbol(char C) {
        switch (C) {
        case '\\':
        case '{':
        case '}':
            Text(C);
            return;
        case '\'': {
            const int High = Pos < In.size() ? HexDigit(In[Pos]) : -1;
            const int Low = Pos + 1 < In.size() ? HexDigit(In[Pos + 1]) : -1;
            if (High < 0 || Low < 0) return; // not an escape: what follows is read as usual
            Pos += 2;
            if (PendingSkip > 0) {
                --PendingSkip;
                return;
            }
            if (State.Dest != TDest::Text) return;
            FlushRaw();
            // Escaped bytes are Windows-1252, whatever their neighbours look like.
            Emit(DisplayText(QByteArray(1, char(High * 16 + Low))));
            return;
        }
        case '*':
            State.Dest = TDest::Skip;
            return;
        case '~':
            Special(0x00A0);
            return;
        case '_':
            Special(0x2011);
            return;
        case '\r':
        case '\n':
            Break();
            return;
        default:
            // Optional hyphens, formula and index marks: nothing to show.
            if (PendingSkip > 0) --PendingSkip;
            return;
        }
    }

    void ControlWord(const QByteArray& Word, bool HasParam, int Param) {
        const auto Found = Words().constFind(Word);
        if (Found == Words().constEnd()) {
            if (PendingSkip > 0) --PendingSkip;
            return;
        }
        if (AnyDestinationWord(*Found, HasParam, Param)) return;
        if (State.Dest != TDest::Text) return;
        FlushRaw();
        TextWord(*Found, HasParam, Param);
    }

    // Words that act whatever the destination: false for those that only shape text.
    bool AnyDestinationWord(const TWordInfo& Info, bool HasParam, int Param) {
        switch (Info.Kind) {
        case wBinary:
            // Raw bytes follow; they are never text.
            FlushRaw();
            if (HasParam && Param > 0) Pos += qMin<qsizetype>(Param, In.size() - Pos);
            return true;
        case wSkipDest:
            State.Dest = TDest::Skip;
            return true;
        case wColorTable:
            if (State.Dest == TDest::Skip) return true;
            State.Dest = TDest::ColorTable;
            Colors.clear();
            Entry = TColor();
            return true;
        case wRed:
        case wGreen:
        case wBlue:
            if (State.Dest == TDest::ColorTable) {
                int& Part = Info.Kind == wRed     ? Entry.Red
                            : Info.Kind == wGreen ? Entry.Green
                                                  : Entry.Blue;
                Part = qBound(0, Param, 255);
                Entry.Auto = false;
            }
            return true;
        case wUcSkip:
            State.UcSkip = qBound(0, Param, 16);
            return true;
        default:
            return false;
        }
    }

    void TextWord(const TWordInfo& Info, bool HasParam, int Param) {
        const bool On = !HasParam || Param != 0;
        switch (Info.Kind) {
        case wBold:
            State.Bold = On;
            break;
        case wItalic:
            State.Italic = On;
            break;
        case wUnderline:
            State.Underline = On;
            break;
        case wUnderlineOff:
            State.Underline = false;
            break;
        case wPlain:
            State.Plain();
            break;
        case wColor:
            State.Color = qMax(0, Param);
            break;
        case wFontSize:
            // Half-points; nothing sensible lies outside 1 to 200 points.
            State.HalfPoints = HasParam && Param > 0 ? qBound(2, Param, 400) : 0;
            break;
        case wBreak:
            Break();
            break;
        case wTab:
            Special(u'\t');
            break;
        case wCell:
            Special(u'\t');
            break;
        case wChar:
            Special(Info.Char);
            break;
        case wUnicode: {
            // A signed 16-bit value; the characters after it stand in for readers without Unicode.
            int Code = Param;
            if (Code < 0) Code += 65536;
            if (HasParam && Code >= 0 && Code <= 0xFFFF) Char(char16_t(Code));
            PendingSkip = State.UcSkip;
            break;
        }
        default:
            break;
        }
    }

    // A character a control word or symbol stands for.
    void Special(char16_t C) {
        if (PendingSkip > 0) {
            --PendingSkip;
            return;
        }
        if (State.Dest != TDest::Text) return;
        FlushRaw();
        Char(C);
    }

    void Break() {
        if (State.Dest != TDest::Text) return;
        FlushRaw();
        EndHighSurrogate();
        if (InBlock >= ShownBlockChars)
            NewBlock();
        else
            Out += QLatin1String("<br />");
    }

    // A block of its own for what follows, looking like a line break.
    void NewBlock() {
        if (OpenLook != TLook()) Out += QLatin1String("</span>");
        OpenLook = TLook();
        Out += QLatin1String("</div><div style=\"white-space: pre-wrap;\">");
        InBlock = 0;
    }

    // Plain bytes are decoded together, so UTF-8 written straight into the file survives.
    void FlushRaw() {
        if (Raw.isEmpty()) return;
        const QString Decoded = DisplayText(Raw);
        Raw.clear();
        Emit(Decoded);
    }

    void Emit(const QString& Text) {
        for (const QChar C : Text)
            Char(C.unicode());
    }

    void Char(char16_t C) {
        if (QChar::isHighSurrogate(C)) {
            EndHighSurrogate();
            HighSurrogate = C;
            return;
        }
        if (QChar::isLowSurrogate(C)) {
            if (!HighSurrogate) {
                Put(0xFFFD);
                return;
            }
            StyleFor();
            Out += QChar(std::exchange(HighSurrogate, 0));
            Out += QChar(C);
            return;
        }
        EndHighSurrogate();
        Put(C);
    }

    void EndHighSurrogate() {
        if (HighSurrogate) {
            HighSurrogate = 0;
            Put(0xFFFD);
        }
    }

    void Put(char16_t C) {
        if (C < 0x20 && C != u'\t') return;
        if (InBlock >= 2 * ShownBlockChars) NewBlock();
        ++InBlock;
        StyleFor();
        switch (C) {
        case u'<':
            Out += QLatin1String("&lt;");
            break;
        case u'>':
            Out += QLatin1String("&gt;");
            break;
        case u'&':
            Out += QLatin1String("&amp;");
            break;
        case u'"':
            Out += QLatin1String("&quot;");
            break;
        default:
            Out += QChar(C);
        }
        if (C == u' ' && InBlock >= ShownBlockChars) NewBlock();
    }

    // Opens a span for the current character formatting unless it is the one open already.
    void StyleFor() {
        TLook Look{State.Bold, State.Italic, State.Underline, -1, State.HalfPoints};
        if (State.Color >= 0 && State.Color < int(Colors.size()) && !Colors[State.Color].Auto) {
            const TColor& C = Colors[State.Color];
            Look.Rgb = C.Red << 16 | C.Green << 8 | C.Blue;
        }
        if (Look == OpenLook) return;
        if (OpenLook != TLook()) Out += QLatin1String("</span>");
        OpenLook = Look;
        if (Look == TLook()) return;
        QString Style;
        if (Look.Bold) Style += QLatin1String("font-weight:700;");
        if (Look.Italic) Style += QLatin1String("font-style:italic;");
        if (Look.Underline) Style += QLatin1String("text-decoration:underline;");
        if (Look.Rgb >= 0)
            Style += QStringLiteral("color:#%1;").arg(Look.Rgb, 6, 16, QLatin1Char('0'));
        if (Look.HalfPoints > 0)
            Style += QStringLiteral("font-size:%1pt;").arg(Look.HalfPoints / 2.0);
        Out += QStringLiteral("<span style=\"%1\">").arg(Style);
    }

    struct TLook {
        bool Bold = false;
        bool Italic = false;
        bool Underline = false;
        int Rgb = -1;
        int HalfPoints = 0;
        bool operator==(const TLook&) const = default;
    };

    const QByteArray& In;
    qsizetype Pos = 0;
    TState State;
    std::vector<TState> Stack;
    qint64 Overflow = 0;
    int PendingSkip = 0;
    std::vector<TColor> Colors;
    TColor Entry;
    QByteArray Raw;
    char16_t HighSurrogate = 0;
    TLook OpenLook;
    QString Out;
    qsizetype InBlock = 0; // characters shown since the block began
};

} // namespace

QString RtfToHtml(const QByteArray& Rtf) {
    return TRtfReader(Rtf).Run();
}

QString BreakLongLines(const QString& Text) {
    QString Result;
    Result.reserve(Text.size() + Text.size() / ShownBlockChars + 1);
    qsizetype Run = 0;
    for (qsizetype I = 0; I < Text.size(); ++I) {
        const QChar C = Text[I];
        if (Run >= 2 * ShownBlockChars && !C.isLowSurrogate()) {
            Result += u'\n';
            Run = 0;
        }
        Result += C;
        Run = C == u'\n' ? 0 : Run + 1;
        if (C == u' ' && Run >= ShownBlockChars) {
            Result += u'\n';
            Run = 0;
        }
    }
    return Result;
}
