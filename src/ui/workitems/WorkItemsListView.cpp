#include "WorkItemsListView.h"

#include "WorkItemsRules.h"
#include "common/Theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionButton>

using Action = WorkItemsListView::Action;
using Row = WorkItemsListModel::Row;

namespace {

constexpr int outerX = 20;  // list inset left and right
constexpr int outerY = 5;   // half the gap between cards
constexpr int edgeY = 15;   // more above the first card and below the last
constexpr int padding = 15; // inside a card
constexpr int stripeWidth = 5;
constexpr int columnGap = 16;
constexpr int lineGap = 7;
constexpr int buttonHeight = 28;
constexpr int buttonGap = 6;

const QString systemSource = QStringLiteral("system");

Theme::Colour priorityColour(WorkItemPriority priority)
{
    switch (priority) {
    case WorkItemPriority::normal:
        return Theme::Colour::blue;
    case WorkItemPriority::important:
        return Theme::Colour::orange;
    case WorkItemPriority::urgent:
        return Theme::Colour::red;
    }
    return Theme::Colour::blue;
}

Theme::Colour statusColour(WorkItemStatus status)
{
    switch (status) {
    case WorkItemStatus::todo:
        return Theme::Colour::orange;
    case WorkItemStatus::doing:
        return Theme::Colour::blue;
    case WorkItemStatus::blocked:
        return Theme::Colour::red;
    case WorkItemStatus::done:
        return Theme::Colour::green;
    case WorkItemStatus::cancelled:
        return Theme::Colour::secondary;
    }
    return Theme::Colour::secondary;
}

struct Badge
{
    QString text;
    Theme::Colour colour;
    QRect rect;
};

struct Button
{
    Action action;
    QString text;
    QRect rect;
};

struct Text
{
    QString text;
    QFont font;
    Theme::Colour colour;
    QRect rect;
};

// Where everything of one card goes, for drawing, sizing and hit testing alike.
struct CardLayout
{
    QRect card;
    QRect stripe;
    QColor stripeColour;
    QList<Badge> badges;
    QList<Text> texts;
    Badge status;
    QList<Button> buttons;
    int height = 0;
};

QFont badgeFont()
{
    return Theme::font(Theme::TextStyle::caption, QFont::Bold);
}

QFont buttonFont()
{
    return QApplication::font("QPushButton");
}

QSize badgeSize(const QString &text)
{
    const QFontMetrics fm(badgeFont());
    return {fm.horizontalAdvance(text) + 16, fm.height() + 8};
}

QList<Button> buttonsOf(const Row &row)
{
    if (row.item.sourceType == systemSource) {
        return {{Action::openDestination, QStringLiteral("去对应功能处理"), {}}};
    }
    if (!row.canAct || !isOpen(row.item.status)) {
        return {};
    }
    const bool doing = WorkItemRules::toggledStatus(row.item.status) == WorkItemStatus::todo;
    return {
        {Action::toggle, doing ? QStringLiteral("退回待处理") : QStringLiteral("开始处理"), {}},
        {Action::block, QStringLiteral("标记阻塞"), {}},
        {Action::complete, QStringLiteral("完成"), {}},
    };
}

CardLayout layoutCard(const Row &row, const QRect &itemRect, bool first, bool last)
{
    const WorkItem &item = row.item;
    const int above = outerY + (first ? edgeY : 0);
    const int below = outerY + (last ? edgeY : 0);
    CardLayout l;
    l.card = itemRect.adjusted(outerX, above, -outerX, -below);
    const QRect inner = l.card.adjusted(padding, padding, -padding, -padding);

    // Trailing column: the status badge, then the buttons in one row.
    l.status = {WorkItemRules::statusText(item.status), statusColour(item.status), {}};
    const QSize statusSize = badgeSize(l.status.text);
    l.buttons = buttonsOf(row);
    const QFontMetrics bfm(buttonFont());
    int buttonsWidth = 0;
    for (Button &b : l.buttons) {
        b.rect.setSize({bfm.horizontalAdvance(b.text) + 24, buttonHeight});
        buttonsWidth += b.rect.width() + (buttonsWidth ? buttonGap : 0);
    }
    const int trailingWidth = std::max(statusSize.width(), buttonsWidth);
    l.status.rect = QRect(QPoint(inner.right() - statusSize.width() + 1, inner.top()), statusSize);
    int x = inner.right() + 1 - buttonsWidth;
    const int buttonsTop = inner.top() + statusSize.height() + 8;
    for (Button &b : l.buttons) {
        b.rect.moveTopLeft({x, buttonsTop});
        x += b.rect.width() + buttonGap;
    }
    const int trailingHeight = statusSize.height() + (l.buttons.isEmpty() ? 0 : 8 + buttonHeight);

    // Main column.
    const int left = inner.left() + stripeWidth + columnGap;
    const int width = std::max(80, inner.right() - trailingWidth - columnGap - left + 1);
    int y = inner.top();
    int bx = left;
    const auto addBadge = [&](const QString &text, Theme::Colour colour) {
        const QSize size = badgeSize(text);
        l.badges.append({text, colour, QRect(QPoint(bx, y), size)});
        bx += size.width() + 7;
    };
    addBadge(WorkItemRules::kindText(item.kind),
             item.kind == WorkItemKind::incident ? Theme::Colour::orange : Theme::Colour::indigo);
    addBadge(WorkItemRules::priorityText(item.priority), priorityColour(item.priority));
    if (item.sourceType == systemSource) {
        addBadge(QStringLiteral("系统同步"), Theme::Colour::secondary);
    }
    y += badgeSize(QStringLiteral("X")).height();
    const auto addText = [&](const QString &text, const QFont &font, Theme::Colour colour) {
        const QFontMetrics fm(font);
        const QRect bounds = fm.boundingRect(QRect(left, 0, width, 100000), Qt::TextWordWrap, text);
        y += lineGap;
        l.texts.append({text, font, colour, QRect(left, y, width, bounds.height())});
        y += bounds.height();
    };
    addText(item.title, Theme::font(Theme::TextStyle::headline), Theme::Colour::primary);
    if (!item.description.isEmpty()) {
        addText(item.description, Theme::font(Theme::TextStyle::body), Theme::Colour::secondary);
    }
    const QFont caption = Theme::font(Theme::TextStyle::caption);
    addText(row.meta, caption, Theme::Colour::secondary);
    if (!item.resolution.isEmpty()) {
        addText(QStringLiteral("处理记录：") + item.resolution, caption, Theme::Colour::secondary);
    }

    const int contentHeight = std::max(y - inner.top(), trailingHeight);
    l.stripe = QRect(inner.left(), inner.top(), stripeWidth, contentHeight);
    l.stripeColour = Theme::colour(priorityColour(item.priority));
    l.height = contentHeight + 2 * padding + above + below;
    l.card.setHeight(contentHeight + 2 * padding);
    return l;
}

CardLayout layoutAt(const WorkItemsListModel &model, int row, const QRect &rect)
{
    return layoutCard(model.row(row), rect, row == 0, row == model.rowCount() - 1);
}

void drawBadge(QPainter &p, const Badge &badge)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(badge.rect), badge.rect.height() / 2.0, badge.rect.height() / 2.0);
    p.fillPath(path, Theme::colour(badge.colour, 0.1));
    p.setFont(badgeFont());
    p.setPen(Theme::colour(badge.colour));
    p.drawText(badge.rect, Qt::AlignCenter, badge.text);
}

} // namespace

