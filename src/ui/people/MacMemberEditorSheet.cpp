#include "MacMemberEditorSheet.h"

#include "MacProjectRoles.h"
#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "common/SheetSave.h"
#include "common/SheetWidth.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

MacMemberEditorSheet::MacMemberEditorSheet(ProjectMember member, SaveAction onSave, QWidget *parent)
    : QDialog(parent)
    , m_member(std::move(member))
    , m_onSave(std::move(onSave))
    , m_areas(PeopleRules::areasFromText(m_member.passAreas))
    , m_name(new QLineEdit(m_member.name, this))
    , m_role(new QComboBox(this))
    , m_detail(new QPlainTextEdit(m_member.detail, this))
    , m_areasSection(new TintedPanel(Theme::colour(Theme::Colour::blue, 0.06), 12, this))
    , m_areaButtons(new QVBoxLayout)
    , m_customArea(new QLineEdit(this))
    , m_addArea(new QPushButton(QStringLiteral("添加"), this))
    , m_save(new QPushButton(QStringLiteral("保存成员资料"), this))
{
    setObjectName(QStringLiteral("memberEditorSheet"));
    setWindowTitle(QStringLiteral("编辑成员资料"));
    setWindowModality(Qt::WindowModal);
    fixSheetWidth(this, 560);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(14);
    layout->addWidget(Theme::label(QStringLiteral("编辑成员资料"), Theme::TextStyle::title2, QFont::Bold));
    const bool registered = m_member.isRegistered();
    auto *status = Theme::label(registered ? QStringLiteral("● 已入驻真实账号")
                                           : QStringLiteral("○ 未注册人员，可先完善资料后邀请入驻"),
                                Theme::TextStyle::callout,
                                registered ? Theme::Colour::green : Theme::Colour::secondary, this);
    status->setObjectName(QStringLiteral("memberEditorAccountStatus"));
    status->setWordWrap(true);
    layout->addWidget(status);

    m_name->setObjectName(QStringLiteral("memberEditorName"));
    m_name->setPlaceholderText(QStringLiteral("姓名"));
    layout->addWidget(m_name);

    m_role->setObjectName(QStringLiteral("memberEditorRole"));
    m_role->addItems(MacProjectRoles::editable());
    // A role outside the list stays as it is unless another is chosen: never quietly the first.
    if (m_role->findText(m_member.role) < 0) {
        m_role->addItem(m_member.role);
    }
    m_role->setCurrentIndex(m_role->findText(m_member.role));
    auto *roleRow = new QFormLayout;
    roleRow->setContentsMargins(0, 0, 0, 0);
    roleRow->addRow(QStringLiteral("项目角色"), m_role);
    layout->addLayout(roleRow);

    m_detail->setObjectName(QStringLiteral("memberEditorDetail"));
    m_detail->setPlaceholderText(QStringLiteral("职责说明"));
    m_detail->setTabChangesFocus(true);
    const int line = m_detail->fontMetrics().lineSpacing();
    m_detail->setMinimumHeight(line * 3 + 14);
    m_detail->setMaximumHeight(line * 5 + 14);
    layout->addWidget(m_detail);

    m_areasSection->setObjectName(QStringLiteral("memberEditorAreas"));
    auto *areas = new QVBoxLayout(m_areasSection);
    areas->setContentsMargins(12, 12, 12, 12);
    areas->setSpacing(9);
    areas->addWidget(Theme::label(QStringLiteral("工作证通行区域"), Theme::TextStyle::headline,
                                  Theme::Colour::primary, m_areasSection));
    m_areaButtons->setSpacing(6);
    areas->addLayout(m_areaButtons);
    auto *custom = new QHBoxLayout;
    m_customArea->setObjectName(QStringLiteral("memberEditorCustomArea"));
    m_customArea->setPlaceholderText(QStringLiteral("例如：导播间、化妆间"));
    m_addArea->setObjectName(QStringLiteral("memberEditorAddArea"));
    custom->addWidget(m_customArea, 1);
    custom->addWidget(m_addArea);
    areas->addLayout(custom);
    layout->addWidget(m_areasSection);

    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("memberEditorCancelButton"));
    m_save->setObjectName(QStringLiteral("memberEditorSaveButton"));
    Theme::makeProminent(m_save);
    m_save->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_addArea, &QPushButton::clicked, this, &MacMemberEditorSheet::addArea);
    // Return in the area field adds the area; it must not also press the default save button.
    m_customArea->installEventFilter(this);
    connect(m_name, &QLineEdit::textChanged, this, &MacMemberEditorSheet::updateState);
    connect(m_customArea, &QLineEdit::textChanged, this, &MacMemberEditorSheet::updateState);
    connect(m_role, &QComboBox::currentTextChanged, this, &MacMemberEditorSheet::updateState);
    rebuildAreaButtons();
    updateState();
}

