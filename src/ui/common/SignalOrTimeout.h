#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <memory>
#include <utility>

// Awaits the next emission of `signal` on `object`, or the time-out, whichever comes first.
// QCoro's own signal awaiter queues its wake-up on the sender: a second emission or the time-out
// can then run after the awaiting frame is gone. Here every callback holds the shared state, the
// coroutine is resumed at most once, from the event loop.
template<typename T, typename Signal>
class SignalOrTimeout
{
public:
    SignalOrTimeout(T *object, Signal signal, std::chrono::milliseconds timeout)
        : m_object(object)
        , m_signal(signal)
        , m_timeout(timeout)
        , m_state(std::make_shared<State>())
    {}
    bool await_ready() const noexcept { return m_object == nullptr; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        m_state->handle = handle;
        const auto wake = [state = m_state] {
            if (state->done) {
                return;
            }
            state->done = true;
            QObject::disconnect(state->connection);
            // Resumed from the event loop, never from inside the emitter.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [state] {
                    if (state->handle) {
                        std::exchange(state->handle, {}).resume();
                    }
                },
                Qt::QueuedConnection);
        };
        m_state->connection = QObject::connect(m_object, m_signal, QCoreApplication::instance(), wake);
        QTimer::singleShot(m_timeout, QCoreApplication::instance(), wake);
    }

    void await_resume() const noexcept {}

private:
    struct State
    {
        bool done = false;
        std::coroutine_handle<> handle;
        QMetaObject::Connection connection;
    };

    T *m_object;
    Signal m_signal;
    std::chrono::milliseconds m_timeout;
    std::shared_ptr<State> m_state;
};
