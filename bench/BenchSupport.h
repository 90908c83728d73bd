#pragma once

#include "AudibleProbe.h"
#include "DemoShow.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "api/KeychainTokenStore.h"
#include "common/Theme.h"
#include "flow/FlowTableModel.h"
#include "flow/MacProjectFlowView.h"
#include "shell/ProjectHomeView.h"
#include "shell/QtTranslations.h"
#include "shell/RootView.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacProjectWorkspaceView.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QListWidget>
#include <QNetworkReply>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

// Runs a GStreamer pipeline that writes a file to path until it ends; the file's bytes, or empty
// when this GStreamer cannot make it. In bench_live only (bench_live_media.cpp).
QByteArray madeByGStreamer(const QByteArray &description, const QString &path);

// Helpers shared by the benchmarks that run pages against the fake service.
namespace harness {

using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Runs the event loop until `done` holds; false when it did not within `timeoutMs`. It keeps the
// thread busy: processEvents with a time limit does not sleep while it waits.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// Waits until one of the candidates is heard after the mark and listenFor ms more are recorded;
// the onset in ms after the mark, read once the probe's time line has settled.
inline std::optional<double> waitUntilHeard(AudibleProbe &probe, const QList<int> &candidates, int listenFor,
                                            int giveUpMs)
{
    std::optional<double> onset;
    // Only new sound is searched while waiting: the player's GUI thread is this one.
    double searched = 0;
    const bool heard = waitUntil(
        [&] {
            const double until = probe.recordedUntilMs().value_or(0);
            if (!onset) {
                onset = probe.firstHeardMs(candidates, searched);
                searched = std::max(searched, until - 20);
            }
            return onset && until >= *onset + std::max(listenFor, 200);
        },
        giveUpMs);
    return heard ? probe.firstHeardMs(candidates) : std::nullopt;
}

// Run under tests/support/run-with-keyring.sh, a benchmark keeps its token in a real (throwaway)
// keychain, so every request pays the keychain read as the program does; otherwise in memory.
inline bool usesKeychain()
{
    return qEnvironmentVariable("QUILLORY_TEST_KEYRING") == QLatin1String("running");
}

inline std::shared_ptr<AccessTokenStoring> tokenStore(const QString &token)
{
    if (!usesKeychain()) {
        return std::make_shared<MemoryTokenStore>(token);
    }
    auto store = std::make_shared<KeychainTokenStore>(QStringLiteral("app.quillory.bench"),
                                                      QStringLiteral("access-token"));
    QCoro::waitFor(store->save(token));
    return store;
}

// Installed on the application: stamps the end of the first paint of a widget that `shows`
// accepts, and the end of the window's frame that holds it (its back buffer flushed to the
// window), then calls `framed`. The paint and the frame run inside the filter, so the stamps are
// when they are done, not when they start.
class FirstPaintClock : public QObject
{
public:
    explicit FirstPaintClock(std::function<bool(QWidget *)> shows, std::function<void()> framed = {})
        : m_shows(std::move(shows))
        , m_framed(std::move(framed))
    {
        qApp->installEventFilter(this);
    }
    ~FirstPaintClock() override { qApp->removeEventFilter(this); }

    std::optional<Clock::time_point> paintedAt;
    std::optional<Clock::time_point> flushedAt;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A window paints its widgets and flushes them in one update request.
        if (event->type() == QEvent::UpdateRequest && !m_inFrame && !flushedAt) {
            m_inFrame = true;
            QCoreApplication::sendEvent(watched, event);
            m_inFrame = false;
            if (paintedAt) {
                flushedAt = Clock::now();
                if (m_framed) {
                    m_framed();
                }
            }
            return true;
        }
        if (m_inside || paintedAt || event->type() != QEvent::Paint || !watched->isWidgetType() ||
            !m_shows(static_cast<QWidget *>(watched))) {
            return false;
        }
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        paintedAt = Clock::now();
        return true;
    }

private:
    std::function<bool(QWidget *)> m_shows;
    std::function<void()> m_framed;
    bool m_inside = false;
    bool m_inFrame = false;
};

// --- The user's path --------------------------------------------------------------------------
//
// The service and the program each run in a process of their own (this benchmark program started
// again with --service or --program). The program is made as its main() makes it: its window,
// the client of TAVIK_API_BASE_URL reading its token from the keychain for every request, shown
// on the X display, idle in its own event loop. The benchmark clicks through the X server and, as
// another client of that server, sees when the program's window changes.

