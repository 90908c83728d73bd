#pragma once

#include "FlowContexts.h"
#include "FlowRules.h"
#include "api/ProjectDetailReader.h"
#include "models/Envelopes.h"
#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class APIClient;
class QTimer;

// What the last change of the detail touched, for views that rebuild per item.
struct FlowDetailChange
{
    // The detail's version after the change, and before it.
    quint64 version = 0;
    quint64 base = 0;
    // Only the items [first, first + removed) changed, into `inserted` items; otherwise anything
    // may have changed.
    bool itemsOnly = false;
    qsizetype first = 0;
    qsizetype removed = 0;
    qsizetype inserted = 0;
};

// The rundown page's state and actions. The page's widgets observe it; nothing here touches a
// widget. Every value has a getter, a setter and a change signal; setters emit only on change.
//
// Reloads may overlap (a poll and a reload after a change). They are numbered when they start
// and an answer is applied only while no later-started reload has been applied; a change the
// service accepted also retires every reload started before its answer, so a poll sent before
// the change can never bring the old rundown back.
class FlowPageState : public QObject
{
    Q_OBJECT

public:
    // Hooks that the live control fills in; without them the live buttons do nothing.
    using LiveActionHandler = std::function<QCoro::Task<>(QString action, RundownItem item)>;
    // Runs after each applied reload, before isLoading clears, with the answer's live item.
    using AfterReloadHook = std::function<QCoro::Task<>(std::optional<RundownItem> liveItem)>;

    static constexpr int pollIntervalMs = 2000;

    FlowPageState(ProjectSummary project, APIClient &client, QObject *parent = nullptr);
    ~FlowPageState() override;

    const ProjectSummary &project() const { return m_project; }
    APIClient &client() const { return m_client; }

    // --- State values -------------------------------------------------------------------------
    const std::optional<ProjectDetailResponse> &detail() const { return m_detail; }
    // Counts the detail's changes; lastDetailChange() tells what the latest one touched.
    quint64 detailVersion() const { return m_lastDetailChange.version; }
    const FlowDetailChange &lastDetailChange() const { return m_lastDetailChange; }
    // These three change the detail by other means than a reload, so the next reload reads the
    // answer whole. An equal detail changes nothing.
    void setDetail(std::optional<ProjectDetailResponse> detail);
    // Replaces only detail.items (live actions answer with the whole rundown).
    void setItems(QList<RundownItem> items);
    // Replaces only detail.project (freezing answers with the project).
    void setProjectSummary(ProjectSummary project);
    // Takes an answer of the project endpoint as a reload takes it (for the benchmark); throws
    // DecodingError for an answer that does not decode.
    void applyAnswer(const QByteArray &answer);
    bool isLoading() const { return m_isLoading; }
    void setIsLoading(bool loading);
    const QString &error() const { return m_error; }
    // A command's outcome: its failure, or "" when it succeeded. A failure stays through the
    // silent polls, so the user can read it; only a command or a reload the user starts later
    // replaces it.
    void setError(const QString &error);
    // A command succeeded without a word on the page's error: the failure of an earlier command
    // goes, a failed load stays until a reload succeeds.
    void clearCommandError();
    const QString &query() const { return m_query; }
    void setQuery(const QString &query);
    bool audioLinked() const { return m_audioLinked; }
    void setAudioLinked(bool linked);
    bool videoLinked() const { return m_videoLinked; }
    void setVideoLinked(bool linked);
    const std::optional<QString> &busyItemID() const { return m_busyItemID; }
    void setBusyItemID(std::optional<QString> id);
    bool freezeConfirmation() const { return m_freezeConfirmation; }
    void setFreezeConfirmation(bool shown);
    const QString &readinessFilter() const { return m_readinessFilter; }
    void setReadinessFilter(const QString &filter);
    const std::optional<MacPeopleEditorContext> &peopleEditor() const { return m_peopleEditor; }
    void setPeopleEditor(std::optional<MacPeopleEditorContext> context);
    const std::optional<RundownItem> &assetItem() const { return m_assetItem; }
    void setAssetItem(std::optional<RundownItem> item);
    const std::optional<RundownItem> &programItem() const { return m_programItem; }
    void setProgramItem(std::optional<RundownItem> item);
    const std::optional<MacLotteryContext> &lotteryContext() const { return m_lotteryContext; }
    void setLotteryContext(std::optional<MacLotteryContext> context);
    const QString &lotteryScreenMode() const { return m_lotteryScreenMode; }
    void setLotteryScreenMode(const QString &mode);
    bool showingExcelImporter() const { return m_showingExcelImporter; }
    void setShowingExcelImporter(bool shown);
    const std::optional<RundownImportPreview> &importPreview() const { return m_importPreview; }
    void setImportPreview(std::optional<RundownImportPreview> preview);
    bool importConfirmation() const { return m_importConfirmation; }
    void setImportConfirmation(bool shown);

