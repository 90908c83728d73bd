#pragma once

#include "models/Admin.h"
#include "models/ProjectRecords.h"
#include "models/Rundown.h"
#include "models/WorkItems.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The in-memory show platform behind FakeService. Plain data with a few lookups; the endpoint
// behaviour lives in FakeEndpoints.cpp. Not thread-safe by itself: FakeService guards it.

struct FakeAccount
{
    Account account;
    QString status = QStringLiteral("active"); // "active" or "suspended"
    QString createdAt;
    QString registrationSource = QStringLiteral("direct"); // "direct", "invitation", "lottery"
    std::optional<QString> invitedByAccountId;
    std::optional<QString> registrationProjectName;
    std::optional<QString> registrationItemTitle;
    std::optional<QString> lastLoginAt;
};

struct FakeAsset
{
    QString id;
    QString projectId;
    QString itemId;
    QString category; // "audio" or "video"
    QString filename;
    QByteArray bytes;
    QString createdAt;
    std::optional<QString> trashedAt; // set while in the recycle bin
    int durationSeconds = 0;          // given back to the item when the file is restored
};

struct FakeInvitation
{
    QString token;
    QString projectId;
    QString memberId; // the member entered for the invited person
    QString name;
    QString role;
    std::optional<QString> phone;
    std::optional<QString> itemId;
    std::optional<QString> field;
    std::optional<QString> groupId;
    QString invitedByAccountId;
    QString expiresAt;
    bool accepted = false;
    int smsSent = 0;
};

struct FakeLotteryPrize
{
    QString id;
    QString name;
    QString giftName;
    qint64 winnerCount = 1;
    QString imageUrl;
};

struct FakeLotteryWinner
{
    QString id;
    QString prizeId;
    QString displayName;
    QString phone;
    QString status = QStringLiteral("pending"); // pending, claimed, no_show
    QString drawnAt;
    std::optional<QString> claimedAt;
    bool rehearsal = false;
};

struct FakeLotteryEntry
{
    QString phone;
    QString displayName;
};

struct FakeLottery
{
    QString itemId;
    QString mode = QStringLiteral("rehearsal"); // "formal" or "rehearsal"
    bool entryOpen = false;
    QString drawStatus = QStringLiteral("idle");    // "rolling" while a draw runs
    QString screenMode = QStringLiteral("program"); // "qr" or "program"
    std::optional<QString> drawingPrizeId;
    QList<FakeLotteryEntry> entries;
    QList<FakeLotteryPrize> prizes;
    QList<FakeLotteryWinner> winners;
};

struct FakeProject
{
    ProjectSummary summary;
    QString ownerAccountId;
    QString createdAt;
    QList<ProjectMember> members;
    QList<PerformerGroup> performerGroups;
    QList<MakeupAssignment> makeup;
    QList<MakeupShift> makeupShifts;
    ProjectOperations operations;
    QList<RundownItem> items;
    QList<WorkItem> workItems;
    QMap<QString, FakeLottery> lotteries; // by rundown item id

    ProjectMember *member(const QString &memberId);
    const ProjectMember *member(const QString &memberId) const;
    ProjectMember *memberForAccount(const QString &accountId);
    const ProjectMember *memberForAccount(const QString &accountId) const;
    RundownItem *item(const QString &itemId);
    const RundownItem *item(const QString &itemId) const;
    WorkItem *workItem(const QString &workItemId);
};

struct FakePlatform
{
    // The one SMS code the fake sends.
    static inline const QString smsCode = QStringLiteral("246810");

    QList<FakeAccount> accounts;
    QList<FakeProject> projects;
    QHash<QString, QString> tokens;         // bearer token -> account id
    QHash<QString, QString> requestedCodes; // phone -> the code sent to it
    QList<FakeInvitation> invitations;
    QList<FakeAsset> assets;
    QList<AdminAuditLog> auditLogs; // newest last
    int smsFailures = 0;
    bool smsConfigured = true;
    // When set, every generated time stamp uses it instead of the clock.
    std::optional<QString> fixedNow;
    // Lottery draws pick entries at random; a seed makes the picks repeatable (tests).
    std::optional<quint32> lotterySeed;
    quint32 lotteryDraws = 0;

    FakeAccount *account(const QString &accountId);
    const FakeAccount *account(const QString &accountId) const;
    FakeAccount *accountByPhone(const QString &phone);
    FakeProject *project(const QString &projectId);
    const FakeProject *project(const QString &projectId) const;
    FakeAsset *asset(const QString &assetId);

    // A fresh identifier with that prefix, e.g. "item-7".
    QString nextId(const QString &prefix);
    QString newToken();
    QString now() const;

    QString addAccount(const QString &phone, const QString &name, bool superAdmin = false);
    QString issueToken(const QString &accountId);
    QString addProject(const QString &name, const QString &ownerAccountId, const QString &ownerRole);
    QString addMember(const QString &projectId, const QString &name, const QString &role,
                      const QString &accountId = {});
    QString addItem(const QString &projectId, const QString &title, const QString &type = {});
    // Stores bytes as the item's audio or video and updates the item's file fields.
    QString attachAsset(const QString &projectId, const QString &itemId, const QString &category,
                        const QString &filename, const QByteArray &bytes, int durationSeconds);

    // The caller's membership in a project, as the project endpoint answers it.
    std::optional<Membership> membershipOf(const FakeProject &project, const QString &accountId) const;
    QList<Membership> membershipsOf(const QString &accountId) const;
    ProjectDetailResponse detail(const FakeProject &project, const Membership &membership) const;

    // What an item lacks before the show can rely on it ("节目名称", "节目负责人", "表演者"); empty
    // when complete. Both an item's readiness and its system work item read this one rule.
    static QStringList missingInformation(const RundownItem &item);
    // Recomputes every item's readiness from its facts and the open blocking work items.
    void refreshReadiness(FakeProject &project) const;
    // Marks the ready item that goes on next as standing by ("候场").
    static void markStandingBy(FakeProject &project);

private:
    quint64 m_nextId = 1;
};
