#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/Theme.h"
#include "lottery/LotteryRules.h"
#include "lottery/MacLotteryConsoleSheet.h"
#include "lottery/MacQRCodeImage.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrlQuery>
#include <QtTest>

#include <zbar.h>

#include <memory>

using Presentation = MacLotteryContext::Presentation;

namespace {

// What a phone camera would read from the picture.
QString decodeQR(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    QByteArray pixels;
    for (int y = 0; y < grey.height(); ++y) {
        pixels.append(reinterpret_cast<const char *>(grey.constScanLine(y)), grey.width());
    }
    zbar::ImageScanner scanner;
    scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::Image frame(unsigned(grey.width()), unsigned(grey.height()), "Y800", pixels.constData(),
                      unsigned(pixels.size()));
    scanner.scan(frame);
    for (auto symbol = frame.symbol_begin(); symbol != frame.symbol_end(); ++symbol) {
        return QString::fromStdString(symbol->get_data());
    }
    return {};
}

// Typing as an input method delivers it: one key event carrying the whole text.
void type(QWidget *field, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
}

LotteryState stateWith(const QString &mode, bool canClaim)
{
    LotteryState s;
    s.mode = mode;
    s.canClaim = canClaim;
    s.canOperate = true;
    s.entryCount = 5;
    return s;
}

} // namespace

class TestLottery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void claimEnabled_data();
    void claimEnabled();
    void rules();
    void qrImageDecodesToTheText_data();
    void qrImageDecodesToTheText();

    void screenFollowsTheConsole();
    void closingWhileLoadingLeavesTheProgramOnScreen();
    void prizeDraftsAndTheirCheck();
    void claimKeepsItsMessageAfterTheReload();
    void noShowIsCapturedBeforeTheDialogCloses();
    void formalDrawAndItsControls();
    void drawControlsByState_data();
    void drawControlsByState();
    void consoleCommands_data();
    void consoleCommands();

private:
    std::unique_ptr<MacLotteryConsoleSheet> openSheet(Presentation presentation,
                                                      const QString &role = QStringLiteral("总导演"));
    QList<RecordedRequest> commands(const QString &action) const;
    template<typename T>
    T *find(QWidget *root, const QString &name)
    {
        T *found = root->findChild<T *>(name);
        if (!found) {
            qWarning() << "no control" << name;
        }
        return found;
    }

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    DemoShow m_demo;
};

void TestLottery::initTestCase()
{
    Theme::install();
}

void TestLottery::init()
{
    QVERIFY(TestHelpers::startDemoService(m_service, m_demo));
    m_service->withPlatform([](FakePlatform &p) { p.lotterySeed = 11; });
}

void TestLottery::cleanup()
{
    TestHelpers::shutDown(m_client, m_service);
}

std::unique_ptr<MacLotteryConsoleSheet> TestLottery::openSheet(Presentation presentation, const QString &role)
{
    if (m_client) {
        if (!QTest::qWaitFor([&] { return TestHelpers::requestsEnded(*m_client); }, 10000)) {
            qWarning() << "requests still running";
        }
        m_client->network().clearConnectionCache();
    }
    const DemoLogin *login = m_demo.loginForRole(role);
    m_client = TestHelpers::signedInClient(*m_service, login->accountId);
    const auto [project, item] = m_service->withPlatform([&](FakePlatform &p) {
        const FakeProject &gala = *p.project(m_demo.projectId);
        return std::make_pair(gala.summary, *gala.item(m_demo.lotteryItemId));
    });
    auto sheet =
        std::make_unique<MacLotteryConsoleSheet>(project, MacLotteryContext{item, presentation}, *m_client);
    sheet->open();
    return sheet;
}

QList<RecordedRequest> TestLottery::commands(const QString &action) const
{
    QList<RecordedRequest> found;
    for (const RecordedRequest &r : m_service->requests("/api/lottery", "POST")) {
        if (r.json().value(QStringLiteral("action")).toString() == action) {
            found.append(r);
        }
    }
    return found;
}

