#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"
#include "flow/FlowPageState.h"
#include "flow/MacProjectFlowView.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacOperationsEditor.h"
#include "workspace/MacOperationsView.h"
#include "workspace/MacProjectWorkspaceView.h"
#include "workspace/OperationsRules.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using Page = MacProjectWorkspaceView::Page;
using Control = OperationsRules::ConfirmationControl;

Q_DECLARE_METATYPE(Control)

namespace {

ProjectDetailResponse detailWith(const QString &role, const QString &myId)
{
    ProjectDetailResponse detail;
    detail.membership = Membership{myId, QStringLiteral("p1"), QStringLiteral("我"), role};
    return detail;
}

using TestHelpers::member;

} // namespace

class TestWorkspace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void availablePagesByRole_data();
    void availablePagesByRole();
    void pageAfterRoleChange_data();
    void pageAfterRoleChange();
    void confirmationControl_data();
    void confirmationControl();
    void arrangementTexts();
    void makeupSummary();

    void loadsOnOpenAndOnPageChange();
    void leavesPlaybackWhenRoleLosesIt();
    void operationsPageByRole_data();
    void operationsPageByRole();
    void publishesArrangementsAndConfirms();
    void refusedPublishKeepsEditorOpen();
    void untouchedFieldsGoBackAsLoaded();
    void closingWhilePublishingIsSafe();
    void demoScreenshots();

private:
    std::unique_ptr<MacProjectWorkspaceView> openWorkspace();
    void setActorRole(const QString &role);
    int detailFetches() const;
    template<typename T>
    T *find(QWidget *root, const QString &name);
    // The text of the shown label of that name; null while there is none.
    QString shownText(QWidget *root, const QString &name);
    void screenshot(QWidget *widget, const QString &name);

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    QString m_accountId;
    QString m_projectId;
};

void TestWorkspace::initTestCase()
{
    Theme::install();
}

void TestWorkspace::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_accountId = m_service->addAccount(QStringLiteral("13800000001"), QStringLiteral("王导"));
    m_projectId = m_service->addProject(QStringLiteral("春季晚会"), m_accountId);
    for (const QString &name : {QStringLiteral("李四"), QStringLiteral("张三"), QStringLiteral("周五")}) {
        m_service->addMember(m_projectId, name, QStringLiteral("演员"));
    }
    m_client = TestHelpers::signedInClient(*m_service, m_accountId);
}

void TestWorkspace::cleanup()
{
    // Requests of a closed workspace still run; the client must see them end.
    TestHelpers::shutDown(m_client, m_service);
}

std::unique_ptr<MacProjectWorkspaceView> TestWorkspace::openWorkspace()
{
    const ProjectSummary project =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_projectId)->summary; });
    auto workspace = std::make_unique<MacProjectWorkspaceView>(project, *m_client);
    workspace->resize(1100, 760);
    workspace->show();
    return workspace;
}

void TestWorkspace::setActorRole(const QString &role)
{
    m_service->withPlatform(
        [&](FakePlatform &p) { p.project(m_projectId)->memberForAccount(m_accountId)->role = role; });
}

int TestWorkspace::detailFetches() const
{
    // Loads of the workspace's store; the rundown page fetches the project on its own and polls it,
    // but never the work items.
    return int(m_service->requests("/api/work-items", "GET").size());
}

template<typename T>
T *TestWorkspace::find(QWidget *root, const QString &name)
{
    // A replaced page lingers hidden until its deferred deletion: skip it.
    for (T *found : root->findChildren<T *>(name)) {
        if (found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

QString TestWorkspace::shownText(QWidget *root, const QString &name)
{
    const QLabel *label = find<QLabel>(root, name);
    return label ? label->text() : QString();
}

void TestWorkspace::screenshot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("QUILLORY_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        widget->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
    }
}

void TestWorkspace::availablePagesByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("playback");
    QTest::newRow("no detail yet") << QString() << false;
    QTest::newRow("chief director") << QStringLiteral("总导演") << true;
    QTest::newRow("deputy director") << QStringLiteral("副导演") << true;
    QTest::newRow("sound engineer") << QStringLiteral("音响师") << true;
    QTest::newRow("video engineer") << QStringLiteral("视频师") << true;
    QTest::newRow("performer") << QStringLiteral("演员") << false;
    QTest::newRow("program owner") << QStringLiteral("节目负责人") << false;
    QTest::newRow("makeup artist") << QStringLiteral("化妆师") << false;
    QTest::newRow("role with a trailing blank") << QStringLiteral("音响师 ") << false;
}

void TestWorkspace::availablePagesByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, playback);
    QList<Page> expected{Page::flow, Page::today, Page::operations, Page::tasks, Page::members};
    if (playback) {
        expected.append(Page::playback);
    }
    QCOMPARE(MacProjectWorkspaceView::availablePages(role), expected);
}

