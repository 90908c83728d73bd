#pragma once

#include "RequestOutcome.h"
#include "models/ProjectRecords.h"
#include "models/Rundown.h"
#include "models/WorkItems.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class APIClient;

// The model of one opened project, shared by the workspace pages. Every change goes to the service
// first and is followed by a silent reload; nothing is patched locally.
//
// Loads may overlap. They are numbered when they start, and a result is applied only while no
// later-started load has been applied, so a slow old load never brings back data older than what
// a mutation's own reload showed. A load that was superseded, or whose store is gone, never
// reports an error. An aborted request is reported like any failure: Qt ends a transfer time-out
// as an abort, and nothing else aborts the store's requests.
//
// The store may be destroyed while its requests run: they then finish without touching it. The
// client must outlive every request.
class MacProjectDataStore : public QObject
{
    Q_OBJECT

public:
    // Uses APIClient::shared().
    explicit MacProjectDataStore(ProjectSummary project, QObject *parent = nullptr);
    MacProjectDataStore(ProjectSummary project, APIClient &client, QObject *parent = nullptr);
    ~MacProjectDataStore() override;

    const ProjectSummary &project() const { return m_project; }
    // The client every request of this project goes through; pages use it for their own calls.
    APIClient &client() const { return m_client; }

    const std::optional<ProjectDetailResponse> &detail() const { return m_detail; }
    const WorkItemsSnapshot &workItems() const { return m_workItems; }
    bool isLoading() const { return m_isLoading; }
    const QString &error() const { return m_error; }
    // A command's failure (pages write it too: a failed member save). It stays until a load
    // started after it ends, so a load already under way cannot wipe it before it is read.
    void setError(const QString &error);
    const std::optional<QString> &busyMemberID() const { return m_busyMemberID; }

    // The signed-in member's role, or the empty text while no detail is loaded.
    QString role() const;

    // None of these throws; a failure ends up in error().
    QCoro::Task<> load(bool silent);
    QCoro::Task<> saveMakeupShift(MakeupShift shift);
    QCoro::Task<> saveMakeup(MakeupAssignment assignment);
    QCoro::Task<> setCheckIn(ProjectMember member, bool checkedIn);
    QCoro::Task<> confirmNotice();
    // True when the service accepted them (also when the following reload failed).
    QCoro::Task<bool> saveOperations(ProjectOperations operations);
    QCoro::Task<bool> updateWorkItem(WorkItem item, WorkItemPatch patch);
    // Awaits one mutation's request; on success reloads silently and returns true, on failure
    // shows the error and returns false.
    template<typename T>
    QCoro::Task<bool> mutate(QCoro::Task<T> request);

Q_SIGNALS:
    void detailChanged();
    void workItemsChanged();
    void isLoadingChanged();
    void errorChanged();
    void busyMemberIDChanged();

private:
    // What load number `number` found; it leaves a command's failure shown after it started.
    void setLoadError(const QString &error, quint64 number);
    void setDetail(ProjectDetailResponse detail);
    void setWorkItems(WorkItemsSnapshot workItems);
    void setIsLoading(bool loading);
    void setBusyMemberID(std::optional<QString> id);
    const ProjectSummary m_project;
    APIClient &m_client;
    std::optional<ProjectDetailResponse> m_detail;
    WorkItemsSnapshot m_workItems;
    bool m_isLoading = false;
    QString m_error;
    // While m_error is a command's failure: the number of the last load started before it.
    std::optional<quint64> m_commandErrorAfterLoad;
    std::optional<QString> m_busyMemberID;

    quint64 m_startedLoads = 0;
    // Number of the latest-started load whose result is shown; 0 before any.
    quint64 m_appliedLoad = 0;
};

// The store may go while the request runs: then nothing is shown or reloaded. Callers keep the
// returned task in a variable before awaiting it (g++ 12 destroys temporaries made inside a
// co_await expression twice).
template<typename T>
QCoro::Task<bool> MacProjectDataStore::mutate(QCoro::Task<T> request)
{
    QPointer<MacProjectDataStore> self(this);
    auto settling = settleRequest(std::move(request));
    const RequestOutcome<T> outcome = co_await settling;
    if (!outcome.value) {
        if (self) {
            self->setError(outcome.failure);
        }
        co_return false;
    }
    if (self) {
        auto reload = self->load(true);
        co_await reload;
    }
    co_return true;
}
