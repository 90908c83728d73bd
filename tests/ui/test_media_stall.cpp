#include "FakeMedia.h"
#include "TestHelpers.h"
#include "flow/MediaSourceGate.h"
#include "flow/PlaybackPlayer.h"

#include <QAudioDevice>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

QString python()
{
    // Debian's own, which its python3-fusepy serves, before any other on the path.
    return QFile::exists(QStringLiteral("/usr/bin/python3"))
               ? QStringLiteral("/usr/bin/python3")
               : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

QString fusermount()
{
    const QString two = QStandardPaths::findExecutable(QStringLiteral("fusermount"));
    return two.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("fusermount3")) : two;
}

// A folder mounted through a daemon of the test's own in which every read of one file hangs until
// released, as a file on a share that stops answering does.
class HungMount
{
public:
    // Why this machine cannot make one; empty when it can.
    static QString unavailable()
    {
        if (!QFile::exists(QStringLiteral("/dev/fuse"))) {
            return QStringLiteral("no /dev/fuse");
        }
        if (fusermount().isEmpty()) {
            return QStringLiteral("no fusermount (package fuse)");
        }
        QProcess probe;
        probe.start(python(), {QStringLiteral("-c"), QStringLiteral("import fusepy")});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0) {
            return QStringLiteral("no python3-fusepy");
        }
        return {};
    }

    ~HungMount()
    {
        release();
        if (m_daemon.state() == QProcess::NotRunning) {
            return;
        }
        QProcess unmount;
        unmount.start(fusermount(), {QStringLiteral("-u"), QStringLiteral("-z"), m_mountPoint});
        if (!unmount.waitForFinished(5000)) {
            unmount.kill();
            unmount.waitForFinished(1000);
        }
        // Killed, it drops whatever is still asked of the mount.
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(2000);
        }
    }

    // Empty once mounted, else what went wrong.
    QString mount(const QList<std::pair<QString, QByteArray>> &files, const QString &hung)
    {
        if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("files")) ||
            !QDir(m_dir.path()).mkpath(QStringLiteral("mount"))) {
            return QStringLiteral("no temporary folder");
        }
        for (const auto &[name, bytes] : files) {
            QFile out(m_dir.filePath(QStringLiteral("files/") + name));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
                return out.errorString();
            }
        }
        m_mountPoint = m_dir.filePath(QStringLiteral("mount"));
        m_releaseFile = QFile::encodeName(m_dir.filePath(QStringLiteral("release")));
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.start(python(),
                       {QStringLiteral(QUILLORY_HUNG_READS_MOUNT), m_dir.filePath(QStringLiteral("files")),
                        m_mountPoint, hung, QFile::decodeName(m_releaseFile)});
        QByteArray said;
        const QDeadlineTimer deadline(15000);
        while (!said.contains("mounted") && m_daemon.state() != QProcess::NotRunning &&
               !deadline.hasExpired()) {
            m_daemon.waitForReadyRead(100);
            said += m_daemon.readAll();
        }
        return said.contains("mounted") ? QString() : QStringLiteral("the mount did not come up: ") + said;
    }

    QString path(const QString &name) const { return m_mountPoint + QLatin1Char('/') + name; }

    // From any thread.
    void release() const
    {
        if (!m_releaseFile.isEmpty()) {
            ::close(::open(m_releaseFile.constData(), O_WRONLY | O_CREAT, 0600));
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_mountPoint;
    QByteArray m_releaseFile;
    QProcess m_daemon;
};

// Beats on the GUI thread every 20 ms and keeps the longest gap between beats. A window held by the
// hung reads stands still until they answer, so past `patience` without a beat it lets them go: such
// a window fails the test, not hangs it. A loaded machine holds a sanitizer build's window up to a
// second or two, which is no freeze.
class Heartbeat
{
public:
    static constexpr qint64 patience = 5000;

    explicit Heartbeat(const HungMount &mount)
    {
        m_since.start();
        m_last = 0;
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_since.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(20);
        m_thread = std::thread([this, &mount] {
            while (!m_stop) {
                std::this_thread::sleep_for(100ms);
                if (m_since.elapsed() - m_last > patience) {
                    mount.release();
                }
            }
        });
    }
    ~Heartbeat()
    {
        m_stop = true;
        m_thread.join();
    }
    qint64 longestGap() const { return m_longest; }

private:
    QElapsedTimer m_since;
    std::atomic<qint64> m_last;
    qint64 m_longest = 0;
    QTimer m_timer;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

} // namespace

#define SKIP_WITHOUT_HUNG_MOUNT()                                                                            \
    do {                                                                                                     \
        REQUIRE_FOR_REAL_PLAYBACK(!QMediaDevices::audioOutputs().isEmpty(),                                  \
                                  "This machine has no audio output device: real playback cannot run here."); \
        if (const QString why = HungMount::unavailable(); !why.isEmpty()) {                                  \
            QSKIP(qPrintable(QStringLiteral("A mount whose reads hang cannot be made here: ") + why));       \
        }                                                                                                    \
    } while (false)

class TestMediaStall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stalledFileNeverFreezesTheWindow();
    void quitWithAStalledFileEnds();
};

