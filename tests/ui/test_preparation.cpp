#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/AssetReadyBadge.h"
#include "common/MacErrorBanner.h"
#include "common/MacMetricCard.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacPreparationView.h"
#include "workspace/PreparationRules.h"

#include <QNetworkReply>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

RundownItem item(const QString &id, bool audio, bool video)
{
    RundownItem i;
    i.id = id;
    i.title = id;
    i.audioName = id + QStringLiteral(".mp3");
    i.videoName = id + QStringLiteral(".mp4");
    if (audio) {
        i.audioAssetId = QStringLiteral("a-") + id;
    }
    if (video) {
        i.videoAssetId = QStringLiteral("v-") + id;
    }
    return i;
}

QStringList describe(const QList<PreparationRules::Job> &jobs)
{
    QStringList result;
    for (const PreparationRules::Job &job : jobs) {
        result << job.item.id + QLatin1Char(' ') + job.category + QLatin1Char(' ') +
                      PreparationRules::fileName(job.item, job.category);
    }
    return result;
}

} // namespace

class TestPreparation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void jobOrder();
    void buttons_data();
    void buttons();
    void failureText();

    void init();
    void cleanup();
    void directorPreparesAll();
    void onlyFirstFailureShown();
    void engineerPreparesOwnKind();
    void leavingMidDownloadIsSafe();

private:
    // A project run by an account with the given role, with items A (audio, video), B (audio, video)
    // and C (video only) whose assets are on the service.
    void seed(const QString &role);
    void open();
    QPushButton *button(const QString &name) const { return m_view->findChild<QPushButton *>(name); }
    QStringList downloads() const;
    bool downloading() const;

    QTemporaryDir m_temp;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<MacProjectDataStore> m_store;
    QPointer<MacPreparationView> m_view;
    QString m_accountId, m_projectId, m_a, m_b, m_c;
};

void TestPreparation::initTestCase()
{
    // Downloads land in the temporary folder; keep them out of the real one.
    QVERIFY(m_temp.isValid());
    qputenv("TMPDIR", m_temp.path().toLocal8Bit());
}

void TestPreparation::jobOrder()
{
    const QList<RundownItem> items{item("A", true, true), item("N", false, false), item("B", true, true),
                                   item("C", false, true)};
    QCOMPARE(
        describe(PreparationRules::allJobs(items)),
        (QStringList{"A audio A.mp3", "B audio B.mp3", "A video A.mp4", "B video B.mp4", "C video C.mp4"}));
    QCOMPARE(describe(PreparationRules::jobs(PreparationRules::videoItems(items), PreparationRules::video)),
             (QStringList{"A video A.mp4", "B video B.mp4", "C video C.mp4"}));

    // A present but empty identifier is no asset.
    RundownItem empty = item("E", false, false);
    empty.audioAssetId = QString();
    QVERIFY(PreparationRules::audioItems({empty}).isEmpty());
    QVERIFY(PreparationRules::allJobs({empty}).isEmpty());
}

void TestPreparation::buttons_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("preparing");
    QTest::addColumn<int>("audioCount");
    QTest::addColumn<int>("videoCount");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("all");
    QTest::newRow("director") << QStringLiteral("总导演") << false << 2 << 1 << true << true << true;
    QTest::newRow("deputy, audio only")
        << QStringLiteral("副导演") << false << 2 << 0 << true << false << true;
    QTest::newRow("director, nothing uploaded")
        << QStringLiteral("总导演") << false << 0 << 0 << false << false << false;
    QTest::newRow("director while running")
        << QStringLiteral("总导演") << true << 2 << 1 << false << false << false;
    QTest::newRow("sound engineer") << QStringLiteral("音响师") << false << 2 << 1 << true << false << false;
    QTest::newRow("video engineer") << QStringLiteral("视频师") << false << 2 << 1 << false << true << false;
    QTest::newRow("performer") << QStringLiteral("演员") << false << 2 << 1 << false << false << false;
    QTest::newRow("no detail") << QString() << false << 2 << 1 << false << false << false;
}

void TestPreparation::buttons()
{
    QFETCH(QString, role);
    QFETCH(bool, preparing);
    QFETCH(int, audioCount);
    QFETCH(int, videoCount);
    const auto states = PreparationRules::buttonStates(role, preparing, audioCount, videoCount);
    QTEST(states.audio, "audio");
    QTEST(states.video, "video");
    QTEST(states.all, "all");
}

void TestPreparation::failureText()
{
    RundownItem untitled;
    QCOMPARE(PreparationRules::failureMessage(untitled, QStringLiteral("素材读取失败（404）")),
             QStringLiteral("未命名节目：素材读取失败（404）"));
    QCOMPARE(PreparationRules::failureMessage(item("开场舞", true, false), QStringLiteral("x")),
             QStringLiteral("开场舞：x"));
    QCOMPARE(PreparationRules::runValue(false, 2, 3), QStringLiteral("待开始"));
    QCOMPARE(PreparationRules::runValue(true, 2, 3), QStringLiteral("2/3"));
}

