#include "MacAdminTable.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>

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
        QStyleOptionButton button;
        button.text = c->text;
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        button.fontMetrics = option.fontMetrics;
        const QSize hint = QApplication::style()->sizeFromContents(
            QStyle::CT_PushButton, &button, option.fontMetrics.size(Qt::TextShowMnemonic, c->text));
        const QSize size(std::min(r.width(), std::max(hint.width(), 64)),
                         std::min(r.height() - 8, hint.height()));
        button.rect = QRect(
            QPoint(r.x() + (r.width() - size.width()) / 2, r.center().y() - size.height() / 2 + 1), size);
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

QTableView *makeAdminTable(MacAdminTableModel *model, int rowHeight, QWidget *parent)
{
    auto *view = new QTableView(parent);
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
    view->setFocusPolicy(Qt::NoFocus);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setWordWrap(false);
    view->viewport()->setAutoFillBackground(false);
    view->setStyleSheet(QStringLiteral("QTableView { background: transparent; }"));
    return view;
}
