#include "MacOperationsEditor.h"

#include "OperationsRules.h"
#include "common/FocusKeeper.h"
#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

QLineEdit *field(const QString &name, const QString &value, const QString &objectName, QWidget *parent)
{
    auto *edit = new QLineEdit(value, parent);
    edit->setObjectName(objectName);
    edit->setPlaceholderText(name);
    edit->setClearButtonEnabled(false);
    edit->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 6px; padding: 4px 8px;"
                       " background: %2; }")
            .arg(Theme::css(Theme::Colour::separator), Theme::css(Theme::Colour::controlBackground)));
    return edit;
}

QString prominentStyle()
{
    return Theme::filledButtonStyle(Theme::Colour::accent, 6, 5, 14);
}

} // namespace

MacOperationsEditor::MacOperationsEditor(MacProjectDataStore &store, const ProjectOperations &current,
                                         QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_loaded(current)
    , m_assemblyTime(
          field(QStringLiteral("集合时间"), current.assemblyTime, QStringLiteral("assemblyTimeField"), this))
    , m_checkinLocation(field(QStringLiteral("签到地点"), current.checkinLocation,
                              QStringLiteral("checkinLocationField"), this))
    , m_rehearsalTime(field(QStringLiteral("联排时间"), current.rehearsalTime,
                            QStringLiteral("rehearsalTimeField"), this))
    , m_dinnerNote(
          field(QStringLiteral("用餐安排"), current.dinnerNote, QStringLiteral("dinnerNoteField"), this))
    , m_noticeTitle(
          field(QStringLiteral("公告标题"), current.noticeTitle, QStringLiteral("noticeTitleField"), this))
    , m_noticeContent(new QPlainTextEdit(current.noticeContent, this))
    , m_cancel(new QPushButton(QStringLiteral("取消"), this))
    , m_publish(new QPushButton(QStringLiteral("发布最新安排"), this))
{
    setObjectName(QStringLiteral("operationsEditor"));
    setWindowTitle(QStringLiteral("编辑现场安排"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(fixedSize);

    m_shownNoticeContent = m_noticeContent->document()->toRawText();
    m_noticeContent->setObjectName(QStringLiteral("noticeContentEditor"));
    m_noticeContent->setMinimumHeight(240);
    m_noticeContent->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_noticeContent->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Theme::setTextStyle(m_noticeContent, Theme::TextStyle::body);
    m_noticeContent->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: %1; border: none; border-radius: 10px;"
                       " padding: 8px; }")
            .arg(Theme::css(Theme::Colour::secondary, 0.06)));

    m_cancel->setObjectName(QStringLiteral("operationsCancelButton"));
    m_publish->setObjectName(QStringLiteral("operationsPublishButton"));
    m_publish->setStyleSheet(prominentStyle());
    // Return in a field must not publish: every publish makes all members confirm again.
    for (QPushButton *button : {m_cancel, m_publish}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto *times = new QHBoxLayout;
    times->setSpacing(14);
    times->addWidget(m_assemblyTime);
    times->addWidget(m_checkinLocation);
    times->addWidget(m_rehearsalTime);

    auto *note = Theme::label(QStringLiteral("发布后所有成员需要重新确认收到。"), Theme::TextStyle::caption,
                              Theme::Colour::secondary);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_publish);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(14);
    layout->addWidget(Theme::label(QStringLiteral("编辑现场安排"), Theme::TextStyle::title2, QFont::Bold));
    layout->addLayout(times);
    layout->addWidget(m_dinnerNote);
    layout->addWidget(m_noticeTitle);
    layout->addWidget(m_noticeContent, 1);
    layout->addWidget(note);
    layout->addLayout(buttons);

    // What was typed is dropped; nothing is sent.
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_publish, &QPushButton::clicked, this, [this] { publish(); });
}

QString MacOperationsEditor::valueOf(const QLineEdit *edit, const QString &loaded) const
{
    return edit->isModified() ? edit->text() : loaded;
}

QString MacOperationsEditor::noticeContentValue() const
{
    // Raw text keeps no-break spaces; its paragraph and line separators are the user's line breaks.
    QString shown = m_noticeContent->document()->toRawText();
    if (shown == m_shownNoticeContent) {
        return m_loaded.noticeContent;
    }
    shown.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    shown.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return shown;
}

void MacOperationsEditor::setSaving(bool saving)
{
    m_saving = saving;
    m_publish->setEnabled(!saving);
    m_publish->setText(saving ? QStringLiteral("正在发布…") : QStringLiteral("发布最新安排"));
}

QCoro::Task<> MacOperationsEditor::publish()
{
    if (m_saving) {
        co_return;
    }
    QPointer<MacOperationsEditor> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    setSaving(true);
    ProjectOperations operations = OperationsRules::publishedOperations(
        valueOf(m_noticeTitle, m_loaded.noticeTitle), noticeContentValue(),
        valueOf(m_assemblyTime, m_loaded.assemblyTime), valueOf(m_checkinLocation, m_loaded.checkinLocation),
        valueOf(m_rehearsalTime, m_loaded.rehearsalTime), valueOf(m_dinnerNote, m_loaded.dinnerNote));
    auto saving = m_store.saveOperations(std::move(operations));
    const bool accepted = co_await saving;
    if (!self) {
        co_return;
    }
    setSaving(false);
    FocusKeeper::restore(focused);
    Q_EMIT publishFinished(accepted);
    if (accepted) {
        accept();
    }
}
