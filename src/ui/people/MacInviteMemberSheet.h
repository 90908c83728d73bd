#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <functional>
#include <optional>

// Invites one person to the project. Open it with open(). Placeholder until the invitation
// subsystem is built: it shows who is invited and closes.
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
    };

    explicit MacInviteMemberSheet(Fields fields, QWidget *parent = nullptr);

    const Fields &fields() const { return m_fields; }

private:
    Fields m_fields;
};
