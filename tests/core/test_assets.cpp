#include "ClientTestSupport.h"
#include "api/CurlSession.h"
#include "api/LocalFiles.h"
#include "api/PreparedAssetCache.h"
#include "flow/FlowStructureCommands.h"

#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ClientTest;

namespace {

const QByteArray uploadAnswer =
    R"({"ok":true,"assetId":"a1","filename":"clip.mp3","duration":3,)"
    R"("durationSource":"audio","audioDuration":3,"videoDuration":0,"durationUpdated":true})";

// Run with this argument, the test program stands in for another copy of the program.
const char *const holdDownloadsArgument = "--hold-downloads";

QString downloadPathOf(const QString &name)
{
    return QDir(APIClient::downloadFolder()).filePath(name);
}

// What downloads left half-written.
QStringList downloadParts()
{
    return QDir(APIClient::downloadFolder())
        .entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        return {};
    }
    return path;
}

// The multipart body the service expects, written out independently of the client.
QByteArray multipart(const QByteArray &boundary, const QList<QPair<QByteArray, QByteArray>> &fields,
                     const QByteArray &fileName, const QByteArray &mediaType, const QByteArray &content)
{
    QByteArray body;
    for (const auto &[name, value] : fields) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
                value + "\r\n";
    }
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + fileName +
            "\"\r\nContent-Type: " + mediaType + "\r\n\r\n" + content + "\r\n--" + boundary + "--\r\n";
    return body;
}

// Downloads the asset of cut.mp3, round after round, over an earlier copy; says how each round
// ended and what it left at `path`. Stops when the client goes.
QCoro::Task<QStringList> downloadRounds(QPointer<APIClient> client, QString path, int rounds)
{
    QStringList said;
    for (int round = 0; round < rounds && client; ++round) {
        writeFile(path, "earlier copy");
        QString outcome = QStringLiteral("ok");
        try {
            co_await client->downloadAsset("p1", "i1", "audio", "a1", "cut.mp3");
        } catch (...) {
            outcome = describeCurrentException();
        }
        said << outcome + QLatin1Char(' ') + QString::fromLatin1(readAll(path));
    }
    co_return said;
}

// The other copy: downloads a file, sweeps the temporary folder as a start does, and runs until
// killed or until its input closes.
int holdDownloads()
{
    const QString held = downloadPathOf(APIClient::assetFileName("p2", "i2", "video", "a2", "held.mp4"));
    if (writeFile(held, "held").isEmpty() ||
        !QFile::setPermissions(held, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return 1;
    }
    std::printf("%s\n", QFile::encodeName(held).constData());
    std::fflush(stdout);
    APIClient::removeStaleDownloads(QDir::tempPath());
    std::printf("swept\n");
    std::fflush(stdout);
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}

// Whether the file open at `probe` has no name left and no other descriptor of this process
// holds it: its space is free once the probe closes.
bool onlyProbeHolds(int probe)
{
    struct stat held;
    if (::fstat(probe, &held) != 0 || held.st_nlink != 0) {
        return false;
    }
    const QDir open(QStringLiteral("/proc/self/fd"));
    const QStringList fds = open.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return std::none_of(fds.cbegin(), fds.cend(), [&](const QString &fd) {
        struct stat st;
        return fd.toInt() != probe && ::stat(QFile::encodeName(open.filePath(fd)).constData(), &st) == 0 &&
               st.st_dev == held.st_dev && st.st_ino == held.st_ino;
    });
}

} // namespace

class TestAssets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void downloadNaming_data();
    void downloadNaming();
    void downloadReplacesTheFile_data();
    void downloadReplacesTheFile();
    void assetsOfOneFileNameGetTwoFiles();
    void failedWritesSayWhy();
    void staleParts_data();
    void staleParts();
    void replacedDownloadsGo();
    void copiesKeepEachOthersDownloads();
    void undecodableBodyFails();
    void downloadCutShortLeavesNothing_data();
    void downloadCutShortLeavesNothing();
    void pausedBodyComesWhole();
    void stalledTransferEnds();
    void cutBodiesKeepTheCopy_data();
    void cutBodiesKeepTheCopy();
    void downloadRefusals_data();
    void downloadRefusals();
    void assetsKeepTheBasePath();
    void uploadBody_data();
    void uploadBody();
    void uploadSizeLimit_data();
    void uploadSizeLimit();
    void uploadRefusals_data();
    void uploadRefusals();
    void unreadableUpload();
    void roundTripThroughTheService();

private:
    FakeService m_fake;
    QTemporaryDir m_dir;
    QStringList m_written; // downloads to remove from the temporary folder
    std::unique_ptr<Rig> m_rig;
};

void TestAssets::initTestCase()
{
    QVERIFY(m_fake.start());
    QVERIFY(m_dir.isValid());
}

void TestAssets::cleanupTestCase()
{
    m_rig.reset();
    m_fake.stop();
}

void TestAssets::init()
{
    m_fake.clearScripts();
    m_fake.clearRequests();
    m_rig = std::make_unique<Rig>(QUrl(m_fake.baseUrl()));
    m_rig->store->setToken(QStringLiteral("tok"));
}

