#include "FakeMedia.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"
#include "flow/FlowPageState.h"
#include "flow/FlowSheetPresenter.h"
#include "flow/FlowStructureCommands.h"
#include "flow/FlowTableModel.h"
#include "flow/MacAssetManagerSheet.h"
#include "flow/MacPeoplePickerSheet.h"
#include "flow/MacProgramDetailsSheet.h"
#include "flow/MacProjectFlowView.h"
#include "flow/MediaDurationProbe.h"

#include <QComboBox>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

RundownImportPreview previewOf(int items, int people, const QString &sheet, int conflicts, QStringList legacy)
{
    RundownImportPreview p;
    p.items.resize(items);
    for (int i = 0; i < people; ++i) {
        p.people.append(QString::number(i));
    }
    p.selectedSheetName = sheet;
    p.timeConflictCount = conflicts;
    p.legacyTypes = std::move(legacy);
    return p;
}

using TestHelpers::member;

QByteArray patchJson(const RundownItemPatch &patch)
{
    return QJsonDocument(patch.toJson()).toJson(QJsonDocument::Compact);
}

QCoro::Task<bool> answer(bool value)
{
    co_return value;
}

QCoro::Task<> nothing()
{
    co_return;
}

} // namespace

class TestFlowSheets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // Pure rules.
    void importMessage_data();
    void importMessage();
    void strictBase64_data();
    void strictBase64();
    void pickerNames_data();
    void pickerNames();
    void visibleMembers_data();
    void visibleMembers();
    void inviteRole_data();
    void inviteRole();
    void detailsPatch_data();
    void detailsPatch();
    void roundedSeconds_data();
    void roundedSeconds();

    // The page against the fake service.
    void headerByRole_data();
    void headerByRole();
    void freezesThroughConfirmation();
    void exportKeepsOldFileOnBadBase64();
    void exportSavesWhereChosen();
    void importPreviewThenApply();
    void emptyPreviewShowsError();
    void commandErrorOutlivesPolls();
    void applyWhileFrozenDoesNothing();

    // The sheets.
    void pickerTogglesSharedNamesAndSaves();
    void pickerListStaysPutAsChipsComeAndGo_data();
    void pickerListStaysPutAsChipsComeAndGo();
    void detailsSheetTypesAndRefusedSave();
    void assetUploadMeasuresAndReloads();
    void assetPrepareRemembersFileAndFailuresStayOpen();
    void openSheetsFollowTheFreeze();
    void closingMidRequestIsSafe();
    void freezeBothWays_data();
    void freezeBothWays();
    void importAndExportRefusals_data();
    void importAndExportRefusals();

private:
    void signInAs(const QString &role);
    MacProjectFlowView *openPage();
    QString writeFile(const QString &name, const QByteArray &bytes);
    RundownItem platformItem(const QString &id);
    template<typename T>
    T *visible(const QString &name);

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    std::shared_ptr<MemoryTokenStore> m_store;
    std::unique_ptr<MacProjectFlowView> m_page;
    std::unique_ptr<QTemporaryDir> m_dir;
    DemoShow m_demo;
};

void TestFlowSheets::initTestCase()
{
    Theme::install();
}

void TestFlowSheets::init()
{
    QVERIFY(TestHelpers::startDemoService(m_service, m_demo));
    m_store = std::make_shared<MemoryTokenStore>();
    m_client = std::make_unique<APIClient>(QUrl(m_service->baseUrl()), m_store, false);
    m_dir = std::make_unique<QTemporaryDir>();
    signInAs(QStringLiteral("总导演"));
}

void TestFlowSheets::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog *>(w)) {
            w->close();
        }
    }
    m_page.reset();
    TestHelpers::shutDown(m_client, m_service);
    PreparedAssetCache::shared().clear();
}

void TestFlowSheets::signInAs(const QString &role)
{
    m_store->setToken(m_service->tokenFor(m_demo.loginForRole(role)->accountId));
}

MacProjectFlowView *TestFlowSheets::openPage()
{
    const ProjectSummary project =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_demo.projectId)->summary; });
    m_page = std::make_unique<MacProjectFlowView>(project, *m_client, [] {});
    m_page->resize(1400, 800);
    m_page->show();
    if (!QTest::qWaitFor([&] { return m_page->state().detail().has_value() && !m_page->state().isLoading(); },
                         10000)) {
        return nullptr;
    }
    return m_page.get();
}

QString TestFlowSheets::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

RundownItem TestFlowSheets::platformItem(const QString &id)
{
    return m_service->withPlatform([&](FakePlatform &p) { return *p.project(m_demo.projectId)->item(id); });
}

template<typename T>
T *TestFlowSheets::visible(const QString &name)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        QList<T *> found = top->findChildren<T *>(name);
        if (top->objectName() == name && qobject_cast<T *>(top)) {
            found.prepend(qobject_cast<T *>(top));
        }
        for (T *w : found) {
            if (w->isVisible()) {
                return w;
            }
        }
    }
    return nullptr;
}

// --- Pure rules ------------------------------------------------------------------------------

