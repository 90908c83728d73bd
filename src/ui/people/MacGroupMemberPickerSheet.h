#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QList>

#include <functional>

class QPushButton;
class QVBoxLayout;

// Picks one project member to add to a performer group. Open it with open(); it closes itself
// when the add action reports success.
class MacGroupMemberPickerSheet : public QDialog
{
    Q_OBJECT

public:
    using AddAction = std::function<QCoro::Task<bool>(QString)>;

    MacGroupMemberPickerSheet(PerformerGroup group, QList<ProjectMember> members, AddAction onAdd,
                              QWidget *parent = nullptr);

    const PerformerGroup &group() const { return m_group; }
    const QString &busyID() const { return m_busyID; }

private:
    struct Row
    {
        QString memberId;
        QPushButton *button;
    };

    QCoro::Task<> add(QString memberId);
    void rebuildRows();
    void updateButtons();

    PerformerGroup m_group;
    QList<ProjectMember> m_members;
    AddAction m_onAdd;
    QString m_query;
    QString m_busyID;
    QWidget *m_rowsHost;
    QVBoxLayout *m_rows;
    QList<Row> m_rowButtons;
};
