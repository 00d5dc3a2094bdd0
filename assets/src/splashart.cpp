// Draws the edition's splash picture in the default skin's look (black, gold, the compass), so
// it can be changed here and written again rather than edited by hand.
//   splashart FILE    writes the 350x230 picture to FILE (PNG)
#include "artkit.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>

namespace {

const QColor Back(0, 0, 0), Lift(0x2A, 0x1C, 0x08), Accent(0xED, 0xA7, 0x36),
    Bright(0xFF, 0xE3, 0x9A), Deep(0x8A, 0x56, 0x10);
const int Width = 350, Height = 230;

QLinearGradient MetalV(qreal Top, qreal Bottom) {
    return MetalGradient(Top, Bottom, Bright, Accent, Deep);
}

QFont Font(int Pixels, int Weight, qreal Spacing = 0, const char* Family = "DejaVu Sans") {
    QFont F(Family);
    F.setPixelSize(Pixels);
    F.setWeight(QFont::Weight(Weight));
    F.setHintingPreference(QFont::PreferNoHinting);
    if (Spacing) F.setLetterSpacing(QFont::AbsoluteSpacing, Spacing);
    return F;
}

// The same compass rose as the skin's title strip, so splash and main window belong together.
void DrawEmblem(QPainter& P, QPointF C, qreal R) {
    P.save();
    P.translate(C);
    QRadialGradient Glow(0, 0, R * 1.7);
    Glow.setColorAt(0, Alpha(Accent, 80));
    Glow.setColorAt(1, Alpha(Accent, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(Glow);
    P.drawEllipse(QPointF(0, 0), R * 1.7, R * 1.7);

    P.setBrush(Qt::NoBrush);
    P.setPen(QPen(QBrush(MetalV(-R, R)), R * 0.07));
    P.drawEllipse(QPointF(0, 0), R, R);
    P.setPen(QPen(Alpha(Accent, 110), R * 0.02));
    P.drawEllipse(QPointF(0, 0), R * 1.1, R * 1.1);
    P.setPen(QPen(Alpha(Accent, 150), R * 0.025));
    P.drawEllipse(QPointF(0, 0), R * 0.8, R * 0.8);
    for (int I = 0; I < 72; ++I) {
        P.save();
        P.rotate(I * 5);
        const qreal Len = I % 18 == 0 ? 0.17 : I % 3 == 0 ? 0.09 : 0.045;
        P.drawLine(QPointF(0, -R * 0.8), QPointF(0, -R * (0.8 - Len)));
        P.restore();
    }
    DrawStarArms(P, R * 0.97, R * 0.15, true, Bright, Accent, Deep);
    DrawStarArms(P, R * 0.5, R * 0.1, false, Bright, Accent, Deep);
    P.setBrush(Bright);
    P.drawEllipse(QPointF(0, 0), R * 0.06, R * 0.06);
    // The north letter, outside the ring.
    const QFont N = Font(qRound(R * 0.2), QFont::Bold);
    const QRectF Box = QFontMetricsF(N).tightBoundingRect("N");
    QPainterPath Letter;
    Letter.addText(-Box.center().x(), -R * 1.23 - Box.center().y(), N, "N");
    P.setBrush(Accent);
    P.drawPath(Letter);
    P.restore();
}

// Faint map contours: the browser charts the game's servers.
void DrawContours(QPainter& P, const QRectF& Area) {
    P.save();
    P.setBrush(Qt::NoBrush);
    for (int Level = 0; Level < 30; ++Level) {
        QPainterPath Line;
        for (qreal X = Area.left() - 4; X <= Area.right() + 4; X += 3) {
            const qreal Y = Area.top() + Level * 9 - 30 + 11 * qSin(X / 47.0 + Level * 0.33) +
                            6 * qSin(X / 19.0 - Level * 0.55) + 0.05 * X;
            X < Area.left() ? Line.moveTo(X, Y) : Line.lineTo(X, Y);
        }
        P.setPen(QPen(Alpha(Accent, Level % 5 == 0 ? 40 : 20), 1));
        P.drawPath(Line);
    }
    P.restore();
}

void FadingLine(QPainter& P, const QColor& C, qreal X1, qreal X2, qreal Y, qreal W) {
    QLinearGradient G(X1, 0, X2, 0);
    G.setColorAt(0, Alpha(C, 0));
    G.setColorAt(0.25, C);
    G.setColorAt(0.75, C);
    G.setColorAt(1, Alpha(C, 0));
    P.setPen(QPen(QBrush(G), W));
    P.drawLine(QPointF(X1, Y), QPointF(X2, Y));
}

// Text filled with a brush over a soft shadow; X is the centre of the text.
void MetalText(QPainter& P, const QFont& F, qreal X, qreal Baseline, const QString& Text,
               const QBrush& Fill) {
    QPainterPath Path;
    Path.addText(0, Baseline, F, Text);
    Path.translate(X - Path.boundingRect().center().x(), 0);
    P.setPen(Qt::NoPen);
    for (int I = 3; I >= 1; --I) {
        P.setBrush(Alpha(Qt::black, 90));
        P.drawPath(Path.translated(I * 0.7, I * 0.9));
    }
    P.setBrush(Fill);
    P.drawPath(Path);
}

QImage Splash() {
    QImage Image(Width, Height, QImage::Format_RGB32);
    Image.fill(Back);
    QPainter P(&Image);
    P.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    QRadialGradient Warm(QPointF(96, 108), 230);
    Warm.setColorAt(0, Lift);
    Warm.setColorAt(1, Back);
    P.fillRect(Image.rect(), Warm);

    // Contours fade out towards the text so it stays easy to read.
    QImage Layer(Image.size(), QImage::Format_ARGB32_Premultiplied);
    Layer.fill(Qt::transparent);
    {
        QPainter L(&Layer);
        L.setRenderHint(QPainter::Antialiasing);
        DrawContours(L, QRectF(0, 0, Width, Height));
        QLinearGradient Fade(0, 0, Width, 0);
        Fade.setColorAt(0, Qt::black);
        Fade.setColorAt(0.45, Alpha(Qt::black, 120));
        Fade.setColorAt(0.7, Alpha(Qt::black, 40));
        Fade.setColorAt(1, Alpha(Qt::black, 90));
        L.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        L.fillRect(Layer.rect(), Fade);
    }
    P.drawImage(0, 0, Layer);

    DrawEmblem(P, QPointF(90, 110), 56);

    const qreal TextX = 250;
    const QFont Title = Font(35, QFont::Bold, 0.5);
    MetalText(P, Title, TextX, 86, "Scoutly", MetalV(86 - 26, 88));
    const QFont Lite = Font(26, QFont::ExtraLight, 4);
    MetalText(P, Lite, TextX, 116, "LITE", QBrush(Accent));
    FadingLine(P, Accent, TextX - 80, TextX + 80, 132.5, 1.2);
    const QFont Game = Font(25, QFont::Bold, 5, "DejaVu Serif");
    MetalText(P, Game, TextX, 164, "MORROW", MetalV(164 - 19, 166));
    P.setFont(Font(8, QFont::DemiBold, 3));
    P.setPen(Alpha(Accent, 210));
    P.drawText(QRectF(TextX - 80, 172, 160, 14), Qt::AlignCenter, "EDITION");

    P.setFont(Font(8, QFont::Normal, 1.6));
    P.setPen(Alpha(Accent, 150));
    P.drawText(QRectF(0, Height - 24, Width, 14), Qt::AlignCenter,
               "GAME SERVERS  \u00B7  CHAT  \u00B7  FAVORITES");

    // A thin double frame, as the window has no border of its own.
    P.setBrush(Qt::NoBrush);
    P.setPen(QPen(QBrush(MetalV(0, Height)), 1.5));
    P.drawRect(QRectF(0.75, 0.75, Width - 1.5, Height - 1.5));
    P.setPen(QPen(Alpha(Accent, 70), 1));
    P.drawRect(QRectF(4.5, 4.5, Width - 9, Height - 9));
    return Image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication App(argc, argv);
    const QStringList Args = App.arguments().mid(1);
    if (Args.size() != 1) {
        std::fprintf(stderr, "usage: splashart FILE\n");
        return 2;
    }
    if (!Splash().save(Args[0], "PNG")) {
        std::fprintf(stderr, "splashart: cannot write %s\n", qPrintable(Args[0]));
        return 1;
    }
    return 0;
}
