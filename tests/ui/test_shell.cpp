#include "DemoShow.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "admin/MacAdminView.h"
#include "api/APIClient.h"
#include "common/Theme.h"
#include "flow/FlowPageState.h"
#include "flow/FlowTableView.h"
#include "flow/MacFlowPlayerBar.h"
#include "flow/MacProjectFlowView.h"
#include "flow/MacVideoPlayerView.h"
#include "shell/AccountAccessPanel.h"
#include "shell/CreateProjectSheet.h"
#include "shell/LoadingView.h"
#include "shell/LoginView.h"
#include "shell/ProjectHomeView.h"
#include "shell/QtTranslations.h"
#include "shell/RootView.h"
#include "shell/StartupUnavailableView.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacProjectWorkspaceView.h"

#include <QApplication>
#include <QFileDialog>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPixmapCache>
#include <QPointer>
#include <QPushButton>
#include <QRawFont>
#include <QScopeGuard>
#include <QTextLayout>
#include <QToolButton>
#include <QVideoWidget>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;
using Phase = AppStore::Phase;
using Outcome = AccountAccessPanel::Outcome;

namespace {

Membership membership(const QString &id, const QString &projectId, const QString &role)
{
    return Membership{id, projectId, QStringLiteral("我"), role};
}

ProjectSummary summary(const QString &id, const QString &name, const QString &date = {},
                       const QString &time = {})
{
    ProjectSummary p;
    p.id = id;
    p.name = name;
    p.eventDate = date;
    p.startTime = time;
    return p;
}

template<typename T>
T *child(QWidget *parent, const char *name)
{
    return parent ? parent->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void loginRules_data();
    void loginRules();
    void captions_data();
    void captions();
    void orderedMemberships();
    void nicknameAndCreateEnabling_data();
    void nicknameAndCreateEnabling();
    void symbolsHaveThemeImages();
    void checkMarksComeFromTheSymbolsFace();

    void qtOwnTextsInChinese();
    void windowStartsLoadingAndBootstrapsOnFirstShow();
    void newWindowHasItsOwnStore();
    void unusableBaseURLShowsTheFailureScreen();
    void retryFromFailureShowsLoadingAtOnce();
    void signInCreateSwitchAndSignOut();
    void loginKeepsWhatIsTyped();
    void newProjectKeepsTheOpenWorkspace();
    void openingLoadsEachCopyOfTheProjectOnce();
    void switchingWhileAVideoPlaysKeepsOnePicture();
    void pageBarFitsTheSmallestWindow();
    void createFailureKeepsSheetAndCancelledCreationStillSelects();
    void nicknameMessageColouredByOutcome();
    void superAdminConsoleRoundTrip();
    void closingTheWindowMidRequest_data();
    void closingTheWindowMidRequest();

private:
    void showRoot(APIClient &client);
    QString seedAccountWithProjects(const QString &phone, bool superAdmin = false);
    void signInThroughLogin(const QString &phone);
    ProjectHomeView *home() const;
    void clickRow(QListWidget *list, int row);

    std::unique_ptr<FakeService> m_service;
    std::shared_ptr<MemoryTokenStore> m_tokens;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<RootView> m_root;
    QString m_firstProject;  // dated 2026-04-01
    QString m_secondProject; // dated 2026-05-01, listed first by the service
};

void TestShell::initTestCase()
{
    Theme::install();
}

void TestShell::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_tokens = std::make_shared<MemoryTokenStore>();
    m_client = std::make_unique<APIClient>(QUrl(m_service->baseUrl()), m_tokens, false);
}

void TestShell::cleanup()
{
    m_root.reset();
    // Every request must have ended before the client goes: a coroutine waiting on a destroyed
    // manager would never resume.
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_client->network().clearConnectionCache();
    m_service->stop();
    m_client.reset();
    m_service.reset();
}

void TestShell::showRoot(APIClient &client)
{
    m_root = std::make_unique<RootView>(client, client, 10s);
    m_root->resize(1100, 760);
    m_root->show();
}

QString TestShell::seedAccountWithProjects(const QString &phone, bool superAdmin)
{
    const QString accountID = m_service->addAccount(phone, QStringLiteral("林岚"), superAdmin);
    m_secondProject = m_service->addProject(QStringLiteral("夏日晚会"), accountID);
    m_firstProject = m_service->addProject(QStringLiteral("春季读书会"), accountID);
    m_service->withPlatform([&](FakePlatform &p) {
        p.project(m_secondProject)->summary.eventDate = QStringLiteral("2026-05-01");
        p.project(m_firstProject)->summary.eventDate = QStringLiteral("2026-04-01");
    });
    return accountID;
}

ProjectHomeView *TestShell::home() const
{
    return qobject_cast<ProjectHomeView *>(m_root->screen());
}

