#include "MacGroupsView.h"

#include "FlowLayout.h"
#include "MacGroupMemberPickerSheet.h"
#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "api/APIClient.h"
#include "common/FocusKeeper.h"
#include "common/LayoutSwap.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"

#include <QComboBox>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

QWidget *centredState(QWidget *parent, QLabel *title, const QString &symbol, QLabel *description)
{
    auto *page = new QWidget(parent);
    auto *column = new QVBoxLayout(page);
    column->addStretch(1);
    if (!symbol.isEmpty()) {
        column->addWidget(
            PeopleWidgets::symbolLabel(symbol, 40, Theme::colour(Theme::Colour::secondary), page), 0,
            Qt::AlignHCenter);
    }
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    if (description) {
        description->setAlignment(Qt::AlignCenter);
        description->setWordWrap(true);
        column->addWidget(description);
    }
    column->addStretch(1);
    return page;
}

} // namespace

MacGroupsView::MacGroupsView(MacProjectDataStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("groupsView"));
    m_stack = new QStackedLayout(this);

    auto *loadingTitle =
        Theme::label(QStringLiteral("正在读取组合…"), Theme::TextStyle::body, Theme::Colour::secondary);
    m_stack->addWidget(centredState(this, loadingTitle, {}, nullptr));
    m_emptyDescription = Theme::label({}, Theme::TextStyle::body, Theme::Colour::secondary);
    m_emptyDescription->setObjectName(QStringLiteral("groupsEmptyDescription"));
    m_stack->addWidget(centredState(
        this, Theme::label(QStringLiteral("组合读取失败"), Theme::TextStyle::title2, QFont::Bold),
        QStringLiteral("person.3.sequence"), m_emptyDescription));

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("groupsScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget;
    m_contentLayout = new QVBoxLayout(content);
    m_contentLayout->setContentsMargins(20, 20, 20, 20);
    m_contentLayout->setSpacing(18);

    auto *header = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(Theme::label(QStringLiteral("演员组合"), Theme::TextStyle::title, QFont::Bold));
    auto *note =
        Theme::label(QStringLiteral("组合名称显示在流程首页；成员仍复用项目人员库和同一套邀请入驻状态。 "),
                     Theme::TextStyle::body, Theme::Colour::secondary);
    note->setWordWrap(true);
    titles->addWidget(note);
    header->addLayout(titles, 1);
    m_marking = new QComboBox(content);
    m_marking->setObjectName(QStringLiteral("markingPicker"));
    PeopleWidgets::WheelGuard::install(m_marking);
    m_marking->setToolTip(QStringLiteral("未识别到组合"));
    m_marking->setFixedWidth(270);
    header->addWidget(m_marking, 0, Qt::AlignVCenter);
    m_markButton = new QPushButton(QStringLiteral("标记为组合"), content);
    m_markButton->setObjectName(QStringLiteral("markGroupButton"));
    Theme::makeProminent(m_markButton);
    header->addWidget(m_markButton, 0, Qt::AlignVCenter);
    m_contentLayout->addLayout(header);
    m_contentLayout->addStretch(1);
    m_scroll->setWidget(content);
    m_stack->addWidget(m_scroll);

    m_banner = new MacErrorBanner(QString(), this);
    m_banner->attachToBottom(this);

    connect(m_marking, &QComboBox::activated, this, [this](int index) {
        m_markingName = m_marking->itemData(index).toString();
        m_markButton->setEnabled(!m_markingName.isEmpty() && m_busyKey.isEmpty());
    });
    connect(m_markButton, &QPushButton::clicked, this, [this] {
        if (!m_markingName.isEmpty()) {
            decide(m_markingName, QStringLiteral("group"));
        }
    });
    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacGroupsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::isLoadingChanged, this, &MacGroupsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::errorChanged, this, &MacGroupsView::scheduleRefresh);
    refresh();
}

MacGroupMemberPickerSheet *MacGroupsView::picker() const
{
    return m_picker.data();
}

