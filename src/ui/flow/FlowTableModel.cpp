#include "FlowTableModel.h"

#include "FlowPageState.h"
#include "FlowRules.h"
#include "json/SameRecord.h"

#include <QSet>

bool FlowRow::sameAs(const FlowRow &o) const
{
    return time == o.time && canManage == o.canManage && canEdit == o.canEdit &&
           canEditScript == o.canEditScript && canConfigureLottery == o.canConfigureLottery &&
           canOperateLottery == o.canOperateLottery && showsMoveButtons == o.showsMoveButtons &&
           upDisabled == o.upDisabled && downDisabled == o.downDisabled && FlowRules::sameItem(item, o.item);
}

int FlowTableModel::columnWidth(int column)
{
    static constexpr int widths[columns] = {130, 64, 72, 0, 70, 150, 110, 70, 100, 130, 90};
    if (column == title) {
        int fixed = 0;
        for (int w : widths) {
            fixed += w;
        }
        return minimumTableWidth - fixed;
    }
    return column >= 0 && column < columns ? widths[column] : 0;
}

QString FlowTableModel::headerText(int column)
{
    static const char *texts[columns] = {"导演操作", "顺序", "时间", "节目名称", "时长", "表演者",
                                         "负责人",   "素材", "道具", "备注",     "准备"};
    return column >= 0 && column < columns ? QString::fromUtf8(texts[column]) : QString();
}

Qt::Alignment FlowTableModel::headerAlignment(int column)
{
    switch (column) {
    case live:
    case order:
    case duration:
    case assets:
    case readiness:
        return Qt::AlignCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

bool FlowTableModel::isInlineColumn(int column)
{
    return column == time || column == title || column == duration || column == props || column == notes;
}

FlowTableModel::FlowTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

int FlowTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FlowTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QString FlowTableModel::editValue(const FlowRow &row, int column)
{
    switch (column) {
    case time:
        return row.time;
    case title:
        return row.item.title;
    case duration:
        return FlowRules::durationText(row.item.duration);
    case props:
        return row.item.props;
    case notes:
        return row.item.notes;
    default:
        return {};
    }
}

QVariant FlowTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return {};
    }
    const FlowRow &r = m_rows.at(index.row());
    if (role == Qt::EditRole) {
        return editValue(r, index.column());
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case live:
        return r.item.liveStatus;
    case order:
        return QString::number(r.item.order);
    case performers:
        return r.item.performers;
    case owner:
        return r.item.owner;
    case assets:
        return QStringList{r.item.audioName, r.item.videoName}.join(QLatin1Char(' ')).trimmed();
    case readiness:
        return r.item.status;
    default:
        return editValue(r, index.column());
    }
}

QVariant FlowTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return headerText(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(headerAlignment(section));
    }
    return {};
}

Qt::ItemFlags FlowTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    const FlowRow &r = m_rows.at(index.row());
    Qt::ItemFlags f = Qt::ItemIsEnabled;
    if (isInlineColumn(index.column()) && r.canEdit && !r.busy) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

void FlowTableModel::setInertShown(bool shown)
{
    if (m_inertShown == shown) {
        return;
    }
    m_inertShown = shown;
    if (!m_rows.isEmpty()) {
        Q_EMIT dataChanged(index(0, 0), index(static_cast<int>(m_rows.size()) - 1, columns - 1));
    }
}

int FlowTableModel::rowOf(const QString &itemID) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).item.id == itemID) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Reports changed rows to the views in runs of neighbours, one signal per run.
class FlowTableModel::ChangedRuns
{
public:
    explicit ChangedRuns(FlowTableModel &model)
        : m_model(model)
    {}
    ~ChangedRuns() { flush(); }

    void add(int row)
    {
        if (m_start >= 0 && row == m_end + 1) {
            m_end = row;
            return;
        }
        flush();
        m_start = m_end = row;
    }
    void flush()
    {
        if (m_start >= 0) {
            Q_EMIT m_model.dataChanged(m_model.index(m_start, 0),
                                       m_model.index(m_end, FlowTableModel::columns - 1));
            m_start = m_end = -1;
        }
    }

private:
    FlowTableModel &m_model;
    int m_start = -1;
    int m_end = -1;
};

void FlowTableModel::takeRow(int r, FlowRow wanted, ChangedRuns &changed)
{
    const bool same = m_rows.at(r).sameAs(wanted);
    m_rows[r] = std::move(wanted);
    if (!same) {
        changed.add(r);
    }
}

