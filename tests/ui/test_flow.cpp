#include "FakeEndpoints.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/AsyncAction.h"
#include "common/MacErrorBanner.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"
#include "flow/FlowItemDelegate.h"
#include "flow/FlowPageState.h"
#include "flow/FlowRules.h"
#include "flow/FlowTableModel.h"
#include "flow/FlowTableView.h"
#include "flow/MacFlowHeader.h"
#include "flow/MacInlineEditor.h"
#include "flow/MacProjectFlowView.h"
#include "flow/MacReadinessSummary.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>
#include <span>

using Part = FlowItemDelegate::Part;

namespace {

RundownItem item(const QString &id, const QString &title, const QString &performers = {},
                 const QString &owner = {})
{
    RundownItem i;
    i.id = id;
    i.title = title;
    i.performers = performers;
    i.owner = owner;
    return i;
}

FlowRules::Detail detailAs(const QString &role, const QString &name = QStringLiteral("我"))
{
    ProjectDetailResponse d;
    d.membership = Membership{QStringLiteral("m-me"), QStringLiteral("p1"), name, role};
    return d;
}

// The ten role rules as one string: manage freeze playback audio video edit script upload
// configure-lottery operate-lottery.
QString ruleString(const FlowRules::Detail &d, const RundownItem &i)
{
    const bool rules[] = {
        FlowRules::canManage(d),
        FlowRules::canFreeze(d),
        FlowRules::canControlPlayback(d),
        FlowRules::canOutputAudio(d),
        FlowRules::canOutputVideo(d),
        FlowRules::canEdit(d, i),
        FlowRules::canEditScript(d, i),
        FlowRules::canUpload(d, i),
        FlowRules::canConfigureLottery(d, i),
        FlowRules::canOperateLottery(d, i),
    };
    QString out;
    for (bool rule : rules) {
        out += rule ? QLatin1Char('1') : QLatin1Char('0');
    }
    return out;
}

QStringList titles(const QList<RundownItem> &items)
{
    QStringList out;
    for (const RundownItem &i : items) {
        out.append(i.title);
    }
    return out;
}

FlowRow row(const QString &id, const QString &title)
{
    FlowRow r;
    r.item = item(id, title);
    return r;
}

// Changes a poll may bring, and whether the page must hear of them.
struct DetailChange
{
    const char *name;
    bool signalled;
    void (*apply)(ProjectDetailResponse &);
};

const DetailChange detailChanges[] = {
    {"same answer", false, [](ProjectDetailResponse &) {}},
    {"one item's notes", true, [](ProjectDetailResponse &d) { d.items[1].notes = QStringLiteral("换话筒"); }},
    {"asset absent to empty", true, [](ProjectDetailResponse &d) { d.items[0].audioAssetId = QString(); }},
    {"items swapped", true, [](ProjectDetailResponse &d) { d.items.swapItemsAt(0, 1); }},
    {"item removed", true, [](ProjectDetailResponse &d) { d.items.removeLast(); }},
    {"member checked in", true,
     [](ProjectDetailResponse &d) { d.members[0].checkedInAt = QStringLiteral("18:00"); }},
    {"group member added", true,
     [](ProjectDetailResponse &d) { d.performerGroups[0].memberIds.append(QStringLiteral("m2")); }},
    {"flow frozen", true, [](ProjectDetailResponse &d) { d.project.flowFrozen = true; }},
    {"role changed", true,
     [](ProjectDetailResponse &d) { d.membership.role = QStringLiteral("节目负责人"); }},
};

// More that a poll read piece by piece must carry to every row and every count.
const DetailChange polledChanges[] = {
    {"earlier item's duration", true, [](ProjectDetailResponse &d) { d.items[0].duration = 600; }},
    {"item inserted", true, [](ProjectDetailResponse &d) { d.items.insert(1, item("c", "小品")); }},
    {"next item goes live", true,
     [](ProjectDetailResponse &d) {
         d.items[0].liveStatus = RundownValues::finished;
         d.items[1].liveStatus = RundownValues::live;
     }},
    {"items moved, orders renumbered", true,
     [](ProjectDetailResponse &d) {
         d.items.swapItemsAt(0, 1);
         std::swap(d.items[0].order, d.items[1].order);
     }},
    {"item ready", true, [](ProjectDetailResponse &d) { d.items[1].status = RundownValues::ready; }},
    {"last item's order", true, [](ProjectDetailResponse &d) { d.items[1].order = 9; }},
    {"item's owner", true, [](ProjectDetailResponse &d) { d.items[1].owner = QStringLiteral("我"); }},
    {"project start", true, [](ProjectDetailResponse &d) { d.project.startTime = QStringLiteral("20:00"); }},
    {"role to director", true,
     [](ProjectDetailResponse &d) { d.membership.role = QStringLiteral("总导演"); }},
};

} // namespace

class TestFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void roleRules_data();
    void roleRules();
    void timeMap_data();
    void timeMap();
    void clockSeconds_data();
    void clockSeconds();
    void liveAndNext_data();
    void liveAndNext();
    void visibleItems_data();
    void visibleItems();
    void readinessPercentage_data();
    void readinessPercentage();
    void cellChecks_data();
    void cellChecks();
    void modelReconcilesByID();
    void detailSignalsOnlyRealChanges_data();
    void detailSignalsOnlyRealChanges();
    void modelFollowsPolledChanges_data();
    void repeatedIdKeepsOneTimeHiddenOrShown();
    void modelFollowsPolledChanges();

    void serviceStandsByAndAddsBlankItems();
    void pollsOneAtATimeAndStopsWithPage();
    void loadsDespiteNumbersItDoesNotRead();
    void answerOlderThanChangeIsDropped();
    void movesSendWholeOrderAndRefuseFirstUp();
    void editsTitleAndDurationThroughTable();
    void headerMakesRoomForCommands();
    void playerBarShortensLongTitles();
    void pageFacesFollowTheState();
    void tableKeepsItsPlace_data();
    void tableKeepsItsPlace();
    void clickLeavesFocusWhereItWas();
    void liveControlsByRoleAndStatus_data();
    void liveControlsByRoleAndStatus();
    void refusedActionsKeepTheRundown_data();
    void refusedActionsKeepTheRundown();
    void busyRowsRefuseAtOnceLookInertWhenSlow();
    void cellSaveOutcomes_data();
    void cellSaveOutcomes();
    void readinessCountsAndFilters_data();
    void readinessCountsAndFilters();

private:
    void signInAs(const QString &role);
    MacProjectFlowView *openPage();
    void clickPart(const QString &itemID, int column, Part part);
    MacInlineEditor *openEditor();
    QJsonObject lastPatchItem() const;
    void reloadNow();

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<MacProjectFlowView> m_page;
    QString m_accountId;
    QString m_projectId;
    QStringList m_itemIds;
};

void TestFlow::initTestCase()
{
    Theme::install();
}

void TestFlow::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_accountId = m_service->addAccount(QStringLiteral("13800000001"), QStringLiteral("王导"));
    m_projectId = m_service->addProject(QStringLiteral("春季晚会"), m_accountId);
    m_itemIds.clear();
    for (const QString &title : {QStringLiteral("开场"), QStringLiteral("歌曲"), QStringLiteral("谢幕")}) {
        m_itemIds.append(m_service->addItem(m_projectId, title, QStringLiteral("节目")));
    }
    m_client = TestHelpers::signedInClient(*m_service, m_accountId);
}