void MacGroupsView::scheduleRefresh()
{
    // Refreshes replace buttons; never from inside one of their own handlers.
    m_refreshLater.schedule();
}

void MacGroupsView::setBusyKey(const QString &key)
{
    m_busyKey = key;
    scheduleRefresh();
}

void MacGroupsView::refresh()
{
    const auto &detail = m_store.detail();
    m_banner->setMessage(m_store.error());
    if (!detail) {
        m_emptyDescription->setText(m_store.error());
        m_stack->setCurrentIndex(m_store.isLoading() ? 0 : 1);
        return;
    }
    m_stack->setCurrentIndex(2);
    const bool canManage = PeopleRules::canManageGroups(detail);
    const QStringList candidates = PeopleRules::candidateNames(detail);

    if (!candidates.contains(m_markingName)) {
        m_markingName.clear();
    }
    // Refilled only when the names change, so an open list stays open across reloads.
    if (candidates != m_candidates || m_marking->count() == 0) {
        m_candidates = candidates;
        m_marking->clear();
        m_marking->addItem(QStringLiteral("选择流程中的演员名称"), QString());
        for (const QString &name : candidates) {
            m_marking->addItem(name, name);
        }
    }
    m_marking->setCurrentIndex(std::max(0, m_marking->findData(m_markingName)));
    const bool marking = canManage && !candidates.isEmpty();
    m_marking->setVisible(marking);
    m_markButton->setVisible(marking);
    m_markButton->setEnabled(!m_markingName.isEmpty() && m_busyKey.isEmpty());

    const int scrolled = m_scroll->verticalScrollBar()->value();
    swapLayoutWidget(m_contentLayout, m_boxes, buildBoxes(), 1);
    m_scroll->verticalScrollBar()->setValue(scrolled);
}

QWidget *MacGroupsView::buildBoxes()
{
    const ProjectDetailResponse &detail = *m_store.detail();
    const bool canManage = PeopleRules::canManageGroups(detail);
    const bool idle = m_busyKey.isEmpty();
    auto *boxes = new QWidget;
    boxes->setObjectName(QStringLiteral("groupBoxes"));
    auto *column = new QVBoxLayout(boxes);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    const QList<PerformerGroup> suspected =
        PeopleRules::groupsWithDecision(detail, QStringLiteral("suspected"));
    if (!suspected.isEmpty()) {
        auto *list = new QWidget;
        auto *rows = new QVBoxLayout(list);
        rows->setContentsMargins(6, 0, 6, 0);
        rows->setSpacing(0);
        for (const PerformerGroup &group : suspected) {
            auto *row = new QWidget(list);
            row->setObjectName(QStringLiteral("suspectedRow_") + group.id);
            auto *line = new QHBoxLayout(row);
            line->setContentsMargins(0, 10, 0, 10);
            line->setSpacing(10);
            line->addWidget(PeopleWidgets::symbolLabel(QStringLiteral("questionmark.circle.fill"), 20,
                                                       Theme::colour(Theme::Colour::orange), row));
            auto *texts = new QVBoxLayout;
            texts->setSpacing(2);
            texts->addWidget(
                Theme::label(group.name, Theme::TextStyle::headline, Theme::Colour::primary, row));
            texts->addWidget(Theme::label(QStringLiteral("系统识别到可能是组合，请由导演确认"),
                                          Theme::TextStyle::caption, Theme::Colour::secondary, row));
            line->addLayout(texts, 1);
            auto *no = new QPushButton(QStringLiteral("不是组合"), row);
            no->setObjectName(QStringLiteral("notGroupButton_") + group.id);
            auto *yes = new QPushButton(QStringLiteral("是组合"), row);
            yes->setObjectName(QStringLiteral("isGroupButton_") + group.id);
            Theme::makeProminent(yes);
            for (QPushButton *button : {no, yes}) {
                button->setEnabled(canManage && idle);
                line->addWidget(button);
            }
            connect(no, &QPushButton::clicked, this,
                    [this, name = group.name] { decide(name, QStringLiteral("individual")); });
            connect(yes, &QPushButton::clicked, this,
                    [this, name = group.name] { decide(name, QStringLiteral("group")); });
            rows->addWidget(row);
            rows->addWidget(Theme::divider(list));
        }
        auto *caption = Theme::label(QStringLiteral("待导演确认"), Theme::TextStyle::headline);
        auto *box = PeopleWidgets::titledBox(QStringLiteral("person.2.badge.questionmark"), caption, list);
        box->setObjectName(QStringLiteral("suspectedBox"));
        column->addWidget(box);
    }

    const QList<PerformerGroup> confirmed = PeopleRules::groupsWithDecision(detail, QStringLiteral("group"));
    auto *cards = new QWidget;
    auto *cardColumn = new QVBoxLayout(cards);
    cardColumn->setContentsMargins(6, 6, 6, 6);
    cardColumn->setSpacing(12);
    if (confirmed.isEmpty()) {
        auto *title = Theme::label(QStringLiteral("暂无已确认组合"), Theme::TextStyle::title3, QFont::Bold);
        auto *empty = centredState(cards, title, QStringLiteral("person.3"),
                                   Theme::label(QStringLiteral("系统识别或导演手动标记后会显示在这里。"),
                                                Theme::TextStyle::body, Theme::Colour::secondary));
        empty->setObjectName(QStringLiteral("noConfirmedGroups"));
        empty->setMinimumHeight(180);
        cardColumn->addWidget(empty);
    }
    for (const PerformerGroup &group : confirmed) {
        cardColumn->addWidget(groupCard(group, detail.members, canManage));
    }
    auto *caption =
        Theme::label(QStringLiteral("已确认组合（%1）").arg(confirmed.size()), Theme::TextStyle::headline);
    caption->setObjectName(QStringLiteral("confirmedCaption"));
    auto *box = PeopleWidgets::titledBox(QStringLiteral("person.3.fill"), caption, cards);
    box->setObjectName(QStringLiteral("confirmedBox"));
    column->addWidget(box);
    return boxes;
}

