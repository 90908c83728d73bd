#include "MacAdminRules.h"

#include <algorithm>

namespace MacAdminPages {

QList<MacAdminPage> allCases()
{
    return {MacAdminPage::overview, MacAdminPage::users, MacAdminPage::projects, MacAdminPage::assets,
            MacAdminPage::logs};
}

QString title(MacAdminPage page)
{
    switch (page) {
    case MacAdminPage::overview:
        return QStringLiteral("总览");
    case MacAdminPage::users:
        return QStringLiteral("用户管理");
    case MacAdminPage::projects:
        return QStringLiteral("演出项目");
    case MacAdminPage::assets:
        return QStringLiteral("素材空间");
    case MacAdminPage::logs:
        return QStringLiteral("操作审计");
    }
    return {};
}

QString symbol(MacAdminPage page)
{
    switch (page) {
    case MacAdminPage::overview:
        return QStringLiteral("chart.bar.xaxis");
    case MacAdminPage::users:
        return QStringLiteral("person.2");
    case MacAdminPage::projects:
        return QStringLiteral("rectangle.stack");
    case MacAdminPage::assets:
        return QStringLiteral("externaldrive");
    case MacAdminPage::logs:
        return QStringLiteral("clock.arrow.circlepath");
    }
    return {};
}

QString searchPlaceholder(MacAdminPage page)
{
    switch (page) {
    case MacAdminPage::overview:
        return {};
    case MacAdminPage::users:
        return QStringLiteral("搜索用户或邀请人");
    case MacAdminPage::projects:
    case MacAdminPage::assets:
    case MacAdminPage::logs:
        return QStringLiteral("搜索名称、项目或素材");
    }
    return {};
}

std::optional<MacAdminPage> fromRawValue(const QString &rawValue)
{
    for (MacAdminPage page : allCases()) {
        if (title(page) == rawValue) {
            return page;
        }
    }
    return std::nullopt;
}

} // namespace MacAdminPages

namespace {

template<class... Ts>
struct overloaded : Ts...
{
    using Ts::operator()...;
};
template<class... Ts>
overloaded(Ts...) -> overloaded<Ts...>;

const QString active = QStringLiteral("active");
const QString suspended = QStringLiteral("suspended");

} // namespace

QString MacAdminPendingAction::id() const
{
    return std::visit(
        overloaded{
            [](const Account &a) { return QStringLiteral("account-") + a.user.id + u'-' + a.status; },
            [](const Project &p) { return QStringLiteral("project-") + p.project.id + u'-' + p.status; },
            [](const Transfer &t) { return QStringLiteral("transfer-") + t.project.id + u'-' + t.user.id; },
            [](const Archive &a) { return QStringLiteral("archive-") + a.asset.stableID(); },
            [](const Restore &r) { return QStringLiteral("restore-") + r.asset.stableID(); },
        },
        value);
}

QString MacAdminPendingAction::title() const
{
    return std::visit(overloaded{
                          [](const Account &a) {
                              return QStringLiteral("确认") +
                                     (a.status == active ? QStringLiteral("恢复") : QStringLiteral("停用")) +
                                     QStringLiteral("账号“") + a.user.name + QStringLiteral("”？");
                          },
                          [](const Project &p) {
                              return QStringLiteral("将“") + p.project.name + QStringLiteral("”调整为“") +
                                     p.status + QStringLiteral("”？");
                          },
                          [](const Transfer &t) {
                              return QStringLiteral("将“") + t.project.name + QStringLiteral("”移交给“") +
                                     t.user.name + QStringLiteral("”？");
                          },
                          [](const Archive &a) {
                              return QStringLiteral("将“") + a.asset.filename +
                                     QStringLiteral("”移入回收站？");
                          },
                          [](const Restore &r) {
                              return QStringLiteral("恢复素材“") + r.asset.filename + QStringLiteral("”？");
                          },
                      },
                      value);
}

QString MacAdminPendingAction::message() const
{
    return std::visit(
        overloaded{
            [](const Account &a) {
                return a.status == active
                           ? QStringLiteral("恢复后用户可以重新登录。")
                           : QStringLiteral("停用会立即清除该账号现有登录会话，操作写入审计日志。");
            },
            [](const Project &) { return QStringLiteral("项目数据不会删除，状态变更会写入审计日志。"); },
            [](const Transfer &) {
                return QStringLiteral("接收账号将成为总导演，原创建人保留项目成员身份；操作会写入审计日志。");
            },
            [](const Archive &) { return QStringLiteral("素材会进入可恢复回收站，不执行永久删除。"); },
            [](const Restore &) { return QStringLiteral("素材将恢复到原节目及原素材类别。"); },
        },
        value);
}

