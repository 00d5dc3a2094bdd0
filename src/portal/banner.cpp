#include "portal/banner.h"

#include "net/netutils.h"

#include <QRandomGenerator>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>

namespace {
bool Fail(QString& Error, const QString& Why) {
    Error = Why;
    return false;
}

bool SizeAllowed(qint64 Width, qint64 Height) {
    return Width > 0 && Height > 0 && Width <= MaxBannerSide && Height <= MaxBannerSide &&
           Width * Height * 4 <= MaxBannerDecodedBytes;
}

// ---- GIF ----------------------------------------------------------------------------------

struct TGifSource {
    const uchar* Data;
    qsizetype Size;
    qsizetype Pos = 0;
};

// A short read is how giflib learns that the data ended early.
int GifRead(GifFileType* Gif, GifByteType* Buffer, int Length) {
    auto* Source = static_cast<TGifSource*>(Gif->UserData);
    const qsizetype Count =
        qBound(qsizetype(0), Source->Size - Source->Pos, qsizetype(qMax(Length, 0)));
    std::memcpy(Buffer, Source->Data + Source->Pos, size_t(Count));
    Source->Pos += Count;
    return int(Count);
}

struct TGifCloser {
    void operator()(GifFileType* Gif) const {
        int Code = 0;
        DGifCloseFile(Gif, &Code);
    }
};

QString GifError(int Code) {
    const char* Text = GifErrorString(Code);
    return QStringLiteral("GIF: ") + QString::fromLatin1(Text ? Text : "decoding failed");
}

// What a GIF frame stays on screen; tiny delays are what old encoders wrote for "no delay".
int FrameDelay(const GraphicsControlBlock& Control) {
    return Control.DelayTime < 2 ? 100 : Control.DelayTime * 10;
}

// The frames of one GIF, drawn in turn on a canvas the size of its logical screen. Each step
// gives an empty text, or why the picture ends there.
class TGifFrames {
public:
    TGifFrames(GifFileType& Gif, TBannerImage& Image)
        : Gif(Gif), Image(Image), Width(Gif.SWidth), Height(Gif.SHeight) {}

    QString ReadExtension() {
        int Kind = 0;
        GifByteType* Block = nullptr;
        if (DGifGetExtension(&Gif, &Kind, &Block) == GIF_ERROR) return GifError(Gif.Error);
        if (Kind == GRAPHICS_EXT_FUNC_CODE && Block && Block[0] >= 4)
            DGifExtensionToGCB(Block[0], Block + 1, &Control);
        while (Block)
            if (DGifGetExtensionNext(&Gif, &Block) == GIF_ERROR) return GifError(Gif.Error);
        return {};
    }

    QString ReadFrame() {
        if (DGifGetImageDesc(&Gif) == GIF_ERROR) return GifError(Gif.Error);
        const GifImageDesc Desc = Gif.Image;
        if (!SizeAllowed(Desc.Width, Desc.Height)) return QStringLiteral("GIF: picture too large");
        if (Canvas.isNull())
            if (QString Problem = MakeCanvas(Desc); !Problem.isEmpty()) return Problem;
        // Kept frames cost memory; decoded pixels cost time, and LZW turns few bytes into many.
        Budget -= qint64(Width) * Height * 4;
        Work -= qint64(Desc.Width) * Desc.Height;
        if (Budget < 0 || Work < 0 || Image.Frames.size() >= MaxBannerFrames)
            return QStringLiteral("GIF: picture too large");
        const ColorMapObject* Map = Desc.ColorMap ? Desc.ColorMap : Gif.SColorMap;
        if (!Map || !Map->Colors) return QStringLiteral("GIF: no colour table");

        const QImage Before = Control.DisposalMode == DISPOSE_PREVIOUS ? Canvas.copy() : QImage();
        if (QString Problem = Draw(Desc, *Map); !Problem.isEmpty()) return Problem;
        Image.Frames << Canvas.copy();
        Image.Delays << FrameDelay(Control);
        Dispose(Desc, Before);
        Control = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        return {};
    }

private:
    QString MakeCanvas(const GifImageDesc& Desc) {
        // Some encoders leave the screen size 0: the first frame then sets it.
        if (Width <= 0 || Height <= 0) {
            Width = Desc.Left + Desc.Width;
            Height = Desc.Top + Desc.Height;
        }
        if (!SizeAllowed(Width, Height)) return QStringLiteral("GIF: picture too large");
        Canvas = QImage(Width, Height, QImage::Format_ARGB32);
        if (Canvas.isNull()) return QStringLiteral("GIF: out of memory");
        Canvas.fill(Qt::transparent);
        return {};
    }

