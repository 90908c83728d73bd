#include "FakeJsonWriter.h"
#include "FakeMedia.h"
#include "FakeService.h"
#include "FakeWorkbook.h"

#include "models/Admin.h"
#include "models/EmptyResponse.h"
#include "models/Envelopes.h"
#include "models/Lottery.h"
#include "models/Rundown.h"
#include "models/WorkItems.h"
#include "json/JsonSimd.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <atomic>
#include <functional>
#include <future>
#include <memory>

using Headers = QList<QPair<QByteArray, QByteArray>>;

namespace {

struct Answer
{
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
};

QByteArray bearer(const QString &token)
{
    return "Bearer " + token.toUtf8();
}

} // namespace

class TestFakeService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void recordsTheRawTarget_data();
    void recordsTheRawTarget();
    void recordsHeadersAndBody();
    void uploadKeepsTheRawMultipartBody();
    void scriptAnswersLimitedTimes();
    void hangHoldsUntilReleased();
    void stopEndsHeldRequests();
    void signInToProjectFlow();
    void refusals_data();
    void refusals();
    void liveControlMovesTheLiveItem();
    void demoAnswersDecode_data();
    void demoAnswersDecode();
    void writtenAnswerIsTheRecordsJson();
    void checkInAndArrangements();
    void lotteryDrawAndClaim();
    void groupDecisionCreatesARecord();
    void importPreviewReadsLines();
    void importLeavesTheServiceAnswering();
    void importCostsAreBounded();
    void archivedAssetLeavesTheItem();
    void incompleteItemAndItsTaskAgree_data();
    void incompleteItemAndItsTaskAgree();
    void refusalsInState_data();
    void refusalsInState();

private:
    QNetworkReply *start(const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
                         const Headers &headers = {});
    Answer finish(QNetworkReply *reply);
    Answer send(const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
                const Headers &headers = {})
    {
        return finish(start(method, target, body, headers));
    }
    QString signIn(const QString &phone);
    // As the demo gala's person of that role; {p} and {l} in the target stand for the gala and
    // its lottery item.
    Answer as(const QString &role, const QByteArray &method, QByteArray target, const QByteArray &body = {})
    {
        return finish(startAs(role, method, std::move(target), body));
    }
    QNetworkReply *startAs(const QString &role, const QByteArray &method, QByteArray target,
                           const QByteArray &body = {});
    FakeProject gala() const;

    std::unique_ptr<FakeService> m_service;
    DemoShow m_demo;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

void TestFakeService::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    QVERIFY(m_service->port() > 0);
    m_manager = std::make_unique<QNetworkAccessManager>();
}

void TestFakeService::cleanup()
{
    m_demo = DemoShow();
    m_manager->clearConnectionCache();
    m_service->stop();
    m_manager.reset();
    m_service.reset();
}

QNetworkReply *TestFakeService::start(const QByteArray &method, const QByteArray &target,
                                      const QByteArray &body, const Headers &headers)
{
    QNetworkRequest request(QUrl::fromEncoded(m_service->baseUrl().toUtf8() + target, QUrl::StrictMode));
    for (const auto &[name, value] : headers) {
        request.setRawHeader(name, value);
    }
    return m_manager->sendCustomRequest(request, method, body);
}

Answer TestFakeService::finish(QNetworkReply *reply)
{
    std::unique_ptr<QNetworkReply> owner(reply);
    if (!reply->isFinished()) {
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(10000);
    }
    return Answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                  reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->error()};
}

QString TestFakeService::signIn(const QString &phone)
{
    return m_service->signIn(phone);
}

QNetworkReply *TestFakeService::startAs(const QString &role, const QByteArray &method, QByteArray target,
                                        const QByteArray &body)
{
    if (m_demo.projectId.isEmpty()) {
        m_demo = m_service->seedDemoShow();
    }
    const DemoLogin *login =
        role == QStringLiteral("admin") ? m_demo.superAdmin() : m_demo.loginForRole(role);
    target.replace("{p}", m_demo.projectId.toUtf8()).replace("{l}", m_demo.lotteryItemId.toUtf8());
    return start(method, target, body,
                 {{"Content-Type", "application/json"}, {"Authorization", bearer(signIn(login->phone))}});
}

FakeProject TestFakeService::gala() const
{
    return m_service->withPlatform([&](const FakePlatform &p) { return *p.project(m_demo.projectId); });
}

void TestFakeService::recordsTheRawTarget_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QString>("projectId");

    QTest::newRow("space and Chinese")
        << QByteArray("/api/project?projectId=a%20b%E4%B8%AD") << QByteArray("/api/project")
        << QByteArray("projectId=a%20b%E4%B8%AD") << QStringLiteral("a b中");
    QTest::newRow("plus stays a plus")
        << QByteArray("/api/lottery?projectId=a+b&itemId=i%2F1") << QByteArray("/api/lottery")
        << QByteArray("projectId=a+b&itemId=i%2F1") << QStringLiteral("a+b");
    QTest::newRow("escaped percent") << QByteArray("/api/work-items?projectId=100%25")
                                     << QByteArray("/api/work-items") << QByteArray("projectId=100%25")
                                     << QStringLiteral("100%");
    QTest::newRow("no query") << QByteArray("/api/session") << QByteArray("/api/session") << QByteArray()
                              << QString();
}

void TestFakeService::recordsTheRawTarget()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, query);
    QFETCH(QString, projectId);

    send("GET", target);
    QCOMPARE(m_service->requestCount(), 1);
    const RecordedRequest r = m_service->lastRequest();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.target, target);
    QCOMPARE(r.path, path);
    QCOMPARE(r.query, query);
    QCOMPARE(r.queryItem(QStringLiteral("projectId")), projectId);
    QCOMPARE(r.hasQueryItem(QStringLiteral("projectId")), !projectId.isEmpty());
}

