#include "Error.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "admin/MacAdminProjectDetailSheet.h"
#include "admin/MacAdminRules.h"
#include "admin/MacAdminTable.h"
#include "admin/MacAdminView.h"
#include "api/APIClient.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>

#include <memory>

using Action = MacAdminPendingAction;

Q_DECLARE_METATYPE(MacAdminPendingAction)
Q_DECLARE_METATYPE(AdminAsset)

namespace {

AdminUser user(const QString &id, const QString &name, const QString &phone, const QString &status = "active")
{
    AdminUser u;
    u.id = id;
    u.name = name;
    u.phone = phone;
    u.status = status;
    return u;
}

AdminProject project(const QString &id, const QString &name)
{
    AdminProject p;
    p.id = id;
    p.name = name;
    return p;
}

AdminAsset asset(std::optional<QString> id, std::optional<QString> assetId, const QString &filename = "a.wav")
{
    AdminAsset a;
    a.id = std::move(id);
    a.assetId = std::move(assetId);
    a.filename = filename;
    a.category = QStringLiteral("audio");
    return a;
}

// One column's texts of a console list, row by row.
QStringList column(QTableView *view, int col)
{
    QStringList out;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        out.append(view->model()->index(row, col).data().toString());
    }
    return out;
}

} // namespace

class TestAdmin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void pendingActionTexts_data();
    void pendingActionTexts();
    void assetTargets_data();
    void assetTargets();
    void formatting_data();
    void formatting();
    void searchFields_data();
    void searchFields();
    void sourceNotesAndTransferCandidates();

    void opensOnOverviewAndSwitchesPages();
    void pageChangeAbandonsTheOlderLoad();
    void pageChangeBuildsTheListOnce();
    void failedLoadShowsItsError_data();
    void failedLoadShowsItsError();
    void confirmedActionSendsAndReloads_data();
    void confirmedActionSendsAndReloads();
    void archiveFallsBackToAssetId();
    void rowButtonTakesOnlyItsOwnClicksAndTheKeyboard();
    void failedActionKeepsThePage();
    void projectSheetShowsMembersAndRundown();
    void fakeServiceAdministration();
    void closingMidRequestIsSafe();
    void confirmedActionsThroughTheConsole_data();
    void confirmedActionsThroughTheConsole();

private:
    std::unique_ptr<MacAdminView> openConsole(const QString &accountId);
    QTableView *table(const QString &name) const;
    QMessageBox *confirmation() const;
    void clickCell(QTableView *view, int row, int col);
    void choose(MacAdminPage page);
    int adminGets() const { return int(m_service->requests("/api/admin", "GET").size()); }

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<MacAdminView> m_console;
    DemoShow m_demo;
};

void TestAdmin::initTestCase()
{
    Theme::install();
}

void TestAdmin::init()
{
    QVERIFY(TestHelpers::startDemoService(m_service, m_demo));
}

void TestAdmin::cleanup()
{
    m_console.reset();
    TestHelpers::shutDown(m_client, m_service);
}

std::unique_ptr<MacAdminView> TestAdmin::openConsole(const QString &accountId)
{
    m_client = TestHelpers::signedInClient(*m_service, accountId);
    auto console = std::make_unique<MacAdminView>(
        QStringLiteral("陆清"), [] {}, *m_client);
    console->resize(1280, 800);
    console->show();
    return console;
}

QTableView *TestAdmin::table(const QString &name) const
{
    return m_console->findChild<QTableView *>(name);
}

QMessageBox *TestAdmin::confirmation() const
{
    auto *box = m_console->findChild<QMessageBox *>(QStringLiteral("adminConfirmation"));
    return box && box->isVisible() ? box : nullptr;
}

