#include "StartupUnavailableView.h"

#include "common/Theme.h"
#include "common/VersionLine.h"
#include "stores/AppStore.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

StartupUnavailableView::StartupUnavailableView(AppStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    auto *symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("unavailableSymbol"));
    symbol->setPixmap(Theme::symbolPixmap(QStringLiteral("wifi.exclamationmark"), 38,
                                          Theme::colour(Theme::Colour::orange)));
    symbol->setAlignment(Qt::AlignCenter);

    QLabel *title =
        Theme::label(QStringLiteral("暂时无法进入Quillory"), Theme::TextStyle::title2, QFont::Bold);
    title->setObjectName(QStringLiteral("unavailableTitle"));
    title->setAlignment(Qt::AlignCenter);

    m_message = Theme::label(QString(), Theme::TextStyle::callout, Theme::Colour::secondary);
    m_message->setObjectName(QStringLiteral("unavailableMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    // A fixed width lets the wrapped text take the height it needs; the lines stay centred in it.
    m_message->setFixedWidth(420);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *retry = new QPushButton(QStringLiteral("重试"), this);
    retry->setObjectName(QStringLiteral("retryButton"));
    Theme::makeProminent(retry);
    auto *quit = new QPushButton(QStringLiteral("退出"), this);
    quit->setObjectName(QStringLiteral("quitButton"));
    for (QPushButton *button : {retry, quit}) {
        button->setMinimumSize(76, 30);
    }

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    buttons->addWidget(retry);
    buttons->addWidget(quit);
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(16);
    layout->addStretch(1);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(m_message, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->addSpacing(4);
    layout->addWidget(Shell::versionLineLabel(), 0, Qt::AlignHCenter);
    layout->addStretch(1);

    connect(retry, &QPushButton::clicked, this, [this] { m_store.bootstrap(); });
    connect(quit, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
    connect(&m_store, &AppStore::errorChanged, this, &StartupUnavailableView::updateMessage);
    updateMessage();
}

void StartupUnavailableView::updateMessage()
{
    m_message->setText(m_store.error());
    // A centred item is laid out by its size hint, which guesses the wrapping; give it the real height.
    m_message->setFixedHeight(m_message->heightForWidth(m_message->width()));
}
