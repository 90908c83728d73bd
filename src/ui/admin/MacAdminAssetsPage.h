#pragma once

#include "admin/MacAdminRules.h"
#include "models/Admin.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class MacAdminTableModel;
class QLabel;
class QTableView;

// The assets page: the current assets, which can be moved into the trash, beside the trash,
// from which they can be restored.
class MacAdminAssetsPage : public QWidget
{
    Q_OBJECT

public:
    explicit MacAdminAssetsPage(QWidget *parent = nullptr);

    void showAssets(const std::optional<AdminAssetsResponse> &data, const QString &query, bool keepPlace);

Q_SIGNALS:
    void proposed(const MacAdminPendingAction &action);

private:
    QWidget *buildSection(const QString &title, const QString &note, bool trashed);

    // What the lists show, in row order, for the row buttons.
    QList<AdminAsset> m_shownAssets;
    QList<AdminAsset> m_shownTrash;

    MacAdminTableModel *m_assetsModel = nullptr;
    MacAdminTableModel *m_trashModel = nullptr;
    QTableView *m_assetsTable = nullptr;
    QTableView *m_trashTable = nullptr;
    QLabel *m_assetsCount = nullptr;
    QLabel *m_trashCount = nullptr;
    QWidget *m_assetsPlaceholder = nullptr;
    QWidget *m_trashPlaceholder = nullptr;
};
