#include "MacMembersView.h"

#include "MembersRules.h"
#include "api/APIClient.h"
#include "common/ElidedLabel.h"
#include "common/MacMetricCard.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"
#include "people/MacGroupsView.h"
#include "people/MacInviteMemberSheet.h"
#include "people/MacMemberEditorSheet.h"
#include "people/MacWorkPassSheet.h"
#include "people/PeopleWidgets.h"
#include "rules/PermissionPolicy.h"
#include "stores/MacProjectDataStore.h"

#include <QDialog>
#include <QEvent>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr qreal unregisteredOpacity = 0.62;

QString prominentStyle(const QColor &tint)
{
    return Theme::filledButtonStyle(tint, 6, 4, 12);
}

QLabel *plainLabel(const QString &text, Theme::TextStyle style, Theme::Colour colour, QWidget *parent)
{
    auto *label = Theme::label(text, style, colour, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

// For user text that may be long: it ends in an ellipsis rather than widening the row.
QLabel *elidedLabel(const QString &text, Theme::TextStyle style, Theme::Colour colour, QWidget *parent)
{
    auto *label = new ElidedLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    Theme::setTextStyle(label, style);
    if (colour != Theme::Colour::primary) {
        Theme::setTextColour(label, colour);
    }
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QCoro::Task<> reloadSilently(QPointer<MacProjectDataStore> store)
{
    if (store) {
        // Named first: g++ 12 destroys temporaries made inside a co_await expression twice.
        auto reload = store->load(true);
        co_await reload;
    }
}

// Sheets show one member as it was when they opened, and close by clearing their page field.
template<typename Reset>
void showSheet(QDialog *sheet, QWidget *page, const QString &objectName, Reset reset)
{
    if (sheet->objectName().isEmpty()) {
        sheet->setObjectName(objectName);
    }
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(sheet, &QDialog::finished, page, reset);
    sheet->open();
}

} // namespace

MacMembersView::MacMembersView(MacProjectDataStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("membersView"));
    m_states = new PageStateStack(QStringLiteral("正在读取成员…"), QStringLiteral("成员读取失败"),
                                  QStringLiteral("person.2.slash"), buildContent(), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_states);

    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacMembersView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::isLoadingChanged, this, &MacMembersView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::errorChanged, this, &MacMembersView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::busyMemberIDChanged, this, &MacMembersView::updateCheckInButtons);
    refresh();
}

MacMembersView::~MacMembersView() = default;

QWidget *MacMembersView::buildContent()
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *counters = new QHBoxLayout;
    counters->setContentsMargins(18, 18, 18, 12);
    counters->setSpacing(12);
    m_totalCard =
        new MacMetricCard(QStringLiteral("项目成员"), QStringLiteral("0"), QStringLiteral("已录入人员库"));
    m_registeredCard =
        new MacMetricCard(QStringLiteral("已入驻"), QStringLiteral("0"), QStringLiteral("真实账号"));
    m_checkedInCard =
        new MacMetricCard(QStringLiteral("已签到"), QStringLiteral("0"), QStringLiteral("当前到场"));
    m_waitingCard =
        new MacMetricCard(QStringLiteral("待签到"), QStringLiteral("0"), QStringLiteral("尚未到场"));
    m_totalCard->setObjectName(QStringLiteral("membersTotalCard"));
    m_registeredCard->setObjectName(QStringLiteral("membersRegisteredCard"));
    m_checkedInCard->setObjectName(QStringLiteral("membersCheckedInCard"));
    m_waitingCard->setObjectName(QStringLiteral("membersWaitingCard"));
    for (MacMetricCard *card : {m_totalCard, m_registeredCard, m_checkedInCard, m_waitingCard}) {
        counters->addWidget(card);
    }
    layout->addLayout(counters);

    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(20, 4, 20, 12);
    titleRow->setSpacing(10);
    titleRow->addWidget(Theme::label(QStringLiteral("成员管理"), Theme::TextStyle::title, QFont::Bold));
    titleRow->addStretch(1);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("memberSearchField"));
    m_search->setPlaceholderText(QStringLiteral("搜索姓名、角色或职责"));
    m_search->setFixedWidth(280);
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_query = text;
        rebuildRows();
    });
    titleRow->addWidget(m_search);
    auto *groupsButton = new QPushButton(QStringLiteral("演员组合"));
    groupsButton->setObjectName(QStringLiteral("groupsButton"));
    connect(groupsButton, &QPushButton::clicked, this, &MacMembersView::openGroups);
    titleRow->addWidget(groupsButton);
    m_addButton = new QPushButton(QStringLiteral("＋ 添加人员"));
    m_addButton->setObjectName(QStringLiteral("addMemberButton"));
    m_addButton->setStyleSheet(prominentStyle(Theme::colour(Theme::Colour::accent)));
    connect(m_addButton, &QPushButton::clicked, this, [this] { openInvitation(std::nullopt); });
    titleRow->addWidget(m_addButton);
    layout->addLayout(titleRow);

    layout->addWidget(Theme::divider(content));

    auto *scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("membersScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_rowsHost = new QWidget;
    m_rowsHost->setObjectName(QStringLiteral("memberRows"));
    m_rowsLayout = new QVBoxLayout(m_rowsHost);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(m_rowsHost);
    layout->addWidget(scroll, 1);
    return content;
}