void TestShell::signInThroughLogin(const QString &phone)
{
    QTRY_VERIFY(qobject_cast<LoginView *>(m_root->screen()));
    QWidget *login = m_root->screen();
    auto *requestCode = child<QPushButton>(login, "requestCodeButton");
    auto *signIn = child<QPushButton>(login, "signInButton");
    QVERIFY(!requestCode->isEnabled());
    QTest::keyClicks(child<QLineEdit>(login, "phoneField"), phone);
    QVERIFY(requestCode->isEnabled());
    QTest::mouseClick(requestCode, Qt::LeftButton);
    QTRY_COMPARE(requestCode->text(), QStringLiteral("已发送"));
    QTRY_VERIFY(requestCode->isEnabled());
    QTest::keyClicks(child<QLineEdit>(login, "codeField"), FakeService::smsCode);
    QVERIFY(signIn->isEnabled());
    QTest::mouseClick(signIn, Qt::LeftButton);
    QTRY_VERIFY(home());
}

void TestShell::clickRow(QListWidget *list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestShell::loginRules_data()
{
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("canRequest");
    QTest::addColumn<bool>("canSignIn");

    QTest::newRow("11 and 6") << "13800138000"
                              << "123456" << false << true << true;
    QTest::newRow("10 digits") << "1380013800"
                               << "123456" << false << false << false;
    QTest::newRow("12 digits") << "138001380001"
                               << "123456" << false << false << false;
    QTest::newRow("any 11 characters") << "abc def ghi"
                                       << "123456" << false << true << true;
    QTest::newRow("spaces count, nothing trimmed") << " 1380013800"
                                                   << "12345 " << false << true << true;
    QTest::newRow("emoji is one character")
        << QStringLiteral("1380013800👍🏽") << "123456" << false << true << true;
    QTest::newRow("code of 5") << "13800138000"
                               << "12345" << false << true << false;
    QTest::newRow("code of 7") << "13800138000"
                               << "1234567" << false << true << false;
    QTest::newRow("busy disables both") << "13800138000"
                                        << "123456" << true << false << false;
}

void TestShell::loginRules()
{
    QFETCH(QString, phone);
    QFETCH(QString, code);
    QFETCH(bool, busy);
    QFETCH(bool, canRequest);
    QFETCH(bool, canSignIn);
    QCOMPARE(LoginRules::canRequestCode(phone, busy), canRequest);
    QCOMPARE(LoginRules::canSignIn(phone, code, busy), canSignIn);
}

void TestShell::captions_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("caption");
    QTest::newRow("both") << "2026-01-01"
                          << "19:30" << QStringLiteral("2026-01-01 · 19:30");
    QTest::newRow("only time") << ""
                               << "19:30"
                               << "19:30";
    QTest::newRow("only date") << "2026-01-01"
                               << ""
                               << "2026-01-01";
    QTest::newRow("none") << ""
                          << ""
                          << "";
    QTest::newRow("blanks are present") << "  "
                                        << ""
                                        << "  ";
}

void TestShell::captions()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, caption);
    QCOMPARE(ProjectHomeView::caption(summary(QStringLiteral("p"), QStringLiteral("n"), date, time)),
             caption);
}

void TestShell::orderedMemberships()
{
    const QList<ProjectSummary> projects{summary(QStringLiteral("pb"), QStringLiteral("B")),
                                         summary(QStringLiteral("pa"), QStringLiteral("A"))};
    const QList<Membership> memberships{
        membership(QStringLiteral("1"), QStringLiteral("pb"), QStringLiteral("演员")),
        membership(QStringLiteral("2"), QStringLiteral("zz-gone"), QStringLiteral("演员")),
        membership(QStringLiteral("3"), QStringLiteral("pa"), QStringLiteral("音响师")),
        membership(QStringLiteral("4"), QStringLiteral("pa"), QStringLiteral("主持人"))};
    QStringList order;
    for (const Membership &m : AccountAccessPanel::orderedMemberships(memberships, projects)) {
        order << m.id;
    }
    // A before B; within A by role (主 U+4E3B before 音 U+97F3); an unknown project sorts by its id.
    QCOMPARE(order, QStringList({"4", "3", "1", "2"}));
    QCOMPARE(AccountAccessPanel::projectName(memberships[1], projects), QStringLiteral("项目名称待同步"));
    QCOMPARE(AccountAccessPanel::projectName(memberships[0], projects), QStringLiteral("B"));
}

void TestShell::nicknameAndCreateEnabling_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("canSave");
    QTest::addColumn<bool>("canCreate");

    QTest::newRow("empty") << QString() << false << true << false;
    QTest::newRow("blanks only") << QStringLiteral(" \t\u3000") << false << true << false;
    QTest::newRow("24 characters") << QStringLiteral("名").repeated(24) << false << true << true;
    QTest::newRow("25 characters") << QStringLiteral("名").repeated(25) << false << false << true;
    QTest::newRow("24 plus a trailing blank")
        << QStringLiteral("名").repeated(24) + QLatin1Char(' ') << false << false << true;
    QTest::newRow("24 emoji with modifiers")
        << QStringLiteral("👍🏽").repeated(24) << false << true << true;
    QTest::newRow("busy") << QStringLiteral("名") << true << false << false;
}

