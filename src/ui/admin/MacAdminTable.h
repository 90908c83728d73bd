#pragma once

#include "common/Theme.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QString>
#include <QStyledItemDelegate>
#include <QTableView>

// One cell of a console list: a line of text with an optional second line, or a push button,
// a badge character or a symbol.
struct AdminCell
{
    enum class Kind { text, button, badge, symbol };

    Kind kind = Kind::text;
    QString text;
    QString detail; // the second line, caption-sized
    Theme::TextStyle style = Theme::TextStyle::body;
    QFont::Weight weight = QFont::Normal;
    Theme::Colour colour = Theme::Colour::primary;
    Theme::TextStyle detailStyle = Theme::TextStyle::caption;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool monospacedDigits = false;

    static AdminCell line(QString text, Theme::TextStyle style = Theme::TextStyle::body,
                          Theme::Colour colour = Theme::Colour::primary,
                          Qt::Alignment alignment = Qt::AlignLeft);
    static AdminCell twoLines(QString text, QString detail,
                              Theme::TextStyle style = Theme::TextStyle::headline);
    static AdminCell button(QString title);
    static AdminCell badge(QString character);
    static AdminCell symbol(QString symbolName);
};

struct AdminRow
{
    QString key; // the record's identity, for keeping rows in place across reloads
    QList<AdminCell> cells;
};

// Rows of one console list, already filtered and formatted by the page. A reload with the same
// keys in the same order updates the rows in place, so the view keeps its scroll position.
class MacAdminTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role { DetailRole = Qt::UserRole + 1, KindRole, KeyRole };

    MacAdminTableModel(int columns, QObject *parent = nullptr);

    void setRows(QList<AdminRow> rows);
    const QList<AdminRow> &rows() const { return m_rows; }
    const AdminCell *cell(const QModelIndex &index) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    int m_columns;
    QList<AdminRow> m_rows;
};

// Paints the cells of MacAdminTableModel with a divider under each row. A button cell is drawn
// as a push button, pressed and focused as MacAdminTableView says.
class MacAdminRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where a button titled `title` sits in a cell of `cellRect`.
    static QRect buttonRect(const QRect &cellRect, const QString &title, const QFontMetrics &metrics);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    mutable QHash<QString, QPixmap> m_symbols;
};

// A borderless, headerless table with fixed-height rows over the model. The row buttons behave
// as push buttons without being widgets: only the button's own rectangle takes a click, and
// with the keyboard focus (Tab only) the arrows pick the row and Space presses its button.
class MacAdminTableView : public QTableView
{
    Q_OBJECT

public:
    explicit MacAdminTableView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;

    // The button cell of `row`, or an invalid index when that row has none.
    QModelIndex buttonIndex(int row) const;
    bool isButtonDown(const QModelIndex &index) const;
    bool hasButtonFocus(const QModelIndex &index) const;

Q_SIGNALS:
    void buttonClicked(const QModelIndex &index);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool overButton(const QModelIndex &index, const QPoint &pos) const;
    void setDown(const QModelIndex &index, bool inside);
    void updateRow(int row);
    void updateFocusPolicy();

    QPersistentModelIndex m_down; // the button held by the mouse or by Space
    bool m_downInside = false;    // the pointer still over it, so a release clicks
    bool m_downByKey = false;
};

MacAdminTableView *makeAdminTable(MacAdminTableModel *model, int rowHeight, QWidget *parent);
