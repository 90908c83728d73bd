#include "DemoShow.h"
#include "FakeEndpoints.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "common/Theme.h"
#include "people/MacGroupMemberPickerSheet.h"
#include "people/MacGroupsView.h"
#include "people/MacInviteMemberSheet.h"
#include "people/MacMakeupBoard.h"
#include "people/MacMakeupEditors.h"
#include "people/MacMemberEditorSheet.h"
#include "people/MacWorkPassSheet.h"
#include "people/PeopleRules.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacOperationsView.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

QSet<QString> set(const QStringList &list)
{
    return QSet<QString>(list.cbegin(), list.cend());
}

RundownItem act(const QString &performers)
{
    RundownItem item;
    item.performers = performers;
    return item;
}

// Picks an entry as the user would, so the picker's own signal runs.
void choose(QComboBox *box, const QString &data)
{
    const int index = box->findData(data);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

} // namespace

class TestPeople : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void passAreas_data();
    void passAreas();
    void phoneFilter_data();
    void phoneFilter();
    void shareTextAndPass();
    void candidateNames_data();
    void candidateNames();
    void makeupBoardByRole_data();
    void makeupBoardByRole();
    void durationSteps_data();
    void durationSteps();
    void fakeRights_data();
    void fakeRights();

    void memberEditorSendsAreas_data();
    void memberEditorSendsAreas();
    void invitationRequestsAndCallbacks_data();
    void invitationRequestsAndCallbacks();
    void refusedInvitationKeepsTheForm();
    void groupsDecideAndStaff();
    void makeupRowsSurviveReloads();
    void unknownValuesRoundTrip();
    void assignmentCreation();
    void closingMidRequestIsSafe();
    void makeupFieldsFollowTheService_data();
    void makeupFieldsFollowTheService();
    void makeupEditsByRole_data();
    void makeupEditsByRole();
    void groupsByRole_data();
    void groupsByRole();
    void memberEditorByRole_data();
    void memberEditorByRole();

private:
    void signInAs(const QString &role);
    QString memberId(const QString &name) const;
    MakeupAssignment assignmentOf(const QString &memberId) const;
    std::unique_ptr<MacProjectDataStore> loadedStore();

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<APIClient> m_client;
    DemoShow m_demo;
};

void TestPeople::initTestCase()
{
    Theme::install();
}

void TestPeople::init()
{
    QVERIFY(TestHelpers::startDemoService(m_service, m_demo));
}

void TestPeople::cleanup()
{
    TestHelpers::shutDown(m_client, m_service);
}

void TestPeople::signInAs(const QString &role)
{
    const DemoLogin *login = m_demo.loginForRole(role);
    QVERIFY(login);
    m_client = TestHelpers::signedInClient(*m_service, login->accountId);
}

QString TestPeople::memberId(const QString &name) const
{
    return m_service->withPlatform([&](const FakePlatform &p) {
        for (const ProjectMember &m : p.project(m_demo.projectId)->members) {
            if (m.name == name) {
                return m.id;
            }
        }
        return QString();
    });
}

MakeupAssignment TestPeople::assignmentOf(const QString &member) const
{
    return m_service->withPlatform([&](const FakePlatform &p) {
        for (const MakeupAssignment &a : p.project(m_demo.projectId)->makeup) {
            if (a.memberId == member) {
                return a;
            }
        }
        return MakeupAssignment{};
    });
}

std::unique_ptr<MacProjectDataStore> TestPeople::loadedStore()
{
    const ProjectSummary project =
        m_service->withPlatform([&](const FakePlatform &p) { return p.project(m_demo.projectId)->summary; });
    auto store = std::make_unique<MacProjectDataStore>(project, *m_client);
    store->load(false);
    return store;
}

// --- Rules ---------------------------------------------------------------------------------

void TestPeople::passAreas_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("sentAsStaff");
    QTest::newRow("empty") << QString() << QStringList() << QStringList{"内场", "外场"} << QString();
    QTest::newRow("empty parts dropped")
        << "内场、、外场" << QStringList{"内场", "外场"} << QStringList{"内场", "外场"} << "内场、外场";
    QTest::newRow("only 、 separates")
        << "内场,外场" << QStringList{"内场,外场"} << QStringList{"内场", "外场", "内场,外场"} << "内场,外场";
    QTest::newRow("parts untrimmed, sorted by code point")
        << "导播间、 内场、外场" << QStringList{"导播间", " 内场", "外场"}
        << QStringList{"内场", "外场", " 内场", "导播间"} << " 内场、外场、导播间";
}

void TestPeople::passAreas()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, selected);
    const QSet<QString> areas =
        PeopleRules::areasFromText(stored.isNull() ? std::nullopt : std::optional(stored));
    QCOMPARE(areas, set(selected));
    QTEST(PeopleRules::areaButtons(areas), "buttons");
    QTEST(PeopleRules::areasText(QStringLiteral("工作人员"), areas), "sentAsStaff");
    QCOMPARE(PeopleRules::areasText(QStringLiteral("演员"), areas), QString());
}

void TestPeople::phoneFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("spaces") << "138 0013 8000"
                            << "13800138000" << true;
    QTest::newRow("dashes") << "138-0013-8000"
                            << "13800138000" << true;
    QTest::newRow("+86") << "+86 138 0013 8000"
                         << "13800138000" << true;
    QTest::newRow("full-width +86") << "＋８６ １３８００１３８０００"
                                    << "13800138000" << true;
    QTest::newRow("0086") << "0086 13800138000"
                          << "13800138000" << true;
    QTest::newRow("0086 typed so far") << "0086"
                                       << "0086" << false;
    QTest::newRow("full-width digits") << "１３８００１３８０００"
                                       << "13800138000" << true;
    QTest::newRow("CJK numerals dropped") << "一三八00138000"
                                          << "00138000" << false;
    QTest::newRow("ten digits") << "1380013800"
                                << "1380013800" << false;
    QTest::newRow("longer is never cut") << "138001380001"
                                         << "138001380001" << false;
    QTest::newRow("other country code") << "+1 415 555 0100"
                                        << "+14155550100" << false;
}