inline qint64 nsOf(Clock::time_point at)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

inline Clock::time_point timeOf(qint64 ns)
{
    return Clock::time_point(std::chrono::nanoseconds(ns));
}

// The program marks its window with this property right after the frame a benchmark waits for.
inline constexpr char frameMarkName[] = "_QUILLORY_BENCH_FRAME";

inline xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// This benchmark program started again in another role, spoken to in lines on its standard input
// and output. When it goes, its input is closed and it is killed if it has not ended in 5 s.
class Child
{
public:
    Child(const QStringList &arguments, const QProcessEnvironment &environment)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setProcessEnvironment(environment);
        m_process.start(QCoreApplication::applicationFilePath(), arguments);
        m_process.waitForStarted(10000);
    }
    ~Child()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    void send(const QByteArray &line)
    {
        m_process.write(line + '\n');
        m_process.waitForBytesWritten(1000);
    }
    // The words of its next line if that starts with `word`; nothing if it printed another line,
    // none within the time or ended.
    std::optional<QList<QByteArray>> expect(const QByteArray &word, int timeoutMs = 30000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
                return std::nullopt;
            }
        }
        const QList<QByteArray> words = m_process.readLine().trimmed().split(' ');
        if (words.first() != word) {
            return std::nullopt;
        }
        return words;
    }

private:
    QProcess m_process;
};

// `<benchmark> --service N`: the fake service with the demo show and a project of N items. Prints
// "<base URL> <director's token> <project id>", then answers lines on its input until it ends:
//   "since <method> <path> <ns>"  -> "since <count> <ns>": the requests of that method and path read
//                                    since that steady-clock time, and when the first was read
//   "notes <index> <text>"        -> "ok" once that item of the project has these notes
inline int serveShow(int items)
{
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    const QString id = service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, items); });
    const QString token = service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId);
    std::printf("ready %s %s %s\n", qPrintable(service.baseUrl()), qPrintable(token), qPrintable(id));
    std::fflush(stdout);
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        const QList<QByteArray> words = QByteArray(buffer).trimmed().split(' ');
        if (words.first() == "since" && words.size() == 4) {
            const Clock::time_point since = timeOf(words.at(3).toLongLong());
            int count = 0;
            qint64 first = 0;
            for (const RecordedRequest &r : service.requests(words.at(2), words.at(1))) {
                if (r.receivedAt >= since) {
                    first = count++ == 0 ? nsOf(r.receivedAt) : first;
                }
            }
            std::printf("since %d %lld\n", count, static_cast<long long>(first));
        } else if (words.first() == "notes" && words.size() >= 3) {
            const QString notes = QString::fromUtf8(words.mid(2).join(' '));
            service.withPlatform(
                [&](FakePlatform &p) { p.project(id)->items[words.at(1).toInt()].notes = notes; });
            std::printf("ok\n");
        } else {
            std::printf("unknown\n");
        }
        std::fflush(stdout);
    }
    service.stop();
    return 0;
}