void TestWorkspace::pageAfterRoleChange_data()
{
    QTest::addColumn<Page>("page");
    QTest::addColumn<QString>("role");
    QTest::addColumn<Page>("expected");
    QTest::newRow("playback, now performer") << Page::playback << QStringLiteral("演员") << Page::flow;
    QTest::newRow("playback, role gone") << Page::playback << QString() << Page::flow;
    QTest::newRow("playback, video to sound") << Page::playback << QStringLiteral("音响师") << Page::playback;
    QTest::newRow("members, now performer") << Page::members << QStringLiteral("演员") << Page::members;
}

void TestWorkspace::pageAfterRoleChange()
{
    QFETCH(Page, page);
    QFETCH(QString, role);
    QFETCH(Page, expected);
    QCOMPARE(MacProjectWorkspaceView::pageAfterRoleChange(page, role), expected);
}

void TestWorkspace::confirmationControl_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("confirmedIds");
    QTest::addColumn<Control>("expected");
    QTest::newRow("notice, not confirmed")
        << QStringLiteral("两点到场") << QStringList{QStringLiteral("m2")} << Control::confirmButton;
    QTest::newRow("notice, confirmed")
        << QStringLiteral("两点到场") << QStringList{QStringLiteral("m1")} << Control::confirmedLabel;
    QTest::newRow("no notice, confirmed")
        << QString() << QStringList{QStringLiteral("m1")} << Control::confirmedLabel;
    QTest::newRow("no notice, not confirmed") << QString() << QStringList{} << Control::none;
    // Nothing is trimmed: a blank notice is a notice.
    QTest::newRow("blank notice") << QStringLiteral(" ") << QStringList{} << Control::confirmButton;
}

void TestWorkspace::confirmationControl()
{
    QFETCH(QString, content);
    QFETCH(QStringList, confirmedIds);
    QFETCH(Control, expected);
    ProjectDetailResponse detail = detailWith(QStringLiteral("演员"), QStringLiteral("m1"));
    detail.operations.noticeContent = content;
    detail.operations.confirmedMemberIds = confirmedIds;
    const bool confirmed = OperationsRules::confirmed(detail);
    QCOMPARE(OperationsRules::confirmationControl(detail.operations, confirmed), expected);
    QVERIFY(!OperationsRules::confirmed(std::nullopt));
}

void TestWorkspace::arrangementTexts()
{
    ProjectDetailResponse detail = detailWith(QStringLiteral("节目负责人"), QStringLiteral("m1"));
    for (int i = 0; i < 12; ++i) {
        detail.members.append(member(QStringLiteral("m%1").arg(i), QStringLiteral("成员%1").arg(i)));
    }
    QCOMPARE(OperationsRules::cardLine(QString()), QStringLiteral("待发布"));
    QCOMPARE(OperationsRules::cardLine(QStringLiteral(" ")), QStringLiteral(" "));
    QCOMPARE(OperationsRules::noticeHeading(detail.operations), QStringLiteral("活动公告"));
    QCOMPARE(OperationsRules::noticeText(detail.operations), QStringLiteral("导演组尚未发布活动公告。"));
    QCOMPARE(OperationsRules::confirmationCount(detail), QStringLiteral("0/12 已确认"));
    QVERIFY(!OperationsRules::canManage(detail));
    QVERIFY(OperationsRules::canManage(detailWith(QStringLiteral("副导演"), QStringLiteral("m1"))));
    QVERIFY(!OperationsRules::canManage(std::nullopt));
}

