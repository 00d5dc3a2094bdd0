// Skins: a folder under UserDataDir()/skins or ProgramDataDir()/skins whose name is the skin
// name. skin.ini [colors] recolours the windows; bitmaps in the folder replace the main
// window's built-in pictures. "default" always ships and is the fallback.
#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Colours are kept as skin.ini writes them, $00BBGGRR (low byte red).
struct TSkinColors {
    quint32 PrimaryColor = 0x000000, SecondaryColor = 0x000000, PrimaryFontColor = 0x36A7ED,
            SecondaryFontColor = 0x36A7ED, LinkFontColor = 0x36A7ED, HighlightColor = 0x00FFFF;
    bool operator==(const TSkinColors&) const = default;
};

// The high byte (palette or system colour flags) is ignored.
QColor ColorOfBGR(quint32 Value);
// Decimal (optionally signed, stored as 32-bit two's complement) or hexadecimal after "$" or
// "0x"; surrounding blanks allowed. False, with Value untouched, when it is not a 32-bit
// integer.
bool ParseSkinInteger(const QString& Text, quint32& Value);

// Resolves Name to a skin folder (empty or unknown becomes "default", and Name says which was
// used) and reads its colours over Colors. Returns the folder with a trailing separator.
QString LoadSkin(QString& Name, TSkinColors& Colors);
// Loads FileName from the skin folder (case-insensitively, as skins come from systems that
// ignore case). False, with Bitmap untouched, when the file is missing or not an image.
bool LoadSkinBitmap(QPixmap& Bitmap, const QString& SkinDirectory, const QString& FileName);
// Every skin folder, lower-cased and each once: the user's sorted, then the program's.
QStringList SkinNames();
// Base recoloured: window, base and button from PrimaryColor, text from PrimaryFontColor,
// selection from HighlightColor, links from LinkFontColor.
QPalette SkinPalette(const TSkinColors& Colors, const QPalette& Base);
