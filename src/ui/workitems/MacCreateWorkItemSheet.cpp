#include "MacCreateWorkItemSheet.h"

#include "WorkItemsRules.h"
#include "common/SheetSave.h"
#include "common/SheetWidth.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QWidget *labelled(const QString &label, QWidget *field, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(Theme::label(label, Theme::TextStyle::caption, Theme::Colour::secondary, box));
    column->addWidget(field);
    return box;
}

} // namespace

MacCreateWorkItemSheet::MacCreateWorkItemSheet(ProjectDetailResponse detail, WorkItemPermissions permissions,
                                               CreateAction onCreate, QWidget *parent)
    : QDialog(parent)
    , m_detail(std::move(detail))
    , m_permissions(permissions)
    , m_onCreate(std::move(onCreate))
    , m_kindPicker(new QComboBox(this))
    , m_priorityPicker(new QComboBox(this))
    , m_itemPicker(new QComboBox(this))
    , m_assigneePicker(new QComboBox(this))
    , m_title(new QLineEdit(this))
    , m_description(new QPlainTextEdit(this))
    , m_save(new QPushButton(QStringLiteral("保存任务"), this))
{
    setObjectName(QStringLiteral("createWorkItemSheet"));
    setWindowTitle(QStringLiteral("新建任务/问题"));
    setWindowModality(Qt::WindowModal);
    fixSheetWidth(this, 600);

    const QList<WorkItemKind> kinds = WorkItemRules::offeredKinds(m_permissions);
    if (!kinds.isEmpty()) {
        m_kind = kinds.first();
    }

    m_kindPicker->setObjectName(QStringLiteral("kindPicker"));
    m_priorityPicker->setObjectName(QStringLiteral("priorityPicker"));
    for (WorkItemPriority priority : WorkItemPriorities::all) {
        m_priorityPicker->addItem(WorkItemRules::priorityText(priority), toWire(priority));
    }
    m_itemPicker->setObjectName(QStringLiteral("programPicker"));
    m_itemPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_assigneePicker->setObjectName(QStringLiteral("assigneePicker"));
    m_assigneePicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_title->setObjectName(QStringLiteral("titleField"));
    m_title->setPlaceholderText(QStringLiteral("标题"));
    m_description->setObjectName(QStringLiteral("descriptionField"));
    m_description->setPlaceholderText(QStringLiteral("说明（可选）"));
    m_description->setTabChangesFocus(true);
    const int line = m_description->fontMetrics().lineSpacing();
    const int frame = 2 * m_description->frameWidth() + int(2 * m_description->document()->documentMargin());
    m_description->setMinimumHeight(3 * line + frame);
    m_description->setMaximumHeight(6 * line + frame);

    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("createCancelButton"));
    m_save->setObjectName(QStringLiteral("createSaveButton"));
    m_save->setDefault(true);
    Theme::makeProminent(m_save);

    auto *subtitle = Theme::label(QStringLiteral("手工任务与现场问题统一进入同一任务列表。"),
                                  Theme::TextStyle::body, Theme::Colour::secondary, this);
    subtitle->setWordWrap(true);
    auto *pickers = new QHBoxLayout;
    pickers->setSpacing(12);
    pickers->addWidget(labelled(QStringLiteral("类型"), m_kindPicker, this), 1);
    pickers->addWidget(labelled(QStringLiteral("优先级"), m_priorityPicker, this), 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_save);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    layout->addWidget(Theme::label(QStringLiteral("新建任务/问题"), Theme::TextStyle::title2, QFont::Bold,
                                   Theme::Colour::primary, this));
    layout->addWidget(subtitle);
    layout->addLayout(pickers);
    layout->addWidget(labelled(QStringLiteral("关联节目"), m_itemPicker, this));
    layout->addWidget(labelled(QStringLiteral("指派给"), m_assigneePicker, this));
    layout->addWidget(labelled(QStringLiteral("标题"), m_title, this));
    layout->addWidget(labelled(QStringLiteral("说明（可选）"), m_description, this));
    layout->addLayout(buttons);

    fillKinds();
    fillPrograms();
    fillAssignees();
    updateSave();

    connect(m_kindPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        WorkItemKind kind;
        if (index < 0 || !fromWire(m_kindPicker->itemData(index).toString(), kind) || kind == m_kind) {
            return;
        }
        m_kind = kind;
        // Another kind offers other items: start again from the whole show.
        m_itemID.clear();
        fillPrograms();
        updateSave();
    });
    connect(m_priorityPicker, &QComboBox::currentIndexChanged, this,
            [this](int index) { fromWire(m_priorityPicker->itemData(index).toString(), m_priority); });
    connect(m_itemPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_itemID = m_itemPicker->itemData(index).toString();
        updateSave();
    });
    connect(m_assigneePicker, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_assigneeID = m_assigneePicker->itemData(index).toString(); });
    connect(m_title, &QLineEdit::textChanged, this, &MacCreateWorkItemSheet::updateSave);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
}