void TestAdmin::clickCell(QTableView *view, int row, int col)
{
    const QModelIndex index = view->model()->index(row, col);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void TestAdmin::choose(MacAdminPage page)
{
    const QString key = QStringList{"overview", "users", "projects", "assets", "logs"}.at(int(page));
    QTest::mouseClick(m_console->findChild<QPushButton *>(QStringLiteral("adminPage_") + key),
                      Qt::LeftButton);
}

// --- Rules -----------------------------------------------------------------------------------

void TestAdmin::pendingActionTexts_data()
{
    AdminUser named = user("u1", "林悦", "1");
    named.nickname = QStringLiteral("小林");
    const AdminProject gala = project("p1", "晚会");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("restore account") << Action{Action::Account{named, "active"}} << "account-u1-active"
                                     << "确认恢复账号“林悦”？"
                                     << "恢复后用户可以重新登录。";
    QTest::newRow("suspend account") << Action{Action::Account{named, "suspended"}} << "account-u1-suspended"
                                     << "确认停用账号“林悦”？"
                                     << "停用会立即清除该账号现有登录会话，操作写入审计日志。";
    QTest::newRow("status differing in case")
        << Action{Action::Account{named, "Active"}} << "account-u1-Active"
        << "确认停用账号“林悦”？"
        << "停用会立即清除该账号现有登录会话，操作写入审计日志。";
    QTest::newRow("project status") << Action{Action::Project{gala, "已暂停"}} << "project-p1-已暂停"
                                    << "将“晚会”调整为“已暂停”？"
                                    << "项目数据不会删除，状态变更会写入审计日志。";
    QTest::newRow("transfer names the account, not its nickname")
        << Action{Action::Transfer{gala, named}} << "transfer-p1-u1"
        << "将“晚会”移交给“林悦”？"
        << "接收账号将成为总导演，原创建人保留项目成员身份；操作会写入审计日志。";
    QTest::newRow("archive") << Action{Action::Archive{asset(std::nullopt, "x9")}} << "archive-x9"
                             << "将“a.wav”移入回收站？"
                             << "素材会进入可恢复回收站，不执行永久删除。";
    QTest::newRow("restore") << Action{Action::Restore{asset("i1", "x9")}} << "restore-i1"
                             << "恢复素材“a.wav”？"
                             << "素材将恢复到原节目及原素材类别。";
}

void TestAdmin::pendingActionTexts()
{
    QFETCH(Action, action);
    QFETCH(QString, id);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QCOMPARE(action.id(), id);
    QCOMPARE(action.title(), title);
    QCOMPARE(action.message(), message);
}

void TestAdmin::assetTargets_data()
{
    QTest::addColumn<AdminAsset>("asset");
    QTest::addColumn<QString>("archive"); // "-" for none
    QTest::addColumn<QString>("restore");
    QTest::newRow("both") << asset("i1", "x1") << "i1"
                          << "x1";
    QTest::newRow("only id") << asset("i1", std::nullopt) << "i1"
                             << "i1";
    QTest::newRow("only asset_id") << asset(std::nullopt, "x1") << "x1"
                                   << "x1";
    QTest::newRow("neither") << asset(std::nullopt, std::nullopt) << "-"
                             << "-";
}

void TestAdmin::assetTargets()
{
    QFETCH(AdminAsset, asset);
    QFETCH(QString, archive);
    QFETCH(QString, restore);
    QCOMPARE(MacAdminRules::archiveTarget(asset).value_or("-"), archive);
    QCOMPARE(MacAdminRules::restoreTarget(asset).value_or("-"), restore);
}

void TestAdmin::formatting_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    using namespace MacAdminRules;
    QTest::newRow("0 bytes") << bytes(0) << "0 KB";
    QTest::newRow("1023 bytes") << bytes(1023) << "0 KB";
    QTest::newRow("1536 bytes") << bytes(1536) << "1 KB";
    QTest::newRow("just under 1 MiB") << bytes(1048575) << "1023 KB";
    QTest::newRow("1 MiB") << bytes(1048576) << "1.0 MB";
    QTest::newRow("just under 1 GiB") << bytes(1073741823) << "1024.0 MB";
    QTest::newRow("1 GiB") << bytes(1073741824) << "1.00 GB";
    QTest::newRow("negative") << bytes(-5000) << "0 KB";
    QTest::newRow("plain number") << number(1234567) << "1234567";
    QTest::newRow("negative number") << number(-42) << "-42";
    QTest::newRow("time") << shortTime(QStringLiteral("2025-03-01T08:30:00Z")) << "2025-03-01 08:30";
    QTest::newRow("short time stays whole") << shortTime(QStringLiteral("2025-03-01T08")) << "2025-03-01 08";
    QTest::newRow("lower-case t stays")
        << shortTime(QStringLiteral("2025-03-01t08:30:00")) << "2025-03-01t08:30";
    QTest::newRow("empty time") << shortTime(QString()) << "暂无";
    QTest::newRow("absent time") << shortTime(std::nullopt) << "暂无";
}

void TestAdmin::formatting()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestAdmin::searchFields_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("shown");
    // Users: name, phone, inviter name, inviter phone. Logs: summary, admin, target type.
    // Projects: name, owner name, owner phone. Assets: file, project, item.
    QTest::newRow("user by inviter phone") << "users"
                                           << "9988" << true;
    QTest::newRow("user across name and phone") << "users"
                                                << "Ann138" << true;
    QTest::newRow("user in capitals") << "users"
                                      << "ANN" << true;
    QTest::newRow("user by one blank") << "users"
                                       << " " << false;
    QTest::newRow("empty query keeps all") << "users"
                                           << "" << true;
    QTest::newRow("log across summary and admin") << "logs"
                                                  << "停用陆" << true;
    QTest::newRow("log by target id") << "logs"
                                      << "acct-7" << false;
    QTest::newRow("log by action") << "logs"
                                   << "accountStatus" << false;
    QTest::newRow("project across name and owner") << "projects"
                                                   << "ngga" << true;
    QTest::newRow("project in capitals") << "projects"
                                         << "SPRING" << true;
    QTest::newRow("asset by item") << "assets"
                                   << "开场" << true;
    QTest::newRow("asset with a trailing blank") << "assets"
                                                 << "开场 " << false;
}