void TestShell::nicknameAndCreateEnabling()
{
    QFETCH(QString, text);
    QFETCH(bool, busy);
    QFETCH(bool, canSave);
    QFETCH(bool, canCreate);
    QCOMPARE(AccountAccessPanel::canSaveNickname(text, busy), canSave);
    QCOMPARE(CreateProjectSheet::canCreate(text, busy), canCreate);
}

void TestShell::symbolsHaveThemeImages()
{
    // The shell's and the workspace's symbols must not fall back to a drawn glyph.
    for (const char *symbol :
         {"wifi.exclamationmark", "plus.circle.fill", "person.crop.circle", "checkmark.shield.fill",
          "music.note.list", "tablecells", "calendar", "clock", "checklist", "person.2",
          "play.rectangle.on.rectangle", "list.bullet", "checkmark.circle", "play.circle",
          "exclamationmark.triangle", "arrow.clockwise"}) {
        QVERIFY2(Theme::hasThemeImage(QString::fromLatin1(symbol)), symbol);
    }
    QVERIFY(!Theme::hasThemeImage(QStringLiteral("no.such.symbol")));
    QVERIFY(!Theme::symbolPixmap(QStringLiteral("no.such.symbol"), 24, Qt::black).isNull());
}

// The Chinese face's check mark reads as a radical sign; the symbols face must draw it, and only it.
void TestShell::checkMarksComeFromTheSymbolsFace()
{
    const QString chinese = QStringLiteral("WenQuanYi Micro Hei");
    for (const Theme::TextStyle style :
         {Theme::TextStyle::caption2, Theme::TextStyle::body, Theme::TextStyle::largeTitle}) {
        const QFont font = Theme::font(style);
        QTextLayout layout(QStringLiteral("✓ 已签到 ok ✗"), font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QMap<QString, int> glyphs;
        for (const QGlyphRun &run : layout.glyphRuns()) {
            glyphs[run.rawFont().familyName()] += int(run.glyphIndexes().size());
        }
        QCOMPARE(glyphs.value(QStringLiteral("Quillory Symbols")), 2);
        QCOMPARE(glyphs.value(chinese), 8);
        // Same line metrics as the Chinese face alone, so no text moves or clips.
        QFont plain = font;
        plain.setFamilies({chinese});
        QCOMPARE(QFontMetrics(font).height(), QFontMetrics(plain).height());
        QCOMPARE(QFontMetrics(font).ascent(), QFontMetrics(plain).ascent());
    }
}

void TestShell::qtOwnTextsInChinese()
{
    QVERIFY(installQtTranslations(*QCoreApplication::instance()));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QVERIFY(child<QLabel>(&dialog, "lookInLabel")->text().startsWith(QStringLiteral("查找范围")));
    auto *translator = QCoreApplication::instance()->findChild<QTranslator *>();
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

void TestShell::windowStartsLoadingAndBootstrapsOnFirstShow()
{
    // Built as the program builds it, with the default start-up time-out.
    m_root = std::make_unique<RootView>(*m_client);
    QCOMPARE(m_root->store().bootstrapTimeout(), 8s);
    QCOMPARE(m_root->windowTitle(), QStringLiteral("Quillory"));
    QVERIFY(m_root->minimumSize().width() >= 980 && m_root->minimumSize().height() >= 680);
    QVERIFY(qobject_cast<LoadingView *>(m_root->screen()));
    QCOMPARE(m_service->requestCount(), 0);

    m_root->show();
    QTRY_VERIFY(qobject_cast<LoginView *>(m_root->screen()));
    QCOMPARE(child<QLabel>(m_root->screen(), "versionLine")->text(),
             QStringLiteral("Quillory v0.18.2（Build 55）"));
    // Showing again does not start another attempt.
    m_root->hide();
    m_root->show();
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(m_service->requests("/api/session", "GET").size(), 1);
}

void TestShell::newWindowHasItsOwnStore()
{
    const QString phone = QStringLiteral("13911114444");
    seedAccountWithProjects(phone);
    m_tokens->setToken(m_service->signIn(phone));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    QVERIFY(QTest::qWaitForWindowActive(m_root.get()));
    const auto probes = m_service->requests("/api/session", "GET").size();

    QTest::keyClick(m_root.get(), Qt::Key_N, Qt::ControlModifier);
    std::unique_ptr<RootView> second;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<RootView *>(w) && w != m_root.get()) {
            second.reset(static_cast<RootView *>(w));
        }
    }
    QVERIFY(second);
    QVERIFY(second->isVisible());
    QVERIFY(&second->store() != &m_root->store());
    // Its own bootstrap, with the token the windows share.
    QTRY_VERIFY(qobject_cast<ProjectHomeView *>(second->screen()));
    QCOMPARE(m_service->requests("/api/session", "GET").size(), probes + 1);

    // Leaving in one window changes only that window's session.
    QTest::mouseClick(child<QToolButton>(second->screen(), "signOutButton"), Qt::LeftButton);
    QTRY_VERIFY(qobject_cast<LoginView *>(second->screen()));
    QCOMPARE(m_service->requests("/api/session", "DELETE").size(), 1);
    QCOMPARE(m_root->store().phase(), AppStore::Phase::signedIn);
    QVERIFY(home());

    // Closed with a poll under way, a further window goes with its store and its screens: nothing
    // of it asks the service again.
    m_tokens->setToken(m_service->signIn(phone));
    QPointer<RootView> third = m_root->openNewWindow();
    const auto deleteThird = qScopeGuard([&] { delete third; });
    const QPointer<AppStore> store = &third->store();
    QTRY_VERIFY(qobject_cast<ProjectHomeView *>(third->screen()));
    clickRow(child<QListWidget>(third->screen(), "projectList"), 0);
    MacProjectFlowView *page = nullptr;
    QTRY_VERIFY((page = third->findChild<MacProjectFlowView *>()) && page->state().detail());
    const QPointer<FlowPageState> polls = &page->state();
    m_service->script("GET", "/api/project", Script{.hang = true, .times = 1, .passThrough = true});
    QTRY_COMPARE(m_service->hangingCount(), 1);
    // The windows that stay keep their pictures.
    const QString picture = QStringLiteral("test-picture-of-another-window");
    QVERIFY(QPixmapCache::insert(picture, QPixmap(4, 4)));
    third->close();
    QTRY_VERIFY(!third && !store && !polls);
    QPixmap cached;
    QVERIFY(QPixmapCache::find(picture, &cached));
    const auto sent = [&] { return m_service->requestCount() - m_service->requests("/round-trip").size(); };
    const qsizetype before = sent();
    m_service->releaseHangs();
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(sent(), before);
}

