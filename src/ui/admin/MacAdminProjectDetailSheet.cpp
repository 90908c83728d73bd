#include "MacAdminProjectDetailSheet.h"

#include "MacAdminTable.h"
#include "api/APIClient.h"
#include "common/AsyncAction.h"
#include "common/LoadingFace.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QTableView *readOnlyList(MacAdminTableModel *model, const QString &objectName, int minimumWidth)
{
    QTableView *list = makeAdminTable(model, 54, nullptr);
    list->setObjectName(objectName);
    list->setMinimumWidth(minimumWidth);
    list->horizontalHeader()->setStretchLastSection(true);
    return list;
}

} // namespace

MacAdminProjectDetailSheet::MacAdminProjectDetailSheet(AdminProject project, APIClient &client,
                                                       QWidget *parent)
    : QDialog(parent)
    , m_project(std::move(project))
{
    setObjectName(QStringLiteral("adminProjectDetailSheet"));
    setWindowTitle(m_project.name);
    setWindowModality(Qt::WindowModal);
    setFixedSize(820, 650);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto *name = Theme::label(m_project.name, Theme::TextStyle::title2, QFont::Bold);
    name->setObjectName(QStringLiteral("adminDetailName"));
    titles->addWidget(name);
    auto *subtitle = Theme::label(QStringLiteral("平台协助查看模式 · 只读"), Theme::TextStyle::body,
                                  Theme::Colour::secondary);
    subtitle->setObjectName(QStringLiteral("adminDetailSubtitle"));
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    auto *close = new QPushButton(QStringLiteral("关闭"));
    close->setObjectName(QStringLiteral("adminDetailCloseButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    header->addWidget(close, 0, Qt::AlignTop);
    layout->addLayout(header);

    layout->addWidget(Theme::divider());

    auto *body = new QWidget;
    m_stack = new QStackedLayout(body);
    layout->addWidget(body, 1);

    m_loadingFace = new QWidget;
    m_loadingFace->setObjectName(QStringLiteral("adminDetailLoading"));
    fillLoadingFace(m_loadingFace, Theme::label(QStringLiteral("正在读取项目详情…"), Theme::TextStyle::body,
                                                Theme::Colour::secondary));
    m_stack->addWidget(m_loadingFace);

    m_listsFace = new QWidget;
    auto *lists = new QHBoxLayout(m_listsFace);
    lists->setContentsMargins(20, 16, 20, 20);
    lists->setSpacing(16);
    m_membersModel = new MacAdminTableModel(1, this);
    m_itemsModel = new MacAdminTableModel(1, this);
    m_members = readOnlyList(m_membersModel, QStringLiteral("adminDetailMembers"), 280);
    m_items = readOnlyList(m_itemsModel, QStringLiteral("adminDetailItems"), 430);
    lists->addWidget(m_members, 280);
    lists->addWidget(m_items, 430);
    m_stack->addWidget(m_listsFace);

    m_failedFace = new QWidget;
    m_failedFace->setObjectName(QStringLiteral("adminDetailFailed"));
    m_failedDescription = fillFailureFace(m_failedFace, QStringLiteral("项目读取失败"),
                                          QStringLiteral("exclamationmark.triangle"));
    m_failedDescription->setObjectName(QStringLiteral("adminDetailError"));
    m_stack->addWidget(m_failedFace);
    m_stack->setCurrentWidget(m_loadingFace);

    auto request = client.adminProject(m_project.id);
    AsyncAction::run(
        this, std::move(request),
        [this](AdminProjectDetailResponse detail) { showDetail(std::move(detail)); },
        [this](const QString &error) { fail(error); });
}

QString MacAdminProjectDetailSheet::memberLine(const ProjectMember &member)
{
    return member.role + QStringLiteral(" · ") +
           (member.accountId && !member.accountId->isEmpty() ? QStringLiteral("已注册")
                                                             : QStringLiteral("未注册"));
}

QString MacAdminProjectDetailSheet::itemTitleLine(const RundownItem &item)
{
    return QString::number(item.order) + QStringLiteral(". ") + TextRules::programTitle(item.title);
}

QString MacAdminProjectDetailSheet::itemDetailLine(const RundownItem &item)
{
    return (item.type.isEmpty() ? QStringLiteral("未分类") : item.type) + QStringLiteral(" · ") +
           (item.performers.isEmpty() ? QStringLiteral("表演者待定") : item.performers);
}

void MacAdminProjectDetailSheet::showDetail(AdminProjectDetailResponse detail)
{
    m_detail = std::move(detail);
    QList<AdminRow> members;
    for (const ProjectMember &member : std::as_const(m_detail->members)) {
        members.append({member.id, {AdminCell::twoLines(member.name, memberLine(member))}});
    }
    m_membersModel->setRows(std::move(members));
    QList<AdminRow> items;
    for (const RundownItem &item : std::as_const(m_detail->items)) {
        items.append({item.id, {AdminCell::twoLines(itemTitleLine(item), itemDetailLine(item))}});
    }
    m_itemsModel->setRows(std::move(items));
    m_stack->setCurrentWidget(m_listsFace);
    Q_EMIT loaded();
}

void MacAdminProjectDetailSheet::fail(const QString &error)
{
    m_error = error;
    m_failedDescription->setText(error);
    m_stack->setCurrentWidget(m_failedFace);
    Q_EMIT loaded();
}
