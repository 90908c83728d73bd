#include "ScrollAnchor.h"

#include "DeferredRefresh.h"

#include <QAbstractItemView>
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
        area->viewport()->installEventFilter(this);
        watchAncestors();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            if (watched == m_area->viewport()) {
                m_aimedAt = true;
            }
            break;
        case QEvent::ParentChange:
            watchAncestors();
            comeOnScreen();
            break;
        case QEvent::Show:
            if (watched == m_area) {
                comeOnScreen();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (watched != m_area->viewport()) {
                // Settled from the event loop: the scroll range follows the new height only
                // after the view has handled its resize.
                m_settle.schedule();
            }
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

    void comeOnScreen()
    {
        m_aimedAt = false;
        m_top.reset();
        m_settle.schedule();
    }

    void settle()
    {
        if (!m_area->isVisible()) {
            m_top.reset();
            return;
        }
        const int top = m_area->viewport()->mapTo(m_area->window(), QPoint()).y();
        if (m_aimedAt && m_top && top != *m_top) {
            QScrollBar *bar = m_area->verticalScrollBar();
            bar->setValue(bar->value() + top - *m_top);
        }
        m_top = top;
    }

    QAbstractScrollArea *m_area;
    std::optional<int> m_top;
    bool m_aimedAt = false;
    DeferredRefresh m_settle{this, [this] { settle(); }};
};

} // namespace

void install(QAbstractScrollArea *area)
{
    if (auto *view = qobject_cast<QAbstractItemView *>(area)) {
        view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    }
    new Anchor(area);
}

} // namespace ScrollAnchor
