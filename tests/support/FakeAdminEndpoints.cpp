#include "FakeEndpointsInternal.h"

#include <QHash>
#include <QSet>

namespace fake {

FakeReply Endpoints::adminView()
{
    superAdmin();
    const QString view = query(QStringLiteral("view"));
    const auto liveAssets = [&] {
        QList<const FakeAsset *> out;
        for (const FakeAsset &asset : std::as_const(m_p.assets)) {
            if (!asset.trashedAt) {
                out.append(&asset);
            }
        }
        return out;
    };

    if (view == QStringLiteral("overview")) {
        AdminOverview o;
        o.users = m_p.accounts.size();
        o.activeUsers = std::count_if(m_p.accounts.cbegin(), m_p.accounts.cend(), [](const FakeAccount &a) {
            return a.status == QStringLiteral("active");
        });
        o.projects = m_p.projects.size();
        o.activeProjects =
            std::count_if(m_p.projects.cbegin(), m_p.projects.cend(),
                          [](const FakeProject &p) { return p.summary.status != QStringLiteral("已归档"); });
        for (const FakeAsset *asset : liveAssets()) {
            ++o.assets;
            o.assetBytes += asset->bytes.size();
        }
        o.pendingInvites = std::count_if(m_p.invitations.cbegin(), m_p.invitations.cend(),
                                         [](const FakeInvitation &i) { return !i.accepted; });
        o.smsFailures = m_p.smsFailures;
        o.smsConfigured = m_p.smsConfigured;
        return jsonReply(AdminOverviewResponse{o}.toJson());
    }
    if (view == QStringLiteral("users")) {
        AdminUsersResponse response;
        response.sourceSummary.total = m_p.accounts.size();
        qint64 direct = 0;
        qint64 invitation = 0;
        qint64 lottery = 0;
        qint64 legacy = 0;
        // Indexed once: the console is tried with tens of thousands of accounts.
        QHash<QString, const FakeAccount *> byId;
        QHash<QString, qint64> invited;
        QHash<QString, qint64> projectCounts;
        for (const FakeAccount &account : std::as_const(m_p.accounts)) {
            byId.insert(account.account.id, &account);
            if (account.invitedByAccountId) {
                ++invited[*account.invitedByAccountId];
            }
        }
        for (const FakeProject &p : std::as_const(m_p.projects)) {
            QSet<QString> seen;
            for (const ProjectMember &member : p.members) {
                if (member.accountId && !member.accountId->isEmpty() && !seen.contains(*member.accountId)) {
                    seen.insert(*member.accountId);
                    ++projectCounts[*member.accountId];
                }
            }
        }
        for (const FakeAccount &account : std::as_const(m_p.accounts)) {
            AdminUser u;
            u.id = account.account.id;
            u.name = account.account.name;
            u.nickname = account.account.nickname;
            u.phone = account.account.phone;
            u.status = account.status;
            u.createdAt = account.createdAt;
            u.registrationSource = account.registrationSource;
            u.invitedByAccountId = account.invitedByAccountId;
            if (account.invitedByAccountId) {
                if (const FakeAccount *inviter = byId.value(*account.invitedByAccountId)) {
                    u.inviterName = inviter->account.name;
                    u.inviterPhone = inviter->account.phone;
                }
            }
            u.registrationProjectName = account.registrationProjectName;
            u.registrationItemTitle = account.registrationItemTitle;
            u.projectCount = projectCounts.value(account.account.id);
            u.lastLoginAt = account.lastLoginAt;
            u.invitedCount = invited.value(account.account.id);
            response.users.append(u);
            if (u.invitedCount > 0) {
                response.leaderboard.append(AdminInviteLeader{u.id, u.name, u.phone, u.invitedCount});
            }
            if (account.registrationSource == QStringLiteral("direct")) {
                ++direct;
            } else if (account.registrationSource == QStringLiteral("invitation")) {
                ++invitation;
            } else if (account.registrationSource == QStringLiteral("lottery")) {
                ++lottery;
            } else {
                ++legacy;
            }
        }
        std::stable_sort(response.leaderboard.begin(), response.leaderboard.end(),
                         [](const AdminInviteLeader &x, const AdminInviteLeader &y) {
                             return x.invitedCount > y.invitedCount;
                         });
        response.sourceSummary.directCount = direct;
        response.sourceSummary.invitationCount = invitation;
        response.sourceSummary.lotteryCount = lottery;
        response.sourceSummary.legacyCount = legacy;
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("projects")) {
        AdminProjectsResponse response;
        const QList<const FakeAsset *> live = liveAssets();
        for (const FakeProject &p : std::as_const(m_p.projects)) {
            AdminProject row;
            row.id = p.summary.id;
            row.name = p.summary.name;
            row.eventDate = p.summary.eventDate;
            row.startTime = p.summary.startTime;
            row.status = p.summary.status;
            if (const FakeAccount *owner = m_p.account(p.ownerAccountId)) {
                row.ownerAccountId = owner->account.id;
                row.ownerName = owner->account.name;
                row.ownerPhone = owner->account.phone;
            }
            row.memberCount = p.members.size();
            row.itemCount = p.items.size();
            for (const FakeAsset *asset : live) {
                if (asset->projectId == p.summary.id) {
                    ++row.assetCount;
                    row.assetBytes += asset->bytes.size();
                }
            }
            response.projects.append(row);
        }
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("assets")) {
        AdminAssetsResponse response;
        for (const FakeAsset &asset : std::as_const(m_p.assets)) {
            AdminAsset row;
            row.id = asset.id;
            row.assetId = asset.id;
            row.filename = asset.filename;
            row.category = asset.category;
            row.fileSize = asset.bytes.size();
            row.projectId = asset.projectId;
            row.itemId = asset.itemId;
            row.createdAt = asset.createdAt;
            row.trashedAt = asset.trashedAt;
            if (const FakeProject *p = m_p.project(asset.projectId)) {
                row.projectName = p->summary.name;
                if (const RundownItem *i = p->item(asset.itemId)) {
                    row.itemTitle = i->title;
                }
            }
            (asset.trashedAt ? response.trash : response.assets).append(row);
        }
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("logs")) {
        AdminLogsResponse response;
        for (auto it = m_p.auditLogs.crbegin(); it != m_p.auditLogs.crend(); ++it) {
            response.logs.append(*it);
        }
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("project")) {
        const FakeProject &p = project(query(QStringLiteral("id")));
        return jsonReply(AdminProjectDetailResponse{p.summary, p.members, p.items}.toJson());
    }
    refuse(400, QStringLiteral("未知的视图"));
}

FakeReply Endpoints::adminAction()
{
    const FakeAccount &admin = superAdmin();
    const auto payload = this->payload<AdminActionPayload>();

    if (payload.action == QStringLiteral("accountStatus")) {
        const QString status = payload.status.value_or(QString());
        if (status != QStringLiteral("active") && status != QStringLiteral("suspended")) {
            refuse(400, QStringLiteral("无效的状态"));
        }
        FakeAccount *account = m_p.account(payload.id);
        if (!account) {
            refuse(404, QStringLiteral("账号不存在"));
        }
        if (account->account.id == admin.account.id && status == QStringLiteral("suspended")) {
            refuse(409, QStringLiteral("不能停用自己的账号"));
        }
        account->status = status;
        if (status == QStringLiteral("suspended")) {
            for (auto it = m_p.tokens.begin(); it != m_p.tokens.end();) {
                it = it.value() == payload.id ? m_p.tokens.erase(it) : std::next(it);
            }
        }
        audit(admin, payload.action, QStringLiteral("account"), payload.id,
              QStringLiteral("%1账号 %2")
                  .arg(status == QStringLiteral("active") ? QStringLiteral("恢复") : QStringLiteral("停用"),
                       account->account.name));
        return okReply();
    }
    if (payload.action == QStringLiteral("projectStatus")) {
        static const QStringList statuses = {QStringLiteral("筹备中"), QStringLiteral("进行中"),
                                             QStringLiteral("已暂停"), QStringLiteral("已归档")};
        const QString status = payload.status.value_or(QString());
        if (!statuses.contains(status)) {
            refuse(400, QStringLiteral("无效的状态"));
        }
        FakeProject &p = project(payload.id);
        p.summary.status = status;
        audit(admin, payload.action, QStringLiteral("project"), payload.id,
              QStringLiteral("将演出《%1》设为%2").arg(p.summary.name, status));
        return okReply();
    }
    if (payload.action == QStringLiteral("transferProject")) {
        FakeProject &p = project(payload.id);
        const FakeAccount *target = m_p.account(payload.targetAccountId.value_or(QString()));
        if (!target) {
            refuse(404, QStringLiteral("账号不存在"));
        }
        if (target->status != QStringLiteral("active")) {
            refuse(409, QStringLiteral("接收账号已停用，不能接收项目"));
        }
        if (target->account.id == p.ownerAccountId) {
            refuse(409, QStringLiteral("该账号已是项目创建人"));
        }
        // One 总导演 per project: the former owner stays a member as 副导演.
        if (ProjectMember *former = p.memberForAccount(p.ownerAccountId)) {
            if (former->role == roleChief) {
                former->role = QStringLiteral("副导演");
            }
        }
        p.ownerAccountId = target->account.id;
        if (ProjectMember *member = p.memberForAccount(target->account.id)) {
            member->role = roleChief;
        } else {
            m_p.addMember(p.summary.id, target->account.name, roleChief, target->account.id);
        }
        audit(admin, payload.action, QStringLiteral("project"), payload.id,
              QStringLiteral("将演出《%1》转交给 %2").arg(p.summary.name, target->account.name));
        return okReply();
    }
    if (payload.action == QStringLiteral("archiveAsset") ||
        payload.action == QStringLiteral("restoreAsset")) {
        FakeAsset *asset = m_p.asset(payload.id);
        if (!asset) {
            refuse(404, QStringLiteral("素材不存在"));
        }
        const bool archive = payload.action == QStringLiteral("archiveAsset");
        if (archive == asset->trashedAt.has_value()) {
            // Already where it was sent (another administrator was quicker): nothing to do.
            return okReply();
        }
        FakeProject *p = m_p.project(asset->projectId);
        RundownItem *i = p ? p->item(asset->itemId) : nullptr;
        const bool audio = asset->category == QStringLiteral("audio");
        if (archive) {
            asset->trashedAt = m_p.now();
            if (i && (audio ? i->audioAssetId : i->videoAssetId) == asset->id) {
                (audio ? i->audioAssetId : i->videoAssetId).reset();
                (audio ? i->audioName : i->videoName).clear();
                (audio ? i->audioDuration : i->videoDuration) = 0;
            }
        } else {
            asset->trashedAt.reset();
            if (i) {
                // Back into its slot; a file that took the slot meanwhile goes to the bin, as an
                // upload that replaces a file does.
                std::optional<QString> &slot = audio ? i->audioAssetId : i->videoAssetId;
                if (slot && *slot != asset->id) {
                    if (FakeAsset *displaced = m_p.asset(*slot)) {
                        displaced->trashedAt = m_p.now();
                    }
                }
                slot = asset->id;
                (audio ? i->audioName : i->videoName) = asset->filename;
                (audio ? i->audioDuration : i->videoDuration) = asset->durationSeconds;
            }
        }
        if (p) {
            m_p.refreshReadiness(*p);
        }
        audit(admin, payload.action, QStringLiteral("asset"), payload.id,
              QStringLiteral("%1素材 %2")
                  .arg(archive ? QStringLiteral("归档") : QStringLiteral("恢复"), asset->filename));
        return okReply();
    }
    refuse(400, errUnknownAction);
}

// --- Assets ----------------------------------------------------------------------------------

} // namespace fake
