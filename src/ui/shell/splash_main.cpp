#include "ui/shell/splash_main.h"

#include "config/paths.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>

Tsplash_form::Tsplash_form(const TSkinColors& Colors, QWidget* Parent)
    : QWidget(Parent), Skin(Colors) {
    setObjectName("splash_form");
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(ClientWidth, ClientHeight);
    QPalette Background = palette();
    Background.setColor(QPalette::Window, ColorOfBGR(Skin.PrimaryColor));
    setPalette(Background);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(rect());
    Image1->setAlignment(Qt::AlignCenter);

    closetimer = new QTimer(this);
    closetimer->setObjectName("closetimer");
    closetimer->setSingleShot(true);
    // A coarse timer may fire up to 5% early.
    closetimer->setTimerType(Qt::PreciseTimer);
    closetimer->setInterval(ShowTime);
    connect(closetimer, &QTimer::timeout, this, &Tsplash_form::closetimerTimer);
}

Tsplash_form::~Tsplash_form() = default;

void Tsplash_form::FormCreate() {
    Image1->setPixmap(Picture());
    if (const QScreen* Screen = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), Screen->geometry()));
    show();
    // Painted now: the program's start keeps the event loop busy for a while.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QPixmap Tsplash_form::Picture() const {
    return DrawnPicture({});
}

QPixmap Tsplash_form::DrawnPicture(const QString& Edition) const {
    QPixmap Picture(ClientWidth, ClientHeight);
    Picture.fill(ColorOfBGR(Skin.PrimaryColor));
    QPainter P(&Picture);
    P.setRenderHint(QPainter::TextAntialiasing);
    P.setPen(ColorOfBGR(Skin.PrimaryFontColor));
    QFont Title = font();
    Title.setPixelSize(36);
    Title.setBold(true);
    P.setFont(Title);
    const QRect Upper(0, 0, ClientWidth, Edition.isEmpty() ? ClientHeight : ClientHeight / 2 + 10);
    P.drawText(Upper, Qt::AlignHCenter | (Edition.isEmpty() ? Qt::AlignVCenter : Qt::AlignBottom),
               QStringLiteral("Scoutly Lite"));
    if (!Edition.isEmpty()) {
        Title.setPixelSize(22);
        Title.setBold(false);
        P.setFont(Title);
        P.drawText(QRect(0, Upper.bottom() + 8, ClientWidth, 40), Qt::AlignHCenter | Qt::AlignTop,
                   Edition);
    }
    return Picture;
}

void Tsplash_form::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (Shown) return;
    Shown = true;
    closetimer->start();
}

void Tsplash_form::closetimerTimer() {
    close();
}

QPixmap Tmorrowsplash_form::Picture() const {
    QPixmap Picture(ProgramDataDir() + QStringLiteral("/splash.png"));
    return Picture.isNull() ? DrawnPicture(QStringLiteral("Morrow")) : Picture;
}
