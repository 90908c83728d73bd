#include "StreamedFileWriter.h"

#include "APIClientError.h"
#include "LocalFiles.h"

#include <QFile>
#include <QPromise>
#include <QThreadPool>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class End { none, finish, drop };

} // namespace

struct StreamedFileWriter::State : std::enable_shared_from_this<State>
{
    std::function<QString()> target;
    QPromise<Outcome> promise;
    QFuture<Outcome> future;

    std::mutex mutex;
    QList<QByteArray> pending; // under the mutex, as are the three below
    qint64 unwritten = 0;      // the pending pieces and those being written
    End end = End::none;
    bool draining = false;

    // Only the one draining task touches these.
    QString path;
    QString part;
    int fd = -1;
    QString error;

    // Called under the mutex.
    void drainSoon()
    {
        if (!draining) {
            draining = true;
            QThreadPool::globalInstance()->start([self = shared_from_this()] { self->drain(); });
        }
    }

    void drain()
    {
        for (;;) {
            QList<QByteArray> pieces;
            End ending;
            {
                std::lock_guard lock(mutex);
                pieces.swap(pending);
                ending = end;
                if (pieces.isEmpty() && ending == End::none) {
                    draining = false;
                    return;
                }
            }
            if (ending != End::drop) {
                write(pieces);
            }
            qint64 taken = 0;
            for (const QByteArray &piece : std::as_const(pieces)) {
                taken += piece.size();
            }
            {
                std::lock_guard lock(mutex);
                unwritten -= taken;
            }
            if (ending != End::none) {
                conclude(ending == End::finish);
                return;
            }
        }
    }

    QString failure(const QString &reason) const
    {
        return readableFileError(QStringLiteral("无法保存文件“%1”：%2"), path, reason);
    }

    void open()
    {
        try {
            path = target();
        } catch (const FileError &e) {
            error = e.description();
            return;
        }
        part = partFilePath(path);
        fd = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    S_IRUSR | S_IWUSR);
        if (fd < 0) {
            error = failure(QString::fromLocal8Bit(std::strerror(errno)));
            part.clear();
        }
    }

    void write(const QList<QByteArray> &pieces)
    {
        for (const QByteArray &piece : pieces) {
            if (error.isEmpty() && fd < 0) {
                open();
            }
            if (!error.isEmpty()) {
                return;
            }
            const QString reason = writeAll(fd, piece);
            if (!reason.isEmpty()) {
                error = failure(reason);
            }
        }
    }

    void conclude(bool keep)
    {
        if (keep && error.isEmpty() && fd < 0) {
            open(); // an empty body is a file too
        }
        keep = keep && error.isEmpty();
        if (fd >= 0 && ::close(fd) != 0 && keep) {
            error = failure(QString::fromLocal8Bit(std::strerror(errno)));
            keep = false;
        }
        fd = -1;
        const QByteArray partName = QFile::encodeName(part);
        if (keep && ::rename(partName.constData(), QFile::encodeName(path).constData()) != 0) {
            error = failure(QString::fromLocal8Bit(std::strerror(errno)));
            keep = false;
        }
        if (!keep && !part.isEmpty()) {
            ::unlink(partName.constData());
        }
        promise.addResult(Outcome{keep ? path : QString(), error});
        promise.finish();
    }
};

StreamedFileWriter::StreamedFileWriter(std::function<QString()> target)
    : m_state(std::make_shared<State>())
{
    m_state->target = std::move(target);
    m_state->promise.start();
    m_state->future = m_state->promise.future();
}

StreamedFileWriter::~StreamedFileWriter()
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->end == End::none) {
        m_state->end = End::drop;
        m_state->drainSoon();
    }
}

void StreamedFileWriter::append(QByteArray piece)
{
    std::lock_guard lock(m_state->mutex);
    if (piece.isEmpty() || m_state->end != End::none) {
        return;
    }
    m_state->unwritten += piece.size();
    m_state->pending.append(std::move(piece));
    m_state->drainSoon();
}

qint64 StreamedFileWriter::backlog() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->unwritten;
}

QFuture<StreamedFileWriter::Outcome> StreamedFileWriter::finish()
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->end == End::none) {
        m_state->end = End::finish;
        m_state->drainSoon();
    }
    return m_state->future;
}
