#include "FakeService.h"

#include "FakeEndpoints.h"

#include <QJsonDocument>

#include <httplib.h>

#include <chrono>

namespace {

// httplib parses multipart bodies itself and then leaves Request::body empty; the original
// content type waits here while the body is read as plain bytes.
const char *const stashedContentType = "X-Fake-Service-Content-Type";

// Bodies from this size on (media, as a rule) are sent from the service's own bytes.
constexpr qsizetype sentFromItsOwnBytes = 1024 * 1024;

// Connection facts httplib files among the request headers.
bool isServerNote(const std::string &name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

QByteArray toBytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

void answer(httplib::Response &res, const FakeReply &reply)
{
    res.status = reply.status;
    if (reply.body.size() >= sentFromItsOwnBytes) {
        // Copied into the response first, a 190 MB video's first byte left 90 ms late.
        res.set_content_provider(static_cast<size_t>(reply.body.size()), reply.contentType.toStdString(),
                                 [body = reply.body](size_t offset, size_t length, httplib::DataSink &sink) {
                                     return sink.write(body.constData() + offset, length);
                                 });
    } else {
        res.body.assign(reply.body.constData(), static_cast<size_t>(reply.body.size()));
        res.set_header("Content-Type", reply.contentType.toStdString());
    }
    for (const auto &[name, value] : reply.headers) {
        res.set_header(name.toStdString(), value.toStdString());
    }
}

} // namespace

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    return std::any_of(headers.cbegin(), headers.cend(),
                       [&](const auto &h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
}

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) {
            return h.second;
        }
    }
    return {};
}

QString RecordedRequest::queryItem(const QString &name) const
{
    return FakeQuery::item(query, name).value_or(QString());
}

bool RecordedRequest::hasQueryItem(const QString &name) const
{
    return FakeQuery::item(query, name).has_value();
}

QList<QByteArray> RecordedRequest::queryItemNames() const
{
    return FakeQuery::names(query);
}

QJsonObject RecordedRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

FakeService::FakeService() = default;

FakeService::~FakeService()
{
    stop();
}

bool FakeService::start(int port)
{
    if (m_server) {
        return false;
    }
    auto server = std::make_unique<httplib::Server>();
    // httplib's default adds SO_REUSEPORT, which lets a second service bind a port in use and take
    // half of its connections; SO_REUSEADDR alone still allows a quick restart on the same port.
    server->set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    // One request per connection: no idle keep-alive connection can hold a worker at stop().
    server->set_keep_alive_max_count(1);
    server->set_pre_routing_handler([](const httplib::Request &req, httplib::Response &) {
        // The request object is not const where httplib owns it; this is the only hook that runs
        // before the body is read.
        auto &mutableReq = const_cast<httplib::Request &>(req);
        const auto it = mutableReq.headers.find("Content-Type");
        if (it != mutableReq.headers.end() && it->second.rfind("multipart/form-data", 0) == 0) {
            const std::string original = it->second;
            it->second = "application/octet-stream";
            mutableReq.headers.emplace(stashedContentType, original);
        }
        // Answers go uncompressed: httplib's brotli runs at top quality and takes seconds on
        // the administration lists of a large platform, which nothing on localhost needs.
        mutableReq.headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto handler = [this](const httplib::Request &req, httplib::Response &res) { handle(req, res); };
    // An upload to import is read only for someone who may import: anyone else's costs nothing.
    server->Post("/api/rundown-import",
                 [this](const httplib::Request &req, httplib::Response &res,
                        const httplib::ContentReader &reader) { handle(req, res, &reader); });
    server->Get(".*", handler);
    server->Post(".*", handler);
    server->Put(".*", handler);
    server->Patch(".*", handler);
    server->Delete(".*", handler);

    int bound = port;
    if (port == 0) {
        bound = server->bind_to_any_port("127.0.0.1");
    } else if (!server->bind_to_port("127.0.0.1", port)) {
        bound = -1;
    }
    if (bound <= 0) {
        return false;
    }

    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    m_port = bound;
    m_server = std::move(server);
    httplib::Server *raw = m_server.get();
    m_thread = std::thread([raw] { raw->listen_after_bind(); });
    // stop() is a no-op on a server that has not started listening yet.
    while (!m_server->is_running()) {
        std::this_thread::yield();
    }
    return true;
}

void FakeService::stop()
{
    if (!m_server) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_server.reset();
    m_port = 0;
}

bool FakeService::isRunning() const
{
    return m_server && m_server->is_running();
}

int FakeService::port() const
{
    return m_port;
}

QString FakeService::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QList<RecordedRequest> FakeService::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

QList<RecordedRequest> FakeService::requests(const QByteArray &path, const QByteArray &method) const
{
    std::lock_guard lock(m_mutex);
    QList<RecordedRequest> out;
    for (const RecordedRequest &r : m_requests) {
        if (r.path == path && (method.isEmpty() || r.method == method)) {
            out.append(r);
        }
    }
    return out;
}

RecordedRequest FakeService::lastRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.isEmpty() ? RecordedRequest{} : m_requests.last();
}

int FakeService::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_requests.size());
}