    // --- Rules, read afresh from the current state --------------------------------------------
    bool canManage() const { return FlowRules::canManage(m_detail); }
    bool canFreeze() const { return FlowRules::canFreeze(m_detail); }
    bool canControlPlayback() const { return FlowRules::canControlPlayback(m_detail); }
    bool canOutputAudio() const { return FlowRules::canOutputAudio(m_detail); }
    bool canOutputVideo() const { return FlowRules::canOutputVideo(m_detail); }
    bool flowFrozen() const { return FlowRules::flowFrozen(m_detail); }
    bool canEdit(const RundownItem &item) const { return FlowRules::canEdit(m_detail, item); }
    bool canEditScript(const RundownItem &item) const { return FlowRules::canEditScript(m_detail, item); }
    bool canUpload(const RundownItem &item) const { return FlowRules::canUpload(m_detail, item); }
    bool canConfigureLottery(const RundownItem &item) const
    {
        return FlowRules::canConfigureLottery(m_detail, item);
    }
    bool canOperateLottery(const RundownItem &item) const
    {
        return FlowRules::canOperateLottery(m_detail, item);
    }
    QList<RundownItem> visibleItems() const
    {
        return FlowRules::visibleItems(m_detail, m_query, m_readinessFilter);
    }
    std::optional<RundownItem> liveItem() const { return itemAt(m_marks.liveIndex()); }
    std::optional<RundownItem> nextItem() const { return itemAt(m_marks.nextIndex()); }
    FlowRules::ReadinessCounts readinessCounts() const { return m_marks.readinessCounts(); }
    QHash<QString, QString> timeMap() const { return FlowRules::timeMap(m_detail); }

    // --- Actions; none throws, every failure ends in error() ------------------------------------
    // The first load, then a silent reload 2 s after each poll ends, until stop() or destruction.
    void start();
    void stop();
    bool isPolling() const { return m_polling; }
    QCoro::Task<> reload(bool silent);
    // Sends a patch carrying only the changed fields; true when the service accepted it (also
    // when the reload after it failed: error() is cleared then).
    QCoro::Task<bool> updateItem(QString itemID, RundownItemPatch patch);
    // Swaps the item with its neighbour (-1 up, +1 down) and sends the whole new order.
    QCoro::Task<> moveItem(RundownItem item, int offset);
    // Runs the live control's handler; does nothing without one.
    QCoro::Task<> liveAction(QString action, RundownItem item);
    void setLiveActionHandler(LiveActionHandler handler) { m_liveActionHandler = std::move(handler); }
    void setAfterReloadHook(AfterReloadHook hook) { m_afterReload = std::move(hook); }
    // Marks every reload started so far as outdated; call when the service accepted a change
    // whose own reload follows.
    void retireEarlierReloads();

    void openTasks();
    void setOnOpenTasks(std::function<void()> onOpenTasks) { m_onOpenTasks = std::move(onOpenTasks); }

Q_SIGNALS:
    // The whole detail, its items or its project changed.
    void detailChanged();
    void isLoadingChanged();
    void errorChanged();
    void queryChanged();
    void audioLinkedChanged();
    void videoLinkedChanged();
    void busyItemIDChanged();
    void freezeConfirmationChanged();
    void readinessFilterChanged();
    void peopleEditorChanged();
    void assetItemChanged();
    void programItemChanged();
    void lotteryContextChanged();
    void lotteryScreenModeChanged();
    void showingExcelImporterChanged();
    void importPreviewChanged();
    void importConfirmationChanged();
    // A reload started or ended (for tests and the benchmark).
    void reloadStarted(bool silent);
    void reloadFinished(bool applied);

private:
    void schedulePoll();
    void poll();
    void accept(ProjectDetailReader::Reading reading);
    // Records a change of the detail and tells the views.
    void detailDidChange(FlowDetailChange change);
    std::optional<RundownItem> itemAt(std::optional<qsizetype> index) const
    {
        return index ? std::optional(m_detail->items.at(*index)) : std::nullopt;
    }
    // What reload number `number` found; it leaves a command's failure alone unless the user
    // started it after that failure.
    void setLoadError(const QString &error, quint64 number, bool silent);

    const ProjectSummary m_project;
    APIClient &m_client;
    // Shared with the requests in flight, which may end after the page.
    const std::shared_ptr<ProjectDetailReader> m_reader;
    std::function<void()> m_onOpenTasks;
    LiveActionHandler m_liveActionHandler;
    AfterReloadHook m_afterReload;

    std::optional<ProjectDetailResponse> m_detail;
    FlowDetailChange m_lastDetailChange;
    // Follows m_detail->items through every change.
    FlowRules::ItemMarks m_marks;
    bool m_isLoading = true;
    QString m_error;
    // While m_error is a command's failure: the number of the last reload started before it.
    std::optional<quint64> m_commandErrorAfterLoad;
    QString m_query;
    bool m_audioLinked = true;
    bool m_videoLinked = true;
    std::optional<QString> m_busyItemID;
    bool m_freezeConfirmation = false;
    QString m_readinessFilter = FlowRules::allStatuses;
    std::optional<MacPeopleEditorContext> m_peopleEditor;
    std::optional<RundownItem> m_assetItem;
    std::optional<RundownItem> m_programItem;
    std::optional<MacLotteryContext> m_lotteryContext;
    QString m_lotteryScreenMode = QStringLiteral("program");
    bool m_showingExcelImporter = false;
    std::optional<RundownImportPreview> m_importPreview;
    bool m_importConfirmation = false;

    QTimer *m_pollTimer;
    bool m_polling = false;
    quint64 m_startedLoads = 0;
    // Number of the latest-started reload that is shown or was retired; 0 before any.
    quint64 m_appliedLoad = 0;
    // Number of the latest non-silent reload; the progress face stays until it or a later one ends.
    quint64 m_loadingLoad = 0;
};
