#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "api/APIClientError.h"
#include "stores/AppStore.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <coroutine>
#include <memory>
#include <optional>
#include <variant>

Q_DECLARE_METATYPE(SessionResponse)
Q_DECLARE_METATYPE(ProjectSummary)

using namespace std::chrono_literals;
using Phase = AppStore::Phase;

namespace {

// One pending answer of the scripted bootstrap client: the test decides when and how it ends.
// Opening the gate resumes the waiting coroutine right there, so the tests see its effect at once.
template<typename T>
class Gate
{
public:
    void succeed(T value) { open(std::move(value)); }
    void fail(APIClientError error) { open(std::move(error)); }
    bool isOpen() const { return m_outcome.has_value(); }

    QCoro::Task<T> wait()
    {
        if (!m_outcome) {
            co_await Opened{this};
        }
        const std::variant<T, APIClientError> outcome = *m_outcome;
        if (std::holds_alternative<APIClientError>(outcome)) {
            throw std::get<APIClientError>(outcome);
        }
        co_return std::get<T>(outcome);
    }

private:
    struct Opened
    {
        Gate *gate;
        bool await_ready() const noexcept { return gate->m_outcome.has_value(); }
        void await_suspend(std::coroutine_handle<> waiting) noexcept { gate->m_waiting = waiting; }
        void await_resume() const noexcept {}
    };

    void open(std::variant<T, APIClientError> outcome)
    {
        m_outcome = std::move(outcome);
        if (const std::coroutine_handle<> waiting = std::exchange(m_waiting, {})) {
            waiting.resume();
        }
    }

    std::optional<std::variant<T, APIClientError>> m_outcome;
    std::coroutine_handle<> m_waiting;
};

// Answers session() and projects() only when the test opens the matching gate.
class ScriptedBootstrapClient : public SessionBootstrapClient
{
public:
    ~ScriptedBootstrapClient() override
    {
        // Nothing may stay suspended when the test ends.
        for (auto &gate : sessions) {
            if (!gate->isOpen()) {
                gate->fail(APIClientError::invalidResponse());
            }
        }
        for (auto &gate : projectLists) {
            if (!gate->isOpen()) {
                gate->fail(APIClientError::invalidResponse());
            }
        }
    }

    QCoro::Task<SessionResponse> session() override
    {
        sessions.push_back(std::make_unique<Gate<SessionResponse>>());
        return sessions.back()->wait();
    }
    QCoro::Task<ProjectsResponse> projects() override
    {
        projectLists.push_back(std::make_unique<Gate<ProjectsResponse>>());
        return projectLists.back()->wait();
    }

    std::vector<std::unique_ptr<Gate<SessionResponse>>> sessions;
    std::vector<std::unique_ptr<Gate<ProjectsResponse>>> projectLists;
};

Account account(const QString &id, const QString &name)
{
    Account a;
    a.id = id;
    a.name = name;
    a.phone = QStringLiteral("13800000000");
    return a;
}

SessionResponse signedInSession()
{
    return SessionResponse{true, account(QStringLiteral("a1"), QStringLiteral("林岚")),
                           QList<Membership>{{QStringLiteral("m1"), QStringLiteral("p1"),
                                              QStringLiteral("林岚"), QStringLiteral("总导演")}}};
}

ProjectSummary project(const QString &id, const QString &name, const QString &date = {},
                       const QString &time = {})
{
    ProjectSummary p;
    p.id = id;
    p.name = name;
    p.eventDate = date;
    p.startTime = time;
    p.status = QStringLiteral("筹备中");
    return p;
}

QStringList ids(const QList<ProjectSummary> &projects)
{
    QStringList result;
    for (const ProjectSummary &p : projects) {
        result << p.id;
    }
    return result;
}

// Runs a task to its end and keeps its description when it throws.
template<typename T>
struct Outcome
{
    bool finished = false;
    std::optional<T> value;
    QString error;
};

template<typename T>
QCoro::Task<> collect(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> out)
{
    try {
        out->value = co_await std::move(task);
    } catch (const QuilloryError &e) {
        out->error = e.description();
    }
    out->finished = true;
}

QCoro::Task<> collectVoid(QCoro::Task<> task, std::shared_ptr<Outcome<bool>> out)
{
    try {
        co_await std::move(task);
        out->value = true;
    } catch (const QuilloryError &e) {
        out->error = e.description();
    }
    out->finished = true;
}

} // namespace

class TestAppStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void bootstrapDecision_data();
    void bootstrapDecision();
    void lateSessionAfterTimeoutIsDropped();
    void timerAfterDecidedProbeIsDropped();
    void retryVoidsEarlierAttempt();
    void retryIsTimedByItsOwnTimer_data();
    void retryIsTimedByItsOwnTimer();
    void storeGoneWhileProbing();
    void unusableBaseURLNamesTheVariable();
    void unauthorizedProbeClearsTokenAndRetryGoesWithout();
    void signInFailureAndSuccess();
    void signOutLeavesLocallyWhateverHappens();
    void nicknameToSend_data();
    void nicknameToSend();
    void nicknameStoresTheAnswer();
    void sortProjects_data();
    void sortProjects();
    void createProjectAppendsSortsAndKeepsMembershipsUnique();

private:
    std::unique_ptr<FakeService> m_service;
    std::shared_ptr<MemoryTokenStore> m_tokens;
    std::unique_ptr<APIClient> m_client;
};

void TestAppStore::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_tokens = std::make_shared<MemoryTokenStore>();
    m_client = std::make_unique<APIClient>(QUrl(m_service->baseUrl()), m_tokens, false);
}

void TestAppStore::cleanup()
{
    TestHelpers::shutDown(m_client, m_service);
}

void TestAppStore::bootstrapDecision_data()
{
    QTest::addColumn<SessionResponse>("session");
    QTest::addColumn<QString>("sessionError");
    QTest::addColumn<QString>("projectsError");
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<bool>("accountStored");
    QTest::addColumn<int>("memberships");
    QTest::addColumn<QString>("error");

    SessionResponse noMemberships = signedInSession();
    noMemberships.memberships.reset();
    SessionResponse withoutAccount = signedInSession();
    withoutAccount.account.reset();
    SessionResponse notAuthenticated = signedInSession();
    notAuthenticated.authenticated = false;

    QTest::newRow("signed in") << signedInSession() << QString() << QString() << Phase::signedIn << true << 1
                               << QString();
    QTest::newRow("no memberships") << noMemberships << QString() << QString() << Phase::signedIn << true << 0
                                    << QString();
    QTest::newRow("authenticated without account")
        << withoutAccount << QString() << QString() << Phase::signedOut << false << 0 << QString();
    QTest::newRow("account but not authenticated")
        << notAuthenticated << QString() << QString() << Phase::signedOut << false << 0 << QString();
    QTest::newRow("session fails") << SessionResponse{} << QStringLiteral("服务维护中") << QString()
                                   << Phase::unavailable << false << 0
                                   << QStringLiteral("暂时无法进入Quillory：服务维护中");
    QTest::newRow("project list fails, account not stored")
        << signedInSession() << QString() << QStringLiteral("服务器响应无效") << Phase::unavailable << false
        << 0 << QStringLiteral("暂时无法进入Quillory：服务器响应无效");
}

void TestAppStore::bootstrapDecision()
{
    QFETCH(SessionResponse, session);
    QFETCH(QString, sessionError);
    QFETCH(QString, projectsError);
    QFETCH(Phase, phase);
    QFETCH(bool, accountStored);
    QFETCH(int, memberships);
    QFETCH(QString, error);

    ScriptedBootstrapClient bootstrap;
    AppStore store(bootstrap, *m_client, 10s);
    store.bootstrap();
    QCOMPARE(store.phase(), Phase::loading);
    QVERIFY(store.isBootstrapPending());
    QCOMPARE(bootstrap.sessions.size(), size_t(1));

    if (sessionError.isEmpty()) {
        bootstrap.sessions[0]->succeed(session);
    } else {
        bootstrap.sessions[0]->fail(APIClientError::server(sessionError));
    }
    if (session.authenticated && session.account && sessionError.isEmpty()) {
        QTRY_COMPARE(bootstrap.projectLists.size(), size_t(1));
        if (projectsError.isEmpty()) {
            bootstrap.projectLists[0]->succeed(
                ProjectsResponse{{project(QStringLiteral("p2"), QStringLiteral("B")),
                                  project(QStringLiteral("p1"), QStringLiteral("A"))}});
        } else {
            bootstrap.projectLists[0]->fail(APIClientError::invalidResponse());
        }
    }

    QTRY_COMPARE(store.phase(), phase);
    QVERIFY(!store.isBootstrapPending());
    QCOMPARE(store.account().has_value(), accountStored);
    QCOMPARE(store.memberships().size(), memberships);
    QCOMPARE(store.error(), error);
    if (phase == Phase::signedIn) {
        // The service's order, untouched until a project is created.
        QCOMPARE(ids(store.projects()), QStringList({QStringLiteral("p2"), QStringLiteral("p1")}));
    }
}