// The program's side. Made after the QApplication, as main() makes its window; `onLine` gets the
// lines on standard input, whose end quits the program.
class Program : public QObject
{
public:
    Program()
        : m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        m_window = new RootView(APIClient::shared());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->resize(1180, 780);
        m_window->show();
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            m_x = x11->connection();
            m_mark = internAtom(m_x, frameMarkName);
        }
        m_check.setInterval(20);
        QObject::connect(&m_check, &QTimer::timeout, this, [this] { checkWaits(); });
        QObject::connect(&m_input, &QSocketNotifier::activated, this, [this] { readInput(); });
        qApp->installEventFilter(this);
    }

    std::function<void(const QByteArray &)> onLine;

    RootView &window() { return *m_window; }
    MacProjectFlowView *page() const { return m_window->findChild<MacProjectFlowView *>(); }
    QListWidget *projectList() const
    {
        return m_window->screen()
                   ? m_window->screen()->findChild<QListWidget *>(QStringLiteral("projectList"))
                   : nullptr;
    }
    QListWidgetItem *projectItem(const QString &id) const
    {
        QListWidget *list = projectList();
        for (int r = 0; list && r < list->count(); ++r) {
            if (list->item(r)->data(Qt::UserRole).toString() == id) {
                return list->item(r);
            }
        }
        return nullptr;
    }
    // No request of the program is under way.
    static bool quiet() { return APIClient::shared().network().findChildren<QNetworkReply *>().isEmpty(); }
    // A project is open, its rundown shown and every request of the opening answered.
    bool loaded() const
    {
        auto *home = qobject_cast<ProjectHomeView *>(m_window->screen());
        return page() && page()->model().rowCount() > 0 && home && home->workspace() &&
               home->workspace()->store().detail() && !home->workspace()->store().isLoading() && quiet();
    }

    void say(const QByteArray &line)
    {
        const QByteArray out = line + '\n';
        if (::write(STDOUT_FILENO, out.constData(), size_t(out.size())) != out.size()) {
            QCoreApplication::exit(1);
        }
    }

    // Calls `then` once `done` holds. Checks every 20 ms while any such wait is open, so nothing
    // else wakes the program while a benchmark times it.
    void when(std::function<bool()> done, std::function<void()> then)
    {
        m_waits.push_back({std::move(done), std::move(then)});
        m_check.start();
    }

    // The project of `id` chosen in the list and its rundown loaded, then `then`.
    void openInCode(const QString &id, std::function<void(MacProjectFlowView &)> then)
    {
        when([this, id] { return projectItem(id) != nullptr; },
             [this, id, then = std::move(then)] {
                 projectList()->setCurrentItem(projectItem(id));
                 when([this] { return loaded(); }, [this, then] { then(*page()); });
             });
    }

    // Tells the benchmark where to click ("ready <window> <x> <y>", `at` in `widget`), and times
    // the frame that holds the first paint `shows` accepts: once it is flushed, marks the window
    // for the benchmark, says "frame <pressed> <painted> <flushed>" (steady-clock ns; pressed is
    // when the click reached the program) and calls `then`.
    void timeClick(QWidget *widget, QPoint at, std::function<bool(QWidget *)> shows,
                   std::function<void()> then)
    {
        m_pressedAt.reset();
        m_frame = std::make_unique<FirstPaintClock>(std::move(shows), [this, then = std::move(then)] {
            markFrame();
            say("frame " + QByteArray::number(m_pressedAt ? nsOf(*m_pressedAt) : 0) + ' ' +
                QByteArray::number(nsOf(*m_frame->paintedAt)) + ' ' +
                QByteArray::number(nsOf(*m_frame->flushedAt)));
            then();
        });
        m_armed = true;
        const QPoint global = widget->mapToGlobal(at);
        say("ready " + QByteArray::number(quint64(m_window->winId())) + ' ' + QByteArray::number(global.x()) +
            ' ' + QByteArray::number(global.y()));
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (m_armed && event->type() == QEvent::MouseButtonPress) {
            m_armed = false;
            m_pressedAt = Clock::now();
        }
        return false;
    }

private:
    struct Wait
    {
        std::function<bool()> done;
        std::function<void()> then;
    };

    void checkWaits()
    {
        std::vector<Wait> waits;
        waits.swap(m_waits);
        for (Wait &wait : waits) {
            if (wait.done()) {
                wait.then();
            } else {
                m_waits.push_back(std::move(wait));
            }
        }
        if (m_waits.empty()) {
            m_check.stop();
        }
    }

    void readInput()
    {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        m_received.append(buffer, n);
        for (qsizetype end = m_received.indexOf('\n'); end >= 0; end = m_received.indexOf('\n')) {
            const QByteArray line = m_received.left(end).trimmed();
            m_received.remove(0, end + 1);
            if (onLine) {
                onLine(line);
            }
        }
    }

    // Queued behind the frame on the program's own connection, so the X server handles it after
    // the frame's pixels. Not flushed here: it leaves with Qt's own flush, as the frame does.
    void markFrame()
    {
        if (!m_x) {
            return;
        }
        const uint32_t n = ++m_frames;
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, xcb_window_t(m_window->winId()), m_mark,
                            XCB_ATOM_CARDINAL, 32, 1, &n);
    }

    RootView *m_window = nullptr;
    QSocketNotifier m_input;
    QByteArray m_received;
    QTimer m_check;
    std::vector<Wait> m_waits;
    std::unique_ptr<FirstPaintClock> m_frame;
    std::optional<Clock::time_point> m_pressedAt;
    bool m_armed = false;
    xcb_connection_t *m_x = nullptr;
    xcb_atom_t m_mark = XCB_ATOM_NONE;
    uint32_t m_frames = 0;
};