void TestShell::unusableBaseURLShowsTheFailureScreen()
{
    APIClient broken(QUrl(QString()), m_tokens, false);
    showRoot(broken);
    QTRY_VERIFY(qobject_cast<StartupUnavailableView *>(m_root->screen()));
    const QString message = child<QLabel>(m_root->screen(), "unavailableMessage")->text();
    QVERIFY2(message.contains(QStringLiteral("TAVIK_API_BASE_URL")), qPrintable(message));
    QCOMPARE(m_service->requestCount(), 0);
    m_root.reset();
}

void TestShell::retryFromFailureShowsLoadingAtOnce()
{
    Script failing;
    failing.status = 502;
    failing.times = 1;
    m_service->script("GET", "/api/session", failing);
    showRoot(*m_client);
    QTRY_VERIFY(qobject_cast<StartupUnavailableView *>(m_root->screen()));
    QCOMPARE(child<QLabel>(m_root->screen(), "unavailableMessage")->text(),
             QStringLiteral("暂时无法进入Quillory：请求失败（502）"));

    QTest::mouseClick(child<QPushButton>(m_root->screen(), "retryButton"), Qt::LeftButton);
    QVERIFY(qobject_cast<LoadingView *>(m_root->screen()));
    QTRY_VERIFY(qobject_cast<LoginView *>(m_root->screen()));
}