bool MacMembersView::canManage() const
{
    return PermissionPolicy::canManageMembers(m_store.role());
}

bool MacMembersView::isOwnRow(const ProjectMember &member) const
{
    return m_store.detail() && member.id == m_store.detail()->membership.id;
}

void MacMembersView::scheduleRefresh()
{
    // Store signals may arrive from inside a row's own click; rows are replaced only once control
    // is back in the event loop.
    m_refreshLater.schedule();
}

void MacMembersView::refresh()
{
    const auto &detail = m_store.detail();
    m_states->showState(m_store.isLoading(), detail.has_value(), m_store.error());
    m_states->setBannerMessage(m_store.error());

    const MembersRules::MemberCounts counts =
        MembersRules::countMembers(detail ? detail->members : QList<ProjectMember>());
    m_totalCard->setValue(QString::number(counts.total));
    m_registeredCard->setValue(QString::number(counts.registered));
    m_checkedInCard->setValue(QString::number(counts.checkedIn));
    m_waitingCard->setValue(QString::number(counts.waiting));
    m_addButton->setVisible(canManage());
    rebuildRows();
}

void MacMembersView::rebuildRows()
{
    for (const RowWidgets &row : std::as_const(m_rows)) {
        delete row.row;
    }
    m_rows.clear();
    m_nameBlocks.clear();

    const auto &detail = m_store.detail();
    const QList<ProjectMember> shown =
        MembersRules::filterMembers(detail ? detail->members : QList<ProjectMember>(), m_query);
    for (const ProjectMember &member : shown) {
        QWidget *row = buildRow(member);
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row);
    }
    updateCheckInButtons();
}