// `<benchmark> --program ...`: the program's process, set up as main() sets it up.
inline int runProgram(int argc, char **argv, const std::function<void(Program &)> &script)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    installQtTranslations(app);
    Theme::install();
    Program program;
    script(program);
    return QApplication::exec();
}

// Another client of the program's X display: clicks through the X server (XTEST) and sees when
// the program's window changes (DAMAGE), as a compositor would. The two extensions' requests are
// written by hand: their xcb bindings are not among the project's dependencies.
class XDisplayWatch
{
public:
    XDisplayWatch()
    {
        int screenNumber = 0;
        // An X server resets when its last client leaves, and refuses connections meanwhile.
        const QDeadlineTimer deadline(5000);
        m_c = xcb_connect(nullptr, &screenNumber);
        while (xcb_connection_has_error(m_c) && !deadline.hasExpired()) {
            xcb_disconnect(m_c);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            m_c = xcb_connect(nullptr, &screenNumber);
        }
        if (xcb_connection_has_error(m_c)) {
            error = "cannot connect to the X display of DISPLAY";
            return;
        }
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; i < screenNumber; ++i) {
            xcb_screen_next(&screens);
        }
        m_root = screens.data->root;
        const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_c, &damageExtension);
        const xcb_query_extension_reply_t *test = xcb_get_extension_data(m_c, &testExtension);
        if (!damage || !damage->present || !test || !test->present) {
            error = "the X display lacks DAMAGE or XTEST";
            return;
        }
        m_damageNotify = uint8_t(damage->first_event);
        QueryVersion version;
        std::free(xcb_wait_for_reply(m_c, send(damageExtension, 0, version, true), nullptr));
        m_mark = internAtom(m_c, frameMarkName);
    }
    ~XDisplayWatch() { xcb_disconnect(m_c); }

    const char *error = nullptr;

    // From now on, changes of that window and its frame marks.
    void watch(xcb_window_t window)
    {
        if (m_damage) {
            DamageDestroy destroy;
            destroy.damage = m_damage;
            send(damageExtension, 2, destroy, false);
        }
        m_window = window;
        DamageCreate create;
        create.damage = m_damage = xcb_generate_id(m_c);
        create.drawable = window;
        send(damageExtension, 1, create, false);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
    }
    void pointerTo(int x, int y)
    {
        fakeInput(XCB_MOTION_NOTIFY, 0, x, y);
        xcb_flush(m_c);
    }
    void click()
    {
        fakeInput(XCB_BUTTON_PRESS, 1, 0, 0);
        fakeInput(XCB_BUTTON_RELEASE, 1, 0, 0);
        xcb_flush(m_c);
    }
    // Drops what the display reported so far.
    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            std::free(event);
        }
    }

    struct Shown
    {
        std::optional<Clock::time_point> damaged; // the last change of the window before the mark
        Clock::time_point marked;
    };
    // Waits for the program's next frame mark on the watched window.
    std::optional<Shown> waitForMark(int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        Shown shown;
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
                const Clock::time_point now = Clock::now();
                const uint8_t type = event->response_type & 0x7f;
                if (type == m_damageNotify &&
                    reinterpret_cast<const DamageNotify *>(event)->damage == m_damage) {
                    shown.damaged = now;
                } else if (type == XCB_PROPERTY_NOTIFY) {
                    const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
                    if (property->window == m_window && property->atom == m_mark) {
                        std::free(event);
                        shown.marked = now;
                        return shown;
                    }
                }
                std::free(event);
            }
            if (xcb_connection_has_error(m_c) || deadline.hasExpired()) {
                return std::nullopt;
            }
            pollfd display{xcb_get_file_descriptor(m_c), POLLIN, 0};
            ::poll(&display, 1, int(std::min<qint64>(deadline.remainingTime(), 100)));
        }
    }

