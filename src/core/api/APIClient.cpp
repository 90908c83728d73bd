#include "APIClient.h"

#include "api/CurlSession.h"
#include "api/DownloadFolder.h"
#include "api/KeychainTokenStore.h"
#include "api/LocalFiles.h"
#include "api/StreamedFileWriter.h"
#include "json/JsonSimd.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroNetworkReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <ctime>
#include <mutex>

using L = QLatin1StringView;

// The decoder of every answer lives here, so the pages that include APIClient.h never parse simdjson's
// header; send<T> reaches these from any file.
template EmptyResponse json::decode<EmptyResponse>(const QByteArray &);
template LoginResponse json::decode<LoginResponse>(const QByteArray &);
template SessionResponse json::decode<SessionResponse>(const QByteArray &);
template NicknameMutationResponse json::decode<NicknameMutationResponse>(const QByteArray &);
template ProjectsResponse json::decode<ProjectsResponse>(const QByteArray &);
template CreateProjectResponse json::decode<CreateProjectResponse>(const QByteArray &);
template RundownItemMutationResponse json::decode<RundownItemMutationResponse>(const QByteArray &);
template RundownImportPreview json::decode<RundownImportPreview>(const QByteArray &);
template RundownExportResponse json::decode<RundownExportResponse>(const QByteArray &);
template ProjectDetailResponse json::decode<ProjectDetailResponse>(const QByteArray &);
template WorkItemsSnapshot json::decode<WorkItemsSnapshot>(const QByteArray &);
template WorkItemMutationResponse json::decode<WorkItemMutationResponse>(const QByteArray &);
template LiveControlResponse json::decode<LiveControlResponse>(const QByteArray &);
template ProjectMutationResponse json::decode<ProjectMutationResponse>(const QByteArray &);
template PerformerGroupMutationResponse json::decode<PerformerGroupMutationResponse>(const QByteArray &);
template CheckInResponse json::decode<CheckInResponse>(const QByteArray &);
template InvitationResponse json::decode<InvitationResponse>(const QByteArray &);
template LotteryState json::decode<LotteryState>(const QByteArray &);
template LotteryMutationResponse json::decode<LotteryMutationResponse>(const QByteArray &);
template AdminOverviewResponse json::decode<AdminOverviewResponse>(const QByteArray &);
template AdminUsersResponse json::decode<AdminUsersResponse>(const QByteArray &);
template AdminProjectsResponse json::decode<AdminProjectsResponse>(const QByteArray &);
template AdminProjectDetailResponse json::decode<AdminProjectDetailResponse>(const QByteArray &);
template AdminAssetsResponse json::decode<AdminAssetsResponse>(const QByteArray &);
template AdminLogsResponse json::decode<AdminLogsResponse>(const QByteArray &);
template OperationsMutationResponse json::decode<OperationsMutationResponse>(const QByteArray &);

namespace {

constexpr int requestTimeoutMs = 30 * 1000;
constexpr int downloadTimeoutMs = 120 * 1000;
constexpr int uploadTimeoutMs = 180 * 1000;
// How far a download may run ahead of its writer: past it the transfer waits for the disk, so a
// slow disk never has a whole video held in memory.
constexpr qint64 downloadReadAheadBytes = 4 * 1024 * 1024;

const QString productionBaseURL = QStringLiteral("https://api.quillory.example");

struct ReplyDeleter
{
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};
using ReplyHandle = std::unique_ptr<QNetworkReply, ReplyDeleter>;

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

// An answer the service gave: its status and whole body.
struct Answer
{
    int status = 0;
    QByteArray body;

    bool succeeded() const { return isSuccess(status); }
};

QByteArray utf8Query(std::initializer_list<std::pair<L, QString>> items)
{
    QString query;
    for (const auto &[name, value] : items) {
        if (!query.isEmpty()) {
            query += QLatin1Char('&');
        }
        query += name + QLatin1Char('=') + APIClient::encodeQueryValue(value);
    }
    return query.toUtf8();
}

bool isNetworkLayerFailure(QNetworkReply::NetworkError error)
{
    // 1–99: the connection itself (refused, closed, time-out, cancelled, TLS, …).
    return error > QNetworkReply::NoError && error < QNetworkReply::ProxyConnectionRefusedError;
}

// The wording a person sees for a failed connection; Qt's own texts are English only.
QString transportErrorText(QNetworkReply::NetworkError error, const QString &detail)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("未能连接到服务器。");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("未能找到使用指定主机名的服务器。");
    case QNetworkReply::TimeoutError:
    // Qt ends a request that ran past its transfer time-out as cancelled; nothing else here
    // aborts a request that someone still waits for.
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("请求超时。");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("发生了SSL错误，无法建立与该服务器的安全连接。");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("似乎已断开与互联网的连接。");
    default:
        return QStringLiteral("网络连接失败：") + detail;
    }
}

void throwIfFailed(QNetworkReply::NetworkError error, const QString &detail)
{
    if (error != QNetworkReply::NoError) {
        throw TransportError(error, transportErrorText(error, detail));
    }
}

