#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

class FlowPageState;
class QAbstractItemView;
struct FlowRow;

// Paints every rundown cell at rest and handles clicks on its painted controls; the only
// widget a row ever gets is an open MacInlineEditor, as a persistent editor on its cell.
class FlowItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The clickable parts of a cell.
    enum class Part {
        none,
        liveButton,     // 开演 / 重新开演 / 停止
        lotteryConsole, // 抽奖控制台
        moveUp,
        moveDown,
        editor, // the text of an inline cell
        programButton,
        lotteryButton, // 奖项设置
        typeSelector,
        peopleButton,
        assetsButton,
        readinessButton,
    };

    FlowItemDelegate(FlowPageState &state, QAbstractItemView *view);

    // Where a part lies in a cell of that row; empty when the row does not show it.
    static QRect partRect(const FlowRow &row, int column, Part part, const QRect &cell);
    static Part partAt(const FlowRow &row, int column, const QRect &cell, const QPoint &pos);
    // Whether clicking that part does something for this row now.
    static bool isActionable(const FlowRow &row, int column, Part part);
    // The label of the live-control button of a manager's row.
    static QString liveButtonText(const FlowRow &row);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

Q_SIGNALS:
    void typeMenuRequested(const QString &itemID, const QPoint &globalPos);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    // The editor handles its own keys and focus; the view's defaults would close it.
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    void activate(const FlowRow &row, int column, Part part, const QModelIndex &index, const QRect &cell);

    FlowPageState &m_state;
    QPointer<QAbstractItemView> m_view;
};
