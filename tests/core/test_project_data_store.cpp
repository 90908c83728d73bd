#include "ClientTestSupport.h"
#include "FakeService.h"
#include "stores/MacProjectDataStore.h"

#include <QNetworkReply>
#include <QtTest>

#include <memory>

using ClientTest::settle;

namespace {

enum class Mutation {
    checkIn,
    confirmNotice,
    saveOperations,
    updateWorkItem,
    saveMakeupShift,
    saveMakeup,
};

QByteArray errorBody(const QString &message)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(QJsonDocument::Compact);
}

Script hanging(bool passThrough = false)
{
    Script script;
    script.hang = true;
    script.passThrough = passThrough;
    return script;
}

QCoro::Task<bool> finished(QCoro::Task<> task)
{
    co_await task;
    co_return true;
}

} // namespace

Q_DECLARE_METATYPE(Mutation)

class TestProjectDataStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void loadPublishesBothHalves_data();
    void loadPublishesBothHalves();
    void failedFetchKeepsWhatItMust_data();
    void failedFetchKeepsWhatItMust();
    void refusedMutationDoesNotReload_data();
    void refusedMutationDoesNotReload();
    void acceptedMutationReloadsSilently_data();
    void acceptedMutationReloadsSilently();
    void acceptedMutationSurvivesFailedReload();
    void staleLoadNeverOverwritesNewerData_data();
    void staleLoadNeverOverwritesNewerData();
    void staleWorkItemsNeverReplaceNewerOnes();
    void abortedLoadIsAnError();
    void storeDestroyedMidRequest_data();
    void storeDestroyedMidRequest();

private:
    ProjectSummary summary() const;
    std::unique_ptr<MacProjectDataStore> makeStore() const;
    QCoro::Task<bool> runMutation(MacProjectDataStore &store, Mutation mutation);
    void renameMember(const QString &memberId, const QString &name);
    void addWorkItem(const QString &title);
    int detailFetches() const;
    QByteArray currentDetailBody();

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<ClientTest::Rig> m_rig;
    QString m_projectId;
    QString m_actorId;  // the signed-in director
    QString m_memberId; // a performer to check in
    QString m_artistId;
};

void TestProjectDataStore::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    const QString accountId = m_service->addAccount(QStringLiteral("13800000001"), QStringLiteral("王导"));
    m_projectId = m_service->addProject(QStringLiteral("春季晚会"), accountId);
    m_memberId = m_service->addMember(m_projectId, QStringLiteral("李四"), QStringLiteral("演员"));
    m_artistId = m_service->addMember(m_projectId, QStringLiteral("赵六"), QStringLiteral("化妆师"));
    m_actorId = m_service->withPlatform(
        [&](FakePlatform &p) { return p.project(m_projectId)->memberForAccount(accountId)->id; });
    addWorkItem(QStringLiteral("确认话筒"));
    m_rig = std::make_unique<ClientTest::Rig>(QUrl(m_service->baseUrl()));
    m_rig->store->setToken(m_service->tokenFor(accountId));
}

void TestProjectDataStore::cleanup()
{
    m_service->releaseHangs();
    m_rig.reset();
    m_service->stop();
    m_service.reset();
}

ProjectSummary TestProjectDataStore::summary() const
{
    return m_service->withPlatform([&](FakePlatform &p) { return p.project(m_projectId)->summary; });
}

std::unique_ptr<MacProjectDataStore> TestProjectDataStore::makeStore() const
{
    return std::make_unique<MacProjectDataStore>(summary(), *m_rig->client);
}

void TestProjectDataStore::renameMember(const QString &memberId, const QString &name)
{
    m_service->withPlatform([&](FakePlatform &p) { p.project(m_projectId)->member(memberId)->name = name; });
}

