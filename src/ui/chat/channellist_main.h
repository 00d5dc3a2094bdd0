// "Channel List": the chat server's channel directory, from which the user picks a channel.
#pragma once

#include "ui/widgets/sortabletablemodel.h"

#include <QByteArray>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QStatusBar;
class QToolButton;
class QTreeView;
struct TSkinColors;

// A server can list tens of thousands of channels one line at a time; rows wait here and are
// inserted in batches, so the view lays out a few times a second instead of once per row.
class TChannelListModel : public TSortableTableModel {
    Q_OBJECT
public:
    enum { NameColumn, CountColumn, TopicColumn, ColumnTotal };
    static constexpr int BatchDelay = 50; // ms

    explicit TChannelListModel(QObject* Parent = nullptr);

    void Append(const QByteArray& Name, int Count, const QByteArray& Topic);
    // Inserts the rows still waiting for their batch.
    void Flush();
    void Clear();
    // The name as the server sent it, for joining.
    QByteArray Name(int Row) const;

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;
    // Stable; rows appended later are not placed, they go to the end.
    void sort(int Column, Qt::SortOrder Order = Qt::AscendingOrder) override;

private:
    struct TRow {
        QByteArray Name;
        int Count = 0;
        QString NameText, TopicText;
    };
    std::vector<TRow> Rows, Pending;
    QTimer BatchTimer;
};

class Tchannellist_form : public QWidget {
    Q_OBJECT
public:
    explicit Tchannellist_form(QWidget* Parent = nullptr);
    ~Tchannellist_form() override;

    void FormCreate();
    void ApplyColors(const TSkinColors& Colors);

    void StartListing();
    void AddChannel(const QByteArray& Name, int Count, const QByteArray& Topic);
    void EndListing();
    void SetCounts(int Users, int Channels);
    // The text is rewritten at most twice a second while a listing streams in, unless Force.
    void UpdateStatus(bool Force);

    void refresh_buttClick();
    void join_buttClick();

    // Set by the chat module: ask the server for a new listing, join a channel.
    std::function<void()> OnRefresh;
    std::function<void(const QByteArray& Channel)> OnJoin;

    int ChannelCount = 0;
    int UserCount = 0;
    qint64 LastStatusTick = 0; // ms, monotonic

    QWidget* Panel1;
    QToolButton* refresh_butt;
    QToolButton* join_butt;
    QTreeView* channelview;
    QStatusBar* statusbar;
    QProgressBar* gauge;
    QLabel* statuslabel;
    TChannelListModel* ListModel;

private:
    void DrawGlyphs(const QColor& Color);
};
