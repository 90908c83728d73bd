#include "TestHelpers.h"
#include "models/Admin.h"
#include "models/Lottery.h"
#include "models/WorkItems.h"
#include "json/JsonSimd.h"

#include <QtTest>

using L = QLatin1StringView;

namespace {

QJsonObject fixtureObject(const QString &name)
{
    return json::parseObject(
        TestHelpers::fixture(QStringLiteral("records/") + name + QStringLiteral(".json")));
}

// The documents the tables start from: the fixtures, plus two envelopes built around them.
QJsonObject baseDocument(const QString &name)
{
    if (name == QLatin1String("workitems-mutation")) {
        const QJsonObject item = fixtureObject(QStringLiteral("workitems-snapshot"))
                                     .value(L("items"))
                                     .toArray()
                                     .first()
                                     .toObject();
        return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("workItem"), item}};
    }
    if (name == QLatin1String("lottery-mutation")) {
        return QJsonObject{{QStringLiteral("ok"), true},
                           {QStringLiteral("lottery"), fixtureObject(QStringLiteral("lottery-state"))},
                           {QStringLiteral("result"), QStringLiteral("drawn")},
                           {QStringLiteral("message"), QStringLiteral("已抽出 1 位")}};
    }
    return fixtureObject(name);
}

template<json::Record T>
QJsonObject reencode(const QJsonObject &o)
{
    return T::fromJson(o).toJson();
}

using Reencode = QJsonObject (*)(const QJsonObject &);

Reencode recordFor(const QString &document)
{
    static const QHash<QString, Reencode> table = {
        {QStringLiteral("workitems-snapshot"), &reencode<WorkItemsSnapshot>},
        {QStringLiteral("workitems-mutation"), &reencode<WorkItemMutationResponse>},
        {QStringLiteral("lottery-state"), &reencode<LotteryState>},
        {QStringLiteral("lottery-mutation"), &reencode<LotteryMutationResponse>},
        {QStringLiteral("admin-overview"), &reencode<AdminOverviewResponse>},
        {QStringLiteral("admin-users"), &reencode<AdminUsersResponse>},
        {QStringLiteral("admin-projects"), &reencode<AdminProjectsResponse>},
        {QStringLiteral("admin-assets"), &reencode<AdminAssetsResponse>},
        {QStringLiteral("admin-logs"), &reencode<AdminLogsResponse>},
        {QStringLiteral("admin-project-detail"), &reencode<AdminProjectDetailResponse>},
    };
    const Reencode f = table.value(document);
    if (!f) {
        qFatal("no record for %s", qPrintable(document));
    }
    return f;
}

// "<remove>" removes the key; anything else is a JSON literal put at the path.
QJsonValue mutated(const QJsonValue &node, QStringList path, const QString &value)
{
    const QString head = path.takeFirst();
    const bool remove = value == QLatin1String("<remove>");
    const auto replacement = [&](const QJsonValue &old) -> QJsonValue {
        if (!path.isEmpty()) {
            return mutated(old, path, value);
        }
        const QJsonDocument wrapped = QJsonDocument::fromJson(("[" + value + "]").toUtf8());
        if (!wrapped.isArray()) {
            qFatal("bad literal %s", qPrintable(value));
        }
        return wrapped.array().first();
    };
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const int index = head.toInt();
        if (path.isEmpty() && remove) {
            array.removeAt(index);
        } else {
            array[index] = replacement(array.at(index));
        }
        return array;
    }
    QJsonObject object = node.toObject();
    if (path.isEmpty() && remove) {
        object.remove(head);
    } else {
        object.insert(head, replacement(object.value(head)));
    }
    return object;
}

// "items/1/completedAt" -> "items[1].completedAt", the form DecodingError::path() reports.
QString errorPath(const QString &path)
{
    QString out;
    for (const QString &part : path.split(QLatin1Char('/'))) {
        bool isIndex = false;
        part.toInt(&isIndex);
        if (isIndex) {
            out += QLatin1Char('[') + part + QLatin1Char(']');
        } else {
            out += (out.isEmpty() ? QString() : QStringLiteral(".")) + part;
        }
    }
    return out;
}