// Draws the cards; the view measures and hit-tests with the same layout.
class WorkItemCardDelegate : public QStyledItemDelegate
{
public:
    explicit WorkItemCardDelegate(WorkItemsListView *view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {}

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const int width = m_view->viewport()->width();
        return {width, layoutAt(*m_view->m_model, index.row(), QRect(0, 0, width, 0)).height};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const Row &row = m_view->m_model->row(index.row());
        const CardLayout l = layoutAt(*m_view->m_model, index.row(), option.rect);
        QPainter &p = *painter;
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(l.card), 14, 14);
        p.fillPath(card, Theme::colour(Theme::Colour::secondary, 0.045));
        QPainterPath stripe;
        stripe.addRoundedRect(QRectF(l.stripe), 3, 3);
        p.fillPath(stripe, l.stripeColour);
        for (const Badge &badge : l.badges) {
            drawBadge(p, badge);
        }
        drawBadge(p, l.status);
        for (const Text &text : l.texts) {
            p.setFont(text.font);
            p.setPen(Theme::colour(text.colour));
            p.drawText(text.rect, Qt::TextWordWrap, text.text);
        }
        for (const Button &button : l.buttons) {
            drawButton(p, row.item.id, button);
        }
        p.restore();
    }

private:
    void drawButton(QPainter &p, const QString &id, const Button &button) const
    {
        const bool enabled = m_view->m_actionsEnabled;
        const bool hovered = enabled && m_view->m_hovered == WorkItemsListView::Hit{id, button.action};
        const bool pressed = hovered && m_view->m_pressed == m_view->m_hovered;
        const bool focused = m_view->hasFocus() && m_view->m_focused == WorkItemsListView::Hit{id, button.action};
        if (focused) {
            QPainterPath ring;
            ring.addRoundedRect(QRectF(button.rect).adjusted(-2.5, -2.5, 2.5, 2.5), 8, 8);
            p.setPen(QPen(m_view->palette().color(QPalette::Highlight), 2));
            p.drawPath(ring);
        }
        if (button.action == Action::complete) {
            const QColor green = Theme::colour(Theme::Colour::green, enabled ? 1.0 : 0.45);
            QPainterPath path;
            path.addRoundedRect(QRectF(button.rect), 6, 6);
            p.fillPath(path, pressed ? green.darker(115) : hovered ? green.lighter(108) : green);
            p.setFont(buttonFont());
            p.setPen(Qt::white);
            p.drawText(button.rect, Qt::AlignCenter, button.text);
            return;
        }
        QStyleOptionButton option;
        option.initFrom(m_view->viewport());
        option.rect = button.rect;
        option.text = button.text;
        option.fontMetrics = QFontMetrics(buttonFont());
        option.state = QStyle::State_Raised;
        if (enabled) {
            option.state |= QStyle::State_Enabled;
        } else {
            option.palette.setCurrentColorGroup(QPalette::Disabled);
        }
        if (hovered) {
            option.state |= QStyle::State_MouseOver;
        }
        if (pressed) {
            option.state |= QStyle::State_Sunken;
        }
        p.setFont(buttonFont());
        m_view->style()->drawControl(QStyle::CE_PushButton, &option, &p, m_view->viewport());
    }

    WorkItemsListView *m_view;
};