void TestAssets::cleanup()
{
    for (const QString &path : std::as_const(m_written)) {
        QFile::remove(path);
    }
    m_written.clear();
}

void TestAssets::downloadNaming_data()
{
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("asset");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QString>("expected");

    QTest::newRow("slash in the name") << "p1"
                                       << "i1"
                                       << "audio"
                                       << "a1"
                                       << "a/b.mp3"
                                       << "tavik-p1-i1-audio-a1-a-b.mp3";
    QTest::newRow("category tells audio from video") << "p1"
                                                     << "i1"
                                                     << "video"
                                                     << "a1"
                                                     << "a/b.mp3"
                                                     << "tavik-p1-i1-video-a1-a-b.mp3";
    QTest::newRow("empty name") << "p1"
                                << "i1"
                                << "audio"
                                << "a1"
                                << ""
                                << "tavik-p1-i1-audio-a1-";
    QTest::newRow("backslash") << "p1"
                               << "i1"
                               << "audio"
                               << "a1"
                               << "a\\b.mp3"
                               << "tavik-p1-i1-audio-a1-a-b.mp3";
    QTest::newRow("climbing identifiers") << "../.."
                                          << "../x"
                                          << "../"
                                          << "..\\.."
                                          << "../../etc/passwd"
                                          << "tavik-..-..-..-x-..--..-..-..-..-etc-passwd";
    QTest::newRow("chinese") << "演出 1"
                             << "i1"
                             << "audio"
                             << "素材 7"
                             << "歌曲.mp3"
                             << "tavik-演出 1-i1-audio-素材 7-歌曲.mp3";
    QTest::newRow("NUL and line break") << "p1" << QStringLiteral("i%1x").arg(QChar(0)) << "audio"
                                        << "a\n1"
                                        << "a\nb.mp3"
                                        << "tavik-p1-i-x-audio-a-1-a-b.mp3";
    // 253 bytes: the part beside it must be shortened to stay within the name limit.
    const QString longName = QString(76, QChar(u'歌')) + QStringLiteral(".mp3");
    QTest::newRow("long name") << "p1"
                               << "i1"
                               << "audio"
                               << "a1" << longName << QStringLiteral("tavik-p1-i1-audio-a1-") + longName;
}

void TestAssets::downloadNaming()
{
    QFETCH(QString, project);
    QFETCH(QString, item);
    QFETCH(QString, category);
    QFETCH(QString, asset);
    QFETCH(QString, filename);
    QFETCH(QString, expected);

    Script answer;
    answer.body = "media bytes";
    answer.contentType = "audio/mpeg";
    m_fake.script("GET", "/api/assets", answer);
    m_written << downloadPathOf(expected);

    SETTLE(result, m_rig->client->downloadAsset(project, item, category, asset, filename));
    QVERIFY2(result.succeeded(), qPrintable(result.description()));
    QCOMPARE(*result.value, downloadPathOf(expected));
    QCOMPARE(QFileInfo(*result.value).canonicalPath(), QDir(APIClient::downloadFolder()).canonicalPath());
    QCOMPARE(readAll(*result.value), QByteArray("media bytes"));

    const RecordedRequest request = m_fake.lastRequest();
    QCOMPARE(request.target, "/api/assets?projectId=" + APIClient::encodeQueryValue(project).toUtf8() +
                                 "&itemId=" + APIClient::encodeQueryValue(item).toUtf8() +
                                 "&category=" + APIClient::encodeQueryValue(category).toUtf8() + "&inline=1");
    QCOMPARE(request.queryItem(QStringLiteral("projectId")), project);
    QVERIFY(!request.hasHeader("Accept"));
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok"));
}

void TestAssets::downloadReplacesTheFile_data()
{
    QTest::addColumn<QString>("atTheName"); // "file", "read-only file", "link" or "dangling link"
    QTest::newRow("earlier copy") << "file";
    QTest::newRow("read-only earlier copy") << "read-only file";
    QTest::newRow("link to another file") << "link";
    QTest::newRow("dangling link") << "dangling link";
}

// Whatever sits at the name is replaced; a link there is never followed.
void TestAssets::downloadReplacesTheFile()
{
    QFETCH(QString, atTheName);
    const QString path = downloadPathOf(APIClient::assetFileName("p1", "i1", "audio", "a1", "old.mp3"));
    m_written << path;
    QFile::remove(path);
    const QString victim = m_dir.filePath(QStringLiteral("victim"));
    QFile::remove(victim);
    if (atTheName.endsWith(QLatin1String("file"))) {
        QVERIFY(!writeFile(path, "a much longer earlier copy of the file").isEmpty());
        QVERIFY(atTheName == QLatin1String("file") || QFile::setPermissions(path, QFileDevice::ReadOwner));
    } else {
        if (atTheName == QLatin1String("link")) {
            QVERIFY(!writeFile(victim, "keep me").isEmpty());
        }
        QVERIFY(QFile::link(victim, path));
    }

    Script answer;
    answer.body = "new";
    m_fake.script("GET", "/api/assets", answer);
    SETTLE(result, m_rig->client->downloadAsset("p1", "i1", "audio", "a1", "old.mp3"));
    QVERIFY2(result.succeeded(), qPrintable(result.description()));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(readAll(path), QByteArray("new"));
    QCOMPARE(readAll(victim), atTheName == QLatin1String("link") ? QByteArray("keep me") : QByteArray());
    QCOMPARE(QFile::exists(victim), atTheName == QLatin1String("link"));
}

