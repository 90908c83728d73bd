#include "LoginView.h"

#include "api/APIClient.h"
#include "common/AsyncAction.h"
#include "common/FocusKeeper.h"
#include "common/Theme.h"
#include "common/VersionLine.h"
#include "rules/TextRules.h"
#include "stores/AppStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace LoginRules {

bool canRequestCode(const QString &phone, bool busy)
{
    return !busy && TextRules::characterCount(phone) == phoneLength;
}

bool canSignIn(const QString &phone, const QString &code, bool busy)
{
    return canRequestCode(phone, busy) && TextRules::characterCount(code) == codeLength;
}

} // namespace LoginRules

namespace {

QLineEdit *makeField(const QString &placeholder, const QString &objectName, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setPlaceholderText(placeholder);
    field->setClearButtonEnabled(false);
    field->setMinimumHeight(30);
    return field;
}

} // namespace

LoginView::LoginView(AppStore &store, APIClient &client, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_client(client)
{
    auto *column = new QWidget(this);
    column->setMaximumWidth(440);
    column->setMinimumWidth(360);

    auto *badge = new QLabel(QStringLiteral("Q"), column);
    badge->setObjectName(QStringLiteral("loginBadge"));
    badge->setFixedSize(64, 64);
    badge->setAlignment(Qt::AlignCenter);
    QFont badgeFont = Theme::font(Theme::TextStyle::body, QFont::Bold);
    badgeFont.setPixelSize(34);
    badge->setFont(badgeFont);
    badge->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; border-radius: 18px; }")
                             .arg(Theme::gradientCss(Theme::Colour::indigo)));

    QLabel *title = Theme::label(QStringLiteral("Quillory"), Theme::TextStyle::largeTitle, QFont::Bold);
    title->setAlignment(Qt::AlignCenter);
    QLabel *subtitle = Theme::label(QStringLiteral("手机号是网页、电脑、iPhone 和 iPad 的唯一账号"),
                                    Theme::TextStyle::body, Theme::Colour::secondary);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setWordWrap(true);

    m_phone = makeField(QStringLiteral("手机号"), QStringLiteral("phoneField"), column);
    m_code = makeField(QStringLiteral("短信验证码"), QStringLiteral("codeField"), column);
    m_name = makeField(QStringLiteral("姓名（首次注册填写）"), QStringLiteral("nameField"), column);

    m_requestCode = new QPushButton(QStringLiteral("获取验证码"), column);
    m_requestCode->setObjectName(QStringLiteral("requestCodeButton"));
    m_requestCode->setMinimumHeight(30);
    auto *codeRow = new QHBoxLayout;
    codeRow->setSpacing(8);
    codeRow->addWidget(m_code, 1);
    codeRow->addWidget(m_requestCode);

    m_error = Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::red, column);
    m_error->setObjectName(QStringLiteral("loginError"));
    m_error->setWordWrap(true);
    m_error->setAlignment(Qt::AlignCenter);

    m_signIn = new QPushButton(QStringLiteral("登录 / 注册"), column);
    m_signIn->setObjectName(QStringLiteral("signInButton"));
    Theme::makeProminent(m_signIn, true);

    auto *columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(18);
    columnLayout->addWidget(badge, 0, Qt::AlignHCenter);
    columnLayout->addWidget(title);
    columnLayout->addWidget(subtitle);
    columnLayout->addWidget(m_phone);
    columnLayout->addLayout(codeRow);
    columnLayout->addWidget(m_name);
    columnLayout->addWidget(m_error);
    columnLayout->addWidget(m_signIn);
    columnLayout->addSpacing(4);
    columnLayout->addWidget(Shell::versionLineLabel(column));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->addStretch(1);
    layout->addWidget(column, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    for (QLineEdit *field : {m_phone, m_code, m_name}) {
        connect(field, &QLineEdit::textChanged, this, &LoginView::updateControls);
    }
    connect(m_requestCode, &QPushButton::clicked, this, [this] { requestCode(); });
    connect(m_signIn, &QPushButton::clicked, this, [this] { signIn(); });
    connect(&m_store, &AppStore::errorChanged, this, &LoginView::updateError);
    updateError();
    updateControls();
}

void LoginView::setBusy(bool busy)
{
    m_busy = busy;
    updateControls();
}

void LoginView::updateControls()
{
    m_requestCode->setText(m_sent ? QStringLiteral("已发送") : QStringLiteral("获取验证码"));
    m_requestCode->setEnabled(LoginRules::canRequestCode(m_phone->text(), m_busy));
    m_signIn->setEnabled(LoginRules::canSignIn(m_phone->text(), m_code->text(), m_busy));
}

void LoginView::updateError()
{
    m_error->setText(m_store.error());
    m_error->setVisible(!m_store.error().isEmpty());
}

QCoro::Task<> LoginView::requestCode()
{
    // The screen may be replaced while the request runs; only the guards below touch it afterwards.
    QPointer<LoginView> self(this);
    QPointer<AppStore> store(&m_store);
    APIClient *client = &m_client;
    const QString phone = m_phone->text();
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    setBusy(true);
    try {
        auto request = client->requestCode(phone);
        co_await request;
    } catch (...) {
        const QString message = AsyncAction::describeCurrentException();
        if (store) {
            store->setError(message);
        }
        if (self) {
            self->setBusy(false);
            FocusKeeper::restore(focused);
        }
        co_return;
    }
    if (self) {
        self->m_sent = true;
        self->setBusy(false);
        // The code is what the person types next.
        if (focused) {
            self->m_code->setFocus(Qt::OtherFocusReason);
        }
    }
}

QCoro::Task<> LoginView::signIn()
{
    QPointer<LoginView> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    setBusy(true);
    // Never throws; a successful sign-in replaces this screen.
    auto signingIn = m_store.signIn(m_phone->text(), m_code->text(), m_name->text());
    co_await signingIn;
    if (self) {
        self->setBusy(false);
        FocusKeeper::restore(focused);
    }
}
