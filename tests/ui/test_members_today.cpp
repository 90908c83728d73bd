#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/MacErrorBanner.h"
#include "common/MacMetricCard.h"
#include "common/PageStateStack.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacMembersView.h"
#include "workspace/MacTodayView.h"
#include "workspace/MembersRules.h"
#include "workspace/TodayRules.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QtTest>

#include <memory>

namespace {

using TestHelpers::member;

RundownItem item(const QString &id, const QString &performers, const QString &owner = {})
{
    RundownItem i;
    i.id = id;
    i.title = id;
    i.performers = performers;
    i.owner = owner;
    return i;
}

QStringList ids(const QList<ProjectMember> &members)
{
    QStringList result;
    for (const ProjectMember &m : members) {
        result << m.id;
    }
    return result;
}

QStringList ids(const QList<RundownItem> &items)
{
    QStringList result;
    for (const RundownItem &i : items) {
        result << i.id;
    }
    return result;
}

} // namespace

class TestMembersToday : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colorRule_data();
    void colorRule();
    void filter_data();
    void filter();
    void counters();
    void rowMatrix_data();
    void rowMatrix();
    void inviteRole();
    void myItems_data();
    void myItems();
    void meAndMakeup();
    void todayTexts();

    void init();
    void cleanup();
    void managerChecksMemberIn();
    void nonManagerRows();
    void refusedCheckIn();
    void memberSave();
    void todayCheckInSharesBusyMark();
    void todayWithoutMeIsAFailureWhileLoading();

private:
    // A project directed by 王导 (signed in unless another login is asked for) with 张三 registered
    // and 李四 not.
    void seed();
    void openStore(const QString &accountId);
    QPushButton *button(QWidget *page, const QString &name) const
    {
        return page->findChild<QPushButton *>(name);
    }

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<MacProjectDataStore> m_store;
    QString m_projectId;
    QString m_directorAccount, m_zhangAccount;
    QString m_directorId, m_zhangId, m_liId;
};

void TestMembersToday::colorRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("expected");
    const QColor grey(141, 143, 153);
    QTest::newRow("hash") << "#8D8F99" << grey;
    QTest::newRow("lower case, blanks around") << "  8d8f99\t" << grey;
    QTest::newRow("three digits are no short form") << "#fff" << QColor(0, 15, 255);
    QTest::newRow("top byte ignored") << "#FF336699" << QColor(51, 102, 153);
    QTest::newRow("sixteen digits") << "FFFFFFFFFF123456" << QColor(0x12, 0x34, 0x56);
    QTest::newRow("leading zeros do not count") << "00000000000000000000123456" << QColor(0x12, 0x34, 0x56);
    QTest::newRow("seventeen digits") << "1FFFFFFFFFF123456" << grey;
    QTest::newRow("trailing punctuation") << "#123456;" << QColor(0x12, 0x34, 0x56);
    QTest::newRow("empty") << "" << grey;
    QTest::newRow("lone hash") << "#" << grey;
    QTest::newRow("inner blanks") << "8D 8F 99" << grey;
    QTest::newRow("0x prefix") << "0x8D8F99" << grey;
    QTest::newRow("not hex") << "#GGHHII" << grey;
    QTest::newRow("fullwidth digits") << QStringLiteral("１２３") << grey;
    QTest::newRow("inner sign") << "12+34" << grey;
}

void TestMembersToday::colorRule()
{
    QFETCH(QString, text);
    QFETCH(QColor, expected);
    QCOMPARE(MembersRules::color(text), expected);
}

void TestMembersToday::filter_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty keeps all in order") << "" << QStringList{"a", "b", "c", "d"};
    QTest::newRow("case ignored") << "abc" << QStringList{"b"};
    QTest::newRow("across fields") << QStringLiteral("三演") << QStringList{"a"};
    QTest::newRow("role") << QStringLiteral("导演") << QStringList{"c"};
    QTest::newRow("one blank is searched for") << " " << QStringList{"d"};
    QTest::newRow("no match") << QStringLiteral("无此人") << QStringList{};
}

