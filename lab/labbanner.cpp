#include "labbanner.h"

#include <QBuffer>
#include <QImageWriter>
#include <array>
#include <cctype>
#include <cstring>

namespace {

struct TGlyph {
    char Char;
    std::array<const char*, 7> Rows;
};

// Upper case, digits and the punctuation the ads use, 5 x 7.
constexpr std::array<TGlyph, 42> Font{{
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'B', {"#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'J', {"  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "}},
    {'K', {"#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "#   #", "##  #", "# # #", "#  ##", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'Q', {" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "}},
    {'X', {"#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"}},
    {'Y', {"#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'Z', {"#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"}},
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'!', {"  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "     ", "  #  "}},
    {'-', {"     ", "     ", "     ", " ### ", "     ", "     ", "     "}},
    {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
    {',', {"     ", "     ", "     ", "     ", " ##  ", "  #  ", " #   "}},
    {':', {"     ", " ##  ", " ##  ", "     ", " ##  ", " ##  ", "     "}},
    {'\'', {"  #  ", "  #  ", " #   ", "     ", "     ", "     ", "     "}},
}};

// Palette slots: a 64-step background gradient, then the ad's fixed colours.
enum TInk : uchar {
    Gradient = 0,
    Steps = 64,
    White = 64,
    Black,
    Gold,
    Red,
    DarkRed,
    Star,
    Grid,
    Dark,
    Ring,
    Yellow,
    InkCount
};

QRgb Mix(QRgb A, QRgb B, int Step) {
    const auto Channel = [&](int X, int Y) { return X + (Y - X) * Step / (Steps - 1); };
    return qRgb(Channel(qRed(A), qRed(B)), Channel(qGreen(A), qGreen(B)),
                Channel(qBlue(A), qBlue(B)));
}

class TCanvas {
public:
    TCanvas(QRgb From, QRgb To, const std::array<QRgb, InkCount - White>& Inks)
        : Picture(LabBannerWidth, LabBannerHeight, QImage::Format_Indexed8) {
        QList<QRgb> Colors;
        for (int Step = 0; Step < Steps; ++Step)
            Colors.append(Mix(From, To, Step));
        for (QRgb Ink : Inks)
            Colors.append(Ink);
        Picture.setColorTable(Colors);
        for (int Y = 0; Y < LabBannerHeight; ++Y)
            for (int X = 0; X < LabBannerWidth; ++X)
                Set(X, Y, uchar(Gradient + X * (Steps - 1) / (LabBannerWidth - 1)));
    }

    void Set(int X, int Y, uchar Ink) {
        if (X >= 0 && Y >= 0 && X < LabBannerWidth && Y < LabBannerHeight)
            Picture.scanLine(Y)[X] = Ink;
    }
    void Fill(int X, int Y, int W, int H, uchar Ink) {
        for (int J = Y; J < Y + H; ++J)
            for (int I = X; I < X + W; ++I)
                Set(I, J, Ink);
    }
    void Frame(int X, int Y, int W, int H, int Thick, uchar Ink) {
        Fill(X, Y, W, Thick, Ink);
        Fill(X, Y + H - Thick, W, Thick, Ink);
        Fill(X, Y, Thick, H, Ink);
        Fill(X + W - Thick, Y, Thick, H, Ink);
    }
    // Pixels whose distance from the centre lies in [Inner, Outer].
    void Ring(int CX, int CY, int Inner, int Outer, uchar Ink) {
        for (int J = CY - Outer; J <= CY + Outer; ++J)
            for (int I = CX - Outer; I <= CX + Outer; ++I) {
                const int D = (I - CX) * (I - CX) + (J - CY) * (J - CY);
                if (D <= Outer * Outer && D >= Inner * Inner) Set(I, J, Ink);
            }
    }
    void Disc(int CX, int CY, int R, uchar Ink) { Ring(CX, CY, 0, R, Ink); }
    // Letters the font lacks leave a gap.
    void Text(int X, int Y, int Scale, uchar Ink, const char* Text) {
        for (; *Text; ++Text, X += 6 * Scale) {
            const char C = char(std::toupper(uchar(*Text)));
            for (const TGlyph& G : Font)
                if (G.Char == C)
                    for (int Row = 0; Row < 7; ++Row)
                        for (int Col = 0; Col < 5; ++Col)
                            if (G.Rows[Row][Col] == '#')
                                Fill(X + Col * Scale, Y + Row * Scale, Scale, Scale, Ink);
        }
    }
    void Shadowed(int X, int Y, int Scale, uchar Ink, const char* Words) {
        Text(X + Scale - 1, Y + Scale - 1, Scale, Black, Words);
        Text(X, Y, Scale, Ink, Words);
    }
    static int TextWidth(int Scale, const char* Text) {
        return int(std::strlen(Text)) * 6 * Scale - Scale;
    }

    QImage Picture;
};

// The same stars every time, so the pictures are reproducible.
void Stars(TCanvas& C, int Count) {
    quint32 Seed = 12345;
    for (int I = 0; I < Count; ++I) {
        Seed = Seed * 1103515245 + 12345;
        const int X = int(Seed >> 8) % LabBannerWidth;
        Seed = Seed * 1103515245 + 12345;
        const int Y = int(Seed >> 8) % LabBannerHeight;
        C.Set(X, Y, Star);
    }
}

QImage CupBanner() {
    TCanvas C(qRgb(26, 31, 77), qRgb(91, 31, 110),
              {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(240, 190, 40), qRgb(200, 30, 40),
               qRgb(120, 10, 20), qRgb(190, 190, 255), 0, 0, 0, 0});
    Stars(C, 90);
    C.Frame(0, 0, LabBannerWidth, LabBannerHeight, 2, Gold);
    C.Disc(34, 30, 23, Gold);
    C.Disc(34, 30, 19, DarkRed);
    C.Text(27, 20, 3, White, "M");
    C.Shadowed(70, 8, 3, White, "Morrow CTF Cup");
    C.Text(70, 38, 2, Gold, "Sign up now - 64 teams");
    C.Fill(366, 14, 92, 32, Red);
    C.Frame(366, 14, 92, 32, 1, Gold);
    C.Shadowed(366 + (92 - TCanvas::TextWidth(2, "Join!")) / 2, 23, 2, White, "Join!");
    return C.Picture;
}

QImage ScoutlyBanner() {
    TCanvas C(qRgb(8, 60, 56), qRgb(20, 140, 100),
              {qRgb(255, 255, 255), qRgb(0, 0, 0), 0, qRgb(230, 40, 40), 0, 0, qRgb(40, 110, 95),
               qRgb(5, 35, 30), qRgb(120, 230, 170), qRgb(255, 220, 80)});
    for (int X = 12; X < LabBannerWidth; X += 24)
        C.Fill(X, 0, 1, LabBannerHeight, Grid);
    for (int Y = 12; Y < LabBannerHeight; Y += 24)
        C.Fill(0, Y, LabBannerWidth, 1, Grid);
    C.Frame(0, 0, LabBannerWidth, LabBannerHeight, 2, White);
    C.Disc(34, 30, 23, Dark);
    for (int R : {8, 15, 22})
        C.Ring(34, 30, R - 1, R, Ring);
    C.Fill(12, 30, 45, 1, Ring);
    C.Fill(34, 8, 1, 45, Ring);
    C.Disc(44, 22, 3, Red);
    C.Shadowed(70, 8, 3, White, "Find your server");
    C.Text(70, 38, 2, Yellow, "Scoutly Lite - ping, play, chat");
    return C.Picture;
}

} // namespace

QImage LabBannerPicture(TLabBanner Banner) {
    return Banner == TLabBanner::Cup ? CupBanner() : ScoutlyBanner();
}

QByteArray LabEncodeGif(const QImage& Picture) {
    if (Picture.isNull() || Picture.format() != QImage::Format_Indexed8) return {};
    const int W = Picture.width(), H = Picture.height();
    if (W > 65535 || H > 65535) return {};
    QByteArray Out = "GIF89a";
    const auto Word = [&](int V) {
        Out += char(V & 255);
        Out += char(V >> 8 & 255);
    };
    Word(W);
    Word(H);
    Out += char(0xF7); // a global table of 256 colours, 8 bits per primary
    Out += '\0';       // background colour
    Out += '\0';       // no aspect ratio
    const QList<QRgb> Colors = Picture.colorTable();
    for (int I = 0; I < 256; ++I) {
        const QRgb C = I < Colors.size() ? Colors[I] : qRgb(0, 0, 0);
        Out += char(qRed(C));
        Out += char(qGreen(C));
        Out += char(qBlue(C));
    }
    Out += ',';
    Word(0);
    Word(0);
    Word(W);
    Word(H);
    Out += '\0'; // no local table, not interlaced

    // With 8-bit pixels codes start at 9 bits; every code after a clear adds a table entry,
    // so a clear every 254 pixels keeps the width at 9 bits in every decoder.
    constexpr int MinCodeBits = 8, Clear = 1 << MinCodeBits, End = Clear + 1, CodeBits = 9,
                  PixelsPerClear = Clear - 2;
    Out += char(MinCodeBits);
    QByteArray Codes;
    quint32 Pending = 0;
    int PendingBits = 0;
    const auto Put = [&](int Code) {
        Pending |= quint32(Code) << PendingBits;
        for (PendingBits += CodeBits; PendingBits >= 8; PendingBits -= 8, Pending >>= 8)
            Codes += char(Pending & 255);
    };
    int Run = PixelsPerClear;
    for (int Y = 0; Y < H; ++Y) {
        const uchar* Line = Picture.constScanLine(Y);
        for (int X = 0; X < W; ++X) {
            if (Run == PixelsPerClear) {
                Put(Clear);
                Run = 0;
            }
            Put(Line[X]);
            ++Run;
        }
    }
    Put(End);
    if (PendingBits) Codes += char(Pending & 255);
    for (qsizetype At = 0; At < Codes.size(); At += 255) {
        const QByteArray Block = Codes.mid(At, 255);
        Out += char(Block.size());
        Out += Block;
    }
    Out += '\0'; // end of the image data
    Out += ';';  // trailer
    return Out;
}

QByteArray LabEncodeImage(const QImage& Picture, const char* Format) {
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    QImageWriter Writer(&Buffer, Format);
    Writer.setQuality(90);
    if (!Writer.write(Picture.convertToFormat(QImage::Format_RGB32))) return {};
    return Bytes;
}
