#include "PreparedAssetCache.h"

#include <QFileInfo>

PreparedAssetCache &PreparedAssetCache::shared()
{
    static PreparedAssetCache cache;
    return cache;
}

QString PreparedAssetCache::key(const QString &projectID, const QString &itemID, const QString &category,
                                const QString &assetID)
{
    // Unit separators keep ("a-b", "c") and ("a", "b-c") apart.
    const QChar sep(0x1F);
    return projectID + sep + itemID + sep + category + sep + assetID;
}

void PreparedAssetCache::remember(const QString &projectID, const QString &itemID, const QString &category,
                                  const QString &assetID, const QString &path)
{
    if (assetID.isEmpty() || path.isEmpty()) {
        return;
    }
    m_paths.insert(key(projectID, itemID, category, assetID), path);
}

std::optional<QString> PreparedAssetCache::lookup(const QString &projectID, const QString &itemID,
                                                  const QString &category, const QString &assetID)
{
    if (assetID.isEmpty()) {
        return std::nullopt;
    }
    const QString k = key(projectID, itemID, category, assetID);
    const auto it = m_paths.constFind(k);
    if (it == m_paths.constEnd()) {
        return std::nullopt;
    }
    const QFileInfo info(*it);
    if (!info.isFile() || info.isSymLink()) {
        m_paths.remove(k);
        return std::nullopt;
    }
    return *it;
}
