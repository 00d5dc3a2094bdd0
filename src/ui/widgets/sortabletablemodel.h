// A table model that keeps its rows in a vector and reorders them for sorting, with the
// selection and current row following their rows.
#pragma once

#include <QAbstractTableModel>
#include <vector>

class TSortableTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    // Puts Rows in the order Sequence gives (old row numbers, new order) and moves the
    // persistent indexes along. Call between layoutAboutToBeChanged and layoutChanged.
    template <class TRow>
    void ApplyOrder(std::vector<TRow>& Rows, const std::vector<int>& Sequence) {
        std::vector<TRow> Sorted;
        Sorted.reserve(Rows.size());
        std::vector<int> NewRow(Rows.size());
        for (size_t I = 0; I < Sequence.size(); ++I) {
            Sorted.push_back(std::move(Rows[Sequence[I]]));
            NewRow[Sequence[I]] = int(I);
        }
        Rows.swap(Sorted);
        const QModelIndexList From = persistentIndexList();
        QModelIndexList To;
        To.reserve(From.size());
        for (const QModelIndex& Index : From)
            To.append(index(NewRow[Index.row()], Index.column()));
        changePersistentIndexList(From, To);
    }
};
