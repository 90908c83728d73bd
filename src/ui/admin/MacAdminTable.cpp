#include "MacAdminTable.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

AdminCell AdminCell::line(QString text, Theme::TextStyle style, Theme::Colour colour, Qt::Alignment alignment)
{
    AdminCell c;
    c.text = std::move(text);
    c.style = style;
    c.colour = colour;
    c.alignment = alignment;
    return c;
}

AdminCell AdminCell::twoLines(QString text, QString detail, Theme::TextStyle style)
{
    AdminCell c;
    c.text = std::move(text);
    c.detail = std::move(detail);
    c.style = style;
    return c;
}

AdminCell AdminCell::button(QString title)
{
    AdminCell c;
    c.kind = Kind::button;
    c.text = std::move(title);
    return c;
}

AdminCell AdminCell::badge(QString character)
{
    AdminCell c;
    c.kind = Kind::badge;
    c.text = std::move(character);
    return c;
}

AdminCell AdminCell::symbol(QString symbolName)
{
    AdminCell c;
    c.kind = Kind::symbol;
    c.text = std::move(symbolName);
    return c;
}

MacAdminTableModel::MacAdminTableModel(int columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(columns)
{}

void MacAdminTableModel::setRows(QList<AdminRow> rows)
{
    const bool sameKeys = rows.size() == m_rows.size() &&
                          std::equal(rows.cbegin(), rows.cend(), m_rows.cbegin(),
                                     [](const AdminRow &a, const AdminRow &b) { return a.key == b.key; });
    if (sameKeys) {
        m_rows = std::move(rows);
        if (!m_rows.isEmpty()) {
            Q_EMIT dataChanged(index(0, 0), index(int(m_rows.size()) - 1, m_columns - 1));
        }
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

const AdminCell *MacAdminTableModel::cell(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return nullptr;
    }
    const AdminRow &row = m_rows.at(index.row());
    return index.column() < row.cells.size() ? &row.cells.at(index.column()) : nullptr;
}

int MacAdminTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MacAdminTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant MacAdminTableModel::data(const QModelIndex &index, int role) const
{
    const AdminCell *c = cell(index);
    if (!c) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return c->text;
    case DetailRole:
        return c->detail;
    case Qt::ToolTipRole:
        // Lines are elided to the column; the tip shows them whole.
        return c->kind == AdminCell::Kind::text && !c->detail.isEmpty() ? c->text + u'\n' + c->detail
                                                                        : QVariant();
    case KindRole:
        return int(c->kind);
    case KeyRole:
        return m_rows.at(index.row()).key;
    case Qt::ForegroundRole:
        return Theme::colour(c->colour);
    default:
        return {};
    }
}

QRect MacAdminRowDelegate::buttonRect(const QRect &cellRect, const QString &title,
                                      const QFontMetrics &metrics)
{
    const QRect r = cellRect.adjusted(4, 0, -4, 0);
    QStyleOptionButton button;
    button.text = title;
    button.fontMetrics = metrics;
    const QSize hint = QApplication::style()->sizeFromContents(QStyle::CT_PushButton, &button,
                                                               metrics.size(Qt::TextShowMnemonic, title));
    const QSize size(std::min(r.width(), std::max(hint.width(), 64)),
                     std::min(r.height() - 8, hint.height()));
    return {QPoint(r.x() + (r.width() - size.width()) / 2, r.center().y() - size.height() / 2 + 1), size};
}

void MacAdminRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    const auto *model = qobject_cast<const MacAdminTableModel *>(index.model());
    const AdminCell *c = model ? model->cell(index) : nullptr;
    if (!c) {
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect r = option.rect.adjusted(4, 0, -4, 0);

    switch (c->kind) {
    case AdminCell::Kind::button: {
        const auto *view = qobject_cast<const MacAdminTableView *>(option.widget);
        QStyleOptionButton button;
        button.text = c->text;
        button.fontMetrics = option.fontMetrics;
        button.rect = buttonRect(option.rect, c->text, option.fontMetrics);
        button.state = QStyle::State_Enabled |
                       (option.state & (QStyle::State_Active | QStyle::State_KeyboardFocusChange));
        button.state |= view && view->isButtonDown(index) ? QStyle::State_Sunken : QStyle::State_Raised;
        if (view && view->hasButtonFocus(index)) {
            button.state |= QStyle::State_HasFocus;
        }
        QApplication::style()->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
        break;
    }
    case AdminCell::Kind::badge: {
        const QRect square(r.x(), r.center().y() - 16, 34, 34);
        QPainterPath path;
        path.addRoundedRect(square, 8, 8);
        painter->fillPath(path, Theme::colour(Theme::Colour::indigo, 0.1));
        painter->setFont(Theme::font(Theme::TextStyle::caption, QFont::Bold));
        painter->setPen(Theme::colour(Theme::Colour::indigo));
        painter->drawText(square, Qt::AlignCenter, c->text);
        break;
    }
    case AdminCell::Kind::symbol: {
        const int size = 18;
        auto found = m_symbols.find(c->text);
        if (found == m_symbols.end()) {
            found = m_symbols.insert(
                c->text, Theme::symbolPixmap(c->text, size, Theme::colour(Theme::Colour::indigo)));
        }
        painter->drawPixmap(QRect(r.x() + (r.width() - size) / 2, r.center().y() - size / 2, size, size),
                            *found);
        break;
    }
    case AdminCell::Kind::text: {
        QFont font = Theme::font(c->style);
        if (c->weight != QFont::Normal) {
            font.setWeight(c->weight);
        }
        const QFontMetrics fm(font);
        const QFont detailFont = Theme::font(c->detailStyle);
        const QFontMetrics dfm(detailFont);
        const bool twoLines = !c->detail.isEmpty();
        const int spacing = 3;
        const int height = fm.height() + (twoLines ? spacing + dfm.height() : 0);
        int y = r.y() + (r.height() - height) / 2;
        const Qt::Alignment h = c->alignment & Qt::AlignHorizontal_Mask;
        painter->setFont(font);
        painter->setPen(Theme::colour(c->colour));
        painter->drawText(QRect(r.x(), y, r.width(), fm.height()), int(h | Qt::AlignVCenter),
                          fm.elidedText(c->text, Qt::ElideRight, r.width()));
        if (twoLines) {
            y += fm.height() + spacing;
            painter->setFont(detailFont);
            painter->setPen(Theme::colour(Theme::Colour::secondary));
            painter->drawText(QRect(r.x(), y, r.width(), dfm.height()), int(h | Qt::AlignVCenter),
                              dfm.elidedText(c->detail, Qt::ElideRight, r.width()));
        }
        break;
    }
    }

    painter->setPen(Theme::colour(Theme::Colour::separator));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}

MacAdminTableView::MacAdminTableView(QWidget *parent)
    : QTableView(parent)
{
    // Tab leaves the table; inside it the arrows move between rows.
    setTabKeyNavigation(false);
    setFocusPolicy(Qt::NoFocus);
}

QModelIndex MacAdminTableView::buttonIndex(int row) const
{
    if (!model() || row < 0 || row >= model()->rowCount()) {
        return {};
    }
    for (int column = 0; column < model()->columnCount(); ++column) {
        const QModelIndex index = model()->index(row, column);
        if (index.data(MacAdminTableModel::KindRole).toInt() == int(AdminCell::Kind::button)) {
            return index;
        }
    }
    return {};
}

bool MacAdminTableView::isButtonDown(const QModelIndex &index) const
{
    return m_downInside && m_down == index;
}

bool MacAdminTableView::hasButtonFocus(const QModelIndex &index) const
{
    return hasFocus() && currentIndex().row() == index.row();
}

void MacAdminTableView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, &MacAdminTableView::updateFocusPolicy);
        connect(model, &QAbstractItemModel::rowsInserted, this, &MacAdminTableView::updateFocusPolicy);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &MacAdminTableView::updateFocusPolicy);
    }
    updateFocusPolicy();
}