void TestFlow::cleanup()
{
    m_page.reset();
    TestHelpers::shutDown(m_client, m_service);
}

// The client becomes a new member of the project in that role.
void TestFlow::signInAs(const QString &role)
{
    const QString account = m_service->addAccount(QStringLiteral("13800000002"), role + QStringLiteral("甲"));
    m_service->addMember(m_projectId, role + QStringLiteral("甲"), role, account);
    m_client = TestHelpers::signedInClient(*m_service, account);
}

MacProjectFlowView *TestFlow::openPage()
{
    const ProjectSummary project =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_projectId)->summary; });
    m_page = std::make_unique<MacProjectFlowView>(project, *m_client, [] {});
    m_page->resize(1500, 800);
    m_page->show();
    [&] { QTRY_VERIFY(m_page->state().detail() && !m_page->state().isLoading()); }();
    return m_page.get();
}

void TestFlow::clickPart(const QString &itemID, int column, Part part)
{
    FlowTableView *table = m_page->flowTable();
    const int r = table->flowModel().rowOf(itemID);
    QVERIFY(r >= 0);
    const QRect cell = table->cellRect(itemID, column);
    const QRect target = FlowItemDelegate::partRect(table->flowModel().row(r), column, part, cell);
    QVERIFY(!target.isEmpty());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, target.center());
}

MacInlineEditor *TestFlow::openEditor()
{
    MacInlineEditor *editor = nullptr;
    const auto open = [&] {
        editor = m_page->findChild<MacInlineEditor *>(QStringLiteral("flowInlineEditor"));
        return editor && editor->isEditing();
    };
    [&] { QTRY_VERIFY(open()); }();
    return editor;
}

QJsonObject TestFlow::lastPatchItem() const
{
    const auto patches = m_service->requests("/api/project", "PATCH");
    return patches.isEmpty() ? QJsonObject() : patches.last().json().value(QStringLiteral("item")).toObject();
}

void TestFlow::reloadNow()
{
    FlowPageState &state = m_page->state();
    QSignalSpy finished(&state, &FlowPageState::reloadFinished);
    AsyncAction::run(
        &state, state.reload(true), [] {}, [](const QString &) {});
    QVERIFY(finished.wait(5000));
}

// --- Rules ------------------------------------------------------------------------------------

void TestFlow::roleRules_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("frozen");
    QTest::addColumn<QString>("performers");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("groupDecision"); // a group "星光" listing the caller, or none
    QTest::addColumn<QString>("expected");

    const QString me = QStringLiteral("我");
    QTest::newRow("no detail") << QString() << me << false << me << me << QString() << "0000000000";
    QTest::newRow("chief") << "总导演" << me << false << ""
                           << ""
                           << ""
                           << "1111111111";
    QTest::newRow("chief, frozen") << "总导演" << me << true << ""
                                   << ""
                                   << ""
                                   << "1111100011";
    QTest::newRow("deputy") << "副导演" << me << false << ""
                            << ""
                            << ""
                            << "1011111111";
    QTest::newRow("owner named second") << "节目负责人" << me << false << ""
                                        << "王五、我"
                                        << ""
                                        << "0000011111";
    QTest::newRow("owner after comma") << "节目负责人" << me << false << ""
                                       << "王五, 我"
                                       << ""
                                       << "0000011111";
    QTest::newRow("owner, frozen") << "节目负责人" << me << true << ""
                                   << "我"
                                   << ""
                                   << "0000000011";
    QTest::newRow("owner name untrimmed") << "节目负责人"
                                          << "我 " << false << ""
                                          << "我"
                                          << ""
                                          << "0000000000";
    QTest::newRow("host in performers") << "主持人" << me << false << "我、李四"
                                        << ""
                                        << ""
                                        << "0000001101";
    QTest::newRow("host not named") << "主持人" << me << false << "李四"
                                    << ""
                                    << ""
                                    << "0000000000";
    QTest::newRow("performer via group") << "演员" << me << false << "星光"
                                         << ""
                                         << "group"
                                         << "0000000100";
    QTest::newRow("performer, suspected group") << "演员" << me << false << "星光"
                                                << ""
                                                << "suspected"
                                                << "0000000000";
    QTest::newRow("sound") << "音响师" << me << false << ""
                           << ""
                           << ""
                           << "0011000000";
    QTest::newRow("video") << "视频师" << me << false << ""
                           << ""
                           << ""
                           << "0010100000";
    QTest::newRow("staff") << "工作人员" << me << false << me << me << ""
                           << "0000000000";
    QTest::newRow("makeup") << "化妆师" << me << false << me << me << ""
                            << "0000000000";
}

void TestFlow::roleRules()
{
    QFETCH(QString, role);
    QFETCH(QString, name);
    QFETCH(bool, frozen);
    QFETCH(QString, performers);
    QFETCH(QString, owner);
    QFETCH(QString, groupDecision);
    QFETCH(QString, expected);

    FlowRules::Detail d;
    if (!role.isNull()) {
        d = detailAs(role, name);
        d->project.flowFrozen = frozen;
        if (!groupDecision.isEmpty()) {
            d->performerGroups.append(PerformerGroup{QStringLiteral("g1"),
                                                     QStringLiteral("星光"),
                                                     groupDecision,
                                                     {QStringLiteral("m-x"), QStringLiteral("m-me")}});
        }
    }
    QCOMPARE(ruleString(d, item(QStringLiteral("i1"), QStringLiteral("节目"), performers, owner)), expected);
}

void TestFlow::timeMap_data()
{
    QTest::addColumn<QString>("projectStart");
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<QList<int>>("durations");
    QTest::addColumn<QString>("expected");

    QTest::newRow("counts on") << "19:30" << QStringList{"", ""} << QList<int>{300, 0} << "19:30,19:35";
    QTest::newRow("past midnight") << "19:30" << QStringList{"23:50", ""} << QList<int>{1200, 0}
                                   << "23:50,00:10";
    QTest::newRow("unparsable start kept")
        << "19:30" << QStringList{"", "稍后", ""} << QList<int>{300, 600, 0} << "19:30,稍后,19:45";
    QTest::newRow("loose start") << "" << QStringList{"7:5", ""} << QList<int>{60, 0} << "7:5,07:06";
    QTest::newRow("no project start") << "x" << QStringList{""} << QList<int>{0} << "00:00";
    QTest::newRow("no items") << "19:30" << QStringList{} << QList<int>{} << "";
}

void TestFlow::timeMap()
{
    QFETCH(QString, projectStart);
    QFETCH(QStringList, starts);
    QFETCH(QList<int>, durations);
    QFETCH(QString, expected);

    FlowRules::Detail d = detailAs(QStringLiteral("演员"));
    d->project.startTime = projectStart;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        RundownItem it = item(QString::number(i), QString());
        it.startTime = starts.at(i);
        it.duration = durations.at(i);
        d->items.append(it);
    }
    const QHash<QString, QString> map = FlowRules::timeMap(d);
    QStringList shown;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        shown.append(map.value(QString::number(i)));
    }
    QCOMPARE(shown.join(QLatin1Char(',')), expected);
    QVERIFY(FlowRules::timeMap(std::nullopt).isEmpty());
}

