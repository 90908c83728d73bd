#include "AccountAccessPanel.h"

#include "common/AsyncAction.h"
#include "common/ElidedLabel.h"
#include "common/FocusKeeper.h"
#include "common/Theme.h"
#include "common/VersionLine.h"
#include "rules/TextRules.h"
#include "stores/AppStore.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int panelWidth = 380;
constexpr int panelMargin = 18;

const ProjectSummary *findProject(const QString &id, const QList<ProjectSummary> &projects)
{
    const auto found =
        std::find_if(projects.cbegin(), projects.cend(), [&](const ProjectSummary &p) { return p.id == id; });
    return found == projects.cend() ? nullptr : &*found;
}

} // namespace

QList<Membership> AccountAccessPanel::orderedMemberships(const QList<Membership> &memberships,
                                                         const QList<ProjectSummary> &projects)
{
    const auto projectKey = [&](const Membership &m) {
        const ProjectSummary *project = findProject(m.projectId, projects);
        return project ? project->name : m.projectId;
    };
    QList<Membership> ordered = memberships;
    std::stable_sort(ordered.begin(), ordered.end(), [&](const Membership &a, const Membership &b) {
        if (const int byProject = TextRules::compareScalars(projectKey(a), projectKey(b)); byProject != 0) {
            return byProject < 0;
        }
        return TextRules::compareScalars(a.role, b.role) < 0;
    });
    return ordered;
}

QString AccountAccessPanel::projectName(const Membership &membership, const QList<ProjectSummary> &projects)
{
    const ProjectSummary *project = findProject(membership.projectId, projects);
    return project ? project->name : QStringLiteral("项目名称待同步");
}

bool AccountAccessPanel::canSaveNickname(const QString &nickname, bool saving)
{
    return !saving && TextRules::characterCount(nickname) <= AppStore::nicknameCharacterLimit;
}

AccountAccessPanel::AccountAccessPanel(AppStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("accountAccessPanel"));
    setFixedWidth(panelWidth);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(panelMargin, panelMargin, panelMargin, panelMargin);
    m_layout->setSpacing(16);

    // The nickname block is built once: its field keeps what was typed across redraws.
    m_nicknameBlock = new QWidget(this);
    QLabel *nicknameHeading = Theme::label(QStringLiteral("对外昵称（选填）"), Theme::TextStyle::caption,
                                           QFont::Bold, Theme::Colour::secondary);
    m_nickname = new QLineEdit(m_nicknameBlock);
    m_nickname->setObjectName(QStringLiteral("nicknameField"));
    m_nickname->setPlaceholderText(QStringLiteral("可随时填写或修改"));
    m_nickname->setMinimumHeight(28);
    if (m_store.account()) {
        m_nickname->setText(m_store.account()->nickname.value_or(QString()));
    }
    m_save = new QPushButton(QStringLiteral("保存"), m_nicknameBlock);
    m_save->setObjectName(QStringLiteral("saveNicknameButton"));
    m_save->setMinimumHeight(28);
    m_messageLabel = Theme::label(QString(), Theme::TextStyle::caption2);
    m_messageLabel->setObjectName(QStringLiteral("nicknameMessage"));
    m_messageLabel->setWordWrap(true);
    auto *nicknameRow = new QHBoxLayout;
    nicknameRow->setSpacing(8);
    nicknameRow->addWidget(m_nickname, 1);
    nicknameRow->addWidget(m_save);
    auto *nicknameLayout = new QVBoxLayout(m_nicknameBlock);
    nicknameLayout->setContentsMargins(0, 0, 0, 0);
    nicknameLayout->setSpacing(8);
    nicknameLayout->addWidget(nicknameHeading);
    nicknameLayout->addLayout(nicknameRow);
    nicknameLayout->addWidget(m_messageLabel);

    connect(m_nickname, &QLineEdit::textChanged, this, &AccountAccessPanel::updateNicknameControls);
    connect(m_save, &QPushButton::clicked, this, [this] { saveNickname(); });
    connect(&m_store, &AppStore::accountChanged, this, &AccountAccessPanel::rebuild);
    connect(&m_store, &AppStore::membershipsChanged, this, &AccountAccessPanel::rebuild);
    connect(&m_store, &AppStore::projectsChanged, this, &AccountAccessPanel::rebuild);
    rebuild();
    updateNicknameControls();
}