// A replacement uploaded under the old file name must not overwrite the copy a reuse of the old
// asset points at.
void TestAssets::assetsOfOneFileNameGetTwoFiles()
{
    QStringList paths;
    for (const char *asset : {"old-asset", "new-asset"}) {
        Script answer;
        answer.body = QByteArray("bytes of ") + asset;
        m_fake.script("GET", "/api/assets", answer);
        SETTLE(result, m_rig->client->downloadAsset("p1", "i1", "audio", asset, "same.mp3"));
        QVERIFY2(result.succeeded(), qPrintable(result.description()));
        paths.append(*result.value);
        m_written << *result.value;
    }
    QCOMPARE_NE(paths.first(), paths.last());
    QCOMPARE(readAll(paths.first()), QByteArray("bytes of old-asset"));
    QCOMPARE(readAll(paths.last()), QByteArray("bytes of new-asset"));
}

void TestAssets::failedWritesSayWhy()
{
    const QString path = m_dir.filePath(QStringLiteral("节目单.xlsx"));
    QVERIFY(!writeFile(path, "earlier").isEmpty());
    const QString format = QStringLiteral("无法保存文件“%1”：%2");

    // Its owner made it read-only: the export leaves it alone.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QCOMPARE(FlowStructureCommands::writeAtomically(path, "new"),
             format.arg(path, QStringLiteral("该位置已有只读文件，未覆盖")));
    QCOMPARE(readAll(path), QByteArray("earlier"));

    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    // A download as well: the copy in place stays, and the item never plays cut off.
    Script answer;
    answer.body = QByteArray(1024 * 1024, 'v');
    m_fake.script("GET", "/api/assets", answer);
    const QString download = downloadPathOf(APIClient::assetFileName("p1", "i1", "video", "a1", "full.mp4"));
    m_written << download;
    QVERIFY(!writeFile(download, "earlier copy").isEmpty());
    // A file size limit stops write(2) part-way, as a full disk does.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lowered{64 * 1024, old.rlim_max};
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lowered);
    const QString cutShort = FlowStructureCommands::writeAtomically(path, QByteArray(1024 * 1024, 'x'));
    const auto downloaded = settle(m_rig->client->downloadAsset("p1", "i1", "video", "a1", "full.mp4"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    QVERIFY(downloaded.finished);
    const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
    QCOMPARE(cutShort, format.arg(path, tooLarge));
    QCOMPARE(readAll(path), QByteArray("earlier"));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden),
             QStringList());
    QCOMPARE(downloaded.description(), format.arg(download, tooLarge));
    QCOMPARE(readAll(download), QByteArray("earlier copy"));
    QCOMPARE(downloadParts(), QStringList());
}

// What a killed download left goes at the next start, what a killed export left at the next
// export to the same name; nothing else does.
void TestAssets::staleParts_data()
{
    QTest::addColumn<bool>("foreign");
    QTest::newRow("own") << false;
    QTest::newRow("another user's too") << true;
}

void TestAssets::staleParts()
{
    QFETCH(bool, foreign);
    // Only root can hand a file to another user.
    if (foreign && ::geteuid() != 0) {
        QSKIP("Parts of another user need root to be made");
    }
    QTemporaryDir dir;
    const QString download = dir.filePath(APIClient::assetFileName("p1", "i1", "audio", "a1", "x.mp3"));
    const QString longDownload = dir.filePath(APIClient::assetFileName(
        "p1", "i1", "audio", "a1", QString(76, QChar(u'歌')) + QStringLiteral(".mp3")));
    const QString exported = dir.filePath(QStringLiteral("节目单.xlsx"));
    const QString stale = partFilePath(download);
    QVERIFY(QFileInfo(stale).fileName().startsWith(QLatin1Char('.') + QFileInfo(download).fileName() + '.'));
    const QString locked = partFilePath(download);
    struct Entry
    {
        QString path;
        bool old;
        bool removed;
        bool removedByExport = false;
        bool foreign = false;
    };
    const QList<Entry> entries = {
        {stale, true, true},
        {partFilePath(longDownload), true, true},
        {dir.filePath(QStringLiteral("tavik-0123456789abcdef.part")), true, true}, // an earlier version's
        {partFilePath(download), false, false},                                    // maybe being written
        {locked, true, false},                                                     // its writer lives
        {download, true, false},
        {partFilePath(exported), true, false, true}, // not a download: the next export's
        {partFilePath(exported), false, false},      // maybe being exported
        {partFilePath(dir.filePath(QStringLiteral("节目单.xlsx.bak"))), true, false},
        {dir.filePath(QStringLiteral(".tavik-x.0123456789abcdeg.part")), true, false},
        {partFilePath(download), true, false, false, true}, // another user's
        {partFilePath(exported), true, false, false, true},
    };
    for (const Entry &e : entries) {
        if (e.foreign && !foreign) {
            continue;
        }
        QFile file(e.path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("part") == 4 && file.flush());
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(e.old ? -3600 : 0),
                                 QFileDevice::FileModificationTime));
        QVERIFY(!e.foreign || ::chown(QFile::encodeName(e.path).constData(), 65534, 65534) == 0);
    }
    QFile writer(locked);
    QVERIFY(writer.open(QIODevice::ReadOnly) && flock(writer.handle(), LOCK_EX) == 0);

    removeStaleParts(dir.path(), QStringLiteral("tavik-"));
    for (const bool afterExport : {false, true}) {
        if (afterExport) {
            replaceFile(exported, "xlsx", QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                        ReadOnlyFile::Refuse);
        }
        for (const Entry &e : entries) {
            const bool removed = e.removed || (afterExport && e.removedByExport);
            QVERIFY2((e.foreign && !foreign) || QFile::exists(e.path) != removed, qPrintable(e.path));
        }
    }
    QCOMPARE(readAll(exported), QByteArray("xlsx"));
}