void TestFlow::clockSeconds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds"); // -1: none

    QTest::newRow("19:30") << "19:30" << 70200;
    QTest::newRow("leading junk dropped") << "x:19:30" << 70200;
    QTest::newRow("24:00") << "24:00" << -1;
    QTest::newRow("19:60") << "19:60" << -1;
    QTest::newRow("three pieces") << "19:30:00" << -1;
    QTest::newRow("no colon") << "1930" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestFlow::clockSeconds()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(FlowRules::clockSeconds(text).value_or(-1), seconds);
}

void TestFlow::liveAndNext_data()
{
    QTest::addColumn<QStringList>("liveStatuses");
    QTest::addColumn<QList<int>>("orders");
    QTest::addColumn<int>("live");
    QTest::addColumn<int>("next");

    QTest::newRow("nothing run") << QStringList{"", "", ""} << QList<int>{1, 2, 3} << -1 << 0;
    QTest::newRow("two finished") << QStringList{"已完成", "已完成", ""} << QList<int>{1, 2, 3} << -1 << 2;
    QTest::newRow("first live wins") << QStringList{"正在演出", "正在演出", ""} << QList<int>{1, 2, 3} << 0
                                     << 1;
    QTest::newRow("last live") << QStringList{"已完成", "正在演出"} << QList<int>{1, 2} << 1 << -1;
    QTest::newRow("by position, not order")
        << QStringList{"正在演出", "", ""} << QList<int>{1, 5, 3} << 0 << 1;
    QTest::newRow("all finished") << QStringList{"已完成"} << QList<int>{1} << -1 << -1;
}

void TestFlow::liveAndNext()
{
    QFETCH(QStringList, liveStatuses);
    QFETCH(QList<int>, orders);
    QFETCH(int, live);
    QFETCH(int, next);

    FlowRules::Detail d = detailAs(QStringLiteral("总导演"));
    for (qsizetype i = 0; i < liveStatuses.size(); ++i) {
        RundownItem it = item(QString::number(i), QString());
        it.liveStatus = liveStatuses.at(i);
        it.order = orders.at(i);
        d->items.append(it);
    }
    const auto indexOf = [](const std::optional<RundownItem> &i) { return i ? i->id.toInt() : -1; };
    QCOMPARE(indexOf(FlowRules::liveItem(d)), live);
    QCOMPARE(indexOf(FlowRules::nextItem(d)), next);
    // The page reads both from its packed marks.
    FlowPageState state(d->project, *m_client);
    state.setDetail(d);
    QCOMPARE(indexOf(state.liveItem()), live);
    QCOMPARE(indexOf(state.nextItem()), next);
}

void TestFlow::visibleItems_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("all") << ""
                         << "全部" << QStringList{"A", "VCR 片头", "舞蹈", "歌曲"};
    QTest::newRow("joined fields") << "AB"
                                   << "全部" << QStringList{"A"};
    QTest::newRow("ignores case") << "vcr"
                                  << "全部" << QStringList{"VCR 片头"};
    QTest::newRow("owner") << "周"
                           << "全部" << QStringList{"舞蹈"};
    QTest::newRow("blanks searched as typed") << " "
                                              << "全部" << QStringList{"VCR 片头"};
    QTest::newRow("status") << ""
                            << "准备中" << QStringList{"舞蹈"};
    QTest::newRow("status and search") << "A"
                                       << "待完善" << QStringList{};
}

void TestFlow::visibleItems()
{
    QFETCH(QString, query);
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);

    FlowRules::Detail d = detailAs(QStringLiteral("演员"));
    d->items = {item("1", "A", "B"), item("2", "VCR 片头"), item("3", "舞蹈", {}, "周敏"), item("4", "歌曲")};
    d->items[0].status = QStringLiteral("已就绪");
    d->items[2].status = QStringLiteral("准备中");
    d->items[3].status = QStringLiteral("待完善");
    QCOMPARE(titles(FlowRules::visibleItems(d, query, filter)), expected);
}

void TestFlow::readinessPercentage_data()
{
    QTest::addColumn<int>("ready");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("percent");

    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("1/3") << 1 << 3 << 33;
    QTest::newRow("2/3") << 2 << 3 << 66;
    QTest::newRow("29/50") << 29 << 50 << 58;
    QTest::newRow("29/100") << 29 << 100 << 29;
    QTest::newRow("all") << 7 << 7 << 100;
}

void TestFlow::readinessPercentage()
{
    QFETCH(int, ready);
    QFETCH(int, total);
    QFETCH(int, percent);
    QCOMPARE(FlowRules::readinessPercentage(ready, total), percent);
}

void TestFlow::cellChecks_data()
{
    QTest::addColumn<bool>("isDuration");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("seconds");

    QTest::newRow("24:00") << false << "24:00" << false << 0;
    QTest::newRow("7:30") << false << "7:30" << false << 0;
    QTest::newRow("07:3") << false << "07:3" << false << 0;
    QTest::newRow("07:30") << false << "07:30" << true << 0;
    QTest::newRow("23:59 padded") << false << " 23:59 " << true << 0;
    QTest::newRow("empty time") << false << "" << false << 0;
    QTest::newRow("120:00") << true << "120:00" << true << 7200;
    QTest::newRow("0:05") << true << "0:05" << true << 5;
    QTest::newRow("1:60") << true << "1:60" << false << 0;
    QTest::newRow("1234:00") << true << "1234:00" << false << 0;
}

void TestFlow::cellChecks()
{
    QFETCH(bool, isDuration);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, seconds);
    QCOMPARE(isDuration ? FlowRules::isValidDuration(text) : FlowRules::isValidStartTime(text), valid);
    if (isDuration && valid) {
        QCOMPARE(FlowRules::durationSeconds(text).value_or(-1), seconds);
    }
}

void TestFlow::modelReconcilesByID()
{
    FlowTableModel model;
    model.setRows({row("a", "A"), row("b", "B"), row("c", "C")});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    model.setRows({row("a", "A"), row("b", "B"), row("c", "C")});
    QCOMPARE(changed.size() + moved.size() + inserted.size() + removed.size(), 0);

    model.setRows({row("a", "A"), row("b", "B2"), row("c", "C")});
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 1);

    model.setRows({row("c", "C"), row("a", "A"), row("b", "B2"), row("d", "D")});
    QCOMPARE(moved.size(), 1);
    QCOMPARE(inserted.size(), 1);
    model.setRows({row("a", "A"), row("d", "D")});
    QCOMPARE(removed.size(), 2);
    QCOMPARE(reset.size(), 0);
    QStringList ids;
    for (const FlowRow &r : model.rows()) {
        ids.append(r.item.id);
    }
    QCOMPARE(ids, (QStringList{"a", "d"}));
}

void TestFlow::detailSignalsOnlyRealChanges_data()
{
    QTest::addColumn<int>("change");
    for (int i = 0; i < int(std::size(detailChanges)); ++i) {
        QTest::newRow(detailChanges[i].name) << i;
    }
}

