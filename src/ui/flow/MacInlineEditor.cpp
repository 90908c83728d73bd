#include "MacInlineEditor.h"

#include "common/AsyncAction.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>

MacInlineEditor::MacInlineEditor(QString value, QString placeholder, bool canEdit, QFont font, QColor color,
                                 Validation validation, Save onSave, QWidget *parent)
    : QWidget(parent)
    , m_value(std::move(value))
    , m_placeholder(std::move(placeholder))
    , m_canEdit(canEdit)
    , m_font(std::move(font))
    , m_color(std::move(color))
    , m_validation(validation ? std::move(validation) : Validation(&MacInlineEditor::acceptAll))
    , m_onSave(std::move(onSave))
    , m_stack(new QStackedLayout(this))
    , m_label(new QPushButton(this))
    , m_field(new QLineEdit(this))
{
    setObjectName(QStringLiteral("inlineEditor"));
    setAutoFillBackground(false);
    m_stack->setContentsMargins(0, 0, 0, 0);

    m_label->setObjectName(QStringLiteral("inlineEditorLabel"));
    m_label->setFlat(true);
    m_label->setFont(m_font);
    m_label->setCursor(Qt::PointingHandCursor);
    m_label->setStyleSheet(
        QStringLiteral("QPushButton { border: none; background: transparent; text-align: left;"
                       " padding: 2px 4px; }"));
    connect(m_label, &QPushButton::clicked, this, &MacInlineEditor::beginEditing);
    m_stack->addWidget(m_label);

    m_field->setObjectName(QStringLiteral("inlineEditorField"));
    m_field->setFont(m_font);
    m_field->setPlaceholderText(m_placeholder);
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::returnPressed, this, &MacInlineEditor::commit);
    m_stack->addWidget(m_field);

    setFocusProxy(m_field);
    updateLabel();
}

MacInlineEditor::~MacInlineEditor() = default;

QString MacInlineEditor::editTooltip(bool canEdit)
{
    return canEdit ? QStringLiteral("点击编辑，按回车保存，Esc 取消")
                   : QStringLiteral("当前账号无编辑权限或流程已冻结");
}

void MacInlineEditor::setValue(const QString &value)
{
    if (m_value == value) {
        return;
    }
    m_value = value;
    if (!m_editing) {
        m_field->setText(m_value);
    }
    updateLabel();
}

void MacInlineEditor::setCanEdit(bool canEdit)
{
    if (m_canEdit == canEdit) {
        return;
    }
    m_canEdit = canEdit;
    updateLabel();
}

void MacInlineEditor::setBlocked(bool blocked)
{
    m_blocked = blocked;
    setEnabled(!m_saving && !m_blocked);
}

QString MacInlineEditor::draft() const
{
    return m_field->text();
}

void MacInlineEditor::updateLabel()
{
    const bool empty = m_value.isEmpty();
    m_label->setText(empty ? m_placeholder : m_value);
    Theme::setTextColour(m_label, empty ? Theme::colour(Theme::Colour::secondary) : m_color);
    m_label->setEnabled(m_canEdit);
    m_label->setToolTip(editTooltip(m_canEdit));
}

void MacInlineEditor::beginEditing()
{
    if (!m_canEdit || m_saving) {
        return;
    }
    m_field->setText(m_value);
    setInvalid(false);
    setEditing(true);
    // A click opens the field to type into at once.
    m_field->setFocus(Qt::MouseFocusReason);
}

void MacInlineEditor::cancelEditing()
{
    if (m_saving) {
        return;
    }
    m_field->setText(m_value);
    setInvalid(false);
    setEditing(false);
}

void MacInlineEditor::commit()
{
    if (!m_editing || m_saving) {
        return;
    }
    const QString text = TextRules::trimmed(m_field->text());
    if (!m_validation(text)) {
        setInvalid(true);
        return;
    }
    setSaving(true);
    QCoro::Task<bool> save =
        m_onSave ? m_onSave(text) : [](QString) -> QCoro::Task<bool> { co_return false; }(text);
    AsyncAction::run(
        this, std::move(save),
        [this](bool saved) {
            if (saved) {
                setEditing(false);
                setInvalid(false);
            }
            setSaving(false);
        },
        [this](const QString &) { setSaving(false); });
}

void MacInlineEditor::setEditing(bool editing)
{
    if (m_editing == editing) {
        return;
    }
    m_editing = editing;
    if (!editing && m_field->hasFocus()) {
        // Hiding the focused field would hand the focus on along the window's chain, into the
        // next field with its text selected.
        m_field->clearFocus();
    }
    m_stack->setCurrentWidget(editing ? static_cast<QWidget *>(m_field) : m_label);
    if (!editing) {
        m_field->setText(m_value);
        updateLabel();
    }
    Q_EMIT editingChanged(editing);
}

void MacInlineEditor::setSaving(bool saving)
{
    if (m_saving == saving) {
        return;
    }
    m_saving = saving;
    setEnabled(!m_saving && !m_blocked);
    if (!saving && m_editing) {
        m_field->setFocus(Qt::OtherFocusReason);
    }
    Q_EMIT savingChanged(saving);
}

void MacInlineEditor::setInvalid(bool invalid)
{
    if (m_invalid == invalid) {
        return;
    }
    m_invalid = invalid;
    m_field->setStyleSheet(invalid ? QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 6px;"
                                                    " padding: 1px 3px; }")
                                         .arg(Theme::css(Theme::Colour::red))
                                   : QString());
    Q_EMIT invalidChanged(invalid);
}

bool MacInlineEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        cancelEditing();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