// A download its item no longer names goes once no player holds it; the start of a run takes what
// earlier runs left, and only downloads.
void TestAssets::replacedDownloadsGo()
{
    PreparedAssetCache cache;
    PreparedAssetCache::Hold playing;
    QStringList paths;
    for (const char *asset : {"old-asset", "new-asset"}) {
        // Not the file of the asset a new upload replaced.
        QVERIFY(!cache.lookup("p1", "i1", "video", asset));
        Script answer;
        answer.body = asset;
        m_fake.script("GET", "/api/assets", answer);
        SETTLE(result, m_rig->client->downloadAsset("p1", "i1", "video", asset, "clip.mp4"));
        QVERIFY2(result.succeeded(), qPrintable(result.description()));
        m_written << *result.value;
        paths << *result.value;
        cache.remember("p1", "i1", "video", asset, *result.value);
        if (!playing) {
            playing = cache.lookup("p1", "i1", "video", asset);
            QVERIFY(playing);
        }
    }
    QCOMPARE(readAll(paths.first()), QByteArray("old-asset"));
    const int probe = ::open(QFile::encodeName(paths.first()).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(probe >= 0);
    playing.reset();
    QVERIFY(!QFile::exists(paths.first()));
    QTRY_VERIFY(onlyProbeHolds(probe));
    ::close(probe);
    QCOMPARE(*cache.lookup("p1", "i1", "video", "new-asset"), paths.last());

    // A file prepared from elsewhere is the user's: it stays when its item names another asset.
    const QFileDevice::Permissions own = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QString outside = writeFile(m_dir.filePath(QStringLiteral("outside.mp4")), "user's");
    QVERIFY(QFile::setPermissions(outside, own));
    cache.remember("p1", "i2", "video", "a1", outside);
    cache.remember("p1", "i2", "video", "a2", paths.last());
    QCOMPARE(readAll(outside), QByteArray("user's"));

    QTemporaryDir dir;
    struct Entry
    {
        QString name;
        QFileDevice::Permissions permissions;
        int age; // seconds since the file was written; negative: written after the start
        bool removed;
    };
    const QList<Entry> entries = {
        {APIClient::assetFileName("p1", "i1", "video", "a1", "clip.mp4"), own, 3600, true},
        {APIClient::assetFileName("p-2", "i-2", "audio", "a-2", "歌.mp3"), own, 60, true},
        {APIClient::assetFileName("p1", "i1", "audio", "a3", "new.mp3"), own, -60, false}, // this run's
        {APIClient::assetFileName("p1", "i1", "audio", "a4", "shared.mp3"), own | QFileDevice::ReadOther,
         3600, false},
        {QStringLiteral("tavik-notes.txt"), own, 3600, false},
        {QStringLiteral("clip.mp4"), own, 3600, false},
    };
    for (const Entry &e : entries) {
        const QString path = writeFile(dir.filePath(e.name), "media");
        QVERIFY(!path.isEmpty() && QFile::setPermissions(path, e.permissions));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(QDateTime::currentDateTime().addSecs(-e.age),
                                 QFileDevice::FileModificationTime));
    }
    const QString link = dir.filePath(APIClient::assetFileName("p1", "i1", "video", "a5", "link.mp4"));
    QVERIFY(QFile::link(outside, link));
    // An ended copy's folder, and a user's that only begins like one.
    const QStringList folders{QStringLiteral("tavik-downloads-Ab12cd"),
                              QStringLiteral("tavik-downloads-backup-2026")};
    for (const QString &name : folders) {
        QVERIFY(QDir(dir.path()).mkdir(name, own | QFileDevice::ExeOwner));
        const QString inside = writeFile(dir.filePath(name + QStringLiteral("/x.mp4")), "media");
        QVERIFY(!inside.isEmpty() && QFile::setPermissions(inside, own));
    }

    APIClient::removeStaleDownloads(dir.path());
    for (const Entry &e : entries) {
        QVERIFY2(QFile::exists(dir.filePath(e.name)) != e.removed, qPrintable(e.name));
    }
    QVERIFY(!QFileInfo::exists(dir.filePath(folders.first())));
    QVERIFY(QFileInfo::exists(dir.filePath(folders.last() + QStringLiteral("/x.mp4"))));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(outside), QByteArray("user's"));
}