void TestPeople::phoneFilter()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(PeopleRules::filterPhone(typed), kept);
    QCOMPARE(PeopleRules::filterPhone(kept), kept); // the field filters its own text again
    QTEST(PeopleRules::phoneSendable(kept), "sendable");
}

void TestPeople::shareTextAndPass()
{
    QCOMPARE(PeopleRules::shareText(QStringLiteral("张三"), QStringLiteral("导演组"), QStringLiteral("演员"),
                                    QStringLiteral("年会"), QStringLiteral("L")),
             QStringLiteral(
                 "张三，您好！导演组 邀请您以“演员”身份加入《年会》。点击链接登录后即可进入演出流程：L"));
    const std::optional<QString> areas = QStringLiteral("内场、外场");
    QCOMPARE(PeopleRules::passAccess(QStringLiteral("副导演"), areas), QStringLiteral("全区域通行"));
    QCOMPARE(PeopleRules::passAccess(QStringLiteral("主持人"), areas), QStringLiteral("前台及后台"));
    QCOMPARE(PeopleRules::passAccess(QStringLiteral("化妆师"), areas), QStringLiteral("内场、外场"));
    QCOMPARE(PeopleRules::passAccess(QStringLiteral("工作人员"), QString()),
             QStringLiteral("通行区域待分配"));
    QCOMPARE(PeopleRules::passColour(QStringLiteral("总导演")), PeopleRules::PassColour::green);
    QCOMPARE(PeopleRules::passColour(QStringLiteral("演员")), PeopleRules::PassColour::orange);
    QCOMPARE(PeopleRules::passColour(QStringLiteral("总导演 ")), PeopleRules::PassColour::blue);

    // The pass clock's date stays numeric whatever the locale spells out; its time is the locale's,
    // to the second and without a time zone.
    const QDateTime now(QDate(2026, 12, 7), QTime(9, 1, 45));
    const QList<std::pair<QLocale, QString>> clocks{
        {QLocale::c(), " 09:01:45"},
        {QLocale(QLocale::Chinese, QLocale::China), " 09:01:45"},
        {QLocale(QLocale::English, QLocale::UnitedStates), " 9:01:45 AM"},
    };
    for (const auto &[locale, time] : clocks) {
        QLocale::setDefault(locale);
        const QString text = MacWorkPassSheet::clockText(now);
        QVERIFY2(!text.contains(QLatin1String("Dec")), qPrintable(text));
        QVERIFY2(text.endsWith(time), qPrintable(text));
    }
    QLocale::setDefault(QLocale::system());
}

void TestPeople::candidateNames_data()
{
    QTest::addColumn<QStringList>("performers");
    QTest::addColumn<QStringList>("recorded");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("split, deduplicated, code-point order")
        << QStringList{"甲、乙 , 乙/丙", "丙；丁"} << QStringList() << QStringList{"丁", "丙", "乙", "甲"};
    QTest::newRow("recorded names of any decision left out")
        << QStringList{"甲、乙 , 乙/丙", "丙；丁"} << QStringList{"乙", "丁"} << QStringList{"丙", "甲"};
    QTest::newRow("canonically equal names are one")
        << QStringList{QStringLiteral("Cafe\u0301"), QStringLiteral("Caf\u00e9、Zoe")}
        << QStringList{QStringLiteral("Zoe")} << QStringList{QStringLiteral("Cafe\u0301")};
    QTest::newRow("only separators") << QStringList{" 、，/ \n"} << QStringList() << QStringList();
}

void TestPeople::candidateNames()
{
    QFETCH(QStringList, performers);
    QFETCH(QStringList, recorded);
    ProjectDetailResponse detail;
    for (const QString &text : performers) {
        detail.items.append(act(text));
    }
    for (const QString &name : recorded) {
        detail.performerGroups.append(PerformerGroup{name, name, QStringLiteral("individual"), {}});
    }
    QTEST(PeopleRules::candidateNames(detail), "expected");
    QVERIFY(PeopleRules::candidateNames(std::nullopt).isEmpty());
}

void TestPeople::makeupBoardByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("member");  // the caller is among the members
    QTest::addColumn<bool>("artists"); // the project has makeup artists
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QStringList>("shown"); // member ids of the visible assignments
    QTest::addColumn<int>("shiftRows");
    QTest::newRow("director sees all")
        << "总导演" << true << true << true << QStringList{"p1", "p2", "p3"} << 1;
    QTest::newRow("director, no artists")
        << "副导演" << true << false << true << QStringList{"p1", "p2", "p3"} << 0;
    QTest::newRow("artist sees own") << "化妆师" << true << true << true << QStringList{"p1", "p3"} << 1;
    QTest::newRow("artist not a member") << "化妆师" << false << true << false << QStringList() << 0;
    QTest::newRow("performer") << "演员" << true << true << false << QStringList() << 0;
    QTest::newRow("staff") << "工作人员" << true << true << false << QStringList() << 0;
}

void TestPeople::makeupBoardByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, member);
    QFETCH(bool, artists);
    QFETCH(QStringList, shown);
    ProjectDetailResponse detail;
    detail.membership = Membership{QStringLiteral("me"), {}, QStringLiteral("我"), role};
    const QString artistRole = artists ? QStringLiteral("化妆师") : QStringLiteral("工作人员");
    if (member) {
        detail.members.append(TestHelpers::member(QStringLiteral("me"), QStringLiteral("我"),
                                                  role == QStringLiteral("化妆师") ? artistRole : role));
    }
    detail.members.append(TestHelpers::member(QStringLiteral("a2"), QStringLiteral("乙"), artistRole));
    const QString mine = QStringLiteral("me");
    detail.makeup = {
        MakeupAssignment{QStringLiteral("p1"), mine, QStringLiteral("17:00"), 30, QStringLiteral("待化妆")},
        MakeupAssignment{QStringLiteral("p2"), QStringLiteral("a2"), QStringLiteral("17:30"), 30,
                         QStringLiteral("待化妆")},
        MakeupAssignment{QStringLiteral("p3"), mine, QString(), 20, QStringLiteral("候场")},
    };
    const bool director = role == QStringLiteral("总导演") || role == QStringLiteral("副导演");
    const PeopleRules::MakeupBoardModel model = PeopleRules::makeupBoard(detail, director);
    QTEST(model.visible, "visible");
    QStringList ids;
    for (const MakeupAssignment &a : model.visibleAssignments) {
        ids.append(a.memberId);
    }
    QCOMPARE(ids, shown);
    QTEST(int(model.shiftRows.size()), "shiftRows");
    QCOMPARE(model.artistOwnView, !director && model.visible);
}