// Polls mostly answer the same rundown; only a real difference may refresh the views.
void TestFlow::detailSignalsOnlyRealChanges()
{
    QFETCH(int, change);
    ProjectDetailResponse base = *detailAs(QStringLiteral("总导演"));
    base.items = {item("a", "开场", "乐队", "王导"), item("b", "歌曲")};
    ProjectMember member;
    member.id = QStringLiteral("m1");
    base.members = {member};
    PerformerGroup group;
    group.memberIds = {QStringLiteral("m1")};
    base.performerGroups = {group};
    ProjectDetailResponse next = base;
    detailChanges[change].apply(next);

    FlowPageState state(base.project, *m_client);
    QSignalSpy changed(&state, &FlowPageState::detailChanged);
    state.setDetail(base);
    QCOMPARE(changed.size(), 1);
    state.setDetail(next);
    QCOMPARE(changed.size(), detailChanges[change].signalled ? 2 : 1);
    QCOMPARE(state.detail()->toJson(), next.toJson());
    state.setDetail(std::nullopt);
    state.setDetail(std::nullopt);
    QCOMPARE(changed.size(), detailChanges[change].signalled ? 3 : 2);
}

void TestFlow::modelFollowsPolledChanges_data()
{
    QTest::addColumn<const DetailChange *>("change");
    for (const std::span<const DetailChange> table :
         {std::span<const DetailChange>(detailChanges), std::span<const DetailChange>(polledChanges)}) {
        for (const DetailChange &change : table) {
            QTest::newRow(change.name) << &change;
        }
    }
}

// Polls are read piece by piece and rebuild only the rows they touched. Whatever changed, the page
// must hear of it exactly when it matters, and its detail, rows (signalled where they changed)
// and counts must equal those built afresh from the answer; then the change goes back.
// A service that repeats an id: the row shows the last such item's start time whichever way the
// table is refreshed, also while a search hides that item.
void TestFlow::repeatedIdKeepsOneTimeHiddenOrShown()
{
    ProjectDetailResponse detail = *detailAs(QStringLiteral("总导演"));
    detail.project.startTime = QStringLiteral("19:00");
    detail.items = {item("a", "开场"), item("b", "歌曲"), item("a", "谢幕")};
    for (qsizetype i = 0; i < detail.items.size(); ++i) {
        detail.items[i].order = i + 1;
        detail.items[i].duration = 300;
    }
    FlowPageState state(detail.project, *m_client);
    FlowTableModel model;
    state.applyAnswer(json::encode(detail));
    state.setQuery(QStringLiteral("开场"));
    model.refresh(state);
    QCOMPARE(model.rowCount(), 1);
    const QString shown = model.row(0).time;
    QCOMPARE(shown, state.timeMap().value(QStringLiteral("a")));
    for (const std::optional<QString> &busy :
         {std::optional<QString>(QStringLiteral("b")), std::optional<QString>()}) {
        state.setBusyItemID(busy);
        model.refresh(state);
        QCOMPARE(model.row(0).time, shown);
    }

    // Repeated by a poll while hidden: by that item alone, and with a change outside the items.
    detail.items[2].id = QStringLiteral("c");
    for (const bool itemsOnly : {true, false}) {
        FlowPageState polled(detail.project, *m_client);
        FlowTableModel table;
        polled.applyAnswer(json::encode(detail));
        polled.setQuery(QStringLiteral("开场"));
        table.refresh(polled);
        QCOMPARE(table.row(0).time, QStringLiteral("19:00"));
        ProjectDetailResponse next = detail;
        next.items[2].id = QStringLiteral("a");
        if (!itemsOnly) {
            next.membership.name = QStringLiteral("新导演");
        }
        polled.applyAnswer(json::encode(next));
        QCOMPARE(polled.lastDetailChange().itemsOnly, itemsOnly);
        table.refresh(polled);
        QCOMPARE(table.row(0).time, QStringLiteral("19:10"));
    }
}

void TestFlow::modelFollowsPolledChanges()
{
    QFETCH(const DetailChange *, change);
    ProjectDetailResponse base = *detailAs(QStringLiteral("节目负责人"));
    base.project.startTime = QStringLiteral("19:00");
    base.items = {item("a", "开场", "乐队", "王导"), item("b", "歌曲"),
                  item("d", "合唱", {}, QStringLiteral("我"))};
    for (qsizetype i = 0; i < base.items.size(); ++i) {
        base.items[i].order = i + 1;
        base.items[i].duration = 300;
        base.items[i].status = RundownValues::preparing;
    }
    base.items[0].liveStatus = RundownValues::live;
    // One member in one group, for the changes of either.
    base.members.resize(1);
    base.members[0].id = QStringLiteral("m1");
    base.performerGroups.resize(1);
    base.performerGroups[0].memberIds = {base.members[0].id};
    ProjectDetailResponse next = base;
    change->apply(next);
    // The base is an item owner's view already, so one change of the first table may be none.
    const bool differs = next.toJson() != base.toJson();

    FlowPageState state(base.project, *m_client);
    FlowTableModel model;
    connect(&state, &FlowPageState::detailChanged, &model, [&] { model.refresh(state); });
    QSignalSpy detailChanged(&state, &FlowPageState::detailChanged);
    state.applyAnswer(json::encode(base));
    for (const ProjectDetailResponse &answer : {next, base}) {
        const QList<FlowRow> before = model.rows();
        // An open editor or the selection stays with its item.
        QList<QPersistentModelIndex> held;
        for (int r = 0; r < model.rowCount(); ++r) {
            held.append(model.index(r, FlowTableModel::notes));
        }
        const qsizetype heard = detailChanged.size();
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        state.applyAnswer(json::encode(answer));

        QCOMPARE(detailChanged.size() - heard, differs ? 1 : 0);
        QCOMPARE(state.detail()->toJson(), answer.toJson());
        const FlowRules::Detail fresh = answer;
        QCOMPARE(state.liveItem().has_value(), FlowRules::liveItem(fresh).has_value());
        QCOMPARE(state.liveItem().value_or(RundownItem{}).id,
                 FlowRules::liveItem(fresh).value_or(RundownItem{}).id);
        QCOMPARE(state.nextItem().value_or(RundownItem{}).id,
                 FlowRules::nextItem(fresh).value_or(RundownItem{}).id);
        const FlowRules::ReadinessCounts counts = state.readinessCounts();
        const FlowRules::ReadinessCounts expected = FlowRules::readinessCounts(answer.items);
        QCOMPARE(QList<int>({counts.total, counts.ready, counts.preparing, counts.incomplete}),
                 QList<int>({expected.total, expected.ready, expected.preparing, expected.incomplete}));

        FlowTableModel afresh;
        afresh.refresh(state);
        QCOMPARE(model.rowCount(), afresh.rowCount());
        QSet<int> signalled;
        for (const QList<QVariant> &signal : changed) {
            for (int r = signal.at(0).toModelIndex().row(); r <= signal.at(1).toModelIndex().row(); ++r) {
                signalled.insert(r);
            }
        }
        for (int r = 0; r < model.rowCount(); ++r) {
            QVERIFY2(model.row(r).sameAs(afresh.row(r)), qPrintable(model.row(r).item.id));
            const bool kept = r < before.size() && before.at(r).item.id == model.row(r).item.id;
            if (kept && !before.at(r).sameAs(model.row(r))) {
                QVERIFY2(signalled.contains(r), qPrintable(model.row(r).item.id));
            }
        }
        QCOMPARE(reset.size(), 0);
        for (qsizetype r = 0; r < held.size(); ++r) {
            if (held.at(r).isValid()) {
                QCOMPARE(model.row(held.at(r).row()).item.id, before.at(r).item.id);
            }
        }
    }
    // Set otherwise, the detail is no longer the last answer's: the same answer must still apply.
    state.setItems({});
    state.applyAnswer(json::encode(base));
    QCOMPARE(state.detail()->toJson(), base.toJson());
    QCOMPARE(model.rowCount(), base.items.size());
}