void TestProjectDataStore::addWorkItem(const QString &title)
{
    m_service->withPlatform([&](FakePlatform &p) {
        WorkItem item;
        item.id = p.nextId(QStringLiteral("work"));
        item.projectId = m_projectId;
        item.title = title;
        item.createdAt = item.updatedAt = p.now();
        p.project(m_projectId)->workItems.append(item);
    });
}

int TestProjectDataStore::detailFetches() const
{
    return int(m_service->requests("/api/project", "GET").size());
}

QByteArray TestProjectDataStore::currentDetailBody()
{
    return m_service->withPlatform([&](FakePlatform &p) {
        const FakeProject &project = *p.project(m_projectId);
        const Membership membership = *p.membershipOf(project, project.member(m_actorId)->accountId.value());
        return QJsonDocument(p.detail(project, membership).toJson()).toJson(QJsonDocument::Compact);
    });
}

QCoro::Task<bool> TestProjectDataStore::runMutation(MacProjectDataStore &store, Mutation mutation)
{
    switch (mutation) {
    case Mutation::checkIn: {
        const ProjectMember member =
            *std::find_if(store.detail()->members.cbegin(), store.detail()->members.cend(),
                          [&](const ProjectMember &m) { return m.id == m_memberId; });
        auto task = store.setCheckIn(member, true);
        co_await task;
        co_return true;
    }
    case Mutation::confirmNotice: {
        auto task = store.confirmNotice();
        co_await task;
        co_return true;
    }
    case Mutation::saveOperations: {
        ProjectOperations operations;
        operations.noticeTitle = QStringLiteral("彩排通知");
        operations.noticeContent = QStringLiteral("下午两点到场");
        auto task = store.saveOperations(operations);
        co_return co_await task;
    }
    case Mutation::updateWorkItem: {
        WorkItemPatch patch;
        patch.status = WorkItemStatus::done;
        auto task = store.updateWorkItem(store.workItems().items.first(), patch);
        co_return co_await task;
    }
    case Mutation::saveMakeupShift: {
        const MakeupShift shift{m_artistId, QStringLiteral("14:00"), QStringLiteral("16:00"),
                                QStringLiteral("化妆间")};
        auto task = store.saveMakeupShift(shift);
        co_await task;
        co_return true;
    }
    case Mutation::saveMakeup: {
        const MakeupAssignment assignment{m_memberId, m_artistId, QStringLiteral("14:30"), 20,
                                          QStringLiteral("待化妆")};
        auto task = store.saveMakeup(assignment);
        co_await task;
        co_return true;
    }
    }
    co_return false;
}

void TestProjectDataStore::loadPublishesBothHalves_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QList<bool>>("loadingFlags");
    QTest::newRow("non-silent") << false << QList<bool>{true, false};
    QTest::newRow("silent") << true << QList<bool>{};
}

void TestProjectDataStore::loadPublishesBothHalves()
{
    QFETCH(bool, silent);
    QFETCH(QList<bool>, loadingFlags);

    auto store = makeStore();
    QVERIFY(!store->detail());
    QCOMPARE(store->workItems(), WorkItemsSnapshot::empty());
    QVERIFY(!store->isLoading());
    QCOMPARE(store->error(), QString());

    QList<bool> seen;
    connect(store.get(), &MacProjectDataStore::isLoadingChanged, this,
            [&] { seen.append(store->isLoading()); });
    SETTLE(done, store->load(silent));

    QCOMPARE(seen, loadingFlags);
    QVERIFY(store->detail());
    QCOMPARE(store->detail()->project.id, m_projectId);
    QCOMPARE(store->workItems().items.size(), 1);
    QCOMPARE(store->error(), QString());
    for (const RecordedRequest &request : m_service->requests()) {
        QCOMPARE(request.queryItem(QStringLiteral("projectId")), m_projectId);
    }
}

void TestProjectDataStore::failedFetchKeepsWhatItMust_data()
{
    QTest::addColumn<QByteArray>("failingPath");
    QTest::addColumn<bool>("detailRenewed");
    QTest::newRow("detail fails") << QByteArray("/api/project") << false;
    QTest::newRow("work items fail") << QByteArray("/api/work-items") << true;
}

