#pragma once

// Helpers shared by the service-client tests: run a task to its end and keep what it threw.

#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "TestHelpers.h"
#include "api/APIClient.h"
#include "api/APIClientError.h"
#include "api/TokenStoreError.h"
#include "json/Json.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>

namespace ClientTest {

template<typename T>
using ValueOf = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

template<typename V>
struct Outcome
{
    bool finished = false;
    std::optional<V> value;
    std::exception_ptr error;

    bool succeeded() const { return finished && !error; }

    // "server:<text>", "invalidResponse", "decoding", "transport", "file", "tokenStore", "other" or
    // "ok" — one word per failure family, so tables can name the expected outcome.
    QString kind() const
    {
        if (!finished) {
            return QStringLiteral("unfinished");
        }
        if (!error) {
            return QStringLiteral("ok");
        }
        try {
            std::rethrow_exception(error);
        } catch (const APIClientError &e) {
            return e.kind() == APIClientError::Kind::server ? QStringLiteral("server:") + e.message()
                                                            : QStringLiteral("invalidResponse");
        } catch (const DecodingError &) {
            return QStringLiteral("decoding");
        } catch (const TransportError &) {
            return QStringLiteral("transport");
        } catch (const FileError &) {
            return QStringLiteral("file");
        } catch (const TokenStoreError &) {
            return QStringLiteral("tokenStore");
        } catch (...) {
            return QStringLiteral("other");
        }
    }

    QString description() const
    {
        if (!error) {
            return {};
        }
        try {
            std::rethrow_exception(error);
        } catch (const QuilloryError &e) {
            return e.description();
        } catch (...) {
            return {};
        }
    }
};

template<typename T>
QCoro::Task<> collect(QCoro::Task<T> task, std::shared_ptr<Outcome<ValueOf<T>>> out)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            out->value = std::monostate{};
        } else {
            out->value = co_await task;
        }
    } catch (...) {
        out->error = std::current_exception();
    }
    out->finished = true;
}

// Drives the event loop until the task ends (or 20 s pass, leaving `finished` false).
template<typename T>
Outcome<ValueOf<T>> settle(QCoro::Task<T> task)
{
    // Shared with the coroutine, which outlives this call if the task never ends.
    auto out = std::make_shared<Outcome<ValueOf<T>>>();
    const auto runner = collect(std::move(task), out);
    (void)QTest::qWaitFor([&out] { return out->finished; }, 20000);
    return *out;
}

template<typename T>
QCoro::Task<> discard(QCoro::Task<T> task)
{
    co_await task;
}

// Answers every request `server` takes with `answer` once the request's head is in, then closes the
// connection: a service of the test's own making, down to the bytes. Returns the heads as they came.
inline std::shared_ptr<QList<QByteArray>> answerEachRequest(QTcpServer &server, const QByteArray &answer)
{
    auto heads = std::make_shared<QList<QByteArray>>();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, answer, heads] {
        QTcpSocket *socket = server.nextPendingConnection();
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, received, answer, heads] {
            *received += socket->readAll();
            if (received->contains("\r\n\r\n")) {
                heads->append(*received);
                socket->write(answer);
                socket->disconnectFromHost();
            }
        });
    });
    return heads;
}

// A client against the fake with an in-memory token store.
struct Rig
{
    std::shared_ptr<MemoryTokenStore> store = std::make_shared<MemoryTokenStore>();
    std::unique_ptr<APIClient> client;

    explicit Rig(const QUrl &base, bool blocksProduction = false)
        : client(std::make_unique<APIClient>(base, store, blocksProduction))
    {}
    ~Rig()
    {
        (void)QTest::qWaitFor([this] { return TestHelpers::requestsEnded(*client); }, 10000);
        client->network().clearConnectionCache();
    }
};

} // namespace ClientTest

#define SETTLE(name, operation)                                                                              \
    const auto name = ClientTest::settle(operation);                                                         \
    QVERIFY2(name.finished, "the operation did not end")
