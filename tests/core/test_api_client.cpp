#include "ClientTestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace ClientTest;

namespace {

const QByteArray probePath = QByteArrayLiteral("/api/probe");

} // namespace

class TestAPIClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void answers_data();
    void answers();
    void unreadTokenSurvivesA401();
    void redirectIsNotFollowed();
    void slowAnswerWithinTheTimeOut();
    void headers_data();
    void headers();
    void transportFailure();

    void blockSetting_data();
    void blockSetting();
    void productionGuard_data();
    void productionGuard();
    void otherHostsPassTheGuard();

    void baseURLSetting_data();
    void baseURLSetting();
    void unusableBaseURLFailsQuietly();
    void sharedReadsTheEnvironmentOnce();
    void sendReplacesTheBasePath();

    void queryValueEncoding_data();
    void queryValueEncoding();
    void queryReachesTheWireAsEncoded();

private:
    FakeService m_fake;
};

void TestAPIClient::initTestCase()
{
    QVERIFY(m_fake.start());
}

void TestAPIClient::cleanupTestCase()
{
    m_fake.stop();
}

void TestAPIClient::init()
{
    m_fake.clearScripts();
    m_fake.clearRequests();
}

// The request routine's verdict on every kind of answer.
void TestAPIClient::answers_data()
{
    QTest::addColumn<bool>("emptyRecord"); // EmptyResponse, else SessionResponse
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("clearFails");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("tokenKept");

    const QByteArray json = "application/json";
    const QByteArray html = "text/html";
    const QString ok = QStringLiteral("ok");
    const QString decoding = QStringLiteral("decoding");
    const auto server = [](const char *text) { return QStringLiteral("server:") + QString::fromUtf8(text); };

    QTest::newRow("html 404") << true << 404 << QByteArray("<html>Not Found</html>") << html << false
                              << server("请求失败（404）") << true;
    QTest::newRow("502 without body")
        << true << 502 << QByteArray() << json << false << server("请求失败（502）") << true;
    QTest::newRow("403 error payload") << true << 403 << QByteArray(R"({"error":"没有权限","code":7})")
                                       << json << false << server("没有权限") << true;
    QTest::newRow("500 error not a string")
        << true << 500 << QByteArray(R"({"error":5})") << json << false << server("请求失败（500）") << true;
    QTest::newRow("401 error payload") << true << 401 << QByteArray(R"({"error":"登录已过期"})") << json
                                       << false << server("登录已过期") << false;
    QTest::newRow("401 without body")
        << true << 401 << QByteArray() << json << false << server("请求失败（401）") << false;
    QTest::newRow("401, keychain refuses to clear") << true << 401 << QByteArray(R"({"error":"登录已过期"})")
                                                    << json << true << server("登录已过期") << true;
    QTest::newRow("ok false on 200") << true << 200 << QByteArray(R"({"ok":false})") << json << false << ok
                                     << true;
    QTest::newRow("empty body") << true << 200 << QByteArray() << json << false << ok << true;
    QTest::newRow("bare braces") << true << 200 << QByteArray("{}") << json << false << ok << true;
    QTest::newRow("braces with a space") << true << 200 << QByteArray("{ }") << json << false << ok << true;
    QTest::newRow("null") << true << 200 << QByteArray("null") << json << false << decoding << true;
    QTest::newRow("empty array") << true << 200 << QByteArray("[]") << json << false << decoding << true;
    QTest::newRow("html on 200") << true << 200 << QByteArray("<html></html>") << html << false << decoding
                                 << true;
    QTest::newRow("201 counts") << true << 201 << QByteArray() << json << false << ok << true;
    QTest::newRow("record, empty body") << false << 200 << QByteArray() << json << false << decoding << true;
    QTest::newRow("record, bare braces")
        << false << 200 << QByteArray("{}") << json << false << decoding << true;
    QTest::newRow("record, wrong type")
        << false << 200 << QByteArray(R"({"authenticated":"yes"})") << json << false << decoding << true;
    QTest::newRow("record") << false << 200 << QByteArray(R"({"authenticated":false})") << json << false << ok
                            << true;
}

