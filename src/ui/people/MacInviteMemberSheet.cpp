#include "MacInviteMemberSheet.h"

#include "MacProjectRoles.h"
#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "RequestOutcome.h"
#include "api/APIClient.h"
#include "common/FocusKeeper.h"
#include "common/SheetWidth.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

MacInviteMemberSheet::MacInviteMemberSheet(Fields fields, QWidget *parent)
    : QDialog(parent)
    , m_fields(std::move(fields))
    , m_name(new QLineEdit(m_fields.name, this))
    , m_role(new QComboBox(this))
    , m_phone(new QLineEdit(this))
    , m_generatePage(new QWidget(this))
    , m_sharePage(new QWidget(this))
    , m_generate(new QPushButton(this))
    , m_text(new QPlainTextEdit(this))
    , m_sms(new QPushButton(this))
    , m_message(new QLabel(this))
{
    setObjectName(QStringLiteral("inviteMemberSheet"));
    const QString title =
        m_fields.initialMember ? QStringLiteral("邀请成员入驻") : QStringLiteral("添加并邀请成员");
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    fixSheetWidth(this, 620);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(14);
    auto *heading = Theme::label(title, Theme::TextStyle::title2, QFont::Bold);
    heading->setObjectName(QStringLiteral("inviteTitle"));
    layout->addWidget(heading);
    auto *note = Theme::label(
        QStringLiteral("邀请会携带受邀人、项目名称、角色和邀请人；链接邀请与短信邀请共用同一条记录。 "),
        Theme::TextStyle::body, Theme::Colour::secondary);
    note->setWordWrap(true);
    layout->addWidget(note);

    m_name->setObjectName(QStringLiteral("inviteName"));
    m_name->setPlaceholderText(QStringLiteral("受邀人姓名"));
    layout->addWidget(m_name);

    m_role->setObjectName(QStringLiteral("inviteRole"));
    m_role->addItems(MacProjectRoles::inviteable());
    if (m_role->findText(m_fields.role) < 0) {
        m_role->addItem(m_fields.role);
    }
    m_role->setCurrentIndex(m_role->findText(m_fields.role));
    auto *roleRow = new QFormLayout;
    roleRow->setContentsMargins(0, 0, 0, 0);
    roleRow->addRow(QStringLiteral("项目角色"), m_role);
    layout->addLayout(roleRow);

    m_phone->setObjectName(QStringLiteral("invitePhone"));
    m_phone->setPlaceholderText(QStringLiteral("手机号（短信邀请时填写）"));
    layout->addWidget(m_phone);

    m_generate->setObjectName(QStringLiteral("inviteGenerateButton"));
    Theme::makeProminent(m_generate);
    auto *generateRow = new QHBoxLayout(m_generatePage);
    generateRow->setContentsMargins(0, 0, 0, 0);
    generateRow->addWidget(m_generate);
    generateRow->addStretch(1);
    layout->addWidget(m_generatePage);

    auto *share = new QVBoxLayout(m_sharePage);
    share->setContentsMargins(0, 0, 0, 0);
    share->setSpacing(10);
    auto *textPanel = new TintedPanel(Theme::colour(Theme::Colour::indigo, 0.06), 10, m_sharePage);
    auto *textLayout = new QVBoxLayout(textPanel);
    textLayout->setContentsMargins(7, 7, 7, 7);
    m_text->setObjectName(QStringLiteral("inviteShareText"));
    m_text->setReadOnly(true);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setStyleSheet(QStringLiteral("background: transparent;"));
    m_text->setFont(Theme::font(Theme::TextStyle::callout));
    textLayout->addWidget(m_text);
    textPanel->setFixedHeight(110);
    share->addWidget(textPanel);
    auto *shareButtons = new QHBoxLayout;
    auto *copy = new QPushButton(QStringLiteral("复制完整邀请"), m_sharePage);
    copy->setObjectName(QStringLiteral("inviteCopyButton"));
    m_sms->setObjectName(QStringLiteral("inviteSmsButton"));
    Theme::makeProminent(m_sms);
    shareButtons->addWidget(copy);
    shareButtons->addWidget(m_sms);
    shareButtons->addStretch(1);
    share->addLayout(shareButtons);
    layout->addWidget(m_sharePage);

    m_message->setObjectName(QStringLiteral("inviteMessage"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setFont(Theme::font(Theme::TextStyle::caption));
    layout->addWidget(m_message);

    auto *done = new QPushButton(QStringLiteral("完成"), this);
    done->setObjectName(QStringLiteral("inviteDoneButton"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(done);
    layout->addLayout(bottom);

    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_generate, &QPushButton::clicked, this, [this] { createInvitation(); });
    connect(m_sms, &QPushButton::clicked, this, [this] { sendSMS(); });
    connect(copy, &QPushButton::clicked, this, &MacInviteMemberSheet::copyInvitation);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_fields.name = text;
        updateState();
    });
    connect(m_role, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        m_fields.role = text;
        updateState();
    });
    connect(m_phone, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString filtered = PeopleRules::filterPhone(text);
        if (filtered != text) {
            m_phone->setText(filtered); // comes back here once with the filtered text
            return;
        }
        m_fields.phone = filtered;
        updateState();
    });
    m_phone->setText(m_fields.phone);
    setMessage(m_fields.message);
    updateState();
}

