#include "DemoShow.h"
#include "FakePlatform.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"
#include "workitems/MacCreateWorkItemSheet.h"
#include "workitems/MacOperationsRiskBoard.h"
#include "workitems/MacWorkItemResolutionSheet.h"
#include "workitems/MacWorkItemsView.h"
#include "workitems/WorkItemsListModel.h"
#include "workitems/WorkItemsRules.h"

#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(WorkItemDestination)
Q_DECLARE_METATYPE(WorkItemStatus)

namespace {

const QString owner = QStringLiteral("节目负责人");

WorkItem work(const QString &id, WorkItemStatus status, const QString &sourceKey = {},
              const QString &sourceType = QStringLiteral("manual"))
{
    WorkItem w;
    w.id = id;
    w.status = status;
    w.sourceKey = sourceKey;
    w.sourceType = sourceType;
    return w;
}

// A detail with the caller "赵磊" (id "me") and one rundown item "i1" with the given owner field.
ProjectDetailResponse detailFor(const QString &role, const QString &ownerField)
{
    ProjectDetailResponse detail;
    detail.membership = Membership{QStringLiteral("me"), QStringLiteral("p"), QStringLiteral("赵磊"), role};
    RundownItem item;
    item.id = QStringLiteral("i1");
    item.order = 1;
    item.owner = ownerField;
    detail.items = {item};
    return detail;
}

using Action = WorkItemsListView::Action;

bool offers(MacWorkItemsView &view, const QString &id, Action action)
{
    return view.list()->actions(id).contains(action);
}

// Clicks a card's button as a user would; false when the card does not offer it.
bool click(MacWorkItemsView &view, const QString &id, Action action)
{
    view.list()->scrollToItem(id);
    const QRect rect = view.list()->actionRect(id, action);
    if (rect.isEmpty()) {
        return false;
    }
    QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, {}, rect.center());
    return true;
}

} // namespace

class TestWorkItems : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Theme::install(); }
    void init();
    void cleanup();

    // Rules.
    void filtersByStatus();
    void canAct_data();
    void canAct();
    void programAndAssignee_data();
    void programAndAssignee();
    void destination_data();
    void destination();
    void riskCounts_data();
    void riskCounts();
    void createSheetChoices_data();
    void createSheetChoices();
    void resolutionSheetRules();

    // Against the fake service with the demo show.
    void kindsOfferedByRole_data();
    void kindsOfferedByRole();
    void createStartAndComplete();
    void failedChangeKeepsSheetOpen();
    void programLeadActsOnOwnPrograms();
    void systemItemsFollowTheirFacts();
    void closingMidRequestIsSafe();
    void rowActionsByTieAndStatus_data();
    void rowActionsByTieAndStatus();
    void refusedCreationKeepsTheSheet();

private:
    MacProjectDataStore &openStore(const QString &role);
    QString openWorkItem(const QString &sourceKey);

    std::unique_ptr<FakeService> m_service;
    DemoShow m_demo;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<MacProjectDataStore> m_store;
};

void TestWorkItems::init()
{
    QVERIFY(TestHelpers::startDemoService(m_service, m_demo));
}

void TestWorkItems::cleanup()
{
    m_service->releaseHangs();
    m_store.reset();
    TestHelpers::shutDown(m_client, m_service);
}

MacProjectDataStore &TestWorkItems::openStore(const QString &role)
{
    const DemoLogin *login = m_demo.loginForRole(role);
    Q_ASSERT(login);
    m_store.reset();
    m_client = TestHelpers::signedInClient(*m_service, login->accountId);
    const ProjectSummary summary =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_demo.projectId)->summary; });
    m_store = std::make_unique<MacProjectDataStore>(summary, *m_client);
    m_store->load(false);
    return *m_store;
}

QString TestWorkItems::openWorkItem(const QString &sourceKey)
{
    for (const WorkItem &w : m_store->workItems().items) {
        if (w.sourceKey == sourceKey && isOpen(w.status)) {
            return w.id;
        }
    }
    return {};
}

// --- Rules ------------------------------------------------------------------------------------

