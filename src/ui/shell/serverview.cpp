#include "ui/shell/serverview.h"

#include "config/settingsstore.h"
#include "net/netutils.h"

#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <algorithm>
#include <numeric>

namespace {

template <class T> int Sign(T A, T B) {
    return (A > B) - (A < B);
}

// A text that is not a decimal integer counts as 0.
qint64 NumberOf(QStringView Text) {
    bool Ok = false;
    const qint64 Value = Text.toLongLong(&Ok, 10);
    return Ok ? Value : 0;
}

std::pair<qint64, qint64> FractionOf(QStringView Text) {
    const qsizetype Slash = Text.indexOf(u'/');
    if (Slash < 0) return {NumberOf(Text), 0};
    return {NumberOf(Text.left(Slash)), NumberOf(Text.mid(Slash + 1))};
}

// Ordinal order of the lower-cased texts without lower-casing whole strings per comparison:
// only surrogate pairs and U+0130 (which lowers to two units) need the full conversion.
int CompareLowered(QStringView A, QStringView B) {
    const qsizetype Common = qMin(A.size(), B.size());
    for (qsizetype I = 0; I < Common; ++I) {
        const char16_t CA = A[I].unicode(), CB = B[I].unicode();
        if (CA == CB) continue;
        if (QChar::isSurrogate(CA) || QChar::isSurrogate(CB) || CA == 0x130 || CB == 0x130)
            return qBound(-1, A.toString().toLower().compare(B.toString().toLower()), 1);
        const char32_t LA = QChar::toLower(char32_t(CA)), LB = QChar::toLower(char32_t(CB));
        if (LA != LB) return LA < LB ? -1 : 1;
    }
    return Sign(A.size(), B.size());
}

} // namespace

// ---- model ----------------------------------------------------------------------------------

TServerListModel::TServerListModel(QObject* Parent) : TSortableTableModel(Parent) {}

TServerListModel::~TServerListModel() = default;

void TServerListModel::SetColumns(const TColumnCaptions& Captions) {
    PingColumn = PlayersColumn = -1;
    for (int I = 0; I < ColumnSlots; ++I) {
        Columns[I] = I < Captions.size() ? Captions[I] : TColumnCaption{QString(), ckText};
        if (Columns[I].Kind == ckNumber && PingColumn < 0) PingColumn = I;
        if (Columns[I].Kind == ckFraction && PlayersColumn < 0) PlayersColumn = I;
    }
    emit headerDataChanged(Qt::Horizontal, 0, ColumnSlots - 1);
}

TColumnKind TServerListModel::ColumnKind(int Column) const {
    return Column >= 0 && Column < ColumnSlots ? Columns[Column].Kind : ckText;
}

void TServerListModel::ReadTexts(TRow& Row) const {
    QList<QByteArray> Strings;
    Row.Server->GetColumnTexts(Strings);
    for (int I = 0; I < ColumnSlots; ++I)
        Row.Texts[I] = I < Strings.size() ? DisplayText(Strings[I]) : QString();
    Row.Keys = TServerFilter::KeysOf(*Row.Server);
    Row.Visible = Filt.Passes(*Row.Server, Row.Keys);
    Row.Buddies = BuddiesOn ? BuddiesOn(*Row.Server) : QStringList();
}

void TServerListModel::Replace(int Row, const TServerRef& Server) {
    if (Row < 0 || Row >= int(Shown.size())) return;
    const int Index = Shown[Row];
    RowIndex.remove(Rows[Index].Server.get());
    Rows[Index].Server = Server;
    RowIndex.insert(Server.get(), Index);
    Update(Index);
}

void TServerListModel::RereadAll() {
    for (TRow& Row : Rows)
        ReadTexts(Row);
    if (!Shown.empty())
        emit dataChanged(index(0, 0), index(int(Shown.size()) - 1, ColumnSlots - 1));
}

namespace {
QIcon BuddyMarker() {
    QPixmap Picture(12, 12);
    Picture.fill(Qt::transparent);
    QPainter Painter(&Picture);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setPen(QColor(0x80, 0x40, 0x00));
    Painter.setBrush(QColor(0xff, 0x99, 0x00));
    Painter.drawEllipse(1, 1, 10, 10);
    return QIcon(Picture);
}
} // namespace

