#include "ScrollAnchor.h"

#include "DeferredRefresh.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>

#include <optional>

namespace ScrollAnchor {

namespace {

class Anchor : public QObject
{
public:
    explicit Anchor(QAbstractScrollArea *area)
        : QObject(area)
        , m_area(area)
    {
        watchAncestors();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ParentChange:
            watchAncestors();
            m_top.reset();
            m_settle.schedule();
            break;
        case QEvent::Show:
            // Coming on screen is no move; layouts of the same change settle before this runs.
            if (watched == m_area) {
                m_top.reset();
                m_settle.schedule();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // Settled from the event loop: the scroll range follows the new height only after
            // the view has handled its resize.
            m_settle.schedule();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void watchAncestors()
    {
        // Installing again keeps one filter per object.
        for (QWidget *w = m_area; w; w = w->parentWidget()) {
            w->installEventFilter(this);
            if (w->isWindow()) {
                break;
            }
        }
    }

    void settle()
    {
        if (!m_area->isVisible()) {
            m_top.reset();
            return;
        }
        const int top = m_area->viewport()->mapTo(m_area->window(), QPoint()).y();
        if (m_top && top != *m_top) {
            QScrollBar *bar = m_area->verticalScrollBar();
            bar->setValue(bar->value() + top - *m_top);
        }
        m_top = top;
    }

    QAbstractScrollArea *m_area;
    std::optional<int> m_top;
    DeferredRefresh m_settle{this, [this] { settle(); }};
};

} // namespace

void install(QAbstractScrollArea *area)
{
    new Anchor(area);
}

} // namespace ScrollAnchor