void TestWorkItems::filtersByStatus()
{
    QList<WorkItem> items;
    for (WorkItemStatus status : WorkItemStatuses::all) {
        items.append(work(toWire(status), status));
    }
    using F = WorkItemRules::Filter;
    const auto ids = [&](F filter) {
        QStringList out;
        for (const WorkItem &w : WorkItemRules::visibleItems(items, filter)) {
            out.append(w.id);
        }
        return out;
    };
    QCOMPARE(ids(F::open), (QStringList{"todo", "doing", "blocked"}));
    QCOMPARE(ids(F::all), (QStringList{"todo", "doing", "blocked", "done", "cancelled"}));
    QCOMPARE(ids(F::done), QStringList{"done"});
    QCOMPARE(WorkItemRules::emptyTitle(F::open), QStringLiteral("当前没有待处理任务"));
    QCOMPARE(WorkItemRules::emptyTitle(F::done), QStringLiteral("暂无任务记录"));
    QCOMPARE(WorkItemRules::filterFromRaw(QStringLiteral("全部")), F::all);
    QVERIFY(!WorkItemRules::filterFromRaw(QStringLiteral("全部 ")));

    // The list follows the rows it is given, even through a repeated id.
    WorkItemsListModel model;
    const auto row = [&](const QString &id) {
        return WorkItemsListModel::Row{work(id, WorkItemStatus::todo), {}, false};
    };
    for (const QStringList &step :
         {QStringList{"a", "b", "a"}, QStringList{"b", "a"}, QStringList{"c", "b"}}) {
        QList<WorkItemsListModel::Row> rows;
        QStringList shown;
        for (const QString &id : step) {
            rows.append(row(id));
        }
        model.reconcile(rows);
        for (int i = 0; i < model.rowCount(); ++i) {
            shown.append(model.row(i).item.id);
        }
        QCOMPARE(shown, step);
    }
}

void TestWorkItems::canAct_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("ownerField");
    QTest::addColumn<QString>("itemId");
    QTest::addColumn<QString>("assignee");
    QTest::addColumn<QString>("sourceType");
    QTest::addColumn<bool>("manageAll");
    QTest::addColumn<bool>("expected");

    const QString manual = QStringLiteral("manual");
    QTest::newRow("system, even for managers") << "总导演"
                                               << ""
                                               << "i1"
                                               << "me"
                                               << "system" << true << false;
    QTest::newRow("manager") << "总导演"
                             << ""
                             << ""
                             << "x" << manual << true << true;
    QTest::newRow("assignee") << "演员"
                              << ""
                              << ""
                              << "me" << manual << false << true;
    QTest::newRow("lead named second") << owner << "周敏、赵磊"
                                       << "i1"
                                       << "x" << manual << false << true;
    QTest::newRow("lead with blanks") << owner << "周敏 ,  赵磊 "
                                      << "i1"
                                      << "x" << manual << false << true;
    QTest::newRow("longer name") << owner << "赵磊磊"
                                 << "i1"
                                 << "x" << manual << false << false;
    QTest::newRow("lead, whole show") << owner << "赵磊"
                                      << ""
                                      << "x" << manual << false << false;
    QTest::newRow("lead, unknown item") << owner << "赵磊"
                                        << "i9"
                                        << "x" << manual << false << false;
    QTest::newRow("other role named") << "演员"
                                      << "赵磊"
                                      << "i1"
                                      << "x" << manual << false << false;
}

void TestWorkItems::canAct()
{
    QFETCH(QString, role);
    QFETCH(QString, ownerField);
    QFETCH(QString, itemId);
    QFETCH(QString, assignee);
    QFETCH(QString, sourceType);
    QFETCH(bool, manageAll);
    QFETCH(bool, expected);
    WorkItem item = work(QStringLiteral("w"), WorkItemStatus::todo, {}, sourceType);
    item.itemId = itemId;
    item.assigneeMemberId = assignee;
    WorkItemPermissions rights;
    rights.canManageAll = manageAll;
    QCOMPARE(WorkItemRules::canAct(item, detailFor(role, ownerField), rights), expected);
}

void TestWorkItems::programAndAssignee_data()
{
    QTest::addColumn<QString>("itemId");
    QTest::addColumn<QString>("assignee");
    QTest::addColumn<QString>("expected");
    QTest::newRow("program and member") << "i1"
                                        << "m1"
                                        << "节目：开场 · 负责人：周敏";
    QTest::newRow("untitled program") << "i2"
                                      << "m2"
                                      << "节目：未命名节目 · 负责人：赵磊";
    QTest::newRow("whole show, unassigned") << ""
                                            << ""
                                            << "整场演出 · 未指派";
    QTest::newRow("unknown ids") << "i9"
                                 << "m9"
                                 << "整场演出 · 未指派";
    QTest::newRow("repeated ids name the first") << "dup"
                                                 << "dup"
                                                 << "节目：前 · 负责人：甲";
}

