#include "LocalFiles.h"

#include "APIClientError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// NAME_MAX of the common Linux file systems.
constexpr qsizetype maxNameBytes = 255;
// ".<16 hex digits>.part"
constexpr qsizetype partSuffixBytes = 22;
// Covers the moment between creating a part and locking it, and writers on file systems where
// locks do not reach other processes.
constexpr std::time_t staleSeconds = 10 * 60;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A file (not a link) that nobody may write, or at least not this user. Root may write anything,
// so the mode's write bits count too.
bool isReadOnlyFile(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.constData(), W_OK) != 0);
}

// The part names of a file named `fileName` up to their random digits.
QString partStem(const QString &fileName)
{
    QString stem = QLatin1Char('.') + fileName;
    while (QFile::encodeName(stem).size() + partSuffixBytes > maxNameBytes) {
        stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
    }
    return stem;
}

// Unlinks the part at `path` if a killed writer of this user's left it before `before`.
void removeIfStale(const QByteArray &path, std::time_t before)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    // A killed writer's lock went with it; a live writer's part is locked, or new.
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_mtime < before &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::unlink(path.constData());
    }
    ::close(fd);
}

// What killed writers of `path` left beside it: the clean-up at start only looks at the
// temporary folder.
void removeStalePartsOf(const QString &path)
{
    const QFileInfo info(path);
    const QString stem = partStem(info.fileName());
    const QRegularExpression pattern(
        QStringLiteral("^%1\\.[0-9a-f]{16}\\.part$").arg(QRegularExpression::escape(stem)),
        QRegularExpression::DotMatchesEverythingOption);
    const QDir dir = info.dir();
    const std::time_t before = std::time(nullptr) - staleSeconds;
    // Not filtered by the name itself: a name may hold the filter's own wildcards.
    const QStringList names = dir.entryList({QStringLiteral(".*.part")},
                                            QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (pattern.match(name).hasMatch()) {
            removeIfStale(QFile::encodeName(dir.filePath(name)), before);
        }
    }
}

} // namespace

QString writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(std::min<qsizetype>(left, 1 << 30)));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return systemReason(written < 0 ? errno : ENOSPC);
        }
        data += written;
        left -= written;
    }
    return {};
}

QString readableFileError(const QString &format, const QString &path, const QString &reason)
{
    return format.arg(QDir::toNativeSeparators(path), reason);
}

QString partFilePath(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(
        partStem(info.fileName()) +
        QStringLiteral(".%1.part").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0')));
}

void replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions,
                 ReadOnlyFile readOnly)
{
    const auto failure = [&](const QString &reason) {
        return FileError(readableFileError(QStringLiteral("无法保存文件“%1”：%2"), path, reason));
    };
    const QByteArray target = QFile::encodeName(path);
    if (readOnly == ReadOnlyFile::Refuse && isReadOnlyFile(target)) {
        throw failure(QStringLiteral("该位置已有只读文件，未覆盖"));
    }
    removeStalePartsOf(path);
    QFile file(partFilePath(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions)) {
        throw failure(file.errorString());
    }
    const int fd = file.handle();
    // Held until the part is renamed or removed; a file system without locks still gets the file.
    ::flock(fd, LOCK_EX | LOCK_NB);
    QString reason = writeAll(fd, bytes);
    if (reason.isEmpty() && ::fsync(fd) != 0) {
        reason = systemReason(errno);
    }
    if (reason.isEmpty() &&
        ::rename(QFile::encodeName(file.fileName()).constData(), target.constData()) != 0) {
        reason = systemReason(errno);
    }
    if (!reason.isEmpty()) {
        ::unlink(QFile::encodeName(file.fileName()).constData());
    }
    file.close();
    if (!reason.isEmpty()) {
        throw failure(reason);
    }
}

void removeStaleParts(const QString &folder, const QString &prefix)
{
    const QString ours = QRegularExpression::escape(prefix);
    const QRegularExpression pattern(QStringLiteral("^(?:\\.%1.*\\.|%1)[0-9a-f]{16}\\.part$").arg(ours),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QDir dir(folder);
    const std::time_t before = std::time(nullptr) - staleSeconds;
    const QStringList names = dir.entryList(
        {QLatin1Char('.') + prefix + QStringLiteral("*.part"), prefix + QStringLiteral("*.part")},
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (pattern.match(name).hasMatch()) {
            removeIfStale(QFile::encodeName(dir.filePath(name)), before);
        }
    }
}

bool removeOwnFile(const QString &path, std::time_t before)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // Downloads are written for their owner alone; a file others may read is not one of ours.
    return ::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IRWXG | S_IRWXO)) == 0 && st.st_mtime < before && ::unlink(name.constData()) == 0;
}

bool removeOwnFileSoon(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return false;
    }
    // A rename never follows a link, whatever came to the name since it was looked at.
    const QByteArray aside = QFile::encodeName(QFileInfo(path).dir().filePath(
        QStringLiteral(".%1.gone").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))));
    if (::rename(name.constData(), aside.constData()) != 0) {
        return false;
    }
    QThreadPool::globalInstance()->start([aside] { ::unlink(aside.constData()); });
    return true;
}

void removeOwnFiles(const QString &folder, const QRegularExpression &pattern, std::time_t before)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (pattern.match(name).hasMatch()) {
            removeOwnFile(dir.filePath(name), before);
        }
    }
}