// Throws for what is no HTTP answer: a failed connection, or nothing HTTP at all (status 0).
void requireAnswer(int status, QNetworkReply::NetworkError error, const QString &detail)
{
    if (status == 0 || isNetworkLayerFailure(error)) {
        throwIfFailed(error, detail);
        throw APIClientError::invalidResponse();
    }
}

// Waits for the reply and turns it into an HTTP answer, or throws for anything that is not one.
QCoro::Task<Answer> finish(ReplyHandle reply)
{
    co_await reply.get();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    requireAnswer(status, reply->error(), reply->errorString());
    Answer answer{status, reply->readAll()};
    // A 2xx whose body Qt could not decode (a broken gzip, say) arrives empty: it is no answer.
    if (answer.succeeded()) {
        throwIfFailed(reply->error(), reply->errorString());
    }
    co_return answer;
}

// The service's own message in a refused answer, when the body is an error payload.
std::optional<QString> serviceErrorText(const QByteArray &body)
{
    try {
        return json::decode<APIErrorPayload>(body).error;
    } catch (const DecodingError &) {
        return std::nullopt;
    }
}

QCoro::Task<> clearIgnoringFailure(std::shared_ptr<AccessTokenStoring> store)
{
    try {
        co_await store->clear();
    } catch (...) {
        // The answer decides the outcome; a keychain that refuses to clear changes nothing about it.
    }
}

