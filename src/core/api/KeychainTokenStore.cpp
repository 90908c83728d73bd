#include "KeychainTokenStore.h"

#include "TokenStoreError.h"

#include <QCoro/QCoroSignal>
#include <QStringDecoder>
#include <qt6keychain/keychain.h>

#include <memory>

namespace {

struct DeleteLater
{
    void operator()(QObject *object) const { object->deleteLater(); }
};

template<typename Job>
using JobHandle = std::unique_ptr<Job, DeleteLater>;

template<typename Job>
JobHandle<Job> makeJob(QString service, QString account)
{
    JobHandle<Job> job(new Job(service));
    // Owned by the awaiting frame rather than auto-deleted, so its results are still there when the
    // queued finished() resumes us.
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    return job;
}

QCoro::Task<QKeychain::Error> run(QKeychain::Job *job)
{
    auto finished = qCoro(job, &QKeychain::Job::finished);
    job->start();
    co_await finished;
    co_return job->error();
}

} // namespace

KeychainTokenStore::KeychainTokenStore(QString service, QString account)
    : service(std::move(service))
    , account(std::move(account))
{}

QCoro::Task<std::optional<QString>> KeychainTokenStore::read()
{
    const auto job = makeJob<QKeychain::ReadPasswordJob>(service, account);
    if (co_await run(job.get()) != QKeychain::NoError) {
        co_return std::nullopt;
    }
    // Stateless so a truncated last sequence counts as invalid; a leading BOM is part of the token.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString token = decoder(job->binaryData());
    if (decoder.hasError()) {
        co_return std::nullopt;
    }
    co_return token;
}

QCoro::Task<> KeychainTokenStore::save(QString token)
{
    // Copied before the first suspension: the store may be gone when we resume.
    const QString itemService = service;
    const QString itemAccount = account;

    co_await clear();

    QByteArray data = token.toUtf8();
    // Null data means "remove the entry" to some backends; the empty token is stored as empty data.
    if (data.isNull()) {
        data = QByteArray("");
    }
    const auto job = makeJob<QKeychain::WritePasswordJob>(itemService, itemAccount);
    job->setBinaryData(data);
    if (const QKeychain::Error status = co_await run(job.get()); status != QKeychain::NoError) {
        throw TokenStoreError(status);
    }
}

QCoro::Task<> KeychainTokenStore::clear()
{
    const auto job = makeJob<QKeychain::DeletePasswordJob>(service, account);
    const QKeychain::Error status = co_await run(job.get());
    if (status != QKeychain::NoError && status != QKeychain::EntryNotFound) {
        throw TokenStoreError(status);
    }
}
