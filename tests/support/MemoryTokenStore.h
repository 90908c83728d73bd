#pragma once

#include "api/AccessTokenStoring.h"

// Keeps the token in memory and behaves like the keychain store: save clears first, a failed save
// leaves no token, a failed clear leaves the token in place.
class MemoryTokenStore : public AccessTokenStoring
{
public:
    MemoryTokenStore() = default;
    explicit MemoryTokenStore(std::optional<QString> token);

    QCoro::Task<std::optional<QString>> read() override;
    QCoro::Task<> save(QString token) override;
    QCoro::Task<> clear() override;

    const std::optional<QString> &token() const { return m_token; }
    void setToken(std::optional<QString> token) { m_token = std::move(token); }

    // Until stopFailing(), every save or clear (a save's own clear included) throws
    // TokenStoreError(status).
    void failSaveWith(int status) { m_saveFailure = status; }
    void failClearWith(int status) { m_clearFailure = status; }
    void stopFailing();
    // Until stopFailing(), reads find no token though one is stored: a keychain that fails to read.
    void failReads() { m_readFailure = true; }

    // Calls made through the interface; the clear inside a save is not counted as a clear call.
    int readCount() const { return m_readCount; }
    int saveCount() const { return m_saveCount; }
    int clearCount() const { return m_clearCount; }

private:
    void removeToken();

    std::optional<QString> m_token;
    std::optional<int> m_saveFailure;
    std::optional<int> m_clearFailure;
    bool m_readFailure = false;
    int m_readCount = 0;
    int m_saveCount = 0;
    int m_clearCount = 0;
};
