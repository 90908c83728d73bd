#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>

class APIClient;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Creates one registration invitation for a person in a project, then copies its text or has
// the service send it by SMS. Open it with open().
class MacInviteMemberSheet : public QDialog
{
    Q_OBJECT

public:
    // Made field by field: MacInviteMemberSheet({.project = p, .inviterName = n, ...}).
    struct Fields
    {
        ProjectSummary project;
        QString inviterName;
        std::optional<ProjectMember> initialMember;
        std::function<QCoro::Task<>()> onChanged;
        std::optional<QString> itemID;
        std::optional<QString> field;
        std::function<QCoro::Task<>(QString)> onInvited; // empty when absent
        QString name;
        QString role;
        QString phone;
        QString token;
        QString link;
        QString message;
        bool busy = false;
        APIClient *client = nullptr; // nullptr: APIClient::shared()
    };

    explicit MacInviteMemberSheet(Fields fields, QWidget *parent = nullptr);

    const Fields &fields() const { return m_fields; }
    QString shareText() const;

private:
    QCoro::Task<> createInvitation();
    QCoro::Task<> sendSMS();
    void copyInvitation();
    void setMessage(const QString &message);
    void updateState();
    // Ends a request: the controls come back and focus returns to where it was.
    void endBusy(const QPointer<QWidget> &focused);

    Fields m_fields;
    QLineEdit *m_name;
    QComboBox *m_role;
    QLineEdit *m_phone;
    QWidget *m_generatePage;
    QWidget *m_sharePage;
    int m_shownStage = -1;
    QPushButton *m_generate;
    QPlainTextEdit *m_text;
    QPushButton *m_sms;
    QLabel *m_message;
};
