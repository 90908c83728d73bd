#pragma once

#include "models/Admin.h"

#include <QFrame>
#include <QList>

#include <functional>

class MacAdminTableModel;
class QLineEdit;
class QTableView;

// The accounts a project can be handed to, as a popup list under the button that opened it.
// A platform has thousands of accounts, more than a menu can show, so the list scrolls and
// narrows by name or phone as the administrator types.
class MacAdminTransferPicker : public QFrame
{
    Q_OBJECT

public:
    MacAdminTransferPicker(QList<AdminUser> candidates, std::function<void(const AdminUser &)> onPick,
                           QWidget *parent = nullptr);

    // Opens under the anchor, as wide as it (at least 300 points).
    void popup(QWidget *anchor);
    const QList<AdminUser> &shown() const { return m_shown; }
    void pick(int row);

private:
    void filter(const QString &text);

    QList<AdminUser> m_candidates;
    QList<AdminUser> m_shown;
    std::function<void(const AdminUser &)> m_onPick;
    QLineEdit *m_filter;
    MacAdminTableModel *m_model;
    QTableView *m_list;
};