// Two copies of the program on one temporary folder: neither's sweep at start takes what the other
// holds; the folder of one that was killed goes at the next sweep.
void TestAssets::copiesKeepEachOthersDownloads()
{
    Script answer;
    answer.body = "ours";
    m_fake.script("GET", "/api/assets", answer);
    SETTLE(ours, m_rig->client->downloadAsset("p1", "i1", "video", "a1", "ours.mp4"));
    QVERIFY2(ours.succeeded(), qPrintable(ours.description()));
    m_written << *ours.value;
    const QTemporaryDir elsewhere;
    const QString notOurs = writeFile(QDir(elsewhere.path()).filePath(QStringLiteral("x.mp4")), "user's");
    QVERIFY(QFile::setPermissions(notOurs, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QString link = QDir(QDir::tempPath()).filePath(QStringLiteral("tavik-downloads-linked"));
    QFile::remove(link);
    QVERIFY(QFile::link(elsewhere.path(), link));

    QProcess other;
    QByteArray said;
    connect(&other, &QProcess::readyReadStandardOutput, this, [&] { said += other.readAllStandardOutput(); });
    other.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(holdDownloadsArgument)});
    QTRY_VERIFY_WITH_TIMEOUT(said.endsWith("swept\n") || other.state() == QProcess::NotRunning, 20000);
    QVERIFY2(said.endsWith("swept\n"), said.constData());
    const QString held = QFile::decodeName(said.left(said.indexOf('\n')));
    QCOMPARE_NE(QFileInfo(held).path(), QFileInfo(*ours.value).path());
    QCOMPARE(readAll(*ours.value), QByteArray("ours"));

    APIClient::removeStaleDownloads(QDir::tempPath());
    QCOMPARE(readAll(held), QByteArray("held"));

    // Killed, as a crash ends it: its lock went with it.
    other.kill();
    QTRY_COMPARE_WITH_TIMEOUT(other.state(), QProcess::NotRunning, 20000);
    APIClient::removeStaleDownloads(QDir::tempPath());
    QVERIFY(!QFileInfo::exists(QFileInfo(held).path()));
    QCOMPARE(readAll(*ours.value), QByteArray("ours"));
    QCOMPARE(readAll(notOurs), QByteArray("user's"));
    QVERIFY(QFile::remove(link));
}

// A 2xx body Qt cannot decode is a failed transfer, not an empty answer.
void TestAssets::undecodableBodyFails()
{
    Script broken;
    // A gzip header, then a deflate block of the reserved type: no inflater takes it.
    broken.body = QByteArray::fromHex("1f8b0800000000000003ffffffff");
    broken.headers = {{"Content-Encoding", "gzip"}};
    broken.contentType = "application/octet-stream"; // the fake would compress a JSON answer itself
    m_fake.script("GET", "/api/assets", broken);
    m_fake.script("GET", "/api/session", broken);
    const QString path = downloadPathOf(APIClient::assetFileName("p1", "i1", "audio", "a1", "kept.mp3"));
    m_written << path;
    QVERIFY(!writeFile(path, "earlier copy").isEmpty());

    SETTLE(download, m_rig->client->downloadAsset("p1", "i1", "audio", "a1", "kept.mp3"));
    QCOMPARE(download.kind(), QStringLiteral("transport"));
    QCOMPARE(readAll(path), QByteArray("earlier copy"));
    SETTLE(session, m_rig->client->session());
    QCOMPARE(session.kind(), QStringLiteral("transport"));
    QVERIFY(m_rig->store->token().has_value());
}

void TestAssets::downloadCutShortLeavesNothing_data()
{
    QTest::addColumn<bool>("clientGoes");
    QTest::newRow("by the service") << false;
    QTest::newRow("by the client going") << true;
}

// Cut short after part of the body reached the disk: the earlier copy stays and no part is left.
void TestAssets::downloadCutShortLeavesNothing()
{
    QFETCH(bool, clientGoes);
    QTcpServer service;
    QVERIFY(service.listen(QHostAddress::LocalHost));
    QPointer<QTcpSocket> connection;
    connect(&service, &QTcpServer::newConnection, this, [&] {
        connection = service.nextPendingConnection();
        connection->write("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: 100000000\r\n\r\n");
        connection->write(QByteArray(2 * 1024 * 1024, 'v'));
    });
    const QString path = downloadPathOf(APIClient::assetFileName("p1", "i1", "video", "a1", "cut.mp4"));
    m_written << path;
    QVERIFY(!writeFile(path, "earlier copy").isEmpty());

    auto client =
        std::make_unique<APIClient>(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(service.serverPort())),
                                    std::make_shared<MemoryTokenStore>(), false);
    const auto outcome = std::make_shared<Outcome<QString>>();
    const auto running = collect(client->downloadAsset("p1", "i1", "video", "a1", "cut.mp4"), outcome);
    QTRY_VERIFY(!downloadParts().isEmpty());
    if (clientGoes) {
        client.reset();
    } else {
        connection->abort();
    }
    QTRY_VERIFY(outcome->finished);
    QCOMPARE(outcome->kind(), QStringLiteral("transport"));
    QCOMPARE(readAll(path), QByteArray("earlier copy"));
    QTRY_COMPARE(downloadParts(), QStringList());
}