private:
    struct QueryVersion
    {
        uint8_t major = 0, minor = 0;
        uint16_t length = 0;
        uint32_t clientMajor = 1, clientMinor = 1;
    };
    struct DamageCreate
    {
        uint8_t major = 0, minor = 0;
        uint16_t length = 0;
        uint32_t damage = 0, drawable = 0;
        uint8_t level = 0; // every rectangle as it is drawn
        uint8_t pad[3]{};
    };
    struct DamageDestroy
    {
        uint8_t major = 0, minor = 0;
        uint16_t length = 0;
        uint32_t damage = 0;
    };
    struct DamageNotify
    {
        uint8_t type, level;
        uint16_t sequence;
        uint32_t drawable, damage;
    };
    struct FakeInput
    {
        uint8_t major = 0, minor = 0;
        uint16_t length = 0;
        uint8_t type = 0, detail = 0;
        uint8_t pad0[2]{};
        uint32_t time = 0, root = 0;
        uint8_t pad1[8]{};
        int16_t x = 0, y = 0;
        uint8_t pad2[7]{};
        uint8_t device = 0;
    };
    static_assert(sizeof(QueryVersion) == 12 && sizeof(DamageCreate) == 16 && sizeof(DamageDestroy) == 8 &&
                  sizeof(FakeInput) == 36);

    template<class Request>
    unsigned send(xcb_extension_t &extension, uint8_t opcode, Request &request, bool replies)
    {
        iovec parts[3] = {};
        parts[2].iov_base = &request;
        parts[2].iov_len = sizeof request;
        const xcb_protocol_request_t info{1, &extension, opcode, uint8_t(replies ? 0 : 1)};
        return xcb_send_request(m_c, replies ? XCB_REQUEST_CHECKED : 0, parts + 2, &info);
    }
    void fakeInput(uint8_t type, uint8_t detail, int x, int y)
    {
        FakeInput input;
        input.type = type;
        input.detail = detail;
        input.root = m_root;
        input.x = int16_t(x);
        input.y = int16_t(y);
        send(testExtension, 2, input, false);
    }

    static inline xcb_extension_t damageExtension{"DAMAGE", 0};
    static inline xcb_extension_t testExtension{"XTEST", 0};
    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = 0;
    xcb_window_t m_window = 0;
    uint32_t m_damage = 0;
    uint8_t m_damageNotify = 0;
    xcb_atom_t m_mark = XCB_ATOM_NONE;
};

// One click timed from outside the program: when the click was sent to the X server, when the
// program saw it, when the awaited widget painted into Qt's back buffer, when the program flushed
// that frame to its window and when the window's change reached another client of the display.
struct Frame
{
    Clock::time_point clicked;
    double inputMs = 0, paintedMs = 0, flushedMs = 0, shownMs = 0;
};