QWidget *MacMembersView::buildRow(const ProjectMember &member)
{
    const bool manager = canManage();
    const bool registered = member.isRegistered();
    const bool checkedIn = member.isCheckedIn();

    auto *container = new QWidget(m_rowsHost);
    container->setObjectName(QStringLiteral("memberRow_") + member.id);
    auto *outer = new QVBoxLayout(container);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *line = new QHBoxLayout;
    line->setContentsMargins(20, 11, 20, 11);
    line->setSpacing(10);
    auto *avatar =
        new PeopleWidgets::Disc(MembersRules::avatarText(member.name), MembersRules::color(member.color),
                                Qt::white, 38, Theme::font(Theme::TextStyle::headline), container);
    avatar->setObjectName(QStringLiteral("memberAvatar"));
    line->addWidget(avatar);

    auto *nameBlock = new QWidget(container);
    nameBlock->setObjectName(QStringLiteral("memberNameBlock_") + member.id);
    if (manager) {
        nameBlock->setCursor(Qt::PointingHandCursor);
    }
    auto *nameColumn = new QVBoxLayout(nameBlock);
    nameColumn->setContentsMargins(0, 0, 0, 0);
    nameColumn->setSpacing(3);
    auto *firstLine = new QHBoxLayout;
    firstLine->setSpacing(6);
    auto *name = elidedLabel(member.name, Theme::TextStyle::headline, Theme::Colour::primary, nameBlock);
    name->setObjectName(QStringLiteral("memberName"));
    firstLine->addWidget(name);
    auto *chip = plainLabel(member.role, Theme::TextStyle::caption2, Theme::Colour::indigo, nameBlock);
    chip->setObjectName(QStringLiteral("memberRoleChip"));
    chip->setFont(Theme::font(Theme::TextStyle::caption2, QFont::Bold));
    chip->setStyleSheet(QStringLiteral("background: %1; border-radius: 8px; padding: 2px 7px;")
                            .arg(Theme::css(Theme::Colour::indigo, 0.10)));
    firstLine->addWidget(chip);
    firstLine->addStretch(1);
    nameColumn->addLayout(firstLine);
    auto *detailLabel = elidedLabel(member.detail.isEmpty() ? QStringLiteral("资料待完善") : member.detail,
                                    Theme::TextStyle::caption, Theme::Colour::secondary, nameBlock);
    detailLabel->setObjectName(QStringLiteral("memberDetail"));
    nameColumn->addWidget(detailLabel);
    nameBlock->installEventFilter(this);
    m_nameBlocks.insert(nameBlock, member);
    // The block takes the row's spare width: a click beside a short name still opens the editor.
    line->addWidget(nameBlock, 1);

    auto *mark = plainLabel(registered ? QStringLiteral("● 已入驻") : QStringLiteral("○ 未注册"),
                            Theme::TextStyle::caption,
                            registered ? Theme::Colour::green : Theme::Colour::secondary, container);
    mark->setObjectName(QStringLiteral("memberRegistration"));
    line->addWidget(mark);

    if (member.passAreas && !member.passAreas->isEmpty()) {
        auto *areas = new QHBoxLayout;
        areas->setSpacing(4);
        auto *icon = new QLabel(container);
        icon->setPixmap(Theme::symbolPixmap(QStringLiteral("person.text.rectangle"),
                                            Theme::pixelSize(Theme::TextStyle::caption) + 2,
                                            Theme::colour(Theme::Colour::secondary)));
        areas->addWidget(icon);
        auto *text =
            elidedLabel(*member.passAreas, Theme::TextStyle::caption, Theme::Colour::secondary, container);
        text->setObjectName(QStringLiteral("memberPassAreas"));
        areas->addWidget(text);
        line->addLayout(areas);
    }

    auto *pass = new QPushButton(QStringLiteral("工作证"), container);
    pass->setObjectName(QStringLiteral("workPassButton_") + member.id);
    pass->setEnabled(MembersRules::workPassEnabled(manager, isOwnRow(member), registered));
    connect(pass, &QPushButton::clicked, this, [this, member] { openWorkPass(member); });
    line->addWidget(pass);

    if (MembersRules::inviteShown(manager, registered)) {
        auto *invite = new QPushButton(QStringLiteral("邀请"), container);
        invite->setObjectName(QStringLiteral("inviteButton_") + member.id);
        connect(invite, &QPushButton::clicked, this, [this, member] { openInvitation(member); });
        line->addWidget(invite);
    }

    auto *checkIn = new QPushButton(MembersRules::checkInLabel(manager, checkedIn), container);
    checkIn->setObjectName(QStringLiteral("checkInButton_") + member.id);
    checkIn->setStyleSheet(
        prominentStyle(Theme::colour(checkedIn ? Theme::Colour::green : Theme::Colour::indigo)));
    // One width for every label keeps the row buttons in columns.
    checkIn->setMinimumWidth(
        checkIn->fontMetrics().horizontalAdvance(MembersRules::checkInLabel(false, true)) + 28);
    connect(checkIn, &QPushButton::clicked, this, [this, member] { this->checkIn(member); });
    line->addWidget(checkIn);

    outer->addLayout(line);
    auto *dividerRow = new QHBoxLayout;
    dividerRow->setContentsMargins(70, 0, 0, 0);
    dividerRow->addWidget(Theme::divider(container));
    outer->addLayout(dividerRow);

    if (!registered) {
        auto *dim = new QGraphicsOpacityEffect(container);
        dim->setOpacity(unregisteredOpacity);
        container->setGraphicsEffect(dim);
    }
    m_rows.append({container, checkIn, member});
    return container;
}