void MacCreateWorkItemSheet::setInputs(ProjectDetailResponse detail, WorkItemPermissions permissions)
{
    m_detail = std::move(detail);
    m_permissions = permissions;
    const QList<WorkItemKind> kinds = WorkItemRules::offeredKinds(m_permissions);
    if (!kinds.isEmpty() && !kinds.contains(m_kind)) {
        m_kind = kinds.first();
        m_itemID.clear();
    }
    fillKinds();
    fillPrograms();
    fillAssignees();
    updateSave();
}

void MacCreateWorkItemSheet::fillKinds()
{
    const QSignalBlocker blocker(m_kindPicker);
    m_kindPicker->clear();
    for (WorkItemKind kind : WorkItemRules::offeredKinds(m_permissions)) {
        m_kindPicker->addItem(WorkItemRules::kindText(kind), toWire(kind));
    }
    m_kindPicker->setCurrentIndex(m_kindPicker->findData(toWire(m_kind)));
}

void MacCreateWorkItemSheet::fillPrograms()
{
    const QSignalBlocker blocker(m_itemPicker);
    m_itemPicker->clear();
    m_itemPicker->addItem(QStringLiteral("整场演出 / 不关联节目"), QString());
    for (const RundownItem &item : WorkItemRules::programs(m_kind, m_detail, m_permissions)) {
        m_itemPicker->addItem(WorkItemRules::programLabel(item), item.id);
    }
    const int index = m_itemPicker->findData(m_itemID);
    if (index < 0) {
        // The chosen item is no longer offered.
        m_itemID.clear();
    }
    m_itemPicker->setCurrentIndex(std::max(index, 0));
}

void MacCreateWorkItemSheet::fillAssignees()
{
    const QSignalBlocker blocker(m_assigneePicker);
    m_assigneePicker->clear();
    m_assigneePicker->addItem(QStringLiteral("暂不指派"), QString());
    for (const ProjectMember &member : std::as_const(m_detail.members)) {
        m_assigneePicker->addItem(member.name + QStringLiteral(" · ") + member.role, member.id);
    }
    const int index = m_assigneePicker->findData(m_assigneeID);
    if (index < 0) {
        m_assigneeID.clear();
    }
    m_assigneePicker->setCurrentIndex(std::max(index, 0));
}

void MacCreateWorkItemSheet::updateSave()
{
    m_save->setText(m_saving ? QStringLiteral("正在保存…") : QStringLiteral("保存任务"));
    m_save->setEnabled(!m_saving &&
                       WorkItemRules::canSubmit(m_kind, m_itemID, m_title->text(), m_permissions));
}

QCoro::Task<> MacCreateWorkItemSheet::save()
{
    if (m_saving || !m_onCreate ||
        !WorkItemRules::canSubmit(m_kind, m_itemID, m_title->text(), m_permissions)) {
        co_return;
    }
    auto creating = saveSheet(
        this,
        [this](bool busy) {
            m_saving = busy;
            updateSave();
        },
        [this] {
            return m_onCreate(m_kind, m_itemID, m_assigneeID, TextRules::trimmed(m_title->text()),
                              TextRules::trimmed(m_description->toPlainText()), m_priority);
        });
    co_await creating;
}