void TestPeople::durationSteps_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("direction");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("after");
    QTest::newRow("up") << 30 << 1 << true << 35;
    QTest::newRow("down at the floor") << 5 << -1 << false << 5;
    QTest::newRow("up at the ceiling") << 180 << 1 << false << 180;
    QTest::newRow("received 200, down enters the range") << 200 << -1 << true << 180;
    QTest::newRow("received 3, up") << 3 << 1 << true << 8;
}

void TestPeople::durationSteps()
{
    QFETCH(int, value);
    QFETCH(int, direction);
    QTEST(PeopleRules::canStepDuration(value, direction), "enabled");
    MakeupDurationStepper stepper(value);
    QCOMPARE(stepper.findChild<QLabel *>(QStringLiteral("durationLabel"))->text(),
             QStringLiteral("%1 分").arg(value));
    QTest::mouseClick(stepper.findChild<QWidget *>(direction > 0 ? QStringLiteral("durationUpButton")
                                                                 : QStringLiteral("durationDownButton")),
                      Qt::LeftButton);
    QTEST(stepper.value(), "after");
}

void TestPeople::fakeRights_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("body"); // {韩梅} {邓琳} {林悦} {吴凡} {item0} {item1} {p} are replaced
    QTest::addColumn<bool>("frozen");
    QTest::addColumn<int>("status");
    const QString shift =
        R"({"action":"saveMakeupShift","artistMemberId":"{韩梅}","startTime":"16:00","endTime":"18:00","location":"A"})";
    const QString ownTime =
        R"({"action":"saveMakeup","memberId":"{林悦}","artistMemberId":"{韩梅}","scheduledTime":"16:40","durationMinutes":35,"status":"化妆中"})";
    const QString reassign =
        R"({"action":"saveMakeup","memberId":"{林悦}","artistMemberId":"{邓琳}","scheduledTime":"16:40","durationMinutes":35,"status":"化妆中"})";
    const QString others =
        R"({"action":"saveMakeup","memberId":"{王强}","artistMemberId":"{邓琳}","scheduledTime":"18:00","durationMinutes":20,"status":"已完成"})";
    const QString create =
        R"({"action":"saveMakeup","memberId":"{吴凡}","artistMemberId":"{韩梅}","scheduledTime":"17:00","durationMinutes":30,"status":"待化妆"})";
    QTest::newRow("director saves a shift") << "副导演" << shift << false << 200;
    QTest::newRow("artist saves a shift") << "化妆师" << shift << false << 403;
    QTest::newRow("artist updates own assignment") << "化妆师" << ownTime << false << 200;
    QTest::newRow("artist reassigns") << "化妆师" << reassign << false << 403;
    QTest::newRow("artist updates another's") << "化妆师" << others << false << 403;
    QTest::newRow("artist creates") << "化妆师" << create << false << 403;
    QTest::newRow("director creates") << "总导演" << create << false << 200;
    const QString invite =
        R"({"projectId":"{p}","name":"新人","role":"演员","itemId":"{item}","field":"performers"})";
    QTest::newRow("owner invites into own item")
        << "节目负责人" << QString(invite).replace("{item}", "{item0}") << false << 200;
    QTest::newRow("owner invites into another's item")
        << "节目负责人" << QString(invite).replace("{item}", "{item1}") << false << 403;
    QTest::newRow("owner invites while frozen")
        << "节目负责人" << QString(invite).replace("{item}", "{item0}") << true << 409;
    QTest::newRow("director invites while frozen")
        << "总导演" << QString(invite).replace("{item}", "{item1}") << true << 409;
    QTest::newRow("director invites without an item, frozen")
        << "总导演"
        << R"({"projectId":"{p}","name":"新人","role":"演员"})" << true << 200;
}

void TestPeople::fakeRights()
{
    QFETCH(QString, role);
    QFETCH(QString, body);
    QFETCH(bool, frozen);
    const DemoLogin *login = m_demo.loginForRole(role);
    QVERIFY(login);
    const QString token = m_service->tokenFor(login->accountId);
    for (const char *name : {"韩梅", "邓琳", "林悦", "王强", "吴凡"}) {
        body.replace(QStringLiteral("{%1}").arg(QString::fromUtf8(name)), memberId(QString::fromUtf8(name)));
    }
    const FakeReply reply = m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &gala = *p.project(m_demo.projectId);
        gala.summary.flowFrozen = frozen;
        body.replace(QStringLiteral("{item0}"), gala.items.at(0).id)
            .replace(QStringLiteral("{item1}"), gala.items.at(1).id);
        body.replace(QStringLiteral("{p}"), m_demo.projectId);
        const bool invitation = body.contains(QStringLiteral("projectId"));
        FakeCall call{"", "", "", "Bearer " + token.toUtf8(), "application/json", body.toUtf8()};
        call.method = invitation ? "POST" : "PATCH";
        call.path = invitation ? "/api/invitations" : "/api/operations";
        call.query = "projectId=" + m_demo.projectId.toUtf8();
        return answerCall(p, call);
    });
    QTEST(reply.status, "status");
}

// --- Sheets and boards ---------------------------------------------------------------------

void TestPeople::memberEditorSendsAreas_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("areas");
    QTest::newRow("staff: sorted, custom added") << "工作人员"
                                                 << " 内场、内场、化妆间、外场";
    QTest::newRow("another role sends none") << "演员" << QString();
}