QJsonValue withoutNulls(const QJsonValue &v)
{
    if (v.isObject()) {
        QJsonObject out;
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!it->isNull()) {
                out.insert(it.key(), withoutNulls(*it));
            }
        }
        return out;
    }
    if (v.isArray()) {
        QJsonArray out;
        for (const QJsonValue &e : v.toArray()) {
            out.append(withoutNulls(e));
        }
        return out;
    }
    return v;
}

} // namespace

class TestRecordsMore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writtenBackAsRead_data();
    void writtenBackAsRead();
    void mutations_data();
    void mutations();

    void workItemEnumerations();
    void emptySnapshot();
    void workItemPatchEncoding_data();
    void workItemPatchEncoding();
    void workItemPayloads();
    void people_data();
    void people();

    void lotteryMutationResponse_data();
    void lotteryMutationResponse();
    void lotteryEncoding();

    void adminAnswers();
    void adminSnakeCaseKeys_data();
    void adminSnakeCaseKeys();
    void assetStableID_data();
    void assetStableID();
    void adminActionPayload();
};

// Decoding a fixture and writing it back gives the fixture without its nulls and unknown keys: every
// key is read and written under the same name.
void TestRecordsMore::writtenBackAsRead_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("unknownKeys");
    QTest::newRow("work items") << "workitems-snapshot"
                                << QStringList{QStringLiteral("items/0/futureField"),
                                               QStringLiteral("generatedAt")};
    QTest::newRow("work item mutation") << "workitems-mutation" << QStringList{"workItem/futureField"};
    QTest::newRow("lottery") << "lottery-state" << QStringList{QStringLiteral("audienceUrl")};
    QTest::newRow("lottery mutation") << "lottery-mutation" << QStringList{"lottery/audienceUrl"};
    QTest::newRow("overview") << "admin-overview" << QStringList{};
    QTest::newRow("users") << "admin-users" << QStringList{};
    QTest::newRow("projects") << "admin-projects" << QStringList{};
    QTest::newRow("assets") << "admin-assets" << QStringList{};
    QTest::newRow("logs") << "admin-logs" << QStringList{};
    QTest::newRow("project detail") << "admin-project-detail" << QStringList{};
}

void TestRecordsMore::writtenBackAsRead()
{
    QFETCH(QString, document);
    QFETCH(QStringList, unknownKeys);
    const QJsonObject original = baseDocument(document);
    QJsonValue expected = withoutNulls(original);
    for (const QString &path : unknownKeys) {
        expected = mutated(expected, path.split(QLatin1Char('/')), QStringLiteral("<remove>"));
    }
    const QJsonObject written = recordFor(document)(original);
    QCOMPARE(QJsonValue(written), expected);
    QCOMPARE(recordFor(document)(written), written);
}