void TestAPIClient::answers()
{
    QFETCH(bool, emptyRecord);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, clearFails);
    QFETCH(QString, outcome);
    QFETCH(bool, tokenKept);

    Script script;
    script.status = status;
    script.body = body;
    script.contentType = contentType;
    m_fake.script("GET", probePath, script);

    Rig rig(QUrl(m_fake.baseUrl()));
    rig.store->setToken(QStringLiteral("tok"));
    if (clearFails) {
        rig.store->failClearWith(-25308);
    }
    if (emptyRecord) {
        SETTLE(result,
               rig.client->send<EmptyResponse>(QString::fromLatin1(probePath), "GET", std::nullopt, true));
        QCOMPARE(result.kind(), outcome);
        if (result.succeeded()) {
            // Only an explicit flag comes through; the status alone decided success.
            QCOMPARE(result.value->ok, body.contains("false") ? std::optional<bool>(false) : std::nullopt);
        }
    } else {
        SETTLE(result,
               rig.client->send<SessionResponse>(QString::fromLatin1(probePath), "GET", std::nullopt, true));
        QCOMPARE(result.kind(), outcome);
    }
    QCOMPARE(rig.store->token().has_value(), tokenKept);
    QCOMPARE(m_fake.requestCount(), 1);
}

// A keychain that fails one read sends the request without a token; the service's 401 must not
// wipe the token it never saw, or a passing keychain fault signs the crew member out.
void TestAPIClient::unreadTokenSurvivesA401()
{
    Script refused;
    refused.status = 401;
    refused.body = R"({"error":"登录已失效"})";
    m_fake.script("GET", probePath, refused);
    m_fake.script("GET", "/api/assets", refused);
    Rig rig(QUrl(m_fake.baseUrl()));
    rig.store->setToken(QStringLiteral("tok"));
    rig.store->failReads();
    SETTLE(request,
           rig.client->send<EmptyResponse>(QString::fromLatin1(probePath), "GET", std::nullopt, true));
    QCOMPARE(request.kind(), QStringLiteral("server:登录已失效"));
    SETTLE(download,
           rig.client->downloadAsset(QStringLiteral("p"), QStringLiteral("i"), QStringLiteral("audio"),
                                     QStringLiteral("a1"), QStringLiteral("a.wav")));
    QVERIFY(!download.succeeded());
    QCOMPARE(rig.store->token(), std::optional<QString>(QStringLiteral("tok")));
    QCOMPARE(rig.store->clearCount(), 0);
}

// Ordinary requests wait 30 s; a service that takes 5 s is slow, not gone.
void TestAPIClient::slowAnswerWithinTheTimeOut()
{
    Script slow;
    slow.delayMs = 5000;
    m_fake.script("GET", probePath, slow);
    Rig rig(QUrl(m_fake.baseUrl()));
    SETTLE(result,
           rig.client->send<EmptyResponse>(QString::fromLatin1(probePath), "GET", std::nullopt, true));
    QCOMPARE(result.kind(), QStringLiteral("ok"));
}

// A redirect to a place that would answer successfully is reported, not followed.
void TestAPIClient::redirectIsNotFollowed()
{
    Script target;
    target.body = "{}";
    m_fake.script("GET", "/api/elsewhere", target);
    const QByteArray location = m_fake.baseUrl().toUtf8() + "/api/elsewhere";

    QTcpServer redirector;
    QVERIFY(redirector.listen(QHostAddress::LocalHost));
    const auto heads =
        answerEachRequest(redirector, "HTTP/1.1 302 Found\r\nLocation: " + location +
                                          "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");

    Rig rig(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(redirector.serverPort())));
    SETTLE(result,
           rig.client->send<EmptyResponse>(QString::fromLatin1(probePath), "GET", std::nullopt, true));
    QCOMPARE(result.kind(), QStringLiteral("server:请求失败（302）"));
    SETTLE(download,
           rig.client->downloadAsset(QStringLiteral("p"), QStringLiteral("i"), QStringLiteral("audio"),
                                     QStringLiteral("a1"), QStringLiteral("a.mp3")));
    QCOMPARE(download.kind(), QStringLiteral("server:素材读取失败（302）"));
    // A download asks for no type, coding or language, and names no agent.
    const QByteArray head = heads->last().toLower();
    QVERIFY2(!head.contains("\naccept") && !head.contains("\nuser-agent"), head.constData());
    QCOMPARE(m_fake.requestCount(), 0);
}