int TServerListModel::Append(const TServerRef& Server) {
    if (!Server) return -1;
    if (const int Listed = RowIndex.value(Server.get(), -1); Listed >= 0) {
        Update(Listed);
        return ShownRow[Listed];
    }
    const int Index = int(Rows.size());
    TRow Entry{Server, {}, {}, true, {}};
    ReadTexts(Entry);
    const bool Visible = Entry.Visible;
    Rows.push_back(std::move(Entry));
    RowIndex.insert(Server.get(), Index);
    ShownRow.push_back(-1);
    if (Visible) {
        const int Row = int(Shown.size());
        beginInsertRows({}, Row, Row);
        Shown.push_back(Index);
        ShownRow[Index] = Row;
        endInsertRows();
    }
    return ShownRow[Index];
}

int TServerListModel::RowOf(const TCustomServer* Server) const {
    const int Index = RowIndex.value(Server, -1);
    return Index < 0 ? -1 : ShownRow[Index];
}

void TServerListModel::Refresh(int Row) {
    if (Row >= 0 && Row < int(Shown.size())) Update(Shown[Row]);
}

void TServerListModel::Renumber(int From) {
    for (size_t I = size_t(From); I < Shown.size(); ++I)
        ShownRow[Shown[I]] = int(I);
}

// A re-read record may now pass the filter or fail it: its row comes or goes in place.
void TServerListModel::Update(int Index) {
    TRow& Entry = Rows[Index];
    ReadTexts(Entry);
    const int Row = ShownRow[Index];
    if (Entry.Visible && Row >= 0) {
        emit dataChanged(index(Row, 0), index(Row, ColumnSlots - 1));
    } else if (Row >= 0) {
        beginRemoveRows({}, Row, Row);
        Shown.erase(Shown.begin() + Row);
        ShownRow[Index] = -1;
        Renumber(Row);
        endRemoveRows();
    } else if (Entry.Visible) {
        const int At = int(std::lower_bound(Shown.begin(), Shown.end(), Index) - Shown.begin());
        beginInsertRows({}, At, At);
        Shown.insert(Shown.begin() + At, Index);
        Renumber(At);
        endInsertRows();
    }
}

void TServerListModel::Clear() {
    TakeAll();
}

QList<TServerRef> TServerListModel::TakeAll() {
    beginResetModel();
    QList<TServerRef> Taken;
    Taken.reserve(qsizetype(Rows.size()));
    for (TRow& Row : Rows)
        Taken.append(std::move(Row.Server));
    std::vector<TRow>().swap(Rows);
    std::vector<int>().swap(Shown);
    std::vector<int>().swap(ShownRow);
    RowIndex = {};
    endResetModel();
    return Taken;
}

TServerRef TServerListModel::Server(int Row) const {
    return Row >= 0 && Row < int(Shown.size()) ? Rows[Shown[Row]].Server : nullptr;
}

TCustomServer* TServerListModel::ServerAt(int Row) const {
    return Row >= 0 && Row < int(Shown.size()) ? Rows[Shown[Row]].Server.get() : nullptr;
}

QString TServerListModel::Text(int Row, int Column) const {
    if (Row < 0 || Row >= int(Shown.size()) || Column < 0 || Column >= ColumnSlots) return {};
    return Rows[Shown[Row]].Texts[Column];
}

bool TServerListModel::Favorite(int Row) const {
    const TCustomServer* Record = ServerAt(Row);
    return Record && IsFavorite && IsFavorite(*Record);
}

int TServerListModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : int(Shown.size());
}

int TServerListModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnSlots;
}

QVariant TServerListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= int(Shown.size())) return {};
    const TRow& Row = Rows[Shown[Index.row()]];
    if (Role == Qt::DisplayRole) return Row.Texts[Index.column()];
    if (Role == Qt::UserRole) return QVariant::fromValue(Row.Server.get());
    if (Row.Buddies.isEmpty()) return {};
    if (Role == Qt::ToolTipRole) return "Buddies: " + Row.Buddies.join(", ");
    if (Role == Qt::DecorationRole && Index.column() == 0) {
        static const QIcon Marker = BuddyMarker();
        return Marker;
    }
    return {};
}