void TestPeople::memberEditorSendsAreas()
{
    QFETCH(QString, role);
    ProjectMember member =
        TestHelpers::member(QStringLiteral("m1"), QStringLiteral("  王五 "), QStringLiteral("工作人员"));
    member.passAreas = QStringLiteral("外场、 内场");
    QStringList sent;
    MacMemberEditorSheet sheet(
        member, [&sent](QString name, QString r, QString detail, QString areas) -> QCoro::Task<bool> {
            sent = {name, r, detail, areas};
            co_return false; // a refusal keeps the sheet and its values
        });
    sheet.show();
    QTest::mouseClick(sheet.findChild<QPushButton *>(QStringLiteral("areaButton_内场")), Qt::LeftButton);
    auto *custom = sheet.findChild<QLineEdit *>(QStringLiteral("memberEditorCustomArea"));
    custom->setText(QStringLiteral(" 化妆间 "));
    QTest::keyClick(custom, Qt::Key_Return); // adds the area, never presses save
    QVERIFY(custom->text().isEmpty());
    QVERIFY(sent.isEmpty());
    QTRY_VERIFY(sheet.findChild<QPushButton *>(QStringLiteral("areaButton_化妆间")));
    auto *roles = sheet.findChild<QComboBox *>(QStringLiteral("memberEditorRole"));
    QCOMPARE(roles->count(), 9);
    roles->setCurrentText(role);
    QTest::mouseClick(sheet.findChild<QPushButton *>(QStringLiteral("memberEditorSaveButton")),
                      Qt::LeftButton);
    QTRY_COMPARE(sent.size(), 4);
    QCOMPARE(sent.at(0), QStringLiteral("王五"));
    QCOMPARE(sent.at(1), role);
    QTEST(sent.at(3), "areas");
    QVERIFY(sheet.isVisible());
    QCOMPARE(sheet.areas().size(), 4); // the selection survives a role switch and a refusal

    // Many long areas wrap onto further rows: no button is squeezed below its label.
    member.passAreas = QStringLiteral("Loading-Dock-1、Loading-Dock-2、Loading-Dock-3、Loading-Dock-4");
    MacMemberEditorSheet crowded(member, {});
    crowded.show();
    crowded.layout()->activate();
    const auto buttons =
        crowded.findChildren<QPushButton *>(QRegularExpression(QStringLiteral("^areaButton_")));
    QCOMPARE(buttons.size(), 6);
    for (auto *b : buttons) {
        QVERIFY2(b->isVisible() && b->width() >= b->sizeHint().width(), qPrintable(b->objectName()));
    }
}

void TestPeople::invitationRequestsAndCallbacks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent"); // empty: left out
    QTest::addColumn<bool>("smsReady");
    QTest::newRow("pasted +86 number") << "+86 138 0013 8000"
                                       << "13800138000" << true;
    QTest::newRow("short number, the service judges it") << "1380013"
                                                         << "1380013" << false;
    QTest::newRow("no phone") << QString() << QString() << false;
}

void TestPeople::invitationRequestsAndCallbacks()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(bool, smsReady);
    signInAs(QStringLiteral("总导演"));
    QStringList log;
    MacInviteMemberSheet::Fields fields;
    fields.project = ProjectSummary{};
    fields.project.id = m_demo.projectId;
    fields.project.name = QStringLiteral("年会");
    fields.inviterName = QStringLiteral("导演组");
    fields.name = QStringLiteral(" 张三 ");
    fields.role = QStringLiteral("演员");
    fields.client = m_client.get();
    fields.onInvited = [&log](QString name) -> QCoro::Task<> {
        log << QStringLiteral("invited ") + name;
        co_return;
    };
    fields.onChanged = [&log]() -> QCoro::Task<> {
        log << QStringLiteral("changed");
        co_return;
    };
    MacInviteMemberSheet sheet(fields);
    sheet.show();
    sheet.findChild<QLineEdit *>(QStringLiteral("invitePhone"))->setText(typed);
    auto *sms = sheet.findChild<QPushButton *>(QStringLiteral("inviteSmsButton"));
    QTest::mouseClick(sheet.findChild<QPushButton *>(QStringLiteral("inviteGenerateButton")), Qt::LeftButton);
    QTRY_COMPARE(log, QStringList({QStringLiteral("invited 张三"), QStringLiteral("changed")}));

    const QJsonObject created = m_service->requests("/api/invitations", "POST").constLast().json();
    QCOMPARE(created.value(QStringLiteral("name")).toString(), QStringLiteral("张三"));
    QCOMPARE(created.value(QStringLiteral("projectId")).toString(), m_demo.projectId);
    QCOMPARE(created.contains(QStringLiteral("phone")), !sent.isEmpty());
    QCOMPARE(created.value(QStringLiteral("phone")).toString(), sent);
    for (const char *absent : {"itemId", "field", "groupId"}) {
        QVERIFY2(!created.contains(QLatin1String(absent)), absent);
    }
    QVERIFY(!sheet.findChild<QLineEdit *>(QStringLiteral("inviteName"))->isEnabled());
    const QString link = sheet.fields().link;
    QVERIFY(!link.isEmpty());
    QCOMPARE(sheet.findChild<QPlainTextEdit *>(QStringLiteral("inviteShareText"))->toPlainText(),
             QStringLiteral(
                 " 张三 ，您好！导演组 邀请您以“演员”身份加入《年会》。点击链接登录后即可进入演出流程：") +
                 link);
    QCOMPARE(sms->isEnabled(), smsReady);
    if (!smsReady) {
        return;
    }
    QTest::mouseClick(sms, Qt::LeftButton);
    QTRY_COMPARE(sheet.fields().message, QStringLiteral("短信邀请已发送。"));
    QCOMPARE(log.size(), 3);
    const QJsonObject smsBody = m_service->requests("/api/invitations", "POST").constLast().json();
    QCOMPARE(smsBody.value(QStringLiteral("action")).toString(), QStringLiteral("sendSms"));
    QCOMPARE(smsBody.value(QStringLiteral("token")).toString(), sheet.fields().token);
    QCOMPARE(smsBody.value(QStringLiteral("phone")).toString(), QStringLiteral("13800138000"));
}

