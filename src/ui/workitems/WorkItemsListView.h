#pragma once

#include "WorkItemsListModel.h"

#include <QListView>
#include <QStyledItemDelegate>

#include <optional>

// The task page's list of cards: a view over WorkItemsListModel whose delegate draws each card
// with its badges, texts and action buttons, and turns clicks on those buttons into actions.
class WorkItemsListView : public QListView
{
    Q_OBJECT

public:
    enum class Action { openDestination, toggle, block, complete };

    explicit WorkItemsListView(WorkItemsListModel *model, QWidget *parent = nullptr);

    // Disabled buttons are drawn dimmed and ignore clicks (while a status change runs).
    void setActionsEnabled(bool enabled);
    // Measures the cards again after their content changed.
    void relayout() { scheduleDelayedItemsLayout(); }
    bool actionsEnabled() const { return m_actionsEnabled; }

    bool contains(const QString &id) const { return m_model->indexOf(id) >= 0; }
    // Brings the card of that work item into view.
    void scrollToItem(const QString &id);
    // The buttons the card of that work item offers, in order, with their texts.
    QList<Action> actions(const QString &id) const;
    QString actionText(const QString &id, Action action) const;
    // Where that button lies in viewport coordinates; empty when the card does not offer it.
    QRect actionRect(const QString &id, Action action) const;
    // The button the keyboard is on (arrows move it, Return or Space presses it); empty when none.
    std::optional<std::pair<QString, Action>> keyboardTarget() const;

Q_SIGNALS:
    void actionTriggered(const WorkItem &item, WorkItemsListView::Action action);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    struct Hit
    {
        QString id;
        Action action;
        friend bool operator==(const Hit &, const Hit &) = default;
    };
    std::optional<Hit> hitAt(const QPoint &pos) const;
    void setHovered(std::optional<Hit> hit);
    // Every button of every card, in reading order.
    QList<Hit> targets() const;
    void trigger(const Hit &hit);

    friend class WorkItemCardDelegate;
    WorkItemsListModel *m_model;
    bool m_actionsEnabled = true;
    std::optional<Hit> m_hovered;
    std::optional<Hit> m_pressed;
    std::optional<Hit> m_focused;
};
