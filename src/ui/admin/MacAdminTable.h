#pragma once

#include "common/Theme.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QStyledItemDelegate>

class QTableView;

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

// Paints the cells of MacAdminTableModel with a divider under each row; the view emits
// clicked() for a button cell like for any other.
class MacAdminRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    mutable QHash<QString, QPixmap> m_symbols;
};

// A borderless, headerless table with fixed-height rows over the model.
QTableView *makeAdminTable(MacAdminTableModel *model, int rowHeight, QWidget *parent);
