#pragma once

#include "common/DeferredRefresh.h"

#include <QPointer>
#include <QWidget>

class MacMakeupBoard;
class MacOperationsEditor;
class MacProjectDataStore;
class PageStateStack;
class QScrollArea;
class QVBoxLayout;

// The workspace page "现场安排": the notice with its confirmations, the assembly, check-in,
// rehearsal and dinner arrangements and the makeup schedule, all read from the store. Directors
// also see the risk board and edit and publish the arrangements in a sheet.
class MacOperationsView : public QWidget
{
    Q_OBJECT

public:
    explicit MacOperationsView(MacProjectDataStore &store, QWidget *parent = nullptr);
    ~MacOperationsView() override;

    bool isEditing() const { return m_editing; }
    // The open editor sheet, if any.
    MacOperationsEditor *editor() const;
    // The makeup board, kept across reloads; null before the first detail.
    MacMakeupBoard *makeupBoard() const { return m_makeupBoard; }

private:
    void scheduleRefresh();
    void refresh();
    QWidget *buildArrangements();
    void openEditor();
    void showArrangements(QWidget *arrangements);

    MacProjectDataStore &m_store;
    bool m_editing = false;
    QPointer<MacOperationsEditor> m_editor;

    PageStateStack *m_states = nullptr;
    QScrollArea *m_scroll = nullptr;
    DeferredRefresh m_refreshLater{this, [this] { refresh(); }};
    QVBoxLayout *m_contentLayout = nullptr;
    QWidget *m_arrangements = nullptr;
    MacMakeupBoard *m_makeupBoard = nullptr;
};
