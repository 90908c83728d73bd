#include "MacOperationsView.h"

#include "MacOperationsEditor.h"
#include "OperationsRules.h"
#include "common/LayoutSwap.h"
#include "common/MacInfoCard.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"
#include "people/MacMakeupBoard.h"
#include "stores/MacProjectDataStore.h"
#include "workitems/MacOperationsRiskBoard.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QString prominentStyle(Theme::Colour tint)
{
    return Theme::filledButtonStyle(tint, 6, 5, 14);
}

QWidget *symbolLabel(const QString &symbol, Theme::TextStyle style, const QColor &tint, QWidget *parent)
{
    auto *label = new QLabel(parent);
    const int size = Theme::pixelSize(style) + 2;
    label->setPixmap(Theme::symbolPixmap(symbol, size, tint));
    return label;
}

// The notice keeps its line breaks and runs of spaces, with 5 extra pixels between lines.
QString noticeHtml(const QString &text)
{
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    return QStringLiteral("<div style=\"white-space: pre-wrap; line-height: 5px;"
                          " -qt-line-height-type: line-distance;\">%1</div>")
        .arg(escaped);
}

QWidget *makeupRow(const OperationsRules::MakeupSummaryRow &summary, QWidget *parent)
{
    auto *row = new TintedPanel(Theme::colour(Theme::Colour::pink, 0.06), 12, parent);
    row->setObjectName(QStringLiteral("makeupSummaryRow"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    auto *artist = new QHBoxLayout;
    artist->setSpacing(5);
    artist->addWidget(symbolLabel(QStringLiteral("paintbrush.fill"), Theme::TextStyle::headline,
                                  Theme::colour(Theme::Colour::primary), row));
    auto *name = Theme::label(summary.artistName, Theme::TextStyle::headline, Theme::Colour::primary, row);
    name->setObjectName(QStringLiteral("makeupSummaryArtist"));
    artist->addWidget(name);
    layout->addLayout(artist);

    auto *span = Theme::label(summary.timeSpan, Theme::TextStyle::body, Theme::Colour::primary, row);
    span->setObjectName(QStringLiteral("makeupSummaryTime"));
    // Digits of equal width, so the spans of several rows line up.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPixelSize(Theme::pixelSize(Theme::TextStyle::body));
    span->setFont(digits);
    layout->addWidget(span);

    auto *place = Theme::label(summary.place, Theme::TextStyle::body, Theme::Colour::secondary, row);
    place->setObjectName(QStringLiteral("makeupSummaryPlace"));
    layout->addWidget(place);
    layout->addStretch(1);
    auto *count = Theme::label(QStringLiteral("负责 %1 人").arg(summary.count), Theme::TextStyle::caption,
                               Theme::Colour::secondary, row);
    count->setObjectName(QStringLiteral("makeupSummaryCount"));
    layout->addWidget(count);
    return row;
}

} // namespace

MacOperationsView::MacOperationsView(MacProjectDataStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("operationsView"));
    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("operationsScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The arrangements are rebuilt on every change; the makeup board below them stays.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("operationsContent"));
    m_contentLayout = new QVBoxLayout(content);
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    m_contentLayout->setSpacing(0);
    m_contentLayout->addStretch(1);
    m_scroll->setWidget(content);

    m_states = new PageStateStack(QStringLiteral("正在读取现场安排…"), QStringLiteral("现场安排读取失败"),
                                  QStringLiteral("clock.badge.exclamationmark"), m_scroll, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_states);

    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacOperationsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::workItemsChanged, this, &MacOperationsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::isLoadingChanged, this, &MacOperationsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::errorChanged, this, &MacOperationsView::scheduleRefresh);
    refresh();
}

MacOperationsView::~MacOperationsView() = default;

MacOperationsEditor *MacOperationsView::editor() const
{
    return m_editor.data();
}

// A load changes several values in a row; the page is rebuilt once for all of them.
void MacOperationsView::scheduleRefresh()
{
    m_refreshLater.schedule();
}

