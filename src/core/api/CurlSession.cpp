#include "CurlSession.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QSocketNotifier>

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <coroutine>
#include <type_traits>
#include <utility>

static_assert(std::is_same_v<curl_socket_t, int>);

namespace {

// libcurl's global set-up races any other thread that uses it or OpenSSL; a library's static
// objects are made while the process has no other thread yet.
const struct CurlGlobal
{
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
} curlGlobal;

// How much one turn of the event loop may read from the socket (libcurl hands it on in pieces of
// 16 KiB at most): a fast service's file comes in few turns, each of them short.
constexpr long readSizeBytes = 256 * 1024;
// How soon a piece the consumer could not take is offered again.
constexpr int offerAgainMs = 5;

CurlSession::Answer cancelled()
{
    // What Qt says of an aborted reply.
    return {0, QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled")};
}

QNetworkReply::NetworkError networkError(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QNetworkReply::HostNotFoundError;
    case CURLE_COULDNT_CONNECT:
        return QNetworkReply::ConnectionRefusedError;
    // The connection ended before the answer did: short of its Content-Length, a chunked body
    // without its last chunk, no answer at all.
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_HTTP2_STREAM:
        return QNetworkReply::RemoteHostClosedError;
    // Qt ends a request that ran past its transfer timeout as cancelled.
    case CURLE_OPERATION_TIMEDOUT:
        return QNetworkReply::OperationCanceledError;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return QNetworkReply::SslHandshakeFailedError;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return QNetworkReply::ProtocolUnknownError;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
        return QNetworkReply::ProtocolFailure;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

bool isSuccess(long status)
{
    return status >= 200 && status <= 299;
}

// Stands for a transfer among its owner's replies, where the client counts its requests in flight;
// it carries no data and emits nothing.
class TransferReply : public QNetworkReply
{
public:
    // `cancel` learns whether the reply is going.
    TransferReply(QObject *owner, const QNetworkRequest &request, std::function<void(bool going)> cancel)
        : QNetworkReply(owner)
        , m_cancel(std::move(cancel))
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
    }
    ~TransferReply() override
    {
        if (auto cancel = std::exchange(m_cancel, {})) {
            cancel(true);
        }
    }

    void abort() override
    {
        if (auto cancel = std::exchange(m_cancel, {})) {
            cancel(false);
        }
    }

    void ended(const CurlSession::Answer &answer)
    {
        m_cancel = {};
        if (answer.status != 0) {
            setAttribute(QNetworkRequest::HttpStatusCodeAttribute, answer.status);
        }
        setError(answer.error, answer.errorString);
        setFinished(true);
        deleteLater();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }

private:
    std::function<void(bool)> m_cancel;
};

} // namespace

struct CurlSession::Transfer : std::enable_shared_from_this<Transfer>
{
    CurlSession *session = nullptr; // until the transfer ends
    CURL *easy = nullptr;
    curl_slist *headers = nullptr;
    BodySink body;
    TransferReply *reply = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    bool ended = false;
    Answer answer;
    std::coroutine_handle<> waiter;

    ~Transfer() { curl_slist_free_all(headers); }

    // What libcurl's verdict means here.
    Answer answerOf(CURLcode result) const
    {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        Answer answer{static_cast<int>(status), QNetworkReply::NoError, {}};
        if (result != CURLE_OK) {
            answer.error = networkError(result);
            answer.errorString = QString::fromUtf8(error[0] ? error : curl_easy_strerror(result));
            return answer;
        }
        // Nothing asked for a coding, so a coded body is not the resource's own bytes.
        curl_header *coding = nullptr;
        if (isSuccess(status) &&
            curl_easy_header(easy, "Content-Encoding", 0, CURLH_HEADER, -1, &coding) == CURLHE_OK &&
            coding->value[0] != '\0' && qstricmp(coding->value, "identity") != 0) {
            answer.error = QNetworkReply::UnknownContentError;
            answer.errorString =
                QStringLiteral("Unrequested Content-Encoding: %1").arg(QString::fromUtf8(coding->value));
        }
        return answer;
    }
};

// Waits for the transfer to end.
struct CurlSession::Ending
{
    std::shared_ptr<Transfer> transfer;