void TestFlowSheets::importMessage_data()
{
    QTest::addColumn<RundownImportPreview>("preview");
    QTest::addColumn<QString>("message");
    QTest::newRow("standard types") << previewOf(12, 8, QStringLiteral("节目单"), 0, {})
                                    << QStringLiteral(
                                           "识别到 12 个节目、8 位人员，工作表“节目单”。0 处时间需确认。"
                                           "节目类型均为标准类型。导入成功后将整体替换当前节目流程。");
    QTest::newRow("legacy types") << previewOf(3, 0, QStringLiteral("Sheet1"), 2,
                                               {QStringLiteral("小品"), QStringLiteral("相声")})
                                  << QStringLiteral(
                                         "识别到 3 个节目、0 位人员，工作表“Sheet1”。2 处时间需确认。"
                                         "旧类型待人工映射：小品、相声。导入成功后将整体替换当前节目流程。");
}

void TestFlowSheets::importMessage()
{
    QFETCH(RundownImportPreview, preview);
    QFETCH(QString, message);
    QCOMPARE(FlowStructureCommands::importMessage(preview), message);
}

void TestFlowSheets::strictBase64_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << QStringLiteral("UEsDBA==") << true << QByteArray("PK\x03\x04");
    QTest::newRow("one pad") << QStringLiteral("QUI=") << true << QByteArray("AB");
    QTest::newRow("missing padding") << QStringLiteral("QUI") << false << QByteArray();
    QTest::newRow("line break") << QStringLiteral("QUJD\nQUJD") << false << QByteArray();
    QTest::newRow("padding inside") << QStringLiteral("QU=DQUJD") << false << QByteArray();
    QTest::newRow("url alphabet") << QStringLiteral("QU-_") << false << QByteArray();
}

void TestFlowSheets::strictBase64()
{
    QFETCH(QString, text);
    QFETCH(bool, decodes);
    QFETCH(QByteArray, bytes);
    const auto decoded = FlowStructureCommands::decodeBase64Strict(text);
    QCOMPARE(decoded.has_value(), decodes);
    if (decodes) {
        QCOMPARE(*decoded, bytes);
    }
}

void TestFlowSheets::pickerNames_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("saved");
    QTest::newRow("empty") << QString() << QString();
    // Separators, blanks and a repeated name collapse; the order is by code point, not pinyin.
    QTest::newRow("mixed separators")
        << QStringLiteral("王强,李四/李四 ; 张三\n+ 赵六、") << QStringLiteral("张三、李四、王强、赵六");
    QTest::newRow("latin before han") << QStringLiteral("林悦&Amy＆bob") << QStringLiteral("Amy、bob、林悦");
}

void TestFlowSheets::pickerNames()
{
    QFETCH(QString, current);
    QFETCH(QString, saved);
    const QStringList names = MacPeoplePickerSheet::people(current);
    QCOMPARE(MacPeoplePickerSheet::joinedNames(QSet<QString>(names.begin(), names.end())), saved);
}

void TestFlowSheets::visibleMembers_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("empty shows all") << QString() << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("across name and role") << QStringLiteral("强演") << QStringList{QStringLiteral("a")};
    QTest::newRow("across role and detail") << QStringLiteral("人VCR") << QStringList{QStringLiteral("b")};
    QTest::newRow("case-insensitive") << QStringLiteral("vcr") << QStringList{QStringLiteral("b")};
    QTest::newRow("trailing blank is searched") << QStringLiteral("VCR ") << QStringList{};
}

void TestFlowSheets::visibleMembers()
{
    QFETCH(QString, query);
    QFETCH(QStringList, ids);
    const QList<ProjectMember> members = {
        member(QStringLiteral("a"), QStringLiteral("王强"), QStringLiteral("演员")),
        member(QStringLiteral("b"), QStringLiteral("冯雪"), QStringLiteral("主持人"),
               QStringLiteral("VCR播放"))};
    QStringList found;
    for (const ProjectMember &m : MacPeoplePickerSheet::visibleMembers(members, query)) {
        found.append(m.id);
    }
    QCOMPARE(found, ids);
}

void TestFlowSheets::inviteRole_data()
{
    QTest::addColumn<bool>("owners");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("role");
    QTest::newRow("owner") << true << QStringLiteral("主持") << QStringLiteral("节目负责人");
    QTest::newRow("host item") << false << QStringLiteral("主持") << QStringLiteral("主持人");
    QTest::newRow("host-like item") << false << QStringLiteral("主持互动") << QStringLiteral("演员");
}

void TestFlowSheets::inviteRole()
{
    QFETCH(bool, owners);
    QFETCH(QString, type);
    QFETCH(QString, role);
    RundownItem item;
    item.type = type;
    QCOMPARE(FlowSheetPresenter::inviteRole(owners, item), role);
}

void TestFlowSheets::detailsPatch_data()
{
    QTest::addColumn<bool>("details");
    QTest::addColumn<bool>("script");
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("host: script only") << false << true << QByteArray(R"({"script":"  开场白"})");
    QTest::newRow("owner: all three")
        << true << true << QByteArray(R"({"script":"  开场白","title":"开场舞","type":"舞蹈"})");
    QTest::newRow("details only") << true << false << QByteArray(R"({"title":"开场舞","type":"舞蹈"})");
    QTest::newRow("no right") << false << false << QByteArray("{}");
}