// A file whose reads hang is said to have stalled once the load limit has passed, and is not opened
// again while its reads hang: the window answers throughout, another file plays, and the stalled one
// asked for again is refused at once. Once its reads answer, it plays.
void TestMediaStall::stalledFileNeverFreezesTheWindow()
{
    SKIP_WITHOUT_HUNG_MOUNT();
    HungMount mount;
    const QString mounted = mount.mount({{QStringLiteral("hung.mp4"), FakeMedia::demoVideo()},
                                         {QStringLiteral("tone.wav"), FakeMedia::toneWav(5, 440)}},
                                        QStringLiteral("hung.mp4"));
    QVERIFY2(mounted.isEmpty(), qPrintable(mounted));

    const std::unique_ptr<PlaybackPlayer> player = makeMediaPlayer();
    QList<PlaybackFailure> failures;
    player->onFailed([&](PlaybackFailure why) { failures.append(why); });
    int replaced = 0;
    player->onMediaPlayerReplaced([&] { ++replaced; });
    // The media framework loads with the first file, which can hold the GUI thread a while.
    player->setSource(mount.path(QStringLiteral("tone.wav")));
    player->play();
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);

    const Heartbeat heartbeat(mount);
    QElapsedTimer watched;
    watched.start();
    const QPointer<QMediaPlayer> stuck = player->mediaPlayer();
    // Only this load has a short limit: the other files load in what a loaded machine takes.
    setMediaLoadLimit(2s);
    const auto restore = qScopeGuard([] { setMediaLoadLimit(10s); });
    player->setSource(mount.path(QStringLiteral("hung.mp4")));
    player->play();
    QTRY_VERIFY_WITH_TIMEOUT(!failures.isEmpty(), 15000);
    setMediaLoadLimit(10s);
    QCOMPARE(failures, QList<PlaybackFailure>{PlaybackFailure::stalled});
    QCOMPARE(replaced, 1);
    QVERIFY(player->mediaPlayer() != stuck.data());
    QCOMPARE(player->mediaPlayer()->source(), QUrl());
    QTest::qWait(int(std::max<qint64>(0, 6000 - watched.elapsed()))); // the window answers on meanwhile

    player->setSource(mount.path(QStringLiteral("tone.wav")));
    player->play();
    QTRY_VERIFY_WITH_TIMEOUT(player->isPlaying() && player->position() > 300, 10000);

    QSignalSpy sources(player->mediaPlayer(), &QMediaPlayer::sourceChanged);
    player->setSource(mount.path(QStringLiteral("hung.mp4")));
    QTRY_COMPARE(failures.size(), 2);
    QCOMPARE(failures.last(), PlaybackFailure::stalled);
    QCOMPARE(replaced, 1);
    QCOMPARE(player->mediaPlayer()->source(), QUrl());
    for (const QList<QVariant> &source : std::as_const(sources)) {
        QCOMPARE(source.first().toUrl(), QUrl());
    }
    QVERIFY2(heartbeat.longestGap() < Heartbeat::patience,
             qPrintable(QString::number(heartbeat.longestGap())));

    QVERIFY(stuck);
    mount.release();
    QTRY_VERIFY_WITH_TIMEOUT(stuck.isNull(), 10000);
    player->setSource(mount.path(QStringLiteral("hung.mp4")));
    player->setMuted(true);
    player->play();
    QTRY_VERIFY_WITH_TIMEOUT(player->isPlaying() && player->position() > 0, 10000);
    QCOMPARE(failures.size(), 2);
}

