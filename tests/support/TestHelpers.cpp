#include "TestHelpers.h"

#include "DemoShow.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "models/ProjectRecords.h"

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

ProjectMember member(const QString &id, const QString &name, const QString &role, const QString &detail)
{
    ProjectMember m;
    m.id = id;
    m.name = name;
    m.role = role;
    m.detail = detail;
    return m;
}

bool startDemoService(std::unique_ptr<FakeService> &service, DemoShow &demo)
{
    service = std::make_unique<FakeService>();
    if (!service->start()) {
        return false;
    }
    demo = service->seedDemoShow();
    return true;
}

std::unique_ptr<APIClient> signedInClient(FakeService &service, const QString &accountId)
{
    return std::make_unique<APIClient>(
        QUrl(service.baseUrl()), std::make_shared<MemoryTokenStore>(service.tokenFor(accountId)), false);
}

bool roundTrip(APIClient &client)
{
    QNetworkReply *reply =
        client.network().get(QNetworkRequest(client.baseURL().resolved(QUrl(QStringLiteral("/round-trip")))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    const bool answered = reply->isFinished() || finished.wait(10000);
    reply->deleteLater();
    return answered && QTest::qWaitFor([&] { return requestsEnded(client); }, 10000);
}

void shutDown(std::unique_ptr<APIClient> &client, std::unique_ptr<FakeService> &service)
{
    if (client) {
        QTRY_VERIFY_WITH_TIMEOUT(requestsEnded(*client), 10000);
        client->network().clearConnectionCache();
        client.reset();
    }
    if (service) {
        service->stop();
        service.reset();
    }
}

} // namespace TestHelpers