void TestFlowSheets::detailsPatch()
{
    QFETCH(bool, details);
    QFETCH(bool, script);
    QFETCH(QByteArray, json);
    const RundownItemPatch patch = MacProgramDetailsSheet::patch(
        QStringLiteral(" 开场舞\n"), QStringLiteral("舞蹈"), QStringLiteral("  开场白"), details, script);
    QCOMPARE(patchJson(patch), json);
}

void TestFlowSheets::roundedSeconds_data()
{
    QTest::addColumn<std::optional<double>>("seconds");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("half rounds up") << std::optional<double>(12.5) << qint64(13);
    QTest::newRow("below half") << std::optional<double>(12.49) << qint64(12);
    QTest::newRow("no duration") << std::optional<double>() << qint64(0);
    QTest::newRow("indefinite") << std::optional<double>(std::numeric_limits<double>::quiet_NaN())
                                << qint64(0);
    QTest::newRow("infinite") << std::optional<double>(std::numeric_limits<double>::infinity()) << qint64(0);
    QTest::newRow("beyond 64 bits") << std::optional<double>(1e19) << qint64(0);
}

void TestFlowSheets::roundedSeconds()
{
    QFETCH(std::optional<double>, seconds);
    QFETCH(qint64, expected);
    QCOMPARE(MediaDurationProbe::roundedSeconds(seconds), expected);
}

// --- The page --------------------------------------------------------------------------------

void TestFlowSheets::headerByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("frozen");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("shown");   // import export add freeze
    QTest::addColumn<QString>("enabled"); // import export add
    QTest::addColumn<QString>("freezeText");
    QTest::newRow("chief director") << QStringLiteral("总导演") << false << false << "1111"
                                    << "111" << QStringLiteral("冻结流程表");
    QTest::newRow("chief, frozen") << QStringLiteral("总导演") << true << false << "1111"
                                   << "010" << QStringLiteral("解冻流程表");
    QTest::newRow("chief, item busy") << QStringLiteral("总导演") << false << true << "1111"
                                      << "000" << QStringLiteral("冻结流程表");
    QTest::newRow("deputy director") << QStringLiteral("副导演") << false << false << "1110"
                                     << "111" << QString();
    QTest::newRow("sound engineer") << QStringLiteral("音响师") << false << false << "0000"
                                    << "111" << QString();
    QTest::newRow("program owner") << QStringLiteral("节目负责人") << false << false << "0000"
                                   << "111" << QString();
}

void TestFlowSheets::headerByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, frozen);
    QFETCH(bool, busy);
    QFETCH(QString, shown);
    QFETCH(QString, enabled);
    QFETCH(QString, freezeText);
    m_service->withPlatform(
        [&](FakePlatform &p) { p.project(m_demo.projectId)->summary.flowFrozen = frozen; });
    signInAs(role);
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    if (busy) {
        page->state().setBusyItemID(m_demo.audioItemId);
    }
    const QStringList names = {QStringLiteral("flowImportButton"), QStringLiteral("flowExportButton"),
                               QStringLiteral("flowAddItemButton"), QStringLiteral("flowFreezeButton")};
    QString isShown;
    QString isEnabled;
    for (const QString &name : names) {
        auto *button = page->findChild<QPushButton *>(name);
        QVERIFY(button);
        isShown += button->isVisible() ? QLatin1Char('1') : QLatin1Char('0');
        if (name != names.last()) {
            isEnabled += button->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        }
    }
    QCOMPARE(isShown, shown);
    if (shown.startsWith(QLatin1Char('1'))) {
        QCOMPARE(isEnabled, enabled);
    }
    if (!freezeText.isEmpty()) {
        QCOMPARE(page->findChild<QPushButton *>(names.last())->toolTip(), freezeText);
    }
}

void TestFlowSheets::freezesThroughConfirmation()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("flowFreezeButton")), Qt::LeftButton);
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = visible<QMessageBox>(QStringLiteral("freezeConfirmationDialog"))));
    QCOMPARE(box->text(), QStringLiteral("确认冻结流程表？"));
    box->findChild<QPushButton *>(QStringLiteral("freezeConfirmButton"))->click();
    QTRY_VERIFY(page->state().flowFrozen());
    QVERIFY(!page->state().freezeConfirmation());
    QVERIFY(m_service->withPlatform(
        [&](FakePlatform &p) { return p.project(m_demo.projectId)->summary.flowFrozen.value_or(false); }));
    QCOMPARE(page->findChild<QPushButton *>(QStringLiteral("flowAddItemButton"))->isEnabled(), false);
}

void TestFlowSheets::exportKeepsOldFileOnBadBase64()
{
    const QString old = writeFile(QStringLiteral("old.xlsx"), "old workbook");
    m_service->script("GET", "/api/rundown-export",
                      Script{200, R"({"filename":"old.xlsx","contentBase64":"UEsD\nBBQ="})"});
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("flowExportButton")), Qt::LeftButton);
    QTRY_COMPARE(page->state().error(), QStringLiteral("服务器响应无效"));
    QVERIFY(!page->state().busyItemID());
    QVERIFY(!visible<QFileDialog>(QStringLiteral("exportSaveDialog")));

    // A write that cannot complete leaves whatever was there.
    QVERIFY(
        !FlowStructureCommands::writeAtomically(m_dir->filePath(QStringLiteral("missing/old.xlsx")), "new")
             .isEmpty());
    QFile file(old);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old workbook"));
}