bool MacMemberEditorSheet::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_customArea && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            addArea();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void MacMemberEditorSheet::rebuildAreaButtons()
{
    while (QLayoutItem *rowItem = m_areaButtons->takeAt(0)) {
        if (QLayout *row = rowItem->layout()) {
            while (QLayoutItem *item = row->takeAt(0)) {
                if (item->widget()) {
                    item->widget()->deleteLater();
                }
                delete item;
            }
        }
        delete rowItem;
    }
    // The sheet's width is fixed: a row takes the buttons that fit whole, the next row the rest.
    const QMargins outer = layout()->contentsMargins();
    const QMargins inner = m_areasSection->layout()->contentsMargins();
    const int available = width() - outer.left() - outer.right() - inner.left() - inner.right();
    QHBoxLayout *row = nullptr;
    int used = 0;
    for (const QString &area : PeopleRules::areaButtons(m_areas)) {
        const bool selected = m_areas.contains(area);
        auto *button =
            new QPushButton((selected ? QStringLiteral("✓ ") : QStringLiteral("+ ")) + area, m_areasSection);
        button->setObjectName(QStringLiteral("areaButton_") + area);
        button->setCheckable(true);
        button->setChecked(selected);
        Theme::setTextColour(button, selected ? Theme::Colour::blue : Theme::Colour::secondary);
        connect(button, &QPushButton::clicked, this, [this, area] {
            if (!m_areas.remove(area)) {
                m_areas.insert(area);
            }
            // Deferred: the button that was pressed is among those replaced.
            QMetaObject::invokeMethod(this, &MacMemberEditorSheet::rebuildAreaButtons, Qt::QueuedConnection);
        });
        const int needed = button->sizeHint().width();
        if (!row || used + m_areaButtons->spacing() + needed > available) {
            if (row) {
                row->addStretch(1);
            }
            row = new QHBoxLayout;
            row->setSpacing(m_areaButtons->spacing());
            m_areaButtons->addLayout(row);
            used = needed;
        } else {
            used += m_areaButtons->spacing() + needed;
        }
        row->addWidget(button);
    }
    if (row) {
        row->addStretch(1);
    }
}

void MacMemberEditorSheet::addArea()
{
    const QString area = TextRules::trimmed(m_customArea->text());
    if (area.isEmpty()) {
        return;
    }
    m_areas.insert(area);
    m_customArea->clear();
    rebuildAreaButtons();
}

void MacMemberEditorSheet::updateState()
{
    const bool staff = m_role->currentText() == QStringLiteral("工作人员");
    if (m_areasSection->isVisibleTo(this) != staff) {
        m_areasSection->setVisible(staff);
        adjustSize();
    }
    m_addArea->setEnabled(!TextRules::trimmed(m_customArea->text()).isEmpty());
    m_save->setEnabled(!m_saving && !TextRules::trimmed(m_name->text()).isEmpty());
    m_save->setText(m_saving ? QStringLiteral("正在保存…") : QStringLiteral("保存成员资料"));
}

QCoro::Task<> MacMemberEditorSheet::save()
{
    if (!m_onSave) {
        co_return;
    }
    auto saving = saveSheet(
        this,
        [this](bool busy) {
            m_saving = busy;
            updateState();
        },
        [this] {
            const QString role = m_role->currentText();
            return m_onSave(TextRules::trimmed(m_name->text()), role,
                            TextRules::trimmed(m_detail->toPlainText()),
                            PeopleRules::areasText(role, m_areas));
        });
    co_await saving;
}