QString MacInviteMemberSheet::shareText() const
{
    return PeopleRules::shareText(m_fields.name, m_fields.inviterName, m_fields.role, m_fields.project.name,
                                  m_fields.link);
}

void MacInviteMemberSheet::updateState()
{
    const bool created = !m_fields.link.isEmpty();
    m_name->setEnabled(!created && !m_fields.initialMember);
    m_role->setEnabled(!created && !m_fields.initialMember && !m_fields.field);
    if (m_shownStage != int(created)) {
        m_shownStage = int(created);
        m_generatePage->setVisible(!created);
        m_sharePage->setVisible(created);
        adjustSize();
    }
    m_generate->setText(m_fields.busy ? QStringLiteral("正在生成…") : QStringLiteral("生成注册邀请"));
    m_generate->setEnabled(!m_fields.busy && !TextRules::trimmed(m_fields.name).isEmpty());
    m_sms->setText(m_fields.busy ? QStringLiteral("正在发送…") : QStringLiteral("发送短信邀请"));
    m_sms->setEnabled(!m_fields.busy && PeopleRules::phoneSendable(m_fields.phone));
    if (created && m_text->toPlainText() != shareText()) {
        m_text->setPlainText(shareText());
    }
}

void MacInviteMemberSheet::setMessage(const QString &message)
{
    m_fields.message = message;
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    Theme::setTextColour(m_message, message.contains(QStringLiteral("失败")) ? Theme::Colour::red
                                                                             : Theme::Colour::green);
}

QCoro::Task<> MacInviteMemberSheet::createInvitation()
{
    QPointer<MacInviteMemberSheet> self(this);
    APIClient &client = m_fields.client ? *m_fields.client : APIClient::shared();
    // The callbacks run even when the sheet closes meanwhile.
    const auto onInvited = m_fields.onInvited;
    const auto onChanged = m_fields.onChanged;
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_fields.busy = true;
    updateState();
    const QString name = TextRules::trimmed(m_fields.name);
    // Whatever was typed goes along; the service judges the number.
    const std::optional<QString> phone =
        m_fields.phone.isEmpty() ? std::nullopt : std::optional(m_fields.phone);
    auto settling = settleRequest(client.createInvitation(m_fields.project.id, name, m_fields.role, phone,
                                                          m_fields.itemID, m_fields.field, std::nullopt));
    const auto outcome = co_await settling;
    const std::optional<InvitationResponse> &response = outcome.value;
    if (!response) {
        if (self) {
            setMessage(QStringLiteral("生成失败：") + outcome.failure);
            endBusy(focused);
        }
        co_return;
    }
    if (self) {
        m_fields.token = response->token;
        m_fields.link = response->link;
        setMessage(QStringLiteral("邀请已生成，可复制完整邀请或发送短信。"));
        updateState();
    }
    if (onInvited) {
        auto invited = onInvited(name);
        co_await invited;
    }
    if (onChanged) {
        auto changed = onChanged();
        co_await changed;
    }
    if (self) {
        endBusy(focused);
    }
}

QCoro::Task<> MacInviteMemberSheet::sendSMS()
{
    QPointer<MacInviteMemberSheet> self(this);
    APIClient &client = m_fields.client ? *m_fields.client : APIClient::shared();
    const auto onChanged = m_fields.onChanged;
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_fields.busy = true;
    updateState();
    auto settling = settleRequest(client.sendInvitationSMS(m_fields.token, m_fields.phone));
    const auto outcome = co_await settling;
    if (!outcome.value) {
        if (self) {
            setMessage(QStringLiteral("发送失败：") + outcome.failure);
            endBusy(focused);
        }
        co_return;
    }
    if (self) {
        setMessage(QStringLiteral("短信邀请已发送。"));
    }
    if (onChanged) {
        auto changed = onChanged();
        co_await changed;
    }
    if (self) {
        endBusy(focused);
    }
}

void MacInviteMemberSheet::endBusy(const QPointer<QWidget> &focused)
{
    m_fields.busy = false;
    updateState();
    FocusKeeper::restore(focused);
}

void MacInviteMemberSheet::copyInvitation()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(shareText());
    setMessage(QStringLiteral("完整邀请已复制。"));
}