void TestMembersToday::filter()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    const QList<ProjectMember> members{
        member("a", QStringLiteral("张三"), QStringLiteral("演员")),
        member("b", QStringLiteral("李四"), QStringLiteral("工作人员"), QStringLiteral("ABC音控")),
        member("c", QStringLiteral("王五"), QStringLiteral("副导演")),
        member("d", QStringLiteral("Amy Li"), QStringLiteral("主持人")),
    };
    QCOMPARE(ids(MembersRules::filterMembers(members, query)), expected);
}

void TestMembersToday::counters()
{
    QList<ProjectMember> members{member("a", "A", "演员"), member("b", "B", "演员"),
                                 member("c", "C", "演员")};
    members[0].accountId = QStringLiteral("acct-1");
    members[0].checkedInAt = QStringLiteral("2025-01-01 18:00");
    members[1].accountId = QString(); // present but empty: not registered
    members[1].checkedInAt = QString();
    const auto counts = MembersRules::countMembers(members);
    QCOMPARE(counts.total, 3);
    QCOMPARE(counts.registered, 1);
    QCOMPARE(counts.checkedIn, 1);
    QCOMPARE(counts.waiting, 2);
    const auto none = MembersRules::countMembers({});
    QCOMPARE(none.total + none.registered + none.checkedIn + none.waiting, 0);
}

void TestMembersToday::rowMatrix_data()
{
    QTest::addColumn<bool>("manager");
    QTest::addColumn<bool>("own");
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("checkedIn");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("checkIn");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<bool>("invite");
    // manager own reg in run | checkIn label pass invite
    QTest::newRow("manager, other, waiting") << true << false << true << false << false //
                                             << true << QStringLiteral("代签到") << true << false;
    QTest::newRow("manager undoes a check-in") << true << false << true << true << false //
                                               << true << QStringLiteral("✓ 已签到") << true << false;
    QTest::newRow("manager, unregistered") << true << false << false << false << false //
                                           << true << QStringLiteral("代签到") << false << true;
    QTest::newRow("manager while another runs") << true << false << true << false << true //
                                                << false << QStringLiteral("代签到") << true << false;
    QTest::newRow("viewer, own row") << false << true << true << false << false //
                                     << true << QStringLiteral("签到") << true << false;
    QTest::newRow("viewer, own row checked in") << false << true << true << true << false //
                                                << false << QStringLiteral("✓ 已签到") << true << false;
    QTest::newRow("viewer, other row") << false << false << true << false << false //
                                       << false << QStringLiteral("签到") << false << false;
    QTest::newRow("viewer, other unregistered") << false << false << false << false << false //
                                                << false << QStringLiteral("签到") << false << false;
    QTest::newRow("viewer, own while running") << false << true << true << false << true //
                                               << false << QStringLiteral("签到") << true << false;
}

void TestMembersToday::rowMatrix()
{
    QFETCH(bool, manager);
    QFETCH(bool, own);
    QFETCH(bool, registered);
    QFETCH(bool, checkedIn);
    QFETCH(bool, running);
    QTEST(MembersRules::checkInEnabled(manager, own, checkedIn, running), "checkIn");
    QTEST(MembersRules::checkInLabel(manager, checkedIn), "label");
    QTEST(MembersRules::workPassEnabled(manager, own, registered), "pass");
    QTEST(MembersRules::inviteShown(manager, registered), "invite");
}

void TestMembersToday::inviteRole()
{
    QCOMPARE(MembersRules::inviteStartingRole(QStringLiteral("总导演")), QStringLiteral("副导演"));
    QCOMPARE(MembersRules::inviteStartingRole(QStringLiteral("副导演")), QStringLiteral("副导演"));
    QCOMPARE(MembersRules::inviteStartingRole(QStringLiteral("演员")), QStringLiteral("演员"));
    QCOMPARE(MembersRules::avatarText(QStringLiteral("👍🏽小明")), QStringLiteral("👍🏽"));
    QCOMPARE(MembersRules::avatarText(QString()), QString());
}