QVariant TServerListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Section < 0 || Section >= ColumnSlots) return {};
    if (Role == Qt::DisplayRole) return Columns[Section].Caption;
    // The first click on a column sorts it ascending, whatever the style's habit.
    if (Role == Qt::InitialSortOrderRole) return int(Qt::AscendingOrder);
    return {};
}

Qt::ItemFlags TServerListModel::flags(const QModelIndex& Index) const {
    if (!Index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int TServerListModel::Compare(TColumnKind Kind, const QString& A, const QString& B) {
    switch (Kind) {
    case ckNumber:
        return Sign(NumberOf(A), NumberOf(B));
    case ckFraction:
        return Sign(FractionOf(A), FractionOf(B));
    default:
        return CompareLowered(A, B);
    }
}

void TServerListModel::sort(int Column, Qt::SortOrder Order) {
    if (Column < 0 || Column >= ColumnSlots || Rows.size() < 2) return;
    const TColumnKind Kind = ColumnKind(Column);
    const bool Descending = Order == Qt::DescendingOrder;
    std::vector<int> Sequence(Rows.size());
    std::iota(Sequence.begin(), Sequence.end(), 0);
    if (Kind == ckText) {
        std::stable_sort(Sequence.begin(), Sequence.end(), [&](int A, int B) {
            const int C = CompareLowered(Rows[A].Texts[Column], Rows[B].Texts[Column]);
            return Descending ? C > 0 : C < 0;
        });
    } else {
        // Numbers are read once per row, not once per comparison.
        std::vector<std::pair<qint64, qint64>> Keys(Rows.size());
        for (size_t I = 0; I < Rows.size(); ++I)
            Keys[I] = Kind == ckNumber
                          ? std::pair<qint64, qint64>{NumberOf(Rows[I].Texts[Column]), 0}
                          : FractionOf(Rows[I].Texts[Column]);
        std::stable_sort(Sequence.begin(), Sequence.end(), [&](int A, int B) {
            return Descending ? Keys[B] < Keys[A] : Keys[A] < Keys[B];
        });
    }
    Relayout(
        [&] {
            std::vector<TRow> Sorted;
            Sorted.reserve(Rows.size());
            for (int From : Sequence)
                Sorted.push_back(std::move(Rows[From]));
            Rows.swap(Sorted);
            IndexRows();
        },
        QAbstractItemModel::VerticalSortHint);
}

void TServerListModel::SetFilter(const TServerFilter& Filter) {
    if (Filter.State() == Filt.State()) return;
    Filt = Filter;
    Relayout(
        [this] {
            for (TRow& Row : Rows)
                Row.Visible = Filt.Passes(*Row.Server, Row.Keys);
        },
        QAbstractItemModel::NoLayoutChangeHint);
}

void TServerListModel::Relayout(const std::function<void()>& Change,
                                QAbstractItemModel::LayoutChangeHint Hint) {
    emit layoutAboutToBeChanged({}, Hint);
    const QModelIndexList From = persistentIndexList();
    std::vector<const TCustomServer*> Records;
    Records.reserve(size_t(From.size()));
    for (const QModelIndex& Index : From)
        Records.push_back(ServerAt(Index.row()));
    Change();
    Reshow();
    QModelIndexList To;
    To.reserve(From.size());
    for (qsizetype I = 0; I < From.size(); ++I) {
        const int Row = RowOf(Records[size_t(I)]);
        To.append(Row < 0 ? QModelIndex() : index(Row, From[I].column()));
    }
    changePersistentIndexList(From, To);
    emit layoutChanged({}, Hint);
}

void TServerListModel::IndexRows() {
    RowIndex.clear();
    RowIndex.reserve(qsizetype(Rows.size()));
    for (size_t I = 0; I < Rows.size(); ++I)
        RowIndex.insert(Rows[I].Server.get(), int(I));
}

void TServerListModel::Reshow() {
    Shown.clear();
    ShownRow.assign(Rows.size(), -1);
    for (size_t I = 0; I < Rows.size(); ++I)
        if (Rows[I].Visible) {
            ShownRow[I] = int(Shown.size());
            Shown.push_back(int(I));
        }
}

// ---- delegate -------------------------------------------------------------------------------

namespace {

void Light(QPainter& P, QColor Base) {
    const QColor Dark = Base.darker(190);
    QRadialGradient Body(QPointF(7.0, 6.0), 8.5, QPointF(6.0, 5.0));
    Body.setColorAt(0.0, Base.lighter(135));
    Body.setColorAt(0.55, Base);
    Body.setColorAt(1.0, Dark);
    P.setPen(QPen(Dark.darker(130), 0.9));
    P.setBrush(Body);
    P.drawEllipse(QRectF(1.5, 1.5, 13.0, 13.0));
    QLinearGradient Gloss(0.0, 2.2, 0.0, 8.0);
    Gloss.setColorAt(0.0, QColor(255, 255, 255, 230));
    Gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    P.setPen(Qt::NoPen);
    P.setBrush(Gloss);
    P.drawEllipse(QRectF(4.2, 2.4, 7.6, 5.2));
}

// A head and shoulders, CenterX across, standing on Bottom; Scale 1 is 10 px tall.
void Figure(QPainter& P, qreal CenterX, qreal Bottom, qreal Scale, const QBrush& Fill,
            const QColor& Outline) {
    P.save();
    P.translate(CenterX, Bottom);
    P.scale(Scale, Scale);
    QPainterPath Shape;
    Shape.addEllipse(QPointF(0.0, -7.6), 2.5, 2.5);
    QPainterPath Body;
    Body.moveTo(-4.6, 0.0);
    Body.lineTo(-4.6, -1.8);
    Body.cubicTo(-4.6, -4.2, -2.6, -4.9, 0.0, -4.9);
    Body.cubicTo(2.6, -4.9, 4.6, -4.2, 4.6, -1.8);
    Body.lineTo(4.6, 0.0);
    Body.closeSubpath();
    Shape.addPath(Body);
    QPen Pen(Outline, 1.0);
    Pen.setCosmetic(true);
    P.setPen(Pen);
    P.setBrush(Fill);
    P.drawPath(Shape);
    P.restore();
}

QBrush PersonFill(const QColor& Color) {
    QLinearGradient Fill(0.0, 2.0, 0.0, 15.0);
    Fill.setColorAt(0.0, Color.lighter(150));
    Fill.setColorAt(1.0, Color);
    return Fill;
}

QPalette::ColorGroup GroupOf(QStyle::State State) {
    if (!(State & QStyle::State_Enabled)) return QPalette::Disabled;
    return State & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
}

QPixmap DrawStatusImage(int Index, qreal Ratio) {
    QPixmap Image(qRound(16 * Ratio), qRound(16 * Ratio));
    Image.setDevicePixelRatio(Ratio);
    Image.fill(Qt::transparent);
    QPainter P(&Image);
    P.setRenderHint(QPainter::Antialiasing);
    const QColor Blue(0x2F, 0x6D, 0xC2), BlueEdge(0x1B, 0x43, 0x7D), Grey(0x8A, 0x8A, 0x8A);
    switch (Index) {
    case 1:
        Light(P, QColor(0x2E, 0xB8, 0x3F));
        break;
    case 2:
        Light(P, QColor(0xF2, 0xC0, 0x1E));
        break;
    case 3:
        Light(P, QColor(0xE0, 0x35, 0x2B));
        break;
    case 4:
        Figure(P, 8.0, 14.5, 1.0, QColor(255, 255, 255, 160), Grey);
        break;
    case 5:
        Figure(P, 10.5, 14.5, 0.85, QColor(255, 255, 255, 160), Grey);
        Figure(P, 6.5, 14.5, 1.0, PersonFill(Blue), BlueEdge);
        break;
    case 6:
        Figure(P, 4.2, 12.5, 0.8, PersonFill(Blue), BlueEdge);
        Figure(P, 11.8, 12.5, 0.8, PersonFill(Blue), BlueEdge);
        Figure(P, 8.0, 13.0, 0.95, PersonFill(Blue), BlueEdge);
        P.setPen(QPen(QColor(0x8E, 0x14, 0x10), 0.8));
        P.setBrush(QColor(0xD9, 0x30, 0x25));
        P.drawRoundedRect(QRectF(1.0, 12.6, 14.0, 2.8), 1.0, 1.0);
        break;
    default:
        break;
    }
    return Image;
}

} // namespace

QPixmap TServerViewDelegate::StatusImage(int Index, qreal DevicePixelRatio) {
    static QHash<QPair<int, int>, QPixmap> Cache;
    const QPair<int, int> Key{Index, qRound(DevicePixelRatio * 100)};
    auto Found = Cache.constFind(Key);
    if (Found != Cache.constEnd()) return *Found;
    return *Cache.insert(Key, DrawStatusImage(Index, DevicePixelRatio));
}

int TServerViewDelegate::PingImage(const QString& PingText) {
    bool Ok = false;
    const qint64 Ping = PingText.toLongLong(&Ok, 10);
    const qint64 Value = Ok ? Ping : 9999;
    return Value <= 250 ? 1 : Value <= 500 ? 2 : 3;
}

int TServerViewDelegate::PlayersImage(int NumPlayers, int MaxPlayers) {
    if (NumPlayers == 0) return 4;
    return NumPlayers == MaxPlayers ? 6 : 5;
}

QColor TServerViewDelegate::NameColor(const QStyleOptionViewItem& Option, bool Favorite) {
    const bool Selected = Option.state & QStyle::State_Selected;
    const bool Marked = Option.state & (QStyle::State_MouseOver | QStyle::State_HasFocus);
    if (Favorite && !Selected && !Marked) return FavoriteColor;
    const QPalette::ColorGroup Group = GroupOf(Option.state);
    return Option.palette.color(Group, Selected ? QPalette::HighlightedText : QPalette::Text);
}

void TServerViewDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                                const QModelIndex& Index) const {
    const auto* Model = qobject_cast<const TServerListModel*>(Index.model());
    const TCustomServer* Record = Model ? Model->ServerAt(Index.row()) : nullptr;
    if (!Record) {
        QStyledItemDelegate::paint(Painter, Option, Index);
        return;
    }
    QStyleOptionViewItem Opt = Option;
    initStyleOption(&Opt, Index);
    QStyle* Style = Opt.widget ? Opt.widget->style() : QApplication::style();
    const int Column = Index.column();
    if (Column == 0) {
        const QColor Color = NameColor(Opt, Model->Favorite(Index.row()));
        Opt.palette.setColor(QPalette::Text, Color);
        Opt.palette.setColor(QPalette::HighlightedText, Color);
        Style->drawControl(QStyle::CE_ItemViewItem, &Opt, Painter, Opt.widget);
        return;
    }

    const QString Text = Opt.text;
    Opt.text.clear();
    Opt.features &= ~QStyleOptionViewItem::HasDisplay;
    // Background, selection and focus as the style draws them; picture and text on top.
    Style->drawControl(QStyle::CE_ItemViewItem, &Opt, Painter, Opt.widget);
    int Image = 0;
    if (Column == Model->PingColumn)
        Image = PingImage(Text);
    else if (Column == Model->PlayersColumn)
        Image = PlayersImage(Record->NumPlayers, Record->MaxPlayers);
    if (Image) {
        const qreal Ratio = Painter->device() ? Painter->device()->devicePixelRatioF() : 1.0;
        Painter->drawPixmap(Opt.rect.topLeft(), StatusImage(Image, Ratio));
    }
    PaintText(Painter, Opt, Text, Image ? ImageWidth : 2);
}

QSize TServerViewDelegate::sizeHint(const QStyleOptionViewItem& Option,
                                    const QModelIndex& Index) const {
    // Rows are never shorter than the status pictures, whatever the font.
    const QSize Size = QStyledItemDelegate::sizeHint(Option, Index);
    return {Size.width(), qMax(Size.height(), 18)};
}

void TServerViewDelegate::PaintText(QPainter* Painter, const QStyleOptionViewItem& Option,
                                    const QString& Text, int Indent) const {
    if (Text.isEmpty()) return;
    const QPalette::ColorGroup Group = GroupOf(Option.state);
    const bool Selected = Option.state & QStyle::State_Selected;
    Painter->save();
    Painter->setClipRect(Option.rect);
    Painter->setFont(Option.font);
    Painter->setPen(
        Option.palette.color(Group, Selected ? QPalette::HighlightedText : QPalette::Text));
    const QFontMetrics Metrics(Option.font);
    const int Baseline =
        Option.rect.top() + (Option.rect.height() - Metrics.height()) / 2 + Metrics.ascent();
    Painter->drawText(QPoint(Option.rect.left() + Indent, Baseline), Text);
    Painter->restore();
}

// ---- view -----------------------------------------------------------------------------------

TServerView::TServerView(QWidget* Parent) : QTreeView(Parent), Model(new TServerListModel(this)) {
    setObjectName("serverview");
    setModel(Model);
    setItemDelegate(new TServerViewDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(false);

    // The classic list look holds inside skinned windows: these roles are set here, so a
    // skin palette given to the window does not replace them.
    QPalette Colors = palette();
    for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive}) {
        Colors.setColor(Group, QPalette::Base, Qt::white);
        Colors.setColor(Group, QPalette::AlternateBase, Qt::white);
        Colors.setColor(Group, QPalette::Text, Qt::black);
        Colors.setColor(Group, QPalette::Highlight, QColor(0x31, 0x6A, 0xC5));
        Colors.setColor(Group, QPalette::HighlightedText, Qt::white);
    }
    Colors.setColor(QPalette::Disabled, QPalette::Base, Qt::white);
    Colors.setColor(QPalette::Disabled, QPalette::Text, Qt::gray);
    setPalette(Colors);

    QHeaderView* Header = header();
    Header->setStretchLastSection(false);
    Header->setSectionsMovable(false);
    Header->setSortIndicator(1, Qt::AscendingOrder);
    setSortingEnabled(true);
    static constexpr int Widths[TServerListModel::ColumnSlots] = {NameMinWidth, 60,  75,
                                                                  100,          100, 0};
    for (int Column = 0; Column < TServerListModel::ColumnSlots; ++Column)
        Header->resizeSection(Column, Widths[Column]);
    connect(Header, &QHeaderView::sectionResized, this, [this](int Section, int, int) {
        if (Section != FillColumn) FitLastColumn();
    });
}