void TestFakeService::recordsHeadersAndBody()
{
    const QByteArray body = R"({"phone":"13800000001","name":"张三"})";
    send("POST", "/api/auth/verify-code", body,
         {{"Content-Type", "application/json"}, {"Authorization", "Bearer abc"}, {"X-Trace", "t-1"}});

    const RecordedRequest r = m_service->lastRequest();
    QCOMPARE(r.body, body);
    QVERIFY(r.hasHeader("authorization"));
    QCOMPARE(r.header("AUTHORIZATION"), QByteArray("Bearer abc"));
    QCOMPARE(r.header("x-trace"), QByteArray("t-1"));
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
    QVERIFY(!r.hasHeader("Accept-Language-Missing"));
    QVERIFY(!r.hasHeader("REMOTE_ADDR"));
    QCOMPARE(r.json().value(QStringLiteral("name")).toString(), QStringLiteral("张三"));

    m_service->clearRequests();
    QCOMPARE(m_service->requestCount(), 0);
    QCOMPARE(m_service->lastRequest().method, QByteArray());
}

void TestFakeService::uploadKeepsTheRawMultipartBody()
{
    const QString accountId = m_service->addAccount(QStringLiteral("13800000001"), QStringLiteral("周敏"));
    const QString projectId = m_service->addProject(QStringLiteral("年会"), accountId);
    const QString itemId = m_service->addItem(projectId, QStringLiteral("开场舞"), QStringLiteral("舞蹈"));
    const QString token = m_service->tokenFor(accountId);

    const QByteArray wav = FakeMedia::sineWav(200);
    const QByteArray boundary = "TavikBoundary-TEST";
    QByteArray body;
    const auto field = [&](const QByteArray &name, const QByteArray &value) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
                value + "\r\n";
    };
    field("projectId", projectId.toUtf8());
    field("itemId", itemId.toUtf8());
    field("category", "audio");
    field("durationSeconds", "95");
    body += "--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"开场 \"舞\".wav\"\r\n" +
            "Content-Type: audio/*\r\n\r\n" + wav + "\r\n--" + boundary + "--\r\n";
    const QByteArray contentType = "multipart/form-data; boundary=" + boundary;

    const Answer uploaded =
        send("POST", "/api/assets", body, {{"Content-Type", contentType}, {"Authorization", bearer(token)}});
    QCOMPARE(uploaded.status, 200);
    const RecordedRequest r = m_service->lastRequest();
    QCOMPARE(r.body, body);
    QCOMPARE(r.header("Content-Type"), contentType);
    const auto response = json::decode<AssetUploadResponse>(uploaded.body);
    QCOMPARE(response.filename, QStringLiteral("开场 \"舞\".wav"));
    QCOMPARE(response.audioDuration, 95);

    const Answer downloaded = send("GET",
                                   "/api/assets?projectId=" + projectId.toUtf8() +
                                       "&itemId=" + itemId.toUtf8() + "&category=audio&inline=1",
                                   {}, {{"Authorization", bearer(token)}});
    QCOMPARE(downloaded.status, 200);
    QCOMPARE(downloaded.body, wav);
    QCOMPARE(downloaded.contentType, QByteArray("audio/wav"));

    const Answer missing = send("GET",
                                "/api/assets?projectId=" + projectId.toUtf8() + "&itemId=" + itemId.toUtf8() +
                                    "&category=video&inline=1",
                                {}, {{"Authorization", bearer(token)}});
    QCOMPARE(missing.status, 404);
}

void TestFakeService::scriptAnswersLimitedTimes()
{
    m_service->script(
        "GET", "/api/session",
        Script{.status = 502, .body = "<html>bad gateway</html>", .contentType = "text/html", .times = 2});
    // Another method on the same path keeps its real behaviour.
    QCOMPARE(send("DELETE", "/api/session").status, 200);

    for (int i = 0; i < 2; ++i) {
        const Answer a = send("GET", "/api/session?probe=1");
        QCOMPARE(a.status, 502);
        QCOMPARE(a.body, QByteArray("<html>bad gateway</html>"));
        QCOMPARE(a.contentType, QByteArray("text/html"));
    }
    const Answer real = send("GET", "/api/session");
    QCOMPARE(real.status, 200);
    QCOMPARE(real.body, QByteArray(R"({"authenticated":false})"));
    QCOMPARE(m_service->requests("/api/session", "GET").size(), 3);

    m_service->script("GET", "/api/session", Script{.status = 500, .body = "{}"});
    QCOMPARE(send("GET", "/api/session").status, 500);
    QCOMPARE(send("GET", "/api/session").status, 500);
    m_service->clearScripts();
    QCOMPARE(send("GET", "/api/session").status, 200);
}

void TestFakeService::hangHoldsUntilReleased()
{
    m_service->script("GET", "/api/projects",
                      Script{.status = 503, .body = R"({"error":"忙"})", .hang = true, .times = 1});
    m_service->script("GET", "/api/session", Script{.hang = true, .passThrough = true});

    QNetworkReply *held = start("GET", "/api/projects");
    QNetworkReply *passing = start("GET", "/api/session");
    QTRY_COMPARE(m_service->hangingCount(), 2);
    QVERIFY(!held->isFinished());
    QVERIFY(!passing->isFinished());

    m_service->releaseHangs();
    const Answer scripted = finish(held);
    QCOMPARE(scripted.status, 503);
    QCOMPARE(scripted.body, QByteArray(R"({"error":"忙"})"));
    const Answer real = finish(passing);
    QCOMPARE(real.status, 200);
    QCOMPARE(real.body, QByteArray(R"({"authenticated":false})"));
    QCOMPARE(m_service->hangingCount(), 0);
}

