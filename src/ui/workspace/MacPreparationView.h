#pragma once

#include "PreparationRules.h"
#include "common/DeferredRefresh.h"

#include <QCoro/QCoroTask>
#include <QWidget>

class MacMetricCard;
class MacProjectDataStore;
class PageStateStack;
class QProgressBar;
class QPushButton;
class QScrollArea;

// The workspace page "播放控制": fetches the rundown's uploaded audio and video onto this computer,
// one download after another. Leaving the page stops a run at its next download.
class MacPreparationView : public QWidget
{
    Q_OBJECT

public:
    explicit MacPreparationView(MacProjectDataStore &store, QWidget *parent = nullptr);
    ~MacPreparationView() override;

    bool preparing() const { return m_preparing; }
    int completed() const { return m_completed; }
    int total() const { return m_total; }
    const QString &preparationError() const { return m_preparationError; }

    // One run over the given items of one category.
    QCoro::Task<> prepare(QList<RundownItem> items, QString category);
    // One run over all audio items, then all video items.
    QCoro::Task<> prepareAll();

Q_SIGNALS:
    void preparationFinished();

private:
    QCoro::Task<> run(QList<PreparationRules::Job> jobs);
    void scheduleRefresh();
    void refresh();
    void rebuildItems();
    void updateRunState();

    MacProjectDataStore &m_store;
    bool m_preparing = false;
    int m_completed = 0;
    int m_total = 0;
    QString m_preparationError;

    PageStateStack *m_states = nullptr;
    MacMetricCard *m_itemsCard = nullptr;
    MacMetricCard *m_audioCard = nullptr;
    MacMetricCard *m_videoCard = nullptr;
    MacMetricCard *m_runCard = nullptr;
    QPushButton *m_audioButton = nullptr;
    QPushButton *m_videoButton = nullptr;
    QPushButton *m_allButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QWidget *m_progressRow = nullptr;
    QScrollArea *m_scroll = nullptr;
    DeferredRefresh m_refreshLater{this, [this] { refresh(); }};
};
