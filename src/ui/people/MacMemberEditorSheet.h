#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QSet>

#include <functional>

class QComboBox;
class QVBoxLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// Edits one member's name, role, duty text and, for staff, the work-pass areas. Open it with open().
class MacMemberEditorSheet : public QDialog
{
    Q_OBJECT

public:
    // Name, role, detail, pass areas; true closes the sheet, false keeps the user's values.
    using SaveAction = std::function<QCoro::Task<bool>(QString, QString, QString, QString)>;

    MacMemberEditorSheet(ProjectMember member, SaveAction onSave, QWidget *parent = nullptr);

    const QSet<QString> &areas() const { return m_areas; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QCoro::Task<> save();
    void addArea();
    void rebuildAreaButtons();
    void updateState();

    ProjectMember m_member;
    SaveAction m_onSave;
    QSet<QString> m_areas;
    bool m_saving = false;

    QLineEdit *m_name;
    QComboBox *m_role;
    QPlainTextEdit *m_detail;
    QWidget *m_areasSection;
    // Rows of area buttons, wrapped to the sheet's width.
    QVBoxLayout *m_areaButtons;
    QLineEdit *m_customArea;
    QPushButton *m_addArea;
    QPushButton *m_save;
};
