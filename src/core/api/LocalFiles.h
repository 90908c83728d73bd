#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// The text of a failed file operation: `format` takes the file's path, then the reason.
QString readableFileError(const QString &format, const QString &path, const QString &reason);

// Writes `bytes` to a new file beside `path` and renames it onto `path`: rename(2) replaces whatever
// is at the name, a symbolic link included, and never follows it. A failure throws FileError and
// leaves what was at the name as it was. `permissions` are those of a new file, less the umask.
void replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions);