void TestLottery::claimEnabled_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("canClaim");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<bool>("enabled");
    const QString formal = LotteryValues::formal;
    QTest::newRow("plain") << formal << true << QStringLiteral("13900001148") << true;
    QTest::newRow("spaces and dashes") << formal << true << QStringLiteral("139 0000-1148") << true;
    QTest::newRow("full-width digits") << formal << true << QStringLiteral("１３９００００１１４８") << true;
    QTest::newRow("ten digits") << formal << true << QStringLiteral("1390000114") << false;
    QTest::newRow("twelve digits") << formal << true << QStringLiteral("139000011480") << false;
    QTest::newRow("rehearsal") << LotteryValues::rehearsal << true << QStringLiteral("13900001148") << false;
    QTest::newRow("no right") << formal << false << QStringLiteral("13900001148") << false;
}

void TestLottery::claimEnabled()
{
    QFETCH(QString, mode);
    QFETCH(bool, canClaim);
    QFETCH(QString, phone);
    QFETCH(bool, enabled);
    QCOMPARE(LotteryRules::canClaim(stateWith(mode, canClaim), phone, false), enabled);
    QVERIFY(!LotteryRules::canClaim(stateWith(mode, canClaim), phone, true));
}

void TestLottery::rules()
{
    // Values that would split or end the query stay inside their own item.
    const auto url = LotteryRules::registrationURL(QStringLiteral("p 1&x=2"), QStringLiteral("i#3"));
    QVERIFY(url);
    const QUrlQuery query(*url);
    QCOMPARE(query.queryItemValue(QStringLiteral("project"), QUrl::FullyDecoded), QStringLiteral("p 1&x=2"));
    QCOMPARE(query.queryItemValue(QStringLiteral("item"), QUrl::FullyDecoded), QStringLiteral("i#3"));
    QCOMPARE(url->path(), QStringLiteral("/lottery"));

    LotteryPrize big{QStringLiteral("a"),
                     QStringLiteral("一等奖"),
                     QStringLiteral("耳机"),
                     std::numeric_limits<qint64>::max(),
                     QString(),
                     std::nullopt};
    QCOMPARE(LotteryRules::seatTotal({big, big}), std::numeric_limits<qint64>::max());
    QCOMPARE(LotteryRules::prizeOptionLabel(big).endsWith(QStringLiteral("（0/9223372036854775807）")), true);
    QVERIFY(LotteryRules::isBlank(QStringLiteral(" \t\u3000")));
    QVERIFY(!LotteryRules::isBlank(QStringLiteral(" \n")));
    QCOMPARE(LotteryRules::subtitle(QString(), QStringLiteral("晚会")),
             QStringLiteral("《未命名节目》 · 晚会"));
}

void TestLottery::qrImageDecodesToTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("sign-up link") << LotteryRules::registrationURL(QStringLiteral("proj-1"),
                                                                   QStringLiteral("item-9"))
                                         ->toString(QUrl::FullyEncoded);
    QTest::newRow("chinese") << QStringLiteral("幸运大抽奖 https://quillory.example/lottery");
}

void TestLottery::qrImageDecodesToTheText()
{
    QFETCH(QString, text);
    const QImage image = macQRCodeImage(text);
    const QImage modules = macQRCodeModules(text);
    QVERIFY(!image.isNull());
    // Eight pixels a module, with a four-module quiet zone around the code.
    QCOMPARE(image.width(), (modules.width() + 8) * 8);
    QCOMPARE(image.size(), macQRCodeImage(text).size());
    QCOMPARE(decodeQR(image), text);
    QVERIFY(macQRCodeImage(QString(4000, QLatin1Char('x'))).isNull());
}

