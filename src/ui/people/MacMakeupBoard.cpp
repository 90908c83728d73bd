#include "MacMakeupBoard.h"

#include "MacMakeupEditors.h"
#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "common/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

// Puts the widgets into the layout in the given order; others stay where the caller put them.
void order(QVBoxLayout *layout, const QList<QWidget *> &widgets)
{
    for (QWidget *w : widgets) {
        layout->removeWidget(w);
    }
    for (QWidget *w : widgets) {
        layout->addWidget(w);
    }
}

// Deleting later: a row may be the sender of the signal that led here.
template<typename Editor>
void dropMissing(QHash<QString, Editor *> &editors, const QStringList &keep)
{
    for (auto it = editors.begin(); it != editors.end();) {
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->hide();
        it.value()->deleteLater();
        it = editors.erase(it);
    }
}

} // namespace

MacMakeupBoard::MacMakeupBoard(MacProjectDataStore &store, ProjectDetailResponse detail, bool canManage,
                               QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_detail(std::move(detail))
    , m_canManage(canManage)
    , m_title(Theme::label({}, Theme::TextStyle::title2, QFont::Bold))
    , m_subtitle(Theme::label({}, Theme::TextStyle::callout, Theme::Colour::secondary))
    , m_placeholder(new QWidget)
    , m_blocks(new QWidget)
    , m_shiftHeading(Theme::label({}, Theme::TextStyle::headline))
    , m_shiftRows(new QVBoxLayout)
    , m_creatorSlot(new QVBoxLayout)
    , m_assignmentHeading(Theme::label({}, Theme::TextStyle::headline))
    , m_assignmentRows(new QVBoxLayout)
    , m_noAssignments(Theme::label({}, Theme::TextStyle::body, Theme::Colour::secondary))
{
    setObjectName(QStringLiteral("makeupBoard"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);

    auto *header = new QVBoxLayout;
    header->setSpacing(3);
    m_title->setObjectName(QStringLiteral("makeupBoardTitle"));
    m_subtitle->setObjectName(QStringLiteral("makeupBoardSubtitle"));
    m_subtitle->setWordWrap(true);
    header->addWidget(m_title);
    header->addWidget(m_subtitle);
    layout->addLayout(header);

    m_placeholder->setObjectName(QStringLiteral("makeupNoArtists"));
    auto *placeholder = new QVBoxLayout(m_placeholder);
    placeholder->setContentsMargins(0, 20, 0, 20);
    placeholder->addWidget(PeopleWidgets::symbolLabel(QStringLiteral("paintbrush"), 36,
                                                      Theme::colour(Theme::Colour::secondary), m_placeholder),
                           0, Qt::AlignHCenter);
    auto *placeholderTitle = Theme::label(QStringLiteral("尚未添加化妆师"), Theme::TextStyle::title3,
                                          QFont::Bold, Theme::Colour::primary, m_placeholder);
    placeholderTitle->setAlignment(Qt::AlignCenter);
    placeholder->addWidget(placeholderTitle);
    auto *placeholderText = Theme::label(QStringLiteral("先在成员管理中添加或邀请角色为“化妆师”的成员。"),
                                         Theme::TextStyle::body, Theme::Colour::secondary, m_placeholder);
    placeholderText->setAlignment(Qt::AlignCenter);
    placeholderText->setWordWrap(true);
    placeholder->addWidget(placeholderText);
    layout->addWidget(m_placeholder);

    auto *blocks = new QVBoxLayout(m_blocks);
    blocks->setContentsMargins(0, 0, 0, 0);
    blocks->setSpacing(16);
    auto *shiftBlock = new QVBoxLayout;
    shiftBlock->setSpacing(10);
    m_shiftHeading->setObjectName(QStringLiteral("makeupShiftHeading"));
    shiftBlock->addWidget(m_shiftHeading);
    m_shiftRows->setSpacing(10);
    shiftBlock->addLayout(m_shiftRows);
    blocks->addLayout(shiftBlock);
    blocks->addLayout(m_creatorSlot);
    auto *assignmentBlock = new QVBoxLayout;
    assignmentBlock->setSpacing(9);
    m_assignmentHeading->setObjectName(QStringLiteral("makeupAssignmentHeading"));
    assignmentBlock->addWidget(m_assignmentHeading);
    m_assignmentRows->setSpacing(9);
    assignmentBlock->addLayout(m_assignmentRows);
    m_noAssignments->setObjectName(QStringLiteral("makeupNoAssignments"));
    m_noAssignments->setContentsMargins(0, 12, 0, 12);
    assignmentBlock->addWidget(m_noAssignments);
    blocks->addLayout(assignmentBlock);
    layout->addWidget(m_blocks);

    reconcile();
}

void MacMakeupBoard::setSnapshot(ProjectDetailResponse detail, bool canManage)
{
    m_detail = std::move(detail);
    m_canManage = canManage;
    reconcile();
}

void MacMakeupBoard::paintEvent(QPaintEvent *)
{
    paintRoundedFill(this, Theme::colour(Theme::Colour::pink, 0.05), 14);
}

void MacMakeupBoard::reconcile()
{
    const PeopleRules::MakeupBoardModel model = PeopleRules::makeupBoard(m_detail, m_canManage);
    m_shown = model.visible;
    // Never shown by itself while it has no parent: that would open it as a window.
    if (!model.visible) {
        hide();
    } else if (isHidden() && parentWidget()) {
        show();
    }
    const bool own = model.artistOwnView;
    m_title->setText(own ? QStringLiteral("我的化妆调度") : QStringLiteral("化妆调度"));
    m_subtitle->setText(own ? QStringLiteral("查看并更新自己负责演员的化妆状态。")
                            : QStringLiteral("化妆师时段、演员时间和状态使用网页端同一份数据。"));
    const bool noArtists = model.artists.isEmpty();
    m_placeholder->setVisible(noArtists);
    m_blocks->setVisible(!noArtists);
    if (!model.visible || noArtists) {
        // Rows that leave start again from the records when they come back.
        dropMissing(m_shiftEditors, {});
        dropMissing(m_assignmentEditors, {});
        if (m_creator) {
            m_creator->deleteLater();
            m_creator->hide();
            m_creator = nullptr;
        }
        return;
    }

    m_shiftHeading->setText(own ? QStringLiteral("我的工作时段") : QStringLiteral("化妆师工作时段"));
    QStringList shiftKeys;
    QList<QWidget *> shiftWidgets;
    for (const ProjectMember &artist : model.shiftRows) {
        const auto shift = PeopleRules::shiftOf(m_detail, artist.id);
        const QString start = shift ? shift->startTime : QString();
        const QString end = shift ? shift->endTime : QString();
        const QString location = shift ? shift->location : QString();
        MacMakeupShiftEditor *editor = m_shiftEditors.value(artist.id);
        if (editor) {
            editor->refresh(artist, m_canManage, start, end, location);
        } else {
            editor = new MacMakeupShiftEditor(m_store, artist, m_canManage, start, end, location, m_blocks);
            m_shiftEditors.insert(artist.id, editor);
        }
        shiftKeys.append(artist.id);
        shiftWidgets.append(editor);
    }
    dropMissing(m_shiftEditors, shiftKeys);
    order(m_shiftRows, shiftWidgets);

    if (m_canManage) {
        if (m_creator) {
            m_creator->refresh(m_detail, model.artists);
        } else {
            m_creator = new MacMakeupAssignmentCreator(m_store, m_detail, model.artists, m_blocks);
            m_creatorSlot->addWidget(m_creator);
        }
    } else if (m_creator) {
        m_creator->hide();
        m_creator->deleteLater();
        m_creator = nullptr;
    }

    m_assignmentHeading->setText(own ? QStringLiteral("我负责的演员") : QStringLiteral("演员化妆排班"));
    QStringList assignmentKeys;
    QList<QWidget *> assignmentWidgets;
    for (const MakeupAssignment &assignment : model.visibleAssignments) {
        if (assignmentKeys.contains(assignment.memberId)) {
            continue; // one row per member
        }
        MacMakeupAssignmentEditor *editor = m_assignmentEditors.value(assignment.memberId);
        if (editor) {
            editor->refresh(assignment, m_detail.members, model.artists, m_canManage);
        } else {
            editor = new MacMakeupAssignmentEditor(m_store, assignment, m_detail.members, model.artists,
                                                   m_canManage, m_blocks);
            m_assignmentEditors.insert(assignment.memberId, editor);
        }
        assignmentKeys.append(assignment.memberId);
        assignmentWidgets.append(editor);
    }
    dropMissing(m_assignmentEditors, assignmentKeys);
    order(m_assignmentRows, assignmentWidgets);
    const bool artistWithout =
        model.currentMember && model.currentMember->role == PeopleRules::makeupArtistRole;
    m_noAssignments->setText(artistWithout ? QStringLiteral("导演尚未给你分配演员。")
                                           : QStringLiteral("暂未安排演员化妆时间。"));
    m_noAssignments->setVisible(assignmentWidgets.isEmpty());
}