void TestAppStore::lateSessionAfterTimeoutIsDropped()
{
    ScriptedBootstrapClient bootstrap;
    AppStore store(bootstrap, *m_client, 20ms);
    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::unavailable);
    QCOMPARE(store.error(), QStringLiteral("连接服务超时，请检查网络后重试。"));

    QSignalSpy phaseChanges(&store, &AppStore::phaseChanged);
    bootstrap.sessions[0]->succeed(signedInSession());
    QTRY_COMPARE(bootstrap.projectLists.size(), size_t(1));
    bootstrap.projectLists[0]->succeed(
        ProjectsResponse{{project(QStringLiteral("p1"), QStringLiteral("A"))}});

    QCOMPARE(store.phase(), Phase::unavailable);
    QCOMPARE(phaseChanges.count(), 0);
    QVERIFY(!store.account());
    QVERIFY(store.projects().isEmpty());
    QCOMPARE(store.error(), QStringLiteral("连接服务超时，请检查网络后重试。"));
}

void TestAppStore::timerAfterDecidedProbeIsDropped()
{
    ScriptedBootstrapClient bootstrap;
    AppStore store(bootstrap, *m_client, 30ms);
    store.bootstrap();
    bootstrap.sessions[0]->succeed(SessionResponse{false, std::nullopt, std::nullopt});
    QTRY_COMPARE(store.phase(), Phase::signedOut);

    // A sentinel that fires only after the store's own time-out has passed.
    QSignalSpy phaseChanges(&store, &AppStore::phaseChanged);
    QTimer sentinel;
    sentinel.setSingleShot(true);
    QSignalSpy fired(&sentinel, &QTimer::timeout);
    sentinel.start(90);
    QVERIFY(fired.wait(2000));

    QCOMPARE(store.phase(), Phase::signedOut);
    QCOMPARE(phaseChanges.count(), 0);
    QCOMPARE(store.error(), QString());
}

void TestAppStore::retryVoidsEarlierAttempt()
{
    ScriptedBootstrapClient bootstrap;
    AppStore store(bootstrap, *m_client, 10s);
    store.bootstrap();
    store.bootstrap();
    QCOMPARE(bootstrap.sessions.size(), size_t(2));

    // The first attempt's answer comes while the second is still waiting: it must not count.
    bootstrap.sessions[0]->succeed(SessionResponse{false, std::nullopt, std::nullopt});
    QCOMPARE(store.phase(), Phase::loading);
    QVERIFY(store.isBootstrapPending());

    bootstrap.sessions[1]->succeed(signedInSession());
    QTRY_COMPARE(bootstrap.projectLists.size(), size_t(1));
    bootstrap.projectLists[0]->succeed(
        ProjectsResponse{{project(QStringLiteral("p1"), QStringLiteral("A"))}});
    QTRY_COMPARE(store.phase(), Phase::signedIn);
    QCOMPARE(store.account()->name, QStringLiteral("林岚"));
}

void TestAppStore::retryIsTimedByItsOwnTimer_data()
{
    QTest::addColumn<bool>("afterFirstTimeout");
    QTest::newRow("retry while the first attempt waits") << false;
    QTest::newRow("retry after the first attempt timed out") << true;
}