void TestMembersToday::myItems_data()
{
    QTest::addColumn<QList<RundownItem>>("items");
    QTest::addColumn<QString>("decision");
    QTest::addColumn<QStringList>("expected");
    const QString choir = QStringLiteral("星光合唱团");
    QTest::newRow("listed among performers")
        << QList<RundownItem>{item("1", QStringLiteral("张三、李四"))} << "group" << QStringList{"1"};
    QTest::newRow("whole names only")
        << QList<RundownItem>{item("1", QStringLiteral("李四（替补）")), item("2", QStringLiteral("李四四"))}
        << "group" << QStringList{};
    QTest::newRow("names trimmed") << QList<RundownItem>{item("1", QStringLiteral("张三 ,  李四 "))}
                                   << "group" << QStringList{"1"};
    QTest::newRow("case matters") << QList<RundownItem>{item("1", QStringLiteral("amy"))} << "group"
                                  << QStringList{};
    QTest::newRow("confirmed group") << QList<RundownItem>{item("1", choir)} << "group" << QStringList{"1"};
    QTest::newRow("suspected group") << QList<RundownItem>{item("1", choir)} << "suspected" << QStringList{};
    QTest::newRow("individual") << QList<RundownItem>{item("1", choir)} << "individual" << QStringList{};
    QTest::newRow("group only in owner")
        << QList<RundownItem>{item("1", {}, choir)} << "group" << QStringList{};
    QTest::newRow("own name in owner")
        << QList<RundownItem>{item("1", {}, QStringLiteral("李四"))} << "group" << QStringList{"1"};
    QTest::newRow("several paths, once, rundown order")
        << QList<RundownItem>{item("2", {}, QStringLiteral("李四")), item("1", QStringLiteral("王五")),
                              item("3", choir + QStringLiteral("、李四"), QStringLiteral("李四"))}
        << "group" << QStringList{"2", "3"};
}

void TestMembersToday::myItems()
{
    QFETCH(QList<RundownItem>, items);
    QFETCH(QString, decision);
    ProjectDetailResponse detail;
    detail.membership.id = QStringLiteral("m-li");
    detail.members = {member("m-zhang", QStringLiteral("张三"), QStringLiteral("演员")),
                      member("m-li", QStringLiteral("李四"), QStringLiteral("演员")),
                      member("m-amy", QStringLiteral("Amy"), QStringLiteral("演员"))};
    detail.performerGroups = {
        {QStringLiteral("g1"), QStringLiteral("星光合唱团"), decision, {"m-zhang", "m-li"}}};
    detail.items = items;
    const auto me = TodayRules::me(detail);
    QVERIFY(me);
    QTEST(ids(TodayRules::myItems(detail, *me)), "expected");
}

void TestMembersToday::meAndMakeup()
{
    ProjectDetailResponse detail;
    detail.membership.id = QStringLiteral("m-li");
    detail.membership.name = QStringLiteral("账号名");
    detail.members = {member("m-zhang", QStringLiteral("张三"), QStringLiteral("化妆师"))};
    QVERIFY(!TodayRules::me(detail));

    detail.members.append(member("m-li", QStringLiteral("李四"), QStringLiteral("演员")));
    const auto me = TodayRules::me(detail);
    QVERIFY(me);
    QCOMPARE(me->name, QStringLiteral("李四")); // the member's name, not the membership's

    detail.makeup = {
        {QStringLiteral("m-other"), QStringLiteral("m-zhang"), QStringLiteral("17:00"), 20, {}},
        {QStringLiteral("m-li"), QStringLiteral("m-gone"), QString(), 15, QStringLiteral("待化妆")}};
    const auto makeup = TodayRules::myMakeup(detail, *me);
    QVERIFY(makeup);
    QCOMPARE(makeup->durationMinutes, 15);
    const auto artist = TodayRules::makeupArtist(detail, *makeup);
    QVERIFY(!artist);
    QCOMPARE(TodayRules::makeupLines(*makeup, artist),
             (QStringList{QStringLiteral("时间待定 · 15 分钟"), QStringLiteral("化妆师：待安排"),
                          QStringLiteral("状态：待化妆")}));
    MakeupAssignment assigned = *makeup;
    assigned.artistMemberId = QStringLiteral("m-zhang");
    QCOMPARE(TodayRules::makeupArtist(detail, assigned)->name, QStringLiteral("张三"));
}

