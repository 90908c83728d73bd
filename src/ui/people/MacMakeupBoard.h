#pragma once

#include "models/Rundown.h"

#include <QHash>
#include <QWidget>

class MacMakeupAssignmentCreator;
class MacMakeupAssignmentEditor;
class MacMakeupShiftEditor;
class MacProjectDataStore;
class QLabel;
class QVBoxLayout;

// The makeup scheduling board: artists' shifts and members' assignments. Directors plan it; a
// makeup artist sees their own shift and assignments. The page hands it every new snapshot; rows
// are kept by id across snapshots, so what the user typed survives reloads.
class MacMakeupBoard : public QWidget
{
    Q_OBJECT

public:
    MacMakeupBoard(MacProjectDataStore &store, ProjectDetailResponse detail, bool canManage,
                   QWidget *parent = nullptr);

    void setSnapshot(ProjectDetailResponse detail, bool canManage);
    bool canManage() const { return m_canManage; }
    // Shown at all (a non-director who is not a makeup artist sees nothing).
    bool isShown() const { return m_shown; }

    MacMakeupShiftEditor *shiftEditor(const QString &artistId) const
    {
        return m_shiftEditors.value(artistId);
    }
    MacMakeupAssignmentEditor *assignmentEditor(const QString &memberId) const
    {
        return m_assignmentEditors.value(memberId);
    }
    MacMakeupAssignmentCreator *creator() const { return m_creator; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void reconcile();

    MacProjectDataStore &m_store;
    ProjectDetailResponse m_detail;
    bool m_canManage;
    bool m_shown = false;

    QLabel *m_title;
    QLabel *m_subtitle;
    QWidget *m_placeholder;
    QWidget *m_blocks;
    QLabel *m_shiftHeading;
    QVBoxLayout *m_shiftRows;
    QVBoxLayout *m_creatorSlot;
    QLabel *m_assignmentHeading;
    QVBoxLayout *m_assignmentRows;
    QLabel *m_noAssignments;
    MacMakeupAssignmentCreator *m_creator = nullptr;
    QHash<QString, MacMakeupShiftEditor *> m_shiftEditors;
    QHash<QString, MacMakeupAssignmentEditor *> m_assignmentEditors;
};
