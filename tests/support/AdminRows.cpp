#include "AdminRows.h"

#include "FakePlatform.h"

#include <QStringList>

void seedAdminRows(FakePlatform &p, int count)
{
    if (count <= 0) {
        return;
    }
    const QStringList sources = {QStringLiteral("direct"), QStringLiteral("invitation"),
                                 QStringLiteral("lottery"), QString()};
    const QStringList surnames = {QStringLiteral("赵"), QStringLiteral("钱"), QStringLiteral("孙"),
                                  QStringLiteral("李"), QStringLiteral("周"), QStringLiteral("吴"),
                                  QStringLiteral("郑"), QStringLiteral("王")};
    const QString firstAccount = p.accounts.isEmpty() ? QString() : p.accounts.first().account.id;
    QStringList ids;
    ids.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString id =
            p.addAccount(QStringLiteral("177%1").arg(i, 8, 10, QLatin1Char('0')),
                         surnames.at(i % surnames.size()) + QStringLiteral("用户%1").arg(i + 1));
        FakeAccount &account = p.accounts.last();
        account.registrationSource = sources.at(i % sources.size());
        if (account.registrationSource == QStringLiteral("invitation")) {
            // A few inviters with many invitations each, so the leaderboard has a shape.
            account.invitedByAccountId = i >= 40 ? ids.at((i * 7) % 40) : firstAccount;
        } else if (account.registrationSource == QStringLiteral("lottery")) {
            account.registrationProjectName = QStringLiteral("2026 新年联欢晚会");
            account.registrationItemTitle = QStringLiteral("幸运大抽奖");
        }
        if (i % 17 == 5) {
            account.status = QStringLiteral("suspended");
        }
        ids.append(id);
    }

    const QString adminName = [&] {
        for (const FakeAccount &a : std::as_const(p.accounts)) {
            if (a.account.superAdmin()) {
                return a.account.name;
            }
        }
        return QStringLiteral("超级管理员");
    }();
    for (int i = 0; i < count; ++i) {
        const QString &target = ids.at(i);
        p.auditLogs.append(AdminAuditLog{
            p.nextId(QStringLiteral("log")), adminName, QStringLiteral("accountStatus"),
            QStringLiteral("account"), target,
            QStringLiteral("核对账号 %1").arg(p.accounts.at(p.accounts.size() - count + i).account.name),
            p.now()});
    }

    // Sizes from a few shared buffers, so ten thousand files cost little memory.
    const QList<QByteArray> contents = {QByteArray(1536, 'a'), QByteArray(350 * 1024, 'b'),
                                        QByteArray(3 * 1024 * 1024 + 1234, 'c')};
    const FakeProject *project = p.projects.isEmpty() ? nullptr : &p.projects.first();
    for (int i = 0; i < count; ++i) {
        FakeAsset asset;
        asset.id = p.nextId(QStringLiteral("asset"));
        asset.category = i % 3 == 0 ? QStringLiteral("video") : QStringLiteral("audio");
        asset.filename = QStringLiteral("批量素材-%1.%2")
                             .arg(i + 1)
                             .arg(asset.category == QStringLiteral("audio") ? QStringLiteral("wav")
                                                                            : QStringLiteral("mp4"));
        asset.bytes = contents.at(i % contents.size());
        asset.createdAt = p.now();
        asset.durationSeconds = 60 + i % 240;
        if (project) {
            asset.projectId = project->summary.id;
        }
        if (i % 10 == 9) {
            asset.trashedAt = p.now();
        }
        p.assets.append(asset);
    }
}
