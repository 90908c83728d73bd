#include "MacProgramDetailsSheet.h"

#include "FlowRules.h"

#include "common/AsyncAction.h"
#include "common/SheetSave.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QStringList &standardTypes()
{
    return ProgramTypeCatalog::standard;
}

QLabel *fieldLabel(const QString &text, QWidget *parent)
{
    return Theme::label(text, Theme::TextStyle::callout, Theme::Colour::secondary, parent);
}

} // namespace

MacProgramDetailsSheet::MacProgramDetailsSheet(RundownItem item, bool canEditDetails, bool canEditScript,
                                               SaveHandler onSave, QWidget *parent)
    : QDialog(parent)
    , m_item(std::move(item))
    , m_canEditDetails(canEditDetails)
    , m_canEditScript(canEditScript)
    , m_onSave(std::move(onSave))
{
    setObjectName(QStringLiteral("programDetailsSheet"));
    setWindowTitle(QStringLiteral("编辑节目资料"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(680, 570);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(14);
    layout->addWidget(Theme::label(QStringLiteral("编辑节目资料"), Theme::TextStyle::title2, QFont::Bold,
                                   Theme::Colour::primary, this));
    auto *note =
        Theme::label(QStringLiteral("节目名称、类型与主持串词统一管理；音视频仍使用流程表素材字段。 "),
                     Theme::TextStyle::body, Theme::Colour::secondary, this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto *nameRow = new QHBoxLayout;
    nameRow->setSpacing(10);
    nameRow->addWidget(fieldLabel(QStringLiteral("节目名称"), this));
    m_title = new QLineEdit(m_item.title, this);
    m_title->setObjectName(QStringLiteral("programTitleField"));
    m_title->setPlaceholderText(QStringLiteral("节目名称"));
    nameRow->addWidget(m_title, 1);
    layout->addLayout(nameRow);

    auto *typeRow = new QHBoxLayout;
    typeRow->setSpacing(10);
    typeRow->addWidget(fieldLabel(QStringLiteral("节目类型"), this));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("programTypePicker"));
    for (const QString &option : typeOptions(m_item.type)) {
        m_type->addItem(typeOptionText(option), option);
    }
    m_type->setCurrentIndex(std::max(0, m_type->findData(m_item.type)));
    m_type->setMinimumWidth(220);
    typeRow->addWidget(m_type);
    typeRow->addStretch(1);
    layout->addLayout(typeRow);

    layout->addWidget(
        Theme::label(QStringLiteral("主持串词"), Theme::TextStyle::headline, Theme::Colour::primary, this));
    m_script = new QPlainTextEdit(this);
    m_script->setObjectName(QStringLiteral("programScriptEditor"));
    m_script->setPlainText(m_item.script);
    m_script->setFont(Theme::font(Theme::TextStyle::body));
    m_script->setMinimumHeight(260);
    m_script->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: %1; border: none; border-radius: 10px;"
                       " padding: 8px; }")
            .arg(Theme::css(Theme::Colour::secondary, 0.06)));
    layout->addWidget(m_script, 1);

    m_unsavable = Theme::label(QString(), Theme::TextStyle::callout, Theme::Colour::red, this);
    m_unsavable->setObjectName(QStringLiteral("programUnsavableNote"));
    m_unsavable->setWordWrap(true);
    layout->addWidget(m_unsavable);

    auto *buttons = new QHBoxLayout;
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("programCancelButton"));
    cancel->setAutoDefault(false);
    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("programSaveButton"));
    m_save->setAutoDefault(false);
    Theme::makeProminent(m_save);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    // Closing never stops a save under way; its answer simply no longer reaches this sheet.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &MacProgramDetailsSheet::save);
    // Whether there is anything to save depends on what was typed once a right is gone.
    connect(m_title, &QLineEdit::textChanged, this, &MacProgramDetailsSheet::updateControls);
    connect(m_type, &QComboBox::currentIndexChanged, this, &MacProgramDetailsSheet::updateControls);
    connect(m_script, &QPlainTextEdit::textChanged, this, &MacProgramDetailsSheet::updateControls);
    m_startTitle = m_title->text();
    m_startType = m_type->currentData().toString();
    m_startScript = m_script->toPlainText();
    updateControls();
}