FlowTableModel::RowContext FlowTableModel::contextOf(const FlowPageState &state)
{
    RowContext context;
    const auto &detail = state.detail();
    if (detail) {
        context.role = detail->membership.role;
        context.name = detail->membership.name;
        // The arrows compare orders in the whole rundown, not positions in the filtered table.
        if (!detail->items.isEmpty()) {
            context.firstOrder = detail->items.first().order;
            context.lastOrder = detail->items.last().order;
        }
    }
    context.manage = state.canManage();
    context.frozen = state.flowFrozen();
    context.busy = state.busyItemID().has_value();
    return context;
}

FlowRow FlowTableModel::makeRow(const FlowPageState &state, const RowContext &context,
                                const RundownItem &item, const QString &time)
{
    const auto &detail = state.detail();
    FlowRow r;
    r.item = item;
    r.time = time;
    r.canManage = context.manage;
    r.canEdit = FlowRules::canEdit(detail, item);
    r.canEditScript = FlowRules::canEditScript(detail, item);
    r.canConfigureLottery = FlowRules::canConfigureLottery(detail, item);
    r.canOperateLottery = FlowRules::canOperateLottery(detail, item);
    r.showsMoveButtons = context.manage && !context.frozen;
    r.upDisabled = context.firstOrder && item.order == *context.firstOrder;
    r.downDisabled = context.lastOrder && item.order == *context.lastOrder;
    r.busy = context.busy;
    return r;
}

void FlowTableModel::refresh(const FlowPageState &state)
{
    const RowContext context = contextOf(state);
    if (!refreshChangedItems(state, context) && !refreshInPlace(state, context)) {
        const QList<RundownItem> visible = state.visibleItems();
        const QHash<QString, QString> times = state.timeMap();
        QList<FlowRow> next;
        next.reserve(visible.size());
        for (const RundownItem &item : visible) {
            next.append(makeRow(state, context, item, times.value(item.id)));
        }
        setRows(std::move(next));
        recountClocks(state);
        // A repeated id anywhere, shown or hidden, gives its rows the last such item's time, which
        // only this rebuild reads.
        if (const auto &detail = state.detail()) {
            m_uniqueIDs = times.size() == detail->items.size();
        }
    }
    m_context = context;
    m_detailVersion = state.detailVersion();
    if (!context.busy) {
        // Once the rows are free again, so open editors read them free.
        setInertShown(false);
    }
}

void FlowTableModel::updateRow(int r, const FlowPageState &state, const RowContext &context, bool sameContext,
                               const RundownItem &item, const QString &time, bool itemMayDiffer,
                               ChangedRuns &changed)
{
    FlowRow &row = m_rows[r];
    if (sameContext && (!itemMayDiffer || sameRecord(row.item, item))) {
        // An equal item decoded afresh: keep the page's copy, so the row's goes.
        if (itemMayDiffer && row.item.id.constData() != item.id.constData()) {
            row.item = item;
        }
        if (!sameRecord(row.time, time)) {
            row.time = time;
            changed.add(r);
        }
        return;
    }
    takeRow(r, makeRow(state, context, item, time), changed);
}

bool FlowTableModel::refreshChangedItems(const FlowPageState &state, const RowContext &context)
{
    const FlowDetailChange &change = state.lastDetailChange();
    const auto &detail = state.detail();
    // The rows must show the whole rundown as it was just before this change, one row per item.
    if (!detail || !change.itemsOnly || change.base != m_detailVersion ||
        change.version != state.detailVersion() || change.removed != change.inserted ||
        m_context != context || !m_uniqueIDs || !state.query().isEmpty() ||
        state.readinessFilter() != FlowRules::allStatuses || m_rows.size() != detail->items.size()) {
        return false;
    }
    const QList<RundownItem> &items = detail->items;
    if (m_clocks.size() != items.size()) {
        return false;
    }
    const qsizetype end = change.first + change.inserted;
    for (qsizetype i = change.first; i < end; ++i) {
        if (!sameRecord(m_rows.at(i).item.id, items.at(i).id)) {
            return false;
        }
    }
    ChangedRuns changed(*this);
    qint64 before = change.first > 0 ? m_clocks.at(change.first - 1) : FlowRules::StartClock(detail).clock();
    FlowRules::StartClock clock(before);
    for (qsizetype i = change.first; i < items.size(); ++i) {
        // Past the changed items, the rest start as before once the clock is the same again.
        if (i >= end && clock.clock() == before) {
            break;
        }
        const QString &time = clock.next(items.at(i));
        updateRow(static_cast<int>(i), state, context, true, items.at(i), time, i < end, changed);
        before = m_clocks.at(i);
        m_clocks[i] = clock.clock();
    }
    return true;
}