void TestFakeService::stopEndsHeldRequests()
{
    m_service->script("GET", "/api/projects", Script{.hang = true});
    QNetworkReply *held = start("GET", "/api/projects");
    QTRY_COMPARE(m_service->hangingCount(), 1);

    // No clearConnectionCache() here: in Qt 6.4 it drops the connection of a request in flight
    // and that reply then never finishes.
    m_service->stop();
    QVERIFY(!m_service->isRunning());
    const Answer a = finish(held);
    QCOMPARE(a.status, 503);
    QCOMPARE(m_service->hangingCount(), 0);

    // The service can serve again afterwards, on a fresh port.
    QVERIFY(m_service->start());
    m_service->clearScripts();
    QCOMPARE(send("GET", "/api/session").status, 200);

    // A second service never shares a port in use: the kernel would split connections between them.
    FakeService second;
    QVERIFY(!second.start(m_service->port()));
    QCOMPARE(send("GET", "/api/session").status, 200);
}

void TestFakeService::signInToProjectFlow()
{
    const QByteArray json = "application/json";
    QCOMPARE(send("POST", "/api/auth/verify-code", R"({"phone":"13812345678","code":"246810","name":"新人"})",
                  {{"Content-Type", json}})
                 .status,
             401); // no code was requested yet
    QCOMPARE(
        send("POST", "/api/auth/request-code", R"({"phone":"13812345678"})", {{"Content-Type", json}}).status,
        200);
    const Answer wrong =
        send("POST", "/api/auth/verify-code", R"({"phone":"13812345678","code":"000000","name":"新人"})",
             {{"Content-Type", json}});
    QCOMPARE(wrong.status, 401);
    QVERIFY(!APIErrorPayload::fromJson(json::parseObject(wrong.body)).error.isEmpty());

    const QByteArray verify = QStringLiteral(R"({"phone":"13812345678","code":"%1","name":" 新人 "})")
                                  .arg(FakeService::smsCode)
                                  .toUtf8();
    const Answer login = send("POST", "/api/auth/verify-code", verify, {{"Content-Type", json}});
    QCOMPARE(login.status, 200);
    const QString token = json::decode<LoginResponse>(login.body).accessToken;
    QVERIFY(!token.isEmpty());
    // A code works once.
    QCOMPARE(send("POST", "/api/auth/verify-code", verify, {{"Content-Type", json}}).status, 401);

    const Headers auth{{"Authorization", bearer(token)}};
    const auto session = json::decode<SessionResponse>(send("GET", "/api/session", {}, auth).body);
    QVERIFY(session.authenticated);
    QCOMPARE(session.account->name, QStringLiteral("新人"));
    QCOMPARE(session.account->phone, QStringLiteral("13812345678"));
    QVERIFY(session.memberships->isEmpty());

    const Answer created =
        send("POST", "/api/projects", R"({"name":"春晚","eventDate":"2026-02-16","startTime":"20:00"})",
             {{"Content-Type", json}, auth.first()});
    QCOMPARE(created.status, 200);
    const auto project = json::decode<CreateProjectResponse>(created.body);
    QCOMPARE(project.membership.role, QStringLiteral("总导演"));
    QCOMPARE(project.membership.name, QStringLiteral("新人"));

    const auto list = json::decode<ProjectsResponse>(send("GET", "/api/projects", {}, auth).body);
    QCOMPARE(list.projects.size(), 1);
    QCOMPARE(list.projects.first().startTime, QStringLiteral("20:00"));

    const Answer detailAnswer =
        send("GET", "/api/project?projectId=" + project.project.id.toUtf8(), {}, auth);
    QCOMPARE(detailAnswer.status, 200);
    const auto detail = json::decode<ProjectDetailResponse>(detailAnswer.body);
    QCOMPARE(detail.membership.id, project.membership.id);
    QCOMPARE(detail.members.size(), 1);
    QVERIFY(detail.members.first().isRegistered());

    QCOMPARE(send("DELETE", "/api/session", {}, auth).status, 200);
    const auto after = json::decode<SessionResponse>(send("GET", "/api/session", {}, auth).body);
    QVERIFY(!after.authenticated);
    QVERIFY(!after.account);
}

