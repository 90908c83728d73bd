#include "MacAdminAssetsPage.h"

#include "MacAdminTable.h"
#include "MacAdminWidgets.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int assetButtonColumn = 2;

} // namespace

MacAdminAssetsPage::MacAdminAssetsPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("adminAssetsPage"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(16);
    row->addWidget(
        buildSection(QStringLiteral("当前素材"), QStringLiteral("清理操作先进入回收站，可恢复"), false), 1);
    row->addWidget(
        buildSection(QStringLiteral("素材回收站"), QStringLiteral("当前不提供不可逆永久删除"), true), 1);
}

QWidget *MacAdminAssetsPage::buildSection(const QString &title, const QString &note, bool trashed)
{
    const QString key = trashed ? QStringLiteral("Trash") : QStringLiteral("Assets");
    auto *section = MacAdminWidgets::panel(QStringLiteral("admin%1Section").arg(key),
                                           Theme::colour(Theme::Colour::controlBackground), 14);
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);
    auto *header = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(Theme::label(title, Theme::TextStyle::title3, QFont::Bold, Theme::Colour::primary));
    titles->addWidget(Theme::label(note, Theme::TextStyle::caption, Theme::Colour::secondary));
    header->addLayout(titles, 1);
    auto *count =
        Theme::label(QStringLiteral("0 个"), Theme::TextStyle::body, QFont::Bold, Theme::Colour::primary);
    count->setObjectName(QStringLiteral("admin%1Count").arg(key));
    header->addWidget(count);
    column->addLayout(header);

    QWidget *placeholder = MacAdminWidgets::unavailable(
        QStringLiteral("暂无素材"), trashed ? QStringLiteral("trash") : QStringLiteral("externaldrive"),
        QStringLiteral("admin%1Empty").arg(key));
    column->addWidget(placeholder);
    auto *model = new MacAdminTableModel(3, this);
    MacAdminTableView *table = makeAdminTable(model, 58, section);
    table->setObjectName(QStringLiteral("admin%1Table").arg(key));
    table->setColumnWidth(0, 46);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(assetButtonColumn, QHeaderView::Fixed);
    table->setColumnWidth(assetButtonColumn, 112);
    column->addWidget(table, 1);
    column->addStretch(0);
    connect(table, &MacAdminTableView::buttonClicked, this, [this, trashed](const QModelIndex &index) {
        if (index.column() != assetButtonColumn) {
            return;
        }
        if (trashed) {
            if (index.row() < m_shownTrash.size()) {
                Q_EMIT proposed({MacAdminPendingAction::Restore{m_shownTrash.at(index.row())}});
            }
        } else if (index.row() < m_shownAssets.size()) {
            Q_EMIT proposed({MacAdminPendingAction::Archive{m_shownAssets.at(index.row())}});
        }
    });
    if (trashed) {
        m_trashModel = model;
        m_trashTable = table;
        m_trashCount = count;
        m_trashPlaceholder = placeholder;
    } else {
        m_assetsModel = model;
        m_assetsTable = table;
        m_assetsCount = count;
        m_assetsPlaceholder = placeholder;
    }
    return section;
}

void MacAdminAssetsPage::showAssets(const std::optional<AdminAssetsResponse> &data, const QString &query,
                                    bool keepPlace)
{
    const QList<AdminAsset> current = data ? data->assets : QList<AdminAsset>();
    m_shownAssets = MacAdminRules::shownAssets(current, query);
    m_shownTrash = data ? data->trash : QList<AdminAsset>();
    const QList<AdminAsset> &trash = m_shownTrash;

    const auto rows = [](const QList<AdminAsset> &assets, bool trashed) {
        QList<AdminRow> out;
        out.reserve(assets.size());
        for (const AdminAsset &asset : assets) {
            out.append(
                {asset.stableID(),
                 {AdminCell::badge(MacAdminRules::assetBadge(asset, trashed)),
                  AdminCell::twoLines(asset.filename, MacAdminRules::assetDetailLine(asset)),
                  AdminCell::button(trashed ? QStringLiteral("恢复") : QStringLiteral("移入回收站"))}});
        }
        return out;
    };
    MacAdminWidgets::setRows(m_assetsTable, m_assetsModel, rows(m_shownAssets, false), keepPlace);
    MacAdminWidgets::setRows(m_trashTable, m_trashModel, rows(trash, true), keepPlace);
    m_assetsCount->setText(MacAdminRules::number(m_shownAssets.size()) + QStringLiteral(" 个"));
    m_trashCount->setText(MacAdminRules::number(trash.size()) + QStringLiteral(" 个"));
    m_assetsPlaceholder->setVisible(m_shownAssets.isEmpty());
    m_assetsTable->setVisible(!m_shownAssets.isEmpty());
    m_trashPlaceholder->setVisible(trash.isEmpty());
    m_trashTable->setVisible(!trash.isEmpty());
}