void TestAPIClient::headers_data()
{
    QTest::addColumn<std::optional<QString>>("token");
    QTest::addColumn<bool>("authenticated");
    QTest::addColumn<bool>("withBody");
    QTest::addColumn<std::optional<QByteArray>>("authorization");

    QTest::newRow("token") << std::optional<QString>(QStringLiteral("abc")) << true << false
                           << std::optional<QByteArray>("Bearer abc");
    QTest::newRow("empty token still sent")
        << std::optional<QString>(QString()) << true << true << std::optional<QByteArray>("Bearer");
    QTest::newRow("no token") << std::optional<QString>() << true << true << std::optional<QByteArray>();
    QTest::newRow("stored token with a line break is not sent")
        << std::optional<QString>(QStringLiteral("abc\r\nX-Injected: 1")) << true << false
        << std::optional<QByteArray>();
    QTest::newRow("unauthenticated with token")
        << std::optional<QString>(QStringLiteral("abc")) << false << true << std::optional<QByteArray>();
}

void TestAPIClient::headers()
{
    QFETCH(std::optional<QString>, token);
    QFETCH(bool, authenticated);
    QFETCH(bool, withBody);
    QFETCH(std::optional<QByteArray>, authorization);

    Script refusal;
    refusal.status = 401;
    refusal.body = R"({"error":"请先登录"})";
    m_fake.script("POST", probePath, refusal);

    Rig rig(QUrl(m_fake.baseUrl()));
    rig.store->setToken(token);
    const std::optional<QByteArray> body = withBody ? std::optional<QByteArray>("{\"a\":1}") : std::nullopt;
    SETTLE(result,
           rig.client->send<EmptyResponse>(QString::fromLatin1(probePath), "POST", body, authenticated));
    // Refusals are reported the ordinary way, token or not.
    QCOMPARE(result.kind(), QStringLiteral("server:请先登录"));
    QCOMPARE(rig.store->readCount(), authenticated ? 1 : 0);

    const RecordedRequest request = m_fake.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.header("Accept"), QByteArray("application/json"));
    QCOMPARE(request.hasHeader("Authorization"), authorization.has_value());
    if (authorization) {
        // The server trims trailing blanks, so an empty token arrives as "Bearer".
        QCOMPARE(request.header("Authorization").trimmed(), *authorization);
    }
    QCOMPARE(request.hasHeader("Content-Type"), withBody);
    if (withBody) {
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.body, *body);
    }
}

void TestAPIClient::transportFailure()
{
    // A port nobody listens on.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    server.close();

    Rig rig(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    rig.store->setToken(QStringLiteral("tok"));
    SETTLE(result, rig.client->session());
    QCOMPARE(result.kind(), QStringLiteral("transport"));
    QCOMPARE(result.description(), QStringLiteral("未能连接到服务器。"));
    QVERIFY(rig.store->token().has_value());

    // Signing out never fails, reachable service or not.
    SETTLE(logout, rig.client->logout());
    QVERIFY(logout.succeeded());
}

void TestAPIClient::blockSetting_data()
{
    QTest::addColumn<std::optional<QByteArray>>("value");
    QTest::addColumn<bool>("blocks");

    QTest::newRow("1") << std::optional<QByteArray>("1") << true;
    QTest::newRow("absent") << std::optional<QByteArray>() << false;
    QTest::newRow("empty") << std::optional<QByteArray>("") << false;
    QTest::newRow("true") << std::optional<QByteArray>("true") << false;
    QTest::newRow("yes") << std::optional<QByteArray>("yes") << false;
    QTest::newRow("0") << std::optional<QByteArray>("0") << false;
    QTest::newRow("space before 1") << std::optional<QByteArray>(" 1") << false;
    QTest::newRow("1 and newline") << std::optional<QByteArray>("1\n") << false;
}

void TestAPIClient::blockSetting()
{
    QFETCH(std::optional<QByteArray>, value);
    QFETCH(bool, blocks);
    QCOMPARE(APIClient::blocksProductionSetting(value), blocks);
}

// The guard looks at the host only, case-insensitively, after the token was read; nothing leaves.
void TestAPIClient::productionGuard_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("send") << QStringLiteral("send");
    QTest::newRow("download") << QStringLiteral("download");
    QTest::newRow("upload") << QStringLiteral("upload");
}