void TestLottery::screenFollowsTheConsole()
{
    auto console = openSheet(Presentation::console);
    QTRY_COMPARE(commands(QStringLiteral("screen")).size(), 1);
    QTRY_VERIFY(!console->isBusy());
    // The state is read before the screen switches.
    const QList<RecordedRequest> all = m_service->requests("/api/lottery");
    QCOMPARE(all.first().method, QByteArray("GET"));
    QCOMPARE(commands(QStringLiteral("screen")).first().json().value(QStringLiteral("mode")).toString(),
             LotteryValues::screenQR);
    QCOMPARE(console->lottery()->screenMode, LotteryValues::screenQR);
    QVERIFY(!console->message().isEmpty());
    QVERIFY(find<QLabel>(console.get(), QStringLiteral("lotteryMessage"))->isVisibleTo(console.get()));

    QTest::keyClick(console.get(), Qt::Key_Escape);
    QTRY_COMPARE(commands(QStringLiteral("screen")).size(), 2);
    QCOMPARE(commands(QStringLiteral("screen")).last().json().value(QStringLiteral("mode")).toString(),
             LotteryValues::screenProgram);
    console.reset();
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QCOMPARE(commands(QStringLiteral("screen")).size(), 2);

    // The settings presentation leaves the screen alone and shows no draw controls.
    m_service->clearRequests();
    auto settings = openSheet(Presentation::settings);
    QTRY_VERIFY(settings->lottery());
    QVERIFY(settings->message().isEmpty());
    QVERIFY(!settings->findChild<QWidget *>(QStringLiteral("drawSection")));
    settings->reject();
    settings.reset();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QCOMPARE(commands(QStringLiteral("screen")).size(), 0);
}

void TestLottery::closingWhileLoadingLeavesTheProgramOnScreen()
{
    Script hang;
    hang.hang = true;
    hang.passThrough = true;
    hang.times = 1;
    m_service->script("GET", "/api/lottery", hang);
    auto sheet = openSheet(Presentation::console);
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QCOMPARE(find<QWidget>(sheet.get(), QStringLiteral("lotteryFaces"))
                 ->findChild<QWidget *>(QStringLiteral("lotteryLoading"))
                 ->isVisibleTo(sheet.get()),
             true);
    sheet->reject();
    QTRY_COMPARE(commands(QStringLiteral("screen")).size(), 1);
    m_service->releaseHangs();
    QTRY_VERIFY(sheet->lottery());
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QCOMPARE(commands(QStringLiteral("screen")).size(), 1);
    QCOMPARE(m_service->withPlatform([&](FakePlatform &p) {
        return p.project(m_demo.projectId)->lotteries.value(m_demo.lotteryItemId).screenMode;
    }),
             LotteryValues::screenProgram);
}