QWidget *MacGroupsView::groupCard(const PerformerGroup &group, const QList<ProjectMember> &members,
                                  bool canManage)
{
    const QList<ProjectMember> resolved = PeopleRules::resolvedMembers(group, members);
    const bool allRegistered = PeopleRules::allRegistered(resolved);
    auto *card = new TintedPanel(Theme::colour(Theme::Colour::indigo, 0.045), 13);
    card->setObjectName(QStringLiteral("groupCard_") + group.id);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    auto *name = Theme::label(group.name, Theme::TextStyle::title3,
                              allRegistered ? Theme::Colour::primary : Theme::Colour::secondary, card);
    name->setFont(Theme::font(Theme::TextStyle::title3, QFont::Bold));
    header->addWidget(name);
    auto *state = Theme::label(
        allRegistered ? QStringLiteral("全部成员已入驻") : QStringLiteral("仍有成员未入驻"),
        Theme::TextStyle::caption, allRegistered ? Theme::Colour::green : Theme::Colour::orange, card);
    state->setObjectName(QStringLiteral("groupState"));
    state->setFont(Theme::font(Theme::TextStyle::caption, QFont::Bold));
    header->addWidget(state);
    header->addStretch(1);
    auto *count = Theme::label(QStringLiteral("%1 名成员").arg(resolved.size()), Theme::TextStyle::body,
                               Theme::Colour::secondary, card);
    count->setObjectName(QStringLiteral("groupMemberCount"));
    header->addWidget(count);
    if (canManage) {
        auto *add = new QPushButton(QStringLiteral("＋ 添加成员"), card);
        add->setObjectName(QStringLiteral("addGroupMemberButton_") + group.id);
        connect(add, &QPushButton::clicked, this, [this, group] { openPicker(group); });
        header->addWidget(add);
    }
    column->addLayout(header);

    if (resolved.isEmpty()) {
        auto *none = Theme::label(QStringLiteral("尚未添加成员"), Theme::TextStyle::body,
                                  Theme::Colour::secondary, card);
        none->setObjectName(QStringLiteral("groupNoMembers"));
        column->addWidget(none);
        return card;
    }
    auto *chips = new FlowLayout(8, card);
    for (const ProjectMember &member : resolved) {
        const bool registered = member.isRegistered();
        auto *chip = new TintedPanel(Theme::colour(Theme::Colour::secondary, 0.08), 14, chips);
        chip->setObjectName(QStringLiteral("groupChip_") + member.id);
        auto *line = new QHBoxLayout(chip);
        line->setContentsMargins(10, 6, 10, 6);
        line->setSpacing(6);
        line->addWidget(new PeopleWidgets::Disc(
            {}, Theme::colour(registered ? Theme::Colour::green : Theme::Colour::secondary), Qt::white, 7,
            font(), chip));
        line->addWidget(Theme::label(member.name, Theme::TextStyle::body, Theme::Colour::primary, chip));
        auto *mark = Theme::label(registered ? QStringLiteral("已入驻") : QStringLiteral("未注册"),
                                  Theme::TextStyle::caption, Theme::Colour::secondary, chip);
        mark->setObjectName(QStringLiteral("chipRegistration"));
        line->addWidget(mark);
        if (canManage) {
            auto *remove = new QPushButton(chip);
            remove->setObjectName(QStringLiteral("removeGroupMemberButton_") + member.id);
            remove->setFlat(true);
            remove->setIcon(
                Theme::icon(QStringLiteral("xmark.circle.fill"), Theme::colour(Theme::Colour::secondary)));
            remove->setToolTip(QStringLiteral("移出组合"));
            remove->setEnabled(m_busyKey.isEmpty());
            connect(remove, &QPushButton::clicked, this, [this, groupId = group.id, memberId = member.id] {
                updateMember(groupId, memberId, false);
            });
            line->addWidget(remove);
        }
        if (!registered) {
            auto *dim = new QGraphicsOpacityEffect(chip);
            dim->setOpacity(0.62);
            chip->setGraphicsEffect(dim);
        }
        chips->addWidget(chip);
    }
    column->addWidget(chips);
    return card;
}

