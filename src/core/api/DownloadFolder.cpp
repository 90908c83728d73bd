#include "DownloadFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What mkdtemp puts in place of the six X.
constexpr int uniqueLetters = 6;
// Each try loses only to a sweep that found the new folder before it was locked.
constexpr int attempts = 5;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool ownedPrivately(const struct stat &st)
{
    return st.st_uid == ::geteuid() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Unlinks this user's private regular files in the folder open at `folder`; links, folders and
// anything of others' stay, and with them the folder.
void removeOwnFilesAt(int folder)
{
    // A description of its own: a listing through `folder` itself would move its position.
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!dir) {
        if (listed >= 0) {
            ::close(listed);
        }
        return;
    }
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names.append(name);
        }
    }
    ::closedir(dir);
    for (const QByteArray &name : std::as_const(names)) {
        struct stat st;
        if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            ownedPrivately(st)) {
            ::unlinkat(folder, name.constData(), 0);
        }
    }
}

} // namespace

std::unique_ptr<DownloadFolder> DownloadFolder::create(const QString &parent, const QString &prefix,
                                                       QString *reason)
{
    const QByteArray pattern =
        QFile::encodeName(QDir(parent).filePath(prefix + QString(uniqueLetters, QLatin1Char('X'))));
    int error = EEXIST;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        QByteArray name = pattern;
        if (!::mkdtemp(name.data())) {
            error = errno;
            break;
        }
        const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) {
            error = errno;
            continue;
        }
        // A file system without locks keeps the folder all the same: no sweep can take it either.
        const bool sweptMeanwhile = ::flock(folder, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat opened;
        struct stat named;
        if (!sweptMeanwhile && ::fstat(folder, &opened) == 0 && ::lstat(name.constData(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            return std::unique_ptr<DownloadFolder>(new DownloadFolder(QFile::decodeName(name), folder));
        }
        ::close(folder);
    }
    if (reason) {
        *reason = systemReason(error);
    }
    return nullptr;
}

void DownloadFolder::removeStale(const QString &parent, const QString &prefix)
{
    const int parentFolder =
        ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFolder < 0) {
        return;
    }
    const QRegularExpression shape(
        QStringLiteral("^%1[A-Za-z0-9]{%2}$").arg(QRegularExpression::escape(prefix)).arg(uniqueLetters));
    const QStringList names = QDir(parent).entryList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!shape.match(name).hasMatch()) {
            continue;
        }
        const QByteArray encoded = QFile::encodeName(name);
        const int folder =
            ::openat(parentFolder, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) {
            continue;
        }
        struct stat st;
        // Its copy's lock went with it; a running copy's holds.
        if (::fstat(folder, &st) == 0 && ownedPrivately(st) && ::flock(folder, LOCK_EX | LOCK_NB) == 0) {
            removeOwnFilesAt(folder);
            ::unlinkat(parentFolder, encoded.constData(), AT_REMOVEDIR);
        }
        ::close(folder);
    }
    ::close(parentFolder);
}

DownloadFolder::DownloadFolder(QString path, int folder)
    : m_path(std::move(path))
    , m_folder(folder)
    , m_owner(::getpid())
{}

DownloadFolder::~DownloadFolder()
{
    // A forked child that exits leaves its parent's files alone.
    if (::getpid() == m_owner) {
        removeOwnFilesAt(m_folder);
        ::rmdir(QFile::encodeName(m_path).constData());
    }
    ::close(m_folder);
}
