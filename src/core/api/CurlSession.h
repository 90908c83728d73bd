#pragma once

#include <QByteArrayView>
#include <QCoro/QCoroTask>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

// GET requests performed by libcurl on the event loop of the thread that made the session, with no
// thread of its own. Qt 6.4 ends a reply whose connection closed before the body's framing ended
// (short of its Content-Length, a chunked body without its last chunk) as if the body were whole;
// libcurl checks the framing and says so.
//
// Nothing goes out beyond the request's URL and raw headers, save Host: no Accept, User-Agent nor
// Accept-Encoding, and nothing is decoded. No proxy, redirect or cookie; TLS is always verified; no
// connection is kept for another request.
class CurlSession : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        int status = 0; // 0: no HTTP answer came
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString errorString;
    };
    // Takes one piece of a 2xx answer's body; false when it cannot take it yet: the transfer then
    // waits and offers the same piece again shortly.
    using BodySink = std::function<bool(QByteArrayView piece)>;

    explicit CurlSession(QObject *parent = nullptr);
    // Transfers still running end as cancelled.
    ~CurlSession() override;

    // The request's transfer timeout is how long the transfer may make no progress. While it runs,
    // a QNetworkReply child of `owner` stands for it, so it counts among the owner's replies;
    // aborting or deleting that reply cancels it. A transfer that ends inside libcurl or a deletion
    // resumes its waiter from the event loop.
    QCoro::Task<Answer> get(QNetworkRequest request, QObject *owner, BodySink body);

private:
    struct Transfer;
    struct Ending;
    struct Watch
    {
        QSocketNotifier *read;
        QSocketNotifier *write;
    };

    std::shared_ptr<Transfer> start(const QNetworkRequest &request, QObject *owner, BodySink body);
    // Lets libcurl act on `socket` (or on its timer) and ends the transfers it finished.
    void drive(int socket, int events);
    void end(Transfer &transfer, Answer answer);
    void watch(int socket, int what);
    void offerAgainSoon(const std::shared_ptr<Transfer> &transfer);

    // libcurl's callbacks; CURL and CURLM are void.
    static int onSocket(void *easy, int socket, int what, void *session, void *socketData);
    static int onTimer(void *multi, long timeoutMs, void *session);
    static size_t onBody(char *data, size_t size, size_t count, void *transfer);

    void *m_multi;
    QTimer m_timer;
    std::map<void *, std::shared_ptr<Transfer>> m_transfers; // by easy handle
    std::map<int, Watch> m_watches;                          // by socket
};
