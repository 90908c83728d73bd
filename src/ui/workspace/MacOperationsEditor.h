#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>

class MacProjectDataStore;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The sheet in which directors edit and publish the day's arrangements. It starts from the
// arrangements shown when it opened and keeps what is typed while the store reloads underneath.
// A successful publish closes it; a refused one leaves it open with the typed values.
class MacOperationsEditor : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize fixedSize{680, 560};

    MacOperationsEditor(MacProjectDataStore &store, const ProjectOperations &current,
                        QWidget *parent = nullptr);

    bool isSaving() const { return m_saving; }
    // Sends the six fields exactly as typed; a field nobody edited goes back exactly as loaded.
    QCoro::Task<> publish();

Q_SIGNALS:
    void publishFinished(bool accepted);

private:
    void setSaving(bool saving);
    // What the field holds: the loaded value unless the user changed what it shows.
    QString valueOf(const QLineEdit *edit, const QString &loaded) const;
    QString noticeContentValue() const;

    MacProjectDataStore &m_store;
    // The values as loaded: the widgets show some characters differently (a no-break space, CR).
    ProjectOperations m_loaded;
    QString m_shownNoticeContent;
    QLineEdit *m_assemblyTime;
    QLineEdit *m_checkinLocation;
    QLineEdit *m_rehearsalTime;
    QLineEdit *m_dinnerNote;
    QLineEdit *m_noticeTitle;
    QPlainTextEdit *m_noticeContent;
    QPushButton *m_cancel;
    QPushButton *m_publish;
    bool m_saving = false;
};