// The first attempt's timer, whenever it fires, must not time out a retry that has time of its
// own left.
void TestAppStore::retryIsTimedByItsOwnTimer()
{
    QFETCH(bool, afterFirstTimeout);
    constexpr auto timeout = 800ms;
    ScriptedBootstrapClient bootstrap;
    AppStore store(bootstrap, *m_client, timeout);
    QTimer pause;
    pause.setSingleShot(true);
    QSignalSpy paused(&pause, &QTimer::timeout);
    store.bootstrap();
    if (afterFirstTimeout) {
        QTRY_COMPARE(store.phase(), Phase::unavailable);
        pause.start(timeout / 2);
    } else {
        pause.start(timeout / 4);
    }
    QVERIFY(paused.wait(5000));

    QElapsedTimer sinceRetry;
    sinceRetry.start();
    store.bootstrap();
    // Past the first timer's time-out (and a second period of it), short of the retry's.
    pause.start(timeout - 100ms);
    QVERIFY(paused.wait(5000));
    if (sinceRetry.elapsed() >= std::chrono::milliseconds(timeout).count()) {
        QSKIP("the machine was too slow to tell the two timers apart");
    }
    QCOMPARE(store.phase(), Phase::loading);
    bootstrap.sessions[1]->succeed(SessionResponse{false, std::nullopt, std::nullopt});
    QTRY_COMPARE(store.phase(), Phase::signedOut);
    QCOMPARE(store.error(), QString());
}

void TestAppStore::storeGoneWhileProbing()
{
    ScriptedBootstrapClient bootstrap;
    auto *store = new AppStore(bootstrap, *m_client, 20ms);
    store->bootstrap();
    delete store;
    // Neither the probe nor the timer may reach the deleted store (AddressSanitizer watches).
    bootstrap.sessions[0]->succeed(signedInSession());
    QTimer sentinel;
    sentinel.setSingleShot(true);
    QSignalSpy fired(&sentinel, &QTimer::timeout);
    sentinel.start(60);
    QVERIFY(fired.wait(2000));
    QVERIFY(bootstrap.projectLists.empty());
}

void TestAppStore::unusableBaseURLNamesTheVariable()
{
    APIClient broken(QUrl(QStringLiteral("not a url")), m_tokens, false);
    ScriptedBootstrapClient bootstrap;
    AppStore store(bootstrap, broken, 10s);
    store.bootstrap();
    QCOMPARE(store.phase(), Phase::unavailable);
    QVERIFY2(store.error().contains(QStringLiteral("TAVIK_API_BASE_URL")), qPrintable(store.error()));
    QVERIFY(bootstrap.sessions.empty());
}

void TestAppStore::unauthorizedProbeClearsTokenAndRetryGoesWithout()
{
    m_tokens->setToken(QStringLiteral("stale-token"));
    Script refused;
    refused.status = 401;
    refused.body = R"({"error":"登录已失效"})";
    refused.times = 1;
    m_service->script("GET", "/api/session", refused);

    AppStore store(*m_client, *m_client, 10s);
    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::unavailable);
    QCOMPARE(store.error(), QStringLiteral("暂时无法进入Quillory：登录已失效"));
    QVERIFY(!m_tokens->token());

    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::signedOut);
    const QList<RecordedRequest> probes = m_service->requests("/api/session", "GET");
    QCOMPARE(probes.size(), 2);
    QCOMPARE(probes[0].header("Authorization"), QByteArray("Bearer stale-token"));
    QVERIFY(!probes[1].hasHeader("Authorization"));
}

void TestAppStore::signInFailureAndSuccess()
{
    const QString phone = QStringLiteral("13911112222");
    m_service->addAccount(phone, QStringLiteral("周敏"));
    AppStore store(*m_client, *m_client, 10s);
    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::signedOut);

    // Without a requested code the service refuses; the text lands in error, nothing else moves.
    store.signIn(phone, FakeService::smsCode, QString());
    QTRY_VERIFY(!store.error().isEmpty());
    QCOMPARE(store.phase(), Phase::signedOut);
    QVERIFY(!m_tokens->token());

    auto requested = std::make_shared<Outcome<bool>>();
    collectVoid(m_client->requestCode(phone), requested);
    QTRY_VERIFY(requested->finished);
    QList<Phase> phases;
    connect(&store, &AppStore::phaseChanged, &store, [&] { phases << store.phase(); });
    store.signIn(phone, FakeService::smsCode, QString());
    QTRY_COMPARE(store.phase(), Phase::signedIn);
    // A full new attempt: loading first, and the old error cleared.
    QCOMPARE(phases, QList<Phase>({Phase::loading, Phase::signedIn}));
    QCOMPARE(store.error(), QString());
    QCOMPARE(store.account()->name, QStringLiteral("周敏"));
    QVERIFY(m_tokens->token());
}

