#include "MacTodayView.h"

#include "TodayRules.h"
#include "common/MacInfoCard.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"
#include "stores/MacProjectDataStore.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QWidget *itemRow(const RundownItem &item)
{
    auto *row = new TintedPanel(Theme::colour(Theme::Colour::secondary, 0.06), 12);
    row->setObjectName(QStringLiteral("todayItem_") + item.id);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);

    auto *order = Theme::label(QString::number(item.order), Theme::TextStyle::headline);
    order->setFixedWidth(34);
    layout->addWidget(order);

    auto *column = new QVBoxLayout;
    column->setSpacing(3);
    auto *title =
        Theme::label(TodayRules::itemTitle(item), Theme::TextStyle::headline, Theme::Colour::primary);
    title->setObjectName(QStringLiteral("todayItemTitle"));
    column->addWidget(title);
    auto *subtitle =
        Theme::label(TodayRules::itemSubtitle(item), Theme::TextStyle::caption, Theme::Colour::secondary);
    subtitle->setObjectName(QStringLiteral("todayItemSubtitle"));
    column->addWidget(subtitle);
    layout->addLayout(column);
    layout->addStretch(1);

    auto *duration = Theme::label(TodayRules::durationText(item.duration), Theme::TextStyle::body);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(Theme::pixelSize(Theme::TextStyle::body));
    duration->setFont(mono);
    duration->setObjectName(QStringLiteral("todayItemDuration"));
    layout->addWidget(duration);

    const bool ready = item.status == RundownValues::ready;
    auto *status = Theme::label(item.status, Theme::TextStyle::caption,
                                ready ? Theme::Colour::green : Theme::Colour::orange);
    status->setFont(Theme::font(Theme::TextStyle::caption, QFont::Bold));
    status->setObjectName(QStringLiteral("todayItemStatus"));
    layout->addWidget(status);
    return row;
}

QWidget *noItemsView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("todayNoItems"));
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 30, 0, 30);
    layout->setSpacing(8);
    auto *symbol = new QLabel;
    symbol->setPixmap(
        Theme::symbolPixmap(QStringLiteral("music.note.list"), 36, Theme::colour(Theme::Colour::secondary)));
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(Theme::label(QStringLiteral("暂无关联节目"), Theme::TextStyle::title3, QFont::Bold), 0,
                      Qt::AlignHCenter);
    layout->addWidget(Theme::label(QStringLiteral("导演尚未把你关联到具体节目。"), Theme::TextStyle::body,
                                   Theme::Colour::secondary),
                      0, Qt::AlignHCenter);
    return view;
}

} // namespace

