#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QWidget>

class AppStore;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// Who the signed-in person is, their role in each project, and their public nickname.
class AccountAccessPanel : public QWidget
{
    Q_OBJECT

public:
    enum class Outcome { none, saved, failed };

    explicit AccountAccessPanel(AppStore &store, QWidget *parent = nullptr);

    // Sorted by project name (the project id when the project is unknown), then role, by Unicode scalars.
    static QList<Membership> orderedMemberships(const QList<Membership> &memberships,
                                                const QList<ProjectSummary> &projects);
    // The name of the membership's project, or "项目名称待同步" while it is not among the projects.
    static QString projectName(const Membership &membership, const QList<ProjectSummary> &projects);
    // Typed text is counted untrimmed; the empty text may be saved.
    static bool canSaveNickname(const QString &nickname, bool saving);

    bool isSaving() const { return m_saving; }
    const QString &nicknameMessage() const { return m_message; }
    Outcome nicknameOutcome() const { return m_outcome; }

private:
    QCoro::Task<> saveNickname();
    void rebuild();
    void updateNicknameControls();
    QWidget *buildIdentity(const Account &account);
    QWidget *buildRoles();
    QWidget *buildAccountType(const Account &account);

    AppStore &m_store;
    bool m_saving = false;
    QString m_message;
    Outcome m_outcome = Outcome::none;

    QVBoxLayout *m_layout = nullptr;
    QWidget *m_identity = nullptr;
    QWidget *m_roles = nullptr;
    QWidget *m_accountType = nullptr;
    QWidget *m_nicknameBlock = nullptr;
    QLineEdit *m_nickname = nullptr;
    QPushButton *m_save = nullptr;
    QLabel *m_messageLabel = nullptr;
};
