#include "api/ProjectDetailReader.h"
#include "models/EmptyResponse.h"
#include "json/JsonSimd.h"
#include "json/SameRecord.h"

#include <QtTest>

#include <cstring>

using L = QLatin1StringView;

namespace {

struct Sample
{
    QString name;
    qint64 size = 0;
    std::optional<int> count;
    QList<QString> tags;

    static Sample fromJson(const QJsonObject &o)
    {
        const json::Reader r(o);
        return Sample{r.required<QString>(L("name")), r.required<qint64>(L("size")),
                      r.optional<int>(L("count")), r.required<QStringList>(L("tags"))};
    }
    QJsonObject toJson() const
    {
        return json::Writer()
            .put(L("name"), name)
            .put(L("size"), size)
            .put(L("count"), count)
            .put(L("tags"), tags)
            .object();
    }
};

struct Holder
{
    QList<Sample> samples;
    static Holder fromJson(const QJsonObject &o)
    {
        return Holder{json::Reader(o).required<QList<Sample>>(L("samples"))};
    }
    QJsonObject toJson() const { return json::Writer().put(L("samples"), samples).object(); }
};

struct Counted
{
    qint64 size = 0;
    QString name;

    QUILLORY_JSON(Counted, size, name)
};

} // namespace

class TestJson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strictDecoding_data();
    void strictDecoding();
    void errorPathPointsIntoLists();
    void largeIntegers();
    void integersBeyondSixtyFourBits_data();
    void integersBeyondSixtyFourBits();
    void encodingLeavesAbsentOut();
    void emptyAndErrorPayloads();
    void answersReadAgainstTheLastOne_data();
    void answersReadAgainstTheLastOne();
    void answerReadAgainstAnEarlierOne();
};

void TestJson::strictDecoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::newRow("full") << QByteArray(R"({"name":"a","size":3,"count":2,"tags":["x"]})") << true;
    QTest::newRow("optional missing") << QByteArray(R"({"name":"a","size":3,"tags":[]})") << true;
    QTest::newRow("optional null") << QByteArray(R"({"name":"a","size":3,"count":null,"tags":[]})") << true;
    QTest::newRow("unknown key") << QByteArray(R"({"name":"a","size":3,"tags":[],"x":{}})") << true;
    QTest::newRow("integral double") << QByteArray(R"({"name":"a","size":3.0,"tags":[]})") << true;
    QTest::newRow("required missing") << QByteArray(R"({"size":3,"tags":[]})") << false;
    QTest::newRow("required null") << QByteArray(R"({"name":null,"size":3,"tags":[]})") << false;
    QTest::newRow("required wrong type") << QByteArray(R"({"name":1,"size":3,"tags":[]})") << false;
    QTest::newRow("optional wrong type")
        << QByteArray(R"({"name":"a","size":3,"count":"2","tags":[]})") << false;
    QTest::newRow("non-integral") << QByteArray(R"({"name":"a","size":3.5,"tags":[]})") << false;
    QTest::newRow("bool for int") << QByteArray(R"({"name":"a","size":true,"tags":[]})") << false;
    QTest::newRow("int out of range")
        << QByteArray(R"({"name":"a","size":1,"count":3000000000,"tags":[]})") << false;
    QTest::newRow("null inside list") << QByteArray(R"({"name":"a","size":1,"tags":["x",null]})") << false;
    QTest::newRow("top-level array") << QByteArray(R"([])") << false;
    QTest::newRow("top-level null") << QByteArray("null") << false;
    QTest::newRow("empty body") << QByteArray() << false;
    QTest::newRow("not json") << QByteArray("<html>") << false;
}

void TestJson::strictDecoding()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    bool decoded = false;
    try {
        json::decode<Sample>(body);
        decoded = true;
    } catch (const DecodingError &) {
    }
    QCOMPARE(decoded, ok);
}

void TestJson::errorPathPointsIntoLists()
{
    const QByteArray body =
        R"({"samples":[{"name":"a","size":1,"tags":[]},{"name":"b","size":1,"tags":[1]}]})";
    try {
        json::decode<Holder>(body);
        QFAIL("decoded");
    } catch (const DecodingError &e) {
        QCOMPARE(e.path(), QStringLiteral("samples[1].tags[0]"));
        QVERIFY(!e.description().isEmpty());
    }
}

void TestJson::largeIntegers()
{
    const Sample s = json::decode<Sample>(R"({"name":"a","size":9007199254740993,"tags":[]})");
    QCOMPARE(s.size, Q_INT64_C(9007199254740993));
    QCOMPARE(json::parseObject(json::encode(s)).value(L("size")).toInteger(), Q_INT64_C(9007199254740993));
}