void TestAPIClient::productionGuard()
{
    QFETCH(QString, operation);

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("data");
    file.flush();

    // Nothing listens there: a request that got past the guard would fail as a transport error.
    Rig rig(QUrl(QStringLiteral("https://API.QUILLORY.EXAMPLE:1/base")), true);
    rig.store->setToken(QStringLiteral("tok"));
    std::exception_ptr error;
    QString kind;
    if (operation == QLatin1String("send")) {
        SETTLE(result, rig.client->project(QStringLiteral("p1")));
        kind = result.kind();
    } else if (operation == QLatin1String("download")) {
        SETTLE(result,
               rig.client->downloadAsset(QStringLiteral("p1"), QStringLiteral("i1"), QStringLiteral("audio"),
                                         QStringLiteral("a1"), QStringLiteral("a.mp3")));
        kind = result.kind();
    } else {
        SETTLE(result, rig.client->uploadAsset(QStringLiteral("p1"), QStringLiteral("i1"),
                                               QStringLiteral("audio"), file.fileName(), 3));
        kind = result.kind();
    }
    QCOMPARE(kind, QStringLiteral("server:本地验收已阻止连接正式环境"));
    QCOMPARE(rig.store->readCount(), 1);
    QVERIFY(rig.store->token().has_value());
}

void TestAPIClient::otherHostsPassTheGuard()
{
    Script answer;
    answer.body = "{}";
    m_fake.script("GET", probePath, answer);
    Rig rig(QUrl(m_fake.baseUrl()), true);
    SETTLE(result,
           rig.client->send<EmptyResponse>(QString::fromLatin1(probePath), "GET", std::nullopt, true));
    QVERIFY(result.succeeded());
    QCOMPARE(m_fake.requestCount(), 1);
}

void TestAPIClient::baseURLSetting_data()
{
    QTest::addColumn<std::optional<QString>>("value");
    QTest::addColumn<QString>("url"); // empty when the value is refused

    QTest::newRow("absent") << std::optional<QString>() << QStringLiteral("https://api.quillory.example");
    QTest::newRow("local") << std::optional<QString>(QStringLiteral("http://127.0.0.1:8787"))
                           << QStringLiteral("http://127.0.0.1:8787");
    QTest::newRow("with path") << std::optional<QString>(QStringLiteral("https://example.test/x"))
                               << QStringLiteral("https://example.test/x");
    QTest::newRow("empty") << std::optional<QString>(QString()) << QString();
    QTest::newRow("no scheme") << std::optional<QString>(QStringLiteral("127.0.0.1:8787")) << QString();
    QTest::newRow("no host") << std::optional<QString>(QStringLiteral("http://")) << QString();
    QTest::newRow("leading space") << std::optional<QString>(QStringLiteral(" http://127.0.0.1"))
                                   << QString();
    QTest::newRow("words") << std::optional<QString>(QStringLiteral("本地 服务")) << QString();
}

void TestAPIClient::baseURLSetting()
{
    QFETCH(std::optional<QString>, value);
    QFETCH(QString, url);

    const APIClient::BaseURLSetting setting = APIClient::baseURLSetting(value);
    if (url.isEmpty()) {
        QVERIFY(setting.error.contains(QLatin1String("TAVIK_API_BASE_URL")));
        QVERIFY(setting.error.contains(*value));
    } else {
        QCOMPARE(setting.error, QString());
        QCOMPARE(setting.url, QUrl(url));
    }
}

void TestAPIClient::unusableBaseURLFailsQuietly()
{
    Rig rig{QUrl()};
    rig.store->setToken(QStringLiteral("tok"));
    QVERIFY(rig.client->configurationError().contains(QLatin1String("TAVIK_API_BASE_URL")));

    SETTLE(send, rig.client->session());
    QCOMPARE(send.kind(), QStringLiteral("invalidResponse"));
    SETTLE(download,
           rig.client->downloadAsset(QStringLiteral("p"), QStringLiteral("i"), QStringLiteral("audio"),
                                     QStringLiteral("a1"), QStringLiteral("a.mp3")));
    QCOMPARE(download.kind(), QStringLiteral("invalidResponse"));
    SETTLE(upload, rig.client->uploadAsset(QStringLiteral("p"), QStringLiteral("i"), QStringLiteral("audio"),
                                           QStringLiteral("/nonexistent"), 1));
    QCOMPARE(upload.kind(), QStringLiteral("invalidResponse"));
    // Refused before anything else happened, the token read included.
    QCOMPARE(rig.store->readCount(), 0);
}

