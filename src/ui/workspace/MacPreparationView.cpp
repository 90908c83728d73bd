#include "MacPreparationView.h"

#include "RequestOutcome.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"
#include "common/AssetReadyBadge.h"
#include "common/MacMetricCard.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"

#include "rules/TextRules.h"
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QWidget *itemRow(const RundownItem &item)
{
    auto *container = new QWidget;
    container->setObjectName(QStringLiteral("preparationItem_") + item.id);
    auto *outer = new QVBoxLayout(container);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(10);
    auto *order = Theme::label(QString::number(item.order), Theme::TextStyle::headline);
    order->setFixedWidth(42);
    row->addWidget(order);

    auto *column = new QVBoxLayout;
    column->setSpacing(3);
    auto *title = Theme::label(TextRules::programTitle(item.title), Theme::TextStyle::headline);
    title->setTextFormat(Qt::PlainText);
    title->setObjectName(QStringLiteral("preparationItemTitle"));
    column->addWidget(title);
    auto *type = Theme::label(item.type.isEmpty() ? QStringLiteral("未分类") : item.type,
                              Theme::TextStyle::caption, Theme::Colour::secondary);
    type->setTextFormat(Qt::PlainText);
    type->setObjectName(QStringLiteral("preparationItemType"));
    column->addWidget(type);
    row->addLayout(column);
    row->addStretch(1);

    auto *audio = new AssetReadyBadge(item.audioName, QStringLiteral("music.note"), item.hasAudio());
    audio->setObjectName(QStringLiteral("audioBadge"));
    row->addWidget(audio);
    auto *video = new AssetReadyBadge(item.videoName, QStringLiteral("play.rectangle"), item.hasVideo());
    video->setObjectName(QStringLiteral("videoBadge"));
    row->addWidget(video);
    outer->addLayout(row);

    auto *dividerRow = new QHBoxLayout;
    dividerRow->setContentsMargins(62, 0, 0, 0);
    dividerRow->addWidget(Theme::divider());
    outer->addLayout(dividerRow);
    return container;
}

} // namespace

MacPreparationView::MacPreparationView(MacProjectDataStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("preparationView"));

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *metrics = new QHBoxLayout;
    metrics->setContentsMargins(18, 18, 18, 18);
    metrics->setSpacing(12);
    m_itemsCard = new MacMetricCard(QStringLiteral("节目"), QStringLiteral("0"), QStringLiteral("当前流程"));
    m_audioCard =
        new MacMetricCard(QStringLiteral("音频素材"), QStringLiteral("0"), QStringLiteral("可提前准备"));
    m_videoCard =
        new MacMetricCard(QStringLiteral("视频素材"), QStringLiteral("0"), QStringLiteral("可提前准备"));
    m_runCard = new MacMetricCard(QStringLiteral("本次准备"), QStringLiteral("待开始"),
                                  QStringLiteral("下载到本机缓存"));
    m_itemsCard->setObjectName(QStringLiteral("preparationItemsCard"));
    m_audioCard->setObjectName(QStringLiteral("preparationAudioCard"));
    m_videoCard->setObjectName(QStringLiteral("preparationVideoCard"));
    m_runCard->setObjectName(QStringLiteral("preparationRunCard"));
    for (MacMetricCard *card : {m_itemsCard, m_audioCard, m_videoCard, m_runCard}) {
        metrics->addWidget(card);
    }
    layout->addLayout(metrics);

    auto *actions = new QHBoxLayout;
    actions->setContentsMargins(20, 0, 20, 14);
    actions->setSpacing(8);
    auto *heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(Theme::label(QStringLiteral("播放控制"), Theme::TextStyle::title2, QFont::Bold));
    auto *note =
        Theme::label(QStringLiteral("素材准备和设备检查使用节目流程中的同一播放模块；音响师仅处理音频，"
                                    "视频师仅处理视频。 "),
                     Theme::TextStyle::body, Theme::Colour::secondary);
    note->setWordWrap(true);
    heading->addWidget(note);
    actions->addLayout(heading, 1);
    m_audioButton = new QPushButton(QStringLiteral("准备音频"));
    m_audioButton->setObjectName(QStringLiteral("prepareAudioButton"));
    m_videoButton = new QPushButton(QStringLiteral("准备视频"));
    m_videoButton->setObjectName(QStringLiteral("prepareVideoButton"));
    m_allButton = new QPushButton(QStringLiteral("全部准备"));
    m_allButton->setObjectName(QStringLiteral("prepareAllButton"));
    m_allButton->setStyleSheet(Theme::filledButtonStyle(Theme::Colour::accent, 6, 5, 14));
    for (QPushButton *button : {m_audioButton, m_videoButton, m_allButton}) {
        actions->addWidget(button, 0, Qt::AlignVCenter);
    }
    connect(m_audioButton, &QPushButton::clicked, this, [this] {
        if (m_store.detail()) {
            prepare(PreparationRules::audioItems(m_store.detail()->items), PreparationRules::audio);
        }
    });
    connect(m_videoButton, &QPushButton::clicked, this, [this] {
        if (m_store.detail()) {
            prepare(PreparationRules::videoItems(m_store.detail()->items), PreparationRules::video);
        }
    });
    connect(m_allButton, &QPushButton::clicked, this, [this] { prepareAll(); });
    layout->addLayout(actions);

    m_progressRow = new QWidget;
    auto *progressLayout = new QHBoxLayout(m_progressRow);
    progressLayout->setContentsMargins(20, 0, 20, 10);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("preparationProgress"));
    m_progress->setTextVisible(false);
    progressLayout->addWidget(m_progress);
    layout->addWidget(m_progressRow);

    layout->addWidget(Theme::divider());

    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("preparationScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    layout->addWidget(m_scroll, 1);

    m_states = new PageStateStack(QStringLiteral("正在检查素材…"), QStringLiteral("素材检查失败"),
                                  QStringLiteral("externaldrive.badge.exclamationmark"), content, this);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_states);

    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacPreparationView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::isLoadingChanged, this, &MacPreparationView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::errorChanged, this, &MacPreparationView::scheduleRefresh);
    refresh();
}