// --- Against the fake service -----------------------------------------------------------------

void TestFlow::serviceStandsByAndAddsBlankItems()
{
    // The first ready item waits in the wings; once it is live the next one does.
    m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &project = *p.project(m_projectId);
        for (RundownItem &i : project.items) {
            i.owner = QStringLiteral("王导");
            i.performers = QStringLiteral("乐队");
        }
        project.items[0].liveStatus = RundownValues::live;
    });
    openPage();
    const auto statuses = [&] {
        QStringList out;
        for (const RundownItem &i : m_page->state().detail()->items) {
            out.append(i.status);
        }
        return out;
    };
    QCOMPARE(statuses(), (QStringList{"已就绪", "候场", "已就绪"}));

    RundownItemMutationResponse added;
    auto adding = m_client->addRundownItem(m_projectId);
    QCoro::connect(std::move(adding), this, [&](RundownItemMutationResponse r) { added = std::move(r); });
    QTRY_VERIFY(!added.item.id.isEmpty());
    QCOMPARE(added.item.title, QString());
    QCOMPARE(added.item.status, RundownValues::incomplete);
}

void TestFlow::pollsOneAtATimeAndStopsWithPage()
{
    openPage();
    FlowPageState &state = m_page->state();
    QSignalSpy started(&state, &FlowPageState::reloadStarted);
    QSignalSpy finished(&state, &FlowPageState::reloadFinished);

    // A poll that hangs: no other poll starts meanwhile.
    m_service->script("GET", "/api/project", Script{.hang = true, .times = 1, .passThrough = true});
    QVERIFY(started.wait(5000));
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QVERIFY(!started.wait(3000));
    m_service->releaseHangs();
    QVERIFY(finished.wait(5000));
    QVERIFY(started.wait(5000)); // polling resumes after the answer
    QVERIFY(finished.wait(5000));

    // The page goes away while a poll is under way: its answer touches nothing, and no poll follows.
    m_service->script("GET", "/api/project", Script{.hang = true, .times = 1, .passThrough = true});
    QTRY_COMPARE_WITH_TIMEOUT(m_service->hangingCount(), 1, 5000);
    const qsizetype before = m_service->requests("/api/project", "GET").size();
    m_page.reset();
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QVERIFY(
        !QTest::qWaitFor([&] { return m_service->requests("/api/project", "GET").size() > before; }, 3000));
}

// Integers beyond 64 bits in every object of the answer, under keys the client does not read.
void TestFlow::loadsDespiteNumbersItDoesNotRead()
{
    const QByteArray authorization = "Bearer " + m_service->tokenFor(m_accountId).toUtf8();
    QByteArray body = m_service->withPlatform([&](FakePlatform &p) {
        return answerCall(
                   p,
                   FakeCall{
                       "GET", "/api/project", "projectId=" + m_projectId.toUtf8(), authorization, {}, {}})
            .body;
    });
    body.replace("{\"", "{\"traceId\":18446744073709551616,\"x\":[-9223372036854775809],\"");
    m_service->script("GET", "/api/project", Script{.body = body});

    openPage();
    QVERIFY(m_page->state().detail());
    QCOMPARE(m_page->state().error(), QString());
    QCOMPARE(m_page->flowTable()->flowModel().rowCount(), 3);
}

void TestFlow::answerOlderThanChangeIsDropped()
{
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();
    const QByteArray oldDetail = QJsonDocument(state.detail()->toJson()).toJson();

    // A reload sent before the change and answered after it, with the rundown before the change.
    m_service->script("GET", "/api/project", Script{.body = oldDetail, .hang = true, .times = 1});
    QSignalSpy finished(&state, &FlowPageState::reloadFinished);
    AsyncAction::run(
        &state, state.reload(true), [] {}, [](const QString &) {});
    QTRY_COMPARE(m_service->hangingCount(), 1);

    RundownItemPatch patch;
    patch.title = QStringLiteral("新标题");
    std::optional<bool> accepted;
    AsyncAction::run(
        &state, state.updateItem(m_itemIds.first(), patch), [&](bool ok) { accepted = ok; },
        [](const QString &) {});
    QTRY_VERIFY(accepted.has_value());
    QVERIFY(*accepted);
    QCOMPARE(state.detail()->items.first().title, QStringLiteral("新标题"));

    m_service->releaseHangs();
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(finished.last().first().toBool(), false);
    QCOMPARE(state.detail()->items.first().title, QStringLiteral("新标题"));
}

void TestFlow::movesSendWholeOrderAndRefuseFirstUp()
{
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();

    // Moving the first item up sends nothing.
    AsyncAction::run(
        &state, state.moveItem(state.detail()->items.first(), -1), [] {}, [](const QString &) {});
    QVERIFY(!state.busyItemID());
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QVERIFY(m_service->requests("/api/project", "PATCH").isEmpty());

    clickPart(m_itemIds.first(), FlowTableModel::order, Part::moveDown);
    QCOMPARE(state.busyItemID(), std::optional<QString>(m_itemIds.first()));
    QTRY_VERIFY(!state.busyItemID());
    const auto patches = m_service->requests("/api/project", "PATCH");
    QCOMPARE(patches.size(), 1);
    const QJsonArray order = patches.first().json().value(QStringLiteral("order")).toArray();
    QCOMPARE(order.size(), 3);
    QCOMPARE(order.at(0).toObject().value(QStringLiteral("id")).toString(), m_itemIds.at(1));
    QCOMPARE(order.at(1).toObject().value(QStringLiteral("id")).toString(), m_itemIds.at(0));
    QCOMPARE(m_page->model().row(0).item.id, m_itemIds.at(1));
}

