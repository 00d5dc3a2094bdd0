// The news ticker without its widget: the lines a fetched document leaves, which of them are
// links, where the rotation stands and what a click does.
#pragma once

#include <QByteArray>
#include <QList>

class TTicker {
public:
    QList<QByteArray> Lines;
    int Current = 0;    // the line shown; may be past the lines when there are none
    bool Active = true; // rotating

    // Lines end at CR, LF or CR LF; a break at the very end starts no further line.
    static QList<QByteArray> SplitLines(const QByteArray& Text);
    // Starts with "http://" in any case; nothing may come before it.
    static bool IsLinkLine(const QByteArray& Line);

    // Takes a fetched document: only the lines below its last "REG" line stay, and the
    // rotation starts again at the first of them. False when the text has no line at all:
    // the ticker then holds one empty line and the document is worth fetching again soon.
    bool Load(const QByteArray& Text);

    bool HasLine() const { return Current >= 0 && Current < Lines.size(); }
    QByteArray CurrentLine() const { return HasLine() ? Lines.at(Current) : QByteArray(); }
    bool CurrentIsLink() const { return HasLine() && IsLinkLine(Lines.at(Current)); }
    // To the next line, round to the first; false when that shows nothing new.
    bool Advance();

    enum TClick { ckOpen, ckToggle };
    // On a link line: ckOpen with its address. Anywhere else: the rotation stops or restarts.
    TClick Click(QByteArray& Address);
};
