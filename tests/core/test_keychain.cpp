#include "api/KeychainTokenStore.h"
#include "api/TokenStoreError.h"

#include <QCoro/QCoroSignal>
#include <QtTest>
#include <qt6keychain/keychain.h>

#include <memory>
#include <variant>

// Runs under tests/support/run-with-keyring.sh, which sets QUILLORY_TEST_KEYRING to "running" (a
// throwaway gnome-keyring) or "absent" (no session bus at all).

namespace {

const QString testService = QStringLiteral("app.quillory.desktop.test");
const QString testAccount = KeychainTokenStore::defaultAccount;

template<typename T>
using ValueOf = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

// How an awaited operation ended.
template<typename V>
struct Outcome
{
    bool finished = false;
    bool unexpectedError = false;
    V value{};
    std::optional<int> failure; // TokenStoreError::status()
};

template<typename T>
QCoro::Task<> collect(QCoro::Task<T> task, std::shared_ptr<Outcome<ValueOf<T>>> out)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
        } else {
            out->value = co_await task;
        }
    } catch (const TokenStoreError &error) {
        out->failure = error.status();
    } catch (...) {
        out->unexpectedError = true;
    }
    out->finished = true;
}

template<typename T>
Outcome<ValueOf<T>> settle(QCoro::Task<T> task)
{
    // Shared with the coroutine, which outlives this call if the keychain never answers.
    auto out = std::make_shared<Outcome<ValueOf<T>>>();
    const auto runner = collect(std::move(task), out);
    // finished stays false on a time-out; SETTLE reports it.
    (void)QTest::qWaitFor([&out] { return out->finished; }, 20000);
    return *out;
}

#define SETTLE(name, operation)                                                                              \
    const auto name = settle(operation);                                                                     \
    QVERIFY2(name.finished, "the keychain did not answer");                                                  \
    QVERIFY2(!name.unexpectedError, "an error other than TokenStoreError")

// Stores bytes the way another writer might, bypassing KeychainTokenStore.
QCoro::Task<int> writeRaw(QByteArray data)
{
    // Deleted only after the finished() that resumes us has been delivered.
    const auto dropLater = [](QObject *object) { object->deleteLater(); };
    std::unique_ptr<QKeychain::WritePasswordJob, decltype(dropLater)> job(
        new QKeychain::WritePasswordJob(testService), dropLater);
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(testAccount);
    job->setBinaryData(data);
    auto finished = qCoro(job.get(), &QKeychain::Job::finished);
    job->start();
    co_await finished;
    co_return job->error();
}

} // namespace

class TestKeychain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void clearWithNothingStoredSucceeds();
    void roundTrip_data();
    void roundTrip();
    void saveReplacesEarlierToken();
    void clearRemovesToken();
    void invalidUtf8ReadsAsNone_data();
    void invalidUtf8ReadsAsNone();
    void accountsAreSeparateItems();
    void saveOutlivesTheStore();

private:
    KeychainTokenStore m_store{testService, testAccount};
};

void TestKeychain::initTestCase()
{
    if (qEnvironmentVariable("QUILLORY_TEST_KEYRING") != QLatin1StringView("running")) {
        QSKIP("needs the throwaway keyring of tests/support/run-with-keyring.sh");
    }
}

void TestKeychain::init()
{
    SETTLE(cleared, m_store.clear());
    QCOMPARE(cleared.failure, std::nullopt);
}

void TestKeychain::clearWithNothingStoredSucceeds()
{
    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::nullopt);
    SETTLE(cleared, m_store.clear());
    QCOMPARE(cleared.failure, std::nullopt);
}

void TestKeychain::roundTrip_data()
{
    QTest::addColumn<QString>("token");
    QTest::newRow("ascii") << QStringLiteral("eyJhbGciOiJIUzI1NiJ9.e30.sig-_~");
    QTest::newRow("empty") << QString();
    QTest::newRow("wide characters") << QStringLiteral("令牌-🎭-Ünïcode");
    QTest::newRow("leading byte order mark") << QStringLiteral("\uFEFFtoken");
}