void TestWorkspace::makeupSummary()
{
    ProjectDetailResponse detail = detailWith(QStringLiteral("总导演"), QStringLiteral("m1"));
    QVERIFY(!OperationsRules::showsMakeupSummary(detail));
    detail.makeup.append(MakeupAssignment{QStringLiteral("m2"), QStringLiteral("a1"), {}, 15, {}});
    QVERIFY(OperationsRules::showsMakeupSummary(detail));
    QVERIFY(OperationsRules::makeupSummary(detail).isEmpty());

    detail.members.append(member(QStringLiteral("a1"), QStringLiteral("赵六")));
    detail.makeupShifts.append(MakeupShift{QStringLiteral("a1"), QStringLiteral("14:00"),
                                           QStringLiteral("16:00"), QStringLiteral("化妆间")});
    detail.makeupShifts.append(
        MakeupShift{QStringLiteral("ghost"), QStringLiteral("15:00"), QStringLiteral("17:00"), QString()});
    const QList<OperationsRules::MakeupSummaryRow> rows = OperationsRules::makeupSummary(detail);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].artistName, QStringLiteral("赵六"));
    QCOMPARE(rows[0].timeSpan, QStringLiteral("14:00–16:00"));
    QCOMPARE(rows[0].place, QStringLiteral("化妆间"));
    QCOMPARE(rows[0].count, qsizetype(1));
    QCOMPARE(rows[1].artistName, QStringLiteral("化妆师"));
    QCOMPARE(rows[1].place, QStringLiteral("地点待定"));
    QCOMPARE(rows[1].count, qsizetype(0));
}

void TestWorkspace::loadsOnOpenAndOnPageChange()
{
    auto workspace = openWorkspace();
    QTRY_VERIFY(workspace->store().detail());
    // The work items' request may reach the service after the detail's answer.
    QTRY_COMPARE(detailFetches(), 1);
    QCOMPARE(workspace->page(), Page::flow);
    QVERIFY(!find<QToolButton>(workspace.get(), QStringLiteral("refreshButton")));
    QVERIFY(find<QToolButton>(workspace.get(), QStringLiteral("pageButton_playback")));

    // Each page change but to the rundown is one silent load.
    bool raisedLoading = false;
    connect(&workspace->store(), &MacProjectDataStore::isLoadingChanged, this,
            [&] { raisedLoading = raisedLoading || workspace->store().isLoading(); });
    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("pageButton_members")),
                      Qt::LeftButton);
    QCOMPARE(workspace->page(), Page::members);
    QTRY_COMPARE(detailFetches(), 2);
    QTRY_VERIFY(!workspace->store().isLoading());
    QVERIFY(!raisedLoading);
    QVERIFY(find<QToolButton>(workspace.get(), QStringLiteral("refreshButton")));

    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("pageButton_members")),
                      Qt::LeftButton);
    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("pageButton_flow")), Qt::LeftButton);
    QCOMPARE(workspace->page(), Page::flow);

    // The rundown's request to see the tasks.
    auto *flow = workspace->findChild<MacProjectFlowView *>();
    QVERIFY(flow);
    flow->state().openTasks();
    QCOMPARE(workspace->page(), Page::tasks);
    QTRY_COMPARE(detailFetches(), 3);

    // The refresh button is a non-silent load.
    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("refreshButton")), Qt::LeftButton);
    QVERIFY(workspace->store().isLoading());
    QTRY_COMPARE(detailFetches(), 4);
    QTRY_VERIFY(!workspace->store().isLoading());
    for (const RecordedRequest &request : m_service->requests()) {
        QCOMPARE(request.queryItem(QStringLiteral("projectId")), m_projectId);
    }
}

void TestWorkspace::leavesPlaybackWhenRoleLosesIt()
{
    setActorRole(QStringLiteral("视频师"));
    auto workspace = openWorkspace();
    QTRY_VERIFY(find<QToolButton>(workspace.get(), QStringLiteral("pageButton_playback")));
    workspace->setPage(Page::playback);
    QTRY_VERIFY(!workspace->store().isLoading());

    // Another engineer role keeps the page.
    setActorRole(QStringLiteral("音响师"));
    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("refreshButton")), Qt::LeftButton);
    QTRY_COMPARE(workspace->store().role(), QStringLiteral("音响师"));
    QCOMPARE(workspace->page(), Page::playback);

    setActorRole(QStringLiteral("演员"));
    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("refreshButton")), Qt::LeftButton);
    QTRY_COMPARE(workspace->page(), Page::flow);
    QVERIFY(!find<QToolButton>(workspace.get(), QStringLiteral("pageButton_playback")));
}

