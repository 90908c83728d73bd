#include "MacInviteMemberSheet.h"

#include "common/Theme.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MacInviteMemberSheet::MacInviteMemberSheet(Fields fields, QWidget *parent)
    : QDialog(parent)
    , m_fields(std::move(fields))
{
    setObjectName(QStringLiteral("inviteMemberSheet"));
    setWindowTitle(QStringLiteral("邀请成员"));
    setWindowModality(Qt::WindowModal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(10);
    layout->addWidget(Theme::label(QStringLiteral("邀请成员"), Theme::TextStyle::title2, QFont::Bold));
    const QString who = m_fields.name.isEmpty() ? QStringLiteral("新成员") : m_fields.name;
    auto *summary = Theme::label(QStringLiteral("%1 · %2").arg(who, m_fields.role), Theme::TextStyle::body);
    summary->setObjectName(QStringLiteral("inviteSummary"));
    layout->addWidget(summary);
    layout->addWidget(Theme::label(QStringLiteral("邀请人：%1").arg(m_fields.inviterName),
                                   Theme::TextStyle::callout, Theme::Colour::secondary));
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("inviteCloseButton"));
    layout->addWidget(close, 0, Qt::AlignRight);
    setMinimumWidth(420);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}
