#include "MacMemberEditorSheet.h"

#include "common/Theme.h"
#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString sortedPassAreas(const std::optional<QString> &areas)
{
    QStringList parts = areas.value_or(QString()).split(QStringLiteral("、"), Qt::SkipEmptyParts);
    std::sort(parts.begin(), parts.end(), TextRules::scalarLess);
    parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
    return parts.join(QStringLiteral("、"));
}

} // namespace

MacMemberEditorSheet::MacMemberEditorSheet(ProjectMember member, SaveAction onSave, QWidget *parent)
    : QDialog(parent)
    , m_member(std::move(member))
    , m_onSave(std::move(onSave))
    , m_name(new QLineEdit(m_member.name, this))
    , m_role(new QComboBox(this))
    , m_detail(new QLineEdit(m_member.detail, this))
    , m_save(new QPushButton(QStringLiteral("保存"), this))
{
    setObjectName(QStringLiteral("memberEditorSheet"));
    setWindowTitle(QStringLiteral("编辑成员"));
    setWindowModality(Qt::WindowModal);
    m_name->setObjectName(QStringLiteral("memberEditorName"));
    m_name->setPlaceholderText(QStringLiteral("姓名"));
    m_role->setObjectName(QStringLiteral("memberEditorRole"));
    for (ProjectRole role : ProjectRoles::all) {
        m_role->addItem(rawValue(role));
    }
    // A role outside the list stays as it is unless another is chosen: never quietly the first.
    if (m_role->findText(m_member.role) < 0) {
        m_role->addItem(m_member.role);
    }
    m_role->setCurrentIndex(m_role->findText(m_member.role));
    m_detail->setObjectName(QStringLiteral("memberEditorDetail"));
    m_detail->setPlaceholderText(QStringLiteral("职责"));
    m_save->setObjectName(QStringLiteral("memberEditorSaveButton"));
    m_save->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("memberEditorCancelButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_save);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addWidget(Theme::label(QStringLiteral("编辑成员"), Theme::TextStyle::title2, QFont::Bold));
    layout->addWidget(m_name);
    layout->addWidget(m_role);
    layout->addWidget(m_detail);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
}

QCoro::Task<> MacMemberEditorSheet::save()
{
    if (!m_onSave) {
        co_return;
    }
    QPointer<MacMemberEditorSheet> self(this);
    m_save->setEnabled(false);
    m_save->setText(QStringLiteral("保存中…"));
    const QString role = m_role->currentText();
    const QString areas =
        role == rawValue(ProjectRole::staff) ? sortedPassAreas(m_member.passAreas) : QString();
    const QString name = TextRules::trimmed(m_name->text());
    const QString detail = TextRules::trimmed(m_detail->text());
    // Named first: g++ 12 destroys temporaries made inside a co_await expression twice.
    auto saving = m_onSave(name, role, detail, areas);
    const bool saved = co_await saving;
    if (!self) {
        co_return;
    }
    m_save->setEnabled(true);
    m_save->setText(QStringLiteral("保存"));
    if (saved) {
        accept();
    }
}
