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
        // The view's own range clamp already moves the scroll when the view grows at the end of
        // its range: only a scroll that happens while the view stands still is the user's (or the
        // program's) and becomes the new place.
        connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
            if (m_place && viewTop() == m_place->top) {
                m_place->value = value;
            }
        });
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
        m_place.reset();
        m_settle.schedule();
    }

    int viewTop() const { return m_area->viewport()->mapTo(m_area->window(), QPoint()).y(); }

    void settle()
    {
        if (!m_area->isVisible()) {
            m_place.reset();
            return;
        }
        const int top = viewTop();
        QScrollBar *bar = m_area->verticalScrollBar();
        if (m_aimedAt && m_place && top != m_place->top) {
            if (auto *view = qobject_cast<QAbstractItemView *>(m_area)) {
                // A view may put its new range off (a list after a change of its rows).
                view->doItemsLayout();
            }
            // From the scroll of the last place, not the current one, which a clamp may have moved.
            bar->setValue(m_place->value + top - m_place->top);
        }
        m_place = Place{top, bar->value()};
    }

    // Where the view stood within its window, and its scroll there.
    struct Place
    {
        int top;
        int value;
    };

    QAbstractScrollArea *m_area;
    std::optional<Place> m_place;
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