void TestAdmin::searchFields()
{
    QFETCH(QString, page);
    QFETCH(QString, query);
    QFETCH(bool, shown);
    AdminUser u = user("u", "ann", "13800");
    u.inviterName = QStringLiteral("Bo");
    u.inviterPhone = QStringLiteral("19999887766");
    AdminAuditLog log{"l",         QStringLiteral("陆清"), "accountStatus", "account", "acct-7", "停用",
                      std::nullopt};
    AdminProject p = project("p", "Spring");
    p.ownerName = QStringLiteral("Gala");
    AdminAsset a = asset("a", std::nullopt, "x.wav");
    a.itemTitle = QStringLiteral("开场");
    qsizetype count = 0;
    if (page == "users") {
        count = MacAdminRules::shownUsers({u}, query).size();
    } else if (page == "logs") {
        count = MacAdminRules::shownLogs({log}, query).size();
    } else if (page == "projects") {
        count = MacAdminRules::shownProjects({p}, query).size();
    } else {
        count = MacAdminRules::shownAssets({a}, query).size();
    }
    QCOMPARE(count == 1, shown);
}

void TestAdmin::sourceNotesAndTransferCandidates()
{
    AdminUser u = user("u", "n", "1");
    const auto note = [&](const QString &source) {
        u.registrationSource = source;
        return MacAdminRules::sourceNote(u);
    };
    QCOMPARE(note("invitation"), QStringLiteral("邀请人待核对"));
    u.inviterName = QString();
    QCOMPARE(note("invitation"), QStringLiteral("由  邀请"));
    u.registrationProjectName = QString();
    u.registrationItemTitle = QStringLiteral("抽奖");
    QCOMPARE(note("lottery"), QStringLiteral("抽奖"));
    QCOMPARE(note("Invitation"), QStringLiteral("当时未记录来源"));
    QCOMPARE(MacAdminRules::sourceStyle(u).label, QStringLiteral("历史用户"));

    const QList<AdminUser> users{user("a", "A", "1"), user("b", "B", "2", "suspended"), user("c", "C", "3")};
    AdminProject owned = project("p", "P");
    owned.ownerAccountId = QStringLiteral("c");
    QCOMPARE(MacAdminRules::transferCandidates(users, owned).size(), 1);
    QCOMPARE(MacAdminRules::transferCandidates(users, project("q", "Q")).size(), 2);
    QCOMPARE(MacAdminPages::fromRawValue(QStringLiteral("用户管理")), std::optional(MacAdminPage::users));
    QCOMPARE(MacAdminPages::fromRawValue(QStringLiteral("用户")), std::nullopt);
}

// --- Console against the fake service --------------------------------------------------------

void TestAdmin::opensOnOverviewAndSwitchesPages()
{
    m_console = openConsole(m_demo.superAdmin()->accountId);
    auto *area = m_console->findChild<QWidget *>(QStringLiteral("adminLoading"));
    QVERIFY(area->isVisible());
    QTRY_VERIFY(!m_console->isLoading());
    QVERIFY(m_console->overview().has_value());
    auto *search = m_console->findChild<QLineEdit *>(QStringLiteral("adminSearchField"));
    QVERIFY(search->isHidden());
    QCOMPARE(m_console->findChild<QLabel *>(QStringLiteral("adminPageTitle"))->text(),
             QStringLiteral("总览"));

    choose(MacAdminPage::users);
    QTRY_VERIFY(!m_console->isLoading());
    QTest::keyClicks(search, QStringLiteral("13800138001"));
    QCOMPARE(m_console->query(), QStringLiteral("13800138001"));
    // 周敏, and the users who registered through her invitations (by inviter phone).
    QTRY_COMPARE(column(table("adminUsersTable"), 0).size(), 3);

    m_service->clearRequests();
    choose(MacAdminPage::projects);
    QVERIFY(search->text().isEmpty());
    QVERIFY(area->isVisible());
    QTRY_VERIFY(!m_console->isLoading());
    const QList<RecordedRequest> sent = m_service->requests("/api/admin", "GET");
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(0).queryItem("view"), QStringLiteral("projects"));
    QCOMPARE(sent.at(1).queryItem("view"), QStringLiteral("users"));

    QTest::keyClicks(search, QStringLiteral("x"));
    choose(MacAdminPage::projects); // the current page: empties the search, sends nothing
    QVERIFY(search->text().isEmpty());
    QCOMPARE(adminGets(), 2);
}

void TestAdmin::pageChangeAbandonsTheOlderLoad()
{
    Script held;
    held.status = 500;
    held.body = R"({"error":"旧的读取失败"})";
    held.hang = true;
    held.times = 1;
    m_service->script("GET", "/api/admin", held);
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_COMPARE(m_service->hangingCount(), 1);

    choose(MacAdminPage::logs);
    QTRY_VERIFY(!m_console->isLoading());
    QVERIFY(!m_console->logs().isEmpty());
    QSignalSpy finished(m_console.get(), &MacAdminView::loadFinished);
    choose(MacAdminPage::assets);
    QVERIFY(m_console->isLoading());
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    // The abandoned overview load failed, and wrote nothing.
    QVERIFY(m_console->error().isEmpty());
    QVERIFY(!m_console->overview());
    QCOMPARE(finished.size(), 1);
    QVERIFY(m_console->assetsData().has_value());
}