void TestFakeService::refusals_data()
{
    QTest::addColumn<QString>("who"); // a role of the demo gala, "stranger" or "nobody"
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    const QByteArray saveOps =
        R"({"action":"saveOperations","noticeTitle":"t","noticeContent":"c","assemblyTime":"",)"
        R"("checkinLocation":"","rehearsalTime":"","dinnerNote":""})";
    QTest::newRow("no token") << "nobody" << QByteArray("GET") << QByteArray("/api/projects") << QByteArray()
                              << 401 << QStringLiteral("登录已失效，请重新登录");
    QTest::newRow("unknown project") << "总导演" << QByteArray("GET")
                                     << QByteArray("/api/project?projectId=none") << QByteArray() << 404
                                     << QStringLiteral("演出不存在");
    QTest::newRow("not a member") << "stranger" << QByteArray("GET")
                                  << QByteArray("/api/project?projectId=gala-2026") << QByteArray() << 403
                                  << QString();
    QTest::newRow("performer edits arrangements")
        << "演员" << QByteArray("PATCH") << QByteArray("/api/operations?projectId=gala-2026") << saveOps
        << 403 << QStringLiteral("没有权限执行此操作");
    QTest::newRow("performer unfreezes")
        << "演员" << QByteArray("PATCH") << QByteArray("/api/project?projectId=gala-2026")
        << QByteArray(R"({"freezeFlow":true})") << 403 << QStringLiteral("没有权限执行此操作");
    QTest::newRow("deputy freezes") << "副导演" << QByteArray("PATCH")
                                    << QByteArray("/api/project?projectId=gala-2026")
                                    << QByteArray(R"({"freezeFlow":true})") << 403
                                    << QStringLiteral("没有权限执行此操作");
    QTest::newRow("director opens admin")
        << "总导演" << QByteArray("GET") << QByteArray("/api/admin?view=overview") << QByteArray() << 403
        << QStringLiteral("没有权限执行此操作");
    QTest::newRow("body is no JSON") << "总导演" << QByteArray("PATCH")
                                     << QByteArray("/api/checkin?projectId=gala-2026") << QByteArray("{")
                                     << 400 << QString();
    QTest::newRow("body lacks a field")
        << "总导演" << QByteArray("PATCH") << QByteArray("/api/checkin?projectId=gala-2026")
        << QByteArray(R"({"checkedIn":true})") << 400 << QString();
    QTest::newRow("unknown action") << "总导演" << QByteArray("PATCH")
                                    << QByteArray("/api/operations?projectId=gala-2026")
                                    << QByteArray(R"({"action":"fly"})") << 400 << QString();
}

void TestFakeService::refusals()
{
    QFETCH(QString, who);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, error);

    if (m_demo.projectId.isEmpty()) {
        m_demo = m_service->seedDemoShow();
    }
    const DemoShow &demo = m_demo;
    body.replace("{i0}", gala().items.at(0).id.toUtf8()).replace("{i1}", gala().items.at(1).id.toUtf8());
    Headers headers{{"Content-Type", "application/json"}};
    if (who == QStringLiteral("stranger")) {
        headers.append({"Authorization", bearer(signIn(QStringLiteral("13712345678")))});
    } else if (who != QStringLiteral("nobody")) {
        headers.append({"Authorization", bearer(signIn(demo.loginForRole(who)->phone))});
    }
    const Answer a = send(method, target, body, headers);
    QCOMPARE(a.status, status);
    const QString text = APIErrorPayload::fromJson(json::parseObject(a.body)).error;
    QVERIFY(!text.isEmpty());
    if (!error.isEmpty()) {
        QCOMPARE(text, error);
    }
}

void TestFakeService::liveControlMovesTheLiveItem()
{
    const DemoShow demo = m_service->seedDemoShow();
    const Headers headers{
        {"Content-Type", "application/json"},
        {"Authorization", bearer(signIn(demo.loginForRole(QStringLiteral("副导演"))->phone))}};
    const QByteArray target = "/api/project?projectId=" + demo.projectId.toUtf8();
    const auto items =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(demo.projectId)->items; });
    const QString first = items.at(0).id;
    const QString second = items.at(1).id;
    const auto live = [&](const QString &action, const QString &id) {
        const QByteArray body = QStringLiteral(R"({"liveAction":"%1","id":"%2"})").arg(action, id).toUtf8();
        QHash<QString, QString> states;
        for (const RundownItem &i :
             json::decode<LiveControlResponse>(send("PATCH", target, body, headers).body).items) {
            states.insert(i.id, i.liveStatus);
        }
        return states;
    };

    auto states = live(QStringLiteral("start"), first);
    QCOMPARE(states.value(first), RundownValues::live);
    states = live(QStringLiteral("start"), second);
    QCOMPARE(states.value(first), RundownValues::finished);
    QCOMPARE(states.value(second), RundownValues::live);
    states = live(QStringLiteral("stop"), second);
    QCOMPARE(states.value(second), RundownValues::finished);

    const Answer reset = send("PATCH", target, R"({"resetLive":true})", headers);
    for (const RundownItem &i : json::decode<LiveControlResponse>(reset.body).items) {
        QCOMPARE(i.liveStatus, QString());
    }
}

void TestFakeService::demoAnswersDecode_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QByteArray>("target"); // {p} is the gala, {l} its lottery item
    QTest::addColumn<QString>("record");

    QTest::newRow("session") << "演员" << QByteArray("/api/session") << "SessionResponse";
    QTest::newRow("projects") << "演员" << QByteArray("/api/projects") << "ProjectsResponse";
    QTest::newRow("project") << "演员" << QByteArray("/api/project?projectId={p}") << "ProjectDetailResponse";
    QTest::newRow("work items") << "副导演" << QByteArray("/api/work-items?projectId={p}")
                                << "WorkItemsSnapshot";
    QTest::newRow("lottery") << "主持人" << QByteArray("/api/lottery?projectId={p}&itemId={l}")
                             << "LotteryState";
    QTest::newRow("export") << "总导演" << QByteArray("/api/rundown-export?projectId={p}")
                            << "RundownExportResponse";
    QTest::newRow("admin overview") << "admin" << QByteArray("/api/admin?view=overview")
                                    << "AdminOverviewResponse";
    QTest::newRow("admin users") << "admin" << QByteArray("/api/admin?view=users") << "AdminUsersResponse";
    QTest::newRow("admin projects") << "admin" << QByteArray("/api/admin?view=projects")
                                    << "AdminProjectsResponse";
    QTest::newRow("admin assets") << "admin" << QByteArray("/api/admin?view=assets") << "AdminAssetsResponse";
    QTest::newRow("admin logs") << "admin" << QByteArray("/api/admin?view=logs") << "AdminLogsResponse";
    QTest::newRow("admin project") << "admin" << QByteArray("/api/admin?view=project&id={p}")
                                   << "AdminProjectDetailResponse";
}