void TestWorkItems::programAndAssignee()
{
    QFETCH(QString, itemId);
    QFETCH(QString, assignee);
    QFETCH(QString, expected);
    ProjectDetailResponse detail = detailFor(owner, QString());
    const auto program = [](const char *id, const char *title) {
        RundownItem item;
        item.id = QString::fromUtf8(id);
        item.title = QString::fromUtf8(title);
        return item;
    };
    detail.items = {program("i1", "开场"), program("i2", ""), program("dup", "前"), program("dup", "后")};
    const auto member = [](const char *id, const char *name) {
        ProjectMember m;
        m.id = QString::fromUtf8(id);
        m.name = QString::fromUtf8(name);
        return m;
    };
    detail.members = {member("m1", "周敏"), member("m2", "赵磊"), member("dup", "甲"), member("dup", "乙")};
    WorkItem item = work(QStringLiteral("w"), WorkItemStatus::todo);
    item.itemId = itemId;
    item.assigneeMemberId = assignee;
    const WorkItemRules::DetailIndex index(detail);
    QCOMPARE(WorkItemRules::programAndAssignee(item, index), expected);
    QCOMPARE(WorkItemRules::programAndAssignee(item, detail), expected);
}

void TestWorkItems::destination_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<WorkItemDestination>("expected");
    QTest::newRow("check-in") << "checkin:m1" << WorkItemDestination::members;
    QTest::newRow("makeup") << "makeup:m1" << WorkItemDestination::operations;
    QTest::newRow("notice") << "notice:m1" << WorkItemDestination::operations;
    QTest::newRow("rundown") << "rundown:i1" << WorkItemDestination::flow;
    QTest::newRow("empty") << "" << WorkItemDestination::flow;
    QTest::newRow("capitals") << "CHECKIN:m1" << WorkItemDestination::flow;
}

void TestWorkItems::destination()
{
    QFETCH(QString, key);
    QFETCH(WorkItemDestination, expected);
    QCOMPARE(WorkItemRules::destination(work(QStringLiteral("w"), WorkItemStatus::todo, key)), expected);
}

void TestWorkItems::riskCounts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<WorkItemStatus>("status");
    QTest::addColumn<QList<qsizetype>>("expected"); // check-in, makeup, rundown, notice

    using S = WorkItemStatus;
    QTest::newRow("open check-in") << "checkin:m1" << S::blocked << QList<qsizetype>{1, 0, 0, 0};
    QTest::newRow("done check-in") << "checkin:m1" << S::done << QList<qsizetype>{0, 0, 0, 0};
    QTest::newRow("cancelled check-in") << "checkin:m1" << S::cancelled << QList<qsizetype>{0, 0, 0, 0};
    QTest::newRow("no colon") << "checkinm1" << S::todo << QList<qsizetype>{0, 0, 0, 0};
    QTest::newRow("leading blank") << " checkin:m1" << S::todo << QList<qsizetype>{0, 0, 0, 0};
    QTest::newRow("makeup") << "makeup:m1" << S::doing << QList<qsizetype>{0, 1, 0, 0};
    QTest::newRow("rundown") << "rundown:i1" << S::todo << QList<qsizetype>{0, 0, 1, 0};
    // The source type is not consulted.
    QTest::newRow("manual notice") << "notice:m1" << S::todo << QList<qsizetype>{0, 0, 0, 1};
}

void TestWorkItems::riskCounts()
{
    QFETCH(QString, key);
    QFETCH(WorkItemStatus, status);
    QFETCH(QList<qsizetype>, expected);
    const auto counts = WorkItemRules::riskCounts({work(QStringLiteral("w"), status, key)});
    QCOMPARE((QList<qsizetype>{counts.checkinAttention, counts.makeup, counts.rundown, counts.notice}),
             expected);
}

void TestWorkItems::createSheetChoices_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("incident");
    QTest::addColumn<bool>("preparation");
    QTest::addColumn<bool>("manageAll");
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<int>("preShowPrograms"); // offered besides the whole show
    QTest::addColumn<bool>("wholeShowTaskSavable");

    const QStringList both{QStringLiteral("现场问题"), QStringLiteral("演前任务")};
    QTest::newRow("manager") << "总导演" << true << true << true << both << 2 << true;
    QTest::newRow("program lead") << owner << true << true << false << both << 1 << false;
    QTest::newRow("incidents only") << "工作人员" << true << false << false << QStringList{"现场问题"} << 0
                                    << false;
    // Without the incident right the sheet starts on the task kind instead of a refused one.
    QTest::newRow("tasks only") << owner << false << true << false << QStringList{"演前任务"} << 1 << false;
}

