#include "MacAssetManagerSheet.h"

#include "MediaDurationProbe.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"
#include "common/AsyncAction.h"
#include "common/Theme.h"

#include "rules/TextRules.h"
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

const QString audio = QStringLiteral("audio");
const QString video = QStringLiteral("video");

} // namespace

MacAssetManagerSheet::MacAssetManagerSheet(APIClient &client, QString projectID, RundownItem item,
                                           bool canUpload, UploadedHandler onUploaded, QWidget *parent)
    : QDialog(parent)
    , m_client(client)
    , m_projectID(std::move(projectID))
    , m_item(std::move(item))
    , m_canUpload(canUpload)
    , m_onUploaded(std::move(onUploaded))
{
    setObjectName(QStringLiteral("assetManagerSheet"));
    setWindowTitle(QStringLiteral("节目素材"));
    setWindowModality(Qt::WindowModal);
    m_audio.category = audio;
    m_video.category = video;

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    // The width is fixed; the height follows the content (an error line comes and goes).
    layout->setSizeConstraint(QLayout::SetFixedSize);
    constexpr int contentWidth = 560 - 2 * 24;

    auto *header = new QHBoxLayout;
    auto *headings = new QVBoxLayout;
    headings->setSpacing(4);
    headings->addWidget(Theme::label(QStringLiteral("节目素材"), Theme::TextStyle::title, QFont::Bold,
                                     Theme::Colour::primary, this));
    auto *subtitle = Theme::label(TextRules::programTitle(m_item.title), Theme::TextStyle::body,
                                  Theme::Colour::secondary, this);
    subtitle->setObjectName(QStringLiteral("assetItemTitle"));
    subtitle->setTextFormat(Qt::PlainText);
    subtitle->setWordWrap(true);
    headings->addWidget(subtitle);
    header->addLayout(headings, 1);
    auto *done = new QPushButton(QStringLiteral("完成"), this);
    done->setObjectName(QStringLiteral("assetDoneButton"));
    done->setAutoDefault(false);
    header->addWidget(done, 0, Qt::AlignTop);
    layout->addLayout(header);

    for (QWidget *row : {buildRow(m_audio, QStringLiteral("音频伴奏"), QStringLiteral("music.note")),
                         buildRow(m_video, QStringLiteral("视频画面"), QStringLiteral("play.rectangle"))}) {
        row->setFixedWidth(contentWidth);
        layout->addWidget(row);
    }

    m_errorLabel = Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::red, this);
    m_errorLabel->setObjectName(QStringLiteral("assetError"));
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setTextFormat(Qt::PlainText);
    m_errorLabel->setFixedWidth(contentWidth);
    layout->addWidget(m_errorLabel);

    auto *note = Theme::label(
        QStringLiteral("素材准备到当前电脑后，开演联动继续复用同一份本机文件；本窗口不会创建重复播放器。 "),
        Theme::TextStyle::caption, Theme::Colour::secondary, this);
    note->setWordWrap(true);
    note->setFixedWidth(contentWidth);
    layout->addWidget(note);

    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    updateControls();
}

MacAssetManagerSheet::~MacAssetManagerSheet() = default;

