#include "LocalFiles.h"

#include "APIClientError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

QString readableFileError(const QString &format, const QString &path, const QString &reason)
{
    return format.arg(QDir::toNativeSeparators(path), reason);
}

void replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    const auto failure = [&](const QString &reason) {
        return FileError(readableFileError(QStringLiteral("无法保存文件“%1”：%2"), path, reason));
    };
    const QString name = QStringLiteral("tavik-%1.part")
                             .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    QFile file(QFileInfo(path).dir().filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions)) {
        throw failure(file.errorString());
    }
    QString reason;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        reason = file.errorString();
    } else if (::fsync(file.handle()) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    file.close();
    if (reason.isEmpty() &&
        ::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!reason.isEmpty()) {
        file.remove();
        throw failure(reason);
    }
}