void TestWorkItems::createSheetChoices()
{
    QFETCH(QString, role);
    QFETCH(bool, incident);
    QFETCH(bool, preparation);
    QFETCH(bool, manageAll);
    QFETCH(QStringList, kinds);
    QFETCH(int, preShowPrograms);
    QFETCH(bool, wholeShowTaskSavable);

    ProjectDetailResponse detail = detailFor(role, QStringLiteral("周敏、赵磊"));
    RundownItem other;
    other.id = QStringLiteral("i2");
    other.order = 0;
    other.owner = QStringLiteral("赵磊磊");
    detail.items.append(other);
    MacCreateWorkItemSheet sheet(detail, WorkItemPermissions{incident, preparation, manageAll}, {});
    auto *kindPicker = sheet.findChild<QComboBox *>(QStringLiteral("kindPicker"));
    auto *programs = sheet.findChild<QComboBox *>(QStringLiteral("programPicker"));
    auto *save = sheet.findChild<QPushButton *>(QStringLiteral("createSaveButton"));
    QStringList offered;
    for (int i = 0; i < kindPicker->count(); ++i) {
        offered.append(kindPicker->itemText(i));
    }
    QCOMPARE(offered, kinds);
    QCOMPARE(kindPicker->currentIndex(), 0);

    sheet.findChild<QLineEdit *>(QStringLiteral("titleField"))->setText(QStringLiteral(" \n "));
    QVERIFY(!save->isEnabled());
    sheet.findChild<QLineEdit *>(QStringLiteral("titleField"))->setText(QStringLiteral("备好话筒"));
    if (kinds.first() == QStringLiteral("现场问题")) {
        QVERIFY(save->isEnabled());
        QCOMPARE(programs->count(), 3); // incidents may concern any item
        programs->setCurrentIndex(1);
    }
    if (!kinds.contains(QStringLiteral("演前任务"))) {
        return;
    }
    kindPicker->setCurrentIndex(kinds.indexOf(QStringLiteral("演前任务")));
    // Switching the kind starts again from the whole show.
    QCOMPARE(sheet.itemID(), QString());
    QCOMPARE(programs->count(), 1 + preShowPrograms);
    QCOMPARE(save->isEnabled(), wholeShowTaskSavable);
    if (preShowPrograms == 2) {
        QCOMPARE(programs->itemText(2), QStringLiteral("0. 未命名节目"));
    }
    programs->setCurrentIndex(1);
    QVERIFY(save->isEnabled());
}

void TestWorkItems::resolutionSheetRules()
{
    WorkItem item = work(QStringLiteral("w1"), WorkItemStatus::blocked);
    item.resolution = QStringLiteral("等备用电池");
    QStringList received;
    const auto onSave = [&received](QString text) -> QCoro::Task<bool> {
        received.append(text);
        co_return text != QStringLiteral("失败");
    };

    MacWorkItemResolutionSheet block({item, WorkItemStatus::blocked}, onSave);
    auto *field = block.findChild<QPlainTextEdit *>(QStringLiteral("resolutionField"));
    auto *confirm = block.findChild<QPushButton *>(QStringLiteral("resolutionConfirmButton"));
    QCOMPARE(field->toPlainText(), item.resolution);
    QCOMPARE(block.context().id(), QStringLiteral("w1-blocked"));
    field->setPlainText(QStringLiteral(" \n\t"));
    QVERIFY(!confirm->isEnabled());
    field->setPlainText(QStringLiteral("  失败\n"));
    QTest::mouseClick(confirm, Qt::LeftButton);
    QTRY_VERIFY(confirm->isEnabled());
    QCOMPARE(confirm->text(), QStringLiteral("确认"));
    QCOMPARE(field->toPlainText(), QStringLiteral("  失败\n"));
    QCOMPARE(block.result(), int(QDialog::Rejected));

    MacWorkItemResolutionSheet complete({item, WorkItemStatus::done}, onSave);
    complete.findChild<QPlainTextEdit *>(QStringLiteral("resolutionField"))->setPlainText(QString());
    auto *done = complete.findChild<QPushButton *>(QStringLiteral("resolutionConfirmButton"));
    QVERIFY(done->isEnabled());
    QTest::mouseClick(done, Qt::LeftButton);
    QTRY_COMPARE(complete.result(), int(QDialog::Accepted));
    QCOMPARE(received, (QStringList{QStringLiteral("失败"), QString()}));
}

// --- Against the fake service -------------------------------------------------------------------

void TestWorkItems::kindsOfferedByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QStringList>("kinds"); // empty: no create button
    QTest::newRow("performer") << "演员" << QStringList();
    QTest::newRow("staff") << "工作人员" << QStringList{"现场问题"};
    QTest::newRow("program lead") << owner << QStringList{"现场问题", "演前任务"};
}

void TestWorkItems::kindsOfferedByRole()
{
    QFETCH(QString, role);
    QFETCH(QStringList, kinds);
    MacProjectDataStore &store = openStore(role);
    MacWorkItemsView view(store, [](WorkItemDestination) {});
    view.show();
    QTRY_VERIFY(!store.workItems().items.isEmpty());
    auto *create = view.findChild<QPushButton *>(QStringLiteral("createWorkItemButton"));
    QTRY_COMPARE(create->isVisible(), !kinds.isEmpty());
    if (kinds.isEmpty()) {
        return;
    }
    QTest::mouseClick(create, Qt::LeftButton);
    QTRY_VERIFY(view.createSheet());
    auto *picker = view.createSheet()->findChild<QComboBox *>(QStringLiteral("kindPicker"));
    QCOMPARE(picker->count(), kinds.size());
    QCOMPARE(picker->itemText(0), kinds.first());
    view.createSheet()->reject();
}

