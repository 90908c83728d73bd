#include "APIClientError.h"

QString APIClientError::description() const
{
    switch (m_kind) {
    case Kind::server:
        return m_message;
    case Kind::invalidResponse:
        break;
    }
    return QStringLiteral("服务器响应无效");
}