    bool await_ready() const noexcept { return transfer->ended; }
    void await_suspend(std::coroutine_handle<> waiter) const noexcept { transfer->waiter = waiter; }
    Answer await_resume() const { return transfer->answer; }
};

CurlSession::CurlSession(QObject *parent)
    : QObject(parent)
    , m_multi(curl_multi_init())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { drive(CURL_SOCKET_TIMEOUT, 0); });
    if (m_multi) {
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlSession::onSocket);
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlSession::onTimer);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    }
}

CurlSession::~CurlSession()
{
    while (!m_transfers.empty()) {
        end(*m_transfers.begin()->second, cancelled());
    }
    if (m_multi) {
        curl_multi_cleanup(m_multi);
    }
}

QCoro::Task<CurlSession::Answer> CurlSession::get(QNetworkRequest request, QObject *owner, BodySink body)
{
    // Named: g++ 12 destroys a braced temporary awaiter twice.
    const Ending ending{start(request, owner, std::move(body))};
    const Answer answer = co_await ending;
    co_return answer;
}

std::shared_ptr<CurlSession::Transfer> CurlSession::start(const QNetworkRequest &request, QObject *owner,
                                                          BodySink body)
{
    auto transfer = std::make_shared<Transfer>();
    Transfer *const t = transfer.get();
    t->session = this;
    t->body = std::move(body);
    t->reply = new TransferReply(owner, request, [t](bool going) {
        if (going) {
            t->reply = nullptr;
        }
        if (t->session) {
            t->session->end(*t, cancelled());
        }
    });
    t->easy = m_multi ? curl_easy_init() : nullptr;
    if (!t->easy) {
        end(*t, {0, QNetworkReply::UnknownNetworkError, QStringLiteral("libcurl could not start")});
        return transfer;
    }

    bool listed = true;
    const auto addHeader = [&](const QByteArray &line) {
        curl_slist *const longer = curl_slist_append(t->headers, line.constData());
        listed = listed && longer;
        t->headers = longer ? longer : t->headers;
    };
    const QList<QByteArray> names = request.rawHeaderList();
    for (const QByteArray &name : names) {
        addHeader(name + ": " + request.rawHeader(name));
    }
    addHeader("Accept:"); // keeps libcurl's own "Accept: */*" out
    const QByteArray url = request.url().toEncoded();
    const long stallSeconds = std::max<long>(1, (request.transferTimeout() + 999) / 1000);
    const CURLcode set[] = {
        curl_easy_setopt(t->easy, CURLOPT_URL, url.constData()),
        curl_easy_setopt(t->easy, CURLOPT_HTTPGET, 1L),
        curl_easy_setopt(t->easy, CURLOPT_HTTPHEADER, t->headers),
        curl_easy_setopt(t->easy, CURLOPT_PROTOCOLS_STR, "http,https"),
        curl_easy_setopt(t->easy, CURLOPT_FOLLOWLOCATION, 0L),
        curl_easy_setopt(t->easy, CURLOPT_PROXY, ""), // none, whatever the environment says
        curl_easy_setopt(t->easy, CURLOPT_SSL_VERIFYPEER, 1L),
        curl_easy_setopt(t->easy, CURLOPT_SSL_VERIFYHOST, 2L),
        curl_easy_setopt(t->easy, CURLOPT_HTTP_CONTENT_DECODING, 0L),
        // A connection kept open would hold up a server that waits for its clients to leave.
        curl_easy_setopt(t->easy, CURLOPT_FORBID_REUSE, 1L),
        // Qt's transfer timeout: so long without progress, connecting included, ends the transfer.
        curl_easy_setopt(t->easy, CURLOPT_CONNECTTIMEOUT, stallSeconds),
        curl_easy_setopt(t->easy, CURLOPT_LOW_SPEED_LIMIT, 1L),
        curl_easy_setopt(t->easy, CURLOPT_LOW_SPEED_TIME, stallSeconds),
        curl_easy_setopt(t->easy, CURLOPT_NOSIGNAL, 1L),
        curl_easy_setopt(t->easy, CURLOPT_BUFFERSIZE, readSizeBytes),
        curl_easy_setopt(t->easy, CURLOPT_WRITEFUNCTION, &CurlSession::onBody),
        curl_easy_setopt(t->easy, CURLOPT_WRITEDATA, t),
        curl_easy_setopt(t->easy, CURLOPT_ERRORBUFFER, t->error),
    };
    m_transfers.emplace(t->easy, transfer);
    if (!listed || std::any_of(std::begin(set), std::end(set), [](CURLcode c) { return c != CURLE_OK; })) {
        end(*t, {0, QNetworkReply::UnknownNetworkError, QStringLiteral("libcurl refused the request")});
    } else if (curl_multi_add_handle(m_multi, t->easy) != CURLM_OK) {
        end(*t, {0, QNetworkReply::UnknownNetworkError, QStringLiteral("libcurl could not start")});
    }
    return transfer;
}