void TestPeople::refusedInvitationKeepsTheForm()
{
    signInAs(QStringLiteral("节目负责人"));
    const QString itemId = m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &gala = *p.project(m_demo.projectId);
        gala.summary.flowFrozen = true;
        return gala.items.at(0).id;
    });
    bool changed = false;
    MacInviteMemberSheet::Fields fields;
    fields.project.id = m_demo.projectId;
    fields.name = QStringLiteral("新人");
    fields.role = QStringLiteral("演员");
    fields.itemID = itemId;
    fields.field = QStringLiteral("performers");
    fields.client = m_client.get();
    fields.onChanged = [&changed]() -> QCoro::Task<> {
        changed = true;
        co_return;
    };
    MacInviteMemberSheet sheet(fields);
    sheet.show();
    QVERIFY(!sheet.findChild<QComboBox *>(QStringLiteral("inviteRole"))->isEnabled());
    auto *generate = sheet.findChild<QPushButton *>(QStringLiteral("inviteGenerateButton"));
    QTest::mouseClick(generate, Qt::LeftButton);
    QTRY_COMPARE(sheet.fields().message, QStringLiteral("生成失败：节目流程已冻结，暂不能修改"));
    QVERIFY(generate->isVisible() && generate->isEnabled());
    QVERIFY(sheet.findChild<QLineEdit *>(QStringLiteral("inviteName"))->isEnabled());
    QVERIFY(!changed);
}

void TestPeople::groupsDecideAndStaff()
{
    signInAs(QStringLiteral("副导演"));
    auto store = loadedStore();
    MacGroupsView view(*store);
    view.resize(900, 700);
    view.show();
    auto *picker = view.findChild<QComboBox *>(QStringLiteral("markingPicker"));
    QTRY_VERIFY(picker->isVisible() && picker->findData(QStringLiteral("王强")) >= 0);
    choose(picker, QStringLiteral("王强"));
    QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("markGroupButton")), Qt::LeftButton);
    QTRY_VERIFY(view.busyKey().isEmpty() && view.markingName().isEmpty());
    const PerformerGroup marked = m_service->withPlatform([&](const FakePlatform &p) {
        for (const PerformerGroup &g : p.project(m_demo.projectId)->performerGroups) {
            if (g.name == QStringLiteral("王强")) {
                return g;
            }
        }
        return PerformerGroup{};
    });
    QCOMPARE(marked.decision, QStringLiteral("group"));
    QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("groupCard_") + marked.id));
    QCOMPARE(picker->findData(QStringLiteral("王强")), -1);

    // A failed add keeps the picker open and shows the error; a second try succeeds.
    QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("addGroupMemberButton_") + marked.id),
                      Qt::LeftButton);
    QTRY_VERIFY(view.picker());
    const QString wang = memberId(QStringLiteral("王强"));
    m_service->script("PATCH", "/api/groups",
                      Script{500, R"({"error":"组合暂不可用"})", "application/json", 0, false, 1});
    QTest::mouseClick(view.picker()->findChild<QPushButton *>(QStringLiteral("pickerAddButton_") + wang),
                      Qt::LeftButton);
    QTRY_COMPARE(store->error(), QStringLiteral("组合暂不可用"));
    QVERIFY(view.picker() && view.picker()->busyID().isEmpty());
    QTest::mouseClick(view.picker()->findChild<QPushButton *>(QStringLiteral("pickerAddButton_") + wang),
                      Qt::LeftButton);
    QTRY_VERIFY(!view.memberContext());
    QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("groupChip_") + wang));

    // A group of the whole crew: its chips are cut off at the card's edge, the view keeps its width.
    const QString last = m_service->withPlatform([&](FakePlatform &p) {
        auto *project = p.project(m_demo.projectId);
        for (PerformerGroup &g : project->performerGroups) {
            if (g.id == marked.id) {
                g.memberIds.clear();
                for (const ProjectMember &m : project->members) {
                    g.memberIds.append(m.id);
                }
            }
        }
        return project->members.last().id;
    });
    store->load(true);
    QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("groupChip_") + last));
    QVERIFY(view.minimumSizeHint().width() <= 820);
    auto *add = view.findChild<QPushButton *>(QStringLiteral("addGroupMemberButton_") + marked.id);
    QTRY_VERIFY(add->mapTo(&view, QPoint(add->width(), 0)).x() <= view.width());
}

void TestPeople::makeupRowsSurviveReloads()
{
    signInAs(QStringLiteral("总导演"));
    auto store = loadedStore();
    MacOperationsView page(*store);
    page.resize(1100, 800);
    page.show();
    QApplication::setActiveWindow(&page);
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QTRY_VERIFY(page.makeupBoard() && page.makeupBoard()->isShown());
    MacMakeupBoard *board = page.makeupBoard();
    const QString zhang = memberId(QStringLiteral("张婷"));
    MacMakeupAssignmentEditor *row = board->assignmentEditor(zhang);
    QVERIFY(row);
    auto *time = row->findChild<QLineEdit *>(QStringLiteral("assignmentTimeField"));
    time->setText(QStringLiteral("18:45"));

    // Another member saves the same assignment meanwhile.
    m_service->withPlatform([&](FakePlatform &p) {
        for (MakeupAssignment &a : p.project(m_demo.projectId)->makeup) {
            if (a.memberId == zhang) {
                a.durationMinutes = 50;
                a.status = QStringLiteral("已完成");
            }
        }
    });
    store->load(true);
    auto *stepper = row->findChild<MakeupDurationStepper *>();
    QTRY_COMPARE(stepper->value(), 50);
    QCOMPARE(page.makeupBoard(), board);
    QCOMPARE(board->assignmentEditor(zhang), row);
    QCOMPARE(time->text(), QStringLiteral("18:45"));
    QCOMPARE(row->findChild<QComboBox *>(QStringLiteral("assignmentStatusPicker"))->currentText(),
             QStringLiteral("已完成"));

    // A refused save keeps what was typed; the retry sends it with the other member's values.
    m_service->script("PATCH", "/api/operations",
                      Script{500, R"({"error":"稍后再试"})", "application/json", 0, false, 1});
    auto *save = row->findChild<QPushButton *>(QStringLiteral("saveAssignmentButton"));
    QTest::mouseClick(time, Qt::LeftButton);
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_COMPARE(store->error(), QStringLiteral("稍后再试"));
    QTRY_VERIFY(save->isEnabled());
    QCOMPARE(time->text(), QStringLiteral("18:45"));
    // The focus stayed in the field typed in: no next field took it with its text selected.
    QCOMPARE(QApplication::focusWidget(), time);
    for (auto *field : board->findChildren<QLineEdit *>()) {
        QVERIFY2(!field->hasSelectedText(), qPrintable(field->objectName()));
    }
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_COMPARE(assignmentOf(zhang).scheduledTime, QStringLiteral("18:45"));
    const MakeupAssignment saved = assignmentOf(zhang);
    QCOMPARE(saved.durationMinutes, 50);
    QCOMPARE(saved.status, QStringLiteral("已完成"));
    QCOMPARE(saved.artistMemberId, memberId(QStringLiteral("韩梅")));
}