void TestFlow::editsTitleAndDurationThroughTable()
{
    openPage();
    FlowPageState &state = m_page->state();
    const QString id = m_itemIds.at(1);

    clickPart(id, FlowTableModel::title, Part::editor);
    MacInlineEditor *editor = openEditor();
    QVERIFY(editor);
    QTest::keyClick(editor->field(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor->field(), QStringLiteral("  Solo: Light "));

    // A reload that changes the cell under the open field keeps the draft.
    m_service->withPlatform(
        [&](FakePlatform &p) { p.project(m_projectId)->item(id)->title = QStringLiteral("别人改的"); });
    QSignalSpy finished(&state, &FlowPageState::reloadFinished);
    AsyncAction::run(
        &state, state.reload(true), [] {}, [](const QString &) {});
    QVERIFY(finished.wait(5000));
    QCOMPARE(editor->value(), QStringLiteral("别人改的"));
    QCOMPARE(editor->draft(), QStringLiteral("  Solo: Light "));

    QTest::keyClick(editor->field(), Qt::Key_Return);
    QTRY_VERIFY(!m_page->findChild<MacInlineEditor *>(QStringLiteral("flowInlineEditor")));
    QCOMPARE(lastPatchItem(), (QJsonObject{{"title", "Solo: Light"}}));
    QCOMPARE(m_page->model().row(1).item.title, QStringLiteral("Solo: Light"));

    // A duration that fails the check is not sent and keeps the field open.
    const qsizetype patches = m_service->requests("/api/project", "PATCH").size();
    clickPart(id, FlowTableModel::duration, Part::editor);
    editor = openEditor();
    QTest::keyClick(editor->field(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor->field(), QStringLiteral("1:60"));
    QTest::keyClick(editor->field(), Qt::Key_Return);
    QVERIFY(editor->isInvalid() && editor->isEditing());
    QCOMPARE(m_service->requests("/api/project", "PATCH").size(), patches);

    QTest::keyClick(editor->field(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor->field(), QStringLiteral("3:05"));
    QTest::keyClick(editor->field(), Qt::Key_Return);
    QTRY_VERIFY(!m_page->findChild<MacInlineEditor *>(QStringLiteral("flowInlineEditor")));
    QCOMPARE(lastPatchItem(), (QJsonObject{{"duration", 185}}));
    QCOMPARE(m_service->requests("/api/project", "PATCH").size(), patches + 1); // 1:60 was never sent
    QCOMPARE(m_page->model().row(1).item.duration, 185);
}

void TestFlow::headerMakesRoomForCommands()
{
    openPage();
    MacFlowHeader *header = m_page->header();
    for (const char *text : {"导入 Excel", "导出 Excel", "添加空白节目", "冻结流程表"}) {
        header->structureArea()->addWidget(new QPushButton(QString::fromUtf8(text)));
    }
    header->liveArea()->addWidget(new QPushButton(QStringLiteral("开演下一节目")));
    header->liveArea()->addWidget(new QPushButton(QStringLiteral("重置演出")));
    m_page->resize(2400, 800);
    QTRY_VERIFY(!header->commandsOnSecondRow());
    m_page->resize(720, 800);
    QTRY_VERIFY(header->commandsOnSecondRow());
    QTRY_VERIFY(header->searchField()->geometry().right() <= header->width());
}

// Long titles shorten in the bar instead of pushing it past a narrow window; the tooltip keeps
// the whole text.
void TestFlow::playerBarShortensLongTitles()
{
    const QString live = QStringLiteral("开场").repeated(40);
    const QString next = QStringLiteral("歌曲").repeated(40);
    m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &project = *p.project(m_projectId);
        project.items[0].liveStatus = RundownValues::live;
        project.items[0].title = live;
        project.items[1].title = next;
    });
    openPage();
    m_page->resize(980, 680);
    QTRY_VERIFY(m_page->playerBar()->isVisible());
    auto *title = m_page->findChild<QLabel *>(QStringLiteral("flowPlayingTitle"));
    auto *nextTitle = m_page->findChild<QLabel *>(QStringLiteral("flowNextItemTitle"));
    QTRY_COMPARE(title->toolTip(), live);
    QVERIFY(nextTitle->toolTip().endsWith(next));
    QTRY_VERIFY(m_page->playerBar()->geometry().right() <= m_page->width());
    for (QLabel *label : {title, nextTitle}) {
        QVERIFY(label->isVisible());
        QVERIFY(label->width() >= 60);
        QVERIFY(label->width() < label->fontMetrics().horizontalAdvance(label->text()));
    }
}

void TestFlow::pageFacesFollowTheState()
{
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();
    PageStateStack *faces = m_page->pageStates();
    QWidget *notice = m_page->findChild<QWidget *>(QStringLiteral("flowFrozenNotice"));
    QCOMPARE(faces->state(), PageStateStack::State::content);
    QVERIFY(m_page->readinessSummary()->isVisible());
    QVERIFY(!notice->isVisible());

    // The refresh shows the progress face in place of the table and hides the summary.
    m_service->script("GET", "/api/project", Script{.hang = true, .times = 1, .passThrough = true});
    QTest::mouseClick(m_page->findChild<QPushButton *>(QStringLiteral("flowRefreshButton")), Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QCOMPARE(faces->state(), PageStateStack::State::loading);
    QVERIFY(!m_page->readinessSummary()->isVisible());
    m_service->withPlatform([&](FakePlatform &p) { p.project(m_projectId)->summary.flowFrozen = true; });
    m_service->releaseHangs();
    QTRY_COMPARE(faces->state(), PageStateStack::State::content);
    QVERIFY(m_page->readinessSummary()->isVisible());
    QVERIFY(notice->isVisible());

    // A failed reload keeps the table and shows the error over it.
    m_service->script("GET", "/api/project",
                      Script{.status = 500, .body = R"({"error":"服务暂不可用"})", .times = 1});
    AsyncAction::run(
        &state, state.reload(true), [] {}, [](const QString &) {});
    QTRY_COMPARE(faces->banner()->message(), QStringLiteral("服务暂不可用"));
    QCOMPARE(faces->state(), PageStateStack::State::content);
}

void TestFlow::tableKeepsItsPlace_data()
{
    QTest::addColumn<bool>("atEnd");
    QTest::newRow("scrolled midway") << false;
    QTest::newRow("scrolled to the end") << true;
}

// Rows stay where they are on screen while the bars above them come and go, and Esc in a cell
// leaves the table where it was.
void TestFlow::tableKeepsItsPlace()
{
    QFETCH(bool, atEnd);
    for (int i = 0; i < 30; ++i) {
        m_itemIds.append(m_service->addItem(m_projectId, QStringLiteral("节目%1").arg(i)));
    }
    openPage();
    m_page->state().stop();
    QApplication::setActiveWindow(m_page.get());
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    FlowTableView *table = m_page->flowTable();
    QScrollBar *scroll = table->verticalScrollBar();
    QTRY_VERIFY(scroll->maximum() > 600);
    // At the end, the table's own range follows the bar as it goes.
    const int place = atEnd ? scroll->maximum() : 400;
    scroll->setValue(place);
    const QString id = m_itemIds.at(atEnd ? m_itemIds.size() - 3 : 12);
    const auto tableTop = [&] { return table->viewport()->mapTo(m_page.get(), QPoint()).y(); };
    const auto rowTop = [&] { return tableTop() + table->cellRect(id, 0).top(); };
    const int row = rowTop();

    clickPart(id, FlowTableModel::notes, Part::editor);
    MacInlineEditor *editor = openEditor();
    QTRY_VERIFY(editor->field()->hasFocus());
    // Tab passes the focus on; it moves no cursor of the table.
    QTest::keyClick(editor->field(), Qt::Key_Tab);
    QCOMPARE(scroll->value(), place);
    QTest::mouseClick(editor->field(), Qt::LeftButton);
    QTRY_VERIFY(editor->field()->hasFocus());
    QTest::keyClicks(editor->field(), QStringLiteral("draft"));
    QTest::keyClick(editor->field(), Qt::Key_Escape);
    QTRY_VERIFY(!m_page->findChild<MacInlineEditor *>(QStringLiteral("flowInlineEditor")));
    QCOMPARE(scroll->value(), place);
    // No other field takes the focus with its text selected for the next keystroke.
    QVERIFY(!qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    QVERIFY(m_page->model().row(m_page->model().rowOf(id)).item.notes.isEmpty());
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QVERIFY(m_service->requests("/api/project", "PATCH").isEmpty());

    struct Step
    {
        const char *name;
        void (*apply)(FakeProject &);
        bool movesTable;
    };
    const Step steps[] = {
        {"player bar appears", [](FakeProject &p) { p.items[0].liveStatus = RundownValues::live; }, true},
        {"frozen notice appears", [](FakeProject &p) { p.summary.flowFrozen = true; }, true},
        {"player bar goes, its room stays", [](FakeProject &p) { p.items[0].liveStatus.clear(); }, false},
        {"frozen notice goes", [](FakeProject &p) { p.summary.flowFrozen = false; }, true},
    };
    // The operator points at the row and keeps aiming while the page changes.
    QTest::mouseMove(table->viewport(), table->cellRect(id, FlowTableModel::title).center());
    for (const Step &step : steps) {
        const int top = tableTop();
        m_service->withPlatform([&](FakePlatform &p) { step.apply(*p.project(m_projectId)); });
        reloadNow();
        if (step.movesTable) {
            QTRY_VERIFY2(tableTop() != top, step.name);
        }
        // The anchor settles from the event loop, after the view's own range clamp.
        QVERIFY(TestHelpers::roundTrip(*m_client));
        QTRY_COMPARE(rowTop(), row);
        QVERIFY2(step.movesTable || tableTop() == top, step.name);
    }
    QVERIFY(m_page->idlePlayerBar()->isVisible());
}

// A click never gives a button the focus, so a stray Space cannot start the next item; Tab then
// Space still does.
void TestFlow::clickLeavesFocusWhereItWas()
{
    m_service->withPlatform(
        [&](FakePlatform &p) { p.project(m_projectId)->items[0].liveStatus = RundownValues::live; });
    openPage();
    m_page->state().stop();
    QApplication::setActiveWindow(m_page.get());
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    QLineEdit *search = m_page->header()->searchField();
    search->setFocus();
    QTRY_VERIFY(search->hasFocus());
    auto *barNext = m_page->findChild<QPushButton *>(QStringLiteral("flowPlayerNextButton"));
    QTRY_VERIFY(barNext->isVisible());

    QTest::mouseClick(barNext, Qt::LeftButton);
    QTRY_COMPARE(m_page->state().liveItem()->id, m_itemIds.at(1));
    QTRY_VERIFY(!m_page->state().busyItemID());
    QCOMPARE(QApplication::focusWidget(), search);
    auto *toggle = m_page->findChild<QCheckBox *>(QStringLiteral("flowAudioLinkedToggle"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->isChecked());
    QCOMPARE(QApplication::focusWidget(), search);

    for (int i = 0; i < 60 && QApplication::focusWidget() != barNext; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), barNext);
    QTest::keyClick(barNext, Qt::Key_Space);
    QTRY_COMPARE(m_page->state().liveItem()->id, m_itemIds.at(2));
}

void TestFlow::liveControlsByRoleAndStatus_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("live");    // per item: "-" not run, "L" live, "F" finished
    QTest::addColumn<QString>("control"); // "row N", "header" or "bar"
    QTest::addColumn<QString>("label");   // empty: the role is not offered it
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("target");

    const auto row = [](const char *name, const char *role, const char *live, const char *control,
                        const char *label, const char *action, int target) {
        QTest::newRow(name) << QString::fromUtf8(role) << QString::fromUtf8(live)
                            << QString::fromUtf8(control) << QString::fromUtf8(label)
                            << QString::fromUtf8(action) << target;
    };
    row("row not started", "总导演", "---", "row 1", "开演", "start", 1);
    row("row finished", "总导演", "F--", "row 0", "重新开演", "start", 0);
    row("row live", "总导演", "L--", "row 0", "停止", "stop", 0);
    row("header before the show", "总导演", "---", "header", "开演下一节目", "start", 0);
    row("header during the show", "副导演", "FL-", "header", "推进下一节目", "start", 2);
    row("bar, deputy", "副导演", "L--", "bar", "结束并开演下一个", "start", 1);
    row("bar, sound engineer", "音响师", "L--", "bar", "", "", -1);
    row("bar, video engineer", "视频师", "L--", "bar", "", "", -1);
}

void TestFlow::liveControlsByRoleAndStatus()
{
    QFETCH(QString, role);
    QFETCH(QString, live);
    QFETCH(QString, control);
    QFETCH(QString, label);
    QFETCH(QString, action);
    QFETCH(int, target);
    m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &project = *p.project(m_projectId);
        for (int i = 0; i < live.size(); ++i) {
            const QChar c = live.at(i);
            project.items[i].liveStatus = c == u'L'   ? RundownValues::live
                                          : c == u'F' ? RundownValues::finished
                                                      : QString();
        }
    });
    if (role != QStringLiteral("总导演")) {
        signInAs(role);
    }
    openPage();
    m_page->state().stop();
    if (control.startsWith(QLatin1String("row"))) {
        const QString id = m_itemIds.at(control.mid(4).toInt());
        QCOMPARE(FlowItemDelegate::liveButtonText(m_page->model().row(m_page->model().rowOf(id))), label);
        clickPart(id, FlowTableModel::live, Part::liveButton);
    } else {
        if (control == QStringLiteral("bar")) {
            QTRY_VERIFY(m_page->playerBar()->isVisible());
        }
        auto *button = m_page->findChild<QPushButton *>(control == QStringLiteral("bar")
                                                            ? QStringLiteral("flowPlayerNextButton")
                                                            : QStringLiteral("flowStartNextButton"));
        // Shown a turn of the event loop after the page is built with its first answer.
        QTRY_COMPARE(button->isVisible() ? button->text() : QString(), label);
        if (label.isEmpty()) {
            return;
        }
        button->click();
    }
    QTRY_COMPARE(m_service->requests("/api/project", "PATCH").size(), 1);
    QCOMPARE(m_service->requests("/api/project", "PATCH").first().json(),
             (QJsonObject{{"liveAction", action}, {"id", m_itemIds.at(target)}}));
    QTRY_VERIFY(!m_page->state().busyItemID());
}