WorkItemsListView::WorkItemsListView(WorkItemsListModel *model, QWidget *parent)
    : QListView(parent)
    , m_model(model)
{
    setModel(model);
    setItemDelegate(new WorkItemCardDelegate(this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(false);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
}

void WorkItemsListView::setActionsEnabled(bool enabled)
{
    m_actionsEnabled = enabled;
    if (!enabled) {
        m_pressed.reset();
    }
    viewport()->update();
}

QList<Action> WorkItemsListView::actions(const QString &id) const
{
    const int row = m_model->indexOf(id);
    QList<Action> out;
    if (row >= 0) {
        for (const Button &b : buttonsOf(m_model->row(row))) {
            out.append(b.action);
        }
    }
    return out;
}

QString WorkItemsListView::actionText(const QString &id, Action action) const
{
    const int row = m_model->indexOf(id);
    if (row >= 0) {
        for (const Button &b : buttonsOf(m_model->row(row))) {
            if (b.action == action) {
                return b.text;
            }
        }
    }
    return {};
}

void WorkItemsListView::scrollToItem(const QString &id)
{
    const int row = m_model->indexOf(id);
    if (row >= 0) {
        scrollTo(m_model->index(row), QAbstractItemView::EnsureVisible);
    }
}

QRect WorkItemsListView::actionRect(const QString &id, Action action) const
{
    const int row = m_model->indexOf(id);
    if (row < 0) {
        return {};
    }
    const CardLayout l = layoutAt(*m_model, row, visualRect(m_model->index(row)));
    for (const Button &b : l.buttons) {
        if (b.action == action) {
            return b.rect;
        }
    }
    return {};
}

std::optional<WorkItemsListView::Hit> WorkItemsListView::hitAt(const QPoint &pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) {
        return std::nullopt;
    }
    const Row &row = m_model->row(index.row());
    for (const Button &b : layoutAt(*m_model, index.row(), visualRect(index)).buttons) {
        if (b.rect.contains(pos)) {
            return Hit{row.item.id, b.action};
        }
    }
    return std::nullopt;
}

void WorkItemsListView::setHovered(std::optional<Hit> hit)
{
    if (hit != m_hovered) {
        m_hovered = std::move(hit);
        viewport()->setCursor(m_hovered && m_actionsEnabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
        viewport()->update();
    }
}

void WorkItemsListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    // Card heights follow the width their texts wrap in.
    scheduleDelayedItemsLayout();
}

void WorkItemsListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_actionsEnabled) {
        m_pressed = hitAt(event->position().toPoint());
        if (m_pressed) {
            m_focused = m_pressed;
        }
        setHovered(m_pressed);
        viewport()->update();
    }
    event->accept();
}