void TestWorkspace::operationsPageByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("director");
    QTest::newRow("chief director") << QStringLiteral("总导演") << true;
    QTest::newRow("deputy director") << QStringLiteral("副导演") << true;
    QTest::newRow("actor") << QStringLiteral("演员") << false;
    QTest::newRow("sound engineer") << QStringLiteral("音响师") << false;
    QTest::newRow("makeup artist") << QStringLiteral("化妆师") << false;
}

// The risk board and the editor are the directors' alone.
void TestWorkspace::operationsPageByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, director);
    setActorRole(role);
    auto workspace = openWorkspace();
    workspace->setPage(Page::operations);
    auto *page = qobject_cast<MacOperationsView *>(workspace->pageView());
    QTRY_VERIFY(workspace->store().detail() && find<QWidget>(page, QStringLiteral("noticeBox")));
    QCOMPARE(find<QWidget>(page, QStringLiteral("riskBoard")) != nullptr, director);
    QCOMPARE(find<QPushButton>(page, QStringLiteral("editOperationsButton")) != nullptr, director);
}

void TestWorkspace::publishesArrangementsAndConfirms()
{
    m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &project = *p.project(m_projectId);
        project.operations.confirmedMemberIds = {project.members.at(1).id};
    });
    auto workspace = openWorkspace();
    QTest::mouseClick(find<QToolButton>(workspace.get(), QStringLiteral("pageButton_operations")),
                      Qt::LeftButton);
    auto *page = qobject_cast<MacOperationsView *>(workspace->pageView());
    QVERIFY(page);
    QTRY_VERIFY(find<QPushButton>(page, QStringLiteral("editOperationsButton")));
    QVERIFY(!find<QPushButton>(page, QStringLiteral("confirmNoticeButton")));
    QTRY_COMPARE(shownText(page, QStringLiteral("confirmationCount")), QStringLiteral("1/4 已确认"));

    QTest::mouseClick(find<QPushButton>(page, QStringLiteral("editOperationsButton")), Qt::LeftButton);
    QTRY_VERIFY(page->editor() && page->editor()->isVisible());
    MacOperationsEditor *editor = page->editor();
    QVERIFY(page->isEditing());
    QTest::keyClicks(editor->findChild<QLineEdit *>(QStringLiteral("assemblyTimeField")),
                     QStringLiteral("13:30"));
    editor->findChild<QLineEdit *>(QStringLiteral("checkinLocationField"))->insert(QStringLiteral("南门"));
    editor->findChild<QLineEdit *>(QStringLiteral("noticeTitleField"))->insert(QStringLiteral(" 彩排通知 "));
    editor->findChild<QPlainTextEdit *>(QStringLiteral("noticeContentEditor"))
        ->setPlainText(QStringLiteral("全体演员\n两点到场"));
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("operationsPublishButton")),
                      Qt::LeftButton);

    QTRY_VERIFY(!page->editor());
    QVERIFY(!page->isEditing());
    const QList<RecordedRequest> sent = m_service->requests("/api/operations", "PATCH");
    QCOMPARE(sent.size(), 1);
    const QJsonObject body = sent.first().json();
    // Every field goes out exactly as typed, the untouched ones too.
    QCOMPARE(body.value(QStringLiteral("noticeTitle")).toString(), QStringLiteral(" 彩排通知 "));
    QCOMPARE(body.value(QStringLiteral("assemblyTime")).toString(), QStringLiteral("13:30"));
    QVERIFY(body.contains(QStringLiteral("dinnerNote")));
    QVERIFY(body.contains(QStringLiteral("rehearsalTime")));

    // The page shows the reloaded arrangements; the publish reset the confirmations.
    QTRY_COMPARE(shownText(page, QStringLiteral("confirmationCount")), QStringLiteral("0/4 已确认"));
    QTRY_COMPARE(shownText(page, QStringLiteral("noticeHeading")), QStringLiteral(" 彩排通知 "));
    QCOMPARE(page->findChild<QWidget *>(QStringLiteral("assemblyCard"))
                 ->findChild<QLabel *>(QStringLiteral("infoCardLine"))
                 ->text(),
             QStringLiteral("13:30"));
    QCOMPARE(page->findChild<QWidget *>(QStringLiteral("dinnerCard"))
                 ->findChild<QLabel *>(QStringLiteral("infoCardLine"))
                 ->text(),
             QStringLiteral("待发布"));
    screenshot(workspace.get(), QStringLiteral("arrangements"));

    QTest::mouseClick(find<QPushButton>(page, QStringLiteral("confirmNoticeButton")), Qt::LeftButton);
    QTRY_VERIFY(find<QWidget>(page, QStringLiteral("noticeConfirmedLabel")));
    QVERIFY(!find<QPushButton>(page, QStringLiteral("confirmNoticeButton")));
    QCOMPARE(shownText(page, QStringLiteral("confirmationCount")), QStringLiteral("1/4 已确认"));
    QCOMPARE(workspace->store().error(), QString());
}