void TestShell::signInCreateSwitchAndSignOut()
{
    const QString phone = QStringLiteral("13911110000");
    seedAccountWithProjects(phone);
    showRoot(*m_client);
    signInThroughLogin(phone);

    ProjectHomeView *homeView = home();
    auto *list = child<QListWidget>(homeView, "projectList");
    QVERIFY(child<QToolButton>(homeView, "adminButton")->isHidden());
    // The service's order until something is created; nothing selected yet.
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("夏日晚会"));
    QVERIFY(!homeView->selection());
    QVERIFY(!homeView->workspace());
    QVERIFY(child<QWidget>(homeView, "emptyState")->isVisible());

    // Create: the sheet trims the name, the project is selected at its sorted place.
    QTest::mouseClick(child<QPushButton>(homeView, "createProjectButton"), Qt::LeftButton);
    QPointer<CreateProjectSheet> sheet = homeView->findChild<CreateProjectSheet *>();
    QVERIFY(sheet);
    QTRY_VERIFY(sheet->isVisible());
    auto *create = child<QPushButton>(sheet, "createButton");
    child<QLineEdit>(sheet, "projectNameField")->setText(QStringLiteral("  新春 音乐会 \n"));
    child<QLineEdit>(sheet, "eventDateField")->setText(QStringLiteral("2026-04-15"));
    QVERIFY(create->isEnabled());
    QTest::mouseClick(create, Qt::LeftButton);
    QTRY_VERIFY(!sheet);
    const QJsonObject sent = m_service->requests("/api/projects", "POST").last().json();
    QCOMPARE(sent.value(QStringLiteral("name")).toString(), QStringLiteral("新春 音乐会"));
    QCOMPARE(sent.value(QStringLiteral("startTime")).toString(), QString());
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(1)->text(), QStringLiteral("新春 音乐会"));
    QVERIFY(list->item(1)->isSelected());
    QVERIFY(homeView->selection());
    QPointer<MacProjectWorkspaceView> created = homeView->workspace();
    QVERIFY(created);
    QCOMPARE(created->project().id, *homeView->selection());

    // Switching builds a new workspace each time, for the project clicked.
    clickRow(list, 0);
    QCOMPARE(*homeView->selection(), m_firstProject);
    QPointer<MacProjectWorkspaceView> first = homeView->workspace();
    QVERIFY(first && first != created);
    QCOMPARE(first->project().id, m_firstProject);
    QTRY_VERIFY(!created);
    clickRow(list, 2);
    QVERIFY(homeView->workspace() && homeView->workspace() != first);
    QCOMPARE(homeView->workspace()->project().id, m_secondProject);
    QTRY_VERIFY(!first);
    QTRY_COMPARE(m_service->requests("/api/project", "GET").last().queryItem(QStringLiteral("projectId")),
                 m_secondProject);

    // Sign out: back to an empty login screen, token gone.
    QPointer<ProjectHomeView> signedInHome = homeView;
    QTest::mouseClick(child<QToolButton>(homeView, "signOutButton"), Qt::LeftButton);
    QTRY_VERIFY(qobject_cast<LoginView *>(m_root->screen()));
    QTRY_VERIFY(!signedInHome);
    QCOMPARE(m_service->requests("/api/session", "DELETE").size(), 1);
    QVERIFY(!m_tokens->token());
    QVERIFY(child<QLabel>(m_root->screen(), "loginError")->isHidden());
    QVERIFY(child<QLineEdit>(m_root->screen(), "phoneField")->text().isEmpty());
}

// Typing goes where the person expects after each answer; no refresh selects what was typed.
void TestShell::loginKeepsWhatIsTyped()
{
    const QString phone = QStringLiteral("13911112222");
    seedAccountWithProjects(phone);
    Script refused;
    refused.status = 400;
    refused.body = R"({"error":"验证码错误"})";
    refused.times = 1;
    m_service->script("POST", "/api/auth/verify-code", refused);
    showRoot(*m_client);
    QTRY_VERIFY(qobject_cast<LoginView *>(m_root->screen()));
    QWidget *login = m_root->screen();
    QApplication::setActiveWindow(m_root.get());
    QVERIFY(QTest::qWaitForWindowActive(m_root.get()));
    auto *phoneField = child<QLineEdit>(login, "phoneField");
    auto *codeField = child<QLineEdit>(login, "codeField");
    auto *signIn = child<QPushButton>(login, "signInButton");

    QTest::mouseClick(phoneField, Qt::LeftButton);
    QTest::keyClicks(QApplication::focusWidget(), phone);
    QTest::mouseClick(child<QPushButton>(login, "requestCodeButton"), Qt::LeftButton);
    QTRY_VERIFY(qobject_cast<LoginView *>(login)->codeSent());
    QCOMPARE(QApplication::focusWidget(), codeField);
    QTest::keyClicks(QApplication::focusWidget(), FakeService::smsCode);
    QCOMPARE(codeField->text(), FakeService::smsCode);
    QCOMPARE(phoneField->text(), phone);

    QTest::mouseClick(signIn, Qt::LeftButton);
    QTRY_VERIFY(child<QLabel>(login, "loginError")->isVisible());
    QTRY_VERIFY(signIn->isEnabled());
    // A click leaves the focus where the person was typing, and the busy time moved it nowhere else.
    QCOMPARE(QApplication::focusWidget(), codeField);
    for (auto *field : login->findChildren<QLineEdit *>()) {
        QVERIFY2(!field->hasSelectedText(), qPrintable(field->objectName()));
    }
    QCOMPARE(phoneField->text(), phone);
}

// A created project re-sorts the list; the workspace already open is neither rebuilt nor reloaded.
void TestShell::newProjectKeepsTheOpenWorkspace()
{
    const QString phone = QStringLiteral("13911114444");
    seedAccountWithProjects(phone);
    m_tokens->setToken(m_service->signIn(phone));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    auto *list = child<QListWidget>(home(), "projectList");
    clickRow(list, 1);
    QTRY_VERIFY(home()->workspace() && home()->workspace()->store().detail());
    const QPointer<MacProjectWorkspaceView> open = home()->workspace();
    const QString openID = open->project().id;
    const auto detailFetches = [this] { return m_service->requests("/api/project", "GET").size(); };
    const auto fetchesBefore = detailFetches();

    auto creating =
        m_root->store().createProject(QStringLiteral("元旦晚会"), QStringLiteral("2026-01-01"), {});
    QTRY_COMPARE(list->count(), 3);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(home()->workspace(), open.data());
    QCOMPARE(*home()->selection(), openID);
    QCOMPARE(list->currentItem()->text(), open->project().name);
    QCOMPARE(detailFetches(), fetchesBefore);
}

