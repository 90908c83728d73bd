#include "FlowTableView.h"

#include "FlowItemDelegate.h"
#include "FlowPageState.h"
#include "FlowRules.h"
#include "FlowTableModel.h"
#include "MacInlineEditor.h"
#include "common/AsyncAction.h"
#include "common/ScrollAnchor.h"
#include "common/Theme.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

namespace {

// The longest the rows wait to look busy: about the longest a click may go without a visible
// answer.
constexpr int inertLookDelayMs = 100;

const QEvent::Type keepInViewExpired = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

FlowTableView::FlowTableView(FlowPageState &state, FlowTableModel &model, QWidget *parent)
    : QTableView(parent)
    , m_state(state)
    , m_model(model)
    , m_delegate(new FlowItemDelegate(state, this))
    , m_inertDelay(new QTimer(this))
{
    setObjectName(QStringLiteral("flowTable"));
    setModel(&m_model);
    setItemDelegate(m_delegate);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    // The table has no keyboard cursor: a focus step out of a cell editor must not move one and
    // scroll to it.
    setTabKeyNavigation(false);
    setShowGrid(false);
    setWordWrap(true);
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(16);
    horizontalScrollBar()->setSingleStep(16);

    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight + 1); // one point between rows

    QHeaderView *columns = horizontalHeader();
    columns->setObjectName(QStringLiteral("flowTableHeader"));
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setMinimumSectionSize(40);
    columns->setFont(Theme::font(Theme::TextStyle::caption, QFont::Bold));
    columns->setStyleSheet(QStringLiteral("QHeaderView::section { background: %1; color: %2; border: none;"
                                          " border-bottom: 1px solid %3; padding: 10px 6px; }")
                               .arg(Theme::css(Theme::Colour::controlBackground),
                                    Theme::css(Theme::Colour::secondary),
                                    Theme::css(Theme::Colour::separator)));
    setStyleSheet(
        QStringLiteral("QTableView { background: %1; }").arg(Theme::css(Theme::Colour::windowBackground)));
    for (int c = 0; c < FlowTableModel::columns; ++c) {
        setColumnWidth(c, FlowTableModel::columnWidth(c));
    }
    connect(m_delegate, &FlowItemDelegate::typeMenuRequested, this, &FlowTableView::showTypeMenu);
    // The player bar and the frozen notice above change height during the show.
    ScrollAnchor::install(this);

    m_inertDelay->setSingleShot(true);
    m_inertDelay->setInterval(inertLookDelayMs);
    connect(m_inertDelay, &QTimer::timeout, this, [this] { m_model.setInertShown(true); });
    connect(&m_state, &FlowPageState::busyItemIDChanged, this, &FlowTableView::followBusy);
    followBusy();
}

void FlowTableView::followBusy()
{
    // Every row refuses input at once, but looks inert only if the answer is slow: painting all
    // rows inert and back again would keep a prompt answer waiting for the first paint.
    const bool busy = m_state.busyItemID().has_value();
    for (auto *editor : viewport()->findChildren<MacInlineEditor *>(Qt::FindDirectChildrenOnly)) {
        editor->setBlocked(busy);
    }
    // The model drops the inert look itself once its rows are free.
    if (!busy) {
        m_inertDelay->stop();
    } else if (!m_model.inertShown() && !m_inertDelay->isActive()) {
        m_inertDelay->start();
    }
}

QRect FlowTableView::cellRect(const QString &itemID, int column) const
{
    const int row = m_model.rowOf(itemID);
    return row < 0 ? QRect() : visualRect(m_model.index(row, column));
}

void FlowTableView::keepInView(const QString &itemID)
{
    const QRect row = cellRect(itemID, 0);
    if (row.isEmpty() || !viewport()->rect().intersects(row)) {
        return;
    }
    m_keptInView = itemID;
    // Below the layout and the scroll anchor's settling, both at normal priority.
    QCoreApplication::postEvent(this, new QEvent(keepInViewExpired), Qt::LowEventPriority);
}

void FlowTableView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    updateColumnWidths();
    if (!m_keptInView.isEmpty()) {
        // After the scroll anchor, which was asked to settle before this handler ran.
        QMetaObject::invokeMethod(this, &FlowTableView::bringKeptIntoView, Qt::QueuedConnection);
    }
}

bool FlowTableView::event(QEvent *event)
{
    if (event->type() == keepInViewExpired) {
        m_keptInView.clear();
        return true;
    }
    return QTableView::event(event);
}

void FlowTableView::bringKeptIntoView()
{
    const QRect row = cellRect(m_keptInView, 0);
    m_keptInView.clear();
    if (row.isEmpty()) {
        return;
    }
    const int height = viewport()->height();
    int shift = 0;
    if (row.top() < 0) {
        shift = row.top();
    } else if (row.bottom() >= height) {
        shift = std::min(row.bottom() - height + 1, row.top());
    }
    if (shift != 0) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + shift);
    }
}

void FlowTableView::mouseMoveEvent(QMouseEvent *event)
{
    QTableView::mouseMoveEvent(event);
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    bool actionable = false;
    if (index.isValid() && index.row() < m_model.rowCount()) {
        const FlowRow &row = m_model.row(index.row());
        const QRect cell = visualRect(index);
        actionable = FlowItemDelegate::isActionable(row, index.column(),
                                                    FlowItemDelegate::partAt(row, index.column(), cell, pos));
    }
    viewport()->setCursor(actionable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void FlowTableView::updateColumnWidths()
{
    int fixed = 0;
    for (int c = 0; c < FlowTableModel::columns; ++c) {
        if (c != FlowTableModel::title) {
            fixed += FlowTableModel::columnWidth(c);
        }
    }
    const int available = viewport()->width() - fixed;
    const int title = std::max(FlowTableModel::columnWidth(FlowTableModel::title), available);
    if (columnWidth(FlowTableModel::title) != title) {
        setColumnWidth(FlowTableModel::title, title);
    }
}

void FlowTableView::showTypeMenu(const QString &itemID, const QPoint &globalPos)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("flowTypeMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString &type : ProgramTypeCatalog::standard) {
        QAction *action = menu->addAction(type.isEmpty() ? QStringLiteral("稍后设置") : type);
        action->setData(type);
        connect(action, &QAction::triggered, this, [this, itemID, type] {
            // Sent even when it equals the current type; a refusal shows in the page's error.
            RundownItemPatch patch;
            patch.type = type;
            FlowPageState *state = &m_state;
            AsyncAction::run(
                state, state->updateItem(itemID, patch), [](bool) {}, [](const QString &) {});
        });
    }
    menu->popup(globalPos);
}