void TestFakeService::demoAnswersDecode()
{
    QFETCH(QString, role);
    QFETCH(QByteArray, target);
    QFETCH(QString, record);

    const QHash<QString, std::function<void(const QByteArray &)>> decoders = {
        {"SessionResponse", [](const QByteArray &b) { json::decode<SessionResponse>(b); }},
        {"ProjectsResponse", [](const QByteArray &b) { json::decode<ProjectsResponse>(b); }},
        {"ProjectDetailResponse", [](const QByteArray &b) { json::decode<ProjectDetailResponse>(b); }},
        {"WorkItemsSnapshot", [](const QByteArray &b) { json::decode<WorkItemsSnapshot>(b); }},
        {"LotteryState", [](const QByteArray &b) { json::decode<LotteryState>(b); }},
        {"RundownExportResponse", [](const QByteArray &b) { json::decode<RundownExportResponse>(b); }},
        {"AdminOverviewResponse", [](const QByteArray &b) { json::decode<AdminOverviewResponse>(b); }},
        {"AdminUsersResponse", [](const QByteArray &b) { json::decode<AdminUsersResponse>(b); }},
        {"AdminProjectsResponse", [](const QByteArray &b) { json::decode<AdminProjectsResponse>(b); }},
        {"AdminAssetsResponse", [](const QByteArray &b) { json::decode<AdminAssetsResponse>(b); }},
        {"AdminLogsResponse", [](const QByteArray &b) { json::decode<AdminLogsResponse>(b); }},
        {"AdminProjectDetailResponse",
         [](const QByteArray &b) { json::decode<AdminProjectDetailResponse>(b); }},
    };

    const DemoShow demo = m_service->seedDemoShow();
    const DemoLogin *login = role == QStringLiteral("admin") ? demo.superAdmin() : demo.loginForRole(role);
    QVERIFY(login);
    target.replace("{p}", demo.projectId.toUtf8()).replace("{l}", demo.lotteryItemId.toUtf8());
    const Answer a = send("GET", target, {}, {{"Authorization", bearer(signIn(login->phone))}});
    QCOMPARE(a.status, 200);
    try {
        decoders.value(record)(a.body);
    } catch (const DecodingError &e) {
        QFAIL(qPrintable(e.path() + QStringLiteral(": ") + e.reason()));
    }
}