void TestMembersToday::todayTexts()
{
    QCOMPARE(TodayRules::durationText(0), QStringLiteral("00:00"));
    QCOMPARE(TodayRules::durationText(65), QStringLiteral("01:05"));
    QCOMPARE(TodayRules::durationText(3600), QStringLiteral("60:00"));
    // Durations are 64-bit; a large one must not wrap.
    QCOMPARE(TodayRules::durationText(qint64(1) << 32), QStringLiteral("71582788:16"));

    RundownItem live;
    live.liveStatus = RundownValues::live;
    QCOMPARE(TodayRules::itemSubtitle(live), RundownValues::live);
    QCOMPARE(TodayRules::itemTitle(live), QStringLiteral("未命名节目"));
    live.type = QStringLiteral("歌曲");
    QCOMPARE(TodayRules::itemSubtitle(live), QStringLiteral("歌曲 · 正在演出"));
    QCOMPARE(TodayRules::itemSubtitle(RundownItem()), QString());

    const ProjectOperations empty;
    QCOMPARE(TodayRules::assemblyLines(empty),
             (QStringList{QStringLiteral("时间待通知"), QStringLiteral("地点待通知")}));
    QCOMPARE(TodayRules::rehearsalLines(empty), QStringList{QStringLiteral("时间待通知")});
    QCOMPARE(TodayRules::dinnerLines(empty), QStringList{QStringLiteral("安排待通知")});

    QCOMPARE(TodayRules::checkInLabel(true), QStringLiteral("已到场签到"));
    QVERIFY(!TodayRules::checkInEnabled(true, false));
    QVERIFY(!TodayRules::checkInEnabled(false, true));
    QVERIFY(TodayRules::checkInEnabled(false, false));
}

// --- Against the fake service ---------------------------------------------------------------------

void TestMembersToday::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
}

void TestMembersToday::cleanup()
{
    if (m_service) {
        m_service->releaseHangs();
    }
    // No request of the store may outlive the client.
    if (m_store) {
        QTRY_VERIFY(!m_store->isLoading() && !m_store->busyMemberID());
    }
    m_store.reset();
    TestHelpers::shutDown(m_client, m_service);
}

void TestMembersToday::seed()
{
    m_directorAccount = m_service->addAccount(QStringLiteral("13800000001"), QStringLiteral("王导"));
    m_zhangAccount = m_service->addAccount(QStringLiteral("13800000002"), QStringLiteral("张三"));
    m_projectId = m_service->addProject(QStringLiteral("新年晚会"), m_directorAccount);
    m_zhangId =
        m_service->addMember(m_projectId, QStringLiteral("张三"), QStringLiteral("演员"), m_zhangAccount);
    m_liId = m_service->addMember(m_projectId, QStringLiteral("李四"), QStringLiteral("演员"));
    m_directorId = m_service->withPlatform(
        [&](FakePlatform &p) { return p.project(m_projectId)->memberForAccount(m_directorAccount)->id; });
}

void TestMembersToday::openStore(const QString &accountId)
{
    m_client = TestHelpers::signedInClient(*m_service, accountId);
    const ProjectSummary summary =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_projectId)->summary; });
    m_store = std::make_unique<MacProjectDataStore>(summary, *m_client);
    m_store->load(false);
    QTRY_VERIFY(m_store->detail() && !m_store->isLoading());
}

