#include "FakePlatform.h"

#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace {

// Colours the fake hands out to new members, in turn.
const QStringList memberColours = {
    QStringLiteral("#5856D6"), QStringLiteral("#FF9500"), QStringLiteral("#34C759"),
    QStringLiteral("#FF2D55"), QStringLiteral("#007AFF"), QStringLiteral("#AF52DE"),
    QStringLiteral("#5AC8FA"), QStringLiteral("#FFCC00"),
};

template<class List, class Pred>
auto findIn(List &list, Pred pred) -> decltype(&list[0])
{
    for (auto &entry : list) {
        if (pred(entry)) {
            return &entry;
        }
    }
    return nullptr;
}

bool needsPerformers(const QString &type)
{
    return type != QStringLiteral("VCR") && type != QStringLiteral("换场");
}

} // namespace

ProjectMember *FakeProject::member(const QString &memberId)
{
    return findIn(members, [&](const ProjectMember &m) { return m.id == memberId; });
}

const ProjectMember *FakeProject::member(const QString &memberId) const
{
    return const_cast<FakeProject *>(this)->member(memberId);
}

ProjectMember *FakeProject::memberForAccount(const QString &accountId)
{
    if (accountId.isEmpty()) {
        return nullptr;
    }
    return findIn(members, [&](const ProjectMember &m) { return m.accountId == accountId; });
}

const ProjectMember *FakeProject::memberForAccount(const QString &accountId) const
{
    return const_cast<FakeProject *>(this)->memberForAccount(accountId);
}

RundownItem *FakeProject::item(const QString &itemId)
{
    return findIn(items, [&](const RundownItem &i) { return i.id == itemId; });
}

const RundownItem *FakeProject::item(const QString &itemId) const
{
    return const_cast<FakeProject *>(this)->item(itemId);
}

WorkItem *FakeProject::workItem(const QString &workItemId)
{
    return findIn(workItems, [&](const WorkItem &w) { return w.id == workItemId; });
}

FakeAccount *FakePlatform::account(const QString &accountId)
{
    return findIn(accounts, [&](const FakeAccount &a) { return a.account.id == accountId; });
}

const FakeAccount *FakePlatform::account(const QString &accountId) const
{
    return const_cast<FakePlatform *>(this)->account(accountId);
}

FakeAccount *FakePlatform::accountByPhone(const QString &phone)
{
    return findIn(accounts, [&](const FakeAccount &a) { return a.account.phone == phone; });
}

FakeProject *FakePlatform::project(const QString &projectId)
{
    return findIn(projects, [&](const FakeProject &p) { return p.summary.id == projectId; });
}

const FakeProject *FakePlatform::project(const QString &projectId) const
{
    return const_cast<FakePlatform *>(this)->project(projectId);
}

FakeAsset *FakePlatform::asset(const QString &assetId)
{
    return findIn(assets, [&](const FakeAsset &a) { return a.id == assetId; });
}

QString FakePlatform::nextId(const QString &prefix)
{
    return prefix + QLatin1Char('-') + QString::number(m_nextId++);
}

QString FakePlatform::newToken()
{
    QByteArray raw(24, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(raw.data()), raw.size() / 4);
    return QString::fromLatin1(raw.toHex());
}

QString FakePlatform::now() const
{
    if (fixedNow) {
        return *fixedNow;
    }
    return QDateTime::currentDateTime().toOffsetFromUtc(8 * 3600).toString(Qt::ISODate);
}

QString FakePlatform::addAccount(const QString &phone, const QString &name, bool superAdmin)
{
    FakeAccount entry;
    entry.account.id = nextId(QStringLiteral("acct"));
    entry.account.name = name;
    entry.account.phone = phone;
    if (superAdmin) {
        entry.account.isSuperAdmin = true;
    }
    entry.createdAt = now();
    accounts.append(entry);
    return entry.account.id;
}

QString FakePlatform::issueToken(const QString &accountId)
{
    const QString token = newToken();
    tokens.insert(token, accountId);
    return token;
}

QString FakePlatform::addProject(const QString &name, const QString &ownerAccountId, const QString &ownerRole)
{
    FakeProject project;
    project.summary.id = nextId(QStringLiteral("proj"));
    project.summary.name = name;
    project.summary.status = QStringLiteral("筹备中");
    project.ownerAccountId = ownerAccountId;
    project.createdAt = now();
    projects.append(project);
    if (const FakeAccount *owner = account(ownerAccountId)) {
        addMember(project.summary.id, owner->account.name, ownerRole, ownerAccountId);
    }
    return project.summary.id;
}

