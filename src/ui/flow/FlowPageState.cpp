#include "FlowPageState.h"
#include "NotifyingAssign.h"
#include "json/SameRecord.h"

#include "RequestOutcome.h"
#include "api/APIClient.h"
#include "api/ProjectDetailReader.h"
#include "common/AsyncAction.h"

#include <QPointer>
#include <QTimer>

FlowPageState::FlowPageState(ProjectSummary project, APIClient &client, QObject *parent)
    : QObject(parent)
    , m_project(std::move(project))
    , m_client(client)
    , m_reader(std::make_shared<ProjectDetailReader>())
    , m_pollTimer(new QTimer(this))
{
    m_pollTimer->setSingleShot(true);
    m_pollTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pollTimer, &QTimer::timeout, this, &FlowPageState::poll);
}

FlowPageState::~FlowPageState() = default;

// --- State values -----------------------------------------------------------------------------

// For values without a comparison: every set counts as a change.
template<typename T, typename Signal>
static void replace(T &field, T value, FlowPageState *state, Signal signal)
{
    field = std::move(value);
    Q_EMIT(state->*signal)();
}

void FlowPageState::setDetail(std::optional<ProjectDetailResponse> detail)
{
    if (sameRecord(m_detail, detail)) {
        return;
    }
    m_detail = std::move(detail);
    m_reader->forget();
    detailDidChange({});
}

void FlowPageState::setItems(QList<RundownItem> items)
{
    if (m_detail) {
        m_detail->items = std::move(items);
        m_reader->forget();
        detailDidChange({});
    }
}

void FlowPageState::setProjectSummary(ProjectSummary project)
{
    if (m_detail) {
        m_detail->project = std::move(project);
        m_reader->forget();
        detailDidChange({});
    }
}

void FlowPageState::applyAnswer(const QByteArray &answer)
{
    accept(m_reader->read(answer));
}

void FlowPageState::accept(ProjectDetailReader::Reading reading)
{
    // Patched in place: an unchanged item stays the same object, and an equal answer changes nothing.
    const ProjectDetailReader::Change change = m_reader->accept(std::move(reading), m_detail);
    if (change.changed) {
        detailDidChange(change.itemsOnly
                            ? FlowDetailChange{0, 0, true, change.first, change.removed, change.inserted}
                            : FlowDetailChange{});
    }
}

void FlowPageState::detailDidChange(FlowDetailChange change)
{
    change.base = m_lastDetailChange.version;
    change.version = change.base + 1;
    m_lastDetailChange = change;
    static const QList<RundownItem> none;
    const QList<RundownItem> &items = m_detail ? m_detail->items : none;
    if (change.itemsOnly) {
        m_marks.update(items, change.first, change.removed, change.inserted);
    } else {
        m_marks.rebuild(items);
    }
    Q_EMIT detailChanged();
}

void FlowPageState::setIsLoading(bool loading)
{
    assignAndNotify(m_isLoading, loading, this, &FlowPageState::isLoadingChanged);
}

void FlowPageState::setError(const QString &error)
{
    m_commandErrorAfterLoad = error.isEmpty() ? std::nullopt : std::optional<quint64>(m_startedLoads);
    assignAndNotify(m_error, error, this, &FlowPageState::errorChanged);
}

void FlowPageState::clearCommandError()
{
    if (m_commandErrorAfterLoad) {
        setError(QString());
    }
}

void FlowPageState::setLoadError(const QString &error, quint64 number, bool silent)
{
    if (m_commandErrorAfterLoad && (silent || number <= *m_commandErrorAfterLoad)) {
        return;
    }
    m_commandErrorAfterLoad.reset();
    assignAndNotify(m_error, error, this, &FlowPageState::errorChanged);
}

void FlowPageState::setQuery(const QString &query)
{
    assignAndNotify(m_query, query, this, &FlowPageState::queryChanged);
}

void FlowPageState::setAudioLinked(bool linked)
{
    assignAndNotify(m_audioLinked, linked, this, &FlowPageState::audioLinkedChanged);
}

void FlowPageState::setVideoLinked(bool linked)
{
    assignAndNotify(m_videoLinked, linked, this, &FlowPageState::videoLinkedChanged);
}

void FlowPageState::setBusyItemID(std::optional<QString> id)
{
    assignAndNotify(m_busyItemID, std::move(id), this, &FlowPageState::busyItemIDChanged);
}

void FlowPageState::setFreezeConfirmation(bool shown)
{
    assignAndNotify(m_freezeConfirmation, shown, this, &FlowPageState::freezeConfirmationChanged);
}

void FlowPageState::setReadinessFilter(const QString &filter)
{
    assignAndNotify(m_readinessFilter, filter, this, &FlowPageState::readinessFilterChanged);
}

void FlowPageState::setPeopleEditor(std::optional<MacPeopleEditorContext> context)
{
    replace(m_peopleEditor, std::move(context), this, &FlowPageState::peopleEditorChanged);
}

void FlowPageState::setAssetItem(std::optional<RundownItem> item)
{
    replace(m_assetItem, std::move(item), this, &FlowPageState::assetItemChanged);
}

void FlowPageState::setProgramItem(std::optional<RundownItem> item)
{
    replace(m_programItem, std::move(item), this, &FlowPageState::programItemChanged);
}