// The large answers are written without Qt's JSON classes: what they say must be what the record
// says, escapes and left-out optionals included.
void TestFakeService::writtenAnswerIsTheRecordsJson()
{
    const DemoShow demo = m_service->seedDemoShow();
    ProjectDetailResponse detail = m_service->withPlatform([&](FakePlatform &p) {
        const FakeProject &gala = *p.project(demo.projectId);
        return p.detail(gala, Membership{gala.members.first().id, gala.summary.id, QStringLiteral("周敏"),
                                         QStringLiteral("总导演")});
    });
    QVERIFY(detail.items.size() > 1);
    detail.items[0].title = QStringLiteral("“引号” \" \\ 换行\n制表\t\x01\x1f 🎤 é");
    detail.items[0].audioAssetId.reset();
    detail.items[1].audioAssetId = QString();
    const QByteArray written = fake::JsonWriter::write(detail);
    QJsonParseError error;
    const QJsonDocument read = QJsonDocument::fromJson(written, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(read.object(), detail.toJson());
}

void TestFakeService::checkInAndArrangements()
{
    QCOMPARE(as("演员", "GET", "/api/session").status, 200);
    const QString performer = m_demo.loginForRole(QStringLiteral("演员"))->memberId;
    const QByteArray checkIn =
        QStringLiteral(R"({"memberId":"%1","checkedIn":true})").arg(performer).toUtf8();
    const QByteArray undo = QStringLiteral(R"({"memberId":"%1","checkedIn":false})").arg(performer).toUtf8();

    const Answer own = as("演员", "PATCH", "/api/checkin?projectId={p}", checkIn);
    QCOMPARE(own.status, 200);
    const auto response = json::decode<CheckInResponse>(own.body);
    QVERIFY(!response.checkedInAt.value_or(QString()).isEmpty());
    QCOMPARE(response.checkedInBy, QStringLiteral("王强"));
    QVERIFY(gala().member(performer)->isCheckedIn());
    QCOMPARE(as("演员", "PATCH", "/api/checkin?projectId={p}", undo).status, 403);
    QCOMPARE(as("副导演", "PATCH", "/api/checkin?projectId={p}", undo).status, 200);
    QVERIFY(!gala().member(performer)->checkedInAt);

    QVERIFY(!gala().operations.confirmedMemberIds.contains(performer));
    QCOMPARE(as("演员", "PATCH", "/api/operations?projectId={p}", R"({"action":"confirmNotice"})").status,
             200);
    QVERIFY(gala().operations.confirmedMemberIds.contains(performer));

    const QString before = gala().operations.noticeUpdatedAt;
    m_service->withPlatform(
        [](FakePlatform &p) { p.fixedNow = QStringLiteral("2030-01-01T08:00:00+08:00"); });
    const Answer saved =
        as("总导演", "PATCH", "/api/operations?projectId={p}",
           R"({"action":"saveOperations","noticeTitle":"新通知","noticeContent":"内容",)"
           R"("assemblyTime":"17:00","checkinLocation":"南门","rehearsalTime":"","dinnerNote":""})");
    QCOMPARE(saved.status, 200);
    const ProjectOperations operations = *json::decode<OperationsMutationResponse>(saved.body).operations;
    QCOMPARE(operations.noticeTitle, QStringLiteral("新通知"));
    QCOMPARE(operations.noticeUpdatedAt, QStringLiteral("2030-01-01T08:00:00+08:00"));
    QVERIFY(operations.noticeUpdatedAt != before);
    QVERIFY(operations.confirmedMemberIds.isEmpty());

    // Makeup slots and appointments are replaced, not duplicated, by the person they name.
    const ProjectMember artist = *gala().member(m_demo.loginForRole(QStringLiteral("化妆师"))->memberId);
    const qsizetype shifts = gala().makeupShifts.size();
    const QByteArray shift = QStringLiteral(R"({"action":"saveMakeupShift","artistMemberId":"%1",)"
                                            R"("startTime":"16:00","endTime":"18:00","location":"三楼"})")
                                 .arg(artist.id)
                                 .toUtf8();
    QCOMPARE(as("总导演", "PATCH", "/api/operations?projectId={p}", shift).status, 200);
    QCOMPARE(gala().makeupShifts.size(), shifts);
    const qsizetype appointments = gala().makeup.size();
    const QByteArray makeup =
        QStringLiteral(R"({"action":"saveMakeup","memberId":"%1","artistMemberId":"%2",)"
                       R"("scheduledTime":"17:10","durationMinutes":25,"status":"化妆中"})")
            .arg(performer, artist.id)
            .toUtf8();
    QCOMPARE(as("总导演", "PATCH", "/api/operations?projectId={p}", makeup).status, 200);
    QCOMPARE(gala().makeup.size(), appointments);
    QCOMPARE(as("演员", "PATCH", "/api/operations?projectId={p}", makeup).status, 403);
}

void TestFakeService::lotteryDrawAndClaim()
{
    const QByteArray path = "/api/lottery?projectId={p}&itemId={l}";
    const auto command = [&](const QByteArray &body) {
        const Answer a = as("主持人", "POST", path, body);
        return a.status == 200 ? json::decode<LotteryMutationResponse>(a.body) : LotteryMutationResponse{};
    };
    const auto claim = [&](const QString &phone) {
        return as("主持人", "POST", path,
                  QStringLiteral(R"({"action":"claim","phone":"%1"})").arg(phone).toUtf8());
    };
    QCOMPARE(as("演员", "POST", path, R"({"action":"drawStart","prizeId":"prize-second"})").status, 403);
    m_service->withPlatform([](FakePlatform &p) { p.lotterySeed = 7; });

    QCOMPARE(command(R"({"action":"mode","mode":"rehearsal"})").lottery->winners.size(), 0);
    QCOMPARE(command(R"({"action":"drawStart","prizeId":"prize-second"})").lottery->drawStatus,
             LotteryValues::rolling);
    const LotteryState drawn = *command(R"({"action":"drawStop"})").lottery;
    QVERIFY(drawn.drawStatus != LotteryValues::rolling);
    QCOMPARE(drawn.winners.size(), 3);
    QCOMPARE(drawn.prizes.at(1).drawnCount, 3);
    QVERIFY(drawn.winners.first().maskedPhone.contains(QStringLiteral("****")));

    // Rehearsal wins are never claimed.
    const QString rehearsalPhone = m_service->withPlatform([&](const FakePlatform &p) {
        return p.project(m_demo.projectId)->lotteries.value(m_demo.lotteryItemId).winners.last().phone;
    });
    QCOMPARE(claim(rehearsalPhone).status, 409);

    // A no-show frees its place for another draw.
    const QString second = drawn.winners.at(1).id;
    const LotteryState freed =
        *command(QStringLiteral(R"({"action":"noShow","winId":"%1"})").arg(second).toUtf8()).lottery;
    QCOMPARE(freed.prizes.at(1).drawnCount, 2);
    QVERIFY(command(R"({"action":"drawStart","prizeId":"prize-second"})").lottery);

    QCOMPARE(as("主持人", "POST", path, R"({"action":"resetRehearsal"})").status, 200);
    const auto state = json::decode<LotteryState>(as("主持人", "GET", path).body);
    QVERIFY(state.winners.isEmpty());

    // Formal winners survive the reset; the phone is matched by its digits, once.
    const LotteryState formal = *command(R"({"action":"mode","mode":"formal"})").lottery;
    QCOMPARE(formal.winners.size(), 3);
    QString spaced = m_demo.lotteryClaimPhone;
    spaced.insert(7, QLatin1Char('-')).insert(3, QLatin1Char(' '));
    const Answer claimed = claim(spaced);
    QCOMPARE(claimed.status, 200);
    QCOMPARE(json::decode<LotteryMutationResponse>(claimed.body).lottery->winners.first().status,
             LotteryValues::claimed);
    const Answer again = claim(m_demo.lotteryClaimPhone);
    QCOMPARE(again.status, 409);
    QVERIFY(again.body.contains("error"));
    QCOMPARE(claim(QStringLiteral("13000000000")).status, 404);
}

void TestFakeService::groupDecisionCreatesARecord()
{
    const QByteArray body = R"({"action":"decide","name":"王强","decision":"group"})";
    QCOMPARE(as("演员", "PATCH", "/api/groups?projectId={p}", body).status, 403);
    const Answer a = as("副导演", "PATCH", "/api/groups?projectId={p}", body);
    QCOMPARE(a.status, 200);
    const PerformerGroup group = json::decode<PerformerGroupMutationResponse>(a.body).group;
    QCOMPARE(group.name, QStringLiteral("王强"));
    QCOMPARE(group.decision, QStringLiteral("group"));
    const auto groups = gala().performerGroups;
    QVERIFY(std::any_of(groups.cbegin(), groups.cend(),
                        [&](const PerformerGroup &g) { return g.id == group.id; }));
}

void TestFakeService::importPreviewReadsLines()
{
    const QByteArray csv =
        "序号,节目名称,类型,时长,表演者,负责人\r\n1,开场舞,舞蹈,3:30,甲、乙,丙\r\n2,小品,小品,600,丁,\r\n";
    const QByteArray body = R"({"contentBase64":")" + csv.toBase64() + R"("})";
    const Answer a = as("总导演", "POST", "/api/rundown-import?projectId={p}", body);
    QCOMPARE(a.status, 200);
    const auto preview = json::decode<RundownImportPreview>(a.body);
    QCOMPARE(preview.items.size(), 2);
    QCOMPARE(preview.items.at(0).title, QStringLiteral("开场舞"));
    QCOMPARE(preview.items.at(0).duration, 210);
    QCOMPARE(preview.items.at(1).order, 2);
    QCOMPARE(preview.people, QStringList({"甲", "乙", "丙", "丁"}));
    QCOMPARE(preview.legacyTypes, QStringList({"小品"}));

    QCOMPARE(as("总导演", "POST", "/api/rundown-import?projectId={p}", R"({"contentBase64":"@@@"})").status,
             400);
}

void TestFakeService::importLeavesTheServiceAnswering()
{
    QList<QStringList> rows{{QStringLiteral("节目名称"), QStringLiteral("表演者")}};
    for (int i = 1; i <= 2000; ++i) {
        rows.append({QStringLiteral("节目%1").arg(i), QStringLiteral("演员%1").arg(i)});
    }
    const QByteArray workbook = FakeWorkbook::writeXlsx({{QStringLiteral("节目单"), rows}});
    m_demo = m_service->seedDemoShow();
    // Signed in beforehand: signing in takes the service's lock from this thread.
    const QByteArray actor = bearer(signIn(m_demo.loginForRole(QStringLiteral("演员"))->phone));
    const auto reached = std::make_shared<std::atomic<bool>>(false);
    std::promise<void> release;
    m_service->setWhileWritingPreview([reached, released = release.get_future().share()] {
        *reached = true;
        released.wait();
    });

    QNetworkReply *import = startAs("总导演", "POST", "/api/rundown-import?projectId={p}",
                                    R"({"contentBase64":")" + workbook.toBase64() + R"("})");
    {
        const auto releaseAtEnd = qScopeGuard([&] { release.set_value(); });
        QTRY_VERIFY(*reached);
        const Answer other = send("GET", "/api/project?projectId=" + m_demo.projectId.toUtf8(), {},
                                  {{"Authorization", actor}});
        QCOMPARE(other.status, 200);
        QVERIFY(!import->isFinished());
    }
    const Answer preview = finish(import);
    QCOMPARE(preview.status, 200);
    QCOMPARE(json::decode<RundownImportPreview>(preview.body).items.size(), 2000);
}

// What an import may cost: items counted, not headings or blank lines; the preview's text bounded;
// a stranger's upload never read.
void TestFakeService::importCostsAreBounded()
{
    const auto import = [](const QByteArray &file) {
        return R"({"contentBase64":")" + file.toBase64() + R"("})";
    };
    const auto error = [](const Answer &a) {
        return APIErrorPayload::fromJson(json::parseObject(a.body)).error;
    };

    QList<QStringList> rundown{{QStringLiteral("节目名称")}};
    QByteArray csv = "节目名称\n\n";
    for (int i = 1; i <= 10000; ++i) {
        rundown.append({QStringLiteral("节目%1").arg(i)});
        csv += "节目" + QByteArray::number(i) + "\n\n";
    }
    for (const QByteArray &file : {csv, FakeWorkbook::writeXlsx({{QStringLiteral("节目单"), rundown}})}) {
        const Answer full = as("总导演", "POST", "/api/rundown-import?projectId={p}", import(file));
        QCOMPARE(full.status, 200);
        QCOMPARE(json::decode<RundownImportPreview>(full.body).items.size(), 10000);
    }

    // One long shared string as the title of every row: a small file, a quarter gigabyte of preview.
    QByteArray sheet =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        R"(<row><c t="inlineStr"><is><t>节目名称</t></is></c></row>)";
    for (int i = 0; i < 9999; ++i) {
        sheet += R"(<row><c t="s"><v>0</v></c></row>)";
    }
    sheet += "</sheetData></worksheet>";
    const QByteArray bomb = FakeWorkbook::writeZip({
        {QStringLiteral("xl/workbook.xml"),
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
         R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
         R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>)"},
        {QStringLiteral("xl/sharedStrings.xml"),
         R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>)" +
             QByteArray(25 * 1024, 'x') + "</t></si></sst>"},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
    });
    QVERIFY(bomb.size() < 100 * 1024);
    const Answer refused = as("总导演", "POST", "/api/rundown-import?projectId={p}", import(bomb));
    QCOMPARE(refused.status, 400);
    QCOMPARE(error(refused), QStringLiteral("表格内容过多（预览文本超过 16 MB）"));

    // Refused by the headers alone: the body, garbage or not, is never read.
    const QByteArray target = "/api/rundown-import?projectId=" + m_demo.projectId.toUtf8();
    const QByteArray garbage(64 * 1024, '@');
    const Answer stranger = send("POST", target, garbage, {{"Authorization", "Bearer nobody"}});
    QCOMPARE(stranger.status, 401);
    QCOMPARE(m_service->lastRequest().body, QByteArray());
    QCOMPARE(as("演员", "POST", "/api/rundown-import?projectId={p}", garbage).status, 403);
    QCOMPARE(m_service->lastRequest().body, QByteArray());
    QCOMPARE(as("总导演", "POST", "/api/rundown-import?projectId={p}", garbage).status, 400);
    QCOMPARE(m_service->lastRequest().body, garbage);
}

