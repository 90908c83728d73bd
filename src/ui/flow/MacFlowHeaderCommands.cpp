#include "MacFlowHeaderCommands.h"

#include "FlowPageState.h"
#include "FlowStructureCommands.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QPushButton>

MacFlowHeaderCommands::MacFlowHeaderCommands(FlowPageState &state, FlowStructureCommands &commands,
                                             QHBoxLayout *area, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_import(new QPushButton(QStringLiteral("导入 Excel")))
    , m_export(new QPushButton(QStringLiteral("导出 Excel")))
    , m_add(new QPushButton(Theme::icon(QStringLiteral("plus")), QStringLiteral("添加空白节目")))
    , m_freeze(new QPushButton)
{
    m_import->setObjectName(QStringLiteral("flowImportButton"));
    m_export->setObjectName(QStringLiteral("flowExportButton"));
    m_add->setObjectName(QStringLiteral("flowAddItemButton"));
    m_freeze->setObjectName(QStringLiteral("flowFreezeButton"));
    for (QPushButton *button : {m_import, m_export, m_add, m_freeze}) {
        button->setAutoDefault(false);
        area->addWidget(button);
    }

    connect(m_import, &QPushButton::clicked, &m_state, [this] { m_state.setShowingExcelImporter(true); });
    connect(m_export, &QPushButton::clicked, &commands, [c = &commands] { c->exportExcel(); });
    connect(m_add, &QPushButton::clicked, &commands, [c = &commands] { c->addBlankItem(); });
    connect(m_freeze, &QPushButton::clicked, &m_state, [this] { m_state.setFreezeConfirmation(true); });

    connect(&m_state, &FlowPageState::detailChanged, this, &MacFlowHeaderCommands::refresh);
    connect(&m_state, &FlowPageState::busyItemIDChanged, this, &MacFlowHeaderCommands::refresh);
    refresh();
}

void MacFlowHeaderCommands::refresh()
{
    const bool manage = m_state.canManage();
    const bool frozen = m_state.flowFrozen();
    const bool busy = m_state.busyItemID().has_value();
    m_import->setVisible(manage);
    m_export->setVisible(manage);
    m_add->setVisible(manage);
    m_import->setEnabled(!frozen && !busy);
    m_export->setEnabled(!busy);
    m_add->setEnabled(!frozen && !busy);

    m_freeze->setVisible(m_state.canFreeze());
    const QString freezeText = frozen ? QStringLiteral("解冻流程表") : QStringLiteral("冻结流程表");
    // A new icon asks the header for a fresh layout; most polls change nothing here.
    if (m_freeze->text() != freezeText) {
        m_freeze->setText(freezeText);
        m_freeze->setToolTip(freezeText);
        m_freeze->setIcon(Theme::icon(frozen ? QStringLiteral("lock.open") : QStringLiteral("lock")));
    }
}