MacTodayView::MacTodayView(MacProjectDataStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_scroll(new QScrollArea)
{
    setObjectName(QStringLiteral("todayView"));
    m_scroll->setObjectName(QStringLiteral("todayScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_states = new PageStateStack(QStringLiteral("正在整理当天安排…"), QStringLiteral("安排读取失败"),
                                  QStringLiteral("calendar.badge.exclamationmark"), m_scroll, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_states);

    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacTodayView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::isLoadingChanged, this, &MacTodayView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::errorChanged, this, &MacTodayView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::busyMemberIDChanged, this, &MacTodayView::updateCheckInButton);
    refresh();
}

MacTodayView::~MacTodayView() = default;

void MacTodayView::scheduleRefresh()
{
    // The store may signal from inside the check-in button's own click; the page is rebuilt only
    // once control is back in the event loop.
    m_refreshLater.schedule();
}

void MacTodayView::refresh()
{
    const auto &detail = m_store.detail();
    const bool found = detail && TodayRules::me(*detail).has_value();
    // A loaded detail without me is a failure to show, not something to wait for.
    m_states->showState(m_store.isLoading() && !detail, found, m_store.error());
    m_states->setBannerMessage(m_store.error());

    const int scrolled = m_scroll->verticalScrollBar()->value();
    m_checkInButton = nullptr;
    m_scroll->setWidget(found ? buildDay() : new QWidget);
    m_scroll->verticalScrollBar()->setValue(scrolled);
}

QWidget *MacTodayView::buildDay()
{
    const ProjectDetailResponse &detail = *m_store.detail();
    const ProjectMember me = *TodayRules::me(detail);

    auto *day = new QWidget;
    day->setObjectName(QStringLiteral("todayDay"));
    auto *column = new QVBoxLayout(day);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(18);

    auto *header = new QHBoxLayout;
    auto *heading = new QVBoxLayout;
    heading->setSpacing(4);
    auto *title = Theme::label(me.name + QStringLiteral("的当天安排"), Theme::TextStyle::title, QFont::Bold);
    title->setObjectName(QStringLiteral("todayTitle"));
    heading->addWidget(title);
    auto *subtitle = Theme::label(me.role + QStringLiteral(" · ") + detail.project.name,
                                  Theme::TextStyle::body, Theme::Colour::secondary);
    subtitle->setObjectName(QStringLiteral("todaySubtitle"));
    heading->addWidget(subtitle);
    header->addLayout(heading);
    header->addStretch(1);
    m_checkInButton = new QPushButton(TodayRules::checkInLabel(me.isCheckedIn()));
    m_checkInButton->setObjectName(QStringLiteral("todayCheckInButton"));
    m_checkInButton->setStyleSheet(Theme::filledButtonStyle(Theme::Colour::green, 7, 6, 16));
    connect(m_checkInButton, &QPushButton::clicked, this, &MacTodayView::checkIn);
    header->addWidget(m_checkInButton, 0, Qt::AlignVCenter);
    column->addLayout(header);
    updateCheckInButton();

    const ProjectOperations &operations = detail.operations;
    auto *cards = new QHBoxLayout;
    cards->setSpacing(14);
    auto *assembly =
        new MacInfoCard(QStringLiteral("集合"), QStringLiteral("person.3.fill"),
                        Theme::colour(Theme::Colour::blue), TodayRules::assemblyLines(operations));
    assembly->setObjectName(QStringLiteral("todayAssemblyCard"));
    auto *rehearsal =
        new MacInfoCard(QStringLiteral("联排"), QStringLiteral("music.mic"),
                        Theme::colour(Theme::Colour::purple), TodayRules::rehearsalLines(operations));
    rehearsal->setObjectName(QStringLiteral("todayRehearsalCard"));
    auto *dinner = new MacInfoCard(QStringLiteral("用餐"), QStringLiteral("fork.knife"),
                                   Theme::colour(Theme::Colour::orange), TodayRules::dinnerLines(operations));
    dinner->setObjectName(QStringLiteral("todayDinnerCard"));
    cards->addWidget(assembly);
    cards->addWidget(rehearsal);
    cards->addWidget(dinner);
    column->addLayout(cards);

    if (const auto makeup = TodayRules::myMakeup(detail, me)) {
        auto *card = new MacInfoCard(
            QStringLiteral("化妆安排"), QStringLiteral("paintbrush.fill"), Theme::colour(Theme::Colour::pink),
            TodayRules::makeupLines(*makeup, TodayRules::makeupArtist(detail, *makeup)));
        card->setObjectName(QStringLiteral("todayMakeupCard"));
        column->addWidget(card);
    }

    auto *items = new QVBoxLayout;
    items->setSpacing(10);
    items->addWidget(Theme::label(QStringLiteral("我的节目"), Theme::TextStyle::title2, QFont::Bold));
    const QList<RundownItem> mine = TodayRules::myItems(detail, me);
    if (mine.isEmpty()) {
        items->addWidget(noItemsView());
    }
    for (const RundownItem &item : mine) {
        items->addWidget(itemRow(item));
    }
    column->addLayout(items);
    column->addStretch(1);
    return day;
}

void MacTodayView::updateCheckInButton()
{
    if (!m_checkInButton || !m_store.detail()) {
        return;
    }
    const auto me = TodayRules::me(*m_store.detail());
    m_checkInButton->setEnabled(
        me && TodayRules::checkInEnabled(me->isCheckedIn(), m_store.busyMemberID().has_value()));
}

void MacTodayView::checkIn()
{
    if (!m_store.detail()) {
        return;
    }
    if (const auto me = TodayRules::me(*m_store.detail())) {
        // Check-out is a manager's action on the members page; this page only checks in.
        m_store.setCheckIn(*me, true);
    }
}