void TestJson::integersBeyondSixtyFourBits_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qint64>("size"); // -1: refused as out of range
    QTest::addColumn<QString>("name");
    QTest::newRow("2^64 under an unknown key")
        << QByteArray(R"({"trace":18446744073709551616,"size":7,"name":"a"})") << qint64(7) << "a";
    QTest::newRow("below -2^63 and 30 digits, nested")
        << QByteArray(R"({"x":[-9223372036854775809,{"y":123456789012345678901234567890}],)"
                      R"("size":-9223372036854775808,"name":"a"})")
        << std::numeric_limits<qint64>::min() << "a";
    QTest::newRow("digits in a text stay as sent")
        << QByteArray(R"({"size":1,"name":"\"18446744073709551616\"","x":99999999999999999999})") << qint64(1)
        << R"("18446744073709551616")";
    QTest::newRow("2^64 in the field")
        << QByteArray(R"({"size":18446744073709551616,"name":"a"})") << qint64(-1) << "";
    QTest::newRow("below -2^63 in the field")
        << QByteArray(R"({"size":-9223372036854775809,"name":"a"})") << qint64(-1) << "";
}

// JSON sets no limit on integers: one beyond 64 bits under a key nobody reads costs nothing.
void TestJson::integersBeyondSixtyFourBits()
{
    QFETCH(QByteArray, body);
    QFETCH(qint64, size);
    QFETCH(QString, name);
    try {
        const Counted counted = json::decode<Counted>(body);
        QCOMPARE(counted.size, size);
        QCOMPARE(counted.name, name);
    } catch (const DecodingError &e) {
        QCOMPARE(size, qint64(-1));
        QCOMPARE(e.reason(), QStringLiteral("integer out of range"));
        QCOMPARE(e.path(), QStringLiteral("size"));
    }
}

void TestJson::encodingLeavesAbsentOut()
{
    const Sample s{QStringLiteral("a"), 1, std::nullopt, {}};
    const QJsonObject o = s.toJson();
    QVERIFY(!o.contains(L("count")));
    QCOMPARE(o.value(L("tags")).toArray().size(), 0);
    const Sample zero{QStringLiteral("a"), 1, 0, {}};
    QCOMPARE(zero.toJson().value(L("count")).toInt(-1), 0);
}

void TestJson::emptyAndErrorPayloads()
{
    QVERIFY(!json::decode<EmptyResponse>("{ }").ok.has_value());
    QCOMPARE(json::decode<EmptyResponse>(R"({"ok":true,"traceId":18446744073709551616})").ok,
             std::optional<bool>(true));
    QCOMPARE(json::decode<EmptyResponse>(R"({"ok":false})").ok, std::optional<bool>(false));
    QVERIFY(!EmptyResponse{}.toJson().contains(L("ok")));
    QCOMPARE(json::decode<APIErrorPayload>(R"({"error":"无权限"})").error, QStringLiteral("无权限"));
    QVERIFY_THROWS_EXCEPTION(DecodingError, json::decode<APIErrorPayload>(R"({"error":404})"));
    QVERIFY_THROWS_EXCEPTION(DecodingError, json::decode<APIErrorPayload>(R"({"message":"x"})"));
}

namespace {

using Kind = ProjectDetailReader::Reading::Kind;

// A project answer of five items with notes n0 … n4, edited as given.
QByteArray projectAnswer(void (*edit)(ProjectDetailResponse &) = nullptr)
{
    ProjectDetailResponse d;
    d.membership.role = QStringLiteral("总导演");
    for (int i = 0; i < 5; ++i) {
        RundownItem item;
        item.id = QStringLiteral("i%1").arg(i);
        item.order = i + 1;
        item.notes = QStringLiteral("n%1").arg(i);
        d.items.append(item);
    }
    if (edit) {
        edit(d);
    }
    return json::encode(d);
}

QByteArray edited(QByteArray bytes, const char *from, const char *to)
{
    const qsizetype at = bytes.indexOf(from);
    if (at < 0) {
        qFatal("no %s in the answer", from);
    }
    return bytes.replace(at, qsizetype(std::strlen(from)), to);
}

// The answer with item n and its separator after it (the array's end for the last) as `to`.
QByteArray itemReplaced(QByteArray bytes, int n, const char *to)
{
    const QByteArray itemStart = R"({"audioDuration")";
    qsizetype at = -1;
    for (int k = 0; k <= n; ++k) {
        at = bytes.indexOf(itemStart, at + 1);
    }
    qsizetype end = bytes.indexOf(itemStart, at + 1);
    if (end < 0) {
        end = bytes.indexOf(']', at);
    }
    return bytes.replace(at, end - at, to);
}

} // namespace

