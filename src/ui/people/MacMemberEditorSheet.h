#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

// Edits one member's name, role and duty text. Open it with open(). Simplified until the people
// subsystem is built: the work-pass areas are kept as the member had them.
class MacMemberEditorSheet : public QDialog
{
    Q_OBJECT

public:
    // Name, role, detail, pass areas; true closes the sheet, false keeps the user's values.
    using SaveAction = std::function<QCoro::Task<bool>(QString, QString, QString, QString)>;

    MacMemberEditorSheet(ProjectMember member, SaveAction onSave, QWidget *parent = nullptr);

private:
    QCoro::Task<> save();

    ProjectMember m_member;
    SaveAction m_onSave;
    QLineEdit *m_name;
    QComboBox *m_role;
    QLineEdit *m_detail;
    QPushButton *m_save;
};
