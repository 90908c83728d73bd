#pragma once

// Shared by the fake service's endpoint files; not part of the support library's interface.

#include "FakeEndpoints.h"
#include "FakeJsonWriter.h"
#include "FakePlatform.h"
#include "models/Admin.h"
#include "models/EmptyResponse.h"
#include "models/Envelopes.h"
#include "models/Lottery.h"
#include "models/Payloads.h"
#include "models/WorkItems.h"
#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"
#include "json/Json.h"
#include <QDateTime>
#include <QJsonArray>
#include <QRegularExpression>
#include <QUrl>

using L = QLatin1StringView;

namespace fake {

inline const QString errUnauthorized = QStringLiteral("登录已失效，请重新登录");
inline const QString errForbidden = QStringLiteral("没有权限执行此操作");
inline const QString errNotMember = QStringLiteral("你不是该演出的成员");
inline const QString errProjectMissing = QStringLiteral("演出不存在");
inline const QString errItemMissing = QStringLiteral("节目不存在");
inline const QString errMemberMissing = QStringLiteral("成员不存在");
inline const QString errBadRequest = QStringLiteral("请求格式不正确");
inline const QString errUnknownAction = QStringLiteral("无法识别的操作");
inline const QString errFrozen = QStringLiteral("节目流程已冻结，暂不能修改");
inline const QString errBadRole = QStringLiteral("角色无效");

inline const QString roleChief = QStringLiteral("总导演");
inline const QString roleOwner = QStringLiteral("节目负责人");
inline const QString roleHost = QStringLiteral("主持人");
inline const QString rolePerformer = QStringLiteral("演员");
inline const QString roleStaff = QStringLiteral("工作人员");
inline const QString roleSound = QStringLiteral("音响师");
inline const QString roleVideo = QStringLiteral("视频师");
inline const QString roleMakeup = QStringLiteral("化妆师");

inline const QStringList standardTypes = {
    QStringLiteral("歌曲"), QStringLiteral("舞蹈"), QStringLiteral("主持"), QStringLiteral("互动"),
    QStringLiteral("抽奖"), QStringLiteral("访谈"), QStringLiteral("颁奖"), QStringLiteral("VCR"),
    QStringLiteral("换场"), QStringLiteral("节目"),
};

struct Refusal
{
    int status;
    QString error;
};

[[noreturn]] inline void refuse(int status, const QString &error)
{
    throw Refusal{status, error};
}

struct MultipartPart
{
    QString name;
    std::optional<QString> filename;
    QByteArray content;
};

FakeReply jsonReply(const QJsonObject &object, int status = 200);
// For the large answers: the record written straight into the body.
template<typename T>
FakeReply recordReply(const T &record)
{
    FakeReply reply;
    reply.body = JsonWriter::write(record);
    return reply;
}
FakeReply okReply();
FakeReply errorReply(int status, const QString &error);
bool allRoles(const QString &role);
bool named(const QString &names, const QString &name);
QString addName(const QString &names, const QString &name);
QByteArray percentDecode(const QByteArray &raw);
QString mimeTypeFor(const QString &filename);
std::optional<QList<MultipartPart>> parseMultipart(const QByteArray &contentType, const QByteArray &body);

// The caller in one project.
struct Access
{
    FakeProject *project = nullptr;
    FakeAccount *account = nullptr;
    QString memberId;
    QString role;
    QString name;

    bool manager() const { return PermissionPolicy::isManager(role); }
};

class Endpoints
{
public:
    Endpoints(FakePlatform &platform, const FakeCall &call)
        : m_p(platform)
        , m_call(call)
    {}

    FakeReply run();
    std::optional<FakeReply> refusalBeforeBody();

private:
    FakeReply route();

    // Request helpers.
    QJsonObject body() const;
    template<class T>
    T payload() const
    {
        try {
            return T::fromJson(body());
        } catch (const DecodingError &) {
            refuse(400, errBadRequest);
        }
    }
    std::optional<QString> optionalQuery(const QString &name) const
    {
        return FakeQuery::item(m_call.query, name);
    }
    QString query(const QString &name) const;
    FakeAccount *callerOrNull() const;
    FakeAccount &caller() const;
    FakeAccount &superAdmin() const;
    FakeProject &project(const QString &projectId) const;
    Access access(const QString &projectId) const;
    Access accessFromQuery() const { return access(query(QStringLiteral("projectId"))); }
    RundownItem &item(FakeProject &project, const QString &itemId) const;
    static void requireUnfrozen(const Access &a);
    Access importer() const;

    // Rights that mirror what the pages offer.
    static bool canEdit(const Access &a, const RundownItem &item);
    static bool canEditScript(const Access &a, const RundownItem &item);
    static bool canUpload(const Access &a, const RundownItem &item, const QString &category);
    static bool canConfigureLottery(const Access &a, const RundownItem &item);
    static bool canOperateLottery(const Access &a, const RundownItem &item);

    void syncSystemItem(FakeProject &project, const QString &sourceKey, bool done, const QString &byMemberId);
    void audit(const FakeAccount &admin, const QString &action, const QString &targetType,
               const QString &targetId, const QString &summary);

    // Endpoints.
    FakeReply requestCode();
    FakeReply verifyCode();
    FakeReply session();
    FakeReply updateNickname();
    FakeReply logout();
    FakeReply projects();
    FakeReply createProject();
    FakeReply projectDetail();
    FakeReply replaceRundown();
    FakeReply patchProject();
    FakeReply liveAction(Access &a, const LiveActionPayload &payload);
    FakeReply resetLive(Access &a, const ResetLivePayload &payload);
    FakeReply addRundownItem();
    FakeReply importPreview();
    FakeReply exportRundown();
    FakeReply workItems();
    FakeReply createWorkItem();
    FakeReply updateWorkItem();
    FakeReply groups();
    FakeReply checkIn();
    FakeReply updateMember();
    FakeReply invitations();
    FakeReply operations();
    FakeReply lottery();
    FakeReply adminView();
    FakeReply adminAction();
    FakeReply downloadAsset();
    FakeReply uploadAsset();

    WorkItemsSnapshot snapshot(const Access &a) const;
    LotteryState lotteryState(const Access &a, const RundownItem &item, const FakeLottery &lottery) const;
    static qint64 drawnCount(const FakeLottery &lottery, const QString &prizeId);

    FakePlatform &m_p;
    const FakeCall &m_call;
};

} // namespace fake