void TestAPIClient::sharedReadsTheEnvironmentOnce()
{
    qputenv("TAVIK_API_BASE_URL", "not a url");
    qputenv("TAVIK_BLOCK_PRODUCTION", "1");
    APIClient &client = APIClient::shared();
    qputenv("TAVIK_API_BASE_URL", m_fake.baseUrl().toUtf8());
    qunsetenv("TAVIK_BLOCK_PRODUCTION");

    QCOMPARE(&APIClient::shared(), &client);
    QCOMPARE(client.parent(), QCoreApplication::instance());
    QVERIFY(client.blocksProduction());
    QCOMPARE(client.configurationError(),
             QStringLiteral("环境变量 TAVIK_API_BASE_URL 不是有效的网址：“not a url”"));
    // Fails before the keychain is consulted, so this needs no secret service.
    SETTLE(result, client.session());
    QCOMPARE(result.kind(), QStringLiteral("invalidResponse"));
    QCOMPARE(m_fake.requestCount(), 0);
}

void TestAPIClient::sendReplacesTheBasePath()
{
    Script answer;
    answer.body = R"({"authenticated":false})";
    m_fake.script("GET", "/api/session", answer);
    Rig rig(QUrl(m_fake.baseUrl() + QStringLiteral("/x/y/")));
    SETTLE(result, rig.client->session());
    QVERIFY(result.succeeded());
    QCOMPARE(m_fake.lastRequest().target, QByteArray("/api/session"));
}

void TestAPIClient::queryValueEncoding_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("encoded");

    QTest::newRow("space") << QStringLiteral("p 1") << QStringLiteral("p%201");
    QTest::newRow("chinese") << QStringLiteral("演出") << QStringLiteral("%E6%BC%94%E5%87%BA");
    QTest::newRow("unreserved") << QStringLiteral("a-b_c.d~9Z") << QStringLiteral("a-b_c.d~9Z");
    QTest::newRow("query structure") << QStringLiteral("&=+#") << QStringLiteral("%26%3D%2B%23");
    QTest::newRow("kept delimiters") << QStringLiteral("/?:@!$'()*,;") << QStringLiteral("/?:@!$'()*,;");
    QTest::newRow("percent") << QStringLiteral("100%") << QStringLiteral("100%25");
    QTest::newRow("others") << QStringLiteral("\"[]<>\\^`{|}")
                            << QStringLiteral("%22%5B%5D%3C%3E%5C%5E%60%7B%7C%7D");
    QTest::newRow("empty") << QString() << QString();
}

void TestAPIClient::queryValueEncoding()
{
    QFETCH(QString, value);
    QFETCH(QString, encoded);
    QCOMPARE(APIClient::encodeQueryValue(value), encoded);
}

// Nothing between the client and the socket may re-encode or decode the query.
void TestAPIClient::queryReachesTheWireAsEncoded()
{
    // No "?" here: the fake's HTTP library refuses a second "?" in a target, legal as it is.
    const QString id = QStringLiteral("p 1&x=2+3#f/:@!$'()*,;演%");
    const QString item = QStringLiteral("i%2F&itemId=evil");
    Script answer;
    answer.status = 404;
    m_fake.script("GET", "/api/project", answer);
    m_fake.script("GET", "/api/lottery", answer);
    Rig rig(QUrl(m_fake.baseUrl()));

    SETTLE(project, rig.client->project(id));
    RecordedRequest request = m_fake.lastRequest();
    QCOMPARE(request.target,
             QByteArray("/api/project?projectId=") + APIClient::encodeQueryValue(id).toLatin1());
    QCOMPARE(request.queryItem(QStringLiteral("projectId")), id);

    SETTLE(lottery, rig.client->lottery(id, item));
    request = m_fake.lastRequest();
    QCOMPARE(request.target, rig.client->lotteryPath(id, item).toLatin1());
    QCOMPARE(request.queryItemNames(), (QList<QByteArray>{"projectId", "itemId"}));
    QCOMPARE(request.queryItem(QStringLiteral("projectId")), id);
    QCOMPARE(request.queryItem(QStringLiteral("itemId")), item);
}

QTEST_GUILESS_MAIN(TestAPIClient)
#include "test_api_client.moc"
