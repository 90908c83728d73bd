#pragma once

#include "models/Rundown.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

class FlowPageState;

// One table row: the item and what the rules say about it, so a row repaints exactly when
// something it shows changed.
struct FlowRow
{
    RundownItem item;
    QString time; // the start time the table shows
    bool canManage = false;
    bool canEdit = false;
    bool canEditScript = false;
    bool canConfigureLottery = false;
    bool canOperateLottery = false;
    bool showsMoveButtons = false;
    bool upDisabled = false;
    bool downDisabled = false;
    bool busy = false; // an action of the page is in flight: the whole row is inert

    bool sameAs(const FlowRow &other) const;
};

// The rundown rows, keyed by item id. Refreshing reconciles: unchanged rows emit nothing, a
// changed row emits dataChanged, and inserted, removed or reordered items use the matching
// row signals. The model is never reset, so open editors and the scroll position survive.
class FlowTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        live,
        order,
        time,
        title,
        duration,
        performers,
        owner,
        assets,
        props,
        notes,
        readiness,
        columnCount_
    };
    static constexpr int columns = columnCount_;
    // Fixed widths; the title column takes what is left of at least minimumTableWidth.
    static int columnWidth(int column);
    static constexpr int minimumTableWidth = 1320;
    static QString headerText(int column);
    static Qt::Alignment headerAlignment(int column);
    // Columns edited in place by the inline editor.
    static bool isInlineColumn(int column);

    explicit FlowTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const FlowRow &row(int r) const { return m_rows.at(r); }
    const QList<FlowRow> &rows() const { return m_rows; }
    int rowOf(const QString &itemID) const;
    // The text an inline editor of that cell shows and starts from.
    static QString editValue(const FlowRow &row, int column);

    // Builds the rows from the page state and reconciles.
    void refresh(const FlowPageState &state);
    void setRows(QList<FlowRow> next);

private:
    QList<FlowRow> m_rows;
};
