#include "MacAdminProjectsPage.h"

#include "MacAdminTransferPicker.h"
#include "MacAdminWidgets.h"
#include "common/ElidedLabel.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int projectCardMinimumWidth = 360;
constexpr int projectGridSpacing = 14;

// The small figure of a project card.
QWidget *projectMetric(const QString &title, const QString &value, QWidget *parent = nullptr)
{
    auto *cell = new QWidget(parent);
    cell->setObjectName(QStringLiteral("adminProjectMetric"));
    cell->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    column->addWidget(Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary));
    auto *valueLabel = new ElidedLabel(value, cell);
    valueLabel->setTextFormat(Qt::PlainText);
    Theme::setTextStyle(valueLabel, Theme::TextStyle::callout, QFont::Bold);
    valueLabel->setObjectName(QStringLiteral("adminProjectMetricValue"));
    valueLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    valueLabel->setToolTip(value);
    column->addWidget(valueLabel);
    return cell;
}

} // namespace

MacAdminProjectsPage::MacAdminProjectsPage(std::function<QList<AdminUser>()> users, QWidget *parent)
    : QScrollArea(parent)
    , m_users(std::move(users))
{
    auto *host = new QWidget;
    m_grid = new QGridLayout(host);
    m_grid->setContentsMargins(20, 20, 20, 20);
    m_grid->setHorizontalSpacing(projectGridSpacing);
    m_grid->setVerticalSpacing(projectGridSpacing);
    m_grid->setAlignment(Qt::AlignTop);
    MacAdminWidgets::setUpScrollArea(this, host, QStringLiteral("adminProjectsPage"));
    viewport()->installEventFilter(this);
}

void MacAdminProjectsPage::showProjects(const QList<AdminProject> &projects, const QString &query)
{
    const int scrollValue = verticalScrollBar()->value();
    MacAdminWidgets::clearLayout(m_grid);
    const int columns = fittingColumns();
    m_shownColumns = columns;
    for (int c = 0; c < 8; ++c) {
        m_grid->setColumnStretch(c, c < columns ? 1 : 0);
    }
    const QList<AdminProject> shown = MacAdminRules::shownProjects(projects, query);
    for (int i = 0; i < shown.size(); ++i) {
        const AdminProject &project = shown.at(i);
        TintedPanel *card = MacAdminWidgets::panel(QStringLiteral("adminProjectCard"),
                                                   Theme::colour(Theme::Colour::secondary, 0.045), 14);
        card->setProperty("projectId", project.id);
        card->setMinimumWidth(projectCardMinimumWidth - 40);
        auto *column = new QVBoxLayout(card);
        column->setContentsMargins(16, 16, 16, 16);
        column->setSpacing(12);

        auto *header = new QHBoxLayout;
        auto *status =
            Theme::label(project.status, Theme::TextStyle::caption, QFont::Bold, Theme::Colour::indigo);
        status->setObjectName(QStringLiteral("adminProjectStatus"));
        header->addWidget(status);
        header->addStretch(1);
        auto *details = new QPushButton(QStringLiteral("查看详情"));
        details->setObjectName(QStringLiteral("adminProjectDetails_") + project.id);
        connect(details, &QPushButton::clicked, this, [this, project] { Q_EMIT detailsRequested(project); });
        header->addWidget(details);
        column->addLayout(header);

        auto *name =
            Theme::label(project.name, Theme::TextStyle::title3, QFont::Bold, Theme::Colour::primary);
        name->setObjectName(QStringLiteral("adminProjectName"));
        name->setWordWrap(true);
        column->addWidget(name);
        auto *date = Theme::label(MacAdminRules::projectDateLine(project), Theme::TextStyle::body,
                                  Theme::Colour::secondary);
        date->setObjectName(QStringLiteral("adminProjectDate"));
        column->addWidget(date);

        auto *metrics = new QHBoxLayout;
        metrics->addWidget(
            projectMetric(QStringLiteral("创建人"), project.ownerName.value_or(QStringLiteral("未知"))));
        metrics->addWidget(projectMetric(QStringLiteral("成员"), MacAdminRules::number(project.memberCount)));
        metrics->addWidget(projectMetric(QStringLiteral("节目"), MacAdminRules::number(project.itemCount)));
        metrics->addWidget(projectMetric(QStringLiteral("素材"), MacAdminRules::projectAssetsText(project)));
        column->addLayout(metrics);

        auto *statusButton = new QPushButton(QStringLiteral("调整项目状态"));
        statusButton->setObjectName(QStringLiteral("adminProjectStatusMenu_") + project.id);
        auto *statusMenu = new QMenu(statusButton);
        statusMenu->setObjectName(QStringLiteral("adminProjectStatusEntries"));
        for (const QString &entry : MacAdminRules::projectStatuses()) {
            QAction *action = statusMenu->addAction(entry);
            connect(action, &QAction::triggered, this, [this, project, entry] {
                if (entry != project.status) {
                    Q_EMIT proposed({MacAdminPendingAction::Project{project, entry}});
                }
            });
        }
        statusButton->setMenu(statusMenu);
        column->addWidget(statusButton);

        auto *transferButton = new QPushButton(QStringLiteral("移交项目"));
        transferButton->setObjectName(QStringLiteral("adminProjectTransferMenu_") + project.id);
        connect(transferButton, &QPushButton::clicked, this, [this, transferButton, project] {
            auto *picker = new MacAdminTransferPicker(
                MacAdminRules::transferCandidates(m_users(), project),
                [this, project](const AdminUser &user) {
                    Q_EMIT proposed({MacAdminPendingAction::Transfer{project, user}});
                },
                this);
            picker->popup(transferButton);
        });
        column->addWidget(transferButton);

        m_grid->addWidget(card, i / columns, i % columns);
    }
    verticalScrollBar()->setValue(scrollValue);
}

int MacAdminProjectsPage::fittingColumns() const
{
    const int width = viewport()->width() - 40;
    return std::max(1, (width + projectGridSpacing) / (projectCardMinimumWidth + projectGridSpacing));
}

bool MacAdminProjectsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == viewport() && fittingColumns() != m_shownColumns) {
        Q_EMIT columnsChanged();
    }
    return QScrollArea::eventFilter(watched, event);
}