void TestFakeService::archivedAssetLeavesTheItem()
{
    const auto video = [&] { return gala().item(m_demo.audioItemId)->videoAssetId; };
    QVERIFY(as("admin", "GET", "/api/session").status == 200 && video());
    const QString assetId = *video();
    const QByteArray videoTarget =
        "/api/assets?projectId={p}&itemId=" + m_demo.audioItemId.toUtf8() + "&category=video&inline=1";
    const Answer clip = as("视频师", "GET", videoTarget);
    QCOMPARE(clip.status, 200);
    QCOMPARE(clip.contentType, QByteArray("video/mp4"));
    QVERIFY(!clip.body.isEmpty());
    QCOMPARE(clip.body, FakeMedia::demoStarsVideo());
    const QByteArray archive = QStringLiteral(R"({"action":"archiveAsset","id":"%1"})").arg(assetId).toUtf8();
    QCOMPARE(as("总导演", "PATCH", "/api/admin", archive).status, 403);
    QCOMPARE(as("admin", "PATCH", "/api/admin", archive).status, 200);
    QVERIFY(!video());
    QCOMPARE(as("总导演", "GET", videoTarget).status, 404);
    const auto assets = json::decode<AdminAssetsResponse>(as("admin", "GET", "/api/admin?view=assets").body);
    QVERIFY(std::any_of(assets.trash.cbegin(), assets.trash.cend(),
                        [&](const AdminAsset &a) { return a.id == assetId; }));

    const QByteArray restore = QStringLiteral(R"({"action":"restoreAsset","id":"%1"})").arg(assetId).toUtf8();
    QCOMPARE(as("admin", "PATCH", "/api/admin", restore).status, 200);
    QCOMPARE(video(), assetId);
    const auto logs = json::decode<AdminLogsResponse>(as("admin", "GET", "/api/admin?view=logs").body).logs;
    QCOMPARE(logs.first().action, QStringLiteral("restoreAsset"));
}