void TestWorkspace::refusedPublishKeepsEditorOpen()
{
    auto workspace = openWorkspace();
    workspace->setPage(Page::operations);
    auto *page = qobject_cast<MacOperationsView *>(workspace->pageView());
    QTRY_VERIFY(find<QPushButton>(page, QStringLiteral("editOperationsButton")));
    m_service->script(
        "PATCH", "/api/operations",
        Script{.status = 409, .body = QByteArray(R"({"error":"安排已被他人修改"})"), .delayMs = 200});

    QTest::mouseClick(find<QPushButton>(page, QStringLiteral("editOperationsButton")), Qt::LeftButton);
    QTRY_VERIFY(page->editor());
    MacOperationsEditor *editor = page->editor();
    editor->findChild<QLineEdit *>(QStringLiteral("dinnerNoteField"))->insert(QStringLiteral("盒饭"));
    auto *publish = editor->findChild<QPushButton *>(QStringLiteral("operationsPublishButton"));
    QTest::mouseClick(publish, Qt::LeftButton);
    QCOMPARE(publish->text(), QStringLiteral("正在发布…"));
    QVERIFY(!publish->isEnabled());

    QTRY_COMPARE(publish->text(), QStringLiteral("发布最新安排"));
    QVERIFY(publish->isEnabled());
    QCOMPARE(page->editor(), editor);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->findChild<QLineEdit *>(QStringLiteral("dinnerNoteField"))->text(),
             QStringLiteral("盒饭"));
    QTRY_COMPARE(page->findChild<MacErrorBanner *>()->message(), QStringLiteral("安排已被他人修改"));
    QVERIFY(page->findChild<MacErrorBanner *>()->isVisible());
    screenshot(workspace.get(), QStringLiteral("arrangements-refused"));

    // Cancel drops what was typed and sends nothing.
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("operationsCancelButton")),
                      Qt::LeftButton);
    QTRY_VERIFY(!page->editor());
    QCOMPARE(m_service->requests("/api/operations", "PATCH").size(), 1);
}

