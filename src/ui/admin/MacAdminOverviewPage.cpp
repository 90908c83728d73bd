#include "MacAdminOverviewPage.h"

#include "MacAdminRules.h"
#include "MacAdminWidgets.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using MacAdminWidgets::adminMetric;
using MacAdminWidgets::panel;
using MacAdminWidgets::unavailable;

MacAdminOverviewPage::MacAdminOverviewPage(QWidget *parent)
    : QScrollArea(parent)
{
    auto *host = new QWidget;
    m_layout = new QVBoxLayout(host);
    m_layout->setContentsMargins(0, 0, 0, 0);
    MacAdminWidgets::setUpScrollArea(this, host, QStringLiteral("adminOverviewPage"));
}

void MacAdminOverviewPage::showOverview(const std::optional<AdminOverview> &overview)
{
    if (m_content) {
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = new QWidget;
    m_layout->addWidget(m_content);
    auto *column = new QVBoxLayout(m_content);
    if (!overview) {
        column->addWidget(unavailable(QStringLiteral("暂无总览数据"), QStringLiteral("chart.bar"),
                                      QStringLiteral("adminOverviewEmpty")));
        return;
    }
    const AdminOverview &o = *overview;
    using MacAdminRules::number;
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);
    auto *metrics = new QHBoxLayout;
    metrics->setSpacing(12);
    const bool smsFine = o.smsFailures < 1;
    metrics->addWidget(adminMetric(QStringLiteral("注册用户"), number(o.users),
                                   number(o.activeUsers) + QStringLiteral(" 个正常账号"),
                                   Theme::Colour::indigo));
    metrics->addWidget(adminMetric(QStringLiteral("演出项目"), number(o.projects),
                                   number(o.activeProjects) + QStringLiteral(" 个未归档"),
                                   Theme::Colour::blue));
    metrics->addWidget(adminMetric(QStringLiteral("素材文件"), number(o.assets),
                                   MacAdminRules::bytes(o.assetBytes), Theme::Colour::purple));
    metrics->addWidget(adminMetric(QStringLiteral("待接受邀请"), number(o.pendingInvites),
                                   QStringLiteral("尚未完成入驻"), Theme::Colour::orange));
    metrics->addWidget(adminMetric(QStringLiteral("短信失败"), number(o.smsFailures),
                                   o.smsConfigured == false ? QStringLiteral("短信服务尚未配置")
                                                            : QStringLiteral("需要人工关注"),
                                   smsFine ? Theme::Colour::green : Theme::Colour::red));
    column->addLayout(metrics);

    TintedPanel *intro = panel(QStringLiteral("adminIntro"), Theme::colour(Theme::Colour::indigo, 0.06), 14);
    auto *introRow = new QHBoxLayout(intro);
    introRow->setContentsMargins(20, 20, 20, 20);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(Theme::label(QStringLiteral("平台运行入口"), Theme::TextStyle::caption, QFont::Bold,
                                  Theme::Colour::indigo));
    texts->addWidget(Theme::label(QStringLiteral("先看全局，再处理异常"), Theme::TextStyle::title2,
                                  QFont::Bold, Theme::Colour::primary));
    auto *body =
        Theme::label(QStringLiteral("用户、项目、素材和短信情况统一汇总。所有后台修改均写入审计记录。 "),
                     Theme::TextStyle::body, Theme::Colour::secondary);
    body->setWordWrap(true);
    texts->addWidget(body);
    introRow->addLayout(texts, 1);
    auto *status = new QHBoxLayout;
    status->setSpacing(6);
    const Theme::Colour tint = smsFine ? Theme::Colour::green : Theme::Colour::orange;
    auto *icon = new QLabel;
    icon->setPixmap(Theme::symbolPixmap(smsFine ? QStringLiteral("checkmark.circle.fill")
                                                : QStringLiteral("exclamationmark.triangle.fill"),
                                        18, Theme::colour(tint)));
    status->addWidget(icon);
    auto *statusText = Theme::label(smsFine ? QStringLiteral("当前无短信异常")
                                            : number(o.smsFailures) + QStringLiteral(" 条短信异常待处理"),
                                    Theme::TextStyle::headline, tint);
    statusText->setObjectName(QStringLiteral("adminSmsStatus"));
    status->addWidget(statusText);
    introRow->addLayout(status);
    column->addWidget(intro);
    column->addStretch(1);
}
