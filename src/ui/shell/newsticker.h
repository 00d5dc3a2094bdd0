// The news ticker of the status bar: one line of the fetched document at a time, the next one
// sliding in every three seconds, link lines drawn in the skin's highlight colour and
// underlined. The panel looks lowered while it rotates and raised while it stands still.
#pragma once

#include "portal/ticker.h"

#include <QFrame>
#include <functional>

class QTimer;
class QVariantAnimation;

class TNewsTicker : public QFrame {
    Q_OBJECT
public:
    explicit TNewsTicker(QWidget* Parent = nullptr);

    TTicker Ticker;
    QString Caption; // shown until the first document arrives
    QColor HighlightColor{Qt::yellow};
    QTimer* LineTimer;        // one line per tick
    QVariantAnimation* Slide; // the move from one line to the next
    std::function<void(TNewsTicker* Sender)> OnClick;

    // Shows a fetched document from its first line; Load's answer (TTicker::Load).
    bool LoadDocument(const QByteArray& Text);
    void SetActive(bool Active);
    // The text shown now, and whether it is drawn as a link.
    QString ShownText() const;
    bool Highlighted() const { return Highlight; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    void LineTimerTimer();
    void NextLine();
    void DrawLine(QPainter& Painter, const QByteArray& Line, int Top);
    bool Highlight = false;
    QByteArray Leaving; // the line sliding out
};
