#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>

// Files prepared or downloaded in this run, so live playback can reuse what the asset manager
// already put on this machine. Keyed by the asset id too: a new upload is never confused with
// the file of the asset it replaced. An item's file goes once the item names another asset and
// nobody holds the file; the rest goes with the run's download folder.
class PreparedAssetCache
{
public:
    // Keeps a handed-out file on disk while it lives, though its item names another asset
    // meanwhile: a player opens the file a while after lookup, then plays it.
    using Hold = std::shared_ptr<const QString>;

    static PreparedAssetCache &shared();

    void remember(const QString &projectID, const QString &itemID, const QString &category,
                  const QString &assetID, const QString &path);
    // The remembered path, held, while it still names a regular file; null, and forgotten,
    // otherwise. Held as it is found: an item that names another asset before the player opens
    // the file cannot take it away.
    Hold lookup(const QString &projectID, const QString &itemID, const QString &category,
                const QString &assetID);
    Hold hold(const QString &path);
    void clear()
    {
        m_entries.clear();
        m_replaced.clear();
    }

private:
    struct Entry
    {
        QString assetID;
        QString path;
    };
    static QString key(const QString &projectID, const QString &itemID, const QString &category);
    void release(const QString &path);
    void removeIfUnused(const QString &path);

    QHash<QString, Entry> m_entries;
    QHash<QString, int> m_holders;
    // Files of assets their items no longer name, kept while held.
    QSet<QString> m_replaced;
};