// The benchmark's side: the service started with `items` items, its director's token saved in the
// keychain under the program's own name, and the display. A benchmark that cannot have them, or
// whose program does not answer in time, stops with an error.
class UserPath
{
public:
    UserPath(benchmark::State &bench, int items)
        : m_bench(bench)
    {
        if (!usesKeychain()) {
            fail(
                "run under tests/support/run-with-keyring.sh: the program reads its token from the keychain");
            return;
        }
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            fail("needs an X display (DISPLAY), such as Xvfb");
            return;
        }
        if (m_x.error) {
            fail(m_x.error);
            return;
        }
        m_service = std::make_unique<Child>(QStringList{QStringLiteral("--service"), QString::number(items)},
                                            QProcessEnvironment::systemEnvironment());
        const auto started = m_service->expect("ready", 120000);
        if (!started || started->size() != 4) {
            fail("the service process did not start");
            return;
        }
        m_baseURL = QString::fromUtf8(started->at(1));
        projectId = QString::fromUtf8(started->at(3));
        try {
            KeychainTokenStore keychain{QString(KeychainTokenStore::defaultService),
                                        QString(KeychainTokenStore::defaultAccount)};
            QCoro::waitFor(keychain.save(QString::fromUtf8(started->at(2))));
        } catch (...) {
            fail("cannot save the token in the keychain");
            return;
        }
        m_ok = true;
    }

    bool ok() const { return m_ok; }
    QString projectId;

    Child &service() { return *m_service; }

    // The program's process, in one of the roles the benchmark program knows.
    std::unique_ptr<Child> program(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("TAVIK_API_BASE_URL"), m_baseURL);
        return std::make_unique<Child>(QStringList{QStringLiteral("--program")} + arguments, environment);
    }

    // The program in `role` on the project, once it says "opened"; nothing, with the error set,
    // when it does not in time.
    std::unique_ptr<Child> openedProgram(const QString &role)
    {
        std::unique_ptr<Child> started = program({role, projectId});
        if (!started->expect("opened", 180000)) {
            fail("the program did not open the project");
            return nullptr;
        }
        return started;
    }

    // Moves the pointer where the program's "ready" line says, lets the hover settle, clicks and
    // waits for the frame the program marks.
    std::optional<Frame> click(Child &program)
    {
        const auto ready = program.expect("ready", 60000);
        if (!ready || ready->size() != 4) {
            fail("the program did not get ready to be clicked");
            return std::nullopt;
        }
        m_x.watch(xcb_window_t(ready->at(1).toULongLong()));
        m_x.pointerTo(ready->at(2).toInt(), ready->at(3).toInt());
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        m_x.drain();
        Frame frame;
        frame.clicked = Clock::now();
        m_x.click();
        const auto shown = m_x.waitForMark(30000);
        const auto stamps = program.expect("frame", 5000);
        if (!shown || !stamps || stamps->size() != 4) {
            fail("the program's frame did not reach the display in time");
            return std::nullopt;
        }
        const auto since = [&](const QByteArray &ns) {
            return ns.toLongLong() ? msBetween(frame.clicked, timeOf(ns.toLongLong())) : 0.0;
        };
        frame.inputMs = since(stamps->at(1));
        frame.paintedMs = since(stamps->at(2));
        frame.flushedMs = since(stamps->at(3));
        // Without a change of the window after the program painted, the mark itself is the time.
        const double damagedMs = shown->damaged ? msBetween(frame.clicked, *shown->damaged) : -1;
        frame.shownMs = damagedMs >= frame.paintedMs ? damagedMs : msBetween(frame.clicked, shown->marked);
        return frame;
    }

    struct Requests
    {
        int count = 0;
        double firstMs = 0; // after `since`
    };
    // The service's requests of that method and path read since `since`.
    std::optional<Requests> requestsSince(const QByteArray &method, const QByteArray &path,
                                          Clock::time_point since)
    {
        m_service->send("since " + method + ' ' + path + ' ' + QByteArray::number(nsOf(since)));
        const auto answer = m_service->expect("since");
        if (!answer || answer->size() != 3) {
            fail("the service process did not answer");
            return std::nullopt;
        }
        const qint64 first = answer->at(2).toLongLong();
        return Requests{answer->at(1).toInt(), first ? msBetween(since, timeOf(first)) : 0.0};
    }

    // One click timed (see click()) until the program says "idle", its requests of `method` on the
    // project endpoint counted; the iteration's time is when the frame was shown. False, with the
    // benchmark's error set, when something did not come in time.
    bool timeClick(Child &program, const QByteArray &method)
    {
        const auto frame = click(program);
        if (!frame) {
            return false;
        }
        if (!program.expect("idle", 60000)) {
            fail("the program did not finish what the click started");
            return false;
        }
        const auto sent = requestsSince(method, "/api/project", frame->clicked);
        if (!sent) {
            return false;
        }
        m_bench.SetIterationTime(frame->shownMs / 1e3);
        ++m_clicks;
        m_input += frame->inputMs;
        m_painted += frame->paintedMs;
        m_flushed += frame->flushedMs;
        m_worst = std::max(m_worst, frame->shownMs);
        m_toRequest += sent->firstMs;
        m_requests += sent->count;
        if (qEnvironmentVariableIsSet("BENCH_FLOW_TRACE") || qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
            std::printf("input %.1f, request %.1f, painted %.1f, flushed %.1f, shown %.1f ms\n",
                        frame->inputMs, sent->firstMs, frame->paintedMs, frame->flushedMs, frame->shownMs);
        }
        return true;
    }

    // The means of the timed clicks and the slowest, as the benchmark's counters.
    void reportClicks() const
    {
        const double n = std::max(1, m_clicks);
        m_bench.counters["input_ms"] = m_input / n;
        m_bench.counters["painted_ms"] = m_painted / n;
        m_bench.counters["flushed_ms"] = m_flushed / n;
        m_bench.counters["worst_ms"] = m_worst;
        m_bench.counters["toRequest_ms"] = m_toRequest / n;
        m_bench.counters["requests"] = m_requests / n;
    }

    void fail(const char *why)
    {
        m_ok = false;
        m_bench.SkipWithError(why);
    }

private:
    benchmark::State &m_bench;
    int m_clicks = 0;
    double m_input = 0, m_painted = 0, m_flushed = 0, m_worst = 0, m_toRequest = 0, m_requests = 0;
    XDisplayWatch m_x;
    std::unique_ptr<Child> m_service;
    QString m_baseURL;
    bool m_ok = false;
};

} // namespace harness
