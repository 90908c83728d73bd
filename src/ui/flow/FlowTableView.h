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
    // For the change of height above the table that follows in this turn of the event loop: an
    // item's row in view now stays in view, where it is on screen if it can, else just inside.
    void keepInView(const QString &itemID);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void updateColumnWidths();
    void showTypeMenu(const QString &itemID, const QPoint &globalPos);
    void followBusy();
    void bringKeptIntoView();

    FlowPageState &m_state;
    FlowTableModel &m_model;
    FlowItemDelegate *m_delegate;
    QTimer *m_inertDelay;
    QString m_keptInView;
};