void TestAdmin::pageChangeBuildsTheListOnce()
{
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    auto *search = m_console->findChild<QLineEdit *>(QStringLiteral("adminSearchField"));
    QTableView *users = table("adminUsersTable");
    const auto leaveSearched = [&] {
        choose(MacAdminPage::users);
        QTRY_VERIFY(!m_console->isLoading());
        QTest::keyClicks(search, QStringLiteral("13800138001"));
        QTRY_COMPARE(column(users, 0).size(), 3);
        choose(MacAdminPage::logs);
        QTRY_VERIFY(!m_console->isLoading());
    };
    leaveSearched();

    QSignalSpy resets(users->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(users->model(), &QAbstractItemModel::dataChanged);
    choose(MacAdminPage::users);
    QTRY_VERIFY(!m_console->isLoading());
    QCOMPARE(resets.size() + changes.size(), 1);
    const qsizetype all = m_console->usersData()->users.size();
    QVERIFY(all > 3);
    QCOMPARE(column(users, 0).size(), all);

    // A failed load still shows the earlier list, under the emptied search.
    leaveSearched();
    Script failed;
    failed.status = 500;
    failed.body = R"({"error":"读取失败"})";
    failed.times = 1;
    m_service->script("GET", "/api/admin", failed);
    choose(MacAdminPage::users);
    QTRY_VERIFY(!m_console->isLoading());
    QCOMPARE(m_console->error(), QStringLiteral("读取失败"));
    QCOMPARE(column(users, 0).size(), all);
}

void TestAdmin::failedLoadShowsItsError_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString unavailable = QStringLiteral("服务暂不可用");
    QTest::newRow("assets, sign-in expired")
        << int(MacAdminPage::assets) << 401 << QStringLiteral("登录已过期，请重新登录");
    QTest::newRow("assets, refused") << int(MacAdminPage::assets) << 403
                                     << QStringLiteral("需要平台超级管理员权限");
    QTest::newRow("overview, on opening") << int(MacAdminPage::overview) << 500 << unavailable;
    QTest::newRow("users") << int(MacAdminPage::users) << 500 << unavailable;
    QTest::newRow("projects") << int(MacAdminPage::projects) << 500 << unavailable;
    QTest::newRow("logs") << int(MacAdminPage::logs) << 500 << unavailable;
}

void TestAdmin::failedLoadShowsItsError()
{
    QFETCH(int, page);
    QFETCH(int, status);
    QFETCH(QString, message);
    Script failed;
    failed.status = status;
    failed.body = QJsonDocument(QJsonObject{{"error", message}}).toJson();
    // The console opens on the overview: its first load is the one that fails.
    const bool opening = MacAdminPage(page) == MacAdminPage::overview;
    if (opening) {
        m_service->script("GET", "/api/admin", failed);
    }
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    if (!opening) {
        m_service->script("GET", "/api/admin", failed);
        choose(MacAdminPage(page));
        QTRY_VERIFY(!m_console->isLoading());
    }

    // Never loaded: the failure, not an empty page that looks real.
    auto *face = m_console->findChild<QWidget *>(QStringLiteral("adminLoadFailed"));
    QTRY_VERIFY(face->isVisible());
    QCOMPARE(m_console->findChild<QStackedWidget *>(QStringLiteral("adminPageArea"))->currentWidget(), face);
    QCOMPARE(m_console->findChild<QLabel *>(QStringLiteral("adminLoadFailedDescription"))->text(), message);
    QCOMPARE(m_console->error(), message);
    if (opening) {
        return;
    }

    // A page loaded before keeps its data under the banner.
    choose(MacAdminPage::overview);
    QTRY_VERIFY(!m_console->isLoading());
    QTRY_VERIFY(m_console->findChild<QWidget *>(QStringLiteral("adminOverviewPage"))->isVisible());
    QVERIFY(!face->isVisible());
    QVERIFY(m_console->findChild<MacErrorBanner *>(QStringLiteral("adminErrorBanner"))->isVisible());
}