void TestWorkItems::createStartAndComplete()
{
    const QString staffId = m_demo.loginForRole(QStringLiteral("工作人员"))->memberId;
    MacProjectDataStore &director = openStore(QStringLiteral("总导演"));
    {
        MacWorkItemsView view(director, [](WorkItemDestination) {});
        view.show();
        QTRY_VERIFY(director.detail() && !director.workItems().items.isEmpty());
        QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("createWorkItemButton")),
                          Qt::LeftButton);
        QTRY_VERIFY(view.createSheet());
        MacCreateWorkItemSheet *sheet = view.createSheet();
        auto *assignee = sheet->findChild<QComboBox *>(QStringLiteral("assigneePicker"));
        assignee->setCurrentIndex(assignee->findData(staffId));
        sheet->findChild<QComboBox *>(QStringLiteral("priorityPicker"))->setCurrentIndex(2);
        sheet->findChild<QLineEdit *>(QStringLiteral("titleField"))
            ->setText(QStringLiteral("  三号追光灯闪烁 "));
        sheet->findChild<QPlainTextEdit *>(QStringLiteral("descriptionField"))
            ->setPlainText(QStringLiteral("\n"));
        QTest::mouseClick(sheet->findChild<QPushButton *>(QStringLiteral("createSaveButton")),
                          Qt::LeftButton);
        QTRY_VERIFY(!view.createSheet());
    }
    const QJsonObject sent = m_service->requests("/api/work-items", "POST").constLast().json();
    QCOMPARE(sent.value("title").toString(), QStringLiteral("三号追光灯闪烁"));
    QCOMPARE(sent.value("description").toString(), QString());
    QCOMPARE(sent.value("kind").toString(), QStringLiteral("incident"));
    QCOMPARE(sent.value("priority").toString(), QStringLiteral("urgent"));
    QCOMPARE(sent.value("blocking").toBool(), true);
    const QString id = director.workItems().items.constLast().id;
    QCOMPARE(director.workItems().items.constLast().title, QStringLiteral("三号追光灯闪烁"));

    // Another member, the assignee, starts and completes it.
    MacProjectDataStore &staff = openStore(QStringLiteral("工作人员"));
    MacWorkItemsView view(staff, [](WorkItemDestination) {});
    view.show();
    QTRY_VERIFY(offers(view, id, Action::toggle));
    QCOMPARE(view.list()->actionText(id, Action::toggle), QStringLiteral("开始处理"));
    QVERIFY(click(view, id, Action::toggle));
    QVERIFY(view.busyID() == id);
    QVERIFY(!view.list()->actionsEnabled());
    QTRY_VERIFY(!view.busyID());
    QTRY_COMPARE(view.list()->actionText(id, Action::toggle), QStringLiteral("退回待处理"));

    // Completing by keyboard: down to the card, right to its last button, Return.
    view.list()->setFocus();
    QTRY_VERIFY(view.list()->keyboardTarget());
    for (int i = 0; i < 50 && view.list()->keyboardTarget()->first != id; ++i) {
        QTest::keyClick(view.list(), Qt::Key_Down);
    }
    QTest::keyClick(view.list(), Qt::Key_Right);
    QTest::keyClick(view.list(), Qt::Key_Right);
    QTest::keyClick(view.list(), Qt::Key_Right);
    QCOMPARE(view.list()->keyboardTarget(), std::pair(id, Action::complete));
    QTest::keyClick(view.list(), Qt::Key_Return);
    QTRY_VERIFY(view.resolutionSheet());
    view.resolutionSheet()
        ->findChild<QPlainTextEdit *>(QStringLiteral("resolutionField"))
        ->setPlainText(QStringLiteral(" 已换灯泡 "));
    QTest::mouseClick(
        view.resolutionSheet()->findChild<QPushButton *>(QStringLiteral("resolutionConfirmButton")),
        Qt::LeftButton);
    QTRY_VERIFY(!view.resolutionSheet());
    QTRY_VERIFY(!view.list()->contains(id));
    const WorkItem stored =
        m_service->withPlatform([&](FakePlatform &p) { return *p.project(m_demo.projectId)->workItem(id); });
    QCOMPARE(stored.status, WorkItemStatus::done);
    QCOMPARE(stored.resolution, QStringLiteral("已换灯泡"));
    view.setFilter(WorkItemRules::Filter::done);
    QVERIFY(view.list()->contains(id));
}