void TestFlowSheets::exportSavesWhereChosen()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    page->state().setError(QStringLiteral("先前的错误"));
    auto *exportButton = page->findChild<QPushButton *>(QStringLiteral("flowExportButton"));

    // Cancelled: nothing written, the error stays, the buttons come back.
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QFileDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = visible<QFileDialog>(QStringLiteral("exportSaveDialog"))));
    QCOMPARE(page->state().busyItemID(), std::optional<QString>(QStringLiteral("export")));
    QVERIFY(!exportButton->isEnabled());
    dialog->reject();
    QTRY_VERIFY(!page->state().busyItemID());
    QCOMPARE(page->state().error(), QStringLiteral("先前的错误"));
    QVERIFY(exportButton->isEnabled());

    QTest::mouseClick(exportButton, Qt::LeftButton);
    QTRY_VERIFY((dialog = visible<QFileDialog>(QStringLiteral("exportSaveDialog"))));
    QVERIFY(dialog->selectedFiles().value(0).endsWith(QStringLiteral("-节目单.xlsx")));
    const QString target = m_dir->filePath(QFileInfo(dialog->selectedFiles().value(0)).fileName());
    // A dangling link at the chosen name is replaced; its target is not created.
    const QString nowhere = m_dir->filePath(QStringLiteral("nowhere"));
    QVERIFY(QFile::link(nowhere, target));
    dialog->setDirectory(m_dir->path());
    QMetaObject::invokeMethod(dialog, "accept");
    QTRY_VERIFY(!page->state().busyItemID());
    QCOMPARE(page->state().error(), QString());
    QVERIFY(!QFileInfo(target).isSymLink());
    QVERIFY(!QFile::exists(nowhere));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("PK\x03\x04"));

    // Nor is a link to a file followed.
    const QString victim = writeFile(QStringLiteral("victim"), "keep me");
    QVERIFY(QFile::remove(target) && QFile::link(victim, target));
    QCOMPARE(FlowStructureCommands::writeAtomically(target, "new"), QString());
    QVERIFY(!QFileInfo(target).isSymLink());
    QFile kept(victim);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me"));
    QVERIFY(QDir(m_dir->path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden).isEmpty());
}

void TestFlowSheets::importPreviewThenApply()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    const QString path =
        writeFile(QStringLiteral("rundown.csv"), "节目名称,类型,时长\n开场,舞蹈,3:00\n压轴,小品,5:00\n");
    page->commands().previewExcel(path);
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = visible<QMessageBox>(QStringLiteral("importConfirmationDialog"))));
    QCOMPARE(box->informativeText(),
             QStringLiteral("识别到 2 个节目、0 位人员，工作表“CSV”。0 处时间需确认。"
                            "旧类型待人工映射：小品。导入成功后将整体替换当前节目流程。"));
    box->findChild<QPushButton *>(QStringLiteral("importOverwriteButton"))->click();
    QTRY_COMPARE(page->state().detail()->items.size(), 2);
    QTRY_VERIFY(!page->state().busyItemID());
    QVERIFY(!page->state().importPreview());
    QCOMPARE(page->state().detail()->items.at(1).title, QStringLiteral("压轴"));
    QCOMPARE(m_service->requests("/api/project", "PUT").size(), 1);
}

void TestFlowSheets::emptyPreviewShowsError()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    page->commands().previewExcel(writeFile(QStringLiteral("empty.csv"), "\n\n"));
    QTRY_COMPARE(page->state().error(), QStringLiteral("Excel 中没有识别到节目"));
    QVERIFY(!page->state().importPreview());
    QVERIFY(!page->state().importConfirmation());
    QVERIFY(!visible<QMessageBox>(QStringLiteral("importConfirmationDialog")));
}

void TestFlowSheets::commandErrorOutlivesPolls()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    QSignalSpy finished(&page->state(), &FlowPageState::reloadFinished);
    page->commands().previewExcel(writeFile(QStringLiteral("notes.xlsx"), QByteArray("not\0a workbook", 15)));
    QTRY_COMPARE(page->state().error(), QStringLiteral("无法读取表格文件"));

    // Polls never overlap, so the second to end after the failure started after it.
    finished.clear();
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() >= 2, 10000);
    QVERIFY(finished.last().at(0).toBool());
    QCOMPARE(page->state().error(), QStringLiteral("无法读取表格文件"));
    auto *banner = page->findChild<MacErrorBanner *>();
    QCOMPARE(banner->message(), QStringLiteral("无法读取表格文件"));
    QVERIFY(banner->isVisible());

    // The user's next command takes it away, even one that says nothing on success.
    auto *startNext = page->findChild<QPushButton *>(QStringLiteral("flowStartNextButton"));
    QTRY_VERIFY(startNext->isVisible());
    QTest::mouseClick(startNext, Qt::LeftButton);
    QTRY_VERIFY(page->state().liveItem());
    QTRY_VERIFY(page->state().error().isEmpty());

    // So does a reload the user starts.
    page->commands().previewExcel(writeFile(QStringLiteral("notes.xlsx"), QByteArray("not\0a workbook", 15)));
    QTRY_VERIFY(!page->state().error().isEmpty());
    QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("flowRefreshButton")), Qt::LeftButton);
    QTRY_VERIFY(page->state().error().isEmpty());
}