MacPreparationView::~MacPreparationView() = default;

void MacPreparationView::scheduleRefresh()
{
    m_refreshLater.schedule();
}

void MacPreparationView::refresh()
{
    const auto &detail = m_store.detail();
    m_states->showState(m_store.isLoading(), detail.has_value(), m_store.error());
    rebuildItems();
    updateRunState();
}

void MacPreparationView::rebuildItems()
{
    const QList<RundownItem> items = m_store.detail() ? m_store.detail()->items : QList<RundownItem>();
    m_itemsCard->setValue(QString::number(items.size()));
    m_audioCard->setValue(QString::number(PreparationRules::audioItems(items).size()));
    m_videoCard->setValue(QString::number(PreparationRules::videoItems(items).size()));

    auto *list = new QWidget;
    list->setObjectName(QStringLiteral("preparationItems"));
    auto *column = new QVBoxLayout(list);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (const RundownItem &item : items) {
        column->addWidget(itemRow(item));
    }
    column->addStretch(1);
    const int scrolled = m_scroll->verticalScrollBar()->value();
    m_scroll->setWidget(list);
    m_scroll->verticalScrollBar()->setValue(scrolled);
}

void MacPreparationView::updateRunState()
{
    const QList<RundownItem> items = m_store.detail() ? m_store.detail()->items : QList<RundownItem>();
    const PreparationRules::ButtonStates buttons = PreparationRules::buttonStates(
        m_store.role(), m_preparing, PreparationRules::audioItems(items).size(),
        PreparationRules::videoItems(items).size());
    m_audioButton->setEnabled(buttons.audio);
    m_videoButton->setEnabled(buttons.video);
    m_allButton->setEnabled(buttons.all);

    m_runCard->setValue(PreparationRules::runValue(m_preparing, m_completed, m_total));
    m_progressRow->setVisible(m_preparing);
    m_progress->setRange(0, qMax(1, m_total));
    m_progress->setValue(m_completed);
    // A download failure of this run speaks louder than the store's own error.
    m_states->setBannerMessage(m_preparationError.isEmpty() ? m_store.error() : m_preparationError);
}

QCoro::Task<> MacPreparationView::prepare(QList<RundownItem> items, QString category)
{
    // Built before the await: g++ 12 mishandles temporaries inside a co_await expression.
    auto running = run(PreparationRules::jobs(items, category));
    co_await running;
}

QCoro::Task<> MacPreparationView::prepareAll()
{
    QList<RundownItem> items;
    if (m_store.detail()) {
        items = m_store.detail()->items;
    }
    auto running = run(PreparationRules::allJobs(items));
    co_await running;
}

QCoro::Task<> MacPreparationView::run(QList<PreparationRules::Job> jobs)
{
    QPointer<MacPreparationView> self(this);
    m_preparing = true;
    m_preparationError.clear();
    m_total = int(jobs.size());
    m_completed = 0;
    updateRunState();

    // The client outlives every page; the project is fixed when the run starts.
    APIClient &client = m_store.client();
    const QString projectID = m_store.project().id;
    for (const PreparationRules::Job &job : jobs) {
        const QString assetID =
            (job.category == QStringLiteral("audio") ? job.item.audioAssetId : job.item.videoAssetId)
                .value_or(QString());
        auto download =
            settleRequest(client.downloadAsset(projectID, job.item.id, job.category, assetID,
                                               PreparationRules::fileName(job.item, job.category)));
        const auto outcome = co_await download;
        if (outcome.value) {
            // Live playback reuses the file instead of downloading it again.
            PreparedAssetCache::shared().remember(projectID, job.item.id, job.category, assetID,
                                                  *outcome.value);
        }
        // The page was left: the run ends here and nothing is written into it.
        if (!self) {
            co_return;
        }
        if (outcome.value) {
            ++m_completed;
        } else if (m_preparationError.isEmpty()) {
            m_preparationError = PreparationRules::failureMessage(job.item, outcome.failure);
        }
        updateRunState();
    }

    m_preparing = false;
    updateRunState();
    Q_EMIT preparationFinished();
}