// The workspace's store and the rundown page each load the project once when it opens, however
// late the workspace is shown; the page's first poll is the only request that follows.
void TestShell::openingLoadsEachCopyOfTheProjectOnce()
{
    const QString phone = QStringLiteral("13911115555");
    seedAccountWithProjects(phone);
    m_tokens->setToken(m_service->signIn(phone));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    const auto fetches = [this](const QByteArray &path) {
        qsizetype count = 0;
        for (const RecordedRequest &request : m_service->requests(path, "GET")) {
            count += request.queryItem(QStringLiteral("projectId")) == m_secondProject ? 1 : 0;
        }
        return count;
    };
    clickRow(child<QListWidget>(home(), "projectList"), 0);
    QTRY_VERIFY(home()->workspace() && home()->workspace()->isVisible());
    QTRY_VERIFY(home()->workspace()->store().detail() && !home()->workspace()->store().isLoading());
    auto *page = home()->workspace()->findChild<MacProjectFlowView *>();
    QVERIFY(page);
    QTRY_VERIFY(page->state().detail() && !page->state().isLoading());
    QTRY_VERIFY(page->flowTable()->isVisible());

    QSignalSpy polled(&page->state(), &FlowPageState::reloadFinished);
    QVERIFY(polled.wait(5000));
    QCOMPARE(fetches("/api/project"), 3);
    QCOMPARE(fetches("/api/work-items"), 1);
}

// Every project switch while a video item is live builds the rundown page again; the video
// picture (a native window with its renderer) is handed on, not made afresh each time, and
// nothing of the former page stays.
void TestShell::switchingWhileAVideoPlaysKeepsOnePicture()
{
    const DemoShow show = m_service->seedDemoShow();
    const QString other = m_service->withPlatform([&](FakePlatform &p) {
        for (RundownItem &item : p.project(show.projectId)->items) {
            item.liveStatus = item.type == QStringLiteral("VCR") ? RundownValues::live : QString();
        }
        return seedLargeShow(p, show, 3);
    });
    m_tokens->setToken(m_service->tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    auto *list = child<QListWidget>(home(), "projectList");
    const auto open = [&](const QString &id) {
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->data(Qt::UserRole).toString() == id) {
                clickRow(list, row);
            }
        }
        QCOMPARE(home()->workspace()->project().id, id);
    };
    const auto page = [&] { return home()->workspace()->findChild<MacProjectFlowView *>(); };
    const auto picture = [&]() -> QVideoWidget * {
        MacVideoPlayerView *view = page()->playerBarContent()->videoView();
        return view ? view->videoWidget() : nullptr;
    };
    const auto pictures = [] {
        qsizetype count = 0;
        for (QWidget *widget : QApplication::allWidgets()) {
            count += qobject_cast<QVideoWidget *>(widget) ? 1 : 0;
        }
        return count;
    };

    open(show.projectId);
    QTRY_VERIFY(picture());
    const QPointer<QVideoWidget> first = picture();
    const QPointer<MacProjectFlowView> firstPage = page();
    open(other);
    QTRY_VERIFY(!firstPage);
    open(show.projectId);
    QTRY_VERIFY(picture());
    QCOMPARE(picture(), first.data());
    QCOMPARE(pictures(), 1);
    // The next test starts with no pipeline still being built.
    QMediaPlayer *player = page()->playerBarContent()->videoView()->player();
    QVERIFY(player);
    QTRY_VERIFY_WITH_TIMEOUT(player->mediaStatus() != QMediaPlayer::LoadingMedia, 20000);
}

// At the smallest window every page label and "刷新" get the width they need.
void TestShell::pageBarFitsTheSmallestWindow()
{
    const QString phone = QStringLiteral("13911113333");
    seedAccountWithProjects(phone);
    m_tokens->setToken(m_service->signIn(phone));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    clickRow(child<QListWidget>(home(), "projectList"), 0);
    QTRY_VERIFY(home()->workspace());
    MacProjectWorkspaceView *workspace = home()->workspace();
    workspace->setPage(MacProjectWorkspaceView::Page::today);
    m_root->resize(m_root->minimumSize());
    QTRY_COMPARE(m_root->size(), m_root->minimumSize());
    QCOMPARE(m_root->screen()->size(), RootView::minimumWindowSize);
    QWidget *bar = child<QWidget>(workspace, "pageBar");
    // Every page once the director's role is known.
    QTRY_VERIFY(child<QToolButton>(bar, "pageButton_playback")->isVisible());
    QVERIFY(child<QToolButton>(bar, "refreshButton")->isVisible());
    const auto squeezed = [bar] {
        QStringList out;
        for (auto *button : bar->findChildren<QToolButton *>()) {
            if (button->isVisible() &&
                (button->width() < button->sizeHint().width() || !bar->rect().contains(button->geometry()))) {
                out << button->text();
            }
        }
        return out;
    };
    // Layouts settle after the role's page appears and the selected label turns bold.
    QTRY_COMPARE(squeezed(), QStringList());
}