void TestAdmin::confirmedActionSendsAndReloads_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void TestAdmin::confirmedActionSendsAndReloads()
{
    QFETCH(bool, confirm);
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    choose(MacAdminPage::users);
    QTRY_VERIFY(!m_console->isLoading());
    QTableView *users = table("adminUsersTable");
    const int row = int(column(users, 0).indexOf(QStringLiteral("林悦")));
    QVERIFY(row >= 0);
    QCOMPARE(users->model()->index(row, 6).data().toString(), QStringLiteral("停用"));
    const int before = adminGets();

    clickCell(users, row, 6);
    QTRY_VERIFY(confirmation());
    QCOMPARE(confirmation()->text(), QStringLiteral("确认停用账号“林悦”？"));
    QVERIFY(m_console->pendingAction());
    QTest::mouseClick(
        confirmation()->findChild<QPushButton *>(confirm ? "confirmAdminAction" : "cancelAdminAction"),
        Qt::LeftButton);
    QTRY_VERIFY(!confirmation());
    QVERIFY(!m_console->pendingAction());
    if (!confirm) {
        QVERIFY(TestHelpers::roundTrip(*m_client));
        QVERIFY(m_service->requests("/api/admin", "PATCH").isEmpty());
        QCOMPARE(adminGets(), before);
        return;
    }
    QTRY_COMPARE(adminGets(), before + 1);
    QTRY_VERIFY(!m_console->isLoading());
    const QJsonObject body = m_service->requests("/api/admin", "PATCH").first().json();
    QCOMPARE(body.value("action").toString(), QStringLiteral("accountStatus"));
    QCOMPARE(body.value("status").toString(), QStringLiteral("suspended"));
    QCOMPARE(users->model()->index(row, 5).data().toString(), QStringLiteral("已停用"));
    QCOMPARE(users->model()->index(row, 6).data().toString(), QStringLiteral("恢复"));

    // The audit log shows it.
    choose(MacAdminPage::logs);
    QTRY_VERIFY(!m_console->isLoading());
    QCOMPARE(column(table("adminLogsTable"), 1).first(), QStringLiteral("停用账号 林悦"));
}

void TestAdmin::archiveFallsBackToAssetId()
{
    const QString assetId = m_service->withPlatform([&](FakePlatform &p) {
        return p.project(m_demo.projectId)->item(m_demo.audioItemId)->audioAssetId.value();
    });
    QJsonArray assets;
    assets.append(QJsonObject{{"asset_id", assetId}, {"filename", "有编号.wav"}, {"category", "audio"}});
    assets.append(QJsonObject{{"filename", "无编号.wav"}, {"category", "audio"}});
    Script answer;
    answer.body = QJsonDocument(QJsonObject{{"assets", assets}, {"trash", QJsonArray()}}).toJson();
    answer.times = 1;
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    m_service->script("GET", "/api/admin", answer);
    choose(MacAdminPage::assets);
    QTRY_VERIFY(!m_console->isLoading());
    QTableView *current = table("adminAssetsTable");
    QCOMPARE(column(current, 1), QStringList({"有编号.wav", "无编号.wav"}));

    // Without any identifier: nothing is sent, and the administrator is told.
    clickCell(current, 1, 2);
    QTRY_VERIFY(confirmation());
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("confirmAdminAction"), Qt::LeftButton);
    QTRY_VERIFY(!m_console->error().isEmpty());
    QVERIFY(m_console->error().contains(QStringLiteral("无编号.wav")));
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QVERIFY(m_service->requests("/api/admin", "PATCH").isEmpty());
    QVERIFY(m_console->findChild<MacErrorBanner *>("adminErrorBanner")->isVisible());

    clickCell(current, 0, 2);
    QTRY_VERIFY(confirmation());
    const int gets = adminGets();
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("confirmAdminAction"), Qt::LeftButton);
    // The reload after the change: it ends the earlier refusal.
    QTRY_VERIFY(adminGets() > gets);
    QTRY_VERIFY(!m_console->isLoading());
    QCOMPARE(m_service->requests("/api/admin", "PATCH").size(), 1);
    QCOMPARE(m_service->requests("/api/admin", "PATCH").first().json().value("id").toString(), assetId);
    QVERIFY(m_console->error().isEmpty());
    const auto &trash = m_console->assetsData()->trash;
    QVERIFY(std::any_of(trash.cbegin(), trash.cend(), [&](const AdminAsset &a) { return a.id == assetId; }));
}