void AccountAccessPanel::rebuild()
{
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        if (QWidget *widget = item->widget(); widget && widget != m_nicknameBlock) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    m_identity = m_roles = m_accountType = nullptr;

    const std::optional<Account> &account = m_store.account();
    m_nicknameBlock->setVisible(account.has_value());
    if (!account) {
        adjustSize();
        return;
    }
    m_identity = buildIdentity(*account);
    m_roles = buildRoles();
    m_accountType = buildAccountType(*account);
    m_layout->addWidget(m_identity);
    m_layout->addWidget(m_roles);
    m_layout->addWidget(Theme::divider(this));
    m_layout->addWidget(m_nicknameBlock);
    m_layout->addWidget(Theme::divider(this));
    m_layout->addWidget(m_accountType);
    m_layout->addWidget(Shell::versionLineLabel(this));
    adjustSize();
}

QWidget *AccountAccessPanel::buildIdentity(const Account &account)
{
    auto *block = new QWidget(this);
    block->setObjectName(QStringLiteral("identityBlock"));

    auto *avatar = new QLabel(TextRules::prefixCharacters(account.name, 1), block);
    avatar->setObjectName(QStringLiteral("avatar"));
    avatar->setFixedSize(46, 46);
    avatar->setAlignment(Qt::AlignCenter);
    avatar->setFont(Theme::font(Theme::TextStyle::title2, QFont::Bold));
    avatar->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; border-radius: 23px; }")
                              .arg(Theme::gradientCss(Theme::Colour::indigo)));

    QLabel *name = Theme::label(account.name, Theme::TextStyle::title3, QFont::Bold);
    name->setObjectName(QStringLiteral("accountName"));
    QLabel *phone = Theme::label(account.maskedPhone(), Theme::TextStyle::callout, Theme::Colour::secondary);
    phone->setObjectName(QStringLiteral("maskedPhone"));

    auto *text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(name);
    text->addWidget(phone);
    auto *layout = new QHBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(avatar);
    layout->addLayout(text, 1);
    return block;
}