void TestPeople::unknownValuesRoundTrip()
{
    signInAs(QStringLiteral("副导演"));
    const QString sun = memberId(QStringLiteral("孙杰"));
    m_service->withPlatform([&](FakePlatform &p) {
        for (MakeupAssignment &a : p.project(m_demo.projectId)->makeup) {
            if (a.memberId == sun) {
                a.status = QStringLiteral("候场");
                a.durationMinutes = 240; // outside the stepper's range
            }
        }
    });
    auto store = loadedStore();
    QTRY_VERIFY(store->detail());
    MacMakeupBoard board(*store, *store->detail(), true);
    MacMakeupAssignmentEditor *row = board.assignmentEditor(sun);
    QVERIFY(row);
    QCOMPARE(row->findChild<QComboBox *>(QStringLiteral("assignmentStatusPicker"))->currentIndex(), -1);
    QCOMPARE(row->findChild<QComboBox *>(QStringLiteral("assignmentArtistPicker"))->currentIndex(), -1);
    QCOMPARE(row->findChild<MakeupDurationStepper *>()->value(), 240);
    const int before = int(m_service->requests("/api/operations", "PATCH").size());
    QTest::mouseClick(row->findChild<QPushButton *>(QStringLiteral("saveAssignmentButton")), Qt::LeftButton);
    QTRY_COMPARE(int(m_service->requests("/api/operations", "PATCH").size()), before + 1);
    const QJsonObject sent = m_service->requests("/api/operations", "PATCH").constLast().json();
    QCOMPARE(sent.value(QStringLiteral("status")).toString(), QStringLiteral("候场"));
    QCOMPARE(sent.value(QStringLiteral("artistMemberId")).toString(), QString());
    QCOMPARE(sent.value(QStringLiteral("durationMinutes")).toInt(), 240);
}

void TestPeople::assignmentCreation()
{
    signInAs(QStringLiteral("总导演"));
    const QString newcomer =
        m_service->addMember(m_demo.projectId, QStringLiteral("新化妆师"), QStringLiteral("化妆师"));
    auto store = loadedStore();
    MacOperationsView page(*store);
    page.show();
    QTRY_VERIFY(page.makeupBoard() && page.makeupBoard()->creator());
    MacMakeupAssignmentCreator *creator = page.makeupBoard()->creator();
    auto *members = creator->findChild<QComboBox *>(QStringLiteral("assignMemberPicker"));
    auto *artists = creator->findChild<QComboBox *>(QStringLiteral("assignArtistPicker"));
    auto *assign = creator->findChild<QPushButton *>(QStringLiteral("assignButton"));
    QCOMPARE(members->findData(memberId(QStringLiteral("林悦"))), -1); // already assigned
    QCOMPARE(members->findData(memberId(QStringLiteral("邓琳"))), -1); // a makeup artist
    const QString wu = memberId(QStringLiteral("吴凡"));
    choose(members, wu);
    choose(artists, newcomer);
    QVERIFY(!assign->isEnabled()); // that artist has no shift
    const QString han = memberId(QStringLiteral("韩梅"));
    choose(artists, han);
    QVERIFY(assign->isEnabled());
    QTest::mouseClick(assign, Qt::LeftButton);
    QTRY_COMPARE(assignmentOf(wu).artistMemberId, han);
    const MakeupAssignment created = assignmentOf(wu);
    QCOMPARE(created.scheduledTime, QStringLiteral("17:00"));
    QCOMPARE(created.durationMinutes, 30);
    QCOMPARE(created.status, QStringLiteral("待化妆"));
    QTRY_COMPARE(members->currentIndex(), 0);
    QVERIFY(creator->memberID().isEmpty());
    QCOMPARE(creator->artistID(), han);
    QTRY_COMPARE(members->findData(wu), -1);
    QTRY_VERIFY(page.makeupBoard()->assignmentEditor(wu));
}

void TestPeople::closingMidRequestIsSafe()
{
    signInAs(QStringLiteral("总导演"));
    auto store = loadedStore();
    QTRY_VERIFY(store->detail());
    Script held;
    held.hang = true;
    held.passThrough = true;
    m_service->script("POST", "/api/invitations", held);
    m_service->script("PATCH", "/api/groups", held);
    m_service->script("PATCH", "/api/operations", held);

    // The invitation's callbacks still run after its sheet is gone.
    QStringList log;
    MacInviteMemberSheet::Fields fields;
    fields.project.id = m_demo.projectId;
    fields.name = QStringLiteral("新人");
    fields.role = QStringLiteral("演员");
    fields.client = m_client.get();
    fields.onChanged = [&log]() -> QCoro::Task<> {
        log << QStringLiteral("changed");
        co_return;
    };
    auto sheet = std::make_unique<MacInviteMemberSheet>(fields);
    sheet->show();
    QTest::mouseClick(sheet->findChild<QPushButton *>(QStringLiteral("inviteGenerateButton")),
                      Qt::LeftButton);

    auto groups = std::make_unique<MacGroupsView>(*store);
    groups->show();
    const QString suspectedId = store->detail()->performerGroups.at(1).id;
    QTRY_VERIFY(groups->findChild<QPushButton *>(QStringLiteral("isGroupButton_") + suspectedId));
    QTest::mouseClick(groups->findChild<QPushButton *>(QStringLiteral("isGroupButton_") + suspectedId),
                      Qt::LeftButton);

    auto board = std::make_unique<MacMakeupBoard>(*store, *store->detail(), true);
    board->show();
    QTest::mouseClick(board->findChild<QPushButton *>(QStringLiteral("saveAssignmentButton")),
                      Qt::LeftButton);

    QTRY_COMPARE(m_service->hangingCount(), 3);
    sheet.reset();
    groups.reset();
    board.reset();
    m_service->clearScripts();
    m_service->releaseHangs();
    QTRY_COMPARE(log, QStringList{QStringLiteral("changed")});
    QTRY_COMPARE(m_service->withPlatform([&](const FakePlatform &p) {
        return p.project(m_demo.projectId)->performerGroups.at(1).decision;
    }),
                 QStringLiteral("group"));
}