void TestFlowSheets::applyWhileFrozenDoesNothing()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    page->commands().previewExcel(writeFile(QStringLiteral("one.csv"), "节目名称\n开场\n"));
    QTRY_VERIFY(page->state().importPreview().has_value());
    // Frozen by someone else while the dialog is open.
    m_service->withPlatform([&](FakePlatform &p) { p.project(m_demo.projectId)->summary.flowFrozen = true; });
    QTRY_VERIFY(page->state().flowFrozen());
    visible<QMessageBox>(QStringLiteral("importConfirmationDialog"))
        ->findChild<QPushButton *>(QStringLiteral("importOverwriteButton"))
        ->click();
    // The command returns before sending anything.
    QVERIFY(page->state().importPreview().has_value());
    QVERIFY(!page->state().busyItemID());
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(m_service->requests("/api/project", "PUT").size(), 0);
}

// --- The sheets ------------------------------------------------------------------------------

void TestFlowSheets::pickerTogglesSharedNamesAndSaves()
{
    QStringList saved;
    bool accept = false;
    MacPeoplePickerSheet sheet({
        .title = QStringLiteral("编辑表演者"),
        .members = {member(QStringLiteral("m1"), QStringLiteral("李四"), QStringLiteral("演员")),
                    member(QStringLiteral("m2"), QStringLiteral("张三"), QStringLiteral("演员")),
                    member(QStringLiteral("m3"), QStringLiteral("李四"), QStringLiteral("主持人"))},
        .currentValue = QStringLiteral("外援, 张三"),
        .project = {},
        .inviterName = QStringLiteral("周敏"),
        .inviteRole = QStringLiteral("演员"),
        .itemID = QStringLiteral("i1"),
        .field = QStringLiteral("performers"),
        .onSave =
            [&](QString text) {
                saved.append(text);
                return answer(accept);
            },
    });
    sheet.show();
    auto *list = sheet.findChild<QListView *>(QStringLiteral("peopleList"));
    const auto ticked = [list](int row) {
        return list->model()->index(row, 0).data(Qt::UserRole + 1).toBool();
    };
    QVERIFY(!ticked(0) && ticked(1) && !ticked(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(2, 0)).center());
    QVERIFY(ticked(0) && ticked(2));
    const auto shownChips = [&sheet] {
        const auto chips = sheet.findChildren<QPushButton *>(QStringLiteral("peopleChip"));
        return std::count_if(chips.begin(), chips.end(), [](QPushButton *c) { return c->isVisible(); });
    };
    QTRY_COMPARE(shownChips(), 3);

    // A refused save keeps the sheet and its choice; the next one closes it.
    auto *save = sheet.findChild<QPushButton *>(QStringLiteral("peopleSaveButton"));
    save->click();
    QTRY_VERIFY(save->isEnabled());
    QCOMPARE(saved, QStringList{QStringLiteral("外援、张三、李四")});
    QVERIFY(sheet.isVisible());

    // An invitation adds the name and saves at once, without closing anything.
    auto inviting = sheet.invited(QStringLiteral("新人"));
    QTRY_COMPARE(saved.size(), 2);
    QCOMPARE(saved.last(), QStringLiteral("外援、张三、新人、李四"));
    QVERIFY(sheet.isVisible());

    accept = true;
    save->click();
    QTRY_VERIFY(!sheet.isVisible());
}

void TestFlowSheets::pickerListStaysPutAsChipsComeAndGo_data()
{
    QTest::addColumn<bool>("atEnd");
    QTest::newRow("list at its top") << false;
    QTest::newRow("list at its end") << true;
}

// The chip row that comes with the first pick must not move the list: the second click on the
// same spot un-picks the same person.
void TestFlowSheets::pickerListStaysPutAsChipsComeAndGo()
{
    QFETCH(bool, atEnd);
    QList<ProjectMember> members;
    for (int i = 0; i < 20; ++i) {
        members.append(member(QStringLiteral("m%1").arg(i),
                              QStringLiteral("成员%1").arg(i, 2, 10, QLatin1Char('0')),
                              QStringLiteral("演员")));
    }
    MacPeoplePickerSheet sheet({
        .title = QStringLiteral("编辑表演者"),
        .members = members,
        .currentValue = {},
        .project = {},
        .inviterName = QStringLiteral("周敏"),
        .inviteRole = QStringLiteral("演员"),
        .itemID = QStringLiteral("i1"),
        .field = QStringLiteral("performers"),
        .onSave = [](QString) { return answer(true); },
    });
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    auto *list = sheet.findChild<QListView *>(QStringLiteral("peopleList"));
    auto *chips = sheet.findChild<QWidget *>(QStringLiteral("peopleChipScroll"));
    const auto listTop = [&] { return list->viewport()->mapTo(&sheet, QPoint()).y(); };
    QScrollBar *scroll = list->verticalScrollBar();
    QTRY_VERIFY(scroll->maximum() > 100);
    // At the end, the list's own range follows the chips as they go.
    scroll->setValue(atEnd ? scroll->maximum() : 0);
    const QModelIndex aimed = list->model()->index(atEnd ? 17 : 2, 0);
    const auto rowTop = [&] {
        return list->viewport()->mapTo(&sheet, list->visualRect(aimed).topLeft()).y();
    };
    const int row = rowTop();
    const QPoint spot = list->viewport()->mapTo(&sheet, list->visualRect(aimed).center());

    for (const bool picked : {true, false}) {
        const int top = listTop();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->viewport()->mapFrom(&sheet, spot));
        QCOMPARE(sheet.selection().contains(aimed.data().toString()), picked);
        QTRY_COMPARE(chips->isVisible(), picked);
        QTRY_VERIFY(listTop() != top);
        QVERIFY(TestHelpers::roundTrip(*m_client));
        QTRY_COMPARE(rowTop(), row);
    }
}