QStringList MacProgramDetailsSheet::typeOptions(const QString &itemType)
{
    QStringList options = standardTypes();
    if (!options.contains(itemType)) {
        options.prepend(itemType);
    }
    return options;
}

QString MacProgramDetailsSheet::typeOptionText(const QString &option)
{
    if (option.isEmpty()) {
        return QStringLiteral("稍后设置");
    }
    if (standardTypes().contains(option)) {
        return option;
    }
    return QStringLiteral("⚠︎ ") + option + QStringLiteral("（待人工映射）");
}

RundownItemPatch MacProgramDetailsSheet::patch(const QString &title, const QString &type,
                                               const QString &script, bool canEditDetails, bool canEditScript)
{
    RundownItemPatch patch;
    if (canEditDetails) {
        patch.title = TextRules::trimmed(title);
        patch.type = type;
    }
    if (canEditScript) {
        patch.script = script;
    }
    return patch;
}

void MacProgramDetailsSheet::setRights(bool canEditDetails, bool canEditScript)
{
    m_canEditDetails = canEditDetails;
    m_canEditScript = canEditScript;
    updateControls();
}

QStringList MacProgramDetailsSheet::unsavableEdits() const
{
    QStringList fields;
    if (!m_canEditDetails && titleEdited()) {
        fields.append(QStringLiteral("节目名称"));
    }
    if (!m_canEditDetails && typeEdited()) {
        fields.append(QStringLiteral("节目类型"));
    }
    if (!m_canEditScript && scriptEdited()) {
        fields.append(QStringLiteral("主持串词"));
    }
    return fields;
}

bool MacProgramDetailsSheet::titleEdited() const
{
    return TextRules::trimmed(m_title->text()) != TextRules::trimmed(m_startTitle);
}

bool MacProgramDetailsSheet::typeEdited() const
{
    return m_type->currentData().toString() != m_startType;
}

bool MacProgramDetailsSheet::scriptEdited() const
{
    return m_script->toPlainText() != m_startScript;
}

bool MacProgramDetailsSheet::canSave() const
{
    if (m_saving || !(m_canEditDetails || m_canEditScript)) {
        return false;
    }
    // With nothing else typed, a save would only look as if it kept the edit it has to leave out.
    return unsavableEdits().isEmpty() || (m_canEditDetails && (titleEdited() || typeEdited())) ||
           (m_canEditScript && scriptEdited());
}

void MacProgramDetailsSheet::updateControls()
{
    m_title->setEnabled(m_canEditDetails);
    m_type->setEnabled(m_canEditDetails);
    m_script->setEnabled(m_canEditScript);
    // What was typed under a right lost since stays in sight in its field, but a save leaves it
    // out: the note says which.
    const QStringList unsavable = unsavableEdits();
    m_unsavable->setText(unsavable.isEmpty() ? QString()
                                             : QStringLiteral("你已不能修改%1，这部分改动不会保存。")
                                                   .arg(unsavable.join(QStringLiteral("、"))));
    m_unsavable->setVisible(!unsavable.isEmpty());
    m_save->setText(m_saving ? QStringLiteral("正在保存…") : QStringLiteral("保存节目资料"));
    m_save->setEnabled(canSave());
}

void MacProgramDetailsSheet::save()
{
    if (!canSave()) {
        return;
    }
    const RundownItemPatch change = patch(m_title->text(), m_type->currentData().toString(),
                                          m_script->toPlainText(), m_canEditDetails, m_canEditScript);
    const auto setBusy = [this](bool busy) {
        m_saving = busy;
        updateControls();
    };
    // The handler reports its own failures; a throw counts as not stored.
    AsyncAction::run(
        this, saveSheet(this, setBusy, [this, change] { return m_onSave(change); }), [] {},
        [setBusy](const QString &) { setBusy(false); });
}
