#include "CreateProjectSheet.h"

#include "common/AsyncAction.h"
#include "common/FocusKeeper.h"
#include "common/SheetWidth.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CreateProjectSheet::CreateProjectSheet(CreateAction onCreate, QWidget *parent)
    : QDialog(parent)
    , m_onCreate(std::move(onCreate))
{
    setObjectName(QStringLiteral("createProjectSheet"));
    setWindowTitle(QStringLiteral("创建新演出"));
    fixSheetWidth(this, 520);

    auto *badge = new QLabel(QStringLiteral("演"), this);
    badge->setFixedSize(52, 52);
    badge->setAlignment(Qt::AlignCenter);
    badge->setFont(Theme::font(Theme::TextStyle::title, QFont::Bold));
    badge->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; border-radius: 12px; }")
                             .arg(Theme::gradientCss(Theme::Colour::indigo)));
    QLabel *title = Theme::label(QStringLiteral("创建新演出"), Theme::TextStyle::title2, QFont::Bold);
    QLabel *subtitle = Theme::label(QStringLiteral("输入演出名称即可开始，其他信息可以稍后完善。 "),
                                    Theme::TextStyle::body, Theme::Colour::secondary);
    auto *headerText = new QVBoxLayout;
    headerText->setSpacing(4);
    headerText->addWidget(title);
    headerText->addWidget(subtitle);
    auto *header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(badge);
    header->addLayout(headerText, 1);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("projectNameField"));
    m_name->setPlaceholderText(QStringLiteral("演出名称，例如：2026 新年音乐会"));
    m_name->setMinimumHeight(30);

    auto *schedule = new QGroupBox(QStringLiteral("演出安排（选填）"), this);
    m_eventDate = new QLineEdit(schedule);
    m_eventDate->setObjectName(QStringLiteral("eventDateField"));
    m_eventDate->setPlaceholderText(QStringLiteral("日期：YYYY-MM-DD"));
    m_startTime = new QLineEdit(schedule);
    m_startTime->setObjectName(QStringLiteral("startTimeField"));
    m_startTime->setPlaceholderText(QStringLiteral("时间：HH:mm"));
    m_startTime->setFixedWidth(150);
    auto *scheduleRow = new QHBoxLayout(schedule);
    scheduleRow->setSpacing(8);
    scheduleRow->addWidget(m_eventDate, 1);
    scheduleRow->addWidget(m_startTime);

    m_errorLabel = Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::red, this);
    m_errorLabel->setObjectName(QStringLiteral("createProjectError"));
    m_errorLabel->setWordWrap(true);

    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    m_create = new QPushButton(QStringLiteral("创建并进入流程表"), this);
    m_create->setObjectName(QStringLiteral("createButton"));
    m_create->setAutoDefault(false);
    Theme::makeProminent(m_create);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_create);

    QLabel *note = Theme::label(QStringLiteral("创建后会自动生成第一条空白节目"), Theme::TextStyle::caption,
                                Theme::Colour::secondary);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 26, 26, 26);
    layout->setSpacing(18);
    layout->addLayout(header);
    layout->addWidget(m_name);
    layout->addWidget(schedule);
    layout->addWidget(m_errorLabel);
    layout->addLayout(buttons);
    layout->addWidget(note);

    connect(m_name, &QLineEdit::textChanged, this, &CreateProjectSheet::updateControls);
    // Cancelling never stops a creation under way; its result simply no longer reaches this sheet.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_create, &QPushButton::clicked, this, [this] { create(); });
    updateControls();
}

bool CreateProjectSheet::canCreate(const QString &name, bool busy)
{
    return !busy && !TextRules::trimmed(name).isEmpty();
}

void CreateProjectSheet::updateControls()
{
    m_create->setText(m_busy ? QStringLiteral("正在创建…") : QStringLiteral("创建并进入流程表"));
    m_create->setEnabled(canCreate(m_name->text(), m_busy));
    m_errorLabel->setText(m_error);
    m_errorLabel->setVisible(!m_error.isEmpty());
}

void CreateProjectSheet::create()
{
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_busy = true;
    updateControls();
    // A sheet closed meanwhile hears nothing back; the creation itself runs on.
    AsyncAction::run(
        this, m_onCreate(TextRules::trimmed(m_name->text()), m_eventDate->text(), m_startTime->text()),
        [this] {
            accept();
            m_busy = false;
            updateControls();
        },
        [this, focused](const QString &message) {
            m_error = message;
            m_busy = false;
            updateControls();
            FocusKeeper::restore(focused);
        });
}