void TestFlowSheets::detailsSheetTypesAndRefusedSave()
{
    RundownItem item;
    item.id = QStringLiteral("i1");
    item.title = QStringLiteral("相声");
    item.type = QStringLiteral("小品");
    int saves = 0;
    QByteArray sent;
    const auto refused = [&](RundownItemPatch patch) {
        ++saves;
        sent = patchJson(patch);
        return answer(false);
    };
    MacProgramDetailsSheet sheet(item, true, true, refused);
    sheet.show();
    auto *picker = sheet.findChild<QComboBox *>(QStringLiteral("programTypePicker"));
    QCOMPARE(picker->itemText(0), QStringLiteral("⚠︎ 小品（待人工映射）"));
    QCOMPARE(picker->itemText(1), QStringLiteral("稍后设置"));
    QCOMPARE(picker->currentIndex(), 0);
    auto *save = sheet.findChild<QPushButton *>(QStringLiteral("programSaveButton"));
    save->click();
    QTRY_COMPARE(save->text(), QStringLiteral("保存节目资料"));
    QVERIFY(save->isEnabled());
    QVERIFY(sheet.isVisible());
    QCOMPARE(saves, 1);

    // The details right goes after a name was typed: the name stays in sight, named as not saved;
    // a save is refused until something still allowed was typed, and then leaves the name out.
    auto *title = sheet.findChild<QLineEdit *>(QStringLiteral("programTitleField"));
    title->setText(QStringLiteral("开场舞"));
    sheet.setRights(false, true);
    auto *note = sheet.findChild<QLabel *>(QStringLiteral("programUnsavableNote"));
    QTRY_VERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("你已不能修改节目名称，这部分改动不会保存。"));
    QVERIFY(!save->isEnabled());
    save->click();
    sheet.findChild<QPlainTextEdit *>(QStringLiteral("programScriptEditor"))
        ->setPlainText(QStringLiteral("开场白"));
    QTRY_VERIFY(save->isEnabled());
    save->click();
    QTRY_COMPARE(saves, 2);
    QCOMPARE(sent, QByteArray(R"({"script":"开场白"})"));
    QTRY_VERIFY(save->isEnabled());
    QCOMPARE(title->text(), QStringLiteral("开场舞"));
    QVERIFY(title->isVisible() && note->isVisible());
    sheet.setRights(true, true);
    QTRY_VERIFY(note->isHidden());
    save->click();
    QTRY_COMPARE(saves, 3);
    QCOMPARE(sent, QByteArray(R"({"script":"开场白","title":"开场舞","type":"小品"})"));
    // Untouched, the name does not stand in the way of the script.
    MacProgramDetailsSheet host(item, true, true, refused);
    host.setRights(false, true);
    host.findChild<QPlainTextEdit *>(QStringLiteral("programScriptEditor"))
        ->setPlainText(QStringLiteral("开场白"));
    host.findChild<QPushButton *>(QStringLiteral("programSaveButton"))->click();
    QTRY_COMPARE(saves, 4);
    QCOMPARE(sent, QByteArray(R"({"script":"开场白"})"));

    MacProgramDetailsSheet locked(item, false, false, [](RundownItemPatch) { return answer(true); });
    QVERIFY(!locked.findChild<QPushButton *>(QStringLiteral("programSaveButton"))->isEnabled());
    QVERIFY(locked.findChild<QPushButton *>(QStringLiteral("programCancelButton"))->isEnabled());
}

void TestFlowSheets::assetUploadMeasuresAndReloads()
{
    const RundownItem before = platformItem(m_demo.audioItemId);
    const QString path = writeFile(QStringLiteral("伴奏.wav"), FakeMedia::sineWav(12500));
    bool reloaded = false;
    auto *sheet = new MacAssetManagerSheet(*m_client, m_demo.projectId, before, true, [&] {
        reloaded = true;
        return nothing();
    });
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<MacAssetManagerSheet> guard(sheet);
    sheet->show();
    sheet->handleImport(path, QStringLiteral("audio"));
    QCOMPARE(sheet->findChild<QPushButton *>(QStringLiteral("audioUploadButton"))->text(),
             QStringLiteral("正在上传…"));
    QVERIFY(!sheet->findChild<QPushButton *>(QStringLiteral("videoUploadButton"))->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!guard, 15000);
    QVERIFY(reloaded);

    const RundownItem after = platformItem(m_demo.audioItemId);
    QVERIFY(after.audioAssetId != before.audioAssetId);
    QCOMPARE(after.audioName, QStringLiteral("伴奏.wav"));
    QCOMPARE(after.audioDuration, 13);
    const auto upload = m_service->requests("/api/assets", "POST");
    QCOMPARE(upload.size(), 1);
    QVERIFY(upload.first().body.contains("name=\"durationSeconds\"\r\n\r\n13\r\n"));
}

