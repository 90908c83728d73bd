#include "MacMakeupBoard.h"

#include "common/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

MacMakeupBoard::MacMakeupBoard(MacProjectDataStore &store, ProjectDetailResponse detail, bool canManage,
                               QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_detail(std::move(detail))
    , m_canManage(canManage)
{
    setObjectName(QStringLiteral("makeupBoard"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(Theme::label(QStringLiteral("化妆排班"), Theme::TextStyle::title2, QFont::Bold));
    auto *counts = Theme::label(QStringLiteral("化妆师时段 %1 个 · 化妆预约 %2 个")
                                    .arg(m_detail.makeupShifts.size())
                                    .arg(m_detail.makeup.size()),
                                Theme::TextStyle::callout, Theme::Colour::secondary);
    counts->setObjectName(QStringLiteral("makeupBoardCounts"));
    layout->addWidget(counts);
}