void MacAdminTableView::updateFocusPolicy()
{
    // A list without buttons has nothing to do with the keyboard focus.
    setFocusPolicy(buttonIndex(0).isValid() ? Qt::TabFocus : Qt::NoFocus);
}

QModelIndex MacAdminTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const bool sideways = cursorAction == MoveLeft || cursorAction == MoveRight || cursorAction == MoveNext ||
                          cursorAction == MovePrevious;
    if (sideways && currentIndex().isValid()) {
        return currentIndex(); // one button a row: nowhere to go
    }
    const QModelIndex target = QTableView::moveCursor(cursorAction, modifiers);
    const QModelIndex button = target.isValid() ? buttonIndex(target.row()) : QModelIndex();
    return button.isValid() ? button : target;
}

void MacAdminTableView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_downByKey && m_down.isValid() && m_down.row() != current.row()) {
        setDown({}, false);
    }
    updateRow(previous.row());
    updateRow(current.row());
}

bool MacAdminTableView::overButton(const QModelIndex &index, const QPoint &pos) const
{
    return index.isValid() &&
           index.data(MacAdminTableModel::KindRole).toInt() == int(AdminCell::Kind::button) &&
           MacAdminRowDelegate::buttonRect(visualRect(index), index.data().toString(), fontMetrics())
               .contains(pos);
}

