#include "ClientTestSupport.h"

#include <QJsonArray>
#include <QTcpServer>

#include <functional>
#include <tuple>

using namespace ClientTest;

namespace {

const QString adminPhone = QStringLiteral("13800000001");
const QString otherPhone = QStringLiteral("13900000002");
const QString claimPhone = QStringLiteral("13700000003");
const QString newcomerPhone = QStringLiteral("13500000006");

// Identifiers the operations are called with.
struct Ids
{
    QString project;
    QString second;
    QString item;
    QString lotteryItem;
    QString thirdItem;
    QString member;
    QString artist;
    QString group = QStringLiteral("group-x");
    QString workItem = QStringLiteral("work-x");
    QString prize = QStringLiteral("prize-x");
    QString win = QStringLiteral("win-x");
    QString invitation = QStringLiteral("invite-x");
    QString asset;
    QString admin;
    QString other;
    QString receiver; // stays active: the service refuses a suspended receiver
};

// One operation and the request it must make.
struct Operation
{
    QString name;
    std::function<QCoro::Task<>(APIClient &)> call;
    QByteArray method;
    QByteArray target;
    std::optional<QJsonObject> body;
    bool authorized = true;
};

QByteArray q(const QString &value)
{
    return APIClient::encodeQueryValue(value).toUtf8();
}

QJsonArray itemsJson(const QList<RundownItem> &items)
{
    QJsonArray array;
    for (const RundownItem &item : items) {
        array.append(item.toJson());
    }
    return array;
}

// The whole catalogue except the asset transfers, in an order the fake's state allows.
QList<Operation> catalogue(const Ids &ids, const QList<RundownItem> &rundown)
{
    const QByteArray project = "?projectId=" + q(ids.project);
    const QByteArray lottery = "/api/lottery?projectId=" + q(ids.project) + "&itemId=" + q(ids.lotteryItem);

    RundownItemPatch itemPatch;
    itemPatch.title = QStringLiteral("新标题");
    itemPatch.duration = 200;
    WorkItemPatch workPatch;
    workPatch.status = WorkItemStatus::done;
    workPatch.resolution = QStringLiteral("已处理");
    ProjectMember member;
    member.id = ids.member;
    member.name = QStringLiteral("旧名字");
    member.role = QStringLiteral("演员");
    member.detail = QStringLiteral("旧说明");
    ProjectOperations operations;
    operations.noticeTitle = QStringLiteral("集合通知");
    operations.noticeContent = QStringLiteral("下午两点到");
    operations.assemblyTime = QStringLiteral("14:00");
    operations.checkinLocation = QStringLiteral("北门");
    operations.rehearsalTime = QStringLiteral("15:00");
    operations.dinnerNote = QStringLiteral("盒饭");
    operations.noticeUpdatedAt = QStringLiteral("2025-01-01T00:00:00Z");
    operations.confirmedMemberIds = {ids.member};
    const MakeupShift shift{ids.artist, QStringLiteral("13:00"), QStringLiteral("17:00"),
                            QStringLiteral("化妆间")};
    const MakeupAssignment assignment{ids.member, ids.artist, QStringLiteral("13:30"), 25,
                                      QStringLiteral("待化妆")};
    const LotteryPrize prize{ids.prize,   QStringLiteral("一等奖"), QStringLiteral("耳机"), 3, QString(),
                             std::nullopt};

    const auto lotteryBody = [](const char *action, QJsonObject more = {}) {
        more.insert(QStringLiteral("action"), QString::fromLatin1(action));
        return more;
    };
    const auto adminBody = [](const char *action, const QString &id, QJsonObject more = {}) {
        more.insert(QStringLiteral("action"), QString::fromLatin1(action));
        more.insert(QStringLiteral("id"), id);
        return more;
    };
    const auto none = std::optional<QJsonObject>();

    return {
        {"requestCode", [=](APIClient &c) { return discard(c.requestCode(adminPhone)); }, "POST",
         "/api/auth/request-code", QJsonObject{{"phone", adminPhone}}, false},
        {"login", [=](APIClient &c) { return discard(c.login(adminPhone, FakeService::smsCode, QString())); },
         "POST", "/api/auth/verify-code",
         QJsonObject{{"phone", adminPhone}, {"code", FakeService::smsCode}, {"name", QString()}}, false},
        {"session", [=](APIClient &c) { return discard(c.session()); }, "GET", "/api/session", none},
        {"updateNickname", [=](APIClient &c) { return discard(c.updateNickname(QStringLiteral("小王"))); },
         "PATCH", "/api/session", QJsonObject{{"nickname", "小王"}}},
        {"projects", [=](APIClient &c) { return discard(c.projects()); }, "GET", "/api/projects", none},
        {"createProject",
         [=](APIClient &c) {
             return discard(c.createProject(QStringLiteral("新演出"), QString(), QString()));
         },
         "POST", "/api/projects", QJsonObject{{"name", "新演出"}, {"eventDate", ""}, {"startTime", ""}}},
        {"addRundownItem", [=](APIClient &c) { return discard(c.addRundownItem(ids.project)); }, "POST",
         "/api/rundown-items" + project, none},
        {"previewRundownImport",
         [=](APIClient &c) { return discard(c.previewRundownImport(ids.project, "开场,歌曲,3:00,甲,乙\n")); },
         "POST", "/api/rundown-import" + project,
         QJsonObject{
             {"contentBase64", QString::fromLatin1(QByteArray("开场,歌曲,3:00,甲,乙\n").toBase64())}}},
        {"replaceRundown", [=](APIClient &c) { return discard(c.replaceRundown(ids.project, rundown)); },
         "PUT", "/api/project" + project, QJsonObject{{"items", itemsJson(rundown)}}},
        {"exportRundown", [=](APIClient &c) { return discard(c.exportRundown(ids.project)); }, "GET",
         "/api/rundown-export" + project, none},
        {"project", [=](APIClient &c) { return discard(c.project(ids.project)); }, "GET",
         "/api/project" + project, none},
        {"workItems", [=](APIClient &c) { return discard(c.workItems(ids.project)); }, "GET",
         "/api/work-items" + project, none},
        {"createWorkItem",
         [=](APIClient &c) {
             return discard(c.createWorkItem(ids.project, WorkItemKind::preShow, ids.item, ids.member,
                                             QStringLiteral("调音"), QStringLiteral("检查话筒"),
                                             WorkItemPriority::urgent));
         },
         "POST", "/api/work-items" + project,
         QJsonObject{{"kind", toWire(WorkItemKind::preShow)},
                     {"itemId", ids.item},
                     {"assigneeMemberId", ids.member},
                     {"title", "调音"},
                     {"description", "检查话筒"},
                     {"priority", toWire(WorkItemPriority::urgent)},
                     {"blocking", true}}},
        {"updateWorkItem",
         [=](APIClient &c) { return discard(c.updateWorkItem(ids.project, ids.workItem, workPatch)); },
         "PATCH", "/api/work-items" + project,
         QJsonObject{
             {"id", ids.workItem},
             {"workItem", QJsonObject{{"status", toWire(WorkItemStatus::done)}, {"resolution", "已处理"}}}}},
        {"liveAction",
         [=](APIClient &c) { return discard(c.liveAction(ids.project, ids.item, QStringLiteral("start"))); },
         "PATCH", "/api/project" + project, QJsonObject{{"liveAction", "start"}, {"id", ids.item}}},
        {"resetLive", [=](APIClient &c) { return discard(c.resetLive(ids.project)); }, "PATCH",
         "/api/project" + project, QJsonObject{{"resetLive", true}}},
        {"freezeFlow on", [=](APIClient &c) { return discard(c.freezeFlow(ids.second, true)); }, "PATCH",
         "/api/project?projectId=" + q(ids.second), QJsonObject{{"freezeFlow", true}}},
        {"freezeFlow off", [=](APIClient &c) { return discard(c.freezeFlow(ids.project, false)); }, "PATCH",
         "/api/project" + project, QJsonObject{{"freezeFlow", false}}},
        {"updateItem", [=](APIClient &c) { return discard(c.updateItem(ids.project, ids.item, itemPatch)); },
         "PATCH", "/api/project" + project,
         QJsonObject{{"id", ids.item}, {"item", QJsonObject{{"title", "新标题"}, {"duration", 200}}}}},
        {"reorderItems",
         [=](APIClient &c) {
             return discard(c.reorderItems(ids.project, {ids.thirdItem, ids.item, ids.lotteryItem}));
         },
         "PATCH", "/api/project" + project,
         QJsonObject{{"order", QJsonArray{QJsonObject{{"id", ids.thirdItem}, {"order", 1}},
                                          QJsonObject{{"id", ids.item}, {"order", 2}},
                                          QJsonObject{{"id", ids.lotteryItem}, {"order", 3}}}}}},
        {"reorderItems empty", [=](APIClient &c) { return discard(c.reorderItems(ids.project, {})); },
         "PATCH", "/api/project" + project, QJsonObject{{"order", QJsonArray()}}},
        {"decidePerformerGroup",
         [=](APIClient &c) {
             return discard(
                 c.decidePerformerGroup(ids.project, QStringLiteral("合唱团"), QStringLiteral("group")));
         },
         "PATCH", "/api/groups" + project,
         QJsonObject{{"action", "decide"}, {"name", "合唱团"}, {"decision", "group"}}},
        {"updatePerformerGroupMember add",
         [=](APIClient &c) {
             return discard(c.updatePerformerGroupMember(ids.project, ids.group, ids.member, true));
         },
         "PATCH", "/api/groups" + project,
         QJsonObject{{"action", "addMember"}, {"groupId", ids.group}, {"memberId", ids.member}}},
        {"updatePerformerGroupMember remove",
         [=](APIClient &c) {
             return discard(c.updatePerformerGroupMember(ids.project, ids.group, ids.member, false));
         },
         "PATCH", "/api/groups" + project,
         QJsonObject{{"action", "removeMember"}, {"groupId", ids.group}, {"memberId", ids.member}}},
        {"checkIn", [=](APIClient &c) { return discard(c.checkIn(ids.project, ids.member, true)); }, "PATCH",
         "/api/checkin" + project, QJsonObject{{"memberId", ids.member}, {"checkedIn", true}}},
        {"updateMember",
         [=](APIClient &c) {
             return discard(c.updateMember(ids.project, member, QStringLiteral("新名字"),
                                           QStringLiteral("主持人"), QStringLiteral("新说明"),
                                           QStringLiteral("后台、舞台")));
         },
         "PATCH", "/api/members" + project,
         QJsonObject{{"memberId", ids.member},
                     {"name", "新名字"},
                     {"role", "主持人"},
                     {"detail", "新说明"},
                     {"passAreas", "后台、舞台"}}},
        {"createInvitation bare",
         [=](APIClient &c) {
             return discard(c.createInvitation(ids.project, QStringLiteral("新人"), QStringLiteral("演员"),
                                               std::nullopt, std::nullopt, std::nullopt, std::nullopt));
         },
         "POST", "/api/invitations",
         QJsonObject{{"projectId", ids.project}, {"name", "新人"}, {"role", "演员"}}},
        {"createInvitation full",
         [=](APIClient &c) {
             return discard(c.createInvitation(ids.project, QStringLiteral("新人二"), QStringLiteral("演员"),
                                               otherPhone, ids.item, QStringLiteral("performers"),
                                               ids.group));
         },
         "POST", "/api/invitations",
         QJsonObject{{"projectId", ids.project},
                     {"name", "新人二"},
                     {"role", "演员"},
                     {"phone", otherPhone},
                     {"itemId", ids.item},
                     {"field", "performers"},
                     {"groupId", ids.group}}},
        {"sendInvitationSMS",
         [=](APIClient &c) { return discard(c.sendInvitationSMS(ids.invitation, otherPhone)); }, "POST",
         "/api/invitations",
         QJsonObject{{"action", "sendSms"}, {"token", ids.invitation}, {"phone", otherPhone}}},
        {"lottery", [=](APIClient &c) { return discard(c.lottery(ids.project, ids.lotteryItem)); }, "GET",
         lottery, none},
        {"saveLottery",
         [=](APIClient &c) {
             return discard(
                 c.saveLottery(ids.project, ids.lotteryItem, QStringLiteral("rehearsal"), {prize}));
         },
         "POST", lottery,
         lotteryBody("save", {{"mode", "rehearsal"}, {"prizes", QJsonArray{prize.toJson()}}})},
        {"setLotteryScreen",
         [=](APIClient &c) {
             return discard(c.setLotteryScreen(ids.project, ids.lotteryItem, QStringLiteral("qr")));
         },
         "POST", lottery, lotteryBody("screen", {{"mode", "qr"}})},
        {"resetLotteryRehearsal",
         [=](APIClient &c) { return discard(c.resetLotteryRehearsal(ids.project, ids.lotteryItem)); }, "POST",
         lottery, lotteryBody("resetRehearsal")},
        {"setLotteryMode",
         [=](APIClient &c) {
             return discard(c.setLotteryMode(ids.project, ids.lotteryItem, QStringLiteral("formal")));
         },
         "POST", lottery, lotteryBody("mode", {{"mode", "formal"}})},
        {"setLotteryEntry",
         [=](APIClient &c) { return discard(c.setLotteryEntry(ids.project, ids.lotteryItem, true)); }, "POST",
         lottery, lotteryBody("entry", {{"open", true}})},
        {"startLotteryDraw",
         [=](APIClient &c) { return discard(c.startLotteryDraw(ids.project, ids.lotteryItem, ids.prize)); },
         "POST", lottery, lotteryBody("drawStart", {{"prizeId", ids.prize}})},
        {"stopLotteryDraw",
         [=](APIClient &c) { return discard(c.stopLotteryDraw(ids.project, ids.lotteryItem)); }, "POST",
         lottery, lotteryBody("drawStop")},
        {"markLotteryNoShow",
         [=](APIClient &c) { return discard(c.markLotteryNoShow(ids.project, ids.lotteryItem, ids.win)); },
         "POST", lottery, lotteryBody("noShow", {{"winId", ids.win}})},
        {"claimLottery",
         [=](APIClient &c) { return discard(c.claimLottery(ids.project, ids.lotteryItem, claimPhone)); },
         "POST", lottery, lotteryBody("claim", {{"phone", claimPhone}})},
        {"adminOverview", [=](APIClient &c) { return discard(c.adminOverview()); }, "GET",
         "/api/admin?view=overview", none},
        {"adminUsers", [=](APIClient &c) { return discard(c.adminUsers()); }, "GET", "/api/admin?view=users",
         none},
        {"adminProjects", [=](APIClient &c) { return discard(c.adminProjects()); }, "GET",
         "/api/admin?view=projects", none},
        {"adminProject", [=](APIClient &c) { return discard(c.adminProject(ids.project)); }, "GET",
         "/api/admin?view=project&id=" + q(ids.project), none},
        {"adminAssets", [=](APIClient &c) { return discard(c.adminAssets()); }, "GET",
         "/api/admin?view=assets", none},
        {"adminLogs", [=](APIClient &c) { return discard(c.adminLogs()); }, "GET", "/api/admin?view=logs",
         none},
        {"setAdminAccountStatus",
         [=](APIClient &c) {
             return discard(c.setAdminAccountStatus(ids.other, QStringLiteral("suspended")));
         },
         "PATCH", "/api/admin", adminBody("accountStatus", ids.other, {{"status", "suspended"}})},
        {"setAdminProjectStatus",
         [=](APIClient &c) { return discard(c.setAdminProjectStatus(ids.second, QStringLiteral("进行中"))); },
         "PATCH", "/api/admin", adminBody("projectStatus", ids.second, {{"status", "进行中"}})},
        {"transferAdminProject",
         [=](APIClient &c) { return discard(c.transferAdminProject(ids.second, ids.receiver)); }, "PATCH",
         "/api/admin", adminBody("transferProject", ids.second, {{"targetAccountId", ids.receiver}})},
        {"archiveAdminAsset", [=](APIClient &c) { return discard(c.archiveAdminAsset(ids.asset)); }, "PATCH",
         "/api/admin", adminBody("archiveAsset", ids.asset)},
        {"restoreAdminAsset", [=](APIClient &c) { return discard(c.restoreAdminAsset(ids.asset)); }, "PATCH",
         "/api/admin", adminBody("restoreAsset", ids.asset)},
        {"lotteryAction",
         [=](APIClient &c) {
             LotteryActionPayload payload;
             payload.action = QStringLiteral("entry");
             payload.open = false;
             return discard(c.lotteryAction(ids.project, ids.lotteryItem, payload));
         },
         "POST", lottery, lotteryBody("entry", {{"open", false}})},
        {"confirmNotice", [=](APIClient &c) { return discard(c.confirmNotice(ids.project)); }, "PATCH",
         "/api/operations" + project, QJsonObject{{"action", "confirmNotice"}}},
        {"saveOperations", [=](APIClient &c) { return discard(c.saveOperations(ids.project, operations)); },
         "PATCH", "/api/operations" + project,
         QJsonObject{{"action", "saveOperations"},
                     {"noticeTitle", "集合通知"},
                     {"noticeContent", "下午两点到"},
                     {"assemblyTime", "14:00"},
                     {"checkinLocation", "北门"},
                     {"rehearsalTime", "15:00"},
                     {"dinnerNote", "盒饭"}}},
        {"saveMakeupShift", [=](APIClient &c) { return discard(c.saveMakeupShift(ids.project, shift)); },
         "PATCH", "/api/operations" + project,
         QJsonObject{{"action", "saveMakeupShift"},
                     {"artistMemberId", ids.artist},
                     {"startTime", "13:00"},
                     {"endTime", "17:00"},
                     {"location", "化妆间"}}},
        {"saveMakeup", [=](APIClient &c) { return discard(c.saveMakeup(ids.project, assignment)); }, "PATCH",
         "/api/operations" + project,
         QJsonObject{{"action", "saveMakeup"},
                     {"memberId", ids.member},
                     {"artistMemberId", ids.artist},
                     {"scheduledTime", "13:30"},
                     {"durationMinutes", 25},
                     {"status", "待化妆"}}},
        {"logout", [=](APIClient &c) { return c.logout(); }, "DELETE", "/api/session", none},
    };
}

} // namespace

class TestAPICatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void everyOperation_data();
    void everyOperation();
    void everyQueryCarriesItsIdentifiers();
    void loginStoresTheToken();
    void loginFailures_data();
    void loginFailures();
    void logoutNeverFails();

private:
    void seed();

    FakeService m_fake;
    Ids m_ids;
    QList<RundownItem> m_rundown;
    QList<Operation> m_operations;
    std::unique_ptr<Rig> m_rig;
};

void TestAPICatalogue::initTestCase()
{
    QVERIFY(m_fake.start());
    seed();
    m_operations = catalogue(m_ids, m_rundown);
}

void TestAPICatalogue::cleanupTestCase()
{
    m_rig.reset();
    m_fake.stop();
}

void TestAPICatalogue::init()
{
    m_rig = std::make_unique<Rig>(QUrl(m_fake.baseUrl()));
    // A fresh token per test: signing out only ends that one.
    m_rig->store->setToken(m_fake.tokenFor(m_ids.admin));
    m_fake.clearScripts();
    m_fake.clearRequests();
}

void TestAPICatalogue::seed()
{
    m_ids.admin = m_fake.addAccount(adminPhone, QStringLiteral("管理员"), true);
    m_ids.other = m_fake.addAccount(otherPhone, QStringLiteral("赵六"));
    m_ids.receiver = m_fake.addAccount(QStringLiteral("13900000012"), QStringLiteral("钱七"));
    m_ids.project = m_fake.addProject(QStringLiteral("春节联欢"), m_ids.admin);
    m_ids.second = m_fake.addProject(QStringLiteral("小型演出"), m_ids.admin);
    m_ids.item = m_fake.addItem(m_ids.project, QStringLiteral("开场歌舞"), QStringLiteral("歌曲"));
    m_ids.lotteryItem = m_fake.addItem(m_ids.project, QStringLiteral("幸运抽奖"), QStringLiteral("抽奖"));
    m_ids.thirdItem = m_fake.addItem(m_ids.project, QStringLiteral("谢幕"), QStringLiteral("节目"));
    m_ids.member = m_fake.addMember(m_ids.project, QStringLiteral("李四"), QStringLiteral("演员"));
    m_ids.artist = m_fake.addMember(m_ids.project, QStringLiteral("王五"), QStringLiteral("化妆师"));

    const Ids ids = m_ids;
    std::tie(m_ids.asset, m_rundown) = m_fake.withPlatform([&ids](FakePlatform &p) {
        FakeProject &show = *p.project(ids.project);
        show.performerGroups.append(
            PerformerGroup{ids.group, QStringLiteral("合唱团"), QStringLiteral("individual"), {}});
        WorkItem work;
        work.id = ids.workItem;
        work.projectId = ids.project;
        work.title = QStringLiteral("准备话筒");
        show.workItems.append(work);
        FakeLottery &lottery = show.lotteries[ids.lotteryItem];
        lottery.itemId = ids.lotteryItem;
        lottery.prizes.append(
            FakeLotteryPrize{ids.prize, QStringLiteral("一等奖"), QStringLiteral("耳机"), 2, {}});
        lottery.entries.append(FakeLotteryEntry{QStringLiteral("13600000004"), QStringLiteral("观众甲")});
        FakeLotteryWinner winner;
        winner.id = ids.win;
        winner.prizeId = ids.prize;
        winner.displayName = QStringLiteral("观众乙");
        winner.phone = QStringLiteral("13600000005");
        // Formal wins: the catalogue resets the rehearsal before it marks and claims them.
        winner.rehearsal = false;
        lottery.winners.append(winner);
        FakeLotteryWinner formalWinner = winner;
        formalWinner.id = QStringLiteral("win-formal");
        formalWinner.phone = claimPhone;
        formalWinner.rehearsal = false;
        lottery.winners.append(formalWinner);
        FakeInvitation invitation;
        invitation.token = ids.invitation;
        invitation.projectId = ids.project;
        invitation.memberId = ids.member;
        invitation.name = QStringLiteral("李四");
        invitation.role = QStringLiteral("演员");
        p.invitations.append(invitation);
        p.requestedCodes.insert(adminPhone, FakePlatform::smsCode);
        const QString asset =
            p.attachAsset(ids.project, ids.item, QStringLiteral("audio"), QStringLiteral("a.mp3"), "ID3", 3);
        return std::make_pair(asset, p.project(ids.project)->items);
    });
}

