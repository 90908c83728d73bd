#pragma once

#include "common/DeferredRefresh.h"

#include <QWidget>

class MacProjectDataStore;
class PageStateStack;
class QPushButton;
class QScrollArea;

// The workspace page "我的当天安排": the signed-in person's own day, derived from the store at
// every change. Its one action is checking oneself in.
class MacTodayView : public QWidget
{
    Q_OBJECT

public:
    explicit MacTodayView(MacProjectDataStore &store, QWidget *parent = nullptr);
    ~MacTodayView() override;

private:
    void scheduleRefresh();
    void refresh();
    QWidget *buildDay();
    void updateCheckInButton();
    void checkIn();

    MacProjectDataStore &m_store;
    PageStateStack *m_states = nullptr;
    QScrollArea *m_scroll = nullptr;
    QPushButton *m_checkInButton = nullptr;
    DeferredRefresh m_refreshLater{this, [this] { refresh(); }};
};
