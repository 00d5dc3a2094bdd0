// Draws the shipped skins: the main window's bitmaps and skin.ini of every skin, so the
// artwork can be changed here and written again rather than edited pixel by pixel.
//   skinart OUTDIR               writes OUTDIR/<skin>/{skin.ini,*.bmp}
//   skinart OUTDIR --preview F   also writes a mock-up of each skin to F-<skin>.png
#include "artkit.h"
#include <QDir>
#include <QFile>

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>

namespace {

struct TTheme {
    QString Name;
    QColor Back, Lift, Accent, Bright, Deep, Text, Highlight, Link, Secondary;
    QString Tagline;
    bool Frost = false;
};

const TTheme Themes[] = {
    {"default", QColor(0, 0, 0), QColor(0x2A, 0x1C, 0x08), QColor(0xED, 0xA7, 0x36),
     QColor(0xFF, 0xE3, 0x9A), QColor(0x8A, 0x56, 0x10), QColor(0xED, 0xA7, 0x36),
     QColor(0xFF, 0xFF, 0x00), QColor(0xED, 0xA7, 0x36), QColor(0, 0, 0),
     "GAME SERVERS  \u00B7  CHAT  \u00B7  MORROW EDITION"},
    {"frost", QColor(0x06, 0x11, 0x1F), QColor(0x17, 0x36, 0x58), QColor(0x8F, 0xD8, 0xFF),
     QColor(0xF0, 0xFA, 0xFF), QColor(0x2C, 0x6B, 0x9C), QColor(0xCB, 0xEB, 0xFF),
     QColor(0x5F, 0xC8, 0xFF), QColor(0x9B, 0xE3, 0xFF), QColor(0x0E, 0x22, 0x38),
     "GAME SERVERS  \u00B7  CHAT  \u00B7  MORROW EDITION", true},
};

// Images start filled with the skin's background: the windows may treat the lower-left
// pixel as transparent, and then nothing else is lost.
QImage Canvas(const TTheme& T, int W, int H) {
    QImage Image(W, H, QImage::Format_RGB32);
    Image.fill(T.Back);
    return Image;
}

void Begin(QPainter& P) {
    P.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
}

QLinearGradient MetalV(const TTheme& T, qreal Top, qreal Bottom) {
    return MetalGradient(Top, Bottom, T.Bright, T.Accent, T.Deep);
}

// A compass rose in a ring: the browser scouts for servers.
void DrawEmblem(QPainter& P, const TTheme& T, QPointF C, qreal R, int Opacity = 255) {
    P.save();
    P.translate(C);
    P.setOpacity(Opacity / 255.0);
    QRadialGradient Glow(0, 0, R * 1.6);
    Glow.setColorAt(0, Alpha(T.Accent, 70));
    Glow.setColorAt(1, Alpha(T.Accent, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(Glow);
    P.drawEllipse(QPointF(0, 0), R * 1.6, R * 1.6);

    P.setBrush(Qt::NoBrush);
    P.setPen(QPen(QBrush(MetalV(T, -R, R)), R * 0.09));
    P.drawEllipse(QPointF(0, 0), R, R);
    P.setPen(QPen(Alpha(T.Accent, 150), R * 0.03));
    P.drawEllipse(QPointF(0, 0), R * 0.8, R * 0.8);
    for (int I = 0; I < 24; ++I) {
        P.save();
        P.rotate(I * 15);
        const qreal Len = I % 6 == 0 ? 0.16 : 0.08;
        P.drawLine(QPointF(0, -R * 0.8), QPointF(0, -R * (0.8 - Len)));
        P.restore();
    }
    // Two crossed four-point stars, the long one bright to the north.
    DrawStarArms(P, R * 0.95, R * 0.16, true, T.Bright, T.Accent, T.Deep);
    DrawStarArms(P, R * 0.5, R * 0.1, false, T.Bright, T.Accent, T.Deep);
    P.setBrush(T.Bright);
    P.drawEllipse(QPointF(0, 0), R * 0.07, R * 0.07);
    P.restore();
}

// Faint map contours for the gold skin, ice crystals for frost.
void DrawTexture(QPainter& P, const TTheme& T, const QRectF& Area, int Strength) {
    P.save();
    P.setClipRect(Area);
    P.setBrush(Qt::NoBrush);
    if (!T.Frost) {
        for (int Level = 0; Level < 14; ++Level) {
            QPainterPath Line;
            for (qreal X = Area.left(); X <= Area.right() + 4; X += 4) {
                const qreal Y = Area.top() + Level * 9 - 20 + 10 * qSin(X / 53.0 + Level * 0.35) +
                                6 * qSin(X / 21.0 - Level * 0.6) + 0.02 * X;
                X == Area.left() ? Line.moveTo(X, Y) : Line.lineTo(X, Y);
            }
            P.setPen(QPen(Alpha(T.Accent, Level % 5 == 0 ? Strength * 2 : Strength), 1));
            P.drawPath(Line);
        }
    } else {
        // Snowflakes at fixed places, so the art does not change between runs.
        const qreal Spots[][3] = {
            {0.05, 0.3, 9},   {0.18, 0.75, 6}, {0.3, 0.2, 12},  {0.42, 0.7, 7},
            {0.55, 0.35, 10}, {0.68, 0.8, 8},  {0.8, 0.25, 13}, {0.93, 0.65, 9},
            {0.62, 0.1, 5},   {0.12, 0.05, 7}, {0.88, 0.95, 6}, {0.36, 0.95, 10},
            {0.74, 0.55, 5},  {0.97, 0.15, 7}, {0.48, 0.12, 4}, {0.24, 0.45, 5}};
        for (const auto& S : Spots) {
            const QPointF C(Area.left() + S[0] * Area.width(), Area.top() + S[1] * Area.height());
            const qreal R = S[2];
            P.setPen(QPen(Alpha(T.Bright, Strength), 1));
            for (int Arm = 0; Arm < 6; ++Arm) {
                P.save();
                P.translate(C);
                P.rotate(Arm * 60);
                P.drawLine(QPointF(0, 0), QPointF(0, -R));
                P.drawLine(QPointF(0, -R * 0.55), QPointF(-R * 0.25, -R * 0.8));
                P.drawLine(QPointF(0, -R * 0.55), QPointF(R * 0.25, -R * 0.8));
                P.restore();
            }
        }
    }
    P.restore();
}

void FadingLine(QPainter& P, const QColor& C, qreal X1, qreal X2, qreal Y, qreal Width) {
    QLinearGradient G(X1, 0, X2, 0);
    G.setColorAt(0, Alpha(C, 0));
    G.setColorAt(0.2, C);
    G.setColorAt(0.8, C);
    G.setColorAt(1, Alpha(C, 0));
    P.setPen(QPen(QBrush(G), Width));
    P.drawLine(QPointF(X1, Y), QPointF(X2, Y));
}

QFont Font(int Pixels, int Weight, qreal Spacing = 0, const char* Family = "DejaVu Sans") {
    QFont F(Family);
    F.setPixelSize(Pixels);
    F.setWeight(QFont::Weight(Weight));
    F.setHintingPreference(QFont::PreferNoHinting);
    if (Spacing) F.setLetterSpacing(QFont::AbsoluteSpacing, Spacing);
    return F;
}

// Text filled with a brush, over a soft dark shadow.
void MetalText(QPainter& P, const QFont& F, QPointF At, const QString& Text, const QBrush& Fill,
               const QColor& Shadow) {
    QPainterPath Path;
    Path.addText(At, F, Text);
    P.setPen(Qt::NoPen);
    for (int I = 3; I >= 1; --I) {
        P.setBrush(Alpha(Shadow, 60));
        P.drawPath(Path.translated(I * 0.7, I * 0.9));
    }
    P.setBrush(Fill);
    P.drawPath(Path);
}

QImage Top(const TTheme& T) {
    QImage Image = Canvas(T, 632, 81);
    QPainter P(&Image);
    Begin(P);
    QLinearGradient Sky(0, 0, 0, 81);
    Sky.setColorAt(0, T.Lift);
    Sky.setColorAt(0.75, T.Back);
    Sky.setColorAt(1, T.Back);
    P.fillRect(Image.rect(), Sky);
    // The texture lives on its own layer so it can fade in from the title side.
    QImage Layer(Image.size(), QImage::Format_ARGB32_Premultiplied);
    Layer.fill(Qt::transparent);
    {
        QPainter L(&Layer);
        Begin(L);
        DrawTexture(L, T, QRectF(0, 0, 632, 78), T.Frost ? 55 : 34);
        QLinearGradient Fade(230, 0, 430, 0);
        Fade.setColorAt(0, Qt::transparent);
        Fade.setColorAt(1, Qt::black);
        L.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        L.fillRect(Layer.rect(), Fade);
    }
    P.drawImage(0, 0, Layer);
    if (T.Frost) {
        // A cold glint across the strip.
        QLinearGradient Sheen(300, 0, 420, 81);
        Sheen.setColorAt(0, Alpha(T.Bright, 0));
        Sheen.setColorAt(0.5, Alpha(T.Bright, 22));
        Sheen.setColorAt(1, Alpha(T.Bright, 0));
        P.fillRect(Image.rect(), Sheen);
    }

    // The game-site button covers the left end and banners the middle when they come:
    // the title sits where the banner goes, so the strip is never empty.
    const qreal Left = 160;
    DrawEmblem(P, T, QPointF(Left + 30, 39), 27);

    const QFont Title = Font(34, QFont::Bold, 0.5);
    const QFont Lite = Font(34, QFont::ExtraLight, 0.5);
    const qreal Base = 43;
    MetalText(P, Title, QPointF(Left + 72, Base), "Scoutly", MetalV(T, Base - 26, Base + 2),
              Qt::black);
    const qreal LiteX = Left + 72 + QFontMetricsF(Title).horizontalAdvance("Scoutly") + 9;
    MetalText(P, Lite, QPointF(LiteX, Base), "Lite", QBrush(T.Text), Qt::black);
    P.setFont(Font(9, QFont::DemiBold, 2.2));
    P.setPen(Alpha(T.Text, 200));
    P.drawText(QPointF(Left + 74, 62), T.Tagline);

    FadingLine(P, T.Accent, 0, 632, 79.5, 1.5);
    FadingLine(P, Alpha(T.Bright, 60), 60, 560, 0.5, 1);
    return Image;
}

QImage Left(const TTheme& T) {
    QImage Image = Canvas(T, 129, 343);
    QPainter P(&Image);
    Begin(P);
    QLinearGradient Panel(0, 0, 0, 343);
    Panel.setColorAt(0, Alpha(T.Lift, 255));
    Panel.setColorAt(0.3, T.Back);
    Panel.setColorAt(0.8, T.Back);
    Panel.setColorAt(1, T.Lift.darker(130));
    P.fillRect(Image.rect(), Panel);
    // A dot grid, just visible, gives the panel a surface.
    P.setPen(Qt::NoPen);
    P.setBrush(Alpha(T.Accent, T.Frost ? 34 : 26));
    for (int Y = 4; Y < 343; Y += 6)
        for (int X = (Y / 6) % 2 ? 4 : 7; X < 124; X += 6)
            P.drawEllipse(QPointF(X, Y), 0.7, 0.7);
    DrawEmblem(P, T, QPointF(64, 172), 46, 40);
    // Bevel on the right, where the panel meets the server list.
    QLinearGradient Edge(0, 0, 0, 343);
    Edge.setColorAt(0, Alpha(T.Accent, 0));
    Edge.setColorAt(0.15, T.Accent);
    Edge.setColorAt(0.85, T.Accent);
    Edge.setColorAt(1, Alpha(T.Accent, 0));
    P.fillRect(QRectF(127, 0, 1, 343), Edge);
    P.fillRect(QRectF(128, 0, 1, 343), T.Back);
    P.fillRect(QRectF(126, 0, 1, 343), Alpha(T.Deep, 90));
    return Image;
}

// The two link buttons of the left panel: an icon and two lines of text on a plate.
QImage Plate(const TTheme& T, bool GameSite) {
    QImage Image = Canvas(T, 113, 44);
    QPainter P(&Image);
    Begin(P);
    const QRectF Box(0.5, 0.5, 112, 43);
    QLinearGradient Fill(0, 0, 0, 44);
    Fill.setColorAt(0, T.Lift.lighter(125));
    Fill.setColorAt(0.5, T.Lift);
    Fill.setColorAt(1, T.Back);
    P.setPen(QPen(QBrush(MetalV(T, 0, 44)), 1));
    P.setBrush(Fill);
    P.drawRoundedRect(Box, 6, 6);
    P.setPen(QPen(Alpha(T.Bright, 50), 1));
    P.drawLine(QPointF(7, 2), QPointF(106, 2));

    const QPointF Icon(22, 22);
    if (GameSite) {
        // A globe: the game's web site.
        P.setBrush(Qt::NoBrush);
        P.setPen(QPen(QBrush(MetalV(T, 8, 36)), 1.6));
        P.drawEllipse(Icon, 13, 13);
        P.drawEllipse(Icon, 5.5, 13);
        P.drawLine(Icon - QPointF(0, 13), Icon + QPointF(0, 13));
        P.drawLine(Icon - QPointF(13, 0), Icon + QPointF(13, 0));
        P.setPen(QPen(QBrush(MetalV(T, 8, 36)), 1.1));
        P.drawArc(QRectF(Icon.x() - 12, Icon.y() - 13, 24, 10), 200 * 16, 140 * 16);
        P.drawArc(QRectF(Icon.x() - 12, Icon.y() + 3, 24, 10), 20 * 16, 140 * 16);
    } else {
        DrawEmblem(P, T, Icon, 14);
    }
    const QString Title = GameSite ? "MORROW" : "Scoutly";
    const QString Note = GameSite ? "game web site" : "makers' site";
    // Largest sizes that fit the plate right of the icon.
    const qreal Room = 113 - 42 - 6;
    int TitleSize = 15, NoteSize = 9;
    while (QFontMetricsF(Font(TitleSize, QFont::Bold, 0.6)).horizontalAdvance(Title) > Room)
        --TitleSize;
    while (QFontMetricsF(Font(NoteSize, QFont::Normal)).horizontalAdvance(Note) > Room)
        --NoteSize;
    MetalText(P, Font(TitleSize, QFont::Bold, 0.6), QPointF(42, 22), Title, MetalV(T, 10, 22),
              Qt::black);
    P.setFont(Font(NoteSize, QFont::Normal));
    P.setPen(Alpha(T.Text, 210));
    P.drawText(QPointF(42.5, 34), Note);
    return Image;
}

enum TGlyph { gRefresh, gStar, gGear, gHelp };

QImage Glyph(const TTheme& T, TGlyph Kind) {
    const int S = 32;
    QImage Image = Canvas(T, S, S);
    QPainter P(&Image);
    Begin(P);
    const QPointF C(S / 2.0, S / 2.0);
    const QBrush Metal = MetalV(T, 3, S - 3);
    const QPen Outline(Alpha(Qt::black, 200), 1.2);
    QPainterPath Shape;
    switch (Kind) {
    case gRefresh: {
        // Two arrows chasing each other round a circle.
        for (int Half = 0; Half < 2; ++Half) {
            QPainterPath Arc;
            const QRectF Ring(6, 6, 20, 20);
            Arc.arcMoveTo(Ring, 195 + Half * 180);
            Arc.arcTo(Ring, 195 + Half * 180, 125);
            QPainterPathStroker Stroker;
            Stroker.setWidth(4.2);
            Stroker.setCapStyle(Qt::FlatCap);
            Shape = Shape.united(Stroker.createStroke(Arc));
            // Head at the arc's end, pointing along the turn.
            const qreal A = qDegreesToRadians(320.0 + Half * 180);
            const QPointF End(C.x() + 10 * qCos(A), C.y() - 10 * qSin(A));
            const QPointF Along(-qSin(A), -qCos(A)), Out(qCos(A), -qSin(A));
            QPainterPath Head;
            Head.moveTo(End + Out * 6);
            Head.lineTo(End - Out * 6);
            Head.lineTo(End + Along * 7);
            Head.closeSubpath();
            Shape = Shape.united(Head);
        }
        break;
    }
    case gStar:
        for (int I = 0; I < 10; ++I) {
            const qreal R = I % 2 ? 5.8 : 14, A = qDegreesToRadians(-90 + I * 36.0);
            const QPointF Pt(C.x() + R * qCos(A), C.y() + 1.2 + R * qSin(A));
            I ? Shape.lineTo(Pt) : Shape.moveTo(Pt);
        }
        Shape.closeSubpath();
        break;
    case gGear: {
        const int Teeth = 8;
        for (int I = 0; I < Teeth * 4; ++I) {
            const qreal R = (I % 4 < 2) ? 14 : 10.5;
            const qreal A = qDegreesToRadians(I * 360.0 / (Teeth * 4) - 5.6);
            const QPointF Pt(C.x() + R * qCos(A), C.y() + R * qSin(A));
            I ? Shape.lineTo(Pt) : Shape.moveTo(Pt);
        }
        Shape.closeSubpath();
        QPainterPath Hole;
        Hole.addEllipse(C, 4.2, 4.2);
        Shape = Shape.subtracted(Hole);
        break;
    }
    case gHelp: {
        Shape.addEllipse(C, 14, 14);
        QPainterPath Mark;
        QFont F = Font(22, QFont::Black);
        const QRectF Box = QFontMetricsF(F).tightBoundingRect("?");
        Mark.addText(C.x() - Box.center().x(), C.y() - Box.center().y(), F, "?");
        Shape = Shape.subtracted(Mark);
        break;
    }
    }
    P.setPen(Qt::NoPen);
    P.setBrush(Alpha(Qt::black, 110));
    P.drawPath(Shape.translated(0.8, 1.2));
    P.setPen(Outline);
    P.setBrush(Metal);
    P.drawPath(Shape);
    // A soft shine on the upper half.
    P.setClipPath(Shape);
    QLinearGradient Shine(0, 0, 0, S / 2.0);
    Shine.setColorAt(0, Alpha(Qt::white, 90));
    Shine.setColorAt(1, Alpha(Qt::white, 0));
    P.fillRect(QRectF(0, 0, S, S / 2.0), Shine);
    return Image;
}

QString BGR(const QColor& C) {
    return QStringLiteral("$%1")
        .arg((C.blue() << 16) | (C.green() << 8) | C.red(), 6, 16, QLatin1Char('0'))
        .toUpper();
}

bool Save(const QImage& Image, const QString& Path) {
    if (Image.save(Path, "BMP")) return true;
    std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(Path));
    return false;
}

// The bitmaps placed roughly as the main window shows them, to judge them together.
QImage Preview(const TTheme& T, const QMap<QString, QImage>& Art) {
    QImage Image(760, 440, QImage::Format_RGB32);
    Image.fill(T.Back);
    QPainter P(&Image);
    Begin(P);
    P.drawImage(0, 0, Art["top.bmp"]);
    P.fillRect(QRect(632, 0, 128, 81), T.Back);
    int X = 636;
    for (const char* Name : {"refresh.bmp", "favorites.bmp", "configure.bmp", "help.bmp"}) {
        P.drawImage(X, 24, Art[Name]);
        X += 30;
    }
    P.drawImage(0, 81, Art["left.bmp"]);
    P.drawImage(8, 90, Art["topleft.bmp"]);
    P.drawImage(8, 81 + 343 - 54, Art["bottomleft.bmp"]);
    P.setFont(Font(12, QFont::Normal));
    const char* Rows[] = {"Morrow Deathmatch  |  12/16  |  48", "Capture the Flag  |  3/12  |  95",
                          "Friday Night Coop  |  8/8  |  61", "Test Server  |  0/24  |  120"};
    for (int I = 0; I < 4; ++I) {
        const QRect Row(140, 100 + I * 20, 600, 20);
        if (I == 1) P.fillRect(Row, T.Highlight);
        P.setPen(I == 1 ? Qt::black : T.Text);
        P.drawText(Row.adjusted(6, 0, 0, 0), Qt::AlignVCenter, Rows[I]);
    }
    P.setPen(T.Link);
    P.drawText(QPoint(146, 200), "http://link.example/");
    // The small pictures enlarged, to judge their shapes.
    X = 146;
    for (const char* Name : {"refresh.bmp", "favorites.bmp", "configure.bmp", "help.bmp"}) {
        P.drawImage(QRect(X, 220, 96, 96), Art[Name]);
        X += 104;
    }
    P.drawImage(QRect(146, 324, 226, 88), Art["topleft.bmp"]);
    P.drawImage(QRect(390, 324, 226, 88), Art["bottomleft.bmp"]);
    return Image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication App(argc, argv);
    const QStringList Args = App.arguments().mid(1);
    if (Args.isEmpty()) {
        std::fprintf(stderr, "usage: skinart OUTDIR [--preview PREFIX]\n");
        return 2;
    }
    const QString PreviewPrefix =
        Args.size() >= 3 && Args[1] == QLatin1String("--preview") ? Args[2] : QString();
    bool Ok = true;
    for (const TTheme& T : Themes) {
        const QString Dir = QDir(Args[0]).filePath(T.Name);
        QDir().mkpath(Dir);
        QMap<QString, QImage> Art = {
            {"top.bmp", Top(T)},
            {"left.bmp", Left(T)},
            {"topleft.bmp", Plate(T, true)},
            {"bottomleft.bmp", Plate(T, false)},
            {"refresh.bmp", Glyph(T, gRefresh)},
            {"favorites.bmp", Glyph(T, gStar)},
            {"configure.bmp", Glyph(T, gGear)},
            {"help.bmp", Glyph(T, gHelp)},
        };
        for (auto It = Art.cbegin(); It != Art.cend(); ++It)
            Ok = Save(It.value(), QDir(Dir).filePath(It.key())) && Ok;

        QFile Ini(QDir(Dir).filePath("skin.ini"));
        if (Ini.open(QIODevice::WriteOnly | QIODevice::Text)) {
            Ini.write(
                QStringLiteral("; Colours are $00BBGGRR (low byte red).\n[colors]\n"
                               "primarycolor=%1\nsecondarycolor=%2\nprimaryfontcolor=%3\n"
                               "secondaryfontcolor=%3\nhighlightcolor=%4\nlbfontcolor=%5\n")
                    .arg(BGR(T.Back), BGR(T.Secondary), BGR(T.Text), BGR(T.Highlight), BGR(T.Link))
                    .toLatin1());
        } else {
            Ok = false;
        }
        if (!PreviewPrefix.isEmpty()) Preview(T, Art).save(PreviewPrefix + "-" + T.Name + ".png");
    }
    return Ok ? 0 : 1;
}
