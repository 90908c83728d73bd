#pragma once

#include "models/ProjectRecords.h"

#include <QDialog>

class QLabel;
class QTimer;

// One member's electronic work pass for the project, with a clock ticking every second so a
// screenshot can be told from the live pass. Open it with open().
class MacWorkPassSheet : public QDialog
{
    Q_OBJECT

public:
    MacWorkPassSheet(ProjectSummary project, ProjectMember member, QWidget *parent = nullptr);

    static QString clockText(const QDateTime &now);

private:
    void tick();

    QLabel *m_clock;
    QTimer *m_timer;
};