void MacOperationsView::refresh()
{
    const bool hasDetail = m_store.detail().has_value();
    if (hasDetail) {
        const int scrolled = m_scroll->verticalScrollBar()->value();
        // Replaces (and deletes) the previous build. Refreshes run deferred, never inside a
        // handler of the content they replace.
        showArrangements(buildArrangements());
        m_scroll->verticalScrollBar()->setValue(scrolled);
    }
    m_states->showState(m_store.isLoading(), hasDetail, m_store.error());
    m_states->setBannerMessage(m_store.error());
}

QWidget *MacOperationsView::buildArrangements()
{
    const ProjectDetailResponse &detail = *m_store.detail();
    const ProjectOperations &operations = detail.operations;
    const bool canManage = OperationsRules::canManage(m_store.detail());
    const bool confirmed = OperationsRules::confirmed(m_store.detail());

    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("arrangements"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(18);

    // 1. Header.
    auto *header = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(Theme::label(QStringLiteral("现场安排"), Theme::TextStyle::title, QFont::Bold,
                                   Theme::Colour::primary, page));
    titles->addWidget(Theme::label(QStringLiteral("全体成员共享同一份公告、集合、联排、用餐与化妆安排。 "),
                                   Theme::TextStyle::body, Theme::Colour::secondary, page));
    header->addLayout(titles, 1);
    if (canManage) {
        auto *edit = new QPushButton(QStringLiteral("编辑并发布"), page);
        edit->setObjectName(QStringLiteral("editOperationsButton"));
        edit->setStyleSheet(prominentStyle(Theme::Colour::accent));
        connect(edit, &QPushButton::clicked, this, &MacOperationsView::openEditor);
        header->addWidget(edit, 0, Qt::AlignTop);
    }
    column->addLayout(header);

    // 2. The four arrangement cards.
    struct Card
    {
        const char *objectName;
        QString title;
        QString icon;
        Theme::Colour accent;
        const QString &value;
    };
    const Card cards[] = {
        {"assemblyCard", QStringLiteral("集合时间"), QStringLiteral("person.3.fill"), Theme::Colour::blue,
         operations.assemblyTime},
        {"checkinCard", QStringLiteral("签到地点"), QStringLiteral("mappin.and.ellipse"),
         Theme::Colour::green, operations.checkinLocation},
        {"rehearsalCard", QStringLiteral("联排时间"), QStringLiteral("music.mic"), Theme::Colour::purple,
         operations.rehearsalTime},
        {"dinnerCard", QStringLiteral("用餐安排"), QStringLiteral("fork.knife"), Theme::Colour::orange,
         operations.dinnerNote},
    };
    auto *cardRow = new QHBoxLayout;
    cardRow->setSpacing(14);
    for (const Card &card : cards) {
        auto *info = new MacInfoCard(card.title, card.icon, Theme::colour(card.accent),
                                     {OperationsRules::cardLine(card.value)}, page);
        info->setObjectName(QLatin1String(card.objectName));
        cardRow->addWidget(info, 1);
    }
    column->addLayout(cardRow);

    // 3. Directors only.
    if (canManage) {
        column->addWidget(new MacOperationsRiskBoard(m_store.workItems(), page));
    }

    // 4. The notice.
    auto *notice = new QGroupBox(page);
    notice->setObjectName(QStringLiteral("noticeBox"));
    auto *noticeColumn = new QVBoxLayout(notice);
    noticeColumn->setContentsMargins(10, 10, 10, 10);
    noticeColumn->setSpacing(12);
    auto *noticeHeader = new QHBoxLayout;
    auto *heading = Theme::label(OperationsRules::noticeHeading(operations), Theme::TextStyle::title2,
                                 Theme::Colour::primary, notice);
    heading->setObjectName(QStringLiteral("noticeHeading"));
    heading->setFont(Theme::font(Theme::TextStyle::title2, QFont::Bold));
    noticeHeader->addWidget(heading, 1);
    auto *count = Theme::label(OperationsRules::confirmationCount(detail), Theme::TextStyle::caption,
                               Theme::Colour::secondary, notice);
    count->setObjectName(QStringLiteral("confirmationCount"));
    noticeHeader->addWidget(count, 0, Qt::AlignVCenter);
    noticeColumn->addLayout(noticeHeader);

    auto *text = Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::primary, notice);
    text->setObjectName(QStringLiteral("noticeText"));
    text->setTextFormat(Qt::RichText);
    text->setText(noticeHtml(OperationsRules::noticeText(operations)));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    noticeColumn->addWidget(text);

    switch (OperationsRules::confirmationControl(operations, confirmed)) {
    case OperationsRules::ConfirmationControl::none:
        break;
    case OperationsRules::ConfirmationControl::confirmButton: {
        auto *confirm = new QPushButton(QStringLiteral("我已收到并确认"), notice);
        confirm->setObjectName(QStringLiteral("confirmNoticeButton"));
        confirm->setStyleSheet(prominentStyle(Theme::Colour::accent));
        // No busy state: the button stays until a reload shows the confirmation.
        connect(confirm, &QPushButton::clicked, &m_store, [store = &m_store] { store->confirmNotice(); });
        noticeColumn->addWidget(confirm, 0, Qt::AlignLeft);
        break;
    }
    case OperationsRules::ConfirmationControl::confirmedLabel: {
        auto *label = new QWidget(notice);
        label->setObjectName(QStringLiteral("noticeConfirmedLabel"));
        auto *row = new QHBoxLayout(label);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(5);
        const QColor green = Theme::colour(Theme::Colour::green);
        row->addWidget(
            symbolLabel(QStringLiteral("checkmark.circle.fill"), Theme::TextStyle::body, green, label));
        row->addWidget(
            Theme::label(QStringLiteral("已确认收到"), Theme::TextStyle::body, Theme::Colour::green, label));
        row->addStretch(1);
        noticeColumn->addWidget(label);
        break;
    }
    }
    column->addWidget(notice);

    // 5. The makeup summary.
    if (OperationsRules::showsMakeupSummary(detail)) {
        auto *summary = new QVBoxLayout;
        summary->setSpacing(12);
        auto *summaryHeading = Theme::label(QStringLiteral("化妆安排"), Theme::TextStyle::title2, QFont::Bold,
                                            Theme::Colour::primary, page);
        summaryHeading->setObjectName(QStringLiteral("makeupSummaryHeading"));
        summary->addWidget(summaryHeading);
        for (const OperationsRules::MakeupSummaryRow &row : OperationsRules::makeupSummary(detail)) {
            summary->addWidget(makeupRow(row, page));
        }
        column->addLayout(summary);
    }

    column->addStretch(1);
    return page;
}

void MacOperationsView::showArrangements(QWidget *arrangements)
{
    swapLayoutWidget(m_contentLayout, m_arrangements, arrangements, 0);

    // 6. The makeup board, always last, reconciled in place.
    const ProjectDetailResponse &detail = *m_store.detail();
    const bool canManage = OperationsRules::canManage(m_store.detail());
    if (m_makeupBoard) {
        m_makeupBoard->setSnapshot(detail, canManage);
        return;
    }
    auto *holder = new QWidget;
    auto *holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(22, 0, 22, 22);
    m_makeupBoard = new MacMakeupBoard(m_store, detail, canManage, holder);
    holderLayout->addWidget(m_makeupBoard);
    m_contentLayout->insertWidget(1, holder);
}

void MacOperationsView::openEditor()
{
    if (m_editor || !m_store.detail()) {
        return;
    }
    m_editing = true;
    m_editor = new MacOperationsEditor(m_store, m_store.detail()->operations, this);
    m_editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_editor, &QDialog::finished, this, [this] { m_editing = false; });
    m_editor->open();
}
