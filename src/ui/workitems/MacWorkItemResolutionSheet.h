#pragma once

#include "models/WorkItems.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <functional>

class QPlainTextEdit;
class QPushButton;

// The item and the status a resolution sheet moves it to.
struct WorkItemResolutionContext
{
    WorkItem item;
    WorkItemStatus nextStatus = WorkItemStatus::done;

    // The item's id, "-" and the target status: blocking and completing are different sheets.
    QString id() const { return item.id + QLatin1Char('-') + toWire(nextStatus); }
};

// Marks a work item blocked (with a required reason) or done (with an optional note). Open it
// with open(); it closes itself when the handler answers true.
class MacWorkItemResolutionSheet : public QDialog
{
    Q_OBJECT

public:
    // Receives the trimmed text; true when the change was saved. The handler reports failures.
    using SaveAction = std::function<QCoro::Task<bool>(QString)>;

    MacWorkItemResolutionSheet(WorkItemResolutionContext context, SaveAction onSave,
                               QWidget *parent = nullptr);

    const WorkItemResolutionContext &context() const { return m_context; }
    bool saving() const { return m_saving; }

private:
    QCoro::Task<> confirm();
    void updateConfirm();

    WorkItemResolutionContext m_context;
    SaveAction m_onSave;
    bool m_saving = false;
    QPlainTextEdit *m_resolution;
    QPushButton *m_confirm;
};