void CurlSession::end(Transfer &transfer, Answer answer)
{
    if (transfer.ended) {
        return;
    }
    // Keeps the transfer alive to the end of this call, whoever else lets go of it.
    const std::shared_ptr<Transfer> kept = transfer.shared_from_this();
    m_transfers.erase(transfer.easy);
    transfer.ended = true;
    transfer.session = nullptr;
    transfer.answer = std::move(answer);
    transfer.body = {};
    if (transfer.easy) {
        curl_multi_remove_handle(m_multi, transfer.easy);
        curl_easy_cleanup(transfer.easy);
        transfer.easy = nullptr;
    }
    if (TransferReply *reply = std::exchange(transfer.reply, nullptr)) {
        reply->ended(transfer.answer);
    }
    // Never from here: this may be inside libcurl, or inside the deletion of the client.
    const std::coroutine_handle<> waiter = std::exchange(transfer.waiter, {});
    if (QCoreApplication *const application = QCoreApplication::instance(); waiter && application) {
        QMetaObject::invokeMethod(
            application, [waiter] { waiter.resume(); }, Qt::QueuedConnection);
    }
}

void CurlSession::drive(int socket, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        const auto found = m_transfers.find(message->easy_handle);
        if (message->msg == CURLMSG_DONE && found != m_transfers.end()) {
            Transfer &transfer = *found->second;
            end(transfer, transfer.answerOf(message->data.result));
        }
    }
}

void CurlSession::watch(int socket, int what)
{
    auto found = m_watches.find(socket);
    if (what == CURL_POLL_REMOVE) {
        if (found != m_watches.end()) {
            // Perhaps inside the notifier's own signal; disabled at once, so that a new socket of the
            // same number can be watched before these go.
            for (QSocketNotifier *notifier : {found->second.read, found->second.write}) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
            m_watches.erase(found);
        }
        return;
    }
    if (found == m_watches.end()) {
        const Watch added{new QSocketNotifier(socket, QSocketNotifier::Read, this),
                          new QSocketNotifier(socket, QSocketNotifier::Write, this)};
        connect(added.read, &QSocketNotifier::activated, this,
                [this, socket] { drive(socket, CURL_CSELECT_IN); });
        connect(added.write, &QSocketNotifier::activated, this,
                [this, socket] { drive(socket, CURL_CSELECT_OUT); });
        found = m_watches.emplace(socket, added).first;
    }
    found->second.read->setEnabled(what & CURL_POLL_IN);
    found->second.write->setEnabled(what & CURL_POLL_OUT);
}

void CurlSession::offerAgainSoon(const std::shared_ptr<Transfer> &transfer)
{
    QTimer::singleShot(offerAgainMs, this, [weak = std::weak_ptr<Transfer>(transfer)] {
        const std::shared_ptr<Transfer> waiting = weak.lock();
        if (waiting && !waiting->ended) {
            curl_easy_pause(waiting->easy, CURLPAUSE_CONT);
        }
    });
}

int CurlSession::onSocket(void *, int socket, int what, void *session, void *)
{
    static_cast<CurlSession *>(session)->watch(socket, what);
    return 0;
}

int CurlSession::onTimer(void *, long timeoutMs, void *session)
{
    // libcurl must not be called back into from here: the timer runs it later.
    QTimer &timer = static_cast<CurlSession *>(session)->m_timer;
    if (timeoutMs < 0) {
        timer.stop();
    } else {
        timer.start(static_cast<int>(std::min<long>(timeoutMs, INT_MAX)));
    }
    return 0;
}

size_t CurlSession::onBody(char *data, size_t size, size_t count, void *transfer)
{
    Transfer &t = *static_cast<Transfer *>(transfer);
    const size_t length = size * count;
    long status = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
    // A refusal's body is let through unread.
    if (!isSuccess(status) || !t.body || t.body(QByteArrayView(data, static_cast<qsizetype>(length)))) {
        return length;
    }
    t.session->offerAgainSoon(t.shared_from_this());
    return CURL_WRITEFUNC_PAUSE;
}
