#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QString>

class APIClient;

namespace TestHelpers {

// True once no request of the client is in flight. A client must not go while one is: QCoro never
// resumes a coroutine whose manager was destroyed, and its frame leaks.
bool requestsEnded(APIClient &client);

// Reads a file under tests/fixtures.
QByteArray fixture(const QString &relativePath);

} // namespace TestHelpers
