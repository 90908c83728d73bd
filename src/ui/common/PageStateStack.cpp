#include "PageStateStack.h"

#include "common/LoadingFace.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"

#include <QLabel>
#include <QStackedLayout>
#include <QVBoxLayout>

PageStateStack::PageStateStack(QString loadingLabel, QString emptyTitle, QString emptySymbol,
                               QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_stack(new QStackedLayout(this))
    , m_loading(new QWidget(this))
    , m_content(content)
    , m_empty(new QWidget(this))
    , m_emptyDescription(Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::secondary))
    , m_banner(new MacErrorBanner(QString()))
{
    m_loading->setObjectName(QStringLiteral("pageLoading"));
    auto *label = Theme::label(loadingLabel, Theme::TextStyle::body, Theme::Colour::secondary, m_loading);
    label->setObjectName(QStringLiteral("pageLoadingLabel"));
    fillLoadingFace(m_loading, label);

    m_empty->setObjectName(QStringLiteral("pageEmpty"));
    auto *emptyLayout = new QVBoxLayout(m_empty);
    emptyLayout->setSpacing(10);
    emptyLayout->addStretch();
    auto *symbol = new QLabel(m_empty);
    symbol->setPixmap(Theme::symbolPixmap(emptySymbol, 44, Theme::colour(Theme::Colour::secondary)));
    emptyLayout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto *title =
        Theme::label(emptyTitle, Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, m_empty);
    title->setObjectName(QStringLiteral("pageEmptyTitle"));
    emptyLayout->addWidget(title, 0, Qt::AlignHCenter);
    // The service's error goes here verbatim, never as rich text.
    m_emptyDescription->setParent(m_empty);
    m_emptyDescription->setObjectName(QStringLiteral("pageEmptyDescription"));
    m_emptyDescription->setTextFormat(Qt::PlainText);
    m_emptyDescription->setWordWrap(true);
    m_emptyDescription->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(m_emptyDescription);
    emptyLayout->addStretch();

    m_stack->addWidget(m_loading);
    m_stack->addWidget(m_content);
    m_stack->addWidget(m_empty);
    m_banner->attachToBottom(this);
    showState(false, false, QString());
}

void PageStateStack::showState(bool isLoading, bool hasContent, const QString &emptyDescription)
{
    if (hasContent) {
        m_state = State::content;
    } else if (isLoading) {
        m_state = State::loading;
    } else {
        m_state = State::empty;
    }
    m_emptyDescription->setText(emptyDescription);
    m_emptyDescription->setVisible(!emptyDescription.isEmpty());
    switch (m_state) {
    case State::loading:
        m_stack->setCurrentWidget(m_loading);
        break;
    case State::content:
        m_stack->setCurrentWidget(m_content);
        break;
    case State::empty:
        m_stack->setCurrentWidget(m_empty);
        break;
    }
    m_banner->raise();
}

void PageStateStack::setBannerMessage(const QString &message)
{
    m_banner->setMessage(message);
    m_banner->raise();
}