void TestPeople::makeupFieldsFollowTheService_data()
{
    QTest::addColumn<int>("field");          // of the fields shown, in the order read below
    QTest::addColumn<QStringList>("values"); // two successive values from the service
    QTest::newRow("assignment time") << 0 << QStringList{"18:10", "18:20"};
    QTest::newRow("assignment duration") << 1 << QStringList{"45", "60"};
    QTest::newRow("assignment status") << 2 << QStringList{"已完成", "待化妆"};
    QTest::newRow("shift start") << 3 << QStringList{"16:00", "16:30"};
    QTest::newRow("shift end") << 4 << QStringList{"20:00", "20:30"};
    QTest::newRow("shift location") << 5 << QStringList{"一楼化妆间", "三楼化妆间"};
}

// Fields the user has not touched show each new value the service brings, and only their own.
void TestPeople::makeupFieldsFollowTheService()
{
    QFETCH(int, field);
    QFETCH(QStringList, values);
    signInAs(QStringLiteral("总导演"));
    auto store = loadedStore();
    QTRY_VERIFY(store->detail());
    ProjectDetailResponse detail = *store->detail();
    MacMakeupBoard board(*store, detail, true);
    const QString zhang = memberId(QStringLiteral("张婷"));
    const QString han = memberId(QStringLiteral("韩梅"));
    MacMakeupAssignmentEditor *row = board.assignmentEditor(zhang);
    MacMakeupShiftEditor *shift = board.shiftEditor(han);
    QVERIFY(row && shift);
    const auto shown = [&] {
        return QStringList{
            row->findChild<QLineEdit *>(QStringLiteral("assignmentTimeField"))->text(),
            QString::number(row->findChild<MakeupDurationStepper *>()->value()),
            row->findChild<QComboBox *>(QStringLiteral("assignmentStatusPicker"))->currentText(),
            shift->findChild<QLineEdit *>(QStringLiteral("shiftStartField"))->text(),
            shift->findChild<QLineEdit *>(QStringLiteral("shiftEndField"))->text(),
            shift->findChild<QLineEdit *>(QStringLiteral("shiftLocationField"))->text()};
    };
    QStringList expected = shown();
    for (const QString &value : values) {
        for (MakeupAssignment &a : detail.makeup) {
            if (a.memberId == zhang) {
                a.scheduledTime = field == 0 ? value : a.scheduledTime;
                a.durationMinutes = field == 1 ? value.toInt() : a.durationMinutes;
                a.status = field == 2 ? value : a.status;
            }
        }
        for (MakeupShift &s : detail.makeupShifts) {
            if (s.artistMemberId == han) {
                s.startTime = field == 3 ? value : s.startTime;
                s.endTime = field == 4 ? value : s.endTime;
                s.location = field == 5 ? value : s.location;
            }
        }
        board.setSnapshot(detail, true);
        expected[field] = value;
        QCOMPARE(shown(), expected);
    }
}

void TestPeople::makeupEditsByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("director");
    QTest::newRow("director") << "总导演" << true;
    QTest::newRow("makeup artist") << "化妆师" << false;
}

void TestPeople::makeupEditsByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, director);
    signInAs(role);
    auto store = loadedStore();
    QTRY_VERIFY(store->detail());
    MacMakeupBoard board(*store, *store->detail(), director);
    const QString zhang = memberId(QStringLiteral("张婷"));
    const QString han = memberId(QStringLiteral("韩梅"));
    MacMakeupAssignmentEditor *row = board.assignmentEditor(zhang);
    MacMakeupShiftEditor *shift = board.shiftEditor(han);
    QVERIFY(row && shift);
    QCOMPARE(row->findChild<QComboBox *>(QStringLiteral("assignmentArtistPicker"))->isEnabled(), director);

    // A status picked but not saved survives a reload, even one that changes the stored status.
    auto *status = row->findChild<QComboBox *>(QStringLiteral("assignmentStatusPicker"));
    choose(status, QStringLiteral("迟到/需调整"));
    ProjectDetailResponse next = *store->detail();
    for (MakeupAssignment &a : next.makeup) {
        if (a.memberId == zhang) {
            a.status = QStringLiteral("已完成");
            a.scheduledTime = QStringLiteral("19:05");
        }
    }
    board.setSnapshot(next, director);
    QCOMPARE(row->status(), QStringLiteral("迟到/需调整"));
    QCOMPARE(status->currentText(), QStringLiteral("迟到/需调整"));
    QCOMPARE(row->findChild<QLineEdit *>(QStringLiteral("assignmentTimeField"))->text(),
             QStringLiteral("19:05"));

    auto *save = shift->findChild<QPushButton *>(QStringLiteral("saveShiftButton"));
    QCOMPARE(save->isVisibleTo(shift), director);
    const QList<QLineEdit *> fields = {shift->findChild<QLineEdit *>(QStringLiteral("shiftStartField")),
                                       shift->findChild<QLineEdit *>(QStringLiteral("shiftEndField")),
                                       shift->findChild<QLineEdit *>(QStringLiteral("shiftLocationField"))};
    for (QLineEdit *f : fields) {
        QCOMPARE(f->isEnabled(), director);
    }
    if (!director) {
        return;
    }
    fields.at(0)->setText(QStringLiteral("16:15"));
    fields.at(1)->setText(QStringLiteral("18:45"));
    fields.at(2)->setText(QStringLiteral("二楼化妆间 C"));
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_COMPARE(m_service->requests("/api/operations", "PATCH").size(), 1);
    QCOMPARE(m_service->requests("/api/operations", "PATCH").first().json(),
             (QJsonObject{{"action", "saveMakeupShift"},
                          {"artistMemberId", han},
                          {"startTime", "16:15"},
                          {"endTime", "18:45"},
                          {"location", "二楼化妆间 C"}}));
}