void TestWorkItems::failedChangeKeepsSheetOpen()
{
    MacProjectDataStore &store = openStore(QStringLiteral("总导演"));
    MacWorkItemsView view(store, [](WorkItemDestination) {});
    view.show();
    QTRY_VERIFY(store.detail() && !store.workItems().items.isEmpty());
    const QString id = openWorkItem(QString());
    QVERIFY(!id.isEmpty());
    Script refuse;
    refuse.status = 500;
    refuse.body = R"({"error":"服务暂不可用"})";
    m_service->script("PATCH", "/api/work-items", refuse);

    QTRY_VERIFY(offers(view, id, Action::block));
    QVERIFY(click(view, id, Action::block));
    QTRY_VERIFY(view.resolutionSheet());
    auto *field = view.resolutionSheet()->findChild<QPlainTextEdit *>(QStringLiteral("resolutionField"));
    field->setPlainText(QStringLiteral("缺电池"));
    QTest::mouseClick(
        view.resolutionSheet()->findChild<QPushButton *>(QStringLiteral("resolutionConfirmButton")),
        Qt::LeftButton);
    QTRY_COMPARE(store.error(), QStringLiteral("服务暂不可用"));
    QTRY_VERIFY(!view.busyID());
    QVERIFY(view.resolutionSheet());
    QCOMPARE(field->toPlainText(), QStringLiteral("缺电池"));
    QTRY_COMPARE(view.findChild<MacErrorBanner *>()->message(), QStringLiteral("服务暂不可用"));
    QVERIFY(view.list()->actionsEnabled());
    view.resolutionSheet()->reject();
    QTRY_VERIFY(!view.resolutionContext());
}

void TestWorkItems::programLeadActsOnOwnPrograms()
{
    MacProjectDataStore &store = openStore(owner);
    MacWorkItemsView view(store, [](WorkItemDestination) {});
    view.show();
    QTRY_VERIFY(store.detail() && !store.workItems().items.isEmpty());
    // The demo's task on 赵磊's dance is assigned to and made by others; the award's is 陈浩's.
    QString own;
    QString others;
    for (const WorkItem &w : store.workItems().items) {
        if (w.title.contains(QStringLiteral("《青春》"))) {
            own = w.id;
        } else if (w.title.contains(QStringLiteral("奖杯"))) {
            others = w.id;
        }
    }
    QTRY_VERIFY(offers(view, own, Action::toggle));
    QVERIFY(view.list()->contains(others) && view.list()->actions(others).isEmpty());
    QVERIFY(click(view, own, Action::toggle));
    QTRY_VERIFY(!view.busyID());
    QCOMPARE(store.error(), QString());
    const WorkItemStatus status = m_service->withPlatform(
        [&](FakePlatform &p) { return p.project(m_demo.projectId)->workItem(own)->status; });
    QCOMPARE(status, WorkItemStatus::todo);
}

void TestWorkItems::systemItemsFollowTheirFacts()
{
    MacProjectDataStore &store = openStore(QStringLiteral("总导演"));
    QList<WorkItemDestination> opened;
    MacWorkItemsView view(store, [&](WorkItemDestination d) { opened.append(d); });
    view.show();
    QTRY_VERIFY(store.detail() && !store.workItems().items.isEmpty());

    // The board counts what the service mirrors from the demo's facts.
    const QList<qsizetype> facts = m_service->withPlatform([&](FakePlatform &p) {
        const FakeProject &g = *p.project(m_demo.projectId);
        qsizetype absent = 0, makeup = 0, unconfirmed = 0;
        for (const ProjectMember &m : g.members) {
            absent += !m.checkedInAt.has_value();
            unconfirmed += m.isRegistered() && !g.operations.confirmedMemberIds.contains(m.id);
        }
        for (const MakeupAssignment &a : g.makeup) {
            makeup += a.status != QStringLiteral("已完成");
        }
        return QList<qsizetype>{absent, makeup, 1, unconfirmed};
    });
    MacOperationsRiskBoard board(store.workItems());
    QList<qsizetype> shown;
    for (const char *tile : {"checkin", "makeup", "rundown", "notice"}) {
        shown.append(board.findChild<QLabel *>(QStringLiteral("riskCount_") + QLatin1String(tile))
                         ->text()
                         .toLongLong());
    }
    QCOMPARE(shown, facts);

    const DemoLogin *performer = m_demo.loginForRole(QStringLiteral("演员"));
    const QString checkin = openWorkItem(QStringLiteral("checkin:") + performer->memberId);
    QVERIFY(!checkin.isEmpty());
    QTRY_COMPARE(view.list()->actions(checkin), QList<Action>{Action::openDestination});
    QVERIFY(click(view, checkin, Action::openDestination));
    QCOMPARE(opened, QList<WorkItemDestination>{WorkItemDestination::members});

    // Checking the member in closes the item; the next load no longer lists it as open.
    const auto member = [&] {
        for (const ProjectMember &m : store.detail()->members) {
            if (m.id == performer->memberId) {
                return m;
            }
        }
        return ProjectMember{};
    }();
    store.setCheckIn(member, true);
    QTRY_VERIFY(!view.list()->contains(checkin));
    QVERIFY(openWorkItem(QStringLiteral("checkin:") + performer->memberId).isEmpty());

    // Republishing the notice reopens the confirmations of those who had confirmed.
    const QString lead = m_demo.loginForRole(owner)->memberId;
    QVERIFY(openWorkItem(QStringLiteral("notice:") + lead).isEmpty());
    auto publishing = store.saveOperations(store.detail()->operations);
    QVERIFY(QCoro::waitFor(publishing));
    QVERIFY(!openWorkItem(QStringLiteral("notice:") + lead).isEmpty());

    // Giving the item without a lead its owner closes its rundown item.
    const QString rundownKey = QStringLiteral("rundown:") + store.detail()->items.at(12).id;
    QVERIFY(!openWorkItem(rundownKey).isEmpty());
    m_service->withPlatform(
        [&](FakePlatform &p) { p.project(m_demo.projectId)->items[12].owner = QStringLiteral("赵磊"); });
    auto reload = store.load(true);
    QCoro::waitFor(reload);
    QVERIFY(openWorkItem(rundownKey).isEmpty());
}