void MacAdminTableView::setDown(const QModelIndex &index, bool inside)
{
    const int before = m_down.isValid() ? m_down.row() : -1;
    m_down = index;
    m_downInside = inside && index.isValid();
    if (!index.isValid()) {
        m_downByKey = false;
    }
    updateRow(before);
    updateRow(index.isValid() ? index.row() : -1);
}

void MacAdminTableView::updateRow(int row)
{
    if (row >= 0) {
        viewport()->update(QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row)));
    }
}

void MacAdminTableView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (event->button() == Qt::LeftButton && !m_downByKey && overButton(index, pos)) {
        setDown(index, true);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void MacAdminTableView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_down.isValid() && !m_downByKey) {
        const bool inside = overButton(m_down, event->position().toPoint());
        if (inside != m_downInside) {
            setDown(m_down, inside);
        }
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void MacAdminTableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_down.isValid() && !m_downByKey && event->button() == Qt::LeftButton) {
        const QModelIndex index = m_down;
        const bool clicked = m_downInside;
        setDown({}, false);
        event->accept();
        if (clicked) {
            Q_EMIT buttonClicked(index);
        }
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void MacAdminTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A quick second click on a button is one more click, as on a push button.
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && overButton(indexAt(pos), pos)) {
        mousePressEvent(event);
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void MacAdminTableView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        const QModelIndex button = buttonIndex(currentIndex().row());
        if (button.isValid()) {
            if (!event->isAutoRepeat() && !m_down.isValid()) {
                m_downByKey = true;
                setDown(button, true);
            }
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void MacAdminTableView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_downByKey) {
        const QModelIndex index = m_down;
        setDown({}, false);
        event->accept();
        if (index.isValid()) {
            Q_EMIT buttonClicked(index);
        }
        return;
    }
    QTableView::keyReleaseEvent(event);
}

void MacAdminTableView::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    updateRow(currentIndex().row());
}

void MacAdminTableView::focusOutEvent(QFocusEvent *event)
{
    if (m_downByKey) {
        setDown({}, false);
    }
    QTableView::focusOutEvent(event);
    updateRow(currentIndex().row());
}

MacAdminTableView *makeAdminTable(MacAdminTableModel *model, int rowHeight, QWidget *parent)
{
    auto *view = new MacAdminTableView(parent);
    view->setModel(model);
    view->setItemDelegate(new MacAdminRowDelegate(view));
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
    view->setShowGrid(false);
    view->setFrameShape(QFrame::NoFrame);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setWordWrap(false);
    view->viewport()->setAutoFillBackground(false);
    view->setStyleSheet(QStringLiteral("QTableView { background: transparent; }"));
    return view;
}