void TestShell::createFailureKeepsSheetAndCancelledCreationStillSelects()
{
    const QString accountID = seedAccountWithProjects(QStringLiteral("13911110001"));
    m_tokens->setToken(m_service->tokenFor(accountID));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    ProjectHomeView *homeView = home();

    QTest::mouseClick(child<QPushButton>(homeView, "createProjectButton"), Qt::LeftButton);
    QPointer<CreateProjectSheet> sheet = homeView->findChild<CreateProjectSheet *>();
    auto *create = child<QPushButton>(sheet, "createButton");
    auto *error = child<QLabel>(sheet, "createProjectError");
    child<QLineEdit>(sheet, "projectNameField")->setText(QStringLiteral("毕业典礼"));
    child<QLineEdit>(sheet, "startTimeField")->setText(QStringLiteral("晚上"));

    Script refused;
    refused.status = 400;
    refused.body = R"({"error":"演出名称已存在"})";
    refused.times = 1;
    m_service->script("POST", "/api/projects", refused);
    QTest::mouseClick(create, Qt::LeftButton);
    QTRY_COMPARE(error->text(), QStringLiteral("演出名称已存在"));
    QVERIFY(sheet && sheet->isVisible());
    QVERIFY(create->isEnabled());
    QCOMPARE(child<QLineEdit>(sheet, "startTimeField")->text(), QStringLiteral("晚上"));
    QVERIFY(!homeView->selection());

    // Held by the service: the sheet shows its busy label, the old error stays; cancelling
    // closes it, and the creation that then succeeds is still selected.
    Script held;
    held.hang = true;
    held.passThrough = true;
    held.times = 1;
    m_service->script("POST", "/api/projects", held);
    QTest::mouseClick(create, Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QCOMPARE(create->text(), QStringLiteral("正在创建…"));
    QVERIFY(!create->isEnabled());
    QVERIFY(!error->isHidden());
    QTest::mouseClick(child<QPushButton>(sheet, "cancelButton"), Qt::LeftButton);
    QTRY_VERIFY(!sheet);
    QVERIFY(!homeView->isCreatingProject());
    m_service->releaseHangs();
    QTRY_VERIFY(homeView->selection());
    QCOMPARE(homeView->workspace()->project().name, QStringLiteral("毕业典礼"));
    QCOMPARE(homeView->workspace()->project().startTime, QStringLiteral("晚上"));
}

void TestShell::nicknameMessageColouredByOutcome()
{
    const QString accountID = seedAccountWithProjects(QStringLiteral("13911110002"));
    m_tokens->setToken(m_service->tokenFor(accountID));
    showRoot(*m_client);
    QTRY_VERIFY(home());

    QTest::mouseClick(child<QToolButton>(home(), "accountButton"), Qt::LeftButton);
    QVERIFY(home()->isShowingAccountAccess());
    QPointer<AccountAccessPanel> panel = home()->findChild<AccountAccessPanel *>();
    QVERIFY(panel);
    QCOMPARE(child<QLabel>(panel, "accountTypeTitle")->text(), QStringLiteral("普通平台账号"));
    QCOMPARE(panel->findChildren<QWidget *>(QStringLiteral("membershipRow")).size(), 2);
    auto *field = child<QLineEdit>(panel, "nicknameField");
    auto *save = child<QPushButton>(panel, "saveNicknameButton");
    auto *message = child<QLabel>(panel, "nicknameMessage");
    QVERIFY(message->isHidden());

    field->setText(QStringLiteral("岚").repeated(25));
    QVERIFY(!save->isEnabled());

    // A failure whose text mentions saving is still a failure, and red.
    Script refused;
    refused.status = 500;
    refused.body = R"({"error":"昵称保存失败，请稍后再试"})";
    refused.times = 1;
    m_service->script("PATCH", "/api/session", refused);
    field->setText(QStringLiteral(" 小岚 "));
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_COMPARE(panel->nicknameOutcome(), Outcome::failed);
    QCOMPARE(message->text(), QStringLiteral("昵称保存失败，请稍后再试"));
    QCOMPARE(message->palette().color(QPalette::WindowText), Theme::colour(Theme::Colour::red));

    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(save->text(), QStringLiteral("保存中…"));
    QTRY_COMPARE(panel->nicknameOutcome(), Outcome::saved);
    QCOMPARE(message->text(), QStringLiteral("昵称已保存"));
    QCOMPARE(message->palette().color(QPalette::WindowText), Theme::colour(Theme::Colour::green));
    QCOMPARE(field->text(), QStringLiteral(" 小岚 "));

    // A new panel shows the stored nickname and no message.
    panel->window()->close();
    QTRY_VERIFY(!home()->isShowingAccountAccess());
    QTRY_VERIFY(!panel);
    QTest::mouseClick(child<QToolButton>(home(), "accountButton"), Qt::LeftButton);
    auto *again = home()->findChild<AccountAccessPanel *>();
    QVERIFY(again);
    QCOMPARE(child<QLineEdit>(again, "nicknameField")->text(), QStringLiteral("小岚"));
    QVERIFY(child<QLabel>(again, "nicknameMessage")->isHidden());
}

void TestShell::superAdminConsoleRoundTrip()
{
    const QString accountID = seedAccountWithProjects(QStringLiteral("13911110003"), true);
    m_tokens->setToken(m_service->tokenFor(accountID));
    showRoot(*m_client);
    QTRY_VERIFY(home());
    ProjectHomeView *homeView = home();
    homeView->select(m_firstProject);
    QPointer<MacProjectWorkspaceView> before = homeView->workspace();
    QVERIFY(before);

    auto *adminButton = child<QToolButton>(homeView, "adminButton");
    QVERIFY(!adminButton->isHidden());
    QTest::mouseClick(adminButton, Qt::LeftButton);
    QVERIFY(homeView->isAdminMode());
    auto *console = homeView->findChild<MacAdminView *>();
    QVERIFY(console);
    QCOMPARE(child<QLabel>(console, "adminAccountName")->text(), QStringLiteral("林岚"));
    QTRY_VERIFY(!before);

    QTest::mouseClick(child<QPushButton>(console, "exitAdminButton"), Qt::LeftButton);
    QVERIFY(!homeView->isAdminMode());
    QCOMPARE(*homeView->selection(), m_firstProject);
    QVERIFY(homeView->workspace());
    QCOMPARE(homeView->workspace()->project().id, m_firstProject);
    QVERIFY(child<QListWidget>(homeView, "projectList")->item(1)->isSelected());
}

void TestShell::closingTheWindowMidRequest_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("session probe") << QByteArray("GET") << QByteArray("/api/session");
    QTest::newRow("code request") << QByteArray("POST") << QByteArray("/api/auth/request-code");
    QTest::newRow("sign-in") << QByteArray("POST") << QByteArray("/api/auth/verify-code");
    QTest::newRow("project creation") << QByteArray("POST") << QByteArray("/api/projects");
    QTest::newRow("nickname") << QByteArray("PATCH") << QByteArray("/api/session");
    QTest::newRow("sign-out") << QByteArray("DELETE") << QByteArray("/api/session");
}

