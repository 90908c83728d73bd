#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <utility>

// Runs a page's refresh once, from the event loop, however often it was asked for meanwhile.
// Store signals may arrive inside a handler of the very widgets a refresh replaces, and a load
// changes several values in a row.
class DeferredRefresh
{
public:
    DeferredRefresh(QObject *owner, std::function<void()> refresh)
        : m_owner(owner)
        , m_refresh(std::move(refresh))
    {}
    DeferredRefresh(const DeferredRefresh &) = delete;
    DeferredRefresh &operator=(const DeferredRefresh &) = delete;

    void schedule()
    {
        if (m_pending) {
            return;
        }
        m_pending = true;
        // Dropped with the owner, which also owns this object.
        QMetaObject::invokeMethod(
            m_owner,
            [this] {
                m_pending = false;
                m_refresh();
            },
            Qt::QueuedConnection);
    }

private:
    QObject *m_owner;
    std::function<void()> m_refresh;
    bool m_pending = false;
};