void TestAppStore::signOutLeavesLocallyWhateverHappens()
{
    const QString accountID = m_service->addAccount(QStringLiteral("13911113333"), QStringLiteral("陈浩"));
    m_tokens->setToken(m_service->tokenFor(accountID));
    AppStore store(*m_client, *m_client, 10s);
    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::signedIn);
    store.setError(QStringLiteral("旧的错误"));

    m_tokens->failClearWith(-25300);
    Script failing;
    failing.status = 500;
    m_service->script("DELETE", "/api/session", failing);
    store.signOut();
    QTRY_COMPARE(store.phase(), Phase::signedOut);
    QVERIFY(!store.account());
    QVERIFY(store.memberships().isEmpty());
    QVERIFY(store.projects().isEmpty());
    QCOMPARE(store.error(), QStringLiteral("旧的错误"));
    const QList<RecordedRequest> logouts = m_service->requests("/api/session", "DELETE");
    QCOMPARE(logouts.size(), 1);
    QVERIFY(logouts[0].hasHeader("Authorization"));
}

void TestAppStore::nicknameToSend_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");

    const QString thumbs = QStringLiteral("👍🏽");
    const QString family = QStringLiteral("👨‍👩‍👧");
    const QString accented = QStringLiteral("e\u0301");
    QTest::newRow("blanks and line breaks around")
        << QStringLiteral(" \t小明\u3000\n") << QStringLiteral("小明");
    QTest::newRow("inner blanks stay") << QStringLiteral(" 小 明 ") << QStringLiteral("小 明");
    QTest::newRow("blanks only") << QStringLiteral("  \u00a0\u2028 ") << QString();
    QTest::newRow("30 characters") << QStringLiteral("一二三四五六七八九十").repeated(3)
                                   << QStringLiteral("一二三四五六七八九十").repeated(2) +
                                          QStringLiteral("一二三四");
    QTest::newRow("exactly 24") << QStringLiteral("a").repeated(24) << QStringLiteral("a").repeated(24);
    QTest::newRow("emoji with modifier counts once") << thumbs.repeated(25) << thumbs.repeated(24);
    QTest::newRow("joined family counts once") << family.repeated(26) << family.repeated(24);
    QTest::newRow("combining marks stay on their letter") << accented.repeated(25) << accented.repeated(24);
    QTest::newRow("cut after trimming")
        << QStringLiteral("  ") + QStringLiteral("b").repeated(24) + QStringLiteral("  ")
        << QStringLiteral("b").repeated(24);
}

void TestAppStore::nicknameToSend()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QCOMPARE(AppStore::nicknameToSend(typed), sent);
}

void TestAppStore::nicknameStoresTheAnswer()
{
    const QString accountID = m_service->addAccount(QStringLiteral("13911114444"), QStringLiteral("吴凡"));
    m_tokens->setToken(m_service->tokenFor(accountID));
    AppStore store(*m_client, *m_client, 10s);
    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::signedIn);

    Script answer;
    answer.body = R"({"ok":true,"nickname":"服务端的昵称"})";
    answer.times = 1;
    m_service->script("PATCH", "/api/session", answer);
    auto saved = std::make_shared<Outcome<bool>>();
    collectVoid(store.updateNickname(QStringLiteral("  小吴  ")), saved);
    QTRY_VERIFY(saved->finished);
    QCOMPARE(saved->error, QString());
    QCOMPARE(m_service->lastRequest().json().value(QStringLiteral("nickname")).toString(),
             QStringLiteral("小吴"));
    QCOMPARE(store.account()->nickname, std::optional<QString>(QStringLiteral("服务端的昵称")));
    QCOMPARE(store.account()->name, QStringLiteral("吴凡"));

    // A refusal reaches the caller and changes nothing.
    Script refused;
    refused.status = 400;
    refused.body = R"({"error":"昵称不能超过 20 个字"})";
    m_service->script("PATCH", "/api/session", refused);
    auto failed = std::make_shared<Outcome<bool>>();
    collectVoid(store.updateNickname(QStringLiteral("新昵称")), failed);
    QTRY_VERIFY(failed->finished);
    QCOMPARE(failed->error, QStringLiteral("昵称不能超过 20 个字"));
    QCOMPARE(store.account()->nickname, std::optional<QString>(QStringLiteral("服务端的昵称")));
}

