#include "PageStateStack.h"

#include "common/LoadingFace.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"

#include <QLabel>
#include <QStackedLayout>

PageStateStack::PageStateStack(QString loadingLabel, QString emptyTitle, QString emptySymbol,
                               QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_stack(new QStackedLayout(this))
    , m_loading(new QWidget(this))
    , m_content(content)
    , m_empty(new QWidget(this))
    , m_banner(new MacErrorBanner(QString()))
{
    m_loading->setObjectName(QStringLiteral("pageLoading"));
    auto *label = Theme::label(loadingLabel, Theme::TextStyle::body, Theme::Colour::secondary, m_loading);
    label->setObjectName(QStringLiteral("pageLoadingLabel"));
    fillLoadingFace(m_loading, label);

    m_empty->setObjectName(QStringLiteral("pageEmpty"));
    // The service's error goes here verbatim, never as rich text.
    m_emptyDescription = fillFailureFace(m_empty, emptyTitle, emptySymbol);
    m_emptyDescription->setObjectName(QStringLiteral("pageEmptyDescription"));

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