void FlowPageState::setLotteryContext(std::optional<MacLotteryContext> context)
{
    replace(m_lotteryContext, std::move(context), this, &FlowPageState::lotteryContextChanged);
}

void FlowPageState::setLotteryScreenMode(const QString &mode)
{
    assignAndNotify(m_lotteryScreenMode, mode, this, &FlowPageState::lotteryScreenModeChanged);
}

void FlowPageState::setShowingExcelImporter(bool shown)
{
    assignAndNotify(m_showingExcelImporter, shown, this, &FlowPageState::showingExcelImporterChanged);
}

void FlowPageState::setImportPreview(std::optional<RundownImportPreview> preview)
{
    replace(m_importPreview, std::move(preview), this, &FlowPageState::importPreviewChanged);
}

void FlowPageState::setImportConfirmation(bool shown)
{
    assignAndNotify(m_importConfirmation, shown, this, &FlowPageState::importConfirmationChanged);
}

// --- Loading and polling ----------------------------------------------------------------------

void FlowPageState::start()
{
    if (m_polling) {
        return;
    }
    m_polling = true;
    AsyncAction::run(
        this, reload(false), [this] { schedulePoll(); }, [](const QString &) {});
}

void FlowPageState::stop()
{
    m_polling = false;
    m_pollTimer->stop();
}

void FlowPageState::schedulePoll()
{
    // Measured from the end of one reload to the start of the next, so polls never overlap.
    if (m_polling) {
        m_pollTimer->start(pollIntervalMs);
    }
}

void FlowPageState::poll()
{
    if (!m_polling) {
        return;
    }
    AsyncAction::run(
        this, reload(true), [this] { schedulePoll(); }, [](const QString &) {});
}

void FlowPageState::retireEarlierReloads()
{
    m_appliedLoad = std::max(m_appliedLoad, m_startedLoads);
}

QCoro::Task<> FlowPageState::reload(bool silent)
{
    QPointer<FlowPageState> self(this);
    const quint64 number = ++m_startedLoads;
    if (!silent) {
        m_loadingLoad = number;
        setIsLoading(true);
    }
    Q_EMIT reloadStarted(silent);

    auto settling = settleRequest(m_client.project(m_project.id, m_reader));
    RequestOutcome<ProjectDetailReader::Reading> outcome = co_await settling;
    if (!self) {
        co_return;
    }

    // An answer older than what is shown (or than an accepted change) is dropped unseen.
    const bool current = number > m_appliedLoad;
    const bool applied = current && outcome.value;
    if (applied) {
        m_appliedLoad = number;
        accept(std::move(*outcome.value));
        setLoadError(QString(), number, silent);
        if (m_afterReload) {
            auto hook = m_afterReload(liveItem());
            co_await hook;
            if (!self) {
                co_return;
            }
        }
    } else if (current) {
        setLoadError(outcome.failure, number, silent);
    }
    if (number >= m_loadingLoad || m_appliedLoad >= m_loadingLoad) {
        setIsLoading(false);
    }
    Q_EMIT reloadFinished(applied);
}

QCoro::Task<bool> FlowPageState::updateItem(QString itemID, RundownItemPatch patch)
{
    QPointer<FlowPageState> self(this);
    auto settling = settleRequest(m_client.updateItem(m_project.id, itemID, std::move(patch)));
    const RequestOutcome<void> outcome = co_await settling;
    if (!self) {
        co_return outcome.value.has_value();
    }
    if (!outcome.value) {
        setError(outcome.failure);
        co_return false;
    }
    retireEarlierReloads();
    auto reloading = reload(true);
    co_await reloading;
    if (self) {
        self->setError(QString());
    }
    co_return true;
}

QCoro::Task<> FlowPageState::moveItem(RundownItem item, int offset)
{
    if (m_busyItemID || !m_detail || m_detail->items.isEmpty()) {
        co_return;
    }
    const QList<RundownItem> &items = m_detail->items;
    qsizetype i = -1;
    for (qsizetype k = 0; k < items.size(); ++k) {
        if (items.at(k).id == item.id) {
            i = k;
            break;
        }
    }
    const qsizetype j = i + offset;
    if (i < 0 || j < 0 || j >= items.size()) {
        co_return;
    }
    QStringList ids;
    ids.reserve(items.size());
    for (const RundownItem &each : items) {
        ids.append(each.id);
    }
    ids.swapItemsAt(i, j);

    QPointer<FlowPageState> self(this);
    setBusyItemID(item.id);
    auto settling = settleRequest(m_client.reorderItems(m_project.id, ids));
    const RequestOutcome<void> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (!outcome.value) {
        setError(outcome.failure);
        setBusyItemID(std::nullopt);
        co_return;
    }
    retireEarlierReloads();
    auto reloading = reload(true);
    co_await reloading;
    if (self) {
        self->setError(QString());
        self->setBusyItemID(std::nullopt);
    }
}

QCoro::Task<> FlowPageState::liveAction(QString action, RundownItem item)
{
    if (m_liveActionHandler) {
        auto handled = m_liveActionHandler(std::move(action), std::move(item));
        co_await handled;
    }
}

void FlowPageState::openTasks()
{
    if (m_onOpenTasks) {
        m_onOpenTasks();
    }
}