// A program quitting while a file's reads hang ends its main thread within the bound set on its
// tear-down. (The process itself goes only once the read returns: the kernel holds the thread in it.)
void TestMediaStall::quitWithAStalledFileEnds()
{
    const QByteArray hung = qgetenv("QUILLORY_HUNG_FILE");
    if (!hung.isEmpty()) {
        // The child: its file stalls, and it quits.
        setMediaLoadLimit(1s);
        const std::unique_ptr<PlaybackPlayer> player = makeMediaPlayer();
        bool stalled = false;
        player->onFailed([&](PlaybackFailure why) { stalled = why == PlaybackFailure::stalled; });
        player->setSource(QFile::decodeName(hung));
        player->play();
        QTRY_VERIFY_WITH_TIMEOUT(stalled, 15000);
        player->onFailed([](PlaybackFailure) {});
        std::atexit([] {
            const char said[] = "main thread ended\n";
            [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, said, sizeof said - 1);
        });
        // As the program does once its event loop has returned.
        MediaSourceGate::boundTearDown(5s);
        return;
    }
    SKIP_WITHOUT_HUNG_MOUNT();
    HungMount mount;
    const QString mounted =
        mount.mount({{QStringLiteral("hung.mp4"), FakeMedia::demoVideo()}}, QStringLiteral("hung.mp4"));
    QVERIFY2(mounted.isEmpty(), qPrintable(mounted));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLORY_HUNG_FILE"), mount.path(QStringLiteral("hung.mp4")));
    // The child's leaks are not what it is for, and a leak check would wait on its stuck thread. Nor
    // does it need the full stacks the leak suppressions read: taken at every allocation, they make a
    // sanitizer build start, and tear down, several times slower.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    environment.insert(QStringLiteral("LSAN_OPTIONS"), environment.value(QStringLiteral("LSAN_OPTIONS")) +
                                                           QStringLiteral(":fast_unwind_on_malloc=1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("quitWithAStalledFileEnds")});
    QVERIFY(child.waitForStarted());
    const auto endChild = qScopeGuard([&] {
        mount.release();
        child.kill();
        child.waitForFinished(10000);
    });
    QByteArray said;
    QByteArray complained;
    const auto read = [&] {
        said += child.readAllStandardOutput();
        complained += child.readAllStandardError();
        return said.contains("main thread ended") || complained.contains("exit cut short") ||
               child.state() == QProcess::NotRunning;
    };
    // Until its exit has ended one way or the other: the child bounds its own tear-down, and how long
    // it takes to start is no part of the check.
    QTRY_VERIFY2_WITH_TIMEOUT(read(), qPrintable(QString::fromLocal8Bit(said + complained)), 90000);
    const QString how = QString::fromLocal8Bit(said + complained);
    QVERIFY2(said.contains("PASS   : TestMediaStall::quitWithAStalledFileEnds()"), qPrintable(how));
    QVERIFY2(said.contains("main thread ended"), qPrintable(how));

    mount.release();
    QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 15000);
    read();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(QStringLiteral("status %1, code %2: ").arg(child.exitStatus()).arg(child.exitCode()) +
                        QString::fromLocal8Bit(said + complained)));
    QVERIFY2(!complained.contains("exit cut short"), qPrintable(QString::fromLocal8Bit(complained)));
}

QTEST_MAIN(TestMediaStall)
#include "test_media_stall.moc"