void TestRecordsMore::mutations_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("decodes");

    const auto row = [](const char *document, const char *path, const char *value, bool decodes) {
        QTest::addRow("%s %s = %s", document, path, value)
            << QString::fromUtf8(document) << QString::fromUtf8(path) << QString::fromUtf8(value) << decodes;
    };
    const char *remove = "<remove>";

    // Work items: every field required, the three enumerations closed and case-sensitive.
    row("workitems-snapshot", "items/0/id", remove, false);
    row("workitems-snapshot", "items/1/completedAt", remove, false);
    row("workitems-snapshot", "items/0/itemId", "null", false);
    row("workitems-snapshot", "items/1/title", "7", false);
    row("workitems-snapshot", "items/0/blocking", "\"true\"", false);
    row("workitems-snapshot", "items/0/blocking", "1", false);
    row("workitems-snapshot", "items/0/status", "\"archived\"", false);
    row("workitems-snapshot", "items/0/status", "\"Done\"", false);
    row("workitems-snapshot", "items/1/kind", "\"preShow\"", false);
    row("workitems-snapshot", "items/1/kind", "\"pre_show \"", false);
    row("workitems-snapshot", "items/0/priority", "\"URGENT\"", false);
    row("workitems-snapshot", "items/0/priority", "null", false);
    row("workitems-snapshot", "items", "{}", false);
    row("workitems-snapshot", "items", "null", false);
    row("workitems-snapshot", "items/1", "\"wi-2\"", false);
    row("workitems-snapshot", "summary", remove, false);
    row("workitems-snapshot", "summary/total", "1.5", false);
    row("workitems-snapshot", "summary/open", "\"1\"", false);
    row("workitems-snapshot", "summary/done", remove, false);
    row("workitems-snapshot", "permissions", remove, false);
    row("workitems-snapshot", "permissions/canManageAll", "null", false);
    row("workitems-snapshot", "permissions/canCreateIncident", "0", false);
    row("workitems-snapshot", "items", "[]", true);
    row("workitems-snapshot", "items/1/extra", "{\"a\":null}", true);
    row("workitems-snapshot", "summary/total", "9007199254740993", true);
    row("workitems-mutation", "ok", remove, false);
    row("workitems-mutation", "ok", "\"true\"", false);
    row("workitems-mutation", "workItem", "null", false);
    row("workitems-mutation", "workItem/kind", "\"task\"", false);

    // Lottery: all required but drawingPrizeId, drawnCount, drawnAt and claimedAt.
    row("lottery-state", "project", remove, false);
    row("lottery-state", "project/eventDate", remove, false);
    row("lottery-state", "item/title", "null", false);
    row("lottery-state", "mode", remove, false);
    row("lottery-state", "entryOpen", "\"false\"", false);
    row("lottery-state", "entryCount", "2.5", false);
    row("lottery-state", "entryCount", "\"318\"", false);
    row("lottery-state", "screenMode", "null", false);
    row("lottery-state", "prizes", remove, false);
    row("lottery-state", "winners", "null", false);
    row("lottery-state", "prizes/1/winnerCount", "\"10\"", false);
    row("lottery-state", "prizes/1/winnerCount", "10.25", false);
    row("lottery-state", "prizes/0/imageUrl", "null", false);
    row("lottery-state", "prizes/0/drawnCount", "1.5", false);
    row("lottery-state", "prizes/0/drawnCount", "\"1\"", false);
    row("lottery-state", "winners/1/maskedPhone", remove, false);
    row("lottery-state", "winners/0/drawnAt", "5", false);
    row("lottery-state", "winners/0/claimedAt", "false", false);
    row("lottery-state", "drawingPrizeId", "7", false);
    row("lottery-state", "canConfigure", "null", false);
    row("lottery-state", "canClaim", remove, false);
    row("lottery-state", "drawingPrizeId", remove, true);
    row("lottery-state", "drawingPrizeId", "null", true);
    row("lottery-state", "prizes/0/drawnCount", "null", true);
    row("lottery-state", "winners/0/claimedAt", "null", true);
    row("lottery-state", "prizes", "[]", true);
    row("lottery-state", "winners", "[]", true);
    row("lottery-state", "screenMode", "\"banner\"", true);
    row("lottery-state", "winners/0/status", "\"refunded\"", true);
    row("lottery-mutation", "lottery", "{}", false);
    row("lottery-mutation", "lottery/prizes/1/id", remove, false);
    row("lottery-mutation", "ok", "\"yes\"", false);
    row("lottery-mutation", "message", "42", false);
    row("lottery-mutation", "lottery", "null", true);
    row("lottery-mutation", "result", remove, true);

    // Administration.
    row("admin-overview", "overview", "null", false);
    row("admin-overview", "overview/users", remove, false);
    row("admin-overview", "overview/assetBytes", "1.5", false);
    row("admin-overview", "overview/assetBytes", "\"53687091200\"", false);
    row("admin-overview", "overview/smsConfigured", "\"false\"", false);
    row("admin-overview", "overview/smsConfigured", "0", false);
    row("admin-overview", "overview/smsConfigured", remove, true);
    row("admin-users", "leaderboard", remove, false);
    row("admin-users", "sourceSummary", remove, false);
    row("admin-users", "users/2/phone", "null", false);
    row("admin-users", "users/1/registrationSource", remove, false);
    row("admin-users", "users/0/nickname", "3", false);
    row("admin-users", "users/0/projectCount", "\"4\"", false);
    row("admin-users", "users/2/invitedCount", "0.5", false);
    row("admin-users", "leaderboard/0/invitedCount", "12.5", false);
    row("admin-users", "leaderboard/0/phone", remove, false);
    row("admin-users", "sourceSummary/total", "null", false);
    row("admin-users", "sourceSummary/directCount", "\"1\"", false);
    row("admin-users", "sourceSummary/lotteryCount", "null", true);
    row("admin-users", "users/0/lastLoginAt", remove, true);
    row("admin-users", "users/2/inviterName", "null", true);
    row("admin-projects", "projects", "{}", false);
    row("admin-projects", "projects/1/status", remove, false);
    row("admin-projects", "projects/0/assetBytes", "\"1\"", false);
    row("admin-projects", "projects/0/memberCount", "4.2", false);
    row("admin-projects", "projects/0/ownerPhone", "138", false);
    row("admin-projects", "projects/0/ownerName", "null", true);
    row("admin-assets", "assets/0/filename", remove, false);
    row("admin-assets", "assets/1/category", "null", false);
    row("admin-assets", "trash/0/category", remove, false);
    row("admin-assets", "trash", remove, false);
    row("admin-assets", "assets/0/file_size", "\"5242880\"", false);
    row("admin-assets", "assets/0/file_size", "1.5", false);
    row("admin-assets", "assets/0/asset_id", "5", false);
    row("admin-assets", "trash/0/trashed_at", "[]", false);
    row("admin-assets", "assets/0/id", "null", true);
    row("admin-assets", "assets/0/file_size", "null", true);
    row("admin-logs", "logs/1/summary", remove, false);
    row("admin-logs", "logs/0/action", "null", false);
    row("admin-logs", "logs/0/target_type", "3", false);
    row("admin-logs", "logs/0/adminName", "null", true);
    row("admin-logs", "logs/0/created_at", remove, true);
    row("admin-project-detail", "members", "null", false);
    row("admin-project-detail", "items", remove, false);
    row("admin-project-detail", "project/name", remove, false);
    row("admin-project-detail", "members/1/role", "null", false);
    row("admin-project-detail", "items/0/order", "1.5", false);
    row("admin-project-detail", "members", "[]", true);
}