void TestLottery::prizeDraftsAndTheirCheck()
{
    auto sheet = openSheet(Presentation::settings);
    QTRY_VERIFY(sheet->lottery());
    QCOMPARE(sheet->draftPrizes(), sheet->lottery()->prizes);
    auto *firstName = find<QLineEdit>(sheet.get(), QStringLiteral("prizeNameField"));
    type(firstName, QStringLiteral("（改）"));
    const QString edited = sheet->draftPrizes().first().name;
    QVERIFY(edited.endsWith(QStringLiteral("（改）")));

    // An answer without a lottery keeps the edit; one with a lottery replaces it.
    Script bare;
    bare.body = R"({"message":"已收到"})";
    bare.times = 1;
    m_service->script("POST", "/api/lottery", bare);
    auto *entry = find<QPushButton>(sheet.get(), QStringLiteral("entryButton"));
    entry->click();
    QTRY_COMPARE(sheet->message(), QStringLiteral("已收到"));
    QCOMPARE(sheet->draftPrizes().first().name, edited);
    QCOMPARE(firstName->text(), edited);
    entry->click();
    QTRY_VERIFY(!sheet->isBusy() && sheet->message() != QStringLiteral("已收到"));
    QCOMPARE(sheet->draftPrizes(), sheet->lottery()->prizes);
    QVERIFY(!find<QLineEdit>(sheet.get(), QStringLiteral("prizeNameField"))
                 ->text()
                 .endsWith(QStringLiteral("（改）")));

    // A new prize left blank is refused before anything is sent.
    const qsizetype saves = commands(QStringLiteral("save")).size();
    find<QPushButton>(sheet.get(), QStringLiteral("addPrizeButton"))->click();
    QCOMPARE(sheet->draftPrizes().size(), sheet->lottery()->prizes.size() + 1);
    QCOMPARE(sheet->draftPrizes().last().drawnCount, std::optional<qint64>(0));
    QCOMPARE(sheet->draftPrizes().last().id.size(), 36);
    auto *save = find<QPushButton>(sheet.get(), QStringLiteral("savePrizesButton"));
    save->click();
    QCOMPARE(sheet->message(), QStringLiteral("请完整填写奖项名称和奖品"));
    QCOMPARE(commands(QStringLiteral("save")).size(), saves);

    const QList<QLineEdit *> names = sheet->findChildren<QLineEdit *>(QStringLiteral("prizeNameField"));
    const QList<QLineEdit *> gifts = sheet->findChildren<QLineEdit *>(QStringLiteral("prizeGiftField"));
    type(names.last(), QStringLiteral("纪念奖"));
    type(gifts.last(), QStringLiteral("徽章"));
    save->click();
    QTRY_COMPARE(sheet->lottery()->prizes.size(), 4);
    QCOMPARE(commands(QStringLiteral("save")).size(), saves + 1);
    QCOMPARE(sheet->lottery()->prizes.last().name, QStringLiteral("纪念奖"));
}

void TestLottery::claimKeepsItsMessageAfterTheReload()
{
    auto sheet = openSheet(Presentation::console);
    QTRY_VERIFY(sheet->lottery() && !sheet->isBusy());
    auto *field = find<QLineEdit>(sheet.get(), QStringLiteral("claimPhoneField"));
    auto *claim = find<QPushButton>(sheet.get(), QStringLiteral("claimButton"));

    // A refusal keeps the typed phone for another try.
    QTest::keyClicks(field, QStringLiteral("139 0000 0000"));
    QVERIFY(claim->isEnabled());
    claim->click();
    QTRY_VERIFY(!sheet->isBusy());
    QCOMPARE(sheet->message(), QStringLiteral("未找到该手机号的中奖记录"));
    QCOMPARE(field->text(), QStringLiteral("139 0000 0000"));

    QString spaced = m_demo.lotteryClaimPhone;
    spaced.insert(7, QLatin1Char('-')).insert(3, QLatin1Char(' '));
    field->clear();
    QTest::keyClicks(field, spaced);
    const int gets = m_service->requests("/api/lottery", "GET").size();
    claim->click();
    QTRY_VERIFY(!sheet->isBusy());
    QCOMPARE(commands(QStringLiteral("claim")).last().json().value(QStringLiteral("phone")).toString(),
             spaced);
    QCOMPARE(m_service->requests("/api/lottery", "GET").size(), gets + 1);
    QVERIFY(sheet->message().startsWith(QStringLiteral("领奖成功")));
    QVERIFY(find<QLabel>(sheet.get(), QStringLiteral("lotteryMessage"))->isVisibleTo(sheet.get()));
    QVERIFY(field->text().isEmpty() && sheet->claimPhone().isEmpty());
    QCOMPARE(sheet->lottery()->winners.first().status, LotteryValues::claimed);

    // The answer to a claim of a sheet that went meanwhile touches nothing.
    Script hold;
    hold.hang = true;
    hold.passThrough = true;
    hold.times = 1;
    m_service->script("POST", "/api/lottery", hold);
    QTest::keyClicks(field, QStringLiteral("13900001259"));
    claim->click();
    QTRY_COMPARE(m_service->hangingCount(), 1);
    sheet.reset();
    m_service->releaseHangs();
}

