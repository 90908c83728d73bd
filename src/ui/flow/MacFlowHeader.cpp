#include "MacFlowHeader.h"

#include "FlowPageState.h"
#include "common/AsyncAction.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

MacFlowHeader::MacFlowHeader(FlowPageState &state, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_search(new QLineEdit(this))
    , m_refresh(new QPushButton(QStringLiteral("刷新"), this))
    , m_structureArea(new QHBoxLayout)
    , m_liveArea(new QHBoxLayout)
{
    setObjectName(QStringLiteral("flowHeader"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(16);

    const ProjectSummary &project = m_state.project();
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto *name = Theme::label(project.name, Theme::TextStyle::title, QFont::Bold);
    name->setObjectName(QStringLiteral("flowProjectName"));
    name->setTextFormat(Qt::PlainText);
    titles->addWidget(name);
    auto *date =
        Theme::label(dateLine(project.eventDate, project.startTime, project.venue.value_or(QString())),
                     Theme::TextStyle::callout, Theme::Colour::secondary);
    date->setObjectName(QStringLiteral("flowProjectDateLine"));
    date->setTextFormat(Qt::PlainText);
    titles->addWidget(date);
    row->addLayout(titles);
    row->addStretch(1);

    m_search->setObjectName(QStringLiteral("flowSearchField"));
    m_search->setPlaceholderText(QStringLiteral("搜索节目、演员、负责人"));
    m_search->setFixedWidth(260);
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, &m_state, &FlowPageState::setQuery);
    row->addWidget(m_search);

    m_refresh->setObjectName(QStringLiteral("flowRefreshButton"));
    m_refresh->setIcon(Theme::icon(QStringLiteral("arrow.clockwise")));
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        FlowPageState *s = &m_state;
        AsyncAction::run(
            s, s->reload(false), [] {}, [](const QString &) {});
    });
    row->addWidget(m_refresh);

    // --- Areas filled by the header commands (structure commands, freeze, live buttons) ---
    m_structureArea->setObjectName(QStringLiteral("flowHeaderStructureArea"));
    m_structureArea->setSpacing(16);
    m_structureArea->setContentsMargins(0, 0, 0, 0);
    row->addLayout(m_structureArea);
    m_liveArea->setObjectName(QStringLiteral("flowHeaderLiveArea"));
    m_liveArea->setSpacing(16);
    m_liveArea->setContentsMargins(0, 0, 0, 0);
    row->addLayout(m_liveArea);
}

QString MacFlowHeader::dateLine(const QString &eventDate, const QString &startTime, const QString &venue)
{
    QStringList parts;
    for (const QString &part : {eventDate, startTime, venue}) {
        if (!part.isEmpty()) {
            parts.append(part);
        }
    }
    return parts.join(QStringLiteral(" · "));
}