void TestProjectDataStore::failedFetchKeepsWhatItMust()
{
    QFETCH(QByteArray, failingPath);
    QFETCH(bool, detailRenewed);

    auto store = makeStore();
    SETTLE(first, store->load(false));
    renameMember(m_memberId, QStringLiteral("李四（改）"));
    addWorkItem(QStringLiteral("检查灯光"));

    m_service->script("GET", failingPath,
                      Script{.status = 500, .body = errorBody(QStringLiteral("服务器忙"))});
    SETTLE(failed, store->load(false));
    QCOMPARE(store->error(), QStringLiteral("服务器忙"));
    QVERIFY(!store->isLoading());
    QCOMPARE(store->workItems().items.size(), 1);
    const bool renamed =
        std::any_of(store->detail()->members.cbegin(), store->detail()->members.cend(),
                    [](const ProjectMember &m) { return m.name == QStringLiteral("李四（改）"); });
    QCOMPARE(renamed, detailRenewed);

    // The error stays until a load succeeds, silent or not.
    m_service->clearScripts();
    SETTLE(recovered, store->load(true));
    QCOMPARE(store->error(), QString());
    QCOMPARE(store->workItems().items.size(), 2);
}

void TestProjectDataStore::refusedMutationDoesNotReload_data()
{
    QTest::addColumn<Mutation>("mutation");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("check-in") << Mutation::checkIn << QByteArray("/api/checkin");
    QTest::newRow("confirm notice") << Mutation::confirmNotice << QByteArray("/api/operations");
    QTest::newRow("save operations") << Mutation::saveOperations << QByteArray("/api/operations");
    QTest::newRow("update work item") << Mutation::updateWorkItem << QByteArray("/api/work-items");
    QTest::newRow("save makeup shift") << Mutation::saveMakeupShift << QByteArray("/api/operations");
    QTest::newRow("save makeup") << Mutation::saveMakeup << QByteArray("/api/operations");
}

void TestProjectDataStore::refusedMutationDoesNotReload()
{
    QFETCH(Mutation, mutation);
    QFETCH(QByteArray, path);

    auto store = makeStore();
    SETTLE(loaded, store->load(false));
    m_service->script("PATCH", path, Script{.status = 403, .body = errorBody(QStringLiteral("没有权限"))});
    // A load already under way (a page switch) when the refusal arrives.
    Script held = hanging(true);
    held.times = 1;
    m_service->script("GET", "/api/project", held);
    auto pageLoad = std::make_shared<ClientTest::Outcome<std::monostate>>();
    auto running = ClientTest::collect(store->load(true), pageLoad);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    const int fetches = detailFetches();

    SETTLE(result, runMutation(*store, mutation));
    QCOMPARE(result.value,
             std::optional<bool>(mutation == Mutation::checkIn || mutation == Mutation::confirmNotice ||
                                 mutation == Mutation::saveMakeupShift || mutation == Mutation::saveMakeup));
    QCOMPARE(store->error(), QStringLiteral("没有权限"));
    QCOMPARE(store->busyMemberID(), std::nullopt);
    QCOMPARE(detailFetches(), fetches);
    QCOMPARE(m_service->requests(path, "PATCH").size(), 1);

    // That load succeeds, yet the refusal stays to be read.
    m_service->releaseHangs();
    QTRY_VERIFY(pageLoad->finished);
    QCOMPARE(store->error(), QStringLiteral("没有权限"));
}

void TestProjectDataStore::acceptedMutationReloadsSilently_data()
{
    refusedMutationDoesNotReload_data();
}