void TestJson::answersReadAgainstTheLastOne_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<int>("kind"); // -1: fails as json::decode fails

    const QByteArray base = projectAnswer();
    const auto row = [&](const char *name, const QByteArray &next, int kind, const QByteArray &first = {}) {
        QTest::newRow(name) << (first.isEmpty() ? base : first) << next << kind;
    };
    row("same bytes", base, int(Kind::unchanged));
    row("one item", edited(base, R"("notes":"n2")", R"("notes":"换话筒，加长")"), int(Kind::items));
    row("first and last items", edited(edited(base, "\"n0\"", "\"x\""), "\"n4\"", "\"y\""), int(Kind::items));
    row("item added", projectAnswer([](ProjectDetailResponse &d) { d.items.insert(2, d.items.at(4)); }),
        int(Kind::items));
    row("item appended", projectAnswer([](ProjectDetailResponse &d) { d.items.append(d.items.at(1)); }),
        int(Kind::items));
    row("last item removed",
        base.left(base.lastIndexOf(R"(,{"audioDuration")")) + base.mid(base.indexOf("]")), int(Kind::items));
    row("first item removed", projectAnswer([](ProjectDetailResponse &d) { d.items.removeFirst(); }),
        int(Kind::items));
    row("role", edited(base, "总导演", "副导演"), int(Kind::rest));
    row("role and an item", edited(edited(base, "总导演", "副导演"), "\"n3\"", "\"z\""), int(Kind::whole));
    row("spacing between items", edited(base, "},{", "} , {"), int(Kind::items));
    // An item gone, its place left blank between the separators: the array is no longer valid.
    row("an item left blank", itemReplaced(base, 2, " ,"), -1);
    const QByteArray indented = QByteArray(base).replace("},{", "},\n  {");
    row("an item left as lines", itemReplaced(indented, 2, " ,\n  "), -1, indented);
    row("the last item left blank", itemReplaced(base, 4, " "), -1);
    row("items repeated, the last kept", base.left(base.size() - 1) + R"(,"items":[]})", int(Kind::whole));
    row("an item's field of another type", edited(base, R"("order":3)", R"("order":"3")"), -1);
    row("an item cut short", edited(base, R"("notes":"n2")", R"("notes":"n2)"), -1);
    const char *second = R"({"audioDuration":0,"audioName":"","duration":0,"durationSource":"","id":"i1")";
    row("an item that is no object", edited(base, second, (QByteArray("7,") + second).constData()), -1);
    // Only the bytes before the old items changed, but they moved those items to another key.
    row("items moved under another key", edited(base, R"("items":[)", R"("items":[],"":[)"), int(Kind::whole),
        edited(base, R"("items":[)", R"("items": [)"));
    QByteArray deep = "1";
    for (int i = 0; i < 1021; ++i) {
        deep = "[" + deep + "]";
    }
    row("an item nested too deep",
        edited(base, R"("notes":"n2")", (R"("notes":"n2","x":)" + deep).constData()), -1);
}

// Whatever changed, the page's copy patched from a reading equals the answer decoded whole, and
// an answer that does not decode fails as it does there.
void TestJson::answersReadAgainstTheLastOne()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, next);
    QFETCH(int, kind);
    ProjectDetailReader reader;
    std::optional<ProjectDetailResponse> detail;
    reader.accept(reader.read(first), detail);
    QVERIFY(sameRecord(detail, std::optional(json::decode<ProjectDetailResponse>(first))));

    if (kind < 0) {
        QString expected;
        try {
            json::decode<ProjectDetailResponse>(next);
        } catch (const DecodingError &e) {
            expected = e.path();
        }
        try {
            reader.read(next);
            QFAIL("read");
        } catch (const DecodingError &e) {
            QCOMPARE(e.path(), expected);
        }
        return;
    }
    ProjectDetailReader::Reading reading = reader.read(next);
    QCOMPARE(int(reading.kind), kind);
    const bool differs =
        !sameRecord(json::decode<ProjectDetailResponse>(next), json::decode<ProjectDetailResponse>(first));
    QCOMPARE(reader.accept(std::move(reading), detail).changed, differs);
    QVERIFY(sameRecord(*detail, json::decode<ProjectDetailResponse>(next)));
    // And the answer after it reads against it.
    QCOMPARE(reader.accept(reader.read(projectAnswer()), detail).changed, differs);
    QVERIFY(sameRecord(*detail, json::decode<ProjectDetailResponse>(projectAnswer())));
}

// Two polls read against the same answer; the one accepted second no longer patches the copy.
void TestJson::answerReadAgainstAnEarlierOne()
{
    const QByteArray base = projectAnswer();
    const QByteArray first = edited(base, "\"n1\"", "\"a\"");
    const QByteArray second = edited(base, "\"n3\"", "\"b\"");
    ProjectDetailReader reader;
    std::optional<ProjectDetailResponse> detail;
    reader.accept(reader.read(base), detail);
    ProjectDetailReader::Reading one = reader.read(first);
    ProjectDetailReader::Reading two = reader.read(second);
    reader.accept(std::move(one), detail);
    reader.accept(std::move(two), detail);
    QVERIFY(sameRecord(*detail, json::decode<ProjectDetailResponse>(second)));
}

QTEST_GUILESS_MAIN(TestJson)
#include "test_json.moc"
