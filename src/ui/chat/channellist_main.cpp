#include "ui/chat/channellist_main.h"

#include "config/skins.h"
#include "net/netutils.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace {
// The list keeps a light look for readability, and a selection that stays visible when the
// user moves to the buttons.
QPalette ListPalette(const QPalette& Standard) {
    QPalette P = Standard;
    for (QPalette::ColorRole R : {QPalette::Highlight, QPalette::HighlightedText})
        P.setColor(QPalette::Inactive, R, P.color(QPalette::Active, R));
    return P;
}

QIcon Glyph(bool Refresh, const QColor& Color) {
    constexpr qreal Ratio = 2;
    QPixmap Picture(QSize(16, 16) * Ratio);
    Picture.setDevicePixelRatio(Ratio);
    Picture.fill(Qt::transparent);
    QPainter P(&Picture);
    P.setRenderHint(QPainter::Antialiasing);
    QPen Pen(Color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    P.setPen(Pen);
    if (Refresh) {
        // Three quarters of a circle, open at the top right, its end turning upwards.
        P.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
        P.setBrush(Color);
        P.drawPolygon(QPolygonF({{10.5, 8.5}, {16, 8.5}, {13.25, 4.5}}));
    } else {
        // An arrow going through a doorway.
        P.drawPolyline(QPolygonF({{9, 2.5}, {13.5, 2.5}, {13.5, 13.5}, {9, 13.5}}));
        P.drawLine(QPointF(1.5, 8), QPointF(10, 8));
        P.drawPolyline(QPolygonF({{6.5, 4.5}, {10, 8}, {6.5, 11.5}}));
    }
    return QIcon(Picture);
}

QToolButton* FlatButton(const char* Name, const QString& Caption, const QString& Tip) {
    auto* B = new QToolButton;
    B->setObjectName(Name);
    B->setText(Caption);
    B->setToolTip(Tip);
    B->setAutoRaise(true);
    B->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    B->setIconSize(QSize(16, 16));
    return B;
}
} // namespace

TChannelListModel::TChannelListModel(QObject* Parent) : TSortableTableModel(Parent) {
    BatchTimer.setSingleShot(true);
    BatchTimer.setInterval(BatchDelay);
    connect(&BatchTimer, &QTimer::timeout, this, &TChannelListModel::Flush);
}

void TChannelListModel::Append(const QByteArray& Name, int Count, const QByteArray& Topic) {
    Pending.push_back({Name, Count, DisplayText(Name), ChatText(Topic)});
    // Not restarted per row: a steady stream still shows up every BatchDelay.
    if (!BatchTimer.isActive()) BatchTimer.start();
}

void TChannelListModel::Flush() {
    BatchTimer.stop();
    if (Pending.empty()) return;
    const int First = int(Rows.size());
    beginInsertRows({}, First, First + int(Pending.size()) - 1);
    Rows.insert(Rows.end(), std::make_move_iterator(Pending.begin()),
                std::make_move_iterator(Pending.end()));
    Pending.clear();
    endInsertRows();
}

void TChannelListModel::Clear() {
    BatchTimer.stop();
    Pending.clear();
    beginResetModel();
    Rows.clear();
    endResetModel();
}

QByteArray TChannelListModel::Name(int Row) const {
    return Row >= 0 && Row < int(Rows.size()) ? Rows[Row].Name : QByteArray();
}

int TChannelListModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : int(Rows.size());
}

int TChannelListModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnTotal;
}

QVariant TChannelListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= int(Rows.size())) return {};
    const TRow& Row = Rows[Index.row()];
    if (Role == Qt::DisplayRole) {
        switch (Index.column()) {
        case NameColumn:
            return Row.NameText;
        case CountColumn:
            return QString::number(Row.Count);
        case TopicColumn:
            return Row.TopicText;
        }
    } else if (Role == Qt::TextAlignmentRole && Index.column() == CountColumn) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TChannelListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal) return {};
    if (Role != Qt::DisplayRole) return {};
    switch (Section) {
    case NameColumn:
        return QStringLiteral("Channel Name");
    case CountColumn:
        return QStringLiteral("Count");
    case TopicColumn:
        return QStringLiteral("Topic");
    }
    return {};
}

