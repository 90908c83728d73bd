#include "AppStore.h"

#include "Error.h"
#include "api/APIClient.h"
#include "rules/TextRules.h"

#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

const QString unavailablePrefix = QStringLiteral("暂时无法进入Quillory：");
const QString timeoutMessage = QStringLiteral("连接服务超时，请检查网络后重试。");

} // namespace

AppStore::AppStore(SessionBootstrapClient &bootstrapClient, APIClient &client,
                   std::chrono::nanoseconds bootstrapTimeout, QObject *parent)
    : QObject(parent)
    , m_bootstrapClient(bootstrapClient)
    , m_client(client)
    , m_bootstrapTimeout(bootstrapTimeout)
{}

void AppStore::setError(const QString &error)
{
    m_error = error;
    Q_EMIT errorChanged();
}

void AppStore::setPhase(Phase phase)
{
    m_phase = phase;
    Q_EMIT phaseChanged();
}

void AppStore::setAccount(std::optional<Account> account)
{
    m_account = std::move(account);
    Q_EMIT accountChanged();
}

void AppStore::setMemberships(QList<Membership> memberships)
{
    m_memberships = std::move(memberships);
    Q_EMIT membershipsChanged();
}

void AppStore::setProjects(QList<ProjectSummary> projects)
{
    m_projects = std::move(projects);
    Q_EMIT projectsChanged();
}

void AppStore::bootstrap()
{
    const QUuid attemptID = QUuid::createUuid();
    m_bootstrapAttemptID = attemptID;
    setPhase(Phase::loading);
    setError(QString());

    // An unusable service address can never succeed; say which setting is wrong instead of
    // letting every request fail with a vague text.
    if (const QString configurationError = m_client.configurationError(); !configurationError.isEmpty()) {
        finishUnavailable(attemptID, unavailablePrefix + configurationError);
        return;
    }

    probe(QPointer<AppStore>(this), &m_bootstrapClient, attemptID);

    // The store is the timer's context: once the window is gone there is nobody left to decide for.
    const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(m_bootstrapTimeout);
    QTimer::singleShot(timeout, Qt::PreciseTimer, this,
                       [this, attemptID] { finishUnavailable(attemptID, timeoutMessage); });
}

QCoro::Task<> AppStore::probe(QPointer<AppStore> store, SessionBootstrapClient *client, QUuid attemptID)
{
    // Tasks and their arguments are named before co_await: g++ 12 destroys some temporaries made
    // inside a co_await expression twice.
    SessionResponse session;
    try {
        auto request = client->session();
        session = co_await request;
    } catch (...) {
        const QString message = unavailablePrefix + describeCurrentException();
        if (store) {
            store->finishUnavailable(attemptID, message);
        }
        co_return;
    }
    if (!store) {
        co_return;
    }
    if (!session.authenticated || !session.account) {
        store->finishSignedOut(attemptID);
        co_return;
    }

    ProjectsResponse projects;
    try {
        auto request = client->projects();
        projects = co_await request;
    } catch (...) {
        const QString message = unavailablePrefix + describeCurrentException();
        if (store) {
            store->finishUnavailable(attemptID, message);
        }
        co_return;
    }
    if (store) {
        store->finishSignedIn(attemptID, *session.account, session.memberships.value_or(QList<Membership>{}),
                              projects.projects);
    }
}

bool AppStore::claimAttempt(const QUuid &attemptID)
{
    if (!m_bootstrapAttemptID || *m_bootstrapAttemptID != attemptID) {
        return false;
    }
    m_bootstrapAttemptID.reset();
    return true;
}

void AppStore::finishSignedOut(const QUuid &attemptID)
{
    if (!claimAttempt(attemptID)) {
        return;
    }
    setPhase(Phase::signedOut);
}

void AppStore::finishSignedIn(const QUuid &attemptID, Account account, QList<Membership> memberships,
                              QList<ProjectSummary> projects)
{
    if (!claimAttempt(attemptID)) {
        return;
    }
    setAccount(std::move(account));
    setMemberships(std::move(memberships));
    setProjects(std::move(projects));
    setPhase(Phase::signedIn);
}

void AppStore::finishUnavailable(const QUuid &attemptID, const QString &message)
{
    if (!claimAttempt(attemptID)) {
        return;
    }
    setError(message);
    setPhase(Phase::unavailable);
}

QCoro::Task<> AppStore::signIn(QString phone, QString code, QString name)
{
    QPointer<AppStore> self(this);
    APIClient *client = &m_client;
    try {
        auto request = client->login(std::move(phone), std::move(code), std::move(name));
        co_await request;
    } catch (...) {
        const QString message = describeCurrentException();
        if (self) {
            self->setError(message);
        }
        co_return;
    }
    if (self) {
        self->bootstrap();
    }
}

QCoro::Task<> AppStore::signOut()
{
    QPointer<AppStore> self(this);
    APIClient *client = &m_client;
    try {
        auto request = client->logout();
        co_await request;
    } catch (...) {
        // The service may have forgotten the session already; leave locally all the same.
    }
    try {
        auto clearing = client->tokenStore().clear();
        co_await clearing;
    } catch (...) {
        // A token that cannot be removed must not keep the person signed in here.
    }
    if (!self) {
        co_return;
    }
    self->setAccount(std::nullopt);
    self->setMemberships({});
    self->setProjects({});
    self->setPhase(Phase::signedOut);
}

QString AppStore::nicknameToSend(const QString &typed)
{
    return TextRules::prefixCharacters(TextRules::trimmed(typed), nicknameCharacterLimit);
}

QCoro::Task<> AppStore::updateNickname(QString nickname)
{
    QPointer<AppStore> self(this);
    APIClient *client = &m_client;
    QString sent = nicknameToSend(nickname);
    auto request = client->updateNickname(std::move(sent));
    const NicknameMutationResponse answer = co_await request;
    if (self && self->m_account) {
        Account account = *self->m_account;
        account.nickname = answer.nickname;
        self->setAccount(std::move(account));
    }
}

void AppStore::sortProjects(QList<ProjectSummary> &projects)
{
    std::stable_sort(projects.begin(), projects.end(), [](const ProjectSummary &a, const ProjectSummary &b) {
        if (const int byDate = TextRules::compareScalars(a.eventDate, b.eventDate); byDate != 0) {
            return byDate < 0;
        }
        if (const int byTime = TextRules::compareScalars(a.startTime, b.startTime); byTime != 0) {
            return byTime < 0;
        }
        return TextRules::compareScalars(a.name, b.name) < 0;
    });
}

QCoro::Task<ProjectSummary> AppStore::createProject(QString name, QString eventDate, QString startTime)
{
    QPointer<AppStore> self(this);
    APIClient *client = &m_client;
    auto request = client->createProject(std::move(name), std::move(eventDate), std::move(startTime));
    const CreateProjectResponse answer = co_await request;
    if (self) {
        QList<ProjectSummary> projects = self->m_projects;
        projects.append(answer.project);
        const bool known = std::any_of(self->m_memberships.cbegin(), self->m_memberships.cend(),
                                       [&](const Membership &m) { return m.id == answer.membership.id; });
        if (!known) {
            QList<Membership> memberships = self->m_memberships;
            memberships.append(answer.membership);
            self->setMemberships(std::move(memberships));
        }
        sortProjects(projects);
        self->setProjects(std::move(projects));
    }
    co_return answer.project;
}
