#include "portal/ticker.h"

QList<QByteArray> TTicker::SplitLines(const QByteArray& Text) {
    QList<QByteArray> Result;
    qsizetype Start = 0;
    const qsizetype Size = Text.size();
    while (Start < Size) {
        qsizetype End = Start;
        while (End < Size && Text[End] != '\r' && Text[End] != '\n')
            ++End;
        Result << Text.mid(Start, End - Start);
        if (End < Size) End += Text[End] == '\r' && End + 1 < Size && Text[End + 1] == '\n' ? 2 : 1;
        Start = End;
    }
    return Result;
}

bool TTicker::IsLinkLine(const QByteArray& Line) {
    return Line.first(qMin<qsizetype>(Line.size(), 7)).toLower() == "http://";
}

bool TTicker::Load(const QByteArray& Text) {
    Current = 0;
    Lines = SplitLines(Text);
    if (Lines.isEmpty()) {
        Lines << QByteArray();
        return false;
    }
    const qsizetype Last = Lines.lastIndexOf("REG");
    if (Last >= 0) Lines.remove(0, Last + 1);
    return true;
}

bool TTicker::Advance() {
    if (Lines.isEmpty()) {
        Current = 0;
        return false;
    }
    const bool Had = HasLine();
    Current = Had ? (Current + 1) % int(Lines.size()) : 0;
    return Lines.size() > 1 || !Had;
}

TTicker::TClick TTicker::Click(QByteArray& Address) {
    if (CurrentIsLink()) {
        Address = Lines.at(Current);
        return ckOpen;
    }
    Active = !Active;
    return ckToggle;
}