void TestFlow::refusedActionsKeepTheRundown_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("status");
    QTest::newRow("live action refused") << "live" << 403;
    QTest::newRow("reset failed") << "reset" << 500;
    QTest::newRow("move refused") << "move" << 409;
}

void TestFlow::busyRowsRefuseAtOnceLookInertWhenSlow()
{
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();
    FlowTableModel &model = m_page->model();
    clickPart(m_itemIds.at(2), FlowTableModel::notes, Part::editor);
    QPointer<MacInlineEditor> editor = openEditor();
    QVERIFY(editor->isEnabled());

    m_service->script("PATCH", "/api/project", Script{.hang = true, .times = 1, .passThrough = true});
    QSignalSpy repainted(&model, &QAbstractItemModel::dataChanged);
    AsyncAction::run(
        &state, state.liveAction(QStringLiteral("start"), state.detail()->items.at(1)), [] {},
        [](const QString &) {});
    // Inert for input at once, painted as before until the answer is late.
    QCOMPARE(state.busyItemID(), std::optional<QString>(m_itemIds.at(1)));
    QVERIFY(model.row(0).busy && !model.inertShown());
    QCOMPARE(repainted.size(), 0);
    QVERIFY(!editor->isEnabled());
    clickPart(m_itemIds.at(0), FlowTableModel::order, Part::moveDown);
    QTRY_VERIFY(model.inertShown());
    QCOMPARE(repainted.size(), 1);

    // Released only once held: a request that arrives later would hang on.
    QTRY_COMPARE(m_service->hangingCount(), 1);
    m_service->releaseHangs();
    QTRY_VERIFY(!state.busyItemID());
    QVERIFY(!model.inertShown() && !model.row(0).busy);
    QVERIFY(editor && editor->isEnabled());
    QCOMPARE(model.row(1).item.liveStatus, RundownValues::live);
    // The move clicked while busy was refused, not queued.
    QCOMPARE(m_service->requests("/api/project", "PATCH").size(), 1);
}

