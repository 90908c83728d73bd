#pragma once

#include <QTableView>

class FlowItemDelegate;
class FlowPageState;
class FlowTableModel;
class QTimer;

// The rundown table: a pinned header row and one painted row per visible item. Never narrower
// than FlowTableModel::minimumTableWidth; a narrower window scrolls sideways and a wider one
// stretches only the title column.
class FlowTableView : public QTableView
{
    Q_OBJECT

public:
    FlowTableView(FlowPageState &state, FlowTableModel &model, QWidget *parent = nullptr);

    FlowItemDelegate *flowDelegate() const { return m_delegate; }
    FlowTableModel &flowModel() const { return m_model; }
    // The rectangle of a cell in viewport coordinates for an item, or empty when not shown.
    QRect cellRect(const QString &itemID, int column) const;
    static constexpr int rowHeight = 64;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void updateColumnWidths();
    void showTypeMenu(const QString &itemID, const QPoint &globalPos);
    void followBusy();

    FlowPageState &m_state;
    FlowTableModel &m_model;
    FlowItemDelegate *m_delegate;
    QTimer *m_inertDelay;
};
