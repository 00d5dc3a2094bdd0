// Draws the application icon, the splash picture's compass rose on a dark tile, at the sizes
// desktops ask for, so it can be changed here and written again rather than edited by hand.
//   iconart DIR    writes DIR/<N>x<N>/apps/scoutly-lite.png for each size (a hicolor tree)
#include "artkit.h"
#include <QDir>

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

// The splash picture's colours.
const QColor Back(0, 0, 0), Lift(0x2A, 0x1C, 0x08), Accent(0xED, 0xA7, 0x36),
    Bright(0xFF, 0xE3, 0x9A), Deep(0x8A, 0x56, 0x10);
const int Sizes[] = {16, 24, 32, 48, 64, 128, 256};

QLinearGradient MetalV(qreal Top, qreal Bottom) {
    return MetalGradient(Top, Bottom, Bright, Accent, Deep);
}

// Fine rings and ticks turn to mush below 48 pixels: small icons keep the ring and the rose.
void DrawRose(QPainter& P, qreal R, bool Detailed) {
    P.setBrush(Qt::NoBrush);
    P.setPen(QPen(QBrush(MetalV(-R, R)), R * (Detailed ? 0.08 : 0.13)));
    P.drawEllipse(QPointF(0, 0), R, R);
    if (Detailed) {
        P.setPen(QPen(Alpha(Accent, 150), R * 0.03));
        P.drawEllipse(QPointF(0, 0), R * 0.8, R * 0.8);
        for (int I = 0; I < 36; ++I) {
            P.save();
            P.rotate(I * 10);
            const qreal Len = I % 9 == 0 ? 0.16 : 0.08;
            P.drawLine(QPointF(0, -R * 0.8), QPointF(0, -R * (0.8 - Len)));
            P.restore();
        }
    }
    // The diagonal arms go under the cardinal ones.
    if (Detailed) DrawStarArms(P, R * 0.5, R * 0.1, false, Bright, Accent, Deep);
    DrawStarArms(P, R * 0.97, R * 0.17, true, Bright, Accent, Deep);
    P.setBrush(Bright);
    P.drawEllipse(QPointF(0, 0), R * 0.07, R * 0.07);
}

QImage Icon(int Size) {
    QImage Image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    QPainter P(&Image);
    P.setRenderHint(QPainter::Antialiasing);
    P.scale(Size / 256.0, Size / 256.0);

    // The tile: dark with the splash's warm glow, a gold rim so it shows on dark panels too.
    const QRectF Tile(8, 8, 240, 240);
    QRadialGradient Warm(QPointF(110, 100), 200);
    Warm.setColorAt(0, Lift.lighter(130));
    Warm.setColorAt(1, Back);
    P.setPen(QPen(QBrush(MetalV(Tile.top(), Tile.bottom())), Size < 48 ? 14 : 6));
    P.setBrush(Warm);
    P.drawRoundedRect(Tile, 44, 44);

    P.translate(128, 128);
    QRadialGradient Glow(0, 0, 120);
    Glow.setColorAt(0, Alpha(Accent, 70));
    Glow.setColorAt(1, Alpha(Accent, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(Glow);
    P.drawEllipse(QPointF(0, 0), 112, 112);
    DrawRose(P, Size < 48 ? 98 : 92, Size >= 48);
    return Image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication App(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconart DIR\n");
        return 2;
    }
    const QDir Root(QString::fromLocal8Bit(argv[1]));
    for (const int Size : Sizes) {
        const QString Folder = QString("%1x%1/apps").arg(Size);
        const QString File = Root.filePath(Folder + "/scoutly-lite.png");
        if (!Root.mkpath(Folder) || !Icon(Size).save(File, "PNG")) {
            std::fprintf(stderr, "iconart: cannot write %s\n", qPrintable(File));
            return 1;
        }
    }
    return 0;
}