void TestProjectDataStore::acceptedMutationReloadsSilently()
{
    QFETCH(Mutation, mutation);
    QFETCH(QByteArray, path);

    auto store = makeStore();
    SETTLE(loaded, store->load(false));
    const int fetches = detailFetches();
    const ProjectDetailResponse before = *store->detail();
    const WorkItemsSnapshot itemsBefore = store->workItems();

    bool raisedLoading = false;
    QList<std::optional<QString>> busyAtPublish;
    connect(store.get(), &MacProjectDataStore::isLoadingChanged, this,
            [&] { raisedLoading = raisedLoading || store->isLoading(); });
    connect(store.get(), &MacProjectDataStore::detailChanged, this,
            [&] { busyAtPublish.append(store->busyMemberID()); });

    SETTLE(result, runMutation(*store, mutation));
    QCOMPARE(result.value, std::optional<bool>(true));
    QCOMPARE(store->error(), QString());
    QVERIFY(!raisedLoading);
    QCOMPARE(detailFetches(), fetches + 1);
    const QList<RecordedRequest> sent = m_service->requests(path, "PATCH");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().queryItem(QStringLiteral("projectId")), m_projectId);
    QCOMPARE(store->busyMemberID(), std::nullopt);

    // What is shown is what the reload brought.
    const ProjectDetailResponse &after = *store->detail();
    switch (mutation) {
    case Mutation::checkIn: {
        const auto member = std::find_if(after.members.cbegin(), after.members.cend(),
                                         [&](const ProjectMember &m) { return m.id == m_memberId; });
        QVERIFY(member->isCheckedIn());
        // The busy mark lasts through the reload.
        QCOMPARE(busyAtPublish, QList<std::optional<QString>>{m_memberId});
        break;
    }
    case Mutation::confirmNotice:
        QVERIFY(!before.operations.confirmedMemberIds.contains(after.membership.id));
        QVERIFY(after.operations.confirmedMemberIds.contains(after.membership.id));
        break;
    case Mutation::saveOperations:
        QCOMPARE(after.operations.noticeTitle, QStringLiteral("彩排通知"));
        break;
    case Mutation::updateWorkItem:
        QVERIFY(itemsBefore.items.first().status != WorkItemStatus::done);
        QCOMPARE(store->workItems().items.first().status, WorkItemStatus::done);
        break;
    case Mutation::saveMakeupShift:
        QCOMPARE(after.makeupShifts.size(), before.makeupShifts.size() + 1);
        break;
    case Mutation::saveMakeup:
        QCOMPARE(after.makeup.size(), before.makeup.size() + 1);
        break;
    }
}

void TestProjectDataStore::acceptedMutationSurvivesFailedReload()
{
    auto store = makeStore();
    SETTLE(loaded, store->load(false));
    m_service->script("GET", "/api/project",
                      Script{.status = 500, .body = errorBody(QStringLiteral("读取失败")), .times = 1});

    SETTLE(result, runMutation(*store, Mutation::saveOperations));
    QCOMPARE(result.value, std::optional<bool>(true));
    QCOMPARE(store->error(), QStringLiteral("读取失败"));
    QCOMPARE(store->detail()->operations.noticeTitle, QString());
}

void TestProjectDataStore::staleLoadNeverOverwritesNewerData_data()
{
    QTest::addColumn<bool>("staleFails");
    QTest::newRow("stale answer arrives") << false;
    QTest::newRow("stale load fails") << true;
}

