#include "MemoryTokenStore.h"

#include "api/TokenStoreError.h"

MemoryTokenStore::MemoryTokenStore(std::optional<QString> token)
    : m_token(std::move(token))
{}

QCoro::Task<std::optional<QString>> MemoryTokenStore::read()
{
    ++m_readCount;
    if (m_readFailure) {
        co_return std::nullopt;
    }
    // A copy: QCoro 0.8 moves from an lvalue handed to co_return, which would empty the store.
    co_return std::optional<QString>(m_token);
}

QCoro::Task<> MemoryTokenStore::save(QString token)
{
    ++m_saveCount;
    removeToken();
    if (m_saveFailure) {
        throw TokenStoreError(*m_saveFailure);
    }
    m_token = std::move(token);
    co_return;
}

QCoro::Task<> MemoryTokenStore::clear()
{
    ++m_clearCount;
    removeToken();
    co_return;
}

void MemoryTokenStore::stopFailing()
{
    m_saveFailure.reset();
    m_clearFailure.reset();
    m_readFailure = false;
}

void MemoryTokenStore::removeToken()
{
    if (m_clearFailure) {
        throw TokenStoreError(*m_clearFailure);
    }
    m_token.reset();
}