void TestRecordsMore::mutations()
{
    QFETCH(QString, document);
    QFETCH(QString, path);
    QFETCH(QString, value);
    QFETCH(bool, decodes);

    const QJsonObject body = mutated(baseDocument(document), path.split(QLatin1Char('/')), value).toObject();
    try {
        recordFor(document)(body);
        QVERIFY2(decodes, "decoded although it should fail");
    } catch (const DecodingError &e) {
        QVERIFY2(!decodes, qPrintable(QStringLiteral("failed at %1: %2").arg(e.path(), e.reason())));
        // The failure lies at or under the spot that was broken, not at some other field.
        const QString expected = errorPath(path);
        QVERIFY2(e.path() == expected || e.path().startsWith(expected + QLatin1Char('.')),
                 qPrintable(QStringLiteral("failed at %1, broken at %2").arg(e.path(), expected)));
    }
}

void TestRecordsMore::workItemEnumerations()
{
    const auto wires = [](const auto &cases) {
        QStringList out;
        for (const auto c : cases) {
            out << toWire(c);
        }
        return out;
    };
    QCOMPARE(wires(WorkItemKinds::all), (QStringList{"pre_show", "incident"}));
    QCOMPARE(wires(WorkItemStatuses::all), (QStringList{"todo", "doing", "blocked", "done", "cancelled"}));
    QCOMPARE(wires(WorkItemPriorities::all), (QStringList{"normal", "important", "urgent"}));

    QStringList open;
    for (const WorkItemStatus status : WorkItemStatuses::all) {
        if (isOpen(status)) {
            open << toWire(status);
        }
    }
    QCOMPARE(open, (QStringList{"todo", "doing", "blocked"}));
}

void TestRecordsMore::emptySnapshot()
{
    const WorkItemsSnapshot &empty = WorkItemsSnapshot::empty();
    QVERIFY(empty.items.isEmpty());
    QCOMPARE(empty.summary, (WorkItemsSummary{0, 0, 0, 0, 0}));
    QCOMPARE(empty.permissions, (WorkItemPermissions{false, false, false}));
    QCOMPARE(&WorkItemsSnapshot::empty(), &empty);
    // It is a valid answer in its own right.
    QCOMPARE(WorkItemsSnapshot::fromJson(empty.toJson()), empty);
}

