#include "stores/MacProjectDataStore.h"

#include "Error.h"
#include "api/APIClient.h"

#include <QPointer>

#include <exception>

namespace {

QString describe(std::exception_ptr exception)
{
    try {
        std::rethrow_exception(exception);
    } catch (...) {
        return describeCurrentException();
    }
}

} // namespace

MacProjectDataStore::MacProjectDataStore(ProjectSummary project, QObject *parent)
    : MacProjectDataStore(std::move(project), APIClient::shared(), parent)
{}

MacProjectDataStore::MacProjectDataStore(ProjectSummary project, APIClient &client, QObject *parent)
    : QObject(parent)
    , m_project(std::move(project))
    , m_client(client)
    , m_workItems(WorkItemsSnapshot::empty())
{}

MacProjectDataStore::~MacProjectDataStore() = default;

void MacProjectDataStore::setError(const QString &error)
{
    m_commandErrorAfterLoad = error.isEmpty() ? std::nullopt : std::optional<quint64>(m_startedLoads);
    if (m_error == error) {
        return;
    }
    m_error = error;
    Q_EMIT errorChanged();
}

void MacProjectDataStore::setLoadError(const QString &error, quint64 number)
{
    if (m_commandErrorAfterLoad && number <= *m_commandErrorAfterLoad) {
        return;
    }
    m_commandErrorAfterLoad.reset();
    if (m_error == error) {
        return;
    }
    m_error = error;
    Q_EMIT errorChanged();
}

QString MacProjectDataStore::role() const
{
    return m_detail ? m_detail->membership.role : QString();
}

void MacProjectDataStore::setDetail(ProjectDetailResponse detail)
{
    m_detail = std::move(detail);
    Q_EMIT detailChanged();
}

void MacProjectDataStore::setWorkItems(WorkItemsSnapshot workItems)
{
    if (m_workItems == workItems) {
        return;
    }
    m_workItems = std::move(workItems);
    Q_EMIT workItemsChanged();
}

void MacProjectDataStore::setIsLoading(bool loading)
{
    if (m_isLoading == loading) {
        return;
    }
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void MacProjectDataStore::setBusyMemberID(std::optional<QString> id)
{
    if (m_busyMemberID == id) {
        return;
    }
    m_busyMemberID = std::move(id);
    Q_EMIT busyMemberIDChanged();
}

QCoro::Task<> MacProjectDataStore::load(bool silent)
{
    QPointer<MacProjectDataStore> self(this);
    const quint64 number = ++m_startedLoads;
    if (!silent) {
        setIsLoading(true);
    }

    // Both requests go out now; the detail first.
    auto detailTask = m_client.project(m_project.id);
    auto workItemsTask = m_client.workItems(m_project.id);

    std::optional<ProjectDetailResponse> detail;
    std::exception_ptr detailFailure;
    try {
        detail = co_await detailTask;
    } catch (...) {
        detailFailure = std::current_exception();
    }

    if (detailFailure) {
        if (self) {
            // Superseded by a newer load that is already shown: this failure is old news.
            if (number > m_appliedLoad) {
                setLoadError(describe(detailFailure), number);
            }
            setIsLoading(false);
        }
        // The work items are dropped, but the request is still seen to its end so that nothing
        // of this load outlives it.
        try {
            co_await workItemsTask;
        } catch (...) {
        }
        co_return;
    }

    if (!self) {
        co_return;
    }
    if (number > m_appliedLoad) {
        m_appliedLoad = number;
        setDetail(std::move(*detail));
    }

    std::optional<WorkItemsSnapshot> workItems;
    std::exception_ptr workItemsFailure;
    try {
        workItems = co_await workItemsTask;
    } catch (...) {
        workItemsFailure = std::current_exception();
    }
    if (!self) {
        co_return;
    }

    const bool current = m_appliedLoad == number;
    if (workItems) {
        if (current) {
            setWorkItems(std::move(*workItems));
            setLoadError(QString(), number);
        }
    } else if (current) {
        setLoadError(describe(workItemsFailure), number);
    }
    setIsLoading(false);
}

QCoro::Task<> MacProjectDataStore::saveMakeupShift(MakeupShift shift)
{
    auto done = mutate(m_client.saveMakeupShift(m_project.id, std::move(shift)));
    co_await done;
}

QCoro::Task<> MacProjectDataStore::saveMakeup(MakeupAssignment assignment)
{
    auto done = mutate(m_client.saveMakeup(m_project.id, std::move(assignment)));
    co_await done;
}

QCoro::Task<> MacProjectDataStore::setCheckIn(ProjectMember member, bool checkedIn)
{
    QPointer<MacProjectDataStore> self(this);
    setBusyMemberID(member.id);
    auto done = mutate(m_client.checkIn(m_project.id, member.id, checkedIn));
    co_await done;
    // Cleared only after the reload, so the button cannot be pressed on stale data.
    if (self) {
        self->setBusyMemberID(std::nullopt);
    }
}

QCoro::Task<> MacProjectDataStore::confirmNotice()
{
    auto done = mutate(m_client.confirmNotice(m_project.id));
    co_await done;
}

QCoro::Task<bool> MacProjectDataStore::saveOperations(ProjectOperations operations)
{
    auto accepted = mutate(m_client.saveOperations(m_project.id, std::move(operations)));
    co_return co_await accepted;
}

QCoro::Task<bool> MacProjectDataStore::updateWorkItem(WorkItem item, WorkItemPatch patch)
{
    auto accepted = mutate(m_client.updateWorkItem(m_project.id, item.id, std::move(patch)));
    co_return co_await accepted;
}