QWidget *AccountAccessPanel::buildRoles()
{
    auto *block = new QWidget(this);
    block->setObjectName(QStringLiteral("rolesBlock"));
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(Theme::label(QStringLiteral("项目角色"), Theme::TextStyle::caption, QFont::Bold,
                                   Theme::Colour::secondary));

    if (m_store.memberships().isEmpty()) {
        QLabel *none = Theme::label(QStringLiteral("尚未加入任何演出项目"), Theme::TextStyle::callout,
                                    Theme::Colour::secondary);
        none->setObjectName(QStringLiteral("noMemberships"));
        layout->addWidget(none);
        return block;
    }

    auto *rows = new QWidget;
    rows->setObjectName(QStringLiteral("membershipRows"));
    auto *rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 4, 0);
    rowsLayout->setSpacing(9);
    const QString capsuleStyle =
        QStringLiteral("QLabel { background: %1; color: %2; border-radius: 9px; padding: 4px 8px; }")
            .arg(Theme::css(Theme::Colour::indigo, 0.10), Theme::css(Theme::Colour::indigo));
    for (const Membership &membership : orderedMemberships(m_store.memberships(), m_store.projects())) {
        auto *row = new QWidget(rows);
        row->setObjectName(QStringLiteral("membershipRow"));
        auto *project = new ElidedLabel(projectName(membership, m_store.projects()), row);
        project->setObjectName(QStringLiteral("membershipProject"));
        project->setFont(Theme::font(Theme::TextStyle::callout, QFont::DemiBold));
        QLabel *name =
            Theme::label(membership.name, Theme::TextStyle::caption, Theme::Colour::secondary, row);
        QLabel *role =
            Theme::label(membership.role, Theme::TextStyle::caption, QFont::Bold, Theme::Colour::indigo, row);
        role->setObjectName(QStringLiteral("membershipRole"));
        role->setStyleSheet(capsuleStyle);

        auto *text = new QVBoxLayout;
        text->setSpacing(2);
        text->addWidget(project);
        text->addWidget(name);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->setSpacing(8);
        rowLayout->addLayout(text, 1);
        rowLayout->addWidget(role, 0, Qt::AlignVCenter);
        rowsLayout->addWidget(row);
    }

    auto *scroll = new QScrollArea(block);
    scroll->setObjectName(QStringLiteral("membershipScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(rows);
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    scroll->setFixedHeight(std::min(260, rows->sizeHint().height()));
    layout->addWidget(scroll);
    return block;
}

QWidget *AccountAccessPanel::buildAccountType(const Account &account)
{
    const bool superAdmin = account.superAdmin();
    auto *block = new QWidget(this);
    block->setObjectName(QStringLiteral("accountTypeBlock"));

    auto *symbol = new QLabel(block);
    symbol->setPixmap(superAdmin ? Theme::symbolPixmap(QStringLiteral("checkmark.shield.fill"), 22,
                                                       Theme::colour(Theme::Colour::green))
                                 : Theme::symbolPixmap(QStringLiteral("person.crop.circle"), 22,
                                                       Theme::colour(Theme::Colour::secondary)));
    QLabel *title =
        Theme::label(superAdmin ? QStringLiteral("平台超级管理员") : QStringLiteral("普通平台账号"),
                     Theme::TextStyle::callout, QFont::Bold);
    title->setObjectName(QStringLiteral("accountTypeTitle"));
    QLabel *explanation = Theme::label(
        superAdmin
            ? QStringLiteral("当前账号已获得平台超级管理员权限，首页会显示“超级管理员后台”入口。")
            : QStringLiteral(
                  "当前账号不是平台超级管理员，因此首页不会显示后台入口；这不影响你按项目角色参与演出。"),
        Theme::TextStyle::caption, Theme::Colour::secondary);
    explanation->setWordWrap(true);

    auto *text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(title);
    text->addWidget(explanation);
    auto *layout = new QHBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    layout->addLayout(text, 1);
    return block;
}

void AccountAccessPanel::updateNicknameControls()
{
    m_save->setText(m_saving ? QStringLiteral("保存中…") : QStringLiteral("保存"));
    m_save->setEnabled(canSaveNickname(m_nickname->text(), m_saving));
    m_messageLabel->setText(m_message);
    m_messageLabel->setVisible(!m_message.isEmpty());
    // Coloured by what happened, never by what the text happens to say.
    Theme::setTextColour(m_messageLabel,
                         m_outcome == Outcome::saved ? Theme::Colour::green : Theme::Colour::red);
}

QCoro::Task<> AccountAccessPanel::saveNickname()
{
    if (!m_store.account()) {
        co_return;
    }
    // The popover may close while the save runs; the store still takes the answer.
    QPointer<AccountAccessPanel> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_saving = true;
    updateNicknameControls();
    QString message;
    Outcome outcome = Outcome::saved;
    try {
        auto saving = m_store.updateNickname(m_nickname->text());
        co_await saving;
        message = QStringLiteral("昵称已保存");
    } catch (...) {
        message = AsyncAction::describeCurrentException();
        outcome = Outcome::failed;
    }
    if (!self) {
        co_return;
    }
    self->m_message = message;
    self->m_outcome = outcome;
    self->m_saving = false;
    self->updateNicknameControls();
    FocusKeeper::restore(focused);
}
