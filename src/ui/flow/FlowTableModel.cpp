#include "FlowTableModel.h"

#include "FlowPageState.h"
#include "FlowRules.h"

#include <QSet>

bool FlowRow::sameAs(const FlowRow &o) const
{
    return time == o.time && canManage == o.canManage && canEdit == o.canEdit &&
           canEditScript == o.canEditScript && canConfigureLottery == o.canConfigureLottery &&
           canOperateLottery == o.canOperateLottery && showsMoveButtons == o.showsMoveButtons &&
           upDisabled == o.upDisabled && downDisabled == o.downDisabled && busy == o.busy &&
           FlowRules::sameItem(item, o.item);
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

int FlowTableModel::rowOf(const QString &itemID) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).item.id == itemID) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FlowTableModel::refresh(const FlowPageState &state)
{
    const auto &detail = state.detail();
    const QList<RundownItem> visible = state.visibleItems();
    const QHash<QString, QString> times = state.timeMap();
    const bool manage = state.canManage();
    const bool frozen = state.flowFrozen();
    const bool busy = state.busyItemID().has_value();
    // The arrows compare orders in the whole rundown, not positions in the filtered table.
    std::optional<qint64> firstOrder;
    std::optional<qint64> lastOrder;
    if (detail && !detail->items.isEmpty()) {
        firstOrder = detail->items.first().order;
        lastOrder = detail->items.last().order;
    }

    QList<FlowRow> next;
    next.reserve(visible.size());
    for (const RundownItem &item : visible) {
        FlowRow r;
        r.item = item;
        r.time = times.value(item.id);
        r.canManage = manage;
        r.canEdit = FlowRules::canEdit(detail, item);
        r.canEditScript = FlowRules::canEditScript(detail, item);
        r.canConfigureLottery = FlowRules::canConfigureLottery(detail, item);
        r.canOperateLottery = FlowRules::canOperateLottery(detail, item);
        r.showsMoveButtons = manage && !frozen;
        r.upDisabled = firstOrder && item.order == *firstOrder;
        r.downDisabled = lastOrder && item.order == *lastOrder;
        r.busy = busy;
        next.append(std::move(r));
    }
    setRows(std::move(next));
}

void FlowTableModel::setRows(QList<FlowRow> next)
{
    // 1. Rows whose item is gone, in runs from the bottom.
    QSet<QString> nextIDs;
    nextIDs.reserve(next.size());
    for (const FlowRow &r : next) {
        nextIDs.insert(r.item.id);
    }
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
    int runStart = -1;
    int runEnd = -1;
    const auto flush = [&] {
        if (runStart >= 0) {
            Q_EMIT dataChanged(index(runStart, 0), index(runEnd, columns - 1));
            runStart = runEnd = -1;
        }
    };
    const auto changed = [&](int r) {
        if (runStart >= 0 && r == runEnd + 1) {
            runEnd = r;
            return;
        }
        flush();
        runStart = runEnd = r;
    };
    for (int i = 0; i < next.size(); ++i) {
        FlowRow &wanted = next[i];
        if (i < m_rows.size() && m_rows.at(i).item.id == wanted.item.id) {
            if (!m_rows.at(i).sameAs(wanted)) {
                m_rows[i] = std::move(wanted);
                changed(i);
            }
            continue;
        }
        flush();
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
            if (!m_rows.at(i).sameAs(wanted)) {
                m_rows[i] = std::move(wanted);
                changed(i);
            }
        } else {
            beginInsertRows({}, i, i);
            m_rows.insert(i, std::move(wanted));
            endInsertRows();
        }
    }
    flush();

    // 3. Leftovers (a repeated id in the old rows).
    if (m_rows.size() > next.size()) {
        beginRemoveRows({}, static_cast<int>(next.size()), static_cast<int>(m_rows.size()) - 1);
        m_rows.remove(next.size(), m_rows.size() - next.size());
        endRemoveRows();
    }
}
