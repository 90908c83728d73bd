#include "MacFlowHeaderCommands.h"

#include "FlowPageState.h"
#include "FlowStructureCommands.h"
#include "common/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>

MacFlowHeaderCommands::MacFlowHeaderCommands(FlowPageState &state, FlowStructureCommands &commands,
                                             QHBoxLayout *area, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_import(new QPushButton(QStringLiteral("导入 Excel")))
    , m_export(new QPushButton(QStringLiteral("导出 Excel")))
    , m_add(new QPushButton(QStringLiteral("添加空白节目")))
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

    connect(&m_state, &FlowPageState::detailChanged, this, &MacFlowHeaderCommands::update);
    connect(&m_state, &FlowPageState::busyItemIDChanged, this, &MacFlowHeaderCommands::update);
    m_header = area->parentWidget();
    if (m_header) {
        m_header->installEventFilter(this);
    }
    update();
}

bool MacFlowHeaderCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_header && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
        fitToWidth();
    }
    return QObject::eventFilter(watched, event);
}

void MacFlowHeaderCommands::fitToWidth()
{
    if (!m_header || !m_header->layout()) {
        return;
    }
    // The header's own minimum width, counted as if the buttons carried their labels.
    int labelled = m_header->layout()->minimumSize().width();
    if (m_compact) {
        for (QPushButton *button : {m_import, m_export, m_add, m_freeze}) {
            if (button->isVisible()) {
                QPushButton probe(button->toolTip());
                probe.setIcon(button->icon());
                labelled += probe.sizeHint().width() - button->sizeHint().width();
            }
        }
    }
    const bool compact = m_header->width() < labelled;
    if (compact != m_compact) {
        m_compact = compact;
        applyLabels();
    }
}

void MacFlowHeaderCommands::update()
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
    applyLabels();
}

void MacFlowHeaderCommands::applyLabels()
{
    const bool frozen = m_state.flowFrozen();
    const struct
    {
        QPushButton *button;
        QString text;
        QString symbol;
    } faces[] = {
        {m_import, QStringLiteral("导入 Excel"), QStringLiteral("square.and.arrow.down")},
        {m_export, QStringLiteral("导出 Excel"), QStringLiteral("square.and.arrow.up")},
        {m_add, QStringLiteral("添加空白节目"), QStringLiteral("plus")},
        {m_freeze, frozen ? QStringLiteral("解冻流程表") : QStringLiteral("冻结流程表"),
         frozen ? QStringLiteral("lock.open") : QStringLiteral("lock")},
    };
    for (const auto &face : faces) {
        face.button->setText(m_compact ? QString() : face.text);
        face.button->setToolTip(face.text);
        face.button->setAccessibleName(face.text);
        // Import and export carry icons only when their labels are gone.
        const bool labelledIcon = face.button == m_add || face.button == m_freeze;
        face.button->setIcon(m_compact || labelledIcon ? Theme::icon(face.symbol) : QIcon());
    }
}