void TestAppStore::sortProjects_data()
{
    QTest::addColumn<QList<ProjectSummary>>("projects");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("undated first") << QList<ProjectSummary>{project("a", "A", "2026-01-02"),
                                                            project("b", "B")}
                                   << QStringList{"b", "a"};
    QTest::newRow("date, then time, then name")
        << QList<ProjectSummary>{project("a", "Z", "2026-01-01", "20:00"),
                                 project("b", "Y", "2026-01-01", "19:30"),
                                 project("c", "B", "2026-01-01", "19:30"),
                                 project("d", "A", "2025-12-31", "23:00")}
        << QStringList{"d", "c", "b", "a"};
    QTest::newRow("equal keys keep their order")
        << QList<ProjectSummary>{project("first", "同名", "2026-01-01"), project("other", "甲", "2026-02-01"),
                                 project("second", "同名", "2026-01-01")}
        << QStringList{"first", "second", "other"};
    QTest::newRow("scalar order, not locale")
        << QList<ProjectSummary>{project("a", "b"), project("b", "B"), project("c", "é"), project("d", "z")}
        << QStringList{"b", "a", "d", "c"};
    QTest::newRow("composed and decomposed are one name")
        << QList<ProjectSummary>{project("a", QStringLiteral("e\u0301"), "x"),
                                 project("b", QStringLiteral("\u00e9"), "x")}
        << QStringList{"a", "b"};
}

void TestAppStore::sortProjects()
{
    QFETCH(QList<ProjectSummary>, projects);
    QFETCH(QStringList, order);
    AppStore::sortProjects(projects);
    QCOMPARE(ids(projects), order);
}

void TestAppStore::createProjectAppendsSortsAndKeepsMembershipsUnique()
{
    const QString accountID = m_service->addAccount(QStringLiteral("13911115555"), QStringLiteral("郑宇"));
    const QString late = m_service->addProject(QStringLiteral("压轴"), accountID);
    const QString early = m_service->addProject(QStringLiteral("开场"), accountID);
    m_service->withPlatform([&](FakePlatform &p) {
        p.project(late)->summary.eventDate = QStringLiteral("2026-03-01");
        p.project(early)->summary.eventDate = QStringLiteral("2026-01-01");
    });
    m_tokens->setToken(m_service->tokenFor(accountID));
    AppStore store(*m_client, *m_client, 10s);
    store.bootstrap();
    QTRY_COMPARE(store.phase(), Phase::signedIn);
    QCOMPARE(ids(store.projects()), QStringList({late, early}));
    const qsizetype membershipsBefore = store.memberships().size();

    auto created = std::make_shared<Outcome<ProjectSummary>>();
    collect(store.createProject(QStringLiteral("彩排"), QStringLiteral("2026-02-01"), QString()), created);
    QTRY_VERIFY(created->finished);
    QCOMPARE(created->error, QString());
    QCOMPARE(ids(store.projects()), QStringList({early, created->value->id, late}));
    QCOMPARE(store.memberships().size(), membershipsBefore + 1);

    // The service answers with a membership already known: it is not listed twice.
    const Membership known = store.memberships().first();
    CreateProjectResponse repeat{
        project(QStringLiteral("p-new"), QStringLiteral("加演"), QStringLiteral("2026-02-01")), known};
    Script answer;
    answer.body = QJsonDocument(repeat.toJson()).toJson(QJsonDocument::Compact);
    answer.times = 1;
    m_service->script("POST", "/api/projects", answer);
    auto again = std::make_shared<Outcome<ProjectSummary>>();
    collect(store.createProject(QStringLiteral("加演"), QStringLiteral("2026-02-01"), QString()), again);
    QTRY_VERIFY(again->finished);
    QCOMPARE(store.memberships().size(), membershipsBefore + 1);
    // Same date and no time as 彩排: the names decide (加 before 彩).
    QCOMPARE(ids(store.projects()), QStringList({early, QStringLiteral("p-new"), created->value->id, late}));

    // A refusal reaches the caller and leaves the lists alone.
    Script refused;
    refused.status = 400;
    refused.body = R"({"error":"请填写演出名称"})";
    m_service->script("POST", "/api/projects", refused);
    auto failed = std::make_shared<Outcome<ProjectSummary>>();
    collect(store.createProject(QString(), QString(), QString()), failed);
    QTRY_VERIFY(failed->finished);
    QCOMPARE(failed->error, QStringLiteral("请填写演出名称"));
    QCOMPARE(store.projects().size(), 4);
}

QTEST_GUILESS_MAIN(TestAppStore)
#include "test_app_store.moc"