// Every operation against the fake: the exact request, and an answer the client accepts.
void TestAPICatalogue::everyOperation_data()
{
    QTest::addColumn<int>("index");
    for (qsizetype i = 0; i < m_operations.size(); ++i) {
        QTest::newRow(qPrintable(m_operations.at(i).name)) << static_cast<int>(i);
    }
}

void TestAPICatalogue::everyOperation()
{
    QFETCH(int, index);
    const Operation &operation = m_operations.at(index);
    const QString token = *m_rig->store->token();

    SETTLE(result, operation.call(*m_rig->client));
    QVERIFY2(result.succeeded(), qPrintable(result.kind()));
    QCOMPARE(m_fake.requestCount(), 1);

    const RecordedRequest request = m_fake.lastRequest();
    QCOMPARE(request.method, operation.method);
    QCOMPARE(request.target, operation.target);
    QCOMPARE(request.header("Accept"), QByteArray("application/json"));
    QCOMPARE(request.hasHeader("Authorization"), operation.authorized);
    if (operation.authorized) {
        QCOMPARE(request.header("Authorization"), "Bearer " + token.toUtf8());
    }
    QCOMPARE(request.hasHeader("Content-Type"), operation.body.has_value());
    if (operation.body) {
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(QStringList(request.json().keys()), QStringList(operation.body->keys()));
        QCOMPARE(request.json(), *operation.body);
    } else {
        QCOMPARE(request.body, QByteArray());
    }
}

