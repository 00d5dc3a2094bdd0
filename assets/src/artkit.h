// Pieces every drawing of the program's pictures shares: colours with alpha, the metal
// gradient, and the compass star.
#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

inline QColor Alpha(QColor C, int A) {
    C.setAlpha(A);
    return C;
}

// Polished metal from top to bottom: a bright edge, the accent, then deep shade.
inline QLinearGradient MetalGradient(qreal Top, qreal Bottom, const QColor& Bright,
                                     const QColor& Accent, const QColor& Deep) {
    QLinearGradient G(0, Top, 0, Bottom);
    G.setColorAt(0, Bright);
    G.setColorAt(0.45, Accent);
    G.setColorAt(1, Deep);
    return G;
}

// The compass star: four arms, each with its left half lit, the north arm brightest when they
// point to the cardinal points.
// Arms from the painter's origin out to Long, Wide at the shoulder; turned 45 degrees when not
// Cardinal. Bright, Accent and Deep are the star's colours from lightest to darkest.
inline void DrawStarArms(QPainter& P, qreal Long, qreal Wide, bool Cardinal, const QColor& Bright,
                         const QColor& Accent, const QColor& Deep) {
    P.save();
    P.rotate(Cardinal ? 0 : 45);
    for (int Arm = 0; Arm < 4; ++Arm) {
        P.save();
        P.rotate(Arm * 90);
        QPainterPath Left, Right;
        Left.moveTo(0, -Long);
        Left.lineTo(-Wide, -Wide);
        Left.lineTo(0, 0);
        Right.moveTo(0, -Long);
        Right.lineTo(Wide, -Wide);
        Right.lineTo(0, 0);
        const bool North = Cardinal && Arm == 0;
        P.setPen(Qt::NoPen);
        P.setBrush(North ? Bright : (Cardinal ? Accent : Deep));
        P.drawPath(Left);
        P.setBrush(North ? Accent : (Cardinal ? Deep : Deep.darker(140)));
        P.drawPath(Right);
        P.restore();
    }
    P.restore();
}
