#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// Where the access token lives. The secret store is asynchronous here, so every operation is
// awaited; read() never fails, save() and clear() throw TokenStoreError.
class AccessTokenStoring
{
public:
    virtual ~AccessTokenStoring() = default;

    virtual QCoro::Task<std::optional<QString>> read() = 0;
    // Clears any stored token, then stores this one.
    virtual QCoro::Task<> save(QString token) = 0;
    // Succeeds when nothing is stored.
    virtual QCoro::Task<> clear() = 0;
};
