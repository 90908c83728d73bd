#pragma once

#include "AccessTokenStoring.h"

#include <QLatin1StringView>

// The token as one item of the system's secret store (Secret Service on Linux), found by service and
// account. Never uses QtKeychain's plain-text fallback.
class KeychainTokenStore : public AccessTokenStoring
{
public:
    static constexpr QLatin1StringView defaultService{"app.quillory.desktop"};
    static constexpr QLatin1StringView defaultAccount{"access-token"};

    KeychainTokenStore(QString service, QString account);

    QCoro::Task<std::optional<QString>> read() override;
    QCoro::Task<> save(QString token) override;
    QCoro::Task<> clear() override;

    QString service;
    QString account;
};