void TestLottery::noShowIsCapturedBeforeTheDialogCloses()
{
    auto sheet = openSheet(Presentation::console);
    QTRY_VERIFY(sheet->lottery() && !sheet->isBusy());
    // Only the pending winner offers the button.
    const QList<QPushButton *> buttons = sheet->findChildren<QPushButton *>(QStringLiteral("noShowButton"));
    QCOMPARE(buttons.size(), 1);
    const QString winID = buttons.first()->parentWidget()->property("winnerId").toString();
    buttons.first()->click();
    QCOMPARE(sheet->noShowWinner()->id, winID);
    auto *box = sheet->findChild<QMessageBox *>(QStringLiteral("noShowConfirmation"));
    QVERIFY(box);
    find<QPushButton>(box, QStringLiteral("confirmButton"))->click();
    QVERIFY(!sheet->noShowWinner());
    QTRY_VERIFY(!sheet->isBusy());
    QCOMPARE(commands(QStringLiteral("noShow")).size(), 1);
    QCOMPARE(commands(QStringLiteral("noShow")).first().json().value(QStringLiteral("winId")).toString(),
             winID);
    QCOMPARE(sheet->lottery()->winners.first().status, LotteryValues::noShow);
    QVERIFY(sheet->findChildren<QPushButton *>(QStringLiteral("noShowButton")).isEmpty());
}

void TestLottery::formalDrawAndItsControls()
{
    auto sheet = openSheet(Presentation::console);
    QTRY_VERIFY(sheet->lottery() && !sheet->isBusy());
    auto *picker = find<QComboBox>(sheet.get(), QStringLiteral("prizePicker"));
    picker->setCurrentIndex(picker->findData(QStringLiteral("prize-second")));
    Q_EMIT picker->activated(picker->currentIndex());
    QCOMPARE(sheet->selectedPrizeID(), QStringLiteral("prize-second"));
    find<QPushButton>(sheet.get(), QStringLiteral("startDrawButton"))->click();
    QTRY_VERIFY(sheet->isRolling() && !sheet->isBusy());
    QVERIFY(!picker->isEnabled());

    // Another command under way (the sign-up switch) does not lock the stop.
    Script hold;
    hold.hang = true;
    hold.passThrough = true;
    hold.times = 1;
    m_service->script("POST", "/api/lottery", hold);
    find<QPushButton>(sheet.get(), QStringLiteral("entryButton"))->click();
    QTRY_COMPARE(m_service->hangingCount(), 1);
    QVERIFY(sheet->isBusy());
    auto *stop = find<QPushButton>(sheet.get(), QStringLiteral("stopDrawButton"));
    QVERIFY(stop->isEnabled());
    stop->click();
    QTRY_VERIFY(!sheet->isRolling());
    QCOMPARE(m_service->hangingCount(), 1);
    m_service->releaseHangs();
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    QVERIFY(!sheet->isBusy());
    QCOMPARE(commands(QStringLiteral("drawStop")).size(), 1);

    // The drawn winners are kept by the service, not made anew on every read.
    const QList<LotteryWinner> drawn = sheet->lottery()->winners;
    QCOMPARE(drawn.size(), 6);
    for (int i = 0; i < 2; ++i) {
        auto reload = sheet->load();
        QTRY_VERIFY(reload.isReady());
        QCOMPARE(sheet->lottery()->winners, drawn);
    }
    sheet.reset();

    // Without the right to operate the stop stays offered; the service refuses it.
    m_service->withPlatform([&](FakePlatform &p) {
        FakeLottery &l = p.project(m_demo.projectId)->lotteries[m_demo.lotteryItemId];
        l.drawStatus = LotteryValues::rolling;
        l.drawingPrizeId = QStringLiteral("prize-first");
    });
    QTRY_VERIFY(TestHelpers::requestsEnded(*m_client));
    auto staff = openSheet(Presentation::console, QStringLiteral("工作人员"));
    QTRY_VERIFY(staff->lottery() && !staff->isBusy());
    QVERIFY(staff->isRolling());
    QVERIFY(!find<QPushButton>(staff.get(), QStringLiteral("entryButton"))->isVisibleTo(staff.get()));
    auto *staffStop = find<QPushButton>(staff.get(), QStringLiteral("stopDrawButton"));
    QVERIFY(staffStop->isEnabled());
    staffStop->click();
    QVERIFY(staff->isBusy());
    QTRY_VERIFY(!staff->isBusy());
    QCOMPARE(commands(QStringLiteral("drawStop")).size(), 2);
    QCOMPARE(staff->message(), QStringLiteral("没有权限执行此操作"));
    QVERIFY(staff->isRolling());
    QVERIFY(staffStop->isEnabled());
}

