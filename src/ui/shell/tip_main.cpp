#include "ui/shell/tip_main.h"

#include "config/settings.h"
#include "net/netutils.h"
#include "ui/widgets/linkopener.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const int BandWidth = 54, TextMargin = 12;

// A label that acts like a web link: blue, underlined, a hand over it, and a click.
class TLinkLabel : public QLabel {
public:
    TLinkLabel(const QString& Text, std::function<void()> Click)
        : QLabel(Text), OnClick(std::move(Click)) {
        QFont F = font();
        F.setUnderline(true);
        setFont(F);
        QPalette Colors = palette();
        Colors.setColor(QPalette::WindowText, Qt::blue);
        setPalette(Colors);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override {
        QLabel::mouseReleaseEvent(Event);
        if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
            OnClick();
    }

private:
    std::function<void()> OnClick;
};

// A light bulb, drawn rather than shipped so it stays sharp at any scale.
QPixmap BulbIcon(qreal Ratio) {
    const int Size = 36;
    QPixmap Icon(QSize(Size, Size) * Ratio);
    Icon.setDevicePixelRatio(Ratio);
    Icon.fill(Qt::transparent);
    QPainter P(&Icon);
    P.setRenderHint(QPainter::Antialiasing);
    const QPointF C(18, 13);
    QRadialGradient Glow(C, 17);
    Glow.setColorAt(0, QColor(255, 250, 200, 200));
    Glow.setColorAt(1, QColor(255, 250, 200, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(Glow);
    P.drawEllipse(C, 17, 17);

    QPainterPath Glass;
    Glass.moveTo(13.5, 25);
    Glass.cubicTo(13.5, 20.5, 8, 18, 8, 12.5);
    Glass.cubicTo(8, 6.5, 12.5, 3, 18, 3);
    Glass.cubicTo(23.5, 3, 28, 6.5, 28, 12.5);
    Glass.cubicTo(28, 18, 22.5, 20.5, 22.5, 25);
    Glass.closeSubpath();
    QRadialGradient Fill(QPointF(15, 9), 15);
    Fill.setColorAt(0, QColor(255, 255, 235));
    Fill.setColorAt(0.55, QColor(255, 226, 70));
    Fill.setColorAt(1, QColor(226, 160, 20));
    P.setPen(QPen(QColor(120, 80, 0), 1));
    P.setBrush(Fill);
    P.drawPath(Glass);
    // The filament.
    P.setPen(QPen(QColor(170, 95, 0), 1));
    P.setBrush(Qt::NoBrush);
    QPainterPath Wire;
    Wire.moveTo(15.5, 24);
    Wire.lineTo(15.5, 16);
    Wire.cubicTo(16, 13, 17, 13, 17, 16);
    Wire.cubicTo(17.5, 13, 18.5, 13, 19, 16);
    Wire.cubicTo(19.5, 13, 20.5, 13, 20.5, 16);
    Wire.lineTo(20.5, 24);
    P.drawPath(Wire);
    // The screw base, three grey rings and the tip.
    QLinearGradient Metal(13, 0, 23, 0);
    Metal.setColorAt(0, QColor(120, 120, 120));
    Metal.setColorAt(0.4, QColor(235, 235, 235));
    Metal.setColorAt(1, QColor(100, 100, 100));
    P.setPen(QPen(QColor(70, 70, 70), 0.8));
    P.setBrush(Metal);
    for (int Ring = 0; Ring < 3; ++Ring)
        P.drawRoundedRect(QRectF(13.5, 25 + Ring * 2.4, 9, 2.4), 1, 1);
    P.setBrush(QColor(60, 60, 60));
    P.drawChord(QRectF(15.5, 30.5, 5, 4), 180 * 16, 180 * 16);
    return Icon;
}

QFont TitleFont(const QFont& Base) {
    QFont F = Base;
    F.setFamily(QStringLiteral("Arial"));
    F.setStyleHint(QFont::SansSerif);
    F.setPixelSize(21);
    F.setBold(true);
    return F;
}

} // namespace

Ttip_form::Ttip_form(TSettings& Settings, QWidget* Parent) : QDialog(Parent), Settings(Settings) {
    setObjectName("tip_form");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    setFixedSize(ClientWidth, ClientHeight);

    // White paper in a lowered frame, whatever the skin: the tips are meant to read like a note.
    tippanel = new QFrame(this);
    tippanel->setObjectName("tippanel");
    tippanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    tippanel->setGeometry(8, 8, 377, 313);
    QPalette Paper = tippanel->palette();
    Paper.setColor(QPalette::Window, Qt::white);
    Paper.setColor(QPalette::WindowText, Qt::black);
    tippanel->setPalette(Paper);
    tippanel->setAutoFillBackground(true);

    auto* Band = new QWidget(tippanel);
    Band->setObjectName("iconband");
    QPalette Grey = Band->palette();
    Grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    Band->setPalette(Grey);
    Band->setAutoFillBackground(true);
    Band->setFixedWidth(BandWidth);
    tipicon = new QLabel;
    tipicon->setObjectName("tipicon");
    tipicon->setPixmap(BulbIcon(devicePixelRatioF()));
    tipicon->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto* BandLayout = new QVBoxLayout(Band);
    BandLayout->setContentsMargins(0, 12, 0, 0);
    BandLayout->addWidget(tipicon);
    BandLayout->addStretch();

    toplabel = new QLabel;
    toplabel->setObjectName("toplabel");
    toplabel->setFont(TitleFont(font()));
    topline = new QFrame;
    topline->setObjectName("topline");
    topline->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    helplabel =
        new TLinkLabel(QStringLiteral("View the online help page"), [this] { helplabelClick(); });
    helplabel->setObjectName("helplabel");
    commentslabel =
        new TLinkLabel(QStringLiteral("Comments? Suggestions?"), [this] { commentslabelClick(); });
    commentslabel->setObjectName("commentslabel");

    auto* Text = new QVBoxLayout;
    Text->setContentsMargins(TextMargin, TextMargin, TextMargin, TextMargin);
    Text->setSpacing(8);
    Text->addWidget(toplabel);
    Text->addWidget(topline);
    TipLines = new QVBoxLayout;
    TipLines->setSpacing(7);
    Text->addLayout(TipLines);
    Text->addStretch();
    Text->addWidget(helplabel);
    Text->addWidget(commentslabel);
    auto* PanelLayout = new QHBoxLayout(tippanel);
    PanelLayout->setContentsMargins(0, 0, 0, 0); // inside the frame already
    PanelLayout->setSpacing(0);
    PanelLayout->addWidget(Band);
    PanelLayout->addLayout(Text, 1);

    showtips = new QCheckBox(QStringLiteral("&Show Tips on Startup"), this);
    showtips->setObjectName("showtips");
    showtips->adjustSize();
    showtips->move(10, 327 + (25 - showtips->height()) / 2);
    connect(showtips, &QCheckBox::clicked, this, &Ttip_form::showtipsClick);
    close_butt = new QPushButton(QStringLiteral("&Close"), this);
    close_butt->setObjectName("close_butt");
    close_butt->setGeometry(ClientWidth - 9 - 81, 327, 81, 25);
    close_butt->setDefault(true);
    connect(close_butt, &QPushButton::clicked, this, &Ttip_form::close_buttClick);
}

Ttip_form::~Ttip_form() = default;

void Ttip_form::FormCreate(const QString& Title) {
    BuildTips();
    const QString Name = Title.isEmpty() ? QApplication::applicationDisplayName() : Title;
    setWindowTitle(Name + QStringLiteral(" Tips"));
    toplabel->setText(QStringLiteral("Tips for Using ") + Name);
    // A long name, or a wider face standing in for Arial, must not cut the title off.
    const int Room = tippanel->contentsRect().width() - BandWidth - 2 * TextMargin;
    QFont Heading = toplabel->font();
    while (Heading.pixelSize() > 12 && toplabel->sizeHint().width() > Room) {
        Heading.setPixelSize(Heading.pixelSize() - 1);
        toplabel->setFont(Heading);
    }
    const QString Setting = Settings.Stored(QStringLiteral("showtips"));
    showtips->setChecked(Setting.isEmpty());
    // The client area is centred; move() would place the frame, whose size is not known yet.
    if (const QScreen* Screen = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), Screen->geometry()));
    if (Setting.isEmpty()) show();
}