void TestKeychain::roundTrip()
{
    QFETCH(QString, token);
    SETTLE(saved, m_store.save(token));
    QCOMPARE(saved.failure, std::nullopt);
    SETTLE(read, m_store.read());
    QVERIFY(read.value.has_value());
    QCOMPARE(*read.value, token);
    QCOMPARE(read.value->size(), token.size());
}

void TestKeychain::saveReplacesEarlierToken()
{
    SETTLE(first, m_store.save(QStringLiteral("first")));
    QCOMPARE(first.failure, std::nullopt);
    SETTLE(second, m_store.save(QStringLiteral("second")));
    QCOMPARE(second.failure, std::nullopt);
    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::optional<QString>(QStringLiteral("second")));
}

void TestKeychain::clearRemovesToken()
{
    SETTLE(saved, m_store.save(QStringLiteral("gone soon")));
    QCOMPARE(saved.failure, std::nullopt);
    SETTLE(cleared, m_store.clear());
    QCOMPARE(cleared.failure, std::nullopt);
    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::nullopt);
}

void TestKeychain::invalidUtf8ReadsAsNone_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("stray byte") << QByteArray("tok\xffn");
    QTest::newRow("truncated last sequence") << QByteArray("token\xe4\xbb");
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
}

void TestKeychain::invalidUtf8ReadsAsNone()
{
    QFETCH(QByteArray, data);
    SETTLE(written, writeRaw(data));
    QCOMPARE(written.value, int(QKeychain::NoError));
    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::nullopt);

    // A save still replaces the unreadable item.
    SETTLE(saved, m_store.save(QStringLiteral("fresh")));
    QCOMPARE(saved.failure, std::nullopt);
    SETTLE(reread, m_store.read());
    QCOMPARE(reread.value, std::optional<QString>(QStringLiteral("fresh")));
}

void TestKeychain::accountsAreSeparateItems()
{
    KeychainTokenStore other(testService, QStringLiteral("other-account"));
    SETTLE(saved, m_store.save(QStringLiteral("mine")));
    QCOMPARE(saved.failure, std::nullopt);

    SETTLE(otherRead, other.read());
    QCOMPARE(otherRead.value, std::nullopt);
    SETTLE(otherCleared, other.clear());
    QCOMPARE(otherCleared.failure, std::nullopt);

    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::optional<QString>(QStringLiteral("mine")));
}

void TestKeychain::saveOutlivesTheStore()
{
    auto store = std::make_unique<KeychainTokenStore>(testService, testAccount);
    auto saving = store->save(QStringLiteral("kept"));
    store.reset();
    SETTLE(saved, std::move(saving));
    QCOMPARE(saved.failure, std::nullopt);
    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::optional<QString>(QStringLiteral("kept")));
}

class TestKeychainUnavailable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readGivesNone();
    void saveAndClearFail();

private:
    KeychainTokenStore m_store{testService, testAccount};
};

void TestKeychainUnavailable::readGivesNone()
{
    SETTLE(read, m_store.read());
    QCOMPARE(read.value, std::nullopt);
}

void TestKeychainUnavailable::saveAndClearFail()
{
    SETTLE(cleared, m_store.clear());
    QVERIFY(cleared.failure.has_value());
    QVERIFY(*cleared.failure != QKeychain::NoError && *cleared.failure != QKeychain::EntryNotFound);

    SETTLE(saved, m_store.save(QStringLiteral("nowhere to go")));
    QCOMPARE(saved.failure, cleared.failure);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariable("QUILLORY_TEST_KEYRING") == QLatin1StringView("absent")) {
        TestKeychainUnavailable test;
        return QTest::qExec(&test, argc, argv);
    }
    TestKeychain test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_keychain.moc"