void TestAdmin::rowButtonTakesOnlyItsOwnClicksAndTheKeyboard()
{
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    choose(MacAdminPage::users);
    QTRY_VERIFY(!m_console->isLoading());
    auto *users = qobject_cast<MacAdminTableView *>(table("adminUsersTable"));
    QVERIFY(users);
    const int row = int(column(users, 0).indexOf(QStringLiteral("林悦")));
    QVERIFY(row > 0);
    const QModelIndex cell = users->model()->index(row, 6);
    users->scrollTo(cell);
    QWidget *viewport = users->viewport();
    const QRect button = MacAdminRowDelegate::buttonRect(users->visualRect(cell), cell.data().toString(),
                                                         users->fontMetrics());
    QVERIFY(users->visualRect(cell).contains(button) && button.width() < users->visualRect(cell).width());
    const auto proposed = [this] {
        const auto &action = m_console->pendingAction();
        return action && std::holds_alternative<Action::Account>(action->value)
                   ? std::get<Action::Account>(action->value).user.name
                   : QString();
    };

    // Beside the button, in its own cell: nothing.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(button.left() - 3, button.center().y()));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(button.center().x(), button.bottom() + 3));
    // Pressed, then let go elsewhere: shown pressed only while the pointer is on it; nothing.
    QTest::mousePress(viewport, Qt::LeftButton, {}, button.center());
    QVERIFY(users->isButtonDown(cell));
    QMouseEvent away(QEvent::MouseMove, QPointF(button.right() + 10, button.center().y()),
                     viewport->mapToGlobal(QPointF(button.right() + 10, button.center().y())), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &away);
    QVERIFY(!users->isButtonDown(cell));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(button.right() + 10, button.center().y()));
    QVERIFY(!confirmation());
    QVERIFY(proposed().isEmpty());
    // On the button: proposed.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, button.topLeft() + QPoint(2, 2));
    QTRY_VERIFY(confirmation());
    QCOMPARE(proposed(), QStringLiteral("林悦"));
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("cancelAdminAction"), Qt::LeftButton);
    QTRY_VERIFY(!confirmation());
    QVERIFY(!users->hasFocus()); // a click leaves no keyboard focus behind

    // Keyboard: Tab reaches the table, the arrows pick the row, Space presses its button.
    QVERIFY(QTest::qWaitForWindowActive(m_console.get()));
    auto *search = m_console->findChild<QLineEdit *>(QStringLiteral("adminSearchField"));
    search->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 5 && !users->hasFocus(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY(users->hasFocus());
    QTest::keyClick(users, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(users->currentIndex().row(), 0);
    for (int i = 0; i < row; ++i) {
        QTest::keyClick(users, Qt::Key_Down);
    }
    QTest::keyClick(users, Qt::Key_Right);
    QVERIFY(users->hasButtonFocus(cell));
    QTest::keyPress(users, Qt::Key_Space);
    QVERIFY(users->isButtonDown(cell));
    QVERIFY(!confirmation());
    QTest::keyRelease(users, Qt::Key_Space);
    QTRY_VERIFY(confirmation());
    QCOMPARE(proposed(), QStringLiteral("林悦"));
}

void TestAdmin::failedActionKeepsThePage()
{
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    choose(MacAdminPage::projects);
    QTRY_VERIFY(!m_console->isLoading());
    const QList<AdminProject> before = m_console->projects();
    Script refused;
    refused.status = 409;
    refused.body = R"({"error":"项目正在直播，暂不能调整"})";
    m_service->script("PATCH", "/api/admin", refused);
    const int gets = adminGets();

    m_console->propose({Action::Project{before.first(), QStringLiteral("已归档")}});
    QTRY_VERIFY(confirmation());
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("confirmAdminAction"), Qt::LeftButton);
    QTRY_COMPARE(m_console->error(), QStringLiteral("项目正在直播，暂不能调整"));
    QVERIFY(!confirmation());
    QCOMPARE(adminGets(), gets);
    QCOMPARE(m_console->projects(), before);
    QVERIFY(!m_console->isLoading());

    // A later successful load clears the banner.
    auto *refresh = m_console->findChild<QPushButton *>("adminRefreshButton");
    QTest::mouseClick(refresh, Qt::LeftButton);
    QCOMPARE(m_console->error(), QStringLiteral("项目正在直播，暂不能调整"));
    QTRY_VERIFY(!m_console->isLoading());
    QVERIFY(m_console->error().isEmpty());

    // A load already under way when an action fails does not take the action's error away.
    m_service->script("GET", "/api/admin", Script{.hang = true, .times = 1, .passThrough = true});
    QTest::mouseClick(refresh, Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    m_console->propose({Action::Project{before.first(), QStringLiteral("已归档")}});
    QTRY_VERIFY(confirmation());
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("confirmAdminAction"), Qt::LeftButton);
    QTRY_COMPARE(m_console->error(), QStringLiteral("项目正在直播，暂不能调整"));
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QVERIFY(!m_console->isLoading());
    QCOMPARE(m_console->error(), QStringLiteral("项目正在直播，暂不能调整"));
}

void TestAdmin::projectSheetShowsMembersAndRundown()
{
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    AdminProject gala = project(m_demo.projectId, QStringLiteral("卡片上的名字"));
    m_console->showProject(gala);
    auto *sheet = m_console->findChild<MacAdminProjectDetailSheet *>();
    QVERIFY(sheet);
    QCOMPARE(sheet->findChild<QLabel *>("adminDetailName")->text(), QStringLiteral("卡片上的名字"));
    QTRY_VERIFY(sheet->detail().has_value());
    QStringList lines = column(sheet->findChild<QTableView *>("adminDetailMembers"), 0);
    QCOMPARE(lines.size(), sheet->detail()->members.size());
    const QStringList details = [&] {
        QStringList out;
        auto *view = sheet->findChild<QTableView *>("adminDetailMembers");
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            out.append(view->model()->index(row, 0).data(MacAdminTableModel::DetailRole).toString());
        }
        return out;
    }();
    QVERIFY(details.contains(QStringLiteral("主持人 · 未注册"))); // the invited 苏航
    QVERIFY(details.contains(QStringLiteral("总导演 · 已注册")));
    QTest::mouseClick(sheet->findChild<QPushButton *>("adminDetailCloseButton"), Qt::LeftButton);
    QTRY_VERIFY(!m_console->selectedProject());

    m_console->showProject(project(QStringLiteral("no-such-project"), QStringLiteral("X")));
    MacAdminProjectDetailSheet *failed = nullptr;
    for (auto *candidate : m_console->findChildren<MacAdminProjectDetailSheet *>()) {
        failed = candidate->isVisible() ? candidate : failed;
    }
    QTRY_VERIFY(failed && !failed->error().isEmpty());
    QVERIFY(failed->findChild<QWidget *>("adminDetailFailed")->isVisible());
    QCOMPARE(failed->findChild<QLabel *>("adminDetailError")->text(), failed->error());
}