// A no-break space and CR/LF survive a publish nobody edited; Return in a field publishes nothing.
void TestWorkspace::untouchedFieldsGoBackAsLoaded()
{
    const QString content = QStringLiteral("全体演员\r\n两点\u00a0到场\r第二段\u2028末行\u2029");
    const QString title = QStringLiteral("彩排\u00a0通知");
    m_service->withPlatform([&](FakePlatform &p) {
        ProjectOperations &operations = p.project(m_projectId)->operations;
        operations.noticeContent = content;
        operations.noticeTitle = title;
        operations.dinnerNote = QStringLiteral("盒饭\u00a0两份");
    });
    auto workspace = openWorkspace();
    workspace->setPage(Page::operations);
    auto *page = qobject_cast<MacOperationsView *>(workspace->pageView());
    QTRY_VERIFY(find<QPushButton>(page, QStringLiteral("editOperationsButton")));
    QTest::mouseClick(find<QPushButton>(page, QStringLiteral("editOperationsButton")), Qt::LeftButton);
    QTRY_VERIFY(page->editor() && page->editor()->isVisible());
    MacOperationsEditor *editor = page->editor();

    for (auto *field : editor->findChildren<QLineEdit *>()) {
        QTest::keyClick(field, Qt::Key_Return);
    }
    QTest::keyClick(editor->findChild<QLineEdit *>(QStringLiteral("assemblyTimeField")), Qt::Key_Enter);
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QVERIFY(editor->isVisible());
    QVERIFY(!editor->isSaving());
    QCOMPARE(m_service->requests("/api/operations", "PATCH").size(), 0);

    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("operationsPublishButton")),
                      Qt::LeftButton);
    QTRY_VERIFY(!page->editor());
    const QJsonObject body = m_service->requests("/api/operations", "PATCH").first().json();
    QCOMPARE(body.value(QStringLiteral("noticeContent")).toString(), content);
    QCOMPARE(body.value(QStringLiteral("noticeTitle")).toString(), title);
    QCOMPARE(body.value(QStringLiteral("dinnerNote")).toString(), QStringLiteral("盒饭\u00a0两份"));
}

void TestWorkspace::closingWhilePublishingIsSafe()
{
    auto workspace = openWorkspace();
    workspace->setPage(Page::operations);
    auto *page = qobject_cast<MacOperationsView *>(workspace->pageView());
    QTRY_VERIFY(find<QPushButton>(page, QStringLiteral("editOperationsButton")));
    Script hang;
    hang.hang = true;
    hang.passThrough = true;
    m_service->script("PATCH", "/api/operations", hang);

    QTest::mouseClick(find<QPushButton>(page, QStringLiteral("editOperationsButton")), Qt::LeftButton);
    QTRY_VERIFY(page->editor());
    QTest::mouseClick(page->editor()->findChild<QPushButton *>(QStringLiteral("operationsPublishButton")),
                      Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);

    // The editor, the page and the store go while the publish waits for the service.
    workspace.reset();
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QCOMPARE(m_service->requests("/api/operations", "PATCH").size(), 1);
}

// Pictures of the pages over the demo show, for a person to look at; only with
// QUILLORY_SCREENSHOT_DIR set.
void TestWorkspace::demoScreenshots()
{
    if (qEnvironmentVariableIsEmpty("QUILLORY_SCREENSHOT_DIR")) {
        QSKIP("QUILLORY_SCREENSHOT_DIR not set");
    }
    const DemoShow demo = m_service->seedDemoShow();
    for (const QString &role : {QStringLiteral("总导演"), QStringLiteral("演员")}) {
        const DemoLogin *login = demo.loginForRole(role);
        QVERIFY(login);
        auto *tokens = dynamic_cast<MemoryTokenStore *>(&m_client->tokenStore());
        tokens->setToken(m_service->tokenFor(login->accountId));
        const ProjectSummary project =
            m_service->withPlatform([&](FakePlatform &p) { return p.project(demo.projectId)->summary; });
        MacProjectWorkspaceView workspace(project, *m_client);
        workspace.resize(1100, 900);
        workspace.show();
        QTRY_VERIFY(workspace.store().detail() && !workspace.store().isLoading());
        if (role == QStringLiteral("总导演")) {
            screenshot(&workspace, QStringLiteral("workspace-flow"));
        }
        workspace.setPage(Page::operations);
        QTRY_VERIFY(workspace.store().detail() && !workspace.store().isLoading());
        QTRY_VERIFY(workspace.pageView()->findChild<QWidget *>(QStringLiteral("arrangements")));
        screenshot(&workspace, QStringLiteral("arrangements-") +
                                   (role == QStringLiteral("演员") ? "performer" : "director"));
        if (role == QStringLiteral("总导演")) {
            auto *page = qobject_cast<MacOperationsView *>(workspace.pageView());
            QTest::mouseClick(find<QPushButton>(page, QStringLiteral("editOperationsButton")),
                              Qt::LeftButton);
            QTRY_VERIFY(page->editor());
            screenshot(page->editor(), QStringLiteral("arrangements-editor"));
            page->editor()->reject();
        }
    }
}

QTEST_MAIN(TestWorkspace)
#include "test_workspace.moc"