// Identifiers that would break a query unencoded arrive intact in every operation that puts one there.
void TestAPICatalogue::everyQueryCarriesItsIdentifiers()
{
    Ids ids = m_ids;
    ids.project = QStringLiteral("演出 1&view=x+y#z");
    ids.second = ids.project;
    ids.lotteryItem = QStringLiteral("抽奖/%20'");
    const QList<Operation> operations = catalogue(ids, {});
    for (const Operation &operation : operations) {
        m_fake.clearRequests();
        SETTLE(result, operation.call(*m_rig->client));
        const RecordedRequest request = m_fake.lastRequest();
        QVERIFY2(!request.method.isEmpty(), qPrintable(operation.name));
        QCOMPARE(request.target, operation.target);
        if (request.hasQueryItem(QStringLiteral("projectId"))) {
            QCOMPARE(request.queryItem(QStringLiteral("projectId")), ids.project);
        }
        if (request.hasQueryItem(QStringLiteral("itemId"))) {
            QCOMPARE(request.queryItem(QStringLiteral("itemId")), ids.lotteryItem);
        }
        if (request.path == "/api/admin" && request.hasQueryItem(QStringLiteral("id"))) {
            QCOMPARE(request.queryItem(QStringLiteral("id")), ids.project);
            QCOMPARE(request.queryItemNames(), (QList<QByteArray>{"view", "id"}));
        }
    }
}