bool FlowTableModel::refreshInPlace(const FlowPageState &state, const RowContext &context)
{
    const auto &detail = state.detail();
    // With a repeated id the start time is the last such item's (timeMap), not the row's own.
    if (!detail || !m_uniqueIDs) {
        return false;
    }
    const QString &query = state.query();
    const QString &filter = state.readinessFilter();
    const QList<RundownItem> &items = detail->items;
    // Where each row's item stands in the rundown.
    QList<qsizetype> shown;
    shown.reserve(m_rows.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!FlowRules::isVisible(items.at(i), query, filter)) {
            continue;
        }
        if (shown.size() >= m_rows.size() || !sameRecord(m_rows.at(shown.size()).item.id, items.at(i).id)) {
            return false;
        }
        shown.append(i);
    }
    if (shown.size() != m_rows.size()) {
        return false;
    }
    // The shown ids are the rows' own; a hidden item may have taken one of them.
    if (shown.size() != items.size() && !idsStayUnique(state)) {
        return false;
    }

    const bool sameContext = m_context == context;
    ChangedRuns changed(*this);
    FlowRules::StartClock clock(detail);
    m_clocks.clear();
    m_clocks.reserve(items.size());
    qsizetype r = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString &time = clock.next(items.at(i));
        m_clocks.append(clock.clock());
        if (r < shown.size() && shown.at(r) == i) {
            updateRow(static_cast<int>(r++), state, context, sameContext, items.at(i), time, true, changed);
        }
    }
    return true;
}

bool FlowTableModel::idsStayUnique(const FlowPageState &state) const
{
    const FlowDetailChange &change = state.lastDetailChange();
    const QList<RundownItem> &items = state.detail()->items;
    if (change.version == m_detailVersion) {
        return true;
    }
    // A few changed items are compared with every item; past that a set is cheaper.
    constexpr qsizetype fewItems = 16;
    if (change.itemsOnly && change.base == m_detailVersion && change.inserted <= fewItems) {
        const qsizetype end = change.first + change.inserted;
        for (qsizetype i = change.first; i < end; ++i) {
            const QString &id = items.at(i).id;
            for (qsizetype k = 0; k < items.size(); ++k) {
                if (k != i && items.at(k).id == id) {
                    return false;
                }
            }
        }
        return true;
    }
    QSet<QString> ids;
    ids.reserve(items.size());
    for (const RundownItem &item : items) {
        ids.insert(item.id);
    }
    return ids.size() == items.size();
}

void FlowTableModel::recountClocks(const FlowPageState &state)
{
    m_clocks.clear();
    if (const auto &detail = state.detail()) {
        m_clocks.reserve(detail->items.size());
        FlowRules::StartClock clock(detail);
        for (const RundownItem &item : detail->items) {
            clock.next(item);
            m_clocks.append(clock.clock());
        }
    }
}

void FlowTableModel::setRows(QList<FlowRow> next)
{
    // 1. Rows whose item is gone, in runs from the bottom.
    QSet<QString> nextIDs;
    nextIDs.reserve(next.size());
    for (const FlowRow &r : next) {
        nextIDs.insert(r.item.id);
    }
    m_uniqueIDs = nextIDs.size() == next.size();
    // Rows set from outside follow no detail: the next refresh rebuilds them all.
    m_clocks.clear();
    m_context.reset();
    for (int i = static_cast<int>(m_rows.size()) - 1; i >= 0; --i) {
        if (nextIDs.contains(m_rows.at(i).item.id)) {
            continue;
        }
        int first = i;
        while (first > 0 && !nextIDs.contains(m_rows.at(first - 1).item.id)) {
            --first;
        }
        beginRemoveRows({}, first, i);
        m_rows.remove(first, i - first + 1);
        endRemoveRows();
        i = first;
    }

    // 2. Walk the new order: keep, move up, or insert; changed rows are reported in runs.
    ChangedRuns changed(*this);
    for (int i = 0; i < next.size(); ++i) {
        FlowRow &wanted = next[i];
        if (i < m_rows.size() && m_rows.at(i).item.id == wanted.item.id) {
            takeRow(i, std::move(wanted), changed);
            continue;
        }
        changed.flush();
        int from = -1;
        for (int k = i + 1; k < m_rows.size(); ++k) {
            if (m_rows.at(k).item.id == wanted.item.id) {
                from = k;
                break;
            }
        }
        if (from >= 0) {
            beginMoveRows({}, from, from, {}, i);
            m_rows.move(from, i);
            endMoveRows();
            takeRow(i, std::move(wanted), changed);
        } else {
            beginInsertRows({}, i, i);
            m_rows.insert(i, std::move(wanted));
            endInsertRows();
        }
    }
    changed.flush();

    // 3. Leftovers (a repeated id in the old rows).
    if (m_rows.size() > next.size()) {
        beginRemoveRows({}, static_cast<int>(next.size()), static_cast<int>(m_rows.size()) - 1);
        m_rows.remove(next.size(), m_rows.size() - next.size());
        endRemoveRows();
    }
}