void MacMembersView::updateCheckInButtons()
{
    const bool manager = canManage();
    const bool running = m_store.busyMemberID().has_value();
    for (const RowWidgets &row : std::as_const(m_rows)) {
        row.checkIn->setEnabled(
            MembersRules::checkInEnabled(manager, isOwnRow(row.member), row.member.isCheckedIn(), running));
    }
}

bool MacMembersView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto found = m_nameBlocks.constFind(watched);
        if (found != m_nameBlocks.cend()) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const auto *block = static_cast<QWidget *>(watched);
            if (mouse->button() == Qt::LeftButton && block->rect().contains(mouse->position().toPoint()) &&
                canManage()) {
                const ProjectMember member = found.value();
                openEditor(member);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MacMembersView::checkIn(const ProjectMember &member)
{
    // The store guards its own lifetime; its busy mark re-enables the buttons when it ends.
    m_store.setCheckIn(member, !member.isCheckedIn());
}

void MacMembersView::openWorkPass(const ProjectMember &member)
{
    m_passMember = member;
    showSheet(new MacWorkPassSheet(m_store.project(), member, this), this, QStringLiteral("workPassSheet"),
              [this] { m_passMember.reset(); });
}

void MacMembersView::openEditor(const ProjectMember &member)
{
    m_editingMember = member;
    // The routine must not capture the page: the editor may run it after the page is gone.
    MacMemberEditorSheet::SaveAction save = [store = QPointer<MacProjectDataStore>(&m_store),
                                             member](QString name, QString role, QString detail,
                                                     QString passAreas) {
        return saveMember(store, member, std::move(name), std::move(role), std::move(detail),
                          std::move(passAreas));
    };
    showSheet(new MacMemberEditorSheet(member, std::move(save), this), this,
              QStringLiteral("memberEditorSheet"), [this] { m_editingMember.reset(); });
}

void MacMembersView::openInvitation(const std::optional<ProjectMember> &member)
{
    const auto &detail = m_store.detail();
    MacInviteMemberSheet::Fields fields;
    fields.project = m_store.project();
    fields.inviterName = detail ? detail->membership.name : QStringLiteral("导演组");
    fields.initialMember = member;
    fields.client = &m_store.client();
    fields.onChanged = [store = QPointer<MacProjectDataStore>(&m_store)] { return reloadSilently(store); };
    if (member) {
        fields.name = member->name;
        fields.role = MembersRules::inviteStartingRole(member->role);
        m_invitingMember = member;
    } else {
        fields.role = QStringLiteral("演员");
        m_addingMember = true;
    }
    showSheet(new MacInviteMemberSheet(std::move(fields), this), this, QStringLiteral("inviteMemberSheet"),
              [this] {
                  m_invitingMember.reset();
                  m_addingMember = false;
              });
}

void MacMembersView::openGroups()
{
    m_showingGroups = true;
    auto *sheet = new QDialog(this);
    sheet->setWindowTitle(QStringLiteral("演员组合"));
    sheet->setMinimumSize(820, 680);
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new MacGroupsView(m_store, sheet));
    showSheet(sheet, this, QStringLiteral("groupsSheet"), [this] { m_showingGroups = false; });
}

QCoro::Task<bool> MacMembersView::saveMember(QPointer<MacProjectDataStore> store, ProjectMember member,
                                             QString name, QString role, QString detail, QString passAreas)
{
    if (!store) {
        co_return false;
    }
    auto mutation = store->mutate(
        store->client().updateMember(store->project().id, member, name, role, detail, passAreas));
    co_return co_await mutation;
}