    QString Draw(const GifImageDesc& Desc, const ColorMapObject& Map) {
        // Indexes past the colour table, like the transparent one, leave the canvas alone.
        QRgb Colors[256];
        bool Opaque[256] = {};
        for (int I = 0; I < qMin(Map.ColorCount, 256); ++I) {
            const GifColorType& C = Map.Colors[I];
            Colors[I] = qRgb(C.Red, C.Green, C.Blue);
            Opaque[I] = I != Control.TransparentColor;
        }
        Line.resize(size_t(Desc.Width));
        static const int PassStart[] = {0, 4, 2, 1}, PassStep[] = {8, 8, 4, 2};
        const int Passes = Desc.Interlace ? 4 : 1;
        for (int Pass = 0; Pass < Passes; ++Pass) {
            const int Start = Desc.Interlace ? PassStart[Pass] : 0;
            const int Step = Desc.Interlace ? PassStep[Pass] : 1;
            for (int Y = Start; Y < Desc.Height; Y += Step) {
                if (DGifGetLine(&Gif, Line.data(), Desc.Width) == GIF_ERROR)
                    return GifError(Gif.Error);
                const int CanvasY = Desc.Top + Y;
                if (CanvasY >= Height) continue;
                auto* Row = reinterpret_cast<QRgb*>(Canvas.scanLine(CanvasY));
                const int Right = qMin(Desc.Width, Width - Desc.Left);
                for (int X = 0; X < Right; ++X)
                    if (Opaque[Line[size_t(X)]]) Row[Desc.Left + X] = Colors[Line[size_t(X)]];
            }
        }
        return {};
    }

    void Dispose(const GifImageDesc& Desc, const QImage& Before) {
        if (Control.DisposalMode == DISPOSE_BACKGROUND) {
            const QRect Area = QRect(Desc.Left, Desc.Top, Desc.Width, Desc.Height) & Canvas.rect();
            for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
                std::fill_n(reinterpret_cast<QRgb*>(Canvas.scanLine(Y)) + Area.left(), Area.width(),
                            QRgb(0));
        } else if (Control.DisposalMode == DISPOSE_PREVIOUS) {
            Canvas = Before;
        }
    }

    GifFileType& Gif;
    TBannerImage& Image;
    int Width, Height;
    QImage Canvas;
    qint64 Budget = MaxBannerDecodedBytes;
    qint64 Work = MaxBannerDecodedBytes; // pixels
    GraphicsControlBlock Control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    std::vector<GifPixelType> Line;
};

// ---- JPEG ---------------------------------------------------------------------------------

// Scans of a progressive JPEG cost a pass over the whole image each; no real picture needs more.
constexpr int MaxJpegScans = 256;

struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

// libjpeg would end the program here; go back to the decoder instead.
[[noreturn]] void JpegFail(j_common_ptr Info) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    (*Info->err->format_message)(Info, Error->Message);
    std::longjmp(Error->Jump, 1);
}

// Warnings stay quiet, except that running out of data is a truncated picture, not a grey one.
void JpegMessage(j_common_ptr Info, int Level) {
    if (Level < 0 && Info->err->msg_code == JWRN_JPEG_EOF) JpegFail(Info);
}

void JpegProgress(j_common_ptr Info) {
    if (!Info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number <= MaxJpegScans) return;
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    std::snprintf(Error->Message, sizeof Error->Message, "too many scans");
    std::longjmp(Error->Jump, 1);
}

// Everything between setjmp and the last libjpeg call is plain data or lives in the caller,
// so a jump back skips no destructor.
bool DecodeJpegInto(const uchar* Data, unsigned long Size, QImage& Image, QString& Error) {
    jpeg_decompress_struct Info;
    TJpegError Trap;
    jpeg_progress_mgr Progress;
    std::memset(&Progress, 0, sizeof Progress);
    Progress.progress_monitor = JpegProgress;
    Info.err = jpeg_std_error(&Trap.Manager);
    Trap.Manager.error_exit = JpegFail;
    Trap.Manager.emit_message = JpegMessage;
    Trap.Manager.output_message = [](j_common_ptr) {};
    Trap.Message[0] = 0;
    if (setjmp(Trap.Jump)) {
        jpeg_destroy_decompress(&Info);
        Image = QImage();
        Error = QStringLiteral("JPEG: ") + QString::fromLatin1(Trap.Message);
        return false;
    }
    jpeg_create_decompress(&Info);
    Info.progress = &Progress;
    jpeg_mem_src(&Info, Data, Size);
    jpeg_read_header(&Info, TRUE);
    if (!SizeAllowed(Info.image_width, Info.image_height)) {
        jpeg_destroy_decompress(&Info);
        return Fail(Error, QStringLiteral("JPEG: picture too large"));
    }
    const bool Cmyk = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
    const bool Gray = Info.jpeg_color_space == JCS_GRAYSCALE;
    Info.out_color_space = Cmyk ? JCS_CMYK : Gray ? JCS_GRAYSCALE : JCS_EXT_RGBX;
    jpeg_start_decompress(&Info);
    Image = QImage(int(Info.output_width), int(Info.output_height),
                   Gray   ? QImage::Format_Grayscale8
                   : Cmyk ? QImage::Format_RGB32
                          : QImage::Format_RGBX8888);
    if (Image.isNull()) {
        jpeg_destroy_decompress(&Info);
        return Fail(Error, QStringLiteral("JPEG: out of memory"));
    }
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW Row = Image.scanLine(int(Info.output_scanline));
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    // Adobe writes CMYK inverted; everyone else as ink.
    if (Cmyk) {
        const bool Inverted = Info.saw_Adobe_marker;
        for (int Y = 0; Y < Image.height(); ++Y) {
            uchar* P = Image.scanLine(Y);
            auto* Out = reinterpret_cast<QRgb*>(P);
            for (int X = 0; X < Image.width(); ++X, P += 4) {
                int C = P[0], M = P[1], Ye = P[2], K = P[3];
                if (!Inverted) C = 255 - C, M = 255 - M, Ye = 255 - Ye, K = 255 - K;
                Out[X] = qRgb(C * K / 255, M * K / 255, Ye * K / 255);
            }
        }
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    return true;
}
} // namespace