// A token goes into a header verbatim, so it must not carry anything that could end or split one.
bool isHeaderSafeToken(const QString &token)
{
    return std::none_of(token.cbegin(), token.cend(),
                        [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

// Whether a token was read, so a 401 has one to clear. A keychain that fails a read reads as no
// token; the 401 that follows must not wipe the token it could not read, or a passing keychain
// hiccup would sign the user out mid-show.
bool setBearer(QNetworkRequest &request, const std::optional<QString> &token)
{
    // An unsafe stored token is left out: the service then answers as to no token at all.
    if (token && isHeaderSafeToken(*token)) {
        request.setRawHeader("Authorization", "Bearer " + token->toUtf8());
    }
    return token.has_value();
}

// The client's network, or its downloads, unless the client is gone.
template<typename T>
T &usable(const QPointer<T> &part)
{
    if (!part) {
        throw TransportError(QNetworkReply::OperationCanceledError, QStringLiteral("请求已取消"));
    }
    return *part;
}

QString replaceSeparators(QString text)
{
    // A NUL would end the name early at the system call; other controls make names no one can type.
    for (QChar &c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control) {
            c = QLatin1Char('-');
        }
    }
    return text;
}

QByteArray headerSafeFileName(const QString &name)
{
    QByteArray bytes = name.toUtf8();
    bytes.replace('"', "%22");
    bytes.replace('\r', "%0D");
    bytes.replace('\n', "%0A");
    return bytes;
}

bool isUsableBaseURL(const QUrl &url)
{
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

QString configurationMessage(const QString &value)
{
    return QStringLiteral("环境变量 TAVIK_API_BASE_URL 不是有效的网址：“%1”").arg(value);
}

QString downloadPrefix()
{
    return QStringLiteral("tavik-");
}

// The folders of running copies' downloads: "tavik-downloads-" and six letters or digits.
QString downloadFolderPrefix()
{
    return downloadPrefix() + QStringLiteral("downloads-");
}

// The names assetFileName gives: the category, one of two, tells them from other files of the prefix.
QRegularExpression downloadNamePattern()
{
    return QRegularExpression(
        QStringLiteral("^%1.+-(?:audio|video)-.+-.*$").arg(QRegularExpression::escape(downloadPrefix())),
        QRegularExpression::DotMatchesEverythingOption);
}

// This run's download folder: made on first use (by a pool thread, as a rule), removed at exit.
std::mutex downloadFolderMutex;
std::unique_ptr<DownloadFolder> runDownloads;

// The folder's path, made now if need be; empty with the system's reason when it cannot be.
QString runDownloadFolder(QString *reason)
{
    std::lock_guard lock(downloadFolderMutex);
    if (!runDownloads) {
        runDownloads = DownloadFolder::create(QDir::tempPath(), downloadFolderPrefix(), reason);
    }
    return runDownloads ? runDownloads->path() : QString();
}

// Hands a download's body to its writer, and holds the transfer while the writer is far behind.
CurlSession::BodySink bodyWriter(const std::shared_ptr<StreamedFileWriter> &writer)
{
    return [stream = std::weak_ptr<StreamedFileWriter>(writer)](QByteArrayView piece) {
        const auto writing = stream.lock();
        if (!writing) {
            return true;
        }
        if (writing->backlog() > downloadReadAheadBytes) {
            return false;
        }
        writing->append(piece.toByteArray());
        return true;
    };
}

// Where the download named `name` goes; throws FileError. Blocks on the file system.
QString downloadTarget(const QString &name)
{
    QString reason;
    const QString folder = runDownloadFolder(&reason);
    if (folder.isEmpty()) {
        throw FileError(readableFileError(QStringLiteral("无法保存文件“%1”：%2"),
                                          QDir(QDir::tempPath()).filePath(name), reason));
    }
    const QString target = QDir(folder).filePath(name);
    // The name has no separators, but the target must never leave the folder.
    if (QFileInfo(target).dir().canonicalPath() != QDir(folder).canonicalPath()) {
        throw FileError(readableFileError(QStringLiteral("无法保存文件“%1”：%2"), target,
                                          QStringLiteral("位置不在临时文件夹中")));
    }
    return target;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Configuration

QString APIClient::productionHost()
{
    return QStringLiteral("api.quillory.example");
}

bool APIClient::blocksProductionSetting(const std::optional<QByteArray> &value)
{
    return value && *value == QByteArrayLiteral("1");
}

APIClient::BaseURLSetting APIClient::baseURLSetting(const std::optional<QString> &value)
{
    if (!value) {
        return {QUrl(productionBaseURL), {}};
    }
    const QUrl url(*value, QUrl::StrictMode);
    if (!isUsableBaseURL(url)) {
        return {url, configurationMessage(*value)};
    }
    return {url, {}};
}

APIClient &APIClient::shared()
{
    static APIClient *const instance = [] {
        const BaseURLSetting base =
            baseURLSetting(qEnvironmentVariableIsSet("TAVIK_API_BASE_URL")
                               ? std::optional<QString>(qEnvironmentVariable("TAVIK_API_BASE_URL"))
                               : std::nullopt);
        const bool blocks =
            blocksProductionSetting(qEnvironmentVariableIsSet("TAVIK_BLOCK_PRODUCTION")
                                        ? std::optional<QByteArray>(qgetenv("TAVIK_BLOCK_PRODUCTION"))
                                        : std::nullopt);
        auto store = std::make_shared<KeychainTokenStore>(QString(KeychainTokenStore::defaultService),
                                                          QString(KeychainTokenStore::defaultAccount));
        auto *client = new APIClient(base.url, std::move(store), blocks, QCoreApplication::instance());
        if (!base.error.isEmpty()) {
            client->m_configurationError = base.error;
        }
        return client;
    }();
    return *instance;
}

APIClient::APIClient(QUrl baseURL, std::shared_ptr<AccessTokenStoring> tokenStore, bool blocksProduction,
                     QObject *parent)
    : QObject(parent)
    , m_baseURL(std::move(baseURL))
    , m_tokenStore(std::move(tokenStore))
    , m_blocksProduction(blocksProduction)
    , m_network(new QNetworkAccessManager(this))
    , m_downloads(new CurlSession(this))
{
    if (!isUsableBaseURL(m_baseURL)) {
        m_configurationError = configurationMessage(m_baseURL.toString());
    }
}

QUrl APIClient::baseURL() const
{
    return m_baseURL;
}

bool APIClient::blocksProduction() const
{
    return m_blocksProduction;
}

AccessTokenStoring &APIClient::tokenStore() const
{
    return *m_tokenStore;
}

QNetworkAccessManager &APIClient::network()
{
    return *m_network;
}

QString APIClient::configurationError() const
{
    return m_configurationError;
}

void APIClient::setUploadSizeLimit(qint64 bytes)
{
    m_uploadSizeLimit = bytes;
}

// ---------------------------------------------------------------------------------------------
// URLs and the guard

QString APIClient::encodeQueryValue(const QString &value)
{
    // Unreserved characters always stay; of the rest of the query set, keep what cannot change
    // the query's structure.
    static const QByteArray kept = QByteArrayLiteral("!$'()*,;:@/?");
    return QString::fromLatin1(value.toUtf8().toPercentEncoding(kept));
}

std::optional<QUrl> APIClient::requestURL(const QString &path) const
{
    if (!m_configurationError.isEmpty()) {
        return std::nullopt;
    }
    QUrl url;
    if (path.startsWith(QLatin1Char('/'))) {
        // Built by hand so the query reaches the wire exactly as the caller encoded it.
        const QByteArray origin =
            m_baseURL.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toEncoded();
        url = QUrl::fromEncoded(origin + path.toUtf8(), QUrl::StrictMode);
    } else {
        const QUrl reference = QUrl::fromEncoded(path.toUtf8(), QUrl::StrictMode);
        if (!reference.isValid()) {
            return std::nullopt;
        }
        url = m_baseURL.resolved(reference);
    }
    if (!url.isValid() || url.host().isEmpty()) {
        return std::nullopt;
    }
    return url;
}

std::optional<QUrl> APIClient::assetURL(const QString &query) const
{
    if (!m_configurationError.isEmpty()) {
        return std::nullopt;
    }
    QByteArray path = m_baseURL.path(QUrl::FullyEncoded).toUtf8();
    while (path.endsWith('/')) {
        path.chop(1);
    }
    path += "/api/assets";
    QByteArray encoded =
        m_baseURL.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toEncoded() + path;
    if (!query.isEmpty()) {
        encoded += '?' + query.toUtf8();
    }
    const QUrl url = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return std::nullopt;
    }
    return url;
}

void APIClient::assertAllowed(bool blocksProduction, const QUrl &url)
{
    if (!blocksProduction || url.host().isEmpty()) {
        return;
    }
    if (url.host().toLower() == productionHost()) {
        throw APIClientError::server(QStringLiteral("本地验收已阻止连接正式环境"));
    }
}

QString APIClient::lotteryPath(const QString &projectID, const QString &itemID) const
{
    return QStringLiteral("/api/lottery?projectId=") + encodeQueryValue(projectID) +
           QStringLiteral("&itemId=") + encodeQueryValue(itemID);
}

APIClient::RequestContext APIClient::context()
{
    return RequestContext{m_tokenStore, m_network, m_downloads, m_blocksProduction, this};
}

void APIClient::announceSent(const RequestContext &ctx)
{
    // Announced from the event loop, after Qt's own queued start of the request: a request
    // without a body then travels on the network thread alone.
    if (ctx.client) {
        QMetaObject::invokeMethod(ctx.client, &APIClient::requestSent, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------------------------------------
// The request routine

QCoro::Task<QByteArray> APIClient::sendForBody(QString path, QByteArray method,
                                               std::optional<QByteArray> body, bool authenticated)
{
    const std::optional<QUrl> url = requestURL(path);
    if (!url) {
        throw APIClientError::invalidResponse();
    }
    const RequestContext ctx = context();

    QNetworkRequest request(*url);
    request.setTransferTimeout(requestTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Accept", "application/json");
    bool tokenRead = false;
    if (authenticated) {
        tokenRead = setBearer(request, co_await ctx.tokenStore->read());
    }
    if (body) {
        request.setRawHeader("Content-Type", "application/json");
    }
    assertAllowed(ctx.blocksProduction, *url);

    QNetworkAccessManager &network = usable(ctx.network);
    // GET and DELETE go without a body; the other methods always carry one (maybe empty) so the
    // request has a Content-Length, which servers demand of them.
    const bool bodiless = !body && (method == "GET" || method == "DELETE" || method == "HEAD");
    ReplyHandle reply(bodiless ? network.sendCustomRequest(request, method, static_cast<QIODevice *>(nullptr))
                               : network.sendCustomRequest(request, method, body.value_or(QByteArray())));
    announceSent(ctx);
    const Answer answer = co_await finish(std::move(reply));
    if (answer.succeeded()) {
        co_return answer.body;
    }
    if (answer.status == 401 && tokenRead) {
        co_await clearIgnoringFailure(ctx.tokenStore);
    }
    throw APIClientError::server(
        serviceErrorText(answer.body).value_or(QStringLiteral("请求失败（%1）").arg(answer.status)));
}

QCoro::Task<> APIClient::sendEmpty(QString path, QByteArray method, QByteArray body)
{
    co_await send<EmptyResponse>(std::move(path), std::move(method), std::move(body), true);
}

// ---------------------------------------------------------------------------------------------
// Endpoint catalogue

namespace {

QString projectQuery(const QString &base, const QString &projectID)
{
    return base + QStringLiteral("?projectId=") + APIClient::encodeQueryValue(projectID);
}

const QByteArray methodGet = QByteArrayLiteral("GET");
const QByteArray methodPost = QByteArrayLiteral("POST");
const QByteArray methodPut = QByteArrayLiteral("PUT");
const QByteArray methodPatch = QByteArrayLiteral("PATCH");
const QByteArray methodDelete = QByteArrayLiteral("DELETE");

} // namespace

QCoro::Task<> APIClient::requestCode(QString phone)
{
    const QByteArray body = json::serialize(json::Writer().put(L("phone"), phone).object());
    co_await send<EmptyResponse>(QStringLiteral("/api/auth/request-code"), methodPost, body, false);
}

QCoro::Task<> APIClient::login(QString phone, QString code, QString name)
{
    const std::shared_ptr<AccessTokenStoring> store = m_tokenStore;
    const QByteArray body = json::serialize(
        json::Writer().put(L("phone"), phone).put(L("code"), code).put(L("name"), name).object());
    const LoginResponse response =
        co_await send<LoginResponse>(QStringLiteral("/api/auth/verify-code"), methodPost, body, false);
    if (!isHeaderSafeToken(response.accessToken)) {
        throw APIClientError::invalidResponse();
    }
    co_await store->save(response.accessToken);
}

QCoro::Task<SessionResponse> APIClient::session()
{
    return send<SessionResponse>(QStringLiteral("/api/session"), methodGet, std::nullopt, true);
}

QCoro::Task<NicknameMutationResponse> APIClient::updateNickname(QString nickname)
{
    const QByteArray body = json::serialize(json::Writer().put(L("nickname"), nickname).object());
    return send<NicknameMutationResponse>(QStringLiteral("/api/session"), methodPatch, body, true);
}

QCoro::Task<ProjectsResponse> APIClient::projects()
{
    return send<ProjectsResponse>(QStringLiteral("/api/projects"), methodGet, std::nullopt, true);
}

QCoro::Task<CreateProjectResponse> APIClient::createProject(QString name, QString eventDate,
                                                            QString startTime)
{
    const CreateProjectPayload payload{name, eventDate, startTime};
    return send<CreateProjectResponse>(QStringLiteral("/api/projects"), methodPost, json::encode(payload),
                                       true);
}

QCoro::Task<RundownItemMutationResponse> APIClient::addRundownItem(QString projectID)
{
    return send<RundownItemMutationResponse>(projectQuery(QStringLiteral("/api/rundown-items"), projectID),
                                             methodPost, std::nullopt, true);
}

QCoro::Task<RundownImportPreview> APIClient::previewRundownImport(QString projectID, QByteArray content)
{
    return send<RundownImportPreview>(projectQuery(QStringLiteral("/api/rundown-import"), projectID),
                                      methodPost, json::encode(RundownImportPayload::fromContent(content)),
                                      true);
}

QCoro::Task<> APIClient::replaceRundown(QString projectID, QList<RundownItem> items)
{
    return sendEmpty(projectQuery(QStringLiteral("/api/project"), projectID), methodPut,
                     json::encode(RundownReplacePayload{std::move(items)}));
}

QCoro::Task<RundownExportResponse> APIClient::exportRundown(QString projectID)
{
    return send<RundownExportResponse>(projectQuery(QStringLiteral("/api/rundown-export"), projectID),
                                       methodGet, std::nullopt, true);
}

QCoro::Task<ProjectDetailResponse> APIClient::project(QString id)
{
    return send<ProjectDetailResponse>(projectQuery(QStringLiteral("/api/project"), id), methodGet,
                                       std::nullopt, true);
}

QCoro::Task<ProjectDetailReader::Reading>
APIClient::project(QString id, std::shared_ptr<const ProjectDetailReader> reader)
{
    const QByteArray answer =
        co_await sendForBody(projectQuery(QStringLiteral("/api/project"), id), methodGet, std::nullopt, true);
    co_return reader->read(answer);
}

QCoro::Task<WorkItemsSnapshot> APIClient::workItems(QString projectID)
{
    return send<WorkItemsSnapshot>(projectQuery(QStringLiteral("/api/work-items"), projectID), methodGet,
                                   std::nullopt, true);
}

QCoro::Task<WorkItemMutationResponse> APIClient::createWorkItem(QString projectID, WorkItemKind kind,
                                                                QString itemID, QString assigneeMemberID,
                                                                QString title, QString description,
                                                                WorkItemPriority priority)
{
    const WorkItemCreatePayload payload{kind, itemID, assigneeMemberID, title, description, priority, true};
    return send<WorkItemMutationResponse>(projectQuery(QStringLiteral("/api/work-items"), projectID),
                                          methodPost, json::encode(payload), true);
}

QCoro::Task<WorkItemMutationResponse> APIClient::updateWorkItem(QString projectID, QString id,
                                                                WorkItemPatch patch)
{
    const WorkItemMutationPayload payload{id, patch};
    return send<WorkItemMutationResponse>(projectQuery(QStringLiteral("/api/work-items"), projectID),
                                          methodPatch, json::encode(payload), true);
}

QCoro::Task<LiveControlResponse> APIClient::liveAction(QString projectID, QString itemID, QString action)
{
    const LiveActionPayload payload{action, itemID};
    return send<LiveControlResponse>(projectQuery(QStringLiteral("/api/project"), projectID), methodPatch,
                                     json::encode(payload), true);
}

QCoro::Task<LiveControlResponse> APIClient::resetLive(QString projectID)
{
    return send<LiveControlResponse>(projectQuery(QStringLiteral("/api/project"), projectID), methodPatch,
                                     json::encode(ResetLivePayload{true}), true);
}

QCoro::Task<ProjectMutationResponse> APIClient::freezeFlow(QString projectID, bool frozen)
{
    return send<ProjectMutationResponse>(projectQuery(QStringLiteral("/api/project"), projectID), methodPatch,
                                         json::encode(FreezeFlowPayload{frozen}), true);
}

QCoro::Task<> APIClient::updateItem(QString projectID, QString itemID, RundownItemPatch patch)
{
    return sendEmpty(projectQuery(QStringLiteral("/api/project"), projectID), methodPatch,
                     json::encode(ItemMutationPayload{.id = itemID, .item = patch}));
}

QCoro::Task<> APIClient::reorderItems(QString projectID, QStringList itemIDs)
{
    return sendEmpty(projectQuery(QStringLiteral("/api/project"), projectID), methodPatch,
                     json::encode(ItemOrderPayload::fromItemIDs(itemIDs)));
}

QCoro::Task<PerformerGroupMutationResponse> APIClient::decidePerformerGroup(QString projectID, QString name,
                                                                            QString decision)
{
    return send<PerformerGroupMutationResponse>(
        projectQuery(QStringLiteral("/api/groups"), projectID), methodPatch,
        json::encode(GroupActionPayload::decide(name, decision)), true);
}

QCoro::Task<PerformerGroupMutationResponse>
APIClient::updatePerformerGroupMember(QString projectID, QString groupID, QString memberID, bool add)
{
    return send<PerformerGroupMutationResponse>(
        projectQuery(QStringLiteral("/api/groups"), projectID), methodPatch,
        json::encode(GroupActionPayload::memberChange(groupID, memberID, add)), true);
}

QCoro::Task<CheckInResponse> APIClient::checkIn(QString projectID, QString memberID, bool checkedIn)
{
    return send<CheckInResponse>(projectQuery(QStringLiteral("/api/checkin"), projectID), methodPatch,
                                 json::encode(CheckInPayload{.memberId = memberID, .checkedIn = checkedIn}),
                                 true);
}

QCoro::Task<> APIClient::updateMember(QString projectID, ProjectMember member, QString name, QString role,
                                      QString detail, QString passAreas)
{
    const MemberUpdatePayload payload{member.id, name, role, detail, passAreas};
    return sendEmpty(projectQuery(QStringLiteral("/api/members"), projectID), methodPatch,
                     json::encode(payload));
}

QCoro::Task<InvitationResponse> APIClient::createInvitation(QString projectID, QString name, QString role,
                                                            std::optional<QString> phone,
                                                            std::optional<QString> itemID,
                                                            std::optional<QString> field,
                                                            std::optional<QString> groupID)
{
    const InvitationCreatePayload payload{projectID, name, role, phone, itemID, field, groupID};
    return send<InvitationResponse>(QStringLiteral("/api/invitations"), methodPost, json::encode(payload),
                                    true);
}

QCoro::Task<> APIClient::sendInvitationSMS(QString token, QString phone)
{
    InvitationSMSPayload payload;
    payload.token = token;
    payload.phone = phone;
    return sendEmpty(QStringLiteral("/api/invitations"), methodPost, json::encode(payload));
}

QCoro::Task<LotteryState> APIClient::lottery(QString projectID, QString itemID)
{
    return send<LotteryState>(lotteryPath(projectID, itemID), methodGet, std::nullopt, true);
}

namespace {

LotteryActionPayload lotteryCommand(const QString &action)
{
    LotteryActionPayload payload;
    payload.action = action;
    return payload;
}

} // namespace

QCoro::Task<LotteryMutationResponse> APIClient::saveLottery(QString projectID, QString itemID, QString mode,
                                                            QList<LotteryPrize> prizes)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("save"));
    payload.mode = mode;
    payload.prizes = std::move(prizes);
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<LotteryMutationResponse> APIClient::setLotteryScreen(QString projectID, QString itemID,
                                                                 QString mode)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("screen"));
    payload.mode = mode;
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<LotteryMutationResponse> APIClient::setLotteryMode(QString projectID, QString itemID,
                                                               QString mode)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("mode"));
    payload.mode = mode;
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<LotteryMutationResponse> APIClient::setLotteryEntry(QString projectID, QString itemID, bool open)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("entry"));
    payload.open = open;
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<LotteryMutationResponse> APIClient::startLotteryDraw(QString projectID, QString itemID,
                                                                 QString prizeID)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("drawStart"));
    payload.prizeId = prizeID;
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<LotteryMutationResponse> APIClient::stopLotteryDraw(QString projectID, QString itemID)
{
    return lotteryAction(projectID, itemID, lotteryCommand(QStringLiteral("drawStop")));
}

QCoro::Task<LotteryMutationResponse> APIClient::resetLotteryRehearsal(QString projectID, QString itemID)
{
    return lotteryAction(projectID, itemID, lotteryCommand(QStringLiteral("resetRehearsal")));
}

QCoro::Task<LotteryMutationResponse> APIClient::markLotteryNoShow(QString projectID, QString itemID,
                                                                  QString winID)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("noShow"));
    payload.winId = winID;
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<LotteryMutationResponse> APIClient::claimLottery(QString projectID, QString itemID, QString phone)
{
    LotteryActionPayload payload = lotteryCommand(QStringLiteral("claim"));
    payload.phone = phone;
    return lotteryAction(projectID, itemID, std::move(payload));
}

QCoro::Task<AdminOverviewResponse> APIClient::adminOverview()
{
    return send<AdminOverviewResponse>(QStringLiteral("/api/admin?view=overview"), methodGet, std::nullopt,
                                       true);
}

QCoro::Task<AdminUsersResponse> APIClient::adminUsers()
{
    return send<AdminUsersResponse>(QStringLiteral("/api/admin?view=users"), methodGet, std::nullopt, true);
}

QCoro::Task<AdminProjectsResponse> APIClient::adminProjects()
{
    return send<AdminProjectsResponse>(QStringLiteral("/api/admin?view=projects"), methodGet, std::nullopt,
                                       true);
}

QCoro::Task<AdminProjectDetailResponse> APIClient::adminProject(QString id)
{
    return send<AdminProjectDetailResponse>(
        QStringLiteral("/api/admin?view=project&id=") + encodeQueryValue(id), methodGet, std::nullopt, true);
}

QCoro::Task<AdminAssetsResponse> APIClient::adminAssets()
{
    return send<AdminAssetsResponse>(QStringLiteral("/api/admin?view=assets"), methodGet, std::nullopt, true);
}

QCoro::Task<AdminLogsResponse> APIClient::adminLogs()
{
    return send<AdminLogsResponse>(QStringLiteral("/api/admin?view=logs"), methodGet, std::nullopt, true);
}

namespace {

AdminActionPayload adminAction(const QString &action, const QString &id)
{
    AdminActionPayload payload;
    payload.action = action;
    payload.id = id;
    return payload;
}

} // namespace

QCoro::Task<> APIClient::setAdminAccountStatus(QString id, QString status)
{
    AdminActionPayload payload = adminAction(QStringLiteral("accountStatus"), id);
    payload.status = status;
    return sendEmpty(QStringLiteral("/api/admin"), methodPatch, json::encode(payload));
}

QCoro::Task<> APIClient::setAdminProjectStatus(QString id, QString status)
{
    AdminActionPayload payload = adminAction(QStringLiteral("projectStatus"), id);
    payload.status = status;
    return sendEmpty(QStringLiteral("/api/admin"), methodPatch, json::encode(payload));
}

QCoro::Task<> APIClient::transferAdminProject(QString id, QString targetAccountID)
{
    AdminActionPayload payload = adminAction(QStringLiteral("transferProject"), id);
    payload.targetAccountId = targetAccountID;
    return sendEmpty(QStringLiteral("/api/admin"), methodPatch, json::encode(payload));
}

QCoro::Task<> APIClient::archiveAdminAsset(QString id)
{
    return sendEmpty(QStringLiteral("/api/admin"), methodPatch,
                     json::encode(adminAction(QStringLiteral("archiveAsset"), id)));
}

QCoro::Task<> APIClient::restoreAdminAsset(QString id)
{
    return sendEmpty(QStringLiteral("/api/admin"), methodPatch,
                     json::encode(adminAction(QStringLiteral("restoreAsset"), id)));
}

QCoro::Task<LotteryMutationResponse> APIClient::lotteryAction(QString projectID, QString itemID,
                                                              LotteryActionPayload payload)
{
    return send<LotteryMutationResponse>(lotteryPath(projectID, itemID), methodPost, json::encode(payload),
                                         true);
}

QCoro::Task<> APIClient::confirmNotice(QString projectID)
{
    return sendEmpty(projectQuery(QStringLiteral("/api/operations"), projectID), methodPatch,
                     json::encode(OperationActionPayload{}));
}

QCoro::Task<OperationsMutationResponse> APIClient::saveOperations(QString projectID,
                                                                  ProjectOperations operations)
{
    return send<OperationsMutationResponse>(
        projectQuery(QStringLiteral("/api/operations"), projectID), methodPatch,
        json::encode(SaveOperationsPayload::fromOperations(operations)), true);
}

QCoro::Task<> APIClient::saveMakeupShift(QString projectID, MakeupShift shift)
{
    return sendEmpty(projectQuery(QStringLiteral("/api/operations"), projectID), methodPatch,
                     json::encode(MakeupShiftPayload::fromShift(shift)));
}

QCoro::Task<> APIClient::saveMakeup(QString projectID, MakeupAssignment assignment)
{
    return sendEmpty(projectQuery(QStringLiteral("/api/operations"), projectID), methodPatch,
                     json::encode(MakeupAssignmentPayload::fromAssignment(assignment)));
}

QCoro::Task<> APIClient::logout()
{
    try {
        co_await send<EmptyResponse>(QStringLiteral("/api/session"), methodDelete, std::nullopt, true);
    } catch (...) {
        // Signing out goes on locally whatever the service says.
    }
}

// ---------------------------------------------------------------------------------------------
// Assets

QString APIClient::assetFileName(const QString &projectID, const QString &itemID, const QString &category,
                                 const QString &assetID, const QString &filename)
{
    const QChar dash = QLatin1Char('-');
    return downloadPrefix() + replaceSeparators(projectID) + dash + replaceSeparators(itemID) + dash +
           replaceSeparators(category) + dash + replaceSeparators(assetID) + dash +
           replaceSeparators(filename);
}

QString APIClient::downloadFolder()
{
    QString reason;
    const QString folder = runDownloadFolder(&reason);
    if (folder.isEmpty()) {
        throw FileError(readableFileError(QStringLiteral("无法保存文件“%1”：%2"), QDir::tempPath(), reason));
    }
    return folder;
}

bool APIClient::isDownloadPath(const QString &path)
{
    QString folder;
    {
        std::lock_guard lock(downloadFolderMutex);
        if (!runDownloads) {
            return false;
        }
        folder = runDownloads->path();
    }
    const QFileInfo info(path);
    return downloadNamePattern().match(info.fileName()).hasMatch() &&
           info.dir().canonicalPath() == QDir(folder).canonicalPath();
}

void APIClient::removeStaleDownloads(const QString &folder)
{
    // Files this run writes from now on are newer.
    const std::time_t started = std::time(nullptr);
    // Earlier versions wrote right into the temporary folder.
    removeStaleParts(folder, downloadPrefix());
    removeOwnFiles(folder, downloadNamePattern(), started);
    DownloadFolder::removeStale(folder, downloadFolderPrefix());
}

QCoro::Task<QString> APIClient::downloadAsset(QString projectID, QString itemID, QString category,
                                              QString assetID, QString filename)
{
    const std::optional<QUrl> url =
        assetURL(QString::fromUtf8(utf8Query({{L("projectId"), projectID},
                                              {L("itemId"), itemID},
                                              {L("category"), category},
                                              {L("inline"), QStringLiteral("1")}})));
    if (!url) {
        throw APIClientError::invalidResponse();
    }
    const RequestContext ctx = context();

    QNetworkRequest request(*url);
    request.setTransferTimeout(downloadTimeoutMs);
    const bool tokenRead = setBearer(request, co_await ctx.tokenStore->read());
    assertAllowed(ctx.blocksProduction, *url);

    // The body goes to disk as it arrives, on pool threads: a large video is complete soon after
    // its last byte, and the interface never holds it whole nor waits on the disk.
    const auto writer = std::make_shared<StreamedFileWriter>(
        [name = assetFileName(projectID, itemID, category, assetID, filename)] {
            return downloadTarget(name);
        });
    // libcurl, not Qt: Qt 6.4 takes a body cut short by a closed connection for a whole one.
    const CurlSession::Answer answer =
        co_await usable(ctx.downloads).get(request, &usable(ctx.network), bodyWriter(writer));
    requireAnswer(answer.status, answer.error, answer.errorString);
    if (!isSuccess(answer.status)) {
        if (answer.status == 401 && tokenRead) {
            co_await clearIgnoringFailure(ctx.tokenStore);
        }
        throw APIClientError::server(QStringLiteral("素材读取失败（%1）").arg(answer.status));
    }
    // A body in a coding nobody asked for is no file.
    throwIfFailed(answer.error, answer.errorString);
    auto stored = writer->finish();
    const StreamedFileWriter::Outcome outcome = co_await stored;
    if (!outcome.error.isEmpty()) {
        throw FileError(outcome.error);
    }
    co_return outcome.path;
}

QCoro::Task<AssetUploadResponse> APIClient::uploadAsset(QString projectID, QString itemID, QString category,
                                                        QString filePath, qint64 durationSeconds)
{
    const std::optional<QUrl> url = assetURL({});
    if (!url) {
        throw APIClientError::invalidResponse();
    }
    const RequestContext ctx = context();

    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw FileError(
            readableFileError(QStringLiteral("无法读取文件“%1”：%2"), filePath, file.errorString()));
    }
    // Measured before reading, so an oversized file is never loaded.
    const qint64 size = file.size();
    if (size <= 0 || size > m_uploadSizeLimit) {
        throw APIClientError::server(QStringLiteral("文件为空或超过 200MB"));
    }
    const QByteArray content = file.read(size);
    if (file.error() != QFileDevice::NoError) {
        throw FileError(
            readableFileError(QStringLiteral("无法读取文件“%1”：%2"), filePath, file.errorString()));
    }
    if (content.isEmpty()) {
        throw APIClientError::server(QStringLiteral("文件为空或超过 200MB"));
    }
    // A file that shrank after it was measured, or one whose size the system only estimates.
    if (content.size() != size) {
        throw FileError(readableFileError(
            QStringLiteral("无法读取文件“%1”：%2"), filePath,
            QStringLiteral("只读到 %1 字节，文件大小为 %2 字节").arg(content.size()).arg(size)));
    }
    file.close();

    const QByteArray boundary =
        "TavikBoundary-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toLatin1();
    const QByteArray crlf = "\r\n";
    QByteArray body;
    body.reserve(content.size() + 1024);
    const auto field = [&](const char *name, const QString &value) {
        body += "--" + boundary + crlf + "Content-Disposition: form-data; name=\"" + name + '"' + crlf +
                crlf + value.toUtf8() + crlf;
    };
    field("projectId", projectID);
    field("itemId", itemID);
    field("category", category);
    field("durationSeconds", QString::number(std::max<qint64>(durationSeconds, 0)));
    const QByteArray mediaType = category == QLatin1String("audio") ? "audio/*" : "video/*";
    body += "--" + boundary + crlf + "Content-Disposition: form-data; name=\"file\"; filename=\"" +
            headerSafeFileName(QFileInfo(filePath).fileName()) + '"' + crlf + "Content-Type: " + mediaType +
            crlf + crlf;
    body += content;
    body += crlf + "--" + boundary + "--" + crlf;

    QNetworkRequest request(*url);
    request.setTransferTimeout(uploadTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary);
    (void)setBearer(request, co_await ctx.tokenStore->read());
    assertAllowed(ctx.blocksProduction, *url);

    ReplyHandle reply(usable(ctx.network).post(request, body));
    const Answer answer = co_await finish(std::move(reply));
    if (answer.succeeded()) {
        co_return json::decode<AssetUploadResponse>(answer.body);
    }
    throw APIClientError::server(
        serviceErrorText(answer.body).value_or(QStringLiteral("素材上传失败（%1）").arg(answer.status)));
}
