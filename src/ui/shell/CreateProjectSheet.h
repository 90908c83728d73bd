#pragma once

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The sheet in which a new show project is started: a name, and optionally a date and a time.
class CreateProjectSheet : public QDialog
{
    Q_OBJECT

public:
    // Creates the project from (name, date, time); throws to report a failure.
    using CreateAction = std::function<QCoro::Task<>(QString name, QString eventDate, QString startTime)>;

    explicit CreateProjectSheet(CreateAction onCreate, QWidget *parent = nullptr);

    // A name that is blank once trimmed cannot be sent.
    static bool canCreate(const QString &name, bool busy);

    bool isBusy() const { return m_busy; }
    const QString &error() const { return m_error; }

private:
    void create();
    void updateControls();

    CreateAction m_onCreate;
    bool m_busy = false;
    QString m_error;

    QLineEdit *m_name = nullptr;
    QLineEdit *m_eventDate = nullptr;
    QLineEdit *m_startTime = nullptr;
    QLabel *m_errorLabel = nullptr;
    QPushButton *m_create = nullptr;
};