void TestFlowSheets::assetPrepareRemembersFileAndFailuresStayOpen()
{
    const RundownItem item = platformItem(m_demo.audioItemId);
    QVERIFY(item.hasAudio());
    MacAssetManagerSheet sheet(*m_client, m_demo.projectId, item, true, [] { return nothing(); });
    sheet.show();

    sheet.findChild<QPushButton *>(QStringLiteral("audioPrepareButton"))->click();
    QTRY_VERIFY(sheet.prepared().contains(QStringLiteral("audio")));
    QVERIFY(sheet.findChild<QWidget *>(QStringLiteral("audioPreparedMark"))->isVisible());
    const auto remembered = PreparedAssetCache::shared().lookup(m_demo.projectId, item.id,
                                                                QStringLiteral("audio"), *item.audioAssetId);
    QVERIFY(remembered);
    QVERIFY(QFileInfo::exists(*remembered));

    sheet.handleImport(writeFile(QStringLiteral("empty.wav"), QByteArray()), QStringLiteral("audio"));
    QTRY_COMPARE(sheet.error(), QStringLiteral("文件为空或超过 200MB"));
    QTRY_VERIFY(sheet.uploading().isEmpty());
    QVERIFY(sheet.isVisible());
    QVERIFY(sheet.findChild<QPushButton *>(QStringLiteral("audioUploadButton"))->isEnabled());

    MacAssetManagerSheet readOnly(*m_client, m_demo.projectId, item, false, [] { return nothing(); });
    auto *upload = readOnly.findChild<QPushButton *>(QStringLiteral("audioUploadButton"));
    QVERIFY(!upload->isEnabled());
    QCOMPARE(upload->toolTip(), QStringLiteral("只有总导演、副导演、节目负责人或该节目表演者可上传"));
    QVERIFY(readOnly.findChild<QPushButton *>(QStringLiteral("audioPrepareButton"))->isEnabled());
}

void TestFlowSheets::openSheetsFollowTheFreeze()
{
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    const RundownItem item = platformItem(m_demo.audioItemId);
    page->state().setProgramItem(item);
    page->state().setAssetItem(item);
    page->state().setPeopleEditor(MacPeopleEditorContext{item, MacPeopleEditorContext::Field::owners});
    FlowSheetPresenter &sheets = page->sheets();
    QTRY_VERIFY(sheets.programDetails() && sheets.assetManager() && sheets.peoplePicker());
    const QList<QWidget *> editing{
        sheets.programDetails()->findChild<QPushButton *>(QStringLiteral("programSaveButton")),
        sheets.programDetails()->findChild<QWidget *>(QStringLiteral("programTitleField")),
        sheets.programDetails()->findChild<QWidget *>(QStringLiteral("programScriptEditor")),
        sheets.assetManager()->findChild<QPushButton *>(QStringLiteral("audioUploadButton")),
        sheets.assetManager()->findChild<QPushButton *>(QStringLiteral("videoUploadButton")),
        sheets.peoplePicker()->findChild<QPushButton *>(QStringLiteral("peopleSaveButton")),
    };
    const auto enabled = [&] {
        return std::count_if(editing.cbegin(), editing.cend(), [](QWidget *w) { return w->isEnabled(); });
    };
    QCOMPARE(enabled(), editing.size());

    for (const bool frozen : {true, false}) {
        auto toggling = page->commands().toggleFreeze();
        QTRY_COMPARE(page->state().flowFrozen(), frozen);
        QCOMPARE(enabled(), frozen ? 0 : editing.size());
    }
    // Preparing needs no right.
    QVERIFY(
        sheets.assetManager()->findChild<QPushButton *>(QStringLiteral("audioPrepareButton"))->isEnabled());
}

void TestFlowSheets::closingMidRequestIsSafe()
{
    // The page goes while a structure command waits for the service.
    m_service->script("POST", "/api/rundown-items", Script{.delayMs = 300, .times = 1, .passThrough = true});
    QVERIFY(openPage());
    QTest::mouseClick(m_page->findChild<QPushButton *>(QStringLiteral("flowAddItemButton")), Qt::LeftButton);
    m_page.reset();

    // The sheet goes while its upload runs: the upload still ends and still reports.
    m_service->script("POST", "/api/assets", Script{.delayMs = 300, .times = 1, .passThrough = true});
    bool reported = false;
    auto *sheet =
        new MacAssetManagerSheet(*m_client, m_demo.projectId, platformItem(m_demo.audioItemId), true, [&] {
            reported = true;
            return nothing();
        });
    sheet->handleImport(writeFile(QStringLiteral("clip.wav"), FakeMedia::sineWav(1000)),
                        QStringLiteral("audio"));
    delete sheet;
    QTRY_VERIFY_WITH_TIMEOUT(reported, 15000);
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QCOMPARE(m_service->requests("/api/rundown-items", "POST").size(), 1);
}

void TestFlowSheets::freezeBothWays_data()
{
    QTest::addColumn<bool>("frozen");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("unfreeze") << true << false << QStringLiteral("确认解冻流程表？")
                              << QStringLiteral("解冻后成员可按原有权限继续修改流程。");
    QTest::newRow("refused freeze")
        << false << true << QStringLiteral("确认冻结流程表？")
        << QStringLiteral(
               "冻结后任何人不能修改节目内容、人员、素材和顺序；任务仍可继续处置，只有总导演可以解冻。");
}

