#pragma once

#include "Error.h"

// A keychain operation failed; carries the secret store's status code.
class TokenStoreError : public QuilloryError
{
public:
    explicit TokenStoreError(int status)
        : m_status(status)
    {}

    int status() const { return m_status; }
    // The platform's generic wording: the error has no text of its own.
    QString description() const override
    {
        return QStringLiteral("操作无法完成。（钥匙串错误 %1）").arg(m_status);
    }

private:
    int m_status;
};