// A load started before a check-in ends after the check-in's own reload: what it brings is older
// and must not make the check-in look undone, nor report an error.
void TestProjectDataStore::staleLoadNeverOverwritesNewerData()
{
    QFETCH(bool, staleFails);

    auto store = makeStore();
    SETTLE(loaded, store->load(false));

    const QByteArray oldBody = staleFails ? errorBody(QStringLiteral("过期")) : currentDetailBody();
    m_service->script("GET", "/api/project",
                      Script{.status = staleFails ? 500 : 200, .body = oldBody, .hang = true, .times = 1});
    auto staleOutcome = std::make_shared<ClientTest::Outcome<std::monostate>>();
    auto stale = ClientTest::collect(store->load(true), staleOutcome);
    QTRY_COMPARE(m_service->hangingCount(), 1);

    SETTLE(checkedIn, runMutation(*store, Mutation::checkIn));
    const auto isCheckedIn = [&] {
        const auto &members = store->detail()->members;
        return std::find_if(members.cbegin(), members.cend(),
                            [&](const ProjectMember &m) { return m.id == m_memberId; })
            ->isCheckedIn();
    };
    QVERIFY(isCheckedIn());

    m_service->releaseHangs();
    QTRY_VERIFY(staleOutcome->finished);
    QVERIFY(isCheckedIn());
    QCOMPARE(store->error(), QString());
    QVERIFY(!store->isLoading());
}

// The work items of a load that a newer load overtook are older and must not replace its list.
void TestProjectDataStore::staleWorkItemsNeverReplaceNewerOnes()
{
    auto store = makeStore();
    SETTLE(loaded, store->load(false));
    const QByteArray olderItems = QJsonDocument(store->workItems().toJson()).toJson(QJsonDocument::Compact);
    m_service->script("GET", "/api/work-items", Script{.body = olderItems, .hang = true, .times = 1});
    auto staleOutcome = std::make_shared<ClientTest::Outcome<std::monostate>>();
    auto stale = ClientTest::collect(store->load(true), staleOutcome);
    QTRY_COMPARE(m_service->hangingCount(), 1);

    addWorkItem(QStringLiteral("新的任务"));
    SETTLE(newer, store->load(true));
    const auto hasNewItem = [&] {
        const auto &items = store->workItems().items;
        return std::any_of(items.cbegin(), items.cend(),
                           [](const WorkItem &i) { return i.title == QStringLiteral("新的任务"); });
    };
    QVERIFY(hasNewItem());

    m_service->releaseHangs();
    QTRY_VERIFY(staleOutcome->finished);
    QVERIFY(hasNewItem());
    QCOMPARE(store->error(), QString());
}

// Qt ends a transfer time-out by aborting the reply; the person must learn that the load failed.
void TestProjectDataStore::abortedLoadIsAnError()
{
    auto store = makeStore();
    m_service->script("GET", "/api/project", hanging());
    m_service->script("GET", "/api/work-items", hanging());
    auto outcome = std::make_shared<ClientTest::Outcome<std::monostate>>();
    auto running = ClientTest::collect(store->load(false), outcome);
    QTRY_COMPARE(m_service->hangingCount(), 2);

    for (QNetworkReply *reply : m_rig->client->network().findChildren<QNetworkReply *>()) {
        reply->abort();
    }
    QTRY_VERIFY(outcome->finished);
    QCOMPARE(store->error(), QStringLiteral("请求超时。"));
    QVERIFY(!store->isLoading());
    QVERIFY(!store->detail());
}

void TestProjectDataStore::storeDestroyedMidRequest_data()
{
    QTest::addColumn<bool>("mutation");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("load") << false << QByteArray("GET") << QByteArray("/api/project");
    QTest::newRow("check-in") << true << QByteArray("PATCH") << QByteArray("/api/checkin");
}

void TestProjectDataStore::storeDestroyedMidRequest()
{
    QFETCH(bool, mutation);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);

    auto store = makeStore();
    SETTLE(loaded, store->load(false));
    m_service->script(method, path, hanging(true));
    auto outcome = std::make_shared<ClientTest::Outcome<bool>>();
    auto running = ClientTest::collect(
        mutation ? runMutation(*store, Mutation::checkIn) : finished(store->load(false)), outcome);
    QTRY_COMPARE(m_service->hangingCount(), 1);

    store.reset();
    m_service->releaseHangs();
    QTRY_VERIFY(outcome->finished);
    QVERIFY(!outcome->error);
}

QTEST_GUILESS_MAIN(TestProjectDataStore)
#include "test_project_data_store.moc"
