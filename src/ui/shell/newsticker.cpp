#include "ui/shell/newsticker.h"

#include "net/netutils.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>

TNewsTicker::TNewsTicker(QWidget* Parent) : QFrame(Parent) {
    setObjectName("newsticker");
    Caption = "Click here to enable the News Ticker";
    LineTimer = new QTimer(this);
    LineTimer->setInterval(3000);
    connect(LineTimer, &QTimer::timeout, this, &TNewsTicker::LineTimerTimer);
    Slide = new QVariantAnimation(this);
    Slide->setStartValue(0.0);
    Slide->setEndValue(1.0);
    Slide->setDuration(400);
    Slide->setEasingCurve(QEasingCurve::OutCubic);
    connect(Slide, &QVariantAnimation::valueChanged, this, [this] { update(); });
    SetActive(true);
}

QSize TNewsTicker::sizeHint() const {
    return {345, fontMetrics().height() + 2 * frameWidth()};
}

bool TNewsTicker::LoadDocument(const QByteArray& Text) {
    const bool Any = Ticker.Load(Text);
    Caption.clear();
    Slide->stop();
    NextLine();
    // A fresh document gets its full three seconds on the first line.
    if (Ticker.Active) LineTimer->start();
    update();
    return Any;
}

void TNewsTicker::SetActive(bool Active) {
    Ticker.Active = Active;
    setFrameStyle(QFrame::Panel | (Active ? QFrame::Sunken : QFrame::Raised));
    if (Active)
        LineTimer->start();
    else
        LineTimer->stop();
}

QString TNewsTicker::ShownText() const {
    if (Ticker.Lines.isEmpty()) return Caption;
    return DisplayText(Ticker.CurrentLine());
}

void TNewsTicker::LineTimerTimer() {
    const QByteArray Before = Ticker.CurrentLine();
    if (!Ticker.Advance()) return;
    Leaving = Before;
    NextLine();
    Slide->start();
}

void TNewsTicker::NextLine() {
    if (!Ticker.Lines.isEmpty()) Highlight = Ticker.CurrentIsLink();
    setCursor(Highlight ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TNewsTicker::DrawLine(QPainter& Painter, const QByteArray& Line, int Top) {
    const QRect Area = contentsRect().adjusted(3, 0, -3, 0);
    QFont Font = font();
    const bool Link = TTicker::IsLinkLine(Line);
    Font.setUnderline(Link);
    Painter.setFont(Font);
    Painter.setPen(Link ? HighlightColor : palette().color(QPalette::WindowText));
    const QString Text =
        QFontMetrics(Font).elidedText(DisplayText(Line), Qt::ElideRight, Area.width());
    Painter.drawText(Area.translated(0, Top), Qt::AlignLeft | Qt::AlignVCenter, Text);
}

void TNewsTicker::paintEvent(QPaintEvent* Event) {
    QFrame::paintEvent(Event);
    QPainter Painter(this);
    Painter.setClipRect(contentsRect());
    if (Ticker.Lines.isEmpty()) {
        Painter.setPen(palette().color(QPalette::WindowText));
        Painter.drawText(contentsRect().adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         Caption);
        return;
    }
    // The old line moves up and out while the new one comes up from below.
    const int Height = contentsRect().height();
    const int Offset = Slide->state() == QAbstractAnimation::Running
                           ? int(Slide->currentValue().toDouble() * Height)
                           : Height;
    if (Offset < Height) DrawLine(Painter, Leaving, -Offset);
    DrawLine(Painter, Ticker.CurrentLine(), Height - Offset);
}

void TNewsTicker::mouseReleaseEvent(QMouseEvent* Event) {
    QFrame::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        if (OnClick) OnClick(this);
}
