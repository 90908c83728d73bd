#pragma once

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <functional>
#include <memory>

// Writes a file from pieces handed over as they arrive (a download's body), on pool threads, one
// piece after another, into a part file beside the target (named as partFilePath names it) that
// is renamed onto the target once every piece is in: a failed or dropped write leaves whatever was
// at the name as it was. Not synced: what it writes lives no longer than the run that wrote it.
// The pieces come from one thread.
class StreamedFileWriter
{
public:
    struct Outcome
    {
        QString path;  // the file written
        QString error; // what to say instead, when nothing was written
    };

    // `target` names the file; it runs on a pool thread before the first write and may throw
    // FileError. New files are open to their owner alone.
    explicit StreamedFileWriter(std::function<QString()> target);
    // A write not finished is dropped: its part goes.
    ~StreamedFileWriter();
    StreamedFileWriter(const StreamedFileWriter &) = delete;
    StreamedFileWriter &operator=(const StreamedFileWriter &) = delete;

    void append(QByteArray piece);
    // Bytes handed over and not yet written.
    qint64 backlog() const;
    // No piece after this one. The file is in place, or the part gone, when the future ends.
    QFuture<Outcome> finish();

private:
    struct State;
    std::shared_ptr<State> m_state;
};