void TestPeople::groupsByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("manages");
    QTest::newRow("chief director") << "总导演" << true;
    QTest::newRow("deputy director") << "副导演" << true;
    QTest::newRow("program lead") << "节目负责人" << false;
    QTest::newRow("performer") << "演员" << false;
}

void TestPeople::groupsByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, manages);
    // 星光舞团 keeps its members, 欢乐二人组 waits for a decision, 主持组合 lists nobody who exists.
    const QList<PerformerGroup> groups = m_service->withPlatform([&](FakePlatform &p) {
        QList<PerformerGroup> &all = p.project(m_demo.projectId)->performerGroups;
        all[2].memberIds = {QStringLiteral("gone")};
        return all;
    });
    signInAs(role);
    auto store = loadedStore();
    MacGroupsView view(*store);
    view.resize(900, 700);
    view.show();
    const QString zhang = memberId(QStringLiteral("张婷"));
    QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("groupChip_") + zhang));
    QCOMPARE(view.findChild<QPushButton *>(QStringLiteral("removeGroupMemberButton_") + zhang) != nullptr,
             manages);
    QCOMPARE(view.findChild<QPushButton *>(QStringLiteral("addGroupMemberButton_") + groups[0].id) != nullptr,
             manages);
    QCOMPARE(view.findChild<QPushButton *>(QStringLiteral("notGroupButton_") + groups[1].id)->isEnabled(),
             manages);
    auto *empty = view.findChild<QWidget *>(QStringLiteral("groupCard_") + groups[2].id);
    QCOMPARE(empty->findChild<QLabel *>(QStringLiteral("groupNoMembers"))->text(),
             QStringLiteral("尚未添加成员"));
    QCOMPARE(empty->findChild<QLabel *>(QStringLiteral("groupState"))->text(),
             QStringLiteral("仍有成员未入驻"));
    QCOMPARE(empty->findChild<QLabel *>(QStringLiteral("groupMemberCount"))->text(),
             QStringLiteral("0 名成员"));
    if (!manages) {
        return;
    }

    // The picker of a group with members offers only the others.
    QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("addGroupMemberButton_") + groups[0].id),
                      Qt::LeftButton);
    QTRY_VERIFY(view.picker());
    QVERIFY(!view.picker()->findChild<QPushButton *>(QStringLiteral("pickerAddButton_") + zhang));
    QVERIFY(view.picker()->findChild<QPushButton *>(QStringLiteral("pickerAddButton_") +
                                                    memberId(QStringLiteral("王强"))));
    QTest::mouseClick(view.picker()->findChild<QPushButton *>(QStringLiteral("pickerCloseButton")),
                      Qt::LeftButton);
    QTRY_VERIFY(!view.memberContext());

    QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("removeGroupMemberButton_") + zhang),
                      Qt::LeftButton);
    QTRY_VERIFY(!view.findChild<QWidget *>(QStringLiteral("groupChip_") + zhang));
    QTRY_VERIFY(view.busyKey().isEmpty());
    // The buttons are rebuilt after the busy key clears; the old, disabled ones linger until then.
    const auto notGroup = [&] {
        return view.findChild<QPushButton *>(QStringLiteral("notGroupButton_") + groups[1].id);
    };
    QTRY_VERIFY(notGroup() && notGroup()->isEnabled());
    QTest::mouseClick(notGroup(), Qt::LeftButton);
    QTRY_VERIFY(!view.findChild<QWidget *>(QStringLiteral("suspectedBox")));
    QTRY_VERIFY(view.busyKey().isEmpty());
    QList<QJsonObject> sent;
    for (const RecordedRequest &r : m_service->requests("/api/groups", "PATCH")) {
        sent.append(r.json());
    }
    QCOMPARE(sent, (QList<QJsonObject>{
                       {{"action", "removeMember"}, {"groupId", groups[0].id}, {"memberId", zhang}},
                       {{"action", "decide"}, {"name", groups[1].name}, {"decision", "individual"}}}));
}

void TestPeople::memberEditorByRole_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("areas");
    QTest::newRow("staff") << "工作人员" << true;
    QTest::newRow("performer") << "演员" << false;
    QTest::newRow("makeup artist") << "化妆师" << false;
    QTest::newRow("chief director") << "总导演" << false;
}

void TestPeople::memberEditorByRole()
{
    QFETCH(QString, role);
    QFETCH(bool, areas);
    MacMemberEditorSheet sheet(TestHelpers::member(QStringLiteral("m1"), QStringLiteral("王五"), role), {});
    sheet.show();
    auto *section = sheet.findChild<QWidget *>(QStringLiteral("memberEditorAreas"));
    QCOMPARE(section->isVisible(), areas);
    auto *roles = sheet.findChild<QComboBox *>(QStringLiteral("memberEditorRole"));
    roles->setCurrentText(areas ? QStringLiteral("演员") : QStringLiteral("工作人员"));
    QCOMPARE(section->isVisible(), !areas);

    auto *save = sheet.findChild<QPushButton *>(QStringLiteral("memberEditorSaveButton"));
    QVERIFY(save->isEnabled());
    sheet.findChild<QLineEdit *>(QStringLiteral("memberEditorName"))->setText(QStringLiteral(" \t\u3000"));
    QVERIFY(!save->isEnabled());
}

QTEST_MAIN(TestPeople)
#include "test_people.moc"
