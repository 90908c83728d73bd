#include "MacOperationsRiskBoard.h"

#include "WorkItemsRules.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

MacOperationsRiskBoard::MacOperationsRiskBoard(WorkItemsSnapshot workItems, QWidget *parent)
    : QWidget(parent)
    , m_workItems(std::move(workItems))
{
    setObjectName(QStringLiteral("riskBoard"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);

    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(Theme::label(QStringLiteral("导演待处理"), Theme::TextStyle::caption, QFont::Bold,
                                   Theme::Colour::orange, this));
    titles->addWidget(Theme::label(QStringLiteral("现场异常看板"), Theme::TextStyle::title2, QFont::Bold,
                                   Theme::Colour::primary, this));
    titles->addWidget(Theme::label(QStringLiteral("统一任务投影"), Theme::TextStyle::caption2,
                                   Theme::Colour::secondary, this));
    column->addLayout(titles);

    const WorkItemRules::RiskCounts counts = WorkItemRules::riskCounts(m_workItems.items);
    auto *tiles = new QHBoxLayout;
    tiles->setSpacing(12);
    tiles->addWidget(risk(QStringLiteral("未到场"), counts.checkinAttention,
                          Theme::colour(Theme::Colour::red), QStringLiteral("checkin")),
                     1);
    tiles->addWidget(risk(QStringLiteral("化妆待处理"), counts.makeup, Theme::colour(Theme::Colour::pink),
                          QStringLiteral("makeup")),
                     1);
    tiles->addWidget(risk(QStringLiteral("节目缺信息"), counts.rundown, Theme::colour(Theme::Colour::orange),
                          QStringLiteral("rundown")),
                     1);
    tiles->addWidget(risk(QStringLiteral("公告未确认"), counts.notice, Theme::colour(Theme::Colour::purple),
                          QStringLiteral("notice")),
                     1);
    column->addLayout(tiles);
}

QWidget *MacOperationsRiskBoard::risk(const QString &label, qsizetype count, const QColor &color,
                                      const QString &name)
{
    auto *tile = new TintedPanel(Theme::colour(Theme::Colour::windowBackground), 11, this);
    tile->setObjectName(QStringLiteral("riskTile_") + name);
    auto *row = new QHBoxLayout(tile);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(6);
    auto *number = Theme::label(QString::number(count), Theme::TextStyle::title, QFont::Bold,
                                Theme::Colour::primary, tile);
    number->setObjectName(QStringLiteral("riskCount_") + name);
    Theme::setTextColour(number, color);
    row->addWidget(number, 0, Qt::AlignVCenter);
    auto *text = Theme::label(label, Theme::TextStyle::caption, Theme::Colour::secondary, tile);
    text->setObjectName(QStringLiteral("riskLabel_") + name);
    // Narrow windows wrap the label instead of widening the board.
    text->setWordWrap(true);
    row->addWidget(text, 1, Qt::AlignVCenter);
    return tile;
}

void MacOperationsRiskBoard::paintEvent(QPaintEvent *)
{
    paintRoundedFill(this, Theme::colour(Theme::Colour::orange, 0.06), 14);
}
