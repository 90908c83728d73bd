#pragma once

#include "models/ProjectRecords.h"
#include "models/Rundown.h"
#include "models/WorkItems.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Creates a pre-show task or an on-site incident by hand. Offers only the kinds the member may
// create. Open it with open(); it closes itself when the handler answers true.
class MacCreateWorkItemSheet : public QDialog
{
    Q_OBJECT

public:
    // Kind, rundown item id (empty: whole show), assignee id (empty: nobody), trimmed title,
    // trimmed description, priority. True when created; the handler reports failures.
    using CreateAction =
        std::function<QCoro::Task<bool>(WorkItemKind, QString, QString, QString, QString, WorkItemPriority)>;

    MacCreateWorkItemSheet(ProjectDetailResponse detail, WorkItemPermissions permissions,
                           CreateAction onCreate, QWidget *parent = nullptr);

    // After a reload: the offered choices follow, the input stays.
    void setInputs(ProjectDetailResponse detail, WorkItemPermissions permissions);

    WorkItemKind kind() const { return m_kind; }
    const QString &itemID() const { return m_itemID; }
    bool saving() const { return m_saving; }

private:
    void fillKinds();
    void fillPrograms();
    void fillAssignees();
    void updateSave();
    QCoro::Task<> save();

    ProjectDetailResponse m_detail;
    WorkItemPermissions m_permissions;
    CreateAction m_onCreate;

    WorkItemKind m_kind = WorkItemKind::incident;
    WorkItemPriority m_priority = WorkItemPriority::normal;
    QString m_itemID;
    QString m_assigneeID;
    bool m_saving = false;

    QComboBox *m_kindPicker;
    QComboBox *m_priorityPicker;
    QComboBox *m_itemPicker;
    QComboBox *m_assigneePicker;
    QLineEdit *m_title;
    QPlainTextEdit *m_description;
    QPushButton *m_save;
};