void TestAPICatalogue::loginStoresTheToken()
{
    m_rig->store->setToken(std::nullopt);
    SETTLE(code, m_rig->client->requestCode(newcomerPhone));
    QVERIFY2(code.succeeded(), qPrintable(code.kind()));
    SETTLE(login, m_rig->client->login(newcomerPhone, FakeService::smsCode, QStringLiteral("新来的")));
    QVERIFY2(login.succeeded(), qPrintable(login.kind()));
    QVERIFY(m_rig->store->token().has_value());

    // The stored token is the one the service handed out: it signs the next request in.
    SETTLE(session, m_rig->client->session());
    QVERIFY(session.succeeded());
    QVERIFY(session.value->authenticated);
    QCOMPARE(session.value->account->phone, newcomerPhone);
}

void TestAPICatalogue::loginFailures_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<QString>("outcome");

    const QByteArray complete =
        R"({"ok":true,"accessToken":"t1","tokenType":"Bearer","expiresAt":"2030-01-01"})";
    QTest::newRow("keychain refuses") << complete << true << QStringLiteral("tokenStore");
    QTest::newRow("no expiresAt") << QByteArray(R"({"ok":true,"accessToken":"t1","tokenType":"Bearer"})")
                                  << false << QStringLiteral("decoding");
    for (const char *token : {"t1\\r\\nX-Injected: 1", "t 1", "t1\\u0000"}) {
        QTest::newRow(token) << QByteArray(R"({"ok":true,"accessToken":")") + token +
                                    R"(","tokenType":"Bearer","expiresAt":"2030-01-01"})"
                             << false << QStringLiteral("invalidResponse");
    }
}