void FakeService::clearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

void FakeService::script(const QByteArray &method, const QByteArray &path, const Script &script)
{
    std::lock_guard lock(m_mutex);
    const QPair<QByteArray, QByteArray> key{method, path};
    m_scripts.removeIf([&](const auto &entry) { return entry.first == key; });
    if (script.times != 0) {
        m_scripts.append({key, script});
    }
}

void FakeService::clearScripts()
{
    std::lock_guard lock(m_mutex);
    m_scripts.clear();
}

void FakeService::releaseHangs()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_releaseGeneration;
    }
    m_released.notify_all();
}

int FakeService::hangingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_hanging;
}

void FakeService::setWhileWritingPreview(std::function<void()> hook)
{
    std::lock_guard lock(m_mutex);
    m_whileWritingPreview = std::move(hook);
}

QString FakeService::addAccount(const QString &phone, const QString &name, bool superAdmin)
{
    std::lock_guard lock(m_mutex);
    return m_platform.addAccount(phone, name, superAdmin);
}

QString FakeService::tokenFor(const QString &accountId)
{
    std::lock_guard lock(m_mutex);
    return m_platform.issueToken(accountId);
}

QString FakeService::signIn(const QString &phone)
{
    std::lock_guard lock(m_mutex);
    const FakeAccount *account = m_platform.accountByPhone(phone);
    const QString accountId =
        account ? account->account.id
                : m_platform.addAccount(phone, QStringLiteral("用户%1").arg(phone.right(4)));
    return m_platform.issueToken(accountId);
}

QString FakeService::addProject(const QString &name, const QString &ownerAccountId, const QString &ownerRole)
{
    std::lock_guard lock(m_mutex);
    return m_platform.addProject(name, ownerAccountId, ownerRole);
}

QString FakeService::addMember(const QString &projectId, const QString &name, const QString &role,
                               const QString &accountId)
{
    std::lock_guard lock(m_mutex);
    return m_platform.addMember(projectId, name, role, accountId);
}

QString FakeService::addItem(const QString &projectId, const QString &title, const QString &type)
{
    std::lock_guard lock(m_mutex);
    return m_platform.addItem(projectId, title, type);
}

DemoShow FakeService::seedDemoShow()
{
    std::lock_guard lock(m_mutex);
    return ::seedDemoShow(m_platform);
}

bool FakeService::waitScripted(const Script &script)
{
    std::unique_lock lock(m_mutex);
    if (script.hang) {
        const quint64 generation = m_releaseGeneration;
        ++m_hanging;
        m_released.wait(lock, [&] { return m_stopping || m_releaseGeneration != generation; });
        --m_hanging;
    } else if (script.delayMs > 0) {
        m_released.wait_for(lock, std::chrono::milliseconds(script.delayMs), [&] { return m_stopping; });
    }
    return !m_stopping;
}

