#include "MacWorkItemResolutionSheet.h"

#include "WorkItemsRules.h"
#include "common/SheetSave.h"
#include "common/SheetWidth.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A text box that shows three to six lines.
void fitLines(QPlainTextEdit *edit, int minLines, int maxLines)
{
    const int line = edit->fontMetrics().lineSpacing();
    const int frame = 2 * edit->frameWidth() + int(2 * edit->document()->documentMargin());
    edit->setMinimumHeight(minLines * line + frame);
    edit->setMaximumHeight(maxLines * line + frame);
}

} // namespace

MacWorkItemResolutionSheet::MacWorkItemResolutionSheet(WorkItemResolutionContext context, SaveAction onSave,
                                                       QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
    , m_onSave(std::move(onSave))
    , m_resolution(new QPlainTextEdit(m_context.item.resolution, this))
    , m_confirm(new QPushButton(QStringLiteral("确认"), this))
{
    const bool blocking = m_context.nextStatus == WorkItemStatus::blocked;
    setObjectName(QStringLiteral("workItemResolutionSheet"));
    setWindowTitle(blocking ? QStringLiteral("标记阻塞") : QStringLiteral("完成任务"));
    setWindowModality(Qt::WindowModal);
    fixSheetWidth(this, 500);

    auto *title = Theme::label(blocking ? QStringLiteral("标记阻塞") : QStringLiteral("完成任务"),
                               Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, this);
    auto *itemTitle =
        Theme::label(m_context.item.title, Theme::TextStyle::body, Theme::Colour::secondary, this);
    itemTitle->setObjectName(QStringLiteral("resolutionItemTitle"));
    itemTitle->setTextFormat(Qt::PlainText);
    itemTitle->setWordWrap(true);

    m_resolution->setObjectName(QStringLiteral("resolutionField"));
    m_resolution->setPlaceholderText(blocking ? QStringLiteral("请填写阻塞原因")
                                              : QStringLiteral("处理结果（可留空）"));
    m_resolution->setTabChangesFocus(true);
    fitLines(m_resolution, 3, 6);

    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("resolutionCancelButton"));
    m_confirm->setObjectName(QStringLiteral("resolutionConfirmButton"));
    m_confirm->setDefault(true);
    Theme::makeProminent(m_confirm);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_confirm);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    layout->addWidget(title);
    layout->addWidget(itemTitle);
    layout->addWidget(m_resolution);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_confirm, &QPushButton::clicked, this, [this] { confirm(); });
    connect(m_resolution, &QPlainTextEdit::textChanged, this, &MacWorkItemResolutionSheet::updateConfirm);
    updateConfirm();
}

void MacWorkItemResolutionSheet::updateConfirm()
{
    m_confirm->setText(m_saving ? QStringLiteral("正在保存…") : QStringLiteral("确认"));
    m_confirm->setEnabled(
        !m_saving && WorkItemRules::canConfirmResolution(m_context.nextStatus, m_resolution->toPlainText()));
}

QCoro::Task<> MacWorkItemResolutionSheet::confirm()
{
    if (m_saving || !m_onSave ||
        !WorkItemRules::canConfirmResolution(m_context.nextStatus, m_resolution->toPlainText())) {
        co_return;
    }
    auto saving = saveSheet(
        this,
        [this](bool busy) {
            m_saving = busy;
            updateConfirm();
        },
        [this] { return m_onSave(TextRules::trimmed(m_resolution->toPlainText())); });
    co_await saving;
}
