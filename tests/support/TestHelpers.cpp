#include "TestHelpers.h"

#include <QtTest>

namespace TestHelpers {

QByteArray fixture(const QString &relativePath)
{
    QFile file(QStringLiteral(QUILLORY_FIXTURES_DIR "/") + relativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("missing fixture %s", qPrintable(relativePath));
    }
    return file.readAll();
}

} // namespace TestHelpers
