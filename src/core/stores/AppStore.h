#pragma once

#include "api/SessionBootstrapClient.h"
#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <chrono>
#include <optional>

class APIClient;

// The session of one window: who is signed in, their memberships and projects, the start-up phase
// and the last start-up or sign-in error. The only place where the session changes.
//
// The start-up decision is a race between the session probe and a timer; each attempt carries an
// identifier and only the first finisher of the newest attempt counts.
class AppStore : public QObject
{
    Q_OBJECT

public:
    enum class Phase { loading, unavailable, signedOut, signedIn };
    Q_ENUM(Phase)

    static constexpr std::chrono::nanoseconds defaultBootstrapTimeout{8'000'000'000};
    static constexpr qsizetype nicknameCharacterLimit = 24;

    // The bootstrap asks `bootstrapClient`; sign-in, sign-out, nickname and project creation go to
    // `client`. Both must outlive every task the store starts, not just the store.
    AppStore(SessionBootstrapClient &bootstrapClient, APIClient &client,
             std::chrono::nanoseconds bootstrapTimeout = defaultBootstrapTimeout, QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    const std::optional<Account> &account() const { return m_account; }
    const QList<Membership> &memberships() const { return m_memberships; }
    const QList<ProjectSummary> &projects() const { return m_projects; }
    const QString &error() const { return m_error; }
    // The login screen reports a failed code request here.
    void setError(const QString &error);

    APIClient &client() const { return m_client; }
    std::chrono::nanoseconds bootstrapTimeout() const { return m_bootstrapTimeout; }
    // Whether an attempt is still undecided.
    bool isBootstrapPending() const { return m_bootstrapAttemptID.has_value(); }

    // Starts a new attempt and returns at once; earlier attempts can no longer decide anything.
    void bootstrap();
    // Never throws: a failure lands in error().
    QCoro::Task<> signIn(QString phone, QString code, QString name);
    // Never throws; signs out locally whatever the service or the token store say.
    QCoro::Task<> signOut();
    // Throws the client's error; sends the trimmed text cut to 24 user-perceived characters and
    // stores the nickname the service answers with.
    QCoro::Task<> updateNickname(QString nickname);
    // Throws the client's error; on success the project is in projects(), sorted.
    QCoro::Task<ProjectSummary> createProject(QString name, QString eventDate, QString startTime);

    // The text updateNickname sends for what was typed.
    static QString nicknameToSend(const QString &typed);
    // Stable order by date, then time, then name, each by Unicode scalar values of the NFC text.
    static void sortProjects(QList<ProjectSummary> &projects);

Q_SIGNALS:
    // Emitted on every assignment, also when the value stays the same.
    void phaseChanged();
    void accountChanged();
    void membershipsChanged();
    void projectsChanged();
    void errorChanged();

private:
    static QCoro::Task<> probe(QPointer<AppStore> store, SessionBootstrapClient *client, QUuid attemptID);

    void setPhase(Phase phase);
    void setAccount(std::optional<Account> account);
    void setMemberships(QList<Membership> memberships);
    void setProjects(QList<ProjectSummary> projects);

    // Each acts only while attemptID is still the undecided attempt, and then closes it.
    bool claimAttempt(const QUuid &attemptID);
    void finishSignedOut(const QUuid &attemptID);
    void finishSignedIn(const QUuid &attemptID, Account account, QList<Membership> memberships,
                        QList<ProjectSummary> projects);
    void finishUnavailable(const QUuid &attemptID, const QString &message);

    SessionBootstrapClient &m_bootstrapClient;
    APIClient &m_client;
    const std::chrono::nanoseconds m_bootstrapTimeout;
    std::optional<QUuid> m_bootstrapAttemptID;

    Phase m_phase = Phase::loading;
    std::optional<Account> m_account;
    QList<Membership> m_memberships;
    QList<ProjectSummary> m_projects;
    QString m_error;
};