void TestMembersToday::managerChecksMemberIn()
{
    seed();
    openStore(m_directorAccount);
    MacMembersView view(*m_store);
    view.resize(1100, 700);
    view.show();

    const QString zhang = QStringLiteral("checkInButton_") + m_zhangId;
    QVERIFY(button(&view, zhang));
    QCOMPARE(button(&view, zhang)->text(), QStringLiteral("代签到"));
    QVERIFY(button(&view, QStringLiteral("addMemberButton"))->isVisible());
    QVERIFY(button(&view, QStringLiteral("inviteButton_") + m_liId));
    QVERIFY(!button(&view, QStringLiteral("inviteButton_") + m_zhangId));
    QVERIFY(!button(&view, QStringLiteral("workPassButton_") + m_liId)->isEnabled());

    // While the check-in is under way every row's check-in button waits, the others do not.
    Script hold;
    hold.hang = true;
    hold.times = 1;
    hold.passThrough = true;
    m_service->script("PATCH", "/api/checkin", hold);
    QTest::mouseClick(button(&view, zhang), Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    for (const QString &id : {m_directorId, m_zhangId, m_liId}) {
        QVERIFY(!button(&view, QStringLiteral("checkInButton_") + id)->isEnabled());
    }
    QVERIFY(button(&view, QStringLiteral("workPassButton_") + m_zhangId)->isEnabled());
    m_service->releaseHangs();

    QTRY_COMPARE(button(&view, zhang)->text(), QStringLiteral("✓ 已签到"));
    QTRY_VERIFY(button(&view, zhang)->isEnabled());
    QCOMPARE(view.findChild<MacMetricCard *>(QStringLiteral("membersCheckedInCard"))->value(),
             QStringLiteral("1"));
    QCOMPARE(view.findChild<MacMetricCard *>(QStringLiteral("membersWaitingCard"))->value(),
             QStringLiteral("2"));
    const RecordedRequest sent = m_service->requests("/api/checkin", "PATCH").constLast();
    QCOMPARE(sent.queryItem(QStringLiteral("projectId")), m_projectId);
    QCOMPARE(sent.json().value(QStringLiteral("memberId")).toString(), m_zhangId);
    QCOMPARE(sent.json().value(QStringLiteral("checkedIn")).toBool(), true);

    // A manager pressing "✓ 已签到" takes the check-in back.
    QTest::mouseClick(button(&view, zhang), Qt::LeftButton);
    QTRY_COMPARE(button(&view, zhang)->text(), QStringLiteral("代签到"));
    QCOMPARE(m_service->requests("/api/checkin", "PATCH").constLast().json().value("checkedIn").toBool(),
             false);

    // The search narrows the rows, never the counters.
    view.findChild<QLineEdit *>(QStringLiteral("memberSearchField"))->setText(QStringLiteral("李"));
    QTRY_VERIFY(!button(&view, zhang));
    QVERIFY(button(&view, QStringLiteral("checkInButton_") + m_liId));
    QCOMPARE(view.findChild<MacMetricCard *>(QStringLiteral("membersTotalCard"))->value(),
             QStringLiteral("3"));

    // Long user text ends in an ellipsis: the row's buttons stay inside a narrow page.
    const QString longName = QString(60, QChar(u'李'));
    m_service->withPlatform([&](FakePlatform &p) {
        for (ProjectMember &m : p.project(m_projectId)->members) {
            if (m.id == m_liId) {
                m.name = longName;
                m.detail = QString(200, QLatin1Char('x'));
            }
        }
    });
    view.findChild<QLineEdit *>(QStringLiteral("memberSearchField"))->clear();
    view.resize(700, 700);
    m_store->load(true);
    const auto nameOfLi = [&] {
        QWidget *block = view.findChild<QWidget *>(QStringLiteral("memberNameBlock_") + m_liId);
        return block ? block->findChild<QLabel *>(QStringLiteral("memberName"))->text() : QString();
    };
    QTRY_COMPARE(nameOfLi(), longName);
    auto *scroll = view.findChild<QScrollArea *>(QStringLiteral("membersScroll"));
    QPushButton *checkIn = button(&view, QStringLiteral("checkInButton_") + m_liId);
    QTRY_VERIFY(checkIn->mapTo(scroll->viewport(), QPoint(checkIn->width(), 0)).x() <=
                scroll->viewport()->width());
}

void TestMembersToday::nonManagerRows()
{
    seed();
    openStore(m_zhangAccount);
    MacMembersView view(*m_store);
    view.show();

    QVERIFY(!button(&view, QStringLiteral("addMemberButton"))->isVisible());
    QVERIFY(!button(&view, QStringLiteral("inviteButton_") + m_liId));
    QVERIFY(button(&view, QStringLiteral("workPassButton_") + m_zhangId)->isEnabled());
    QVERIFY(!button(&view, QStringLiteral("workPassButton_") + m_directorId)->isEnabled());
    QVERIFY(!button(&view, QStringLiteral("checkInButton_") + m_liId)->isEnabled());
    QCOMPARE(button(&view, QStringLiteral("checkInButton_") + m_liId)->text(), QStringLiteral("签到"));

    // A click on a name opens the editor only for managers.
    QWidget *block = view.findChild<QWidget *>(QStringLiteral("memberNameBlock_") + m_liId);
    QTest::mouseClick(block, Qt::LeftButton);
    QVERIFY(!view.editingMember());

    const QString own = QStringLiteral("checkInButton_") + m_zhangId;
    QTest::mouseClick(button(&view, own), Qt::LeftButton);
    QTRY_COMPARE(button(&view, own)->text(), QStringLiteral("✓ 已签到"));
    QVERIFY(!button(&view, own)->isEnabled());
}

void TestMembersToday::refusedCheckIn()
{
    seed();
    openStore(m_directorAccount);
    MacMembersView view(*m_store);
    view.show();

    Script refuse;
    refuse.status = 503;
    refuse.body = R"({"error":"签到服务暂不可用"})";
    refuse.times = 1;
    m_service->script("PATCH", "/api/checkin", refuse);
    m_service->clearRequests();
    QTest::mouseClick(button(&view, QStringLiteral("checkInButton_") + m_liId), Qt::LeftButton);

    auto *banner = view.findChild<MacErrorBanner *>();
    QTRY_COMPARE(banner->message(), QStringLiteral("签到服务暂不可用"));
    QVERIFY(!m_store->busyMemberID());
    QTRY_VERIFY(button(&view, QStringLiteral("checkInButton_") + m_liId)->isEnabled());
    QCOMPARE(button(&view, QStringLiteral("checkInButton_") + m_liId)->text(), QStringLiteral("代签到"));
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(m_service->requests("/api/project").size(), 0);
}

void TestMembersToday::memberSave()
{
    seed();
    openStore(m_directorAccount);
    const ProjectMember li = m_store->detail()->members.at(2);
    QCOMPARE(li.id, m_liId);

    bool done = false;
    bool result = false;
    QCoro::connect(MacMembersView::saveMember(m_store.get(), li, QStringLiteral("李四新"),
                                              QStringLiteral("工作人员"), QStringLiteral("灯光"),
                                              QStringLiteral("后台、舞台")),
                   this, [&](bool ok) {
                       done = true;
                       result = ok;
                   });
    QTRY_VERIFY(done);
    QVERIFY(result);
    // The reload has finished by the time the routine answers.
    QCOMPARE(m_store->detail()->members.at(2).name, QStringLiteral("李四新"));
    const RecordedRequest sent = m_service->requests("/api/members", "PATCH").constLast();
    QCOMPARE(sent.queryItem(QStringLiteral("projectId")), m_projectId);
    QCOMPARE(sent.json().value(QStringLiteral("memberId")).toString(), m_liId);
    QCOMPARE(sent.json().value(QStringLiteral("passAreas")).toString(), QStringLiteral("后台、舞台"));

    // Refused: the store's error is set, nothing reloads.
    m_service->clearRequests();
    done = false;
    QCoro::connect(
        MacMembersView::saveMember(m_store.get(), li, QString(), QStringLiteral("演员"), QString(), {}), this,
        [&](bool ok) {
            done = true;
            result = ok;
        });
    QTRY_VERIFY(done);
    QVERIFY(!result);
    QCOMPARE(m_store->error(), QStringLiteral("姓名不能为空"));
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(m_service->requests("/api/project").size(), 0);

    // The store gone before the answer: nothing is touched.
    auto doomed = std::make_unique<MacProjectDataStore>(m_store->project(), *m_client);
    done = false;
    QCoro::connect(MacMembersView::saveMember(doomed.get(), li, QStringLiteral("李四"),
                                              QStringLiteral("演员"), QString(), QString()),
                   this, [&](bool ok) {
                       done = true;
                       result = ok;
                   });
    doomed.reset();
    QTRY_VERIFY(done);
    QVERIFY(result);
}

void TestMembersToday::todayCheckInSharesBusyMark()
{
    seed();
    openStore(m_directorAccount);
    MacMembersView members(*m_store);
    MacTodayView today(*m_store);
    members.show();
    today.show();

    QPushButton *own = button(&today, QStringLiteral("todayCheckInButton"));
    QVERIFY(own);
    QCOMPARE(own->text(), QStringLiteral("到场签到"));
    QVERIFY(own->isEnabled());

    // A check-in of someone else from the members page disables the today button until it ends.
    Script hold;
    hold.hang = true;
    hold.times = 1;
    hold.passThrough = true;
    m_service->script("PATCH", "/api/checkin", hold);
    QTest::mouseClick(button(&members, QStringLiteral("checkInButton_") + m_liId), Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QTRY_VERIFY(!button(&today, QStringLiteral("todayCheckInButton"))->isEnabled());
    m_service->releaseHangs();
    QTRY_VERIFY(!m_store->busyMemberID());
    QTRY_VERIFY(button(&today, QStringLiteral("todayCheckInButton"))->isEnabled());

    QTest::mouseClick(button(&today, QStringLiteral("todayCheckInButton")), Qt::LeftButton);
    QTRY_COMPARE(button(&today, QStringLiteral("todayCheckInButton"))->text(), QStringLiteral("已到场签到"));
    QVERIFY(!button(&today, QStringLiteral("todayCheckInButton"))->isEnabled());
    QCOMPARE(m_service->requests("/api/checkin", "PATCH").constLast().json().value("memberId").toString(),
             m_directorId);
    QTRY_COMPARE(button(&members, QStringLiteral("checkInButton_") + m_directorId)->text(),
                 QStringLiteral("✓ 已签到"));
}

// A detail in which nobody is me stays a failure while a reload runs; it is nothing to wait for.
void TestMembersToday::todayWithoutMeIsAFailureWhileLoading()
{
    seed();
    openStore(m_directorAccount);
    MacTodayView today(*m_store);
    today.show();
    auto *states = today.findChild<PageStateStack *>();
    QTRY_COMPARE(states->state(), PageStateStack::State::content);

    const QByteArray withoutMe = m_service->withPlatform([&](FakePlatform &p) {
        const FakeProject &project = *p.project(m_projectId);
        ProjectDetailResponse detail = p.detail(project, *p.membershipOf(project, m_directorAccount));
        detail.members.removeIf([&](const ProjectMember &m) { return m.id == m_directorId; });
        return QJsonDocument(detail.toJson()).toJson(QJsonDocument::Compact);
    });
    m_service->script("GET", "/api/project", Script{.body = withoutMe, .times = 1});
    m_store->load(true);
    QTRY_COMPARE(states->state(), PageStateStack::State::empty);

    Script hold;
    hold.hang = true;
    hold.times = 1;
    m_service->script("GET", "/api/project", hold);
    m_store->load(false);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QVERIFY(m_store->isLoading());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(states->state(), PageStateStack::State::empty);
    m_service->releaseHangs();
}

QTEST_MAIN(TestMembersToday)
#include "test_members_today.moc"
