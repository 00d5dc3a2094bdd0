// Rich message text for a text browser: Qt reads HTML but has no RTF reader.
#pragma once

#include <QByteArray>
#include <QString>

// The visible text of an RTF document as HTML, with bold, italic, underline, colour and size.
// Font and style tables, document information, pictures and every destination a reader may
// skip are left out, and unknown control words are dropped, never shown. Any input is safe:
// nesting depth and length cost linear time and no recursion.
QString RtfToHtml(const QByteArray& Rtf);

// A paragraph longer than this is shown as blocks of about this many characters, cut after a
// space once one comes, else at twice the size: one huge block freezes the text layout for
// seconds, many small ones are laid out in steps. Ordinary text is never cut.
constexpr qsizetype ShownBlockChars = 2000;

// Plain text with its long lines cut into lines that way (nothing is left out).
QString BreakLongLines(const QString& Text);
