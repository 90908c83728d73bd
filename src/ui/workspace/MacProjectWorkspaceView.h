#pragma once

#include "models/ProjectRecords.h"
#include "models/WorkItems.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class APIClient;
class MacProjectDataStore;
class QToolButton;
class QVBoxLayout;

// The screen of one opened project: a bar of page buttons over the selected page. It owns the
// project's data store for its whole life and loads it when first shown.
class MacProjectWorkspaceView : public QWidget
{
    Q_OBJECT

public:
    // Declared in the order of the page bar.
    enum class Page {
        flow,
        today,
        operations,
        tasks,
        members,
        playback,
    };
    Q_ENUM(Page)

    static constexpr std::array<Page, 6> allPages = {Page::flow,  Page::today,   Page::operations,
                                                     Page::tasks, Page::members, Page::playback};
    // The title is the page's identity in the bar.
    static QString title(Page page);
    static QString symbol(Page page);
    static std::optional<Page> pageFromTitle(const QString &title);
    // Every page but playback; playback only for the directors and the sound and video engineers.
    // Pass the empty role while no detail is loaded.
    static QList<Page> availablePages(const QString &role);
    static Page pageFor(WorkItemDestination destination);
    // Where a role change leaves the shown page: back on the rundown when playback is no longer open.
    static Page pageAfterRoleChange(Page page, const QString &newRole);

    // Requests go through APIClient::shared().
    explicit MacProjectWorkspaceView(ProjectSummary project, QWidget *parent = nullptr);
    MacProjectWorkspaceView(ProjectSummary project, APIClient &client, QWidget *parent = nullptr);
    ~MacProjectWorkspaceView() override;

    const ProjectSummary &project() const { return m_project; }
    MacProjectDataStore &store() const { return *m_store; }
    Page page() const { return m_page; }
    // Selecting another page builds its view afresh and, for any page but the rundown, reloads
    // the store silently. Selecting the shown page again does nothing.
    void setPage(Page page);
    // The view of the shown page.
    QWidget *pageView() const { return m_pageView; }

Q_SIGNALS:
    void pageChanged(MacProjectWorkspaceView::Page page);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildPageBar();
    QWidget *makePageView(Page page);
    void updatePageBar();
    void onDetailChanged();

    const ProjectSummary m_project;
    std::unique_ptr<MacProjectDataStore> m_store;
    Page m_page = Page::flow;
    QString m_role;
    bool m_opened = false;

    std::array<QToolButton *, allPages.size()> m_pageButtons{};
    QToolButton *m_refreshButton = nullptr;
    // Holds the page views, so they can all go before the store does.
    QWidget *m_pageHost = nullptr;
    QVBoxLayout *m_pageLayout = nullptr;
    QWidget *m_pageView = nullptr;
};