void TestWorkItems::closingMidRequestIsSafe()
{
    MacProjectDataStore &store = openStore(QStringLiteral("总导演"));
    Script hold;
    hold.hang = true;
    hold.passThrough = true;
    m_service->script("PATCH", "/api/work-items", hold);
    m_service->script("POST", "/api/work-items", hold);
    {
        MacWorkItemsView view(store, [](WorkItemDestination) {});
        view.show();
        QTRY_VERIFY(store.detail() && !store.workItems().items.isEmpty());
        const QString id = openWorkItem(QString());
        QTRY_VERIFY(click(view, id, Action::toggle));
        QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("createWorkItemButton")),
                          Qt::LeftButton);
        QTRY_VERIFY(view.createSheet());
        view.createSheet()
            ->findChild<QLineEdit *>(QStringLiteral("titleField"))
            ->setText(QStringLiteral("备用麦"));
        QTest::mouseClick(view.createSheet()->findChild<QPushButton *>(QStringLiteral("createSaveButton")),
                          Qt::LeftButton);
        QTRY_COMPARE(m_service->hangingCount(), 2);
    }
    m_service->releaseHangs();
    QTRY_VERIFY_WITH_TIMEOUT(TestHelpers::requestsEnded(*m_client), 10000);
}

void TestWorkItems::rowActionsByTieAndStatus_data()
{
    QTest::addColumn<QString>("role"); // the member who looks at the list
    QTest::addColumn<QString>("tie");  // how a task on the first program is tied to that member
    QTest::addColumn<WorkItemStatus>("status");
    QTest::addColumn<int>("press");        // the action pressed; -1: the row offers none
    QTest::addColumn<QJsonObject>("sent"); // the patch that reaches the service

    using S = WorkItemStatus;
    const int toggle = int(Action::toggle);
    QTest::newRow("todo, assignee starts")
        << "工作人员"
        << "assignee" << S::todo << toggle << QJsonObject{{"status", "doing"}};
    QTest::newRow("blocked, creator starts")
        << "音响师"
        << "creator" << S::blocked << toggle << QJsonObject{{"status", "doing"}};
    QTest::newRow("doing, program lead returns it")
        << owner << "named owner" << S::doing << toggle << QJsonObject{{"status", "todo"}};
    QTest::newRow("todo, manager blocks with a reason")
        << "副导演"
        << "none" << S::todo << int(Action::block)
        << QJsonObject{{"status", "blocked"}, {"resolution", "缺备用电池"}};
    QTest::newRow("done offers nothing") << "总导演"
                                         << "creator" << S::done << -1 << QJsonObject();
    QTest::newRow("cancelled offers nothing") << "总导演"
                                              << "assignee" << S::cancelled << -1 << QJsonObject();
    QTest::newRow("performer named as owner") << "演员"
                                              << "named owner" << S::todo << -1 << QJsonObject();
    QTest::newRow("crew not tied") << "视频师"
                                   << "none" << S::todo << -1 << QJsonObject();
}