void TestRecordsMore::workItemPatchEncoding_data()
{
    QTest::addColumn<WorkItemPatch>("patch");
    QTest::addColumn<QByteArray>("expected");

    WorkItemPatch statusOnly;
    statusOnly.status = WorkItemStatus::doing;
    WorkItemPatch resolve;
    resolve.status = WorkItemStatus::done;
    resolve.resolution = QString();
    WorkItemPatch all{QStringLiteral("t"),         QStringLiteral("d"),     WorkItemStatus::blocked,
                      WorkItemPriority::important, QStringLiteral("19:00"), false,
                      QStringLiteral("r"),         QStringLiteral("m-2"),   QStringLiteral("m-3")};

    QTest::newRow("nothing set") << WorkItemPatch{} << QByteArray("{}");
    QTest::newRow("status only") << statusOnly << QByteArray(R"({"status":"doing"})");
    // An empty text is a value, not an absence.
    QTest::newRow("status and empty resolution")
        << resolve << QByteArray(R"({"resolution":"","status":"done"})");
    QTest::newRow("every field")
        << all
        << QByteArray(
               R"({"assigneeMemberId":"m-2","blocking":false,"description":"d","dueAt":"19:00",)"
               R"("memberId":"m-3","priority":"important","resolution":"r","status":"blocked","title":"t"})");
}

void TestRecordsMore::workItemPatchEncoding()
{
    QFETCH(WorkItemPatch, patch);
    QFETCH(QByteArray, expected);
    QCOMPARE(json::encode(patch), expected);
    QCOMPARE(WorkItemPatch::fromJson(patch.toJson()), patch);
}

void TestRecordsMore::workItemPayloads()
{
    WorkItemCreatePayload create;
    create.kind = WorkItemKind::incident;
    create.itemId = QStringLiteral("item-3");
    create.title = QStringLiteral("灯光故障");
    create.priority = WorkItemPriority::urgent;
    QCOMPARE(create.blocking, true);
    const QJsonObject body = create.toJson();
    QCOMPARE(body.value(L("kind")), QJsonValue(QStringLiteral("incident")));
    QCOMPARE(body.value(L("priority")), QJsonValue(QStringLiteral("urgent")));
    QCOMPARE(body.value(L("blocking")), QJsonValue(true));
    QCOMPARE(body.value(L("assigneeMemberId")), QJsonValue(QString()));
    QCOMPARE(body.size(), 7);
    QCOMPARE(WorkItemCreatePayload::fromJson(body).title, create.title);

    WorkItemPatch patch;
    patch.status = WorkItemStatus::doing;
    const WorkItemMutationPayload mutation{QStringLiteral("wi-1"), patch};
    QCOMPARE(json::encode(mutation), QByteArray(R"({"id":"wi-1","workItem":{"status":"doing"}})"));
    const WorkItemMutationPayload read = WorkItemMutationPayload::fromJson(mutation.toJson());
    QCOMPARE(read.id, mutation.id);
    QCOMPARE(read.workItem, patch);
    QVERIFY_THROWS_EXCEPTION(DecodingError, WorkItemMutationPayload::fromJson(json::parseObject(
                                                R"({"id":"x","workItem":{"status":"?"}})")));
}

void TestRecordsMore::people_data()
{
    QTest::addColumn<QString>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("repeat kept") << QStringLiteral("张三、李四,张三") << QStringList{"张三", "李四", "张三"};
    QTest::newRow("empty") << QString() << QStringList{};
    QTest::newRow("separators and blanks") << QStringLiteral(" 、,\u3000;；\n ") << QStringList{};
    QTest::newRow("full-width ampersand") << QStringLiteral("王五 ＆ 赵六") << QStringList{"王五", "赵六"};
    QTest::newRow("ascii space is no separator") << QStringLiteral("Anna Lee") << QStringList{"Anna Lee"};
    QTest::newRow("crlf") << QStringLiteral("A\r\nB") << QStringList{"A", "B"};
}

