#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// Measures a media file's length with Qt Multimedia before it is uploaded.
namespace MediaDurationProbe {

// The file's duration in milliseconds, or nullopt when the player reports none in time (not
// media, unreadable, or an indefinite stream). Never throws.
QCoro::Task<std::optional<qint64>> measure(QString path, int timeoutMs = 8000);

// Whole seconds, halves away from zero; 0 for no duration, a non-finite value or one outside
// the signed 64-bit range.
qint64 roundedSeconds(std::optional<double> seconds);

} // namespace MediaDurationProbe
