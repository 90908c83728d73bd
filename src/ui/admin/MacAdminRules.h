#pragma once

#include "common/Theme.h"
#include "models/Admin.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// The console's pages, in sidebar order. A page's identity is its title.
enum class MacAdminPage { overview, users, projects, assets, logs };

namespace MacAdminPages {
QList<MacAdminPage> allCases();
QString title(MacAdminPage page);
QString symbol(MacAdminPage page);
// Empty for the overview, which has no search field.
QString searchPlaceholder(MacAdminPage page);
// Exactly the five titles make a page.
std::optional<MacAdminPage> fromRawValue(const QString &rawValue);
} // namespace MacAdminPages

// A change the administrator proposed and has not confirmed yet.
struct MacAdminPendingAction
{
    struct Account
    {
        AdminUser user;
        QString status;
    };
    struct Project
    {
        AdminProject project;
        QString status;
    };
    struct Transfer
    {
        AdminProject project;
        AdminUser user;
    };
    struct Archive
    {
        AdminAsset asset;
    };
    struct Restore
    {
        AdminAsset asset;
    };
    std::variant<Account, Project, Transfer, Archive, Restore> value;

    QString id() const;
    QString title() const; // the question the confirmation asks
    QString message() const;
};

namespace MacAdminRules {

inline const QString noPendingTitle = QStringLiteral("确认操作？");

// Plain decimal text: no grouping, "-" for negatives.
QString number(qint64 value);
// KB below 1 MiB (negatives give 0 KB), "%.1f MB" below 1 GiB, "%.2f GB" above; powers of 1,024.
QString bytes(qint64 value);
// "暂无" when absent or empty; otherwise "T" becomes a blank and the first 16 characters remain.
QString shortTime(const std::optional<QString> &timestamp);

const QStringList &projectStatuses();

// The identifier an asset action sends; nullopt when the asset carries none. Archive prefers
// `id`, restore prefers `assetId`; each falls back to the other.
std::optional<QString> archiveTarget(const AdminAsset &asset);
std::optional<QString> restoreTarget(const AdminAsset &asset);

// Search: an empty query keeps every row, otherwise the joined fields must contain it
// case-insensitively, as typed.
bool matches(const QStringList &fields, const QString &query);
QList<AdminUser> shownUsers(const QList<AdminUser> &users, const QString &query);
QList<AdminAuditLog> shownLogs(const QList<AdminAuditLog> &logs, const QString &query);
QList<AdminProject> shownProjects(const QList<AdminProject> &projects, const QString &query);
QList<AdminAsset> shownAssets(const QList<AdminAsset> &assets, const QString &query);

struct SourceStyle
{
    QString label;
    Theme::Colour colour;
};
SourceStyle sourceStyle(const AdminUser &user);
QString sourceNote(const AdminUser &user);

// The target status the status button of an account proposes, and the button's title.
QString proposedAccountStatus(const AdminUser &user);
QString accountButtonTitle(const AdminUser &user);

QString projectDateLine(const AdminProject &project);
QString projectAssetsText(const AdminProject &project);
// Active users other than the project's owner, in the order received.
QList<AdminUser> transferCandidates(const QList<AdminUser> &users, const AdminProject &project);

QString assetBadge(const AdminAsset &asset, bool trashed);
QString assetDetailLine(const AdminAsset &asset);

QString logActorLine(const AdminAuditLog &log);

} // namespace MacAdminRules