// A consumer that falls behind holds the transfer; each piece it refused comes again, none lost.
void TestAssets::pausedBodyComesWhole()
{
    Script answer;
    for (int i = 0; i < 256 * 1024; ++i) {
        answer.body += static_cast<char>(i % 251);
    }
    answer.contentType = "video/mp4";
    m_fake.script("GET", "/api/assets", answer);
    CurlSession session;
    QByteArray received;
    bool refuse = true;
    int refused = 0;
    // Each piece is refused once, then taken.
    const auto takeEverySecond = [&](QByteArrayView piece) {
        if (std::exchange(refuse, !refuse)) {
            ++refused;
            return false;
        }
        received += piece;
        return true;
    };
    const auto outcome = std::make_shared<Outcome<CurlSession::Answer>>();
    const auto running = collect(
        session.get(QNetworkRequest(QUrl(m_fake.baseUrl() + "/api/assets")), &session, takeEverySecond),
        outcome);
    QTRY_VERIFY(outcome->finished);
    QCOMPARE(outcome->value->status, 200);
    QVERIFY(received == answer.body);
    QCOMPARE_GT(refused, 3);
}

// As Qt's transfer timeout: a transfer that gets nothing for so long ends, said as cancelled.
void TestAssets::stalledTransferEnds()
{
    Script hold;
    hold.hang = true;
    m_fake.script("GET", "/api/assets", hold);
    CurlSession session;
    QNetworkRequest request(QUrl(m_fake.baseUrl() + "/api/assets"));
    request.setTransferTimeout(1000);
    const auto outcome = std::make_shared<Outcome<CurlSession::Answer>>();
    const auto running = collect(session.get(request, &session, {}), outcome);
    QTRY_VERIFY_WITH_TIMEOUT(outcome->finished, 10000);
    QCOMPARE(outcome->value->error, QNetworkReply::OperationCanceledError);
    m_fake.releaseHangs();
}

void TestAssets::cutBodiesKeepTheCopy_data()
{
    QTest::addColumn<QByteArray>("answer"); // after the status line
    QTest::addColumn<bool>("whole");

    const QByteArray chunk = "64\r\n" + QByteArray(100, 'n') + "\r\n";
    const QByteArray chunked = "Transfer-Encoding: chunked\r\n\r\n" + chunk;
    QTest::newRow("short of its length") << "Content-Length: 200\r\n\r\n" + QByteArray(100, 'n') << false;
    QTest::newRow("no last chunk") << chunked << false;
    QTest::newRow("chunk header without its data") << chunked + "64\r\n" << false;
    QTest::newRow("chunk cut in its middle") << chunked + "64\r\n" + QByteArray(50, 'n') << false;
    QTest::newRow("whole chunked body") << chunked + "0\r\n\r\n" << true;
}

// The connection closes before the body's framing ends: every time, a lost connection, and the
// earlier copy stays as it was.
void TestAssets::cutBodiesKeepTheCopy()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, whole);
    QTcpServer service;
    QVERIFY(service.listen(QHostAddress::LocalHost));
    answerEachRequest(service, "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n" + answer);
    const QString path = downloadPathOf(APIClient::assetFileName("p1", "i1", "audio", "a1", "cut.mp3"));
    m_written << path;

    Rig rig(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(service.serverPort())));
    // In an event loop of its own: qWaitFor's pauses between its passes would make each round last
    // tens of milliseconds.
    QTestEventLoop loop;
    QStringList rounds;
    const int count = 100;
    QCoro::connect(downloadRounds(rig.client.get(), path, count), &loop, [&](QStringList said) {
        rounds = said;
        loop.exitLoop();
    });
    loop.enterLoop(60);
    QVERIFY(!loop.timeout());
    const QString expected = whole ? QStringLiteral("ok %1").arg(QString(100, QLatin1Char('n')))
                                   : QStringLiteral("未能连接到服务器。 earlier copy");
    QCOMPARE(rounds.size(), count);
    rounds.removeAll(expected);
    QVERIFY2(rounds.isEmpty(),
             qPrintable(QStringLiteral("%1 went otherwise: %2").arg(rounds.size()).arg(rounds.value(0))));
    QTRY_COMPARE(downloadParts(), QStringList());
}

void TestAssets::downloadRefusals_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("tokenKept");

    QTest::newRow("401 clears the token") << 401 << QByteArray(R"({"error":"登录已失效"})") << false;
    QTest::newRow("404 error text is not read") << 404 << QByteArray(R"({"error":"素材不存在"})") << true;
    QTest::newRow("302 is not followed") << 302 << QByteArray() << true;
    QTest::newRow("500") << 500 << QByteArray("<html/>") << true;
}

