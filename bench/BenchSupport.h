#pragma once

#include "MemoryTokenStore.h"
#include "api/KeychainTokenStore.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Helpers shared by the benchmarks that run pages against the fake service.
namespace harness {

using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

inline void waitUntil(const std::function<bool()> &done)
{
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
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
// accepts. The paint runs inside the filter, so the stamp is when the picture is drawn, not
// when drawing starts.
class FirstPaintClock : public QObject
{
public:
    explicit FirstPaintClock(std::function<bool(QWidget *)> shows)
        : m_shows(std::move(shows))
    {
        qApp->installEventFilter(this);
    }
    ~FirstPaintClock() override { qApp->removeEventFilter(this); }

    std::optional<Clock::time_point> paintedAt;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
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
    bool m_inside = false;
};

} // namespace harness