QString FakePlatform::addMember(const QString &projectId, const QString &name, const QString &role,
                                const QString &accountId)
{
    FakeProject *p = project(projectId);
    if (!p) {
        return {};
    }
    ProjectMember member;
    member.id = nextId(QStringLiteral("mem"));
    if (!accountId.isEmpty()) {
        member.accountId = accountId;
    }
    member.projectId = projectId;
    member.name = name;
    member.role = role;
    member.color = memberColours.at(p->members.size() % memberColours.size());
    if (role == QStringLiteral("工作人员")) {
        member.passAreas = QStringLiteral("后台");
    }
    p->members.append(member);
    return member.id;
}

QString FakePlatform::addItem(const QString &projectId, const QString &title, const QString &type)
{
    FakeProject *p = project(projectId);
    if (!p) {
        return {};
    }
    RundownItem item;
    item.id = nextId(QStringLiteral("item"));
    qint64 order = 0;
    for (const RundownItem &other : std::as_const(p->items)) {
        order = std::max(order, other.order);
    }
    item.order = order + 1;
    item.section = QStringLiteral("正式演出");
    item.title = title;
    item.type = type;
    item.durationSource = QStringLiteral("manual");
    p->items.append(item);
    refreshReadiness(*p);
    return item.id;
}

QString FakePlatform::attachAsset(const QString &projectId, const QString &itemId, const QString &category,
                                  const QString &filename, const QByteArray &bytes, int durationSeconds)
{
    FakeProject *p = project(projectId);
    RundownItem *item = p ? p->item(itemId) : nullptr;
    if (!item) {
        return {};
    }
    FakeAsset asset;
    asset.id = nextId(QStringLiteral("asset"));
    asset.projectId = projectId;
    asset.itemId = itemId;
    asset.category = category;
    asset.filename = filename;
    asset.bytes = bytes;
    asset.createdAt = now();
    asset.durationSeconds = std::max(0, durationSeconds);
    assets.append(asset);

    const int seconds = std::max(0, durationSeconds);
    if (category == QStringLiteral("audio")) {
        item->audioName = filename;
        item->audioAssetId = asset.id;
        item->audioDuration = seconds;
    } else {
        item->videoName = filename;
        item->videoAssetId = asset.id;
        item->videoDuration = seconds;
    }
    refreshReadiness(*p);
    return asset.id;
}

std::optional<Membership> FakePlatform::membershipOf(const FakeProject &project,
                                                     const QString &accountId) const
{
    const ProjectMember *member = project.memberForAccount(accountId);
    if (!member) {
        return std::nullopt;
    }
    return Membership{member->id, project.summary.id, member->name, member->role};
}

QList<Membership> FakePlatform::membershipsOf(const QString &accountId) const
{
    QList<Membership> out;
    for (const FakeProject &p : projects) {
        if (auto membership = membershipOf(p, accountId)) {
            out.append(*membership);
        }
    }
    return out;
}

ProjectDetailResponse FakePlatform::detail(const FakeProject &project, const Membership &membership) const
{
    return ProjectDetailResponse{
        project.summary, membership,           project.members,    project.performerGroups,
        project.makeup,  project.makeupShifts, project.operations, project.items,
    };
}

QStringList FakePlatform::missingInformation(const RundownItem &item)
{
    QStringList missing;
    if (TextRules::trimmed(item.title).isEmpty()) {
        missing.append(QStringLiteral("节目名称"));
    }
    if (PermissionPolicy::people(item.owner).isEmpty()) {
        missing.append(QStringLiteral("节目负责人"));
    }
    if (needsPerformers(item.type) && PermissionPolicy::people(item.performers).isEmpty()) {
        missing.append(QStringLiteral("表演者"));
    }
    return missing;
}

void FakePlatform::refreshReadiness(FakeProject &project) const
{
    for (RundownItem &item : project.items) {
        if (!missingInformation(item).isEmpty()) {
            item.status = QStringLiteral("待完善");
            continue;
        }
        bool mediaMissing = false;
        if (item.type == QStringLiteral("VCR")) {
            mediaMissing = !item.hasVideo();
        } else if (item.type == QStringLiteral("歌曲") || item.type == QStringLiteral("舞蹈")) {
            mediaMissing = !item.hasAudio();
        }
        const bool blocked =
            std::any_of(project.workItems.cbegin(), project.workItems.cend(), [&](const WorkItem &w) {
                return w.itemId == item.id && w.blocking && isOpen(w.status);
            });
        item.status = (mediaMissing || blocked) ? QStringLiteral("准备中") : QStringLiteral("已就绪");
    }
    markStandingBy(project);
}

void FakePlatform::markStandingBy(FakeProject &project)
{
    // The item whose turn comes next waits in the wings once it is ready.
    const auto live = std::find_if(project.items.cbegin(), project.items.cend(),
                                   [](const RundownItem &i) { return i.liveStatus == RundownValues::live; });
    for (RundownItem &item : project.items) {
        if (item.liveStatus == RundownValues::finished ||
            (live != project.items.cend() && item.order <= live->order)) {
            continue;
        }
        if (item.status == RundownValues::ready) {
            item.status = RundownValues::standingBy;
        }
        break;
    }
}
