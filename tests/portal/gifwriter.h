// A small GIF writer for tests: every pixel its own 9-bit LZW code, so there is no
// compression to get wrong, and pictures built from colour indexes to compare with.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>

namespace gifwriter {
struct TGifFrame {
    QRect Rect;
    QList<uchar> Pixels; // colour indexes, row by row
    QList<QRgb> LocalColors;
    int Delay = 0; // 1/100 s
    int Transparent = -1;
    int Disposal = 0;
    bool Interlace = false;
};

inline TGifFrame Frame(QRect Rect, QList<uchar> Pixels, QList<QRgb> LocalColors = {}) {
    TGifFrame F;
    F.Rect = Rect;
    F.Pixels = std::move(Pixels);
    F.LocalColors = std::move(LocalColors);
    return F;
}

inline void Word(QByteArray& Out, int Value) {
    Out += char(Value & 0xFF);
    Out += char((Value >> 8) & 0xFF);
}

inline void ColorTable(QByteArray& Out, QList<QRgb> Colors) {
    while (Colors.size() < 256)
        Colors << qRgb(0, 0, 0);
    for (QRgb C : Colors)
        Out += char(qRed(C)), Out += char(qGreen(C)), Out += char(qBlue(C));
}

inline QByteArray LzwData(const QList<uchar>& Indexes) {
    QByteArray Codes;
    quint32 Bits = 0;
    int Count = 0;
    const auto Emit = [&](int Code) {
        Bits |= quint32(Code) << Count;
        Count += 9;
        while (Count >= 8) {
            Codes += char(Bits & 0xFF);
            Bits >>= 8;
            Count -= 8;
        }
    };
    Emit(256); // clear
    int Run = 0;
    for (uchar I : Indexes) {
        Emit(I);
        // Clear before the table would need 10-bit codes.
        if (++Run == 250) {
            Emit(256);
            Run = 0;
        }
    }
    Emit(257); // end
    if (Count > 0) Codes += char(Bits & 0xFF);
    QByteArray Out(1, char(8));
    for (qsizetype At = 0; At < Codes.size(); At += 255) {
        const QByteArray Block = Codes.mid(At, 255);
        Out += char(Block.size());
        Out += Block;
    }
    Out += char(0);
    return Out;
}

inline QList<uchar> InterlacedOrder(const QList<uchar>& Pixels, int Width, int Height) {
    QList<uchar> Out;
    for (const auto& [Start, Step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int Y = Start; Y < Height; Y += Step)
            Out += Pixels.mid(Y * Width, Width);
    return Out;
}

inline QByteArray MakeGif(QSize Screen, const QList<QRgb>& Global, const QList<TGifFrame>& Frames,
                          bool Trailer = true) {
    QByteArray Out = "GIF89a";
    Word(Out, Screen.width());
    Word(Out, Screen.height());
    Out += char(Global.isEmpty() ? 0x70 : 0xF7);
    Out += char(0);
    Out += char(0);
    if (!Global.isEmpty()) ColorTable(Out, Global);
    for (const TGifFrame& F : Frames) {
        Out += "\x21\xF9\x04";
        Out += char((F.Disposal << 2) | (F.Transparent >= 0 ? 1 : 0));
        Word(Out, F.Delay);
        Out += char(F.Transparent >= 0 ? F.Transparent : 0);
        Out += char(0);
        Out += char(0x2C);
        Word(Out, F.Rect.x());
        Word(Out, F.Rect.y());
        Word(Out, F.Rect.width());
        Word(Out, F.Rect.height());
        Out += char((F.LocalColors.isEmpty() ? 0 : 0x87) | (F.Interlace ? 0x40 : 0));
        if (!F.LocalColors.isEmpty()) ColorTable(Out, F.LocalColors);
        Out += LzwData(F.Interlace ? InterlacedOrder(F.Pixels, F.Rect.width(), F.Rect.height())
                                   : F.Pixels);
    }
    if (Trailer) Out += char(0x3B);
    return Out;
}

// Colour indexes 0..Colors-1 in a pattern that differs from row to row; Shift makes another.
inline QList<uchar> Pattern(QSize Size, int Colors = 4, int Shift = 0) {
    QList<uchar> Pixels;
    for (int Y = 0; Y < Size.height(); ++Y)
        for (int X = 0; X < Size.width(); ++X)
            Pixels << uchar((X / 3 + Y * 7 + X * Y + Shift) % Colors);
    return Pixels;
}

// What the picture must look like: the pattern in its colours.
inline QImage Expected(QSize Size, const QList<uchar>& Pixels, const QList<QRgb>& Colors) {
    QImage Image(Size, QImage::Format_ARGB32);
    for (int Y = 0; Y < Size.height(); ++Y)
        for (int X = 0; X < Size.width(); ++X)
            Image.setPixel(X, Y, Colors[Pixels[Y * Size.width() + X]]);
    return Image;
}

} // namespace gifwriter