QList<QStringList> Ttip_form::Tips() const {
    return {
        {QStringLiteral("Double-click a server to join")},
        {QStringLiteral("Green light: good ping to server"),
         QStringLiteral("Yellow light: acceptable ping"), QStringLiteral("Red light: poor ping")},
        {QStringLiteral("Right click a server to add it to"),
         QStringLiteral("your favorites list")},
        {QStringLiteral("Servers in green are your favorites")},
        {QStringLiteral("You can click on the column headers to "),
         QStringLiteral("resize the columns")},
    };
}

void Ttip_form::BuildTips() {
    for (const QStringList& Tip : Tips()) {
        QStringList Lines;
        for (const QString& Line : Tip)
            Lines << (Lines.isEmpty() ? QStringLiteral("\u2022 ") : QStringLiteral("  ")) + Line;
        auto* Label = new QLabel(Lines.join(QLatin1Char('\n')));
        Label->setObjectName(QStringLiteral("tip%1").arg(tiplabels.size() + 1));
        tiplabels << Label;
        TipLines->addWidget(Label);
    }
}

void Ttip_form::showtipsClick() {
    Settings.Store(QStringLiteral("showtips"),
                   showtips->isChecked() ? QString() : QStringLiteral("X"));
}

void Ttip_form::close_buttClick() {
    close();
}

void Ttip_form::OpenLink(int Index) {
    ::OpenLink(Settings.Links[Index].Address.toUtf8(), StatusBarReport(this));
}

void Ttip_form::helplabelClick() {
    OpenLink(lkHelp);
}

void Ttip_form::commentslabelClick() {
    OpenLink(lkFeedback);
}
