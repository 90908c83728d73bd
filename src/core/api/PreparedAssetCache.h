#pragma once

#include <QHash>
#include <QString>

#include <optional>

// Files prepared or downloaded in this run, so live playback can reuse what the asset manager
// already put on this machine. Keyed by the asset id too: a new upload is never confused with
// the file of the asset it replaced.
class PreparedAssetCache
{
public:
    static PreparedAssetCache &shared();

    void remember(const QString &projectID, const QString &itemID, const QString &category,
                  const QString &assetID, const QString &path);
    // The remembered path while it still names a regular file; forgets it otherwise.
    std::optional<QString> lookup(const QString &projectID, const QString &itemID, const QString &category,
                                  const QString &assetID);
    void clear() { m_paths.clear(); }

private:
    static QString key(const QString &projectID, const QString &itemID, const QString &category,
                       const QString &assetID);
    QHash<QString, QString> m_paths;
};