namespace MacAdminRules {

QString number(qint64 value)
{
    return QString::number(value);
}

QString bytes(qint64 value)
{
    constexpr qint64 mib = 1048576;
    constexpr qint64 gib = 1073741824;
    if (value < mib) {
        return QString::number(std::max<qint64>(value, 0) / 1024) + QStringLiteral(" KB");
    }
    if (value < gib) {
        return QString::asprintf("%.1f MB", double(value) / double(mib));
    }
    return QString::asprintf("%.2f GB", double(value) / double(gib));
}

QString shortTime(const std::optional<QString> &timestamp)
{
    if (!timestamp || timestamp->isEmpty()) {
        return QStringLiteral("暂无");
    }
    QString text = *timestamp;
    text.replace(u'T', u' ');
    return text.left(16);
}

const QStringList &projectStatuses()
{
    static const QStringList statuses = {QStringLiteral("筹备中"), QStringLiteral("进行中"),
                                         QStringLiteral("已暂停"), QStringLiteral("已归档")};
    return statuses;
}

std::optional<QString> archiveTarget(const AdminAsset &asset)
{
    return asset.id ? asset.id : asset.assetId;
}

std::optional<QString> restoreTarget(const AdminAsset &asset)
{
    return asset.assetId ? asset.assetId : asset.id;
}

bool matches(const QStringList &fields, const QString &query)
{
    return query.isEmpty() || fields.join(QString()).contains(query, Qt::CaseInsensitive);
}

namespace {

template<class T, class Fields>
QList<T> filtered(const QList<T> &rows, const QString &query, Fields fields)
{
    if (query.isEmpty()) {
        return rows;
    }
    QList<T> out;
    for (const T &row : rows) {
        if (matches(fields(row), query)) {
            out.append(row);
        }
    }
    return out;
}

} // namespace

QList<AdminUser> shownUsers(const QList<AdminUser> &users, const QString &query)
{
    return filtered(users, query, [](const AdminUser &u) {
        return QStringList{u.name, u.phone, u.inviterName.value_or(QString()),
                           u.inviterPhone.value_or(QString())};
    });
}

QList<AdminAuditLog> shownLogs(const QList<AdminAuditLog> &logs, const QString &query)
{
    return filtered(logs, query, [](const AdminAuditLog &l) {
        return QStringList{l.summary, l.adminName.value_or(QString()), l.targetType.value_or(QString())};
    });
}

QList<AdminProject> shownProjects(const QList<AdminProject> &projects, const QString &query)
{
    return filtered(projects, query, [](const AdminProject &p) {
        return QStringList{p.name, p.ownerName.value_or(QString()), p.ownerPhone.value_or(QString())};
    });
}

QList<AdminAsset> shownAssets(const QList<AdminAsset> &assets, const QString &query)
{
    return filtered(assets, query, [](const AdminAsset &a) {
        return QStringList{a.filename, a.projectName.value_or(QString()), a.itemTitle.value_or(QString())};
    });
}

SourceStyle sourceStyle(const AdminUser &user)
{
    const QString &source = user.registrationSource;
    if (source == QStringLiteral("invitation")) {
        return {QStringLiteral("邀请注册"), Theme::Colour::green};
    }
    if (source == QStringLiteral("lottery")) {
        return {QStringLiteral("抽奖注册"), Theme::Colour::orange};
    }
    if (source == QStringLiteral("direct")) {
        return {QStringLiteral("直接注册"), Theme::Colour::blue};
    }
    return {QStringLiteral("历史用户"), Theme::Colour::secondary};
}

QString sourceNote(const AdminUser &user)
{
    const QString &source = user.registrationSource;
    if (source == QStringLiteral("invitation")) {
        return user.inviterName ? QStringLiteral("由 ") + *user.inviterName + QStringLiteral(" 邀请")
                                : QStringLiteral("邀请人待核对");
    }
    if (source == QStringLiteral("lottery")) {
        QStringList parts;
        for (const auto &part : {user.registrationProjectName, user.registrationItemTitle}) {
            if (part && !part->isEmpty()) {
                parts.append(*part);
            }
        }
        return parts.join(QStringLiteral(" · "));
    }
    if (source == QStringLiteral("direct")) {
        return QStringLiteral("用户自行进入注册");
    }
    return QStringLiteral("当时未记录来源");
}

QString proposedAccountStatus(const AdminUser &user)
{
    return user.status == suspended ? active : suspended;
}

QString accountButtonTitle(const AdminUser &user)
{
    return user.status == suspended ? QStringLiteral("恢复") : QStringLiteral("停用");
}

QString projectDateLine(const AdminProject &project)
{
    QStringList parts;
    for (const QString &part : {project.eventDate, project.startTime}) {
        if (!part.isEmpty()) {
            parts.append(part);
        }
    }
    return parts.join(QStringLiteral(" · "));
}

QString projectAssetsText(const AdminProject &project)
{
    return number(project.assetCount) + QStringLiteral(" · ") + bytes(project.assetBytes);
}

QList<AdminUser> transferCandidates(const QList<AdminUser> &users, const AdminProject &project)
{
    QList<AdminUser> out;
    for (const AdminUser &user : users) {
        if (user.status == active && (!project.ownerAccountId || user.id != *project.ownerAccountId)) {
            out.append(user);
        }
    }
    return out;
}

QString assetBadge(const AdminAsset &asset, bool trashed)
{
    if (asset.category == QStringLiteral("audio")) {
        return QStringLiteral("音");
    }
    return trashed ? QStringLiteral("回") : QStringLiteral("视");
}

QString assetDetailLine(const AdminAsset &asset)
{
    return asset.projectName.value_or(QStringLiteral("未知项目")) + QStringLiteral(" · ") +
           asset.itemTitle.value_or(QStringLiteral("未命名节目")) + QStringLiteral(" · ") +
           bytes(asset.fileSize.value_or(0));
}

QString logActorLine(const AdminAuditLog &log)
{
    return log.adminName.value_or(QStringLiteral("超级管理员")) + QStringLiteral(" · ") +
           log.targetType.value_or(QStringLiteral("平台对象")) + QStringLiteral(" · ") +
           log.targetId.value_or(QString());
}

} // namespace MacAdminRules