void TestLottery::drawControlsByState_data()
{
    QTest::addColumn<QString>("state"); // what the service holds besides the demo's formal lottery
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<bool>("modeEnabled");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("drawText");
    QTest::newRow("idle") << "idle" << true << true << "prize-first"
                          << "已从 30 位报名观众中准备抽取";
    QTest::newRow("no entries") << "no entries" << false << true << "prize-first"
                                << "暂无报名观众";
    QTest::newRow("rolling the second prize") << "rolling" << false << false << "prize-second"
                                              << "正在滚动 二等奖…";
}

void TestLottery::drawControlsByState()
{
    QFETCH(QString, state);
    QFETCH(bool, startEnabled);
    QFETCH(bool, modeEnabled);
    QFETCH(QString, selected);
    QFETCH(QString, drawText);
    m_service->withPlatform([&](FakePlatform &p) {
        FakeLottery &l = p.project(m_demo.projectId)->lotteries[m_demo.lotteryItemId];
        if (state == QStringLiteral("no entries")) {
            l.entries.clear();
        } else if (state == QStringLiteral("rolling")) {
            l.drawStatus = LotteryValues::rolling;
            l.drawingPrizeId = QStringLiteral("prize-second");
        }
    });
    auto sheet = openSheet(Presentation::console);
    QTRY_VERIFY(sheet->lottery() && !sheet->isBusy());
    QCOMPARE(sheet->selectedPrizeID(), selected);
    auto *start = find<QPushButton>(sheet.get(), QStringLiteral("startDrawButton"));
    QCOMPARE(start->isVisibleTo(sheet.get()) && start->isEnabled(), startEnabled);
    QCOMPARE(find<QComboBox>(sheet.get(), QStringLiteral("modePicker"))->isEnabled(), modeEnabled);
    const bool rolling = state == QStringLiteral("rolling");
    QCOMPARE(
        find<QLabel>(sheet.get(), rolling ? QStringLiteral("rollingText") : QStringLiteral("idleDrawText"))
            ->text(),
        drawText);

    // The demo's formal winners, one in each collection state.
    QStringList labels;
    for (QLabel *label : sheet->findChildren<QLabel *>(QStringLiteral("winnerStatus"))) {
        labels.append(label->text());
    }
    QCOMPARE(labels, (QStringList{"待领奖", "已领奖", "中奖未到场失效"}));
}

