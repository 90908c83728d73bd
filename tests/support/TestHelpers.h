#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QString>

namespace TestHelpers {

// Reads a file under tests/fixtures.
QByteArray fixture(const QString &relativePath);

} // namespace TestHelpers
