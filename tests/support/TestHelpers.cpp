#include "TestHelpers.h"

#include "api/APIClient.h"

#include <QNetworkReply>
#include <QtTest>

namespace TestHelpers {

bool requestsEnded(APIClient &client)
{
    return client.network().findChildren<QNetworkReply *>().isEmpty();
}

QByteArray fixture(const QString &relativePath)
{
    QFile file(QStringLiteral(QUILLORY_FIXTURES_DIR "/") + relativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("missing fixture %s", qPrintable(relativePath));
    }
    return file.readAll();
}

} // namespace TestHelpers
