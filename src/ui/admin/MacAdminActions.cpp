#include "MacAdminActions.h"

#include "api/APIClient.h"
#include "common/AsyncAction.h"

#include <QMessageBox>
#include <QPushButton>

MacAdminActions::MacAdminActions(APIClient &client, QWidget *console)
    : QObject(console)
    , m_client(client)
    , m_console(console)
{}

void MacAdminActions::propose(MacAdminPendingAction action)
{
    if (m_confirmation) {
        m_confirmation->disconnect(this);
        m_confirmation->deleteLater();
    }
    m_pendingAction = action;
    auto *box = new QMessageBox(m_console);
    box->setObjectName(QStringLiteral("adminConfirmation"));
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(action.title());
    box->setText(action.title());
    box->setInformativeText(action.message());
    QPushButton *confirm = box->addButton(QStringLiteral("确认执行"), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirmAdminAction"));
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelAdminAction"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QDialog::finished, this, [this, box, confirm] {
        const bool confirmed = box->clickedButton() == confirm;
        std::optional<MacAdminPendingAction> action = std::move(m_pendingAction);
        m_pendingAction.reset();
        if (confirmed && action) {
            perform(std::move(*action));
        }
    });
    m_confirmation = box;
    box->open();
}

void MacAdminActions::perform(MacAdminPendingAction action)
{
    m_pendingAction.reset();
    std::optional<QCoro::Task<>> request;
    QString missing;
    if (const auto *a = std::get_if<MacAdminPendingAction::Account>(&action.value)) {
        request.emplace(m_client.setAdminAccountStatus(a->user.id, a->status));
    } else if (const auto *p = std::get_if<MacAdminPendingAction::Project>(&action.value)) {
        request.emplace(m_client.setAdminProjectStatus(p->project.id, p->status));
    } else if (const auto *t = std::get_if<MacAdminPendingAction::Transfer>(&action.value)) {
        request.emplace(m_client.transferAdminProject(t->project.id, t->user.id));
    } else if (const auto *archive = std::get_if<MacAdminPendingAction::Archive>(&action.value)) {
        if (const auto id = MacAdminRules::archiveTarget(archive->asset)) {
            request.emplace(m_client.archiveAdminAsset(*id));
        } else {
            missing = QStringLiteral("素材“%1”缺少编号，无法移入回收站").arg(archive->asset.filename);
        }
    } else if (const auto *restore = std::get_if<MacAdminPendingAction::Restore>(&action.value)) {
        if (const auto id = MacAdminRules::restoreTarget(restore->asset)) {
            request.emplace(m_client.restoreAdminAsset(*id));
        } else {
            missing = QStringLiteral("素材“%1”缺少编号，无法恢复").arg(restore->asset.filename);
        }
    }
    if (!request) {
        Q_EMIT failed(missing);
        return;
    }
    AsyncAction::run(
        this, std::move(*request), [this] { Q_EMIT performed(); },
        [this](const QString &error) { Q_EMIT failed(error); });
}
