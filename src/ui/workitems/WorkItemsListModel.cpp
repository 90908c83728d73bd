#include "WorkItemsListModel.h"

#include <QSet>

int WorkItemsListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant WorkItemsListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return {};
    }
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return r.item.title;
    case IdRole:
        return r.item.id;
    default:
        return {};
    }
}

int WorkItemsListModel::indexOf(const QString &id) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).item.id == id) {
            return i;
        }
    }
    return -1;
}

void WorkItemsListModel::reconcile(const QList<Row> &rows)
{
    QSet<QString> wanted;
    for (const Row &r : rows) {
        wanted.insert(r.item.id);
    }
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        if (!wanted.contains(m_rows.at(i).item.id)) {
            beginRemoveRows({}, i, i);
            m_rows.removeAt(i);
            endRemoveRows();
        }
    }
    for (int i = 0; i < rows.size(); ++i) {
        const Row &target = rows.at(i);
        // Rows before i are in place, so the search starts at i: a poll that moves nothing is linear.
        int at = -1;
        for (int k = i; k < m_rows.size(); ++k) {
            if (m_rows.at(k).item.id == target.item.id) {
                at = k;
                break;
            }
        }
        if (at < 0) {
            beginInsertRows({}, i, i);
            m_rows.insert(i, target);
            endInsertRows();
            continue;
        }
        if (at != i) {
            // at > i: every row before i is already in place.
            beginMoveRows({}, at, at, {}, i);
            m_rows.move(at, i);
            endMoveRows();
        }
        if (!(m_rows.at(i) == target)) {
            m_rows[i] = target;
            Q_EMIT dataChanged(index(i), index(i));
        }
    }
    // Only a repeated id leaves rows behind: the removal above keeps every row whose id is wanted.
    if (m_rows.size() > rows.size()) {
        beginRemoveRows({}, int(rows.size()), int(m_rows.size()) - 1);
        m_rows.resize(rows.size());
        endRemoveRows();
    }
}
