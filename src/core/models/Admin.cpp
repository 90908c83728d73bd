#include "Admin.h"

#include "json/Json.h"

QString AdminAsset::stableID() const
{
    if (id) {
        return *id;
    }
    if (assetId) {
        return *assetId;
    }
    return projectId.value_or(QString()) + QLatin1Char('-') + filename;
}
