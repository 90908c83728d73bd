#include "MacReadinessSummary.h"

#include "FlowRules.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

MacReadinessSummary::MacReadinessSummary(QWidget *parent)
    : QWidget(parent)
    , m_filter(FlowRules::allStatuses)
    , m_progress(new QProgressBar(this))
    , m_percentage(
          Theme::label(QString(), Theme::TextStyle::caption, QFont::Bold, Theme::Colour::secondary, this))
{
    setObjectName(QStringLiteral("flowReadinessSummary"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#flowReadinessSummary { background: %1; }")
                      .arg(Theme::css(Theme::Colour::secondary, 0.035)));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 8, 20, 8);
    layout->setSpacing(8);

    struct Spec
    {
        const char *title;
        const char *name;
        Theme::Colour colour;
    };
    static const Spec specs[] = {
        {"全部", "readinessFilterAll", Theme::Colour::indigo},
        {"待完善", "readinessFilterIncomplete", Theme::Colour::red},
        {"准备中", "readinessFilterPreparing", Theme::Colour::orange},
        {"已就绪", "readinessFilterReady", Theme::Colour::green},
    };
    for (const Spec &spec : specs) {
        auto *button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(spec.name));
        button->setCursor(Qt::PointingHandCursor);
        button->setFlat(true);
        const QString title = QString::fromUtf8(spec.title);
        connect(button, &QPushButton::clicked, this, [this, title] { Q_EMIT filterChosen(title); });
        layout->addWidget(button);
        m_buttons.append(FilterButton{title, button, Theme::colour(spec.colour)});
    }
    layout->addStretch(1);
    m_progress->setObjectName(QStringLiteral("readinessProgress"));
    m_progress->setFixedWidth(150);
    m_progress->setFixedHeight(6);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    m_percentage->setObjectName(QStringLiteral("readinessPercentage"));
    layout->addWidget(m_percentage);
    setCounts({});
    restyle();
}

void MacReadinessSummary::setCounts(const FlowRules::ReadinessCounts &counts)
{
    const int values[] = {counts.total, counts.incomplete, counts.preparing, counts.ready};
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        // Rich text: the count in a smaller bold face after the title.
        m_buttons[i].button->setText(QStringLiteral("%1  %2").arg(m_buttons[i].title).arg(values[i]));
    }
    // A progress bar repaints the whole window at once on a new value, in the middle of a
    // reload; with its updates off it only schedules the next paint like every other widget.
    m_progress->setUpdatesEnabled(false);
    m_progress->setRange(0, std::max(counts.total, 1));
    m_progress->setValue(counts.ready);
    m_progress->setUpdatesEnabled(true);
    m_percentage->setText(
        QStringLiteral("准备度 %1%").arg(FlowRules::readinessPercentage(counts.ready, counts.total)));
}

QString MacReadinessSummary::percentageText() const
{
    return m_percentage->text();
}

void MacReadinessSummary::setFilter(const QString &filter)
{
    if (m_filter == filter) {
        return;
    }
    m_filter = filter;
    restyle();
}

void MacReadinessSummary::restyle()
{
    for (const FilterButton &b : std::as_const(m_buttons)) {
        const bool active = b.title == m_filter;
        const QColor text = active ? b.colour : Theme::colour(Theme::Colour::secondary);
        QColor fill = b.colour;
        fill.setAlphaF(0.14);
        b.button->setChecked(active);
        b.button->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; background: %2; border: none;"
                           " border-radius: 12px; padding: 4px 12px; }")
                .arg(Theme::css(text), active ? Theme::css(fill) : QStringLiteral("transparent")));
    }
}
