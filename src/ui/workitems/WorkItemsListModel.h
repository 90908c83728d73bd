#pragma once

#include "models/WorkItems.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

// The task page's visible work items with what each card shows, reconciled by id on every
// reload so the list keeps its scroll position and hover state.
class WorkItemsListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    struct Row
    {
        WorkItem item;
        QString meta; // program and assignee line
        bool canAct = false;

        friend bool operator==(const Row &, const Row &) = default;
    };

    enum Roles { IdRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const Row &row(int index) const { return m_rows.at(index); }
    // The row of that work item, or -1.
    int indexOf(const QString &id) const;
    // Inserts, moves, updates and removes rows until they equal `rows`, without a reset.
    void reconcile(const QList<Row> &rows);

private:
    QList<Row> m_rows;
};
