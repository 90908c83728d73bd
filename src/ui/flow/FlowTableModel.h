#pragma once

#include "models/Rundown.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <optional>

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
    // An action of the page is in flight: the whole row refuses input. It is painted inert only
    // while the model shows it (setInertShown), so alone it repaints nothing.
    bool busy = false;

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

    // Builds the rows from the page state and reconciles. While the shown items keep their
    // places, only the rows whose item or derived values changed are rebuilt.
    void refresh(const FlowPageState &state);
    void setRows(QList<FlowRow> next);

    // Whether busy rows are painted inert. A prompt answer is painted once, without an inert
    // look shown in between.
    bool inertShown() const { return m_inertShown; }
    void setInertShown(bool shown);

private:
    class ChangedRuns;

    // Everything outside its item that a row's rules read.
    struct RowContext
    {
        QString role;
        QString name;
        bool manage = false;
        bool frozen = false;
        bool busy = false;
        std::optional<qint64> firstOrder;
        std::optional<qint64> lastOrder;

        bool operator==(const RowContext &) const = default;
    };
    static RowContext contextOf(const FlowPageState &state);
    static FlowRow makeRow(const FlowPageState &state, const RowContext &context, const RundownItem &item,
                           const QString &time);
    // The wanted row replaces row r even when equal, so the rows share the page's texts.
    void takeRow(int r, FlowRow wanted, ChangedRuns &changed);
    // Brings row r to `item` starting at `time`. An item that cannot differ from the row's is
    // not compared.
    void updateRow(int r, const FlowPageState &state, const RowContext &context, bool sameContext,
                   const RundownItem &item, const QString &time, bool itemMayDiffer, ChangedRuns &changed);
    // After a change of some items only: compares those, and the start times after them as far
    // as they moved. False, having changed nothing, when the rows do not show the whole rundown
    // as it was before.
    bool refreshChangedItems(const FlowPageState &state, const RowContext &context);
    // False, having changed nothing, unless the shown items are the rows' items in the same places.
    bool refreshInPlace(const FlowPageState &state, const RowContext &context);
    // Whether the rundown still has no repeated id, as it had none at the version the rows show.
    bool idsStayUnique(const FlowPageState &state) const;
    void recountClocks(const FlowPageState &state);

    QList<FlowRow> m_rows;
    std::optional<RowContext> m_context;
    // The page's detail version the rows were built from.
    quint64 m_detailVersion = 0;
    // The start clock after each item of the whole rundown of that version.
    QList<qint64> m_clocks;
    bool m_uniqueIDs = true;
    bool m_inertShown = false;
};