void TestRecordsMore::people()
{
    QFETCH(QString, names);
    QFETCH(QStringList, expected);
    QCOMPARE(WorkItemRules::people(names), expected);
}

void TestRecordsMore::lotteryMutationResponse_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty object") << QByteArray("{}") << QString();
    QTest::newRow("message only") << QByteArray(R"({"message":"已领取"})") << QStringLiteral("已领取");
    QTest::newRow("all null") << QByteArray(R"({"ok":null,"lottery":null,"result":null,"message":null})")
                              << QString();
}

void TestRecordsMore::lotteryMutationResponse()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    const auto r = json::decode<LotteryMutationResponse>(body);
    QVERIFY(!r.lottery);
    QCOMPARE(r.message.value_or(QString()), message);
    QVERIFY(!r.ok && !r.result);
    // Nothing is filled in, so nothing is written back.
    QCOMPARE(json::encode(r), message.isEmpty() ? QByteArray("{}") : QByteArray(R"({"message":"已领取"})"));
}

void TestRecordsMore::lotteryEncoding()
{
    // A prize received without a count goes back without one; a new prize goes out with 0.
    const LotteryPrize received{"prize-2", "二等奖", "保温杯", 10, "", std::nullopt};
    QVERIFY(!received.toJson().contains(L("drawnCount")));
    LotteryPrize fresh = received;
    fresh.drawnCount = 0;
    QCOMPARE(fresh.toJson().value(L("drawnCount")), QJsonValue(0));
    QVERIFY(fresh != received);
    LotteryPrize same = received;
    QCOMPARE(same, received);
    same.drawnCount = 0;
    QCOMPARE(same, fresh);

    LotteryActionPayload stop;
    stop.action = QStringLiteral("drawStop");
    QCOMPARE(json::encode(stop), QByteArray(R"({"action":"drawStop"})"));

    LotteryActionPayload entry;
    entry.action = QStringLiteral("entry");
    entry.open = false;
    QCOMPARE(json::encode(entry), QByteArray(R"({"action":"entry","open":false})"));

    LotteryActionPayload save;
    save.action = QStringLiteral("save");
    save.mode = LotteryValues::formal;
    save.prizes = QList<LotteryPrize>{received, fresh};
    const QJsonObject body = save.toJson();
    QCOMPARE(body.keys(), (QStringList{"action", "mode", "prizes"}));
    const QJsonArray prizes = body.value(L("prizes")).toArray();
    QCOMPARE(prizes.size(), 2);
    QVERIFY(!prizes.at(0).toObject().contains(L("drawnCount")));
    QCOMPARE(LotteryActionPayload::fromJson(body).prizes, save.prizes);

    // An empty list is a value: the save command may clear every prize.
    save.prizes = QList<LotteryPrize>{};
    QCOMPARE(save.toJson().value(L("prizes")), QJsonValue(QJsonArray()));
}