void TestLottery::consoleCommands_data()
{
    QTest::addColumn<QString>("mode"); // the lottery's mode when the console opens
    QTest::addColumn<bool>("entryOpen");
    QTest::addColumn<QString>("control"); // a button, or "mode:" and the value picked
    QTest::addColumn<QString>("dialog");  // the confirmation it raises; empty: none
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QJsonObject>("sent"); // the command's body; empty: nothing is sent
    QTest::addColumn<QString>("message");

    const QString formal = LotteryValues::formal;
    const QString rehearsal = LotteryValues::rehearsal;
    const QJsonObject none;
    QTest::newRow("formal mode, cancelled") << rehearsal << true << "mode:formal"
                                            << "formalConfirmation" << false << none << QString();
    QTest::newRow("formal mode, confirmed")
        << rehearsal << true << "mode:formal"
        << "formalConfirmation" << true << QJsonObject{{"action", "mode"}, {"mode", formal}}
        << "已进入正式抽奖";
    QTest::newRow("rehearsal mode, at once")
        << formal << true << "mode:rehearsal" << QString() << false
        << QJsonObject{{"action", "mode"}, {"mode", rehearsal}} << "已切换为彩排模式";
    QTest::newRow("rehearsal reset, confirmed")
        << rehearsal << true << "resetRehearsalButton"
        << "resetConfirmation" << true << QJsonObject{{"action", "resetRehearsal"}} << "彩排结果已清空";
    QTest::newRow("sign-up closes") << formal << true << "entryButton" << QString() << false
                                    << QJsonObject{{"action", "entry"}, {"open", false}} << "观众报名已关闭";
    QTest::newRow("sign-up opens") << formal << false << "entryButton" << QString() << false
                                   << QJsonObject{{"action", "entry"}, {"open", true}} << "观众报名已开启";
    QTest::newRow("link copied") << formal << true << "copyLinkButton" << QString() << false << none
                                 << "报名链接已复制";
}

void TestLottery::consoleCommands()
{
    QFETCH(QString, mode);
    QFETCH(bool, entryOpen);
    QFETCH(QString, control);
    QFETCH(QString, dialog);
    QFETCH(bool, confirm);
    QFETCH(QJsonObject, sent);
    QFETCH(QString, message);
    m_service->withPlatform([&](FakePlatform &p) {
        FakeLottery &l = p.project(m_demo.projectId)->lotteries[m_demo.lotteryItemId];
        l.mode = mode;
        l.entryOpen = entryOpen;
    });
    auto sheet = openSheet(Presentation::console);
    QTRY_VERIFY(sheet->lottery() && !sheet->isBusy() && commands(QStringLiteral("screen")).size() == 1);

    if (control.startsWith(QLatin1String("mode:"))) {
        auto *picker = find<QComboBox>(sheet.get(), QStringLiteral("modePicker"));
        const int index = picker->findData(control.mid(5));
        picker->setCurrentIndex(index);
        Q_EMIT picker->activated(index);
        // The picker shows the service's mode until a new lottery says otherwise.
        QCOMPARE(picker->currentData().toString(), mode);
    } else {
        find<QPushButton>(sheet.get(), control)->click();
    }
    if (!dialog.isEmpty()) {
        auto *box = sheet->findChild<QMessageBox *>(dialog);
        QVERIFY(box && box->isVisible());
        find<QPushButton>(box, confirm ? QStringLiteral("confirmButton") : QStringLiteral("cancelButton"))
            ->click();
    }
    QTRY_VERIFY(!sheet->isBusy());
    QVERIFY(TestHelpers::roundTrip(*m_client));
    QList<QJsonObject> bodies;
    for (const RecordedRequest &r : m_service->requests("/api/lottery", "POST")) {
        if (r.json().value(QStringLiteral("action")).toString() != QStringLiteral("screen")) {
            bodies.append(r.json());
        }
    }
    QCOMPARE(bodies, sent.isEmpty() ? QList<QJsonObject>() : QList<QJsonObject>{sent});
    if (!message.isEmpty()) {
        QCOMPARE(sheet->message(), message);
    }
    if (control == QStringLiteral("copyLinkButton")) {
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 LotteryRules::registrationURL(m_demo.projectId, m_demo.lotteryItemId)
                     ->toString(QUrl::FullyEncoded));
    }
}

QTEST_MAIN(TestLottery)
#include "test_lottery.moc"