QWidget *MacAssetManagerSheet::buildRow(Row &row, const QString &title, const QString &symbol)
{
    auto *panel = new QFrame(this);
    panel->setObjectName(row.category + QStringLiteral("AssetRow"));
    panel->setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border-radius: 13px; }")
                             .arg(panel->objectName(), Theme::css(Theme::Colour::secondary, 0.05)));
    auto *outer = new QVBoxLayout(panel);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->setSpacing(8);
    auto *line = new QHBoxLayout;
    line->setSpacing(14);

    const bool has = hasAsset(row.category);
    const Theme::Colour tint = has ? Theme::Colour::indigo : Theme::Colour::secondary;
    row.tile = new QLabel(panel);
    row.tile->setFixedSize(44, 44);
    row.tile->setAlignment(Qt::AlignCenter);
    row.tile->setPixmap(Theme::symbolPixmap(symbol, 22, Theme::colour(tint)));
    row.tile->setStyleSheet(
        QStringLiteral("QLabel { background: %1; border-radius: 11px; }").arg(Theme::css(tint, 0.09)));
    line->addWidget(row.tile);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(Theme::label(title, Theme::TextStyle::headline, Theme::Colour::primary, panel));
    const QString name = fileName(row.category);
    row.status = Theme::label(!has             ? QStringLiteral("尚未上传")
                              : name.isEmpty() ? QStringLiteral("已上传素材")
                                               : name,
                              Theme::TextStyle::caption, Theme::Colour::secondary, panel);
    row.status->setObjectName(row.category + QStringLiteral("AssetStatus"));
    row.status->setTextFormat(Qt::PlainText);
    row.status->setWordWrap(true);
    texts->addWidget(row.status);
    line->addLayout(texts, 1);

    row.upload = new QPushButton(panel);
    row.upload->setObjectName(row.category + QStringLiteral("UploadButton"));
    row.upload->setAutoDefault(false);
    line->addWidget(row.upload);

    row.prepare = new QPushButton(panel);
    row.prepare->setObjectName(row.category + QStringLiteral("PrepareButton"));
    row.prepare->setAutoDefault(false);
    line->addWidget(row.prepare);
    row.preparedMark = new QWidget(panel);
    row.preparedMark->setObjectName(row.category + QStringLiteral("PreparedMark"));
    auto *markLayout = new QHBoxLayout(row.preparedMark);
    markLayout->setContentsMargins(0, 0, 0, 0);
    markLayout->setSpacing(4);
    auto *markIcon = new QLabel(row.preparedMark);
    markIcon->setPixmap(Theme::symbolPixmap(QStringLiteral("checkmark.circle.fill"), 16,
                                            Theme::colour(Theme::Colour::green)));
    markLayout->addWidget(markIcon);
    markLayout->addWidget(Theme::label(QStringLiteral("本机已准备"), Theme::TextStyle::callout,
                                       Theme::Colour::green, row.preparedMark));
    line->addWidget(row.preparedMark);
    outer->addLayout(line);

    // Transfers report no byte counts, so the bar only shows that one is under way.
    row.progress = new QProgressBar(panel);
    row.progress->setObjectName(row.category + QStringLiteral("TransferProgress"));
    row.progress->setRange(0, 0);
    row.progress->setTextVisible(false);
    row.progress->setFixedHeight(6);
    outer->addWidget(row.progress);

    const QString category = row.category;
    connect(row.upload, &QPushButton::clicked, this, [this, category] { openPicker(category); });
    connect(row.prepare, &QPushButton::clicked, this, [this, category] { prepare(category); });
    return panel;
}

bool MacAssetManagerSheet::hasAsset(const QString &category) const
{
    return category == audio ? m_item.hasAudio() : m_item.hasVideo();
}

QString MacAssetManagerSheet::fileName(const QString &category) const
{
    return category == audio ? m_item.audioName : m_item.videoName;
}

void MacAssetManagerSheet::updateControls()
{
    for (Row *row : {&m_audio, &m_video}) {
        const bool has = hasAsset(row->category);
        row->upload->setText(m_uploading == row->category ? QStringLiteral("正在上传…")
                             : has                        ? QStringLiteral("替换")
                                                          : QStringLiteral("上传"));
        row->upload->setEnabled(m_canUpload && m_uploading.isEmpty());
        row->upload->setToolTip(m_canUpload
                                    ? QStringLiteral("选择本机素材上传")
                                    : QStringLiteral("只有总导演、副导演、节目负责人或该节目表演者可上传"));
        const bool prepared = m_prepared.contains(row->category);
        row->prepare->setVisible(!prepared);
        row->preparedMark->setVisible(prepared);
        row->prepare->setText(m_preparing == row->category ? QStringLiteral("正在准备…")
                                                           : QStringLiteral("准备到本机"));
        row->prepare->setEnabled(has && m_preparing.isEmpty());
        row->progress->setVisible(m_uploading == row->category || m_preparing == row->category);
    }
    m_errorLabel->setText(m_error);
    m_errorLabel->setVisible(!m_error.isEmpty());
}

void MacAssetManagerSheet::setCanUpload(bool canUpload)
{
    m_canUpload = canUpload;
    updateControls();
}

