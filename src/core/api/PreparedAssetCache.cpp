#include "PreparedAssetCache.h"

#include "APIClient.h"
#include "LocalFiles.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

PreparedAssetCache &PreparedAssetCache::shared()
{
    static PreparedAssetCache cache;
    return cache;
}

QString PreparedAssetCache::key(const QString &projectID, const QString &itemID, const QString &category)
{
    // Unit separators keep ("a-b", "c") and ("a", "b-c") apart.
    const QChar sep(0x1F);
    return projectID + sep + itemID + sep + category;
}

void PreparedAssetCache::remember(const QString &projectID, const QString &itemID, const QString &category,
                                  const QString &assetID, const QString &path)
{
    if (assetID.isEmpty() || path.isEmpty()) {
        return;
    }
    Entry &entry = m_entries[key(projectID, itemID, category)];
    const QString earlier = std::exchange(entry.path, path);
    entry.assetID = assetID;
    m_replaced.remove(path);
    if (!earlier.isEmpty() && earlier != path) {
        m_replaced.insert(earlier);
        removeIfUnused(earlier);
    }
}

PreparedAssetCache::Hold PreparedAssetCache::lookup(const QString &projectID, const QString &itemID,
                                                    const QString &category, const QString &assetID)
{
    if (assetID.isEmpty()) {
        return nullptr;
    }
    const QString k = key(projectID, itemID, category);
    const auto it = m_entries.constFind(k);
    if (it == m_entries.constEnd() || it->assetID != assetID) {
        return nullptr;
    }
    const QFileInfo info(it->path);
    if (!info.isFile() || info.isSymLink()) {
        m_entries.remove(k);
        return nullptr;
    }
    return hold(it->path);
}

PreparedAssetCache::Hold PreparedAssetCache::hold(const QString &path)
{
    ++m_holders[path];
    return Hold(new QString(path), [this](const QString *held) {
        release(*held);
        delete held;
    });
}

void PreparedAssetCache::release(const QString &path)
{
    const auto it = m_holders.find(path);
    if (it != m_holders.end() && --*it <= 0) {
        m_holders.erase(it);
        removeIfUnused(path);
    }
}

void PreparedAssetCache::removeIfUnused(const QString &path)
{
    if (m_holders.contains(path) || !m_replaced.contains(path)) {
        return;
    }
    m_replaced.remove(path);
    const bool mapped = std::any_of(m_entries.cbegin(), m_entries.cend(),
                                    [&](const Entry &entry) { return entry.path == path; });
    // Only a download of this program's: a path remembered from elsewhere stays.
    if (!mapped && APIClient::isDownloadPath(path)) {
        removeOwnFileSoon(path);
    }
}