void WorkItemsListView::mouseReleaseEvent(QMouseEvent *event)
{
    const std::optional<Hit> pressed = std::exchange(m_pressed, std::nullopt);
    viewport()->update();
    if (event->button() != Qt::LeftButton || !m_actionsEnabled || !pressed ||
        hitAt(event->position().toPoint()) != pressed) {
        return;
    }
    trigger(*pressed);
}

void WorkItemsListView::trigger(const Hit &hit)
{
    const int row = m_model->indexOf(hit.id);
    if (row >= 0) {
        // A copy: the handler may reload the model.
        const WorkItem item = m_model->row(row).item;
        Q_EMIT actionTriggered(item, hit.action);
    }
}

QList<WorkItemsListView::Hit> WorkItemsListView::targets() const
{
    QList<Hit> out;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const Row &r = m_model->row(row);
        for (const Button &b : buttonsOf(r)) {
            out.append({r.item.id, b.action});
        }
    }
    return out;
}

std::optional<std::pair<QString, Action>> WorkItemsListView::keyboardTarget() const
{
    if (!m_focused || !targets().contains(*m_focused)) {
        return std::nullopt;
    }
    return std::pair{m_focused->id, m_focused->action};
}

void WorkItemsListView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    const QList<Hit> all = targets();
    if (!all.isEmpty() && (!m_focused || !all.contains(*m_focused))) {
        m_focused = all.first();
    }
    viewport()->update();
}

void WorkItemsListView::focusOutEvent(QFocusEvent *event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}

void WorkItemsListView::keyPressEvent(QKeyEvent *event)
{
    const QList<Hit> all = targets();
    // Polls may have taken the card away since; start again from the first button.
    qsizetype at = m_focused ? all.indexOf(*m_focused) : -1;
    const auto firstOfCard = [&](qsizetype i) {
        while (i > 0 && all.at(i - 1).id == all.at(i).id) {
            --i;
        }
        return i;
    };
    qsizetype next = at;
    switch (event->key()) {
    case Qt::Key_Right:
        if (at >= 0 && at + 1 < all.size() && all.at(at + 1).id == all.at(at).id) {
            next = at + 1;
        }
        break;
    case Qt::Key_Left:
        if (at > 0 && all.at(at - 1).id == all.at(at).id) {
            next = at - 1;
        }
        break;
    case Qt::Key_Down:
        next = at < 0 ? 0 : at;
        while (at >= 0 && next < all.size() && all.at(next).id == all.at(at).id) {
            ++next;
        }
        if (next >= all.size()) {
            next = at;
        }
        break;
    case Qt::Key_Up:
        next = at <= 0 ? 0 : firstOfCard(at) > 0 ? firstOfCard(firstOfCard(at) - 1) : at;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (at >= 0 && m_actionsEnabled) {
            trigger(all.at(at));
        }
        return;
    default:
        QListView::keyPressEvent(event);
        return;
    }
    if (next >= 0 && next < all.size()) {
        m_focused = all.at(next);
        scrollToItem(m_focused->id);
    }
    viewport()->update();
}

void WorkItemsListView::mouseMoveEvent(QMouseEvent *event)
{
    setHovered(hitAt(event->position().toPoint()));
}

void WorkItemsListView::leaveEvent(QEvent *event)
{
    setHovered(std::nullopt);
    QListView::leaveEvent(event);
}