void TestAdmin::fakeServiceAdministration()
{
    // Only the platform administrator may look.
    m_console = openConsole(m_demo.loginForRole(QStringLiteral("总导演"))->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    QVERIFY(!m_console->error().isEmpty());
    QVERIFY(!m_console->overview());
    m_console.reset();

    APIClient admin(QUrl(m_service->baseUrl()),
                    std::make_shared<MemoryTokenStore>(m_service->tokenFor(m_demo.superAdmin()->accountId)),
                    false);
    // The action's error text, empty on success.
    const auto wait = [](QCoro::Task<> task) {
        bool done = false;
        QString error;
        [](QCoro::Task<> t, bool &d, QString &e) -> QCoro::Task<> {
            try {
                co_await std::move(t);
            } catch (...) {
                e = describeCurrentException();
            }
            d = true;
        }(std::move(task), done, error);
        return QTest::qWaitFor([&] { return done; }, 10000) ? error : QStringLiteral("timed out");
    };
    const auto roleOf = [&](const QString &accountId) {
        return m_service->withPlatform([&](FakePlatform &p) {
            const ProjectMember *m = p.project(m_demo.projectId)->memberForAccount(accountId);
            return m ? m->role : QString();
        });
    };
    const QString former = m_demo.loginForRole(QStringLiteral("总导演"))->accountId;
    const QString receiver = m_demo.loginForRole(QStringLiteral("主持人"))->accountId;
    const QString suspended = m_service->withPlatform(
        [](FakePlatform &p) { return p.accountByPhone(QStringLiteral("13800138011"))->account.id; });

    QVERIFY(!wait(admin.transferAdminProject(m_demo.projectId, suspended)).isEmpty());
    QCOMPARE(wait(admin.transferAdminProject(m_demo.projectId, receiver)), QString());
    QCOMPARE(roleOf(receiver), QStringLiteral("总导演"));
    QVERIFY(!roleOf(former).isEmpty());
    QVERIFY(roleOf(former) != QStringLiteral("总导演"));

    // Restoring gives the item its file back with its duration.
    const auto audio = [&] {
        return m_service->withPlatform([&](FakePlatform &p) {
            const RundownItem *i = p.project(m_demo.projectId)->item(m_demo.audioItemId);
            return std::pair(i->audioAssetId.value_or(QString()), i->audioDuration);
        });
    };
    const auto [assetId, duration] = audio();
    QVERIFY(duration > 0);
    QCOMPARE(wait(admin.archiveAdminAsset(assetId)), QString());
    QCOMPARE(audio().second, 0);
    QCOMPARE(wait(admin.restoreAdminAsset(assetId)), QString());
    QCOMPARE(audio(), std::pair(assetId, duration));
    QCOMPARE(m_service->withPlatform([](FakePlatform &p) { return p.auditLogs.last().action; }),
             QStringLiteral("restoreAsset"));
    // The demo's recycle bin is not empty.
    QVERIFY(m_service->withPlatform([](FakePlatform &p) {
        return std::any_of(p.assets.cbegin(), p.assets.cend(),
                           [](const FakeAsset &a) { return a.trashedAt.has_value(); });
    }));
    QTRY_VERIFY(TestHelpers::requestsEnded(admin));
    admin.network().clearConnectionCache();
}

void TestAdmin::closingMidRequestIsSafe()
{
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    Script held;
    held.hang = true;
    m_service->script("GET", "/api/admin", held);
    m_service->script("PATCH", "/api/admin", held);
    m_console->refresh();
    m_console->showProject(project(m_demo.projectId, QStringLiteral("晚会")));
    m_console->propose(
        {Action::Project{project(m_demo.projectId, QStringLiteral("晚会")), QStringLiteral("已暂停")}});
    QTRY_VERIFY(confirmation());
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("confirmAdminAction"), Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 3);
    m_console.reset();
    m_service->releaseHangs();
    QTRY_VERIFY_WITH_TIMEOUT(TestHelpers::requestsEnded(*m_client), 10000);
}