void MacGroupsView::openPicker(const PerformerGroup &group)
{
    if (m_picker) {
        m_picker->disconnect(this);
        m_picker->close();
    }
    m_memberContext = MacGroupMemberContext{group};
    const QList<ProjectMember> members =
        m_store.detail() ? m_store.detail()->members : QList<ProjectMember>();
    auto onAdd = [view = QPointer<MacGroupsView>(this),
                  groupId = group.id](QString memberId) -> QCoro::Task<bool> {
        if (!view) {
            co_return false;
        }
        auto adding = view->updateMember(groupId, memberId, true);
        co_return co_await adding;
    };
    m_picker = new MacGroupMemberPickerSheet(group, members, std::move(onAdd), this);
    m_picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_picker, &QDialog::finished, this, [this] { m_memberContext.reset(); });
    m_picker->open();
}

QCoro::Task<> MacGroupsView::decide(QString name, QString decision)
{
    QPointer<MacGroupsView> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    setBusyKey(name);
    auto mutation =
        m_store.mutate(m_store.client().decidePerformerGroup(m_store.project().id, name, decision));
    const bool stored = co_await mutation;
    if (self) {
        if (stored) {
            m_markingName.clear();
        }
        setBusyKey(QString());
        FocusKeeper::restore(focused);
    }
}

QCoro::Task<bool> MacGroupsView::updateMember(QString groupID, QString memberID, bool add)
{
    QPointer<MacGroupsView> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    setBusyKey(memberID);
    auto mutation = m_store.mutate(
        m_store.client().updatePerformerGroupMember(m_store.project().id, groupID, memberID, add));
    const bool stored = co_await mutation;
    if (self) {
        setBusyKey(QString());
        FocusKeeper::restore(focused);
    }
    co_return stored;
}
