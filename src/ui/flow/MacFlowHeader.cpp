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
    , m_topRow(new QHBoxLayout)
    , m_secondRow(new QHBoxLayout)
    , m_commands(new QWidget(this))
    , m_search(new QLineEdit(this))
    , m_refresh(new QPushButton(QStringLiteral("刷新"), this))
    , m_structureArea(new QHBoxLayout)
    , m_liveArea(new QHBoxLayout)
{
    setObjectName(QStringLiteral("flowHeader"));
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(20, 20, 20, 20);
    rows->setSpacing(12);
    m_topRow->setSpacing(16);
    m_secondRow->setSpacing(16);
    m_secondRow->addStretch(1);
    rows->addLayout(m_topRow);
    rows->addLayout(m_secondRow);

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
    m_topRow->addLayout(titles);
    m_topRow->addStretch(1);

    m_search->setObjectName(QStringLiteral("flowSearchField"));
    m_search->setPlaceholderText(QStringLiteral("搜索节目、演员、负责人"));
    m_search->setFixedWidth(260);
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, &m_state, &FlowPageState::setQuery);
    m_topRow->addWidget(m_search);

    m_refresh->setObjectName(QStringLiteral("flowRefreshButton"));
    m_refresh->setIcon(Theme::icon(QStringLiteral("arrow.clockwise")));
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        FlowPageState *s = &m_state;
        AsyncAction::run(
            s, s->reload(false), [] {}, [](const QString &) {});
    });
    m_topRow->addWidget(m_refresh);

    // --- Areas filled by the header commands (structure commands, freeze, live buttons) ---
    auto *commands = new QHBoxLayout(m_commands);
    commands->setContentsMargins(0, 0, 0, 0);
    commands->setSpacing(16);
    m_structureArea->setObjectName(QStringLiteral("flowHeaderStructureArea"));
    m_structureArea->setSpacing(16);
    m_structureArea->setContentsMargins(0, 0, 0, 0);
    commands->addLayout(m_structureArea);
    m_liveArea->setObjectName(QStringLiteral("flowHeaderLiveArea"));
    m_liveArea->setSpacing(16);
    m_liveArea->setContentsMargins(0, 0, 0, 0);
    commands->addLayout(m_liveArea);
    m_commands->setObjectName(QStringLiteral("flowHeaderCommands"));
    m_topRow->addWidget(m_commands);
    placeCommands();
}

bool MacFlowHeader::commandsOnSecondRow() const
{
    return m_secondRow->indexOf(m_commands) >= 0;
}

void MacFlowHeader::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeCommands();
}

bool MacFlowHeader::event(QEvent *event)
{
    // Buttons added to the areas, or shown and hidden, change the room the commands need.
    if (event->type() == QEvent::LayoutRequest) {
        placeCommands();
    }
    return QWidget::event(event);
}

void MacFlowHeader::placeCommands()
{
    const bool empty = m_structureArea->count() == 0 && m_liveArea->count() == 0;
    m_commands->setVisible(!empty);
    int needed = 40 + m_search->width() + m_refresh->sizeHint().width() + 16 * 3;
    needed += m_topRow->itemAt(0)->sizeHint().width() + 16;
    needed += m_commands->sizeHint().width();
    const bool second = !empty && needed > width();
    if (second == commandsOnSecondRow()) {
        return;
    }
    if (second) {
        m_topRow->removeWidget(m_commands);
        m_secondRow->addWidget(m_commands);
    } else {
        m_secondRow->removeWidget(m_commands);
        m_topRow->addWidget(m_commands);
    }
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
