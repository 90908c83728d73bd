#include "MacAdminTransferPicker.h"

#include "MacAdminRules.h"
#include "MacAdminTable.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

MacAdminTransferPicker::MacAdminTransferPicker(QList<AdminUser> candidates,
                                               std::function<void(const AdminUser &)> onPick, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_candidates(std::move(candidates))
    , m_onPick(std::move(onPick))
    , m_filter(new QLineEdit(this))
    , m_model(new MacAdminTableModel(1, this))
{
    setObjectName(QStringLiteral("adminTransferPicker"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    m_filter->setObjectName(QStringLiteral("adminTransferFilter"));
    m_filter->setPlaceholderText(QStringLiteral("搜索姓名或手机号"));
    m_filter->setClearButtonEnabled(true);
    layout->addWidget(m_filter);
    m_list = makeAdminTable(m_model, 34, this);
    m_list->setObjectName(QStringLiteral("adminTransferList"));
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(m_list, 1);
    connect(m_filter, &QLineEdit::textChanged, this, &MacAdminTransferPicker::filter);
    connect(m_list, &QTableView::clicked, this, [this](const QModelIndex &index) { pick(index.row()); });
    filter(QString());
}

void MacAdminTransferPicker::filter(const QString &text)
{
    m_shown.clear();
    QList<AdminRow> rows;
    for (const AdminUser &user : std::as_const(m_candidates)) {
        if (MacAdminRules::matches({user.name, user.phone}, text)) {
            m_shown.append(user);
            rows.append({user.id, {AdminCell::line(user.name + QStringLiteral(" · ") + user.phone)}});
        }
    }
    m_model->setRows(std::move(rows));
}

void MacAdminTransferPicker::pick(int row)
{
    if (row < 0 || row >= m_shown.size()) {
        return;
    }
    const AdminUser user = m_shown.at(row);
    close();
    if (m_onPick) {
        m_onPick(user);
    }
}

void MacAdminTransferPicker::popup(QWidget *anchor)
{
    const QSize size(std::max(300, anchor->width()), 340);
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    if (const QScreen *screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        if (at.y() + size.height() > available.bottom()) {
            at.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - size.height());
        }
        at.setX(std::clamp(at.x(), available.left(),
                           std::max(available.left(), available.right() - size.width())));
    }
    resize(size);
    move(at);
    show();
    m_filter->setFocus();
}