TBannerSniff SniffBanner(QByteArrayView Data) {
    const qsizetype Size = Data.size();
    if (Size >= 3 && Data.first(3) == "GIF") return {bfGif, 0};
    // A JPEG is only ever at the start; its header may well hold "GIF" in some text.
    if (Size >= 3 && uchar(Data[0]) == 0xFF && uchar(Data[1]) == 0xD8 && uchar(Data[2]) == 0xFF)
        return {bfJpeg, 0};
    for (qsizetype Offset = 1; Offset < 150 && Offset < Size - 3; ++Offset)
        if (Data.sliced(Offset, 3) == "GIF") return {bfGif, Offset};
    return {};
}

bool DecodeGif(QByteArrayView Data, TBannerImage& Image, QString& Error) {
    Image = {};
    if (Data.size() > MaxBannerBytes) return Fail(Error, QStringLiteral("GIF: too many bytes"));
    TGifSource Source{reinterpret_cast<const uchar*>(Data.data()), Data.size()};
    int Code = 0;
    std::unique_ptr<GifFileType, TGifCloser> Gif(DGifOpen(&Source, GifRead, &Code));
    if (!Gif) return Fail(Error, GifError(Code));

    TGifFrames Frames(*Gif, Image);
    for (;;) {
        GifRecordType Type = UNDEFINED_RECORD_TYPE;
        QString Problem;
        if (DGifGetRecordType(Gif.get(), &Type) == GIF_ERROR)
            Problem = GifError(Gif->Error);
        else if (Type == TERMINATE_RECORD_TYPE)
            break;
        else if (Type == EXTENSION_RECORD_TYPE)
            Problem = Frames.ReadExtension();
        else if (Type == IMAGE_DESC_RECORD_TYPE)
            Problem = Frames.ReadFrame();
        else
            Problem = GifError(D_GIF_ERR_WRONG_RECORD);
        if (Problem.isEmpty()) continue;
        // Frames decoded so far are kept when a later one is broken or over the limits.
        if (!Image.Frames.isEmpty()) return true;
        Image = {};
        return Fail(Error, Problem);
    }
    if (Image.Frames.isEmpty()) return Fail(Error, QStringLiteral("GIF: no picture"));
    return true;
}

bool DecodeJpeg(QByteArrayView Data, QImage& Image, QString& Error) {
    Image = QImage();
    if (Data.size() > MaxBannerBytes) return Fail(Error, QStringLiteral("JPEG: too many bytes"));
    if (Data.isEmpty()) return Fail(Error, QStringLiteral("JPEG: no data"));
    return DecodeJpegInto(reinterpret_cast<const uchar*>(Data.data()),
                          static_cast<unsigned long>(Data.size()), Image, Error);
}

bool DecodeBanner(QByteArrayView Data, TBannerImage& Image, QString& Error) {
    Image = {};
    const TBannerSniff Sniff = SniffBanner(Data);
    if (Sniff.Format == bfGif) return DecodeGif(Data.sliced(Sniff.Offset), Image, Error);
    if (Sniff.Format == bfJpeg) {
        QImage Picture;
        if (!DecodeJpeg(Data.sliced(Sniff.Offset), Picture, Error)) return false;
        Image.Frames << Picture;
        Image.Delays << 0;
        return true;
    }
    return Fail(Error, QStringLiteral("Invalid banner graphic"));
}

QByteArray NewBannerSuffix(const QByteArray& Previous) {
    QByteArray Suffix;
    do {
        Suffix = '?' + QByteArray::number(QRandomGenerator::global()->bounded(10000)) +
                 QByteArray::number(TickCount());
    } while (Suffix == Previous);
    return Suffix;
}

int BannerPeriod(int Interval) {
    return qMax(Interval, MinBannerInterval);
}
