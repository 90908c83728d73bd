#pragma once

#include "common/DeferredRefresh.h"
#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QWidget>

#include <optional>

class MacErrorBanner;
class MacGroupMemberPickerSheet;
class MacProjectDataStore;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;

// While set, the member picker is shown for this group.
struct MacGroupMemberContext
{
    PerformerGroup group;
};

// The performer groups of the project: directors settle the detected ones, mark rundown performer
// names as groups and staff the confirmed groups. Reads the store; every change reloads it.
class MacGroupsView : public QWidget
{
    Q_OBJECT

public:
    explicit MacGroupsView(MacProjectDataStore &store, QWidget *parent = nullptr);

    const QString &markingName() const { return m_markingName; }
    const QString &busyKey() const { return m_busyKey; }
    const std::optional<MacGroupMemberContext> &memberContext() const { return m_memberContext; }
    MacGroupMemberPickerSheet *picker() const;

    QCoro::Task<> decide(QString name, QString decision);
    QCoro::Task<bool> updateMember(QString groupID, QString memberID, bool add);

private:
    void scheduleRefresh();
    void refresh();
    void setBusyKey(const QString &key);
    QWidget *buildBoxes();
    QWidget *groupCard(const PerformerGroup &group, const QList<ProjectMember> &members, bool canManage);
    void openPicker(const PerformerGroup &group);

    MacProjectDataStore &m_store;
    QString m_markingName;
    QStringList m_candidates;
    std::optional<MacGroupMemberContext> m_memberContext;
    QString m_busyKey;
    QPointer<MacGroupMemberPickerSheet> m_picker;

    QStackedLayout *m_stack = nullptr;
    QLabel *m_emptyDescription = nullptr;
    QScrollArea *m_scroll = nullptr;
    QComboBox *m_marking = nullptr;
    QPushButton *m_markButton = nullptr;
    QVBoxLayout *m_contentLayout = nullptr;
    QWidget *m_boxes = nullptr;
    MacErrorBanner *m_banner = nullptr;
    DeferredRefresh m_refreshLater{this, [this] { refresh(); }};
};