// --- Against the fake service ---------------------------------------------------------------------

void TestPreparation::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
}

void TestPreparation::cleanup()
{
    if (m_service) {
        m_service->clearScripts();
        m_service->releaseHangs();
    }
    // No request may outlive the client.
    QTRY_VERIFY(!downloading());
    if (m_store) {
        QTRY_VERIFY(!m_store->isLoading());
    }
    delete m_view;
    m_store.reset();
    TestHelpers::shutDown(m_client, m_service);
}

void TestPreparation::seed(const QString &role)
{
    m_accountId = m_service->addAccount(QStringLiteral("13800000009"), QStringLiteral("调音"));
    m_projectId = m_service->addProject(QStringLiteral("毕业晚会"), m_accountId, role);
    m_service->withPlatform([&](FakePlatform &p) {
        m_a = p.addItem(m_projectId, QStringLiteral("开场舞"), QStringLiteral("舞蹈"));
        m_b = p.addItem(m_projectId, QStringLiteral("合唱"), QStringLiteral("歌曲"));
        m_c = p.addItem(m_projectId, QString(), QString());
        p.addItem(m_projectId, QStringLiteral("主持串词"), QStringLiteral("主持"));
        p.attachAsset(m_projectId, m_a, "audio", "a.mp3", "AAA", 10);
        p.attachAsset(m_projectId, m_a, "video", "a.mp4", "AV", 10);
        p.attachAsset(m_projectId, m_b, "audio", "b.mp3", "BBB", 10);
        p.attachAsset(m_projectId, m_b, "video", "b.mp4", "BV", 10);
        p.attachAsset(m_projectId, m_c, "video", "c.mp4", "CV", 10);
    });
}

void TestPreparation::open()
{
    m_client = TestHelpers::signedInClient(*m_service, m_accountId);
    const ProjectSummary summary =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_projectId)->summary; });
    m_store = std::make_unique<MacProjectDataStore>(summary, *m_client);
    m_view = new MacPreparationView(*m_store);
    m_view->resize(1100, 700);
    m_view->show();
    m_store->load(false);
    QTRY_VERIFY(m_store->detail() && !m_store->isLoading());
    QTRY_COMPARE(m_view->findChildren<AssetReadyBadge *>().size(), 8);
}

QStringList TestPreparation::downloads() const
{
    QStringList result;
    for (const RecordedRequest &r : m_service->requests("/api/assets", "GET")) {
        const QString id = r.queryItem(QStringLiteral("itemId"));
        const QString name = id == m_a   ? QStringLiteral("A")
                             : id == m_b ? QStringLiteral("B")
                                         : QStringLiteral("C");
        result << name + QLatin1Char(' ') + r.queryItem(QStringLiteral("category"));
    }
    return result;
}

bool TestPreparation::downloading() const
{
    if (!m_client) {
        return false;
    }
    const auto replies = m_client->network().findChildren<QNetworkReply *>();
    return std::any_of(replies.begin(), replies.end(), [](QNetworkReply *r) { return r->isRunning(); });
}

void TestPreparation::directorPreparesAll()
{
    seed(QStringLiteral("总导演"));
    open();
    auto *run = m_view->findChild<MacMetricCard *>(QStringLiteral("preparationRunCard"));
    QCOMPARE(m_view->findChild<MacMetricCard *>(QStringLiteral("preparationItemsCard"))->value(),
             QStringLiteral("4"));
    QCOMPARE(m_view->findChild<MacMetricCard *>(QStringLiteral("preparationAudioCard"))->value(),
             QStringLiteral("2"));
    QCOMPARE(run->value(), QStringLiteral("待开始"));
    QVERIFY(button(QStringLiteral("prepareAllButton"))->isEnabled());

    // Strictly one download at a time: each is held until released, and only then does the next go out.
    Script hold;
    hold.hang = true;
    hold.passThrough = true;
    m_service->script("GET", "/api/assets", hold);
    QTest::mouseClick(button(QStringLiteral("prepareAllButton")), Qt::LeftButton);
    QVERIFY(m_view->preparing());
    for (const char *name : {"prepareAudioButton", "prepareVideoButton", "prepareAllButton"}) {
        QVERIFY(!button(name)->isEnabled());
    }
    for (int i = 0; i < 5; ++i) {
        QTRY_COMPARE(m_service->hangingCount(), 1);
        QCOMPARE(downloads().size(), i + 1);
        QCOMPARE(run->value(), QStringLiteral("%1/5").arg(i));
        QCOMPARE(m_view->findChild<QProgressBar *>(QStringLiteral("preparationProgress"))->value(), i);
        m_service->releaseHangs();
        QTRY_COMPARE(m_view->completed(), i + 1);
    }
    QTRY_VERIFY(!m_view->preparing());
    QCOMPARE(downloads(), (QStringList{"A audio", "B audio", "A video", "B video", "C video"}));
    QCOMPARE(m_service->requests("/api/assets").constFirst().queryItem(QStringLiteral("projectId")),
             m_projectId);
    QCOMPARE(run->value(), QStringLiteral("待开始"));
    QVERIFY(!m_view->findChild<QProgressBar *>(QStringLiteral("preparationProgress"))->isVisible());
    QVERIFY(m_view->preparationError().isEmpty());
    QVERIFY(button(QStringLiteral("prepareAllButton"))->isEnabled());
}