void MacAssetManagerSheet::openPicker(const QString &category)
{
    if (!m_canUpload || !m_uploading.isEmpty()) {
        return;
    }
    auto *picker = new QFileDialog(this, category == audio ? QStringLiteral("选择音频伴奏")
                                                           : QStringLiteral("选择视频画面"));
    picker->setObjectName(category + QStringLiteral("FilePicker"));
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setFileMode(QFileDialog::ExistingFile);
    picker->setAcceptMode(QFileDialog::AcceptOpen);
    picker->setNameFilters(
        {category == audio
             ? QStringLiteral("音频文件 (*.mp3 *.m4a *.aac *.wav *.aif *.aiff *.flac *.ogg *.opus)")
             : QStringLiteral("视频文件 (*.mp4 *.m4v *.mov *.avi *.mkv *.webm *.mpg *.mpeg)")});
    const QString library = QStandardPaths::writableLocation(
        category == audio ? QStandardPaths::MusicLocation : QStandardPaths::MoviesLocation);
    picker->setDirectory(QDir(library).exists() ? library : QDir::homePath());
    (category == audio ? m_audioImporter : m_videoImporter) = true;
    connect(picker, &QFileDialog::fileSelected, this,
            [this, category](const QString &path) { handleImport(path, category); });
    connect(picker, &QDialog::finished, this,
            [this, category] { (category == audio ? m_audioImporter : m_videoImporter) = false; });
    picker->open();
}

void MacAssetManagerSheet::handleImport(const QString &path, const QString &category)
{
    // A file picked after the right was lost (the picker stayed open) is not sent.
    if (path.isEmpty() || !m_canUpload || !m_uploading.isEmpty()) {
        return;
    }
    m_uploading = category;
    updateControls();
    runUpload(QPointer<MacAssetManagerSheet>(this), &m_client, m_projectID, m_item.id, category, path,
              m_onUploaded);
}

QCoro::Task<> MacAssetManagerSheet::runUpload(QPointer<MacAssetManagerSheet> self, APIClient *client,
                                              QString projectID, QString itemID, QString category,
                                              QString path, UploadedHandler onUploaded)
{
    // Not tied to the sheet: closing it lets the upload finish and still run onUploaded.
    auto measuring = MediaDurationProbe::measure(path);
    const std::optional<qint64> ms = co_await measuring;
    const qint64 seconds =
        MediaDurationProbe::roundedSeconds(ms ? std::optional<double>(double(*ms) / 1000.0) : std::nullopt);

    std::optional<QString> failure;
    try {
        auto upload = client->uploadAsset(projectID, itemID, category, path, seconds);
        co_await upload;
    } catch (...) {
        failure = AsyncAction::describeCurrentException();
    }
    if (failure) {
        if (self) {
            self->m_error = *failure;
            self->m_uploading.clear();
            self->updateControls();
        }
        co_return;
    }
    if (self) {
        self->m_error.clear();
        self->updateControls();
    }
    if (onUploaded) {
        try {
            auto reload = onUploaded();
            co_await reload;
        } catch (...) {
        }
    }
    if (self) {
        self->accept();
        self->m_uploading.clear();
        self->updateControls();
    }
}

void MacAssetManagerSheet::prepare(const QString &category)
{
    if (!hasAsset(category) || !m_preparing.isEmpty()) {
        return;
    }
    m_preparing = category;
    updateControls();
    const std::optional<QString> &assetID = category == audio ? m_item.audioAssetId : m_item.videoAssetId;
    runPrepare(QPointer<MacAssetManagerSheet>(this), &m_client, m_projectID, m_item.id, category,
               fileName(category), assetID.value_or(QString()));
}

QCoro::Task<> MacAssetManagerSheet::runPrepare(QPointer<MacAssetManagerSheet> self, APIClient *client,
                                               QString projectID, QString itemID, QString category,
                                               QString filename, QString assetID)
{
    std::optional<QString> failure;
    try {
        auto download = client->downloadAsset(projectID, itemID, category, assetID, filename);
        const QString path = co_await download;
        // Live playback reuses this file while it exists and the asset stays the same.
        PreparedAssetCache::shared().remember(projectID, itemID, category, assetID, path);
    } catch (...) {
        failure = AsyncAction::describeCurrentException();
    }
    if (!self) {
        co_return;
    }
    if (failure) {
        self->m_error = *failure;
    } else {
        self->m_prepared.insert(category);
        self->m_error.clear();
    }
    self->m_preparing.clear();
    self->updateControls();
}
