#pragma once

#include <QList>
#include <QString>

struct FakePlatform;

// One person of the demo show who can sign in.
struct DemoLogin
{
    QString phone;
    QString name;
    QString role; // the role in the gala; empty for the platform administrator without one
    QString accountId;
    QString memberId; // the member id in the gala
    bool superAdmin = false;
};

// What the demo seed made, for tests and the fake service's start-up banner.
struct DemoShow
{
    QString projectId;       // the gala
    QString secondProjectId; // a smaller project
    QString lotteryItemId;
    QString audioItemId; // an item with audio and video attached
    QList<DemoLogin> logins;

    const DemoLogin *loginForRole(const QString &role) const;
    const DemoLogin *superAdmin() const;
};

// Seeds a gala with members in every role, a rundown, work items, groups, makeup, a notice,
// a lottery and small generated media.
DemoShow seedDemoShow(FakePlatform &platform);

// Adds a project of itemCount rundown items with the gala's members (so every demo login opens it
// in the same role), cycling through the gala's acts. Returns its id.
QString seedLargeShow(FakePlatform &platform, const DemoShow &show, int itemCount);