void TestPreparation::onlyFirstFailureShown()
{
    seed(QStringLiteral("副导演"));
    open();

    // The first audio download is refused by the service, the second has lost its file.
    Script refuse;
    refuse.status = 500;
    refuse.body = R"({"error":"存储不可用"})";
    refuse.times = 1;
    m_service->script("GET", "/api/assets", refuse);
    m_service->withPlatform([&](FakePlatform &p) {
        for (FakeAsset &asset : p.assets) {
            if (asset.itemId == m_b && asset.category == QStringLiteral("audio")) {
                asset.trashedAt = p.now();
            }
        }
    });
    QSignalSpy finished(m_view.data(), &MacPreparationView::preparationFinished);
    QTest::mouseClick(button(QStringLiteral("prepareAudioButton")), Qt::LeftButton);
    QVERIFY(finished.wait());
    QCOMPARE(downloads(), (QStringList{"A audio", "B audio"}));
    QCOMPARE(m_view->completed(), 0);
    QCOMPARE(m_view->total(), 2);
    const QString first = QStringLiteral("开场舞：素材读取失败（500）");
    QCOMPARE(m_view->preparationError(), first);
    QCOMPARE(m_view->findChild<MacErrorBanner *>()->message(), first);

    // The next run starts with a clean slate; a failure of an untitled item is named as such.
    m_service->withPlatform([&](FakePlatform &p) {
        for (FakeAsset &asset : p.assets) {
            if (asset.itemId == m_c) {
                asset.trashedAt = p.now();
            }
        }
    });
    QTest::mouseClick(button(QStringLiteral("prepareVideoButton")), Qt::LeftButton);
    QVERIFY(m_view->preparationError().isEmpty());
    QVERIFY(finished.wait());
    QCOMPARE(m_view->completed(), 2);
    QCOMPARE(m_view->total(), 3);
    QCOMPARE(m_view->preparationError(), QStringLiteral("未命名节目：素材读取失败（404）"));
}

void TestPreparation::engineerPreparesOwnKind()
{
    seed(QStringLiteral("音响师"));
    open();
    QVERIFY(button(QStringLiteral("prepareAudioButton"))->isEnabled());
    QVERIFY(!button(QStringLiteral("prepareVideoButton"))->isEnabled());
    QVERIFY(!button(QStringLiteral("prepareAllButton"))->isEnabled());

    QSignalSpy finished(m_view.data(), &MacPreparationView::preparationFinished);
    QTest::mouseClick(button(QStringLiteral("prepareAudioButton")), Qt::LeftButton);
    QVERIFY(finished.wait());
    QCOMPARE(downloads(), (QStringList{"A audio", "B audio"}));
    QCOMPARE(m_view->completed(), 2);
    // The badges tell what the service holds, before and after.
    QCOMPARE(AssetReadyBadge::text(QString(), false), QStringLiteral("未上传"));
    const auto badges = m_view->findChildren<AssetReadyBadge *>(QStringLiteral("audioBadge"));
    QCOMPARE(std::count_if(badges.begin(), badges.end(), [](AssetReadyBadge *b) { return b->exists(); }), 2);
}

void TestPreparation::leavingMidDownloadIsSafe()
{
    seed(QStringLiteral("总导演"));
    open();
    Script hold;
    hold.hang = true;
    hold.times = 1;
    hold.passThrough = true;
    m_service->script("GET", "/api/assets", hold);
    QTest::mouseClick(button(QStringLiteral("prepareAllButton")), Qt::LeftButton);
    QTRY_COMPARE(m_service->hangingCount(), 1);

    delete m_view;
    m_service->releaseHangs();
    // Once the held download has ended, the run has looked at the page and stopped.
    QTRY_VERIFY(!downloading());
    QCOMPARE(downloads(), QStringList{"A audio"});
}

QTEST_MAIN(TestPreparation)
#include "test_preparation.moc"