void TestAssets::downloadRefusals()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, tokenKept);

    Script answer;
    answer.status = status;
    answer.body = body;
    m_fake.script("GET", "/api/assets", answer);
    const QString path = downloadPathOf(APIClient::assetFileName("p1", "i1", "audio", "a1", "refused.mp3"));
    m_written << path;
    QFile::remove(path);

    SETTLE(result, m_rig->client->downloadAsset("p1", "i1", "audio", "a1", "refused.mp3"));
    QCOMPARE(result.kind(), QStringLiteral("server:素材读取失败（%1）").arg(status));
    QCOMPARE(m_rig->store->token().has_value(), tokenKept);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(m_fake.requestCount(), 1);
}

// Unlike the ordinary requests, the asset routes stay under the base URL's path.
void TestAssets::assetsKeepTheBasePath()
{
    Script download;
    download.body = "x";
    m_fake.script("GET", "/base/api/assets", download);
    Script upload;
    upload.body = uploadAnswer;
    m_fake.script("POST", "/base/api/assets", upload);
    const QString file = writeFile(m_dir.filePath(QStringLiteral("clip.mp3")), "abc");

    Rig rig(QUrl(m_fake.baseUrl() + QStringLiteral("/base/")));
    const QString path = downloadPathOf(APIClient::assetFileName("p1", "i1", "audio", "a1", "x.mp3"));
    m_written << path;
    SETTLE(got, rig.client->downloadAsset("p1", "i1", "audio", "a1", "x.mp3"));
    QVERIFY(got.succeeded());
    QCOMPARE(m_fake.lastRequest().target,
             QByteArray("/base/api/assets?projectId=p1&itemId=i1&category=audio&inline=1"));
    SETTLE(sent, rig.client->uploadAsset("p1", "i1", "audio", file, 1));
    QVERIFY(sent.succeeded());
    QCOMPARE(m_fake.lastRequest().target, QByteArray("/base/api/assets"));
}

void TestAssets::uploadBody_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("mediaType");
    QTest::addColumn<QByteArray>("durationText");
    QTest::addColumn<QByteArray>("headerName");

    QTest::newRow("audio") << "audio" << qint64(42) << "clip.mp3" << QByteArray("audio/*") << QByteArray("42")
                           << QByteArray("clip.mp3");
    QTest::newRow("Audio is not audio") << "Audio" << qint64(5) << "clip.mp3" << QByteArray("video/*")
                                        << QByteArray("5") << QByteArray("clip.mp3");
    QTest::newRow("negative duration") << "video" << qint64(-3) << "v.mp4" << QByteArray("video/*")
                                       << QByteArray("0") << QByteArray("v.mp4");
    QTest::newRow("quote and line breaks") << "audio" << qint64(1) << "a\"b\r\nc.mp3" << QByteArray("audio/*")
                                           << QByteArray("1") << QByteArray("a%22b%0D%0Ac.mp3");
    QTest::newRow("chinese") << "audio" << qint64(7) << "歌曲.mp3" << QByteArray("audio/*") << QByteArray("7")
                             << QString("歌曲.mp3").toUtf8();
}

void TestAssets::uploadBody()
{
    QFETCH(QString, category);
    QFETCH(qint64, duration);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, mediaType);
    QFETCH(QByteArray, durationText);
    QFETCH(QByteArray, headerName);

    Script answer;
    answer.body = uploadAnswer;
    m_fake.script("POST", "/api/assets", answer);
    const QByteArray content("\x00\x01\r\n--binary\xff", 13);
    const QString file = writeFile(m_dir.filePath(fileName), content);
    QVERIFY(!file.isEmpty());

    SETTLE(result,
           m_rig->client->uploadAsset(QStringLiteral("p 1"), QStringLiteral("i1"), category, file, duration));
    QVERIFY2(result.succeeded(), qPrintable(result.kind()));
    QCOMPARE(result.value->assetId, QStringLiteral("a1"));

    const RecordedRequest request = m_fake.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/api/assets"));
    QCOMPARE(request.header("Accept"), QByteArray("application/json"));
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok"));
    const QByteArray contentType = request.header("Content-Type");
    const auto match =
        QRegularExpression(
            QStringLiteral("^multipart/form-data; boundary=(TavikBoundary-[0-9A-F]{8}-[0-9A-F]{4}-"
                           "[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12})$"))
            .match(QString::fromLatin1(contentType));
    QVERIFY2(match.hasMatch(), contentType.constData());
    const QByteArray boundary = match.captured(1).toLatin1();
    const QByteArray expected = multipart(boundary,
                                          {{"projectId", "p 1"},
                                           {"itemId", "i1"},
                                           {"category", category.toUtf8()},
                                           {"durationSeconds", durationText}},
                                          headerName, mediaType, content);
    QCOMPARE(request.body, expected);
}

void TestAssets::uploadSizeLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("sent");

    QTest::newRow("empty") << 0 << false;
    QTest::newRow("one byte") << 1 << true;
    QTest::newRow("at the limit") << 8 << true;
    QTest::newRow("one over") << 9 << false;
}

