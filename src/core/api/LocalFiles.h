#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <ctime>
#include <limits>

class QRegularExpression;

// The system's reason when not all of `bytes` reached the file open at `fd`; empty when they all
// did. (QFile reports a write that the disk cut short part-way as "Unknown error".)
QString writeAll(int fd, const QByteArray &bytes);

// The text of a failed file operation: `format` takes the file's path, then the reason.
QString readableFileError(const QString &format, const QString &path, const QString &reason);

// Whether replaceFile may replace a file at the name that nobody may write.
enum class ReadOnlyFile { Replace, Refuse };

// Writes `bytes` to a part file beside `path` and renames it onto `path`: rename(2) replaces whatever
// is at the name, a symbolic link included, and never follows it. A failure throws FileError with
// the system's reason and leaves what was at the name as it was. `permissions` are those of a new
// file, less the umask. The part stays locked while it exists, so that removeStaleParts can tell
// a part being written from one that a killed process left. Stale parts of `path` that a killed
// writer left go first, by the rules of removeStaleParts.
void replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions,
                 ReadOnlyFile readOnly);

// Where replaceFile and StreamedFileWriter write the bytes for `path`: a hidden file beside it
// named after it, ".<name>.<16 hex digits>.part", the name shortened to what the file system
// allows.
QString partFilePath(const QString &path);

// Removes from `folder` the parts of files named `prefix`… that killed writers left: only regular
// files of this user's, untouched for ten minutes, that no writer holds locked. Also takes the
// parts of earlier versions, "<prefix><16 hex digits>.part". Blocks on the file system.
void removeStaleParts(const QString &folder, const QString &prefix);

// Removes `path` if it is what this program wrote for its own use: a regular file (never a link)
// of this user's that nobody else may read or write, last written before `before`. Whether it
// went.
bool removeOwnFile(const QString &path, std::time_t before = std::numeric_limits<std::time_t>::max());

// removeOwnFile, all but the wait: the file leaves its name at once and a pool thread frees its
// space, which for a large file takes longer than a frame. Whether it left its name.
bool removeOwnFileSoon(const QString &path);

// removeOwnFile on the files of `folder` whose names `pattern` matches. Blocks on the file system.
void removeOwnFiles(const QString &folder, const QRegularExpression &pattern, std::time_t before);