// The error shows, no row stays busy, the rundown stays as it was, and later moves still work.
void TestFlow::refusedActionsKeepTheRundown()
{
    QFETCH(QString, action);
    QFETCH(int, status);
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();
    const QJsonObject before = state.detail()->toJson();
    m_service->script("PATCH", "/api/project",
                      Script{.status = status, .body = R"({"error":"暂不能操作"})", .times = 1});
    if (action == QStringLiteral("live")) {
        clickPart(m_itemIds.at(1), FlowTableModel::live, Part::liveButton);
    } else if (action == QStringLiteral("reset")) {
        auto *reset = m_page->findChild<QPushButton *>(QStringLiteral("flowResetLiveButton"));
        QTRY_VERIFY(reset->isVisible());
        QTest::mouseClick(reset, Qt::LeftButton);
    } else {
        clickPart(m_itemIds.at(0), FlowTableModel::order, Part::moveDown);
    }
    QTRY_COMPARE(m_page->pageStates()->banner()->message(), QStringLiteral("暂不能操作"));
    QTRY_VERIFY(!state.busyItemID());
    QCOMPARE(state.detail()->toJson(), before);
    for (const FlowRow &row : m_page->model().rows()) {
        QVERIFY(!row.busy);
    }

    clickPart(m_itemIds.at(0), FlowTableModel::order, Part::moveDown);
    QTRY_COMPARE(m_page->model().row(0).item.id, m_itemIds.at(1));
    QTRY_COMPARE(state.error(), QString());
}

void TestFlow::cellSaveOutcomes_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::newRow("save refused") << "refused";
    QTest::newRow("saved, the reload after it failed") << "reload failed";
    QTest::newRow("escape") << "escape";
}

void TestFlow::cellSaveOutcomes()
{
    QFETCH(QString, outcome);
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();
    const QString id = m_itemIds.at(1);
    clickPart(id, FlowTableModel::title, Part::editor);
    QPointer<MacInlineEditor> editor = openEditor();
    QVERIFY(editor);
    QTest::keyClick(editor->field(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor->field(), QStringLiteral("New title"));
    if (outcome == QStringLiteral("refused")) {
        m_service->script("PATCH", "/api/project",
                          Script{.status = 403, .body = R"({"error":"没有权限执行此操作"})", .times = 1});
    } else if (outcome == QStringLiteral("reload failed")) {
        m_service->script("GET", "/api/project",
                          Script{.status = 500, .body = R"({"error":"服务暂不可用"})", .times = 1});
    }
    QTest::keyClick(editor->field(), outcome == QStringLiteral("escape") ? Qt::Key_Escape : Qt::Key_Return);

    if (outcome == QStringLiteral("escape")) {
        QVERIFY(editor && !editor->isEditing());
        QCOMPARE(editor->draft(), QStringLiteral("歌曲"));
        QTRY_VERIFY(!editor);
        QVERIFY(TestHelpers::roundTrip(*m_client));
        QVERIFY(m_service->requests("/api/project", "PATCH").isEmpty());
        return;
    }
    QTRY_COMPARE(m_service->requests("/api/project", "PATCH").size(), 1);
    if (outcome == QStringLiteral("refused")) {
        QTRY_COMPARE(m_page->pageStates()->banner()->message(), QStringLiteral("没有权限执行此操作"));
        QTRY_VERIFY(editor && editor->isEnabled());
        QVERIFY(editor->isEditing());
        QCOMPARE(editor->draft(), QStringLiteral("New title"));
        QCOMPARE(m_page->model().row(1).item.title, QStringLiteral("歌曲"));
    } else {
        QTRY_VERIFY(!editor);
        QCOMPARE(state.error(), QString());
        QCOMPARE(
            m_service->withPlatform([&](FakePlatform &p) { return p.project(m_projectId)->item(id)->title; }),
            QStringLiteral("New title"));
    }
}

void TestFlow::readinessCountsAndFilters_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("shown"); // titles the table keeps
    QTest::newRow("全部") << "readinessFilterAll" << QStringList{"就绪", "准备", "待完善", "候场", "未定"};
    QTest::newRow("待完善") << "readinessFilterIncomplete" << QStringList{"待完善"};
    QTest::newRow("准备中") << "readinessFilterPreparing" << QStringList{"准备"};
    QTest::newRow("已就绪") << "readinessFilterReady" << QStringList{"就绪"};
}

// Items standing by or without a status count only under 全部.
void TestFlow::readinessCountsAndFilters()
{
    QFETCH(QString, button);
    QFETCH(QStringList, shown);
    openPage();
    FlowPageState &state = m_page->state();
    state.stop();
    ProjectDetailResponse detail = *state.detail();
    detail.items.clear();
    const QStringList statuses{"已就绪", "准备中", "待完善", "候场", ""};
    const QStringList names{"就绪", "准备", "待完善", "候场", "未定"};
    for (int i = 0; i < names.size(); ++i) {
        RundownItem it = item(QString::number(i), names.at(i));
        it.order = i + 1;
        it.status = statuses.at(i);
        detail.items.append(it);
    }
    state.setDetail(detail);
    MacReadinessSummary *summary = m_page->readinessSummary();
    QStringList counts;
    for (const char *name : {"readinessFilterAll", "readinessFilterIncomplete", "readinessFilterPreparing",
                             "readinessFilterReady"}) {
        counts.append(summary->findChild<QPushButton *>(QLatin1String(name))->text());
    }
    QCOMPARE(counts, (QStringList{"全部  5", "待完善  1", "准备中  1", "已就绪  1"}));
    QCOMPARE(summary->percentageText(), QStringLiteral("准备度 20%"));

    // From another filter, so that every button changes it.
    state.setReadinessFilter(button == QStringLiteral("readinessFilterReady") ? QStringLiteral("待完善")
                                                                              : QStringLiteral("已就绪"));
    QTest::mouseClick(summary->findChild<QPushButton *>(button), Qt::LeftButton);
    QStringList rows;
    for (const FlowRow &row : m_page->model().rows()) {
        rows.append(row.item.title);
    }
    QCOMPARE(rows, shown);
    QCOMPARE(summary->filter(), QString::fromUtf8(QTest::currentDataTag()));
}

QTEST_MAIN(TestFlow)
#include "test_flow.moc"
