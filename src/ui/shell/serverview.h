// The main window's server list: a table model over the server records (texts decoded once
// and cached), the delegate that draws the status pictures, and the tree view that shows them.
#pragma once

#include "ui/widgets/sortabletablemodel.h"

#include "masterlist/customserverlist.h"
#include "servers/serverfilter.h"

#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <array>
#include <functional>
#include <vector>

class TRegistry;

class TServerListModel : public TSortableTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnSlots = 6;

    explicit TServerListModel(QObject* Parent = nullptr);
    ~TServerListModel() override;

    // Captions beyond the class's list stay empty.
    void SetColumns(const TColumnCaptions& Captions);
    int PingColumn = -1, PlayersColumn = -1;

    // Rows are the records the filter passes, in list order; the others stay listed, unseen,
    // until the filter or the record changes. Row numbers below are shown rows.
    void SetFilter(const TServerFilter& Filter);
    const TServerFilter& Filter() const { return Filt; }
    int TotalCount() const { return int(Rows.size()); }

    // A record already listed keeps its place (and is re-read); returns its row, -1 if hidden.
    int Append(const TServerRef& Server);
    int RowOf(const TCustomServer* Server) const;
    void Refresh(int Row);
    void Clear();
    QList<TServerRef> TakeAll();
    TServerRef Server(int Row) const;
    TCustomServer* ServerAt(int Row) const;
    QString Text(int Row, int Column) const;
    TColumnKind ColumnKind(int Column) const;

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;
    // Stable; the rows keep this order until the next sort.
    void sort(int Column, Qt::SortOrder Order = Qt::AscendingOrder) override;

    std::function<bool(const TCustomServer&)> IsFavorite;
    bool Favorite(int Row) const;
    // The buddies on a server: a marker by its name and a tool tip naming them.
    std::function<QStringList(const TCustomServer&)> BuddiesOn;
    void RereadAll(); // the buddy list changed
    // A fresher record of the row's server takes its place; the row stays where it is.
    void Replace(int Row, const TServerRef& Server);

    // -1/0/1 for ascending order.
    static int Compare(TColumnKind Kind, const QString& A, const QString& B);

private:
    struct TRow {
        TServerRef Server;
        std::array<QString, ColumnSlots> Texts;
        TServerFilterKeys Keys;
        bool Visible = true;
        QStringList Buddies;
    };
    void ReadTexts(TRow& Row) const;
    void Update(int Index);
    void IndexRows();
    void Reshow();
    void Renumber(int From);
    // Changes rows between the layout signals; selection and current row follow their records.
    void Relayout(const std::function<void()>& Change, QAbstractItemModel::LayoutChangeHint Hint);

    std::vector<TRow> Rows; // every record, in list order
    QHash<const TCustomServer*, int> RowIndex;
    std::vector<int> Shown;    // shown row -> index in Rows
    std::vector<int> ShownRow; // index in Rows -> shown row or -1
    TServerFilter Filt;
    std::array<TColumnCaption, ColumnSlots> Columns{};
};

class TServerViewDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override;
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;

    // 1..3 green/yellow/red light, 4 no players, 5 some, 6 full; 16x16 logical pixels.
    static QPixmap StatusImage(int Index, qreal DevicePixelRatio = 1.0);
    static int PingImage(const QString& PingText);
    static int PlayersImage(int NumPlayers, int MaxPlayers);
    // The name's colour: favourites stand out only where the row is not highlighted.
    static QColor NameColor(const QStyleOptionViewItem& Option, bool Favorite);

    static constexpr int ImageWidth = 20;
    static inline const QColor FavoriteColor{0x00, 0x80, 0x00};

private:
    void PaintText(QPainter* Painter, const QStyleOptionViewItem& Option, const QString& Text,
                   int Indent) const;
};

class TServerView : public QTreeView {
    Q_OBJECT
public:
    explicit TServerView(QWidget* Parent = nullptr);
    ~TServerView() override;

    TServerListModel* ListModel() const { return Model; }

    // The edition's fifth column takes whatever width the others leave.
    bool AutoSizeLastColumn = true;
    static constexpr int NameMinWidth = 250;

    void SaveLayout(TRegistry& Registry, const QString& Key) const;
    void RestoreLayout(const TRegistry& Registry, const QString& Key);
    // Rows never re-sort as records arrive; the window sorts once a refresh completes.
    void SortNow();
    void FitLastColumn();

    static constexpr int FillColumn = 4;

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    TServerListModel* Model;
    bool Fitting = false;
};