// A sign-in that cannot keep its token leaves none behind.
void TestAPICatalogue::loginFailures()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, saveFails);
    QFETCH(QString, outcome);

    Script script;
    script.body = answer;
    m_fake.script("POST", "/api/auth/verify-code", script);
    m_rig->store->setToken(QStringLiteral("old"));
    if (saveFails) {
        m_rig->store->failSaveWith(-25299);
    }
    SETTLE(login, m_rig->client->login(adminPhone, FakeService::smsCode, QString()));
    QCOMPARE(login.kind(), outcome);
    QCOMPARE(m_rig->store->token(), saveFails ? std::nullopt : std::optional<QString>(QStringLiteral("old")));
}

void TestAPICatalogue::logoutNeverFails()
{
    Script script;
    script.status = 500;
    script.body = R"({"error":"内部错误"})";
    m_fake.script("DELETE", "/api/session", script);
    SETTLE(refused, m_rig->client->logout());
    QVERIFY(refused.succeeded());

    Script broken;
    broken.body = "not json";
    m_fake.script("DELETE", "/api/session", broken);
    SETTLE(garbled, m_rig->client->logout());
    QVERIFY(garbled.succeeded());
    QCOMPARE(m_fake.requestCount(), 2);
}

QTEST_GUILESS_MAIN(TestAPICatalogue)
#include "test_api_catalogue.moc"