// The switch changes the project without a reload; while frozen no row can be edited or moved.
void TestFlowSheets::freezeBothWays()
{
    QFETCH(bool, frozen);
    QFETCH(bool, refused);
    QFETCH(QString, title);
    QFETCH(QString, message);
    m_service->withPlatform(
        [&](FakePlatform &p) { p.project(m_demo.projectId)->summary.flowFrozen = frozen; });
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    FlowPageState &state = page->state();
    state.stop();
    const auto readOnly = [page] {
        const QList<FlowRow> &rows = page->model().rows();
        return std::all_of(rows.cbegin(), rows.cend(),
                           [](const FlowRow &r) { return !r.canEdit && !r.showsMoveButtons; });
    };
    QCOMPARE(readOnly(), frozen);
    if (refused) {
        m_service->script("PATCH", "/api/project",
                          Script{.status = 409, .body = R"({"error":"演出直播中，暂不能冻结"})", .times = 1});
    }
    const qsizetype loads = m_service->requests("/api/project", "GET").size();

    QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("flowFreezeButton")), Qt::LeftButton);
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = visible<QMessageBox>(QStringLiteral("freezeConfirmationDialog"))));
    QCOMPARE(box->text(), title);
    QCOMPARE(box->informativeText(), message);
    box->findChild<QPushButton *>(QStringLiteral("freezeConfirmButton"))->click();
    QTRY_COMPARE(m_service->requests("/api/project", "PATCH").size(), 1);
    QCOMPARE(m_service->requests("/api/project", "PATCH").first().json(),
             (QJsonObject{{"freezeFlow", !frozen}}));
    if (refused) {
        QTRY_COMPARE(state.error(), QStringLiteral("演出直播中，暂不能冻结"));
    }
    const bool now = refused ? frozen : !frozen;
    QTRY_COMPARE(state.flowFrozen(), now);
    QTRY_COMPARE(readOnly(), now);
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(m_service->requests("/api/project", "GET").size(), loads);
}

void TestFlowSheets::importAndExportRefusals_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QByteArray>("answer"); // the service's answer to the export
    QTest::addColumn<QString>("expected");  // the error, or the file name the save dialog proposes
    QTest::newRow("replace refused") << "replace" << QByteArray() << "节目流程已冻结，暂不能修改";
    QTest::newRow("import cancelled") << "cancel" << QByteArray() << QString();
    QTest::newRow("export refused") << "export" << QByteArray(R"({"error":"没有权限导出"})")
                                    << "没有权限导出";
    QTest::newRow("exported name with a slash")
        << "export" << QByteArray(R"({"filename":"../年度/节目单.xlsx","contentBase64":"UEsDBA=="})")
        << ".._年度_节目单.xlsx";
    QTest::newRow("exported name with a backslash")
        << "export" << QByteArray(R"({"filename":"C:\\晚会\\节目单.xlsx","contentBase64":"UEsDBA=="})")
        << "C:_晚会_节目单.xlsx";
}

void TestFlowSheets::importAndExportRefusals()
{
    QFETCH(QString, step);
    QFETCH(QByteArray, answer);
    QFETCH(QString, expected);
    MacProjectFlowView *page = openPage();
    QVERIFY(page);
    FlowPageState &state = page->state();
    state.stop();
    const QJsonObject before = state.detail()->toJson();
    const qsizetype loads = m_service->requests("/api/project", "GET").size();

    if (step == QStringLiteral("export")) {
        m_service->script("GET", "/api/rundown-export",
                          Script{.status = answer.contains("error") ? 403 : 200, .body = answer, .times = 1});
        QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("flowExportButton")), Qt::LeftButton);
        if (answer.contains("error")) {
            QTRY_COMPARE(state.error(), expected);
            QVERIFY(!state.busyItemID());
            QVERIFY(!visible<QFileDialog>(QStringLiteral("exportSaveDialog")));
            return;
        }
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = visible<QFileDialog>(QStringLiteral("exportSaveDialog"))));
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), expected);
        dialog->reject();
        QTRY_VERIFY(!state.busyItemID());
        return;
    }

    page->commands().previewExcel(writeFile(QStringLiteral("two.csv"), "节目名称\n开场\n压轴\n"));
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = visible<QMessageBox>(QStringLiteral("importConfirmationDialog"))));
    if (step == QStringLiteral("replace")) {
        m_service->script(
            "PUT", "/api/project",
            Script{.status = 409, .body = R"({"error":"节目流程已冻结，暂不能修改"})", .times = 1});
    }
    box->findChild<QPushButton *>(step == QStringLiteral("replace") ? QStringLiteral("importOverwriteButton")
                                                                    : QStringLiteral("importCancelButton"))
        ->click();
    QTRY_VERIFY(!state.importPreview());
    QTRY_VERIFY(!state.busyItemID());
    QCOMPARE(state.error(), expected);
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(m_service->requests("/api/project", "PUT").size(), step == QStringLiteral("replace") ? 1 : 0);
    QCOMPARE(m_service->requests("/api/project", "GET").size(), loads);
    QCOMPARE(state.detail()->toJson(), before);
}

QTEST_MAIN(TestFlowSheets)
#include "test_flow_sheets.moc"