void TestWorkItems::rowActionsByTieAndStatus()
{
    QFETCH(QString, role);
    QFETCH(QString, tie);
    QFETCH(WorkItemStatus, status);
    QFETCH(int, press);
    QFETCH(QJsonObject, sent);
    const QString viewer = m_demo.loginForRole(role)->memberId;
    const QString director = m_demo.loginForRole(QStringLiteral("总导演"))->memberId;
    const QString id = QStringLiteral("w-row");
    m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &g = *p.project(m_demo.projectId);
        g.items[0].owner = QStringLiteral("赵磊、王强"); // the program lead and the performer
        WorkItem task = work(id, status);
        task.projectId = g.summary.id;
        task.itemId = g.items[0].id;
        task.title = QStringLiteral("备好彩绸");
        task.assigneeMemberId = tie == QStringLiteral("assignee") ? viewer : director;
        task.createdByMemberId = tie == QStringLiteral("creator") ? viewer : director;
        g.workItems.append(task);
    });
    MacProjectDataStore &store = openStore(role);
    MacWorkItemsView view(store, [](WorkItemDestination) {});
    view.show();
    view.setFilter(WorkItemRules::Filter::all);
    QTRY_VERIFY(view.list()->contains(id));
    if (press < 0) {
        QCOMPARE(view.list()->actions(id), QList<Action>());
        return;
    }
    QCOMPARE(view.list()->actions(id), (QList<Action>{Action::toggle, Action::block, Action::complete}));
    QCOMPARE(view.list()->actionText(id, Action::toggle),
             status == WorkItemStatus::doing ? QStringLiteral("退回待处理") : QStringLiteral("开始处理"));
    QVERIFY(click(view, id, Action(press)));
    if (Action(press) == Action::block) {
        QTRY_VERIFY(view.resolutionSheet());
        view.resolutionSheet()
            ->findChild<QPlainTextEdit *>(QStringLiteral("resolutionField"))
            ->setPlainText(QStringLiteral(" 缺备用电池"));
        QTest::mouseClick(
            view.resolutionSheet()->findChild<QPushButton *>(QStringLiteral("resolutionConfirmButton")),
            Qt::LeftButton);
        QTRY_VERIFY(!view.resolutionSheet());
    }
    QTRY_COMPARE(m_service->requests("/api/work-items", "PATCH").size(), 1);
    const QJsonObject body = m_service->requests("/api/work-items", "PATCH").first().json();
    QCOMPARE(body.value(QStringLiteral("id")).toString(), id);
    QCOMPARE(body.value(QStringLiteral("workItem")).toObject(), sent);
    QTRY_VERIFY(!view.busyID());
    QCOMPARE(store.error(), QString());
    const WorkItem stored =
        m_service->withPlatform([&](FakePlatform &p) { return *p.project(m_demo.projectId)->workItem(id); });
    QCOMPARE(toWire(stored.status), sent.value(QStringLiteral("status")).toString());
    QCOMPARE(stored.resolution, sent.value(QStringLiteral("resolution")).toString());
}

void TestWorkItems::refusedCreationKeepsTheSheet()
{
    MacProjectDataStore &store = openStore(QStringLiteral("总导演"));
    MacWorkItemsView view(store, [](WorkItemDestination) {});
    view.show();
    QTRY_VERIFY(store.detail() && !store.workItems().items.isEmpty());
    m_service->script("POST", "/api/work-items",
                      Script{.status = 500, .body = R"({"error":"任务服务暂不可用"})", .times = 1});
    QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("createWorkItemButton")), Qt::LeftButton);
    QTRY_VERIFY(view.createSheet());
    QPointer<MacCreateWorkItemSheet> sheet = view.createSheet();
    const QStringList pickers = {"kindPicker", "programPicker", "priorityPicker", "assigneePicker"};
    for (const QString &name : pickers) {
        sheet->findChild<QComboBox *>(name)->setCurrentIndex(name == QStringLiteral("programPicker") ? 2 : 1);
    }
    sheet->findChild<QLineEdit *>(QStringLiteral("titleField"))->setText(QStringLiteral("换备用话筒"));
    sheet->findChild<QPlainTextEdit *>(QStringLiteral("descriptionField"))
        ->setPlainText(QStringLiteral("二号"));
    auto *save = sheet->findChild<QPushButton *>(QStringLiteral("createSaveButton"));
    QTest::mouseClick(save, Qt::LeftButton);

    QTRY_COMPARE(store.error(), QStringLiteral("任务服务暂不可用"));
    QTRY_VERIFY(sheet && save->isEnabled());
    QCOMPARE(view.createSheet(), sheet.data());
    QVERIFY(sheet->isVisible());
    for (const QString &name : pickers) {
        QCOMPARE(sheet->findChild<QComboBox *>(name)->currentIndex(),
                 name == QStringLiteral("programPicker") ? 2 : 1);
    }
    QCOMPARE(sheet->findChild<QLineEdit *>(QStringLiteral("titleField"))->text(),
             QStringLiteral("换备用话筒"));
    QCOMPARE(sheet->findChild<QPlainTextEdit *>(QStringLiteral("descriptionField"))->toPlainText(),
             QStringLiteral("二号"));
    QCOMPARE(m_service->requests("/api/work-items", "POST").size(), 1);
}

QTEST_MAIN(TestWorkItems)
#include "test_workitems.moc"