Qt::ItemFlags TChannelListModel::flags(const QModelIndex& Index) const {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void TChannelListModel::sort(int Column, Qt::SortOrder Order) {
    // -1 comes from clearing the sort indicator for a new listing: nothing to sort.
    if (Column < 0 || Column >= ColumnTotal) return;
    Flush();
    if (Rows.size() < 2) return;
    const bool Descending = Order == Qt::DescendingOrder;
    const auto Compare = [&](const TRow& A, const TRow& B) {
        if (Column == CountColumn) return A.Count < B.Count ? -1 : A.Count > B.Count ? 1 : 0;
        const QString& TA = Column == NameColumn ? A.NameText : A.TopicText;
        const QString& TB = Column == NameColumn ? B.NameText : B.TopicText;
        return TA.compare(TB, Qt::CaseInsensitive);
    };
    std::vector<int> Sequence(Rows.size());
    std::iota(Sequence.begin(), Sequence.end(), 0);
    std::stable_sort(Sequence.begin(), Sequence.end(), [&](int A, int B) {
        const int C = Compare(Rows[A], Rows[B]);
        return Descending ? C > 0 : C < 0;
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    ApplyOrder(Rows, Sequence);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

Tchannellist_form::Tchannellist_form(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setObjectName("channellist_form");
    setWindowTitle("Channel List");

    Panel1 = new QWidget;
    Panel1->setObjectName("Panel1");
    Panel1->setMinimumHeight(25);
    refresh_butt = FlatButton("refresh_butt", "Refresh", "Get the channel list again");
    join_butt = FlatButton("join_butt", "Join", "Join the selected channel");
    connect(refresh_butt, &QToolButton::clicked, this, &Tchannellist_form::refresh_buttClick);
    connect(join_butt, &QToolButton::clicked, this, &Tchannellist_form::join_buttClick);
    auto* Buttons = new QHBoxLayout(Panel1);
    Buttons->setContentsMargins(2, 1, 2, 1);
    Buttons->setSpacing(2);
    Buttons->addWidget(refresh_butt);
    Buttons->addWidget(join_butt);
    Buttons->addStretch();

    ListModel = new TChannelListModel(this);
    channelview = new QTreeView;
    channelview->setObjectName("channelview");
    channelview->setRootIsDecorated(false);
    channelview->setUniformRowHeights(true);
    channelview->setAllColumnsShowFocus(true);
    channelview->setSelectionBehavior(QAbstractItemView::SelectRows);
    channelview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    channelview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    channelview->setModel(ListModel);
    QHeaderView* Header = channelview->header();
    Header->setStretchLastSection(true);
    // No column is sorted until the user clicks one.
    Header->setSortIndicator(-1, Qt::AscendingOrder);
    channelview->setSortingEnabled(true);
    channelview->setColumnWidth(TChannelListModel::NameColumn, 250);
    channelview->setColumnWidth(TChannelListModel::CountColumn, 75);
    connect(channelview, &QAbstractItemView::doubleClicked, this,
            &Tchannellist_form::join_buttClick);

    statusbar = new QStatusBar;
    statusbar->setObjectName("statusbar");
    // The gauge's panel keeps its place while the gauge is hidden, so the text never jumps.
    auto* GaugePanel = new QWidget;
    GaugePanel->setFixedWidth(100);
    gauge = new QProgressBar;
    gauge->setObjectName("gauge");
    gauge->setRange(0, 0);
    gauge->setTextVisible(false);
    gauge->setMaximumHeight(14);
    gauge->hide();
    auto* GaugeLayout = new QHBoxLayout(GaugePanel);
    GaugeLayout->setContentsMargins(0, 0, 0, 0);
    GaugeLayout->addWidget(gauge);
    statuslabel = new QLabel;
    statuslabel->setObjectName("statuslabel");
    statuslabel->setFixedWidth(250);
    statusbar->addWidget(GaugePanel);
    statusbar->addWidget(statuslabel);

    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    Layout->addWidget(Panel1);
    Layout->addWidget(channelview, 1);
    Layout->addWidget(statusbar);
    resize(496, 470);
    FormCreate();
}

Tchannellist_form::~Tchannellist_form() = default;

void Tchannellist_form::FormCreate() {
    // The built-in look until the chat module applies the skin.
    ApplyColors(TSkinColors{});
}

void Tchannellist_form::ApplyColors(const TSkinColors& Colors) {
    const QPalette Standard = style()->standardPalette();
    setPalette(SkinPalette(Colors, Standard));
    setAutoFillBackground(true);
    const QColor Fore = ColorOfBGR(Colors.PrimaryFontColor);
    QPalette Gauge = gauge->palette();
    Gauge.setColor(QPalette::Highlight, Fore);
    gauge->setPalette(Gauge);
    channelview->setPalette(ListPalette(Standard));
    DrawGlyphs(Fore);
}

void Tchannellist_form::DrawGlyphs(const QColor& Color) {
    refresh_butt->setIcon(Glyph(true, Color));
    join_butt->setIcon(Glyph(false, Color));
}

void Tchannellist_form::StartListing() {
    SetCounts(0, 0);
    ListModel->Clear();
    channelview->header()->setSortIndicator(-1, Qt::AscendingOrder);
    gauge->show();
    UpdateStatus(true);
}

void Tchannellist_form::AddChannel(const QByteArray& Name, int Count, const QByteArray& Topic) {
    ListModel->Append(Name, Count, Topic);
    SetCounts(UserCount + Count, ChannelCount + 1);
}

void Tchannellist_form::EndListing() {
    ListModel->Flush();
    gauge->hide();
    UpdateStatus(true);
}

void Tchannellist_form::SetCounts(int Users, int Channels) {
    UserCount = Users;
    ChannelCount = Channels;
    UpdateStatus(false);
}

void Tchannellist_form::UpdateStatus(bool Force) {
    const qint64 Now = TickCount();
    if (!Force && Now - LastStatusTick <= 500) return;
    LastStatusTick = Now;
    statuslabel->setText(QString("%1 users on %2 channels").arg(UserCount).arg(ChannelCount));
}

void Tchannellist_form::refresh_buttClick() {
    if (OnRefresh) OnRefresh();
}

void Tchannellist_form::join_buttClick() {
    int First = -1;
    for (const QModelIndex& Index : channelview->selectionModel()->selectedRows())
        if (First < 0 || Index.row() < First) First = Index.row();
    if (First < 0) {
        QMessageBox Box(QMessageBox::Information, windowTitle(),
                        "You must select a channel to join first", QMessageBox::Ok, this);
        Box.setWindowFlag(Qt::WindowStaysOnTopHint);
        Box.exec();
        return;
    }
    const QByteArray Channel = ListModel->Name(First);
    if (OnJoin) OnJoin(Channel);
    close();
}
