#pragma once

#include "DemoShow.h"
#include "FakePlatform.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class ContentReader;
class Server;
struct Request;
struct Response;
} // namespace httplib

// One request as the fake service received it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target; // raw path and query exactly as sent on the request line
    QByteArray path;   // raw path, up to the first '?'
    QByteArray query;  // raw query after the first '?', undecoded
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body; // raw bytes, multipart bodies included; none when refused before it was read
    // When the service had read it (for benchmarks that time a request's departure).
    std::chrono::steady_clock::time_point receivedAt;

    bool hasHeader(const QByteArray &name) const; // case-insensitive
    QByteArray header(const QByteArray &name) const;
    // Percent-decoded value of the first query item with that name ('+' stays '+').
    QString queryItem(const QString &name) const;
    bool hasQueryItem(const QString &name) const;
    // Raw query item names in the order sent.
    QList<QByteArray> queryItemNames() const;
    // The body parsed as a JSON object; an empty object when it is none.
    QJsonObject json() const;
};

// A canned answer for one method and path, in place of the real behaviour.
struct Script
{
    int status = 200;
    QByteArray body{};
    QByteArray contentType = "application/json";
    int delayMs = 0;
    // Holds the request until releaseHangs() or stop().
    bool hang = false;
    // How many requests it answers; -1 means every request until cleared.
    int times = -1;
    // After the delay or hang, answer as the real service would instead of status/body.
    bool passThrough = false;
    // Extra headers of the canned answer (Content-Encoding, say).
    QList<QPair<QByteArray, QByteArray>> headers{};
};

// An HTTP server on 127.0.0.1 with an in-memory show platform, for tests and local runs.
// Recording, scripting, seeding and withPlatform() may be used from any thread; start() and
// stop() belong to the thread that owns the service.
class FakeService
{
public:
    // The one SMS code the fake accepts, once a code was requested for the phone.
    static inline const QString &smsCode = FakePlatform::smsCode;

    FakeService();
    ~FakeService();
    FakeService(const FakeService &) = delete;
    FakeService &operator=(const FakeService &) = delete;

    // Binds to a free port (or the given one) and serves on a thread of its own.
    bool start(int port = 0);
    // Releases held requests (they answer 503), stops serving and joins the thread. Every answer
    // closes its connection, so no idle keep-alive connection delays this. Calling the client's
    // clearConnectionCache() before is harmless, but not while a request is held: Qt 6.4 then
    // drops that connection and the reply never finishes.
    void stop();
    bool isRunning() const;
    int port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"

    // Recording.
    QList<RecordedRequest> requests() const;
    // Only the requests to that path (without query), optionally of that method.
    QList<RecordedRequest> requests(const QByteArray &path, const QByteArray &method = {}) const;
    RecordedRequest lastRequest() const; // an empty record when none arrived
    int requestCount() const;
    void clearRequests();

    // Scripting per method and path (without query).
    void script(const QByteArray &method, const QByteArray &path, const Script &script);
    void clearScripts();
    void releaseHangs();
    int hangingCount() const; // requests held right now
    // Runs on a worker of the service while an import's preview is written, outside the service's
    // lock: a test holds an import there. Empty for none.
    void setWhileWritingPreview(std::function<void()> hook);

    // The platform, under the service's lock. Do not call other members of the service inside f.
    template<class F>
    auto withPlatform(F f)
    {
        std::lock_guard lock(m_mutex);
        return f(m_platform);
    }
    template<class F>
    auto withPlatform(F f) const
    {
        std::lock_guard lock(m_mutex);
        return f(std::as_const(m_platform));
    }

    // Seeding shortcuts; each returns the new identifier or token.
    QString addAccount(const QString &phone, const QString &name, bool superAdmin = false);
    QString tokenFor(const QString &accountId); // a new bearer token for that account
    QString signIn(const QString &phone);       // creates the account if needed
    // A project whose owner joins as a member with the given role.
    QString addProject(const QString &name, const QString &ownerAccountId,
                       const QString &ownerRole = QStringLiteral("总导演"));
    // A member; with an account id the member counts as registered.
    QString addMember(const QString &projectId, const QString &name, const QString &role,
                      const QString &accountId = {});
    QString addItem(const QString &projectId, const QString &title, const QString &type = {});
    DemoShow seedDemoShow();

private:
    // With `unread`, the body is read only once the headers alone earn no refusal.
    void handle(const httplib::Request &req, httplib::Response &res,
                const httplib::ContentReader *unread = nullptr);
    bool isScripted(const QByteArray &method, const QByteArray &path) const; // under the lock
    bool waitScripted(const Script &script);

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    FakePlatform m_platform;
    QList<RecordedRequest> m_requests;
    QList<QPair<QPair<QByteArray, QByteArray>, Script>> m_scripts;
    std::function<void()> m_whileWritingPreview;
    quint64 m_releaseGeneration = 0;
    int m_hanging = 0;
    bool m_stopping = false;

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};
