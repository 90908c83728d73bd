#include "MacAdminView.h"

#include "common/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MacAdminView::MacAdminView(QString accountName, std::function<void()> onExit, QWidget *parent)
    : QWidget(parent)
    , m_onExit(std::move(onExit))
{
    setObjectName(QStringLiteral("adminView"));

    QLabel *name = Theme::label(accountName, Theme::TextStyle::headline);
    name->setObjectName(QStringLiteral("adminAccountName"));
    QLabel *caption =
        Theme::label(QStringLiteral("平台超级管理员"), Theme::TextStyle::caption, Theme::Colour::secondary);
    auto *exit = new QPushButton(QStringLiteral("返回演出协作台"), this);
    exit->setObjectName(QStringLiteral("exitAdminButton"));
    exit->setMinimumSize(exit->sizeHint() + QSize(20, 8));

    auto *identity = new QVBoxLayout;
    identity->setSpacing(2);
    identity->addWidget(name);
    identity->addWidget(caption);
    auto *header = new QHBoxLayout;
    header->addLayout(identity);
    header->addStretch(1);
    header->addWidget(exit);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->addLayout(header);
    layout->addStretch(1);

    connect(exit, &QPushButton::clicked, this, [this] {
        if (m_onExit) {
            m_onExit();
        }
    });
}
