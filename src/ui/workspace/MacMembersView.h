#pragma once

#include "common/DeferredRefresh.h"
#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <optional>

class MacProjectDataStore;
class MacMetricCard;
class PageStateStack;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The workspace page "成员管理": counters, search and one row per member with work pass,
// invitation and check-in. Reads the store at every change; never loads by itself.
class MacMembersView : public QWidget
{
    Q_OBJECT

public:
    explicit MacMembersView(MacProjectDataStore &store, QWidget *parent = nullptr);
    ~MacMembersView() override;

    const QString &query() const { return m_query; }
    const std::optional<ProjectMember> &passMember() const { return m_passMember; }
    const std::optional<ProjectMember> &editingMember() const { return m_editingMember; }
    const std::optional<ProjectMember> &invitingMember() const { return m_invitingMember; }
    bool addingMember() const { return m_addingMember; }
    bool showingGroups() const { return m_showingGroups; }

    // The member editor's save: PATCH the member, then reload silently. On failure the store's
    // error is set and false returned, with no reload. Safe when the store goes away meanwhile.
    static QCoro::Task<bool> saveMember(QPointer<MacProjectDataStore> store, ProjectMember member,
                                        QString name, QString role, QString detail, QString passAreas);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct RowWidgets
    {
        QWidget *row = nullptr;
        QPushButton *checkIn = nullptr;
        ProjectMember member;
    };

    QWidget *buildContent();
    QWidget *buildRow(const ProjectMember &member);
    void scheduleRefresh();
    void refresh();
    void rebuildRows();
    void updateCheckInButtons();
    bool canManage() const;
    bool isOwnRow(const ProjectMember &member) const;

    void openWorkPass(const ProjectMember &member);
    void openEditor(const ProjectMember &member);
    void openInvitation(const std::optional<ProjectMember> &member);
    void openGroups();
    void checkIn(const ProjectMember &member);

    MacProjectDataStore &m_store;
    QString m_query;
    std::optional<ProjectMember> m_passMember;
    std::optional<ProjectMember> m_editingMember;
    std::optional<ProjectMember> m_invitingMember;
    bool m_addingMember = false;
    bool m_showingGroups = false;

    PageStateStack *m_states = nullptr;
    MacMetricCard *m_totalCard = nullptr;
    MacMetricCard *m_registeredCard = nullptr;
    MacMetricCard *m_checkedInCard = nullptr;
    MacMetricCard *m_waitingCard = nullptr;
    QLineEdit *m_search = nullptr;
    QPushButton *m_addButton = nullptr;
    QWidget *m_rowsHost = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QList<RowWidgets> m_rows;
    QHash<QObject *, ProjectMember> m_nameBlocks;
    DeferredRefresh m_refreshLater{this, [this] { refresh(); }};
};