TServerView::~TServerView() = default;

void TServerView::FitLastColumn() {
    if (!AutoSizeLastColumn || Fitting) return;
    const QHeaderView* Header = header();
    int Others = 0;
    for (int Column = 0; Column < Header->count(); ++Column)
        if (Column != FillColumn && !Header->isSectionHidden(Column))
            Others += Header->sectionSize(Column);
    Fitting = true;
    header()->resizeSection(FillColumn, qMax(100, viewport()->width() - Others));
    Fitting = false;
}

void TServerView::resizeEvent(QResizeEvent* Event) {
    QTreeView::resizeEvent(Event);
    FitLastColumn();
}

void TServerView::SortNow() {
    Model->sort(header()->sortIndicatorSection(), header()->sortIndicatorOrder());
}

void TServerView::SaveLayout(TRegistry& Registry, const QString& Key) const {
    const QHeaderView* Header = header();
    for (int Column = 0; Column < TServerListModel::ColumnSlots; ++Column)
        Registry.WriteString(Key, QStringLiteral("serverview_Width%1").arg(Column),
                             QString::number(Header->sectionSize(Column)));
    Registry.WriteString(Key, "serverview_SortColumn",
                         QString::number(Header->sortIndicatorSection()));
    Registry.WriteString(Key, "serverview_SortOrder",
                         QString::number(int(Header->sortIndicatorOrder())));
}

void TServerView::RestoreLayout(const TRegistry& Registry, const QString& Key) {
    QHeaderView* Header = header();
    for (int Column = 0; Column < TServerListModel::ColumnSlots; ++Column) {
        bool Ok = false;
        int Width =
            Registry.ReadString(Key, QStringLiteral("serverview_Width%1").arg(Column)).toInt(&Ok);
        if (!Ok || Width < 0) continue;
        if (Column == 0) Width = qMax(Width, NameMinWidth);
        Header->resizeSection(Column, Width);
    }
    bool Ok = false;
    int Column = Registry.ReadString(Key, "serverview_SortColumn").toInt(&Ok);
    Qt::SortOrder Order =
        Registry.ReadString(Key, "serverview_SortOrder").toInt() == int(Qt::DescendingOrder)
            ? Qt::DescendingOrder
            : Qt::AscendingOrder;
    // A list sorted by name (or not at all) hides the nearest servers: ping order instead.
    if (!Ok || Column <= 0 || Column >= TServerListModel::ColumnSlots) {
        Column = 1;
        Order = Qt::AscendingOrder;
    }
    Header->setSortIndicator(Column, Order);
    FitLastColumn();
}