void TestAssets::uploadSizeLimit()
{
    QFETCH(int, size);
    QFETCH(bool, sent);

    Script answer;
    answer.body = uploadAnswer;
    m_fake.script("POST", "/api/assets", answer);
    m_rig->client->setUploadSizeLimit(8);
    const QString file = writeFile(m_dir.filePath(QStringLiteral("sized.bin")), QByteArray(size, 'x'));
    QVERIFY(!file.isEmpty());

    SETTLE(result, m_rig->client->uploadAsset("p1", "i1", "audio", file, 1));
    QCOMPARE(result.kind(), sent ? QStringLiteral("ok") : QStringLiteral("server:文件为空或超过 200MB"));
    QCOMPARE(m_fake.requestCount(), sent ? 1 : 0);
    // Refused before the keychain was asked.
    QCOMPARE(m_rig->store->readCount(), sent ? 1 : 0);
}

void TestAssets::uploadRefusals_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("outcome");

    QTest::newRow("401 keeps the token")
        << 401 << QByteArray(R"({"error":"登录已失效"})") << QStringLiteral("server:登录已失效");
    QTest::newRow("401 without text") << 401 << QByteArray() << QStringLiteral("server:素材上传失败（401）");
    QTest::newRow("413 html") << 413 << QByteArray("<html/>") << QStringLiteral("server:素材上传失败（413）");
    QTest::newRow("2xx empty body") << 200 << QByteArray() << QStringLiteral("decoding");
    QTest::newRow("2xx bare braces") << 200 << QByteArray("{}") << QStringLiteral("decoding");
}

void TestAssets::uploadRefusals()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, outcome);

    Script answer;
    answer.status = status;
    answer.body = body;
    m_fake.script("POST", "/api/assets", answer);
    const QString file = writeFile(m_dir.filePath(QStringLiteral("clip.mp3")), "abc");

    SETTLE(result, m_rig->client->uploadAsset("p1", "i1", "audio", file, 1));
    QCOMPARE(result.kind(), outcome);
    QCOMPARE(*m_rig->store->token(), QStringLiteral("tok"));
}

void TestAssets::unreadableUpload()
{
    SETTLE(missing,
           m_rig->client->uploadAsset("p1", "i1", "audio", m_dir.filePath(QStringLiteral("none")), 1));
    QCOMPARE(missing.kind(), QStringLiteral("file"));
    QVERIFY(missing.description().contains(QLatin1String("none")));

    // A folder opens as no file.
    SETTLE(folder, m_rig->client->uploadAsset("p1", "i1", "audio", m_dir.path(), 1));
    QCOMPARE(folder.kind(), QStringLiteral("file"));

    // The system announces a page for this file and reads out a few bytes: nothing goes up short.
    QFile estimated(QStringLiteral("/sys/devices/system/cpu/online"));
    if (estimated.open(QIODevice::ReadOnly) && estimated.readAll().size() < estimated.size()) {
        SETTLE(shorter, m_rig->client->uploadAsset("p1", "i1", "audio", estimated.fileName(), 1));
        QCOMPARE(shorter.kind(), QStringLiteral("file"));
        QVERIFY2(shorter.description().contains(QStringLiteral("文件大小为 %1 字节").arg(estimated.size())),
                 qPrintable(shorter.description()));
    }
    QCOMPARE(m_fake.requestCount(), 0);
    QCOMPARE(m_rig->store->readCount(), 0);
}

// The real endpoints: what goes up comes back down byte for byte.
void TestAssets::roundTripThroughTheService()
{
    const QString account = m_fake.addAccount(QStringLiteral("13800000009"), QStringLiteral("音响"));
    const QString project = m_fake.addProject(QStringLiteral("演出"), account);
    const QString item = m_fake.addItem(project, QStringLiteral("歌曲一"), QStringLiteral("歌曲"));
    m_rig->store->setToken(m_fake.tokenFor(account));

    QByteArray content;
    for (int i = 0; i < 70000; ++i) {
        content += static_cast<char>(i * 7);
    }
    const QString file = writeFile(m_dir.filePath(QStringLiteral("伴奏.mp3")), content);
    SETTLE(uploaded, m_rig->client->uploadAsset(project, item, QStringLiteral("audio"), file, 95));
    QVERIFY2(uploaded.succeeded(), qPrintable(uploaded.kind()));
    QCOMPARE(uploaded.value->filename, QStringLiteral("伴奏.mp3"));

    m_written << downloadPathOf(APIClient::assetFileName(
        project, item, QStringLiteral("audio"), uploaded.value->assetId, QStringLiteral("伴奏.mp3")));
    SETTLE(downloaded, m_rig->client->downloadAsset(project, item, QStringLiteral("audio"),
                                                    uploaded.value->assetId, QStringLiteral("伴奏.mp3")));
    QVERIFY2(downloaded.succeeded(), qPrintable(downloaded.kind()));
    QCOMPARE(readAll(*downloaded.value), content);
}

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], holdDownloadsArgument) == 0) {
        return holdDownloads();
    }
    QCoreApplication app(argc, argv);
    TestAssets test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_assets.moc"