void TestRecordsMore::adminAnswers()
{
    // Only an explicit false means "not configured"; absence is not false.
    auto overview = AdminOverviewResponse::fromJson(fixtureObject(QStringLiteral("admin-overview"))).overview;
    QCOMPARE(overview.smsConfigured, std::optional<bool>(false));
    QVERIFY(!overview.isSmsConfigured());
    overview.smsConfigured.reset();
    QVERIFY(overview.isSmsConfigured());

    // A summary with only the total leaves the four counts unknown rather than 0.
    const auto totalOnly = AdminSourceSummary::fromJson(json::parseObject(R"({"total":5})"));
    QCOMPARE(totalOnly, (AdminSourceSummary{5, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    QCOMPARE(json::encode(totalOnly), QByteArray(R"({"total":5})"));
}

// Values under other spellings are not read: writing the record back shows which keys were.
void TestRecordsMore::adminSnakeCaseKeys_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("read");

    QTest::newRow("asset, wire keys")
        << QByteArray(
               R"({"filename":"a.mp3","category":"audio","asset_id":"b","file_size":3,"project_id":"p",)"
               R"("projectName":"P","itemTitle":"I","item_id":"i","created_at":"c","trashed_at":"t"})")
        << QStringList{"asset_id",  "category", "created_at",  "file_size",  "filename",
                       "itemTitle", "item_id",  "projectName", "project_id", "trashed_at"};
    QTest::newRow("asset, other spellings")
        << QByteArray(R"({"filename":"a.mp3","category":"audio","assetId":"b","fileSize":3,"projectId":"p",)"
                      R"("project_name":"P","item_title":"I","itemId":"i","createdAt":"c","trashedAt":"t"})")
        << QStringList{"category", "filename"};
    QTest::newRow("audit log, wire keys")
        << QByteArray(
               R"({"id":"1","action":"a","summary":"s","adminName":"n","target_type":"t","target_id":"x",)"
               R"("created_at":"c"})")
        << QStringList{"action", "adminName", "created_at", "id", "summary", "target_id", "target_type"};
    QTest::newRow("audit log, other spellings")
        << QByteArray(
               R"({"id":"1","action":"a","summary":"s","admin_name":"n","targetType":"t","targetId":"x",)"
               R"("createdAt":"c"})")
        << QStringList{"action", "id", "summary"};
}

void TestRecordsMore::adminSnakeCaseKeys()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, read);
    const QJsonObject o = json::parseObject(body);
    const QJsonObject written =
        o.contains(L("filename")) ? AdminAsset::fromJson(o).toJson() : AdminAuditLog::fromJson(o).toJson();
    QCOMPARE(written.keys(), read);
}

void TestRecordsMore::assetStableID_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("stableID");
    QTest::newRow("nothing but the file")
        << QByteArray(R"({"filename":"a.mp3","category":"audio"})") << QStringLiteral("-a.mp3");
    QTest::newRow("project id") << QByteArray(R"({"filename":"a.mp3","category":"audio","project_id":"p-1"})")
                                << QStringLiteral("p-1-a.mp3");
    QTest::newRow("asset id")
        << QByteArray(R"({"filename":"a.mp3","category":"audio","asset_id":"b","project_id":"p"})")
        << QStringLiteral("b");
    QTest::newRow("id first") << QByteArray(
                                     R"({"filename":"a.mp3","category":"audio","id":"as","asset_id":"b"})")
                              << QStringLiteral("as");
    QTest::newRow("empty id is kept")
        << QByteArray(R"({"filename":"a.mp3","category":"audio","id":"","asset_id":"b"})") << QString();
    QTest::newRow("empty asset id is kept")
        << QByteArray(R"({"filename":"a","category":"audio","asset_id":""})") << QString();
    QTest::newRow("null id skipped") << QByteArray(
                                            R"({"filename":"a","category":"audio","id":null,"asset_id":"b"})")
                                     << QStringLiteral("b");
    QTest::newRow("camel-case project id ignored")
        << QByteArray(R"({"filename":"a","category":"audio","projectId":"p"})") << QStringLiteral("-a");
}

void TestRecordsMore::assetStableID()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, stableID);
    const QString id = AdminAsset::fromJson(json::parseObject(body)).stableID();
    QCOMPARE(id, stableID);
}

void TestRecordsMore::adminActionPayload()
{
    QCOMPARE(json::encode(AdminActionPayload{"archiveAsset", "as-1", std::nullopt, std::nullopt}),
             QByteArray(R"({"action":"archiveAsset","id":"as-1"})"));
    QCOMPARE(json::encode(AdminActionPayload{"accountStatus", "acc-2", "suspended", std::nullopt}),
             QByteArray(R"({"action":"accountStatus","id":"acc-2","status":"suspended"})"));
    const AdminActionPayload transfer{"transferProject", "p-1", std::nullopt, "acc-3"};
    QCOMPARE(json::encode(transfer),
             QByteArray(R"({"action":"transferProject","id":"p-1","targetAccountId":"acc-3"})"));
    const AdminActionPayload read = AdminActionPayload::fromJson(transfer.toJson());
    QCOMPARE(read.targetAccountId, transfer.targetAccountId);
    QVERIFY(!read.status.has_value());
}

QTEST_GUILESS_MAIN(TestRecordsMore)
#include "test_records_more.moc"