void TestShell::closingTheWindowMidRequest()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    const QString phone = QStringLiteral("13911110004");
    const QString accountID = seedAccountWithProjects(phone);
    const bool signedIn = path == "/api/projects" || method == "PATCH" || method == "DELETE";
    if (signedIn) {
        m_tokens->setToken(m_service->tokenFor(accountID));
    }
    Script held;
    held.hang = true;
    held.passThrough = true;
    m_service->script(method, path, held);
    showRoot(*m_client);

    if (path == "/api/auth/request-code" || path == "/api/auth/verify-code") {
        QTRY_VERIFY(qobject_cast<LoginView *>(m_root->screen()));
        QWidget *login = m_root->screen();
        QTest::keyClicks(child<QLineEdit>(login, "phoneField"), phone);
        QTest::keyClicks(child<QLineEdit>(login, "codeField"), FakeService::smsCode);
        QTest::mouseClick(
            child<QPushButton>(login, path.endsWith("request-code") ? "requestCodeButton" : "signInButton"),
            Qt::LeftButton);
    } else if (signedIn) {
        QTRY_VERIFY(home());
        if (method == "POST") {
            QTest::mouseClick(child<QPushButton>(home(), "createProjectButton"), Qt::LeftButton);
            auto *sheet = home()->findChild<CreateProjectSheet *>();
            child<QLineEdit>(sheet, "projectNameField")->setText(QStringLiteral("未完成的演出"));
            QTest::mouseClick(child<QPushButton>(sheet, "createButton"), Qt::LeftButton);
        } else if (method == "PATCH") {
            QTest::mouseClick(child<QToolButton>(home(), "accountButton"), Qt::LeftButton);
            auto *panel = home()->findChild<AccountAccessPanel *>();
            QTest::mouseClick(child<QPushButton>(panel, "saveNicknameButton"), Qt::LeftButton);
        } else {
            QTest::mouseClick(child<QToolButton>(home(), "signOutButton"), Qt::LeftButton);
        }
    }
    QTRY_COMPARE(m_service->hangingCount(), 1);

    // The window goes while the request is held; its answer then reaches only the guards.
    m_root.reset();
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