void TestAdmin::confirmedActionsThroughTheConsole_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("search"); // typed first: the list's rows then differ from the records
    QTest::newRow("account restored, searched")
        << "accountStatus" << int(MacAdminPage::users) << QStringLiteral("13800138011");
    QTest::newRow("project status") << "projectStatus" << int(MacAdminPage::projects) << QString();
    QTest::newRow("project transferred") << "transferProject" << int(MacAdminPage::projects) << QString();
    QTest::newRow("asset restored") << "restoreAsset" << int(MacAdminPage::assets) << QString();
    QTest::newRow("asset with an id archived, searched")
        << "archiveAsset" << int(MacAdminPage::assets) << QStringLiteral("{audio}");
}

void TestAdmin::confirmedActionsThroughTheConsole()
{
    QFETCH(QString, action);
    QFETCH(int, page);
    QFETCH(QString, search);
    const QString suspended = m_service->withPlatform(
        [](FakePlatform &p) { return p.accountByPhone(QStringLiteral("13800138011"))->account.id; });
    const DemoLogin *receiver = m_demo.loginForRole(QStringLiteral("主持人"));
    const auto [audioId, audioName] = m_service->withPlatform([&](FakePlatform &p) {
        const RundownItem *i = p.project(m_demo.projectId)->item(m_demo.audioItemId);
        return std::pair(i->audioAssetId.value_or(QString()), i->audioName);
    });
    m_console = openConsole(m_demo.superAdmin()->accountId);
    QTRY_VERIFY(!m_console->isLoading());
    choose(MacAdminPage(page));
    QTRY_VERIFY(!m_console->isLoading());
    // Typed as an input method delivers it, in one edit.
    auto *field = m_console->findChild<QLineEdit *>(QStringLiteral("adminSearchField"));
    field->setText(search == QStringLiteral("{audio}") ? audioName : search);
    Q_EMIT field->textEdited(field->text());
    const auto gala = [&] {
        const QList<AdminProject> &all = m_console->projects();
        return *std::find_if(all.cbegin(), all.cend(),
                             [&](const AdminProject &p) { return p.id == m_demo.projectId; });
    };
    const auto holds = [](const QList<AdminAsset> &assets, const QString &id) {
        return std::any_of(assets.cbegin(), assets.cend(), [&](const AdminAsset &a) { return a.id == id; });
    };

    QJsonObject expected{{"action", action}};
    QString binned;
    if (action == QStringLiteral("accountStatus")) {
        QTableView *users = table(QStringLiteral("adminUsersTable"));
        QTRY_COMPARE(users->model()->rowCount(), 1);
        QVERIFY(m_console->usersData()->users.first().id != suspended);
        clickCell(users, 0, 6);
        expected.insert("id", suspended);
        expected.insert("status", "active");
    } else if (action == QStringLiteral("projectStatus")) {
        m_console->propose({Action::Project{gala(), QStringLiteral("已暂停")}});
        expected.insert("id", m_demo.projectId);
        expected.insert("status", QStringLiteral("已暂停"));
    } else if (action == QStringLiteral("transferProject")) {
        m_console->propose(
            {Action::Transfer{gala(), user(receiver->accountId, receiver->name, receiver->phone)}});
        expected.insert("id", m_demo.projectId);
        expected.insert("targetAccountId", receiver->accountId);
    } else if (action == QStringLiteral("restoreAsset")) {
        binned = m_console->assetsData()->trash.first().assetId.value_or(QString());
        clickCell(table(QStringLiteral("adminTrashTable")), 0, 2);
        expected.insert("id", binned);
    } else {
        QTableView *assets = table(QStringLiteral("adminAssetsTable"));
        QTRY_COMPARE(assets->model()->rowCount(), 1);
        QVERIFY(m_console->assetsData()->assets.first().id != audioId);
        clickCell(assets, 0, 2);
        expected.insert("id", audioId);
    }
    QTRY_VERIFY(confirmation());
    const int gets = adminGets();
    QTest::mouseClick(confirmation()->findChild<QPushButton *>("confirmAdminAction"), Qt::LeftButton);
    QTRY_VERIFY(adminGets() > gets);
    QTRY_VERIFY(!m_console->isLoading());
    const QList<RecordedRequest> sent = m_service->requests("/api/admin", "PATCH");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().json(), expected);

    // The reloaded page shows the change.
    if (action == QStringLiteral("accountStatus")) {
        QCOMPARE(table(QStringLiteral("adminUsersTable"))->model()->index(0, 6).data().toString(),
                 QStringLiteral("停用"));
    } else if (action == QStringLiteral("projectStatus")) {
        QCOMPARE(gala().status, QStringLiteral("已暂停"));
    } else if (action == QStringLiteral("transferProject")) {
        QCOMPARE(gala().ownerAccountId, std::optional(receiver->accountId));
    } else if (action == QStringLiteral("restoreAsset")) {
        QVERIFY(holds(m_console->assetsData()->assets, binned));
        QVERIFY(!holds(m_console->assetsData()->trash, binned));
    } else {
        QVERIFY(holds(m_console->assetsData()->trash, audioId));
    }
}

QTEST_MAIN(TestAdmin)
#include "test_admin.moc"