bool FakeService::isScripted(const QByteArray &method, const QByteArray &path) const
{
    return std::any_of(m_scripts.cbegin(), m_scripts.cend(), [&](const auto &entry) {
        return entry.first.first == method && entry.first.second == path;
    });
}

void FakeService::handle(const httplib::Request &req, httplib::Response &res,
                         const httplib::ContentReader *unread)
{
    RecordedRequest record;
    record.receivedAt = std::chrono::steady_clock::now();
    record.method = toBytes(req.method);
    record.target = toBytes(req.target);
    const qsizetype question = record.target.indexOf('?');
    record.path = question < 0 ? record.target : record.target.left(question);
    record.query = question < 0 ? QByteArray() : record.target.mid(question + 1);
    const auto stashed = req.headers.find(stashedContentType);
    for (const auto &[name, value] : req.headers) {
        if (isServerNote(name) || name == stashedContentType) {
            continue;
        }
        const bool restore =
            stashed != req.headers.end() && toBytes(name).compare("Content-Type", Qt::CaseInsensitive) == 0;
        record.headers.append({toBytes(name), toBytes(restore ? stashed->second : value)});
    }
    if (unread) {
        std::optional<FakeReply> refused;
        {
            std::lock_guard lock(m_mutex);
            if (!isScripted(record.method, record.path)) {
                FakeCall call;
                call.method = record.method;
                call.path = record.path;
                call.query = record.query;
                call.authorization = record.header("Authorization");
                refused = refusalBeforeBody(m_platform, call);
            }
            if (refused) {
                m_requests.append(record);
            }
        }
        if (refused) {
            // Left unread, the body makes the closing socket reset the connection, and the client
            // never sees the refusal; it is drained unkept, up to far more than any workbook.
            qint64 drainLeft = 256 * 1024 * 1024;
            (*unread)(
                [&](const char *, size_t size) { return (drainLeft -= static_cast<qint64>(size)) >= 0; });
            answer(res, *refused);
            return;
        }
        (*unread)([&](const char *data, size_t size) {
            record.body.append(data, static_cast<qsizetype>(size));
            return true;
        });
    } else {
        record.body = toBytes(req.body);
    }

    std::optional<Script> scripted;
    std::function<void()> whileWritingPreview;
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(record);
        whileWritingPreview = m_whileWritingPreview;
        for (qsizetype i = 0; i < m_scripts.size(); ++i) {
            auto &[key, script] = m_scripts[i];
            if (key.first != record.method || key.second != record.path) {
                continue;
            }
            scripted = script;
            if (script.times > 0 && --script.times == 0) {
                m_scripts.removeAt(i);
            }
            break;
        }
    }

    if (scripted) {
        if (!waitScripted(*scripted)) {
            res.status = 503;
            return;
        }
        if (!scripted->passThrough) {
            res.status = scripted->status;
            res.body.assign(scripted->body.constData(), static_cast<size_t>(scripted->body.size()));
            if (!scripted->contentType.isEmpty()) {
                res.set_header("Content-Type", scripted->contentType.toStdString());
            }
            for (const auto &[name, value] : scripted->headers) {
                res.set_header(name.toStdString(), value.toStdString());
            }
            return;
        }
    }

    FakeCall call{record.method,
                  record.path,
                  record.query,
                  record.header("Authorization"),
                  record.header("Content-Type"),
                  record.body,
                  {},
                  std::move(whileWritingPreview)};
    // A workbook can take long to read and its preview long to write: the other requests go on
    // meanwhile.
    prepareCall(call);
    FakeReply reply;
    {
        std::lock_guard lock(m_mutex);
        reply = beginCall(m_platform, call);
    }
    if (const auto finish = std::exchange(reply.finish, {})) {
        finish(reply);
    }
    answer(res, reply);
}