void TestFakeService::incompleteItemAndItsTaskAgree_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("incomplete");
    QTest::newRow("named owner") << "周敏" << false;
    QTest::newRow("separators name nobody") << "、，" << true;
    QTest::newRow("blank") << "　" << true;
}

// The item's readiness and the work item that mirrors its missing facts read one rule: an item
// is "待完善" exactly while its rundown work item is open.
void TestFakeService::incompleteItemAndItsTaskAgree()
{
    QFETCH(QString, owner);
    QFETCH(bool, incomplete);
    // The first call seeds the demo, which names the item.
    QCOMPARE(as("总导演", "GET", "/api/session").status, 200);
    const QByteArray patch =
        QJsonDocument(QJsonObject{{"id", m_demo.audioItemId}, {"item", QJsonObject{{"owner", owner}}}})
            .toJson(QJsonDocument::Compact);
    const Answer patched = as("总导演", "PATCH", "/api/project?projectId={p}", patch);
    QVERIFY2(patched.status == 200, patched.body.constData());
    const Answer answer = as("总导演", "GET", "/api/work-items?projectId={p}");
    QCOMPARE(answer.status, 200);
    const auto items = json::decode<WorkItemsSnapshot>(answer.body).items;
    const bool taskOpen = std::any_of(items.cbegin(), items.cend(), [&](const WorkItem &w) {
        return w.sourceKey == QStringLiteral("rundown:") + m_demo.audioItemId && isOpen(w.status);
    });
    QCOMPARE(taskOpen, incomplete);
    QCOMPARE(gala().item(m_demo.audioItemId)->status == QStringLiteral("待完善"), incomplete);
}

void TestFakeService::refusalsInState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("who");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("body"); // {i0} and {i1} stand for the first two items
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    QTest::newRow("frozen rundown reordered")
        << "frozen"
        << "总导演" << QByteArray("PATCH") << QByteArray("/api/project?projectId=gala-2026")
        << QByteArray(R"({"order":[{"id":"{i1}","order":1},{"id":"{i0}","order":2}]})") << 409
        << QStringLiteral("节目流程已冻结，暂不能修改");
    QTest::newRow("performer named as owner acts on its task")
        << "performer owns the first item"
        << "演员" << QByteArray("PATCH") << QByteArray("/api/work-items?projectId=gala-2026")
        << QByteArray(R"({"id":"w-owned","workItem":{"status":"doing"}})") << 403
        << QStringLiteral("没有权限执行此操作");
}

void TestFakeService::refusalsInState()
{
    QFETCH(QString, state);
    m_demo = m_service->seedDemoShow();
    const QString director = m_demo.loginForRole(QStringLiteral("总导演"))->memberId;
    m_service->withPlatform([&](FakePlatform &p) {
        FakeProject &g = *p.project(m_demo.projectId);
        if (state == QStringLiteral("frozen")) {
            g.summary.flowFrozen = true;
            return;
        }
        // Only a program lead acts on the tasks of the programs he leads.
        g.items[0].owner = QStringLiteral("赵磊、王强");
        WorkItem task;
        task.id = QStringLiteral("w-owned");
        task.projectId = g.summary.id;
        task.itemId = g.items[0].id;
        task.sourceType = QStringLiteral("manual");
        task.title = QStringLiteral("备好彩绸");
        task.createdByMemberId = director;
        g.workItems.append(task);
    });
    refusals();
}

QTEST_GUILESS_MAIN(TestFakeService)
#include "test_fake_service.moc"
