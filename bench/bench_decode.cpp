// Decoding a large project answer, against parsing the same bytes alone with Qt and with simdjson.

#include "models/Rundown.h"
#include "json/JsonSimd.h"

#include <QJsonDocument>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <random>

namespace {

const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄",
                              "周", "吴", "徐", "孙", "胡", "朱", "高"};
const QStringList givenNames = {"晓明", "雪", "伟", "思思", "敏",   "浩", "小雨",
                                "芳",   "强", "静", "磊",   "婷婷", "洋", "佳怡"};
const QStringList roles = {"总导演",   "副导演", "节目负责人", "主持人", "演员",
                           "工作人员", "音响师", "视频师",     "化妆师"};
const QStringList types = {"舞蹈", "歌曲", "语言类", "器乐", "主持", "戏曲", "魔术", ""};
const QStringList statuses = {"已就绪", "准备中", "待完善", "候场"};
const QStringList phrases = {
    "尊敬的各位来宾，大家晚上好！",
    "灯光渐暗，追光打在舞台中央。",
    "请后台演员提前五分钟候场，注意安全。",
    "音乐起，舞者从两侧依次上场，队形变换为扇形。",
    "主持人引出下一个节目，并感谢赞助单位的大力支持。",
    "本节目需要无线话筒四支、立麦两支，返听音量适当调高。",
    "背景视频与音乐同步播放，结束时画面定格在晚会主题。",
    "演出结束后全体演员谢幕，主持人宣布进入下一篇章。",
    "道具组请在暗场时迅速撤下桌椅，保持台面整洁。",
    "干冰与烟雾效果提前三十秒开启，注意不要遮挡字幕。",
};

class Generator
{
public:
    QString person() { return pick(surnames) + pick(givenNames); }
    QString people(int min, int max)
    {
        QStringList names;
        for (int i = 0, n = range(min, max); i < n; ++i) {
            names.append(person());
        }
        return names.join(QChar(0x3001));
    }
    QString text(int sentences)
    {
        QString out;
        for (int i = 0; i < sentences; ++i) {
            out += pick(phrases);
            if (i % 3 == 2) {
                out += QLatin1Char('\n');
            }
        }
        return out;
    }
    QString time()
    {
        return QStringLiteral("%1:%2")
            .arg(range(8, 22), 2, 10, QLatin1Char('0'))
            .arg(range(0, 59), 2, 10, QLatin1Char('0'));
    }
    const QString &pick(const QStringList &list) { return list.at(range(0, int(list.size()) - 1)); }
    int range(int min, int max) { return std::uniform_int_distribution<int>(min, max)(m_random); }

private:
    std::mt19937 m_random{20240203};
};

QByteArray largeProject()
{
    Generator g;
    ProjectDetailResponse detail;
    detail.project = {"p-bench",    "2024 新春联欢晚会（基准）",
                      "2024-02-03", "19:30",
                      "筹备中",     QStringLiteral("市文化艺术中心大剧院"),
                      true};
    detail.membership = {"m-0", "p-bench", g.person(), "总导演"};
    for (int i = 0; i < 60; ++i) {
        ProjectMember m{QStringLiteral("m-%1").arg(i),
                        std::nullopt,
                        QStringLiteral("p-bench"),
                        g.person(),
                        g.pick(roles),
                        g.text(1),
                        QStringLiteral("#%1").arg(g.range(0, 0xffffff), 6, 16, QLatin1Char('0')),
                        QStringLiteral("后台、舞台"),
                        std::nullopt,
                        std::nullopt};
        if (i % 2 == 0) {
            m.accountId = QStringLiteral("acc-%1").arg(1000 + i);
            m.checkedInAt = QStringLiteral("2024-02-03T14:%1:00+08:00").arg(i % 60, 2, 10, QLatin1Char('0'));
            m.checkedInBy = g.person();
        }
        detail.members.append(m);
    }
    for (int i = 0; i < 12; ++i) {
        QStringList ids;
        for (int k = 0; k < 5; ++k) {
            ids.append(QStringLiteral("m-%1").arg(g.range(0, 59)));
        }
        detail.performerGroups.append(
            {QStringLiteral("g-%1").arg(i), g.people(2, 3), i % 3 ? "group" : "suspected", ids});
    }
    for (int i = 0; i < 30; ++i) {
        detail.makeup.append({QStringLiteral("m-%1").arg(i), QStringLiteral("m-%1").arg(50 + i % 4), g.time(),
                              g.range(15, 60), QStringLiteral("待化妆")});
    }
    for (int i = 0; i < 4; ++i) {
        detail.makeupShifts.append(
            {QStringLiteral("m-%1").arg(50 + i), "15:00", "19:00", QStringLiteral("二楼化妆间")});
    }
    detail.operations = {"彩排通知",
                         g.text(4),
                         "14:00",
                         "剧院东门",
                         "15:30",
                         "17:30 后台餐厅盒饭",
                         "2024-02-02T20:15:00+08:00",
                         {"m-0", "m-2", "m-4"}};
    for (int i = 0; i < 1000; ++i) {
        RundownItem item;
        item.id = QStringLiteral("item-%1").arg(i);
        item.order = i + 1;
        item.section = QStringLiteral("第%1篇章").arg(i / 100 + 1);
        item.type = g.pick(types);
        item.title =
            item.type + QStringLiteral("《") + g.pick(phrases).left(g.range(4, 8)) + QStringLiteral("》");
        item.duration = g.range(60, 900);
        item.durationSource = i % 3 ? "manual" : "audio";
        item.audioDuration = i % 3 ? 0 : item.duration - 2;
        item.videoDuration = i % 5 ? 0 : item.duration;
        item.startTime = i % 10 ? QString() : g.time();
        item.performers = g.people(1, 8);
        item.owner = g.people(1, 2);
        item.script = g.text(g.range(2, 6));
        item.stage = QStringLiteral("主舞台");
        item.props = g.text(1).left(12);
        item.notes = g.range(0, 1) ? g.text(1) : QString();
        item.status = g.pick(statuses);
        item.liveStatus = i < 10 ? QStringLiteral("已完成") : QString();
        if (item.audioDuration) {
            item.audioName = item.title + QStringLiteral(".mp3");
            item.audioAssetId = QStringLiteral("a-%1").arg(i);
        }
        if (item.videoDuration) {
            item.videoName = item.title + QStringLiteral(".mp4");
            item.videoAssetId = QStringLiteral("v-%1").arg(i);
        }
        detail.items.append(item);
    }
    // Indented, as a service would typically send it.
    return QJsonDocument(detail.toJson()).toJson(QJsonDocument::Indented);
}

const QByteArray &body()
{
    static const QByteArray bytes = largeProject();
    return bytes;
}

void BM_ParseOnly(benchmark::State &state)
{
    const QByteArray &bytes = body();
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(bytes);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["bytes"] = double(bytes.size());
}

void BM_Decode(benchmark::State &state)
{
    const QByteArray &bytes = body();
    // A fast decoder that reads wrongly measures nothing: check it against the Qt-based reader once.
    if (json::decode<ProjectDetailResponse>(bytes).toJson() !=
        ProjectDetailResponse::fromJson(json::parseObject(bytes)).toJson()) {
        state.SkipWithError("the decoded answer differs from the Qt-based reader's");
        return;
    }
    // As the rundown page does: the new answer replaces the one it holds.
    ProjectDetailResponse detail;
    for (auto _ : state) {
        detail = json::decode<ProjectDetailResponse>(bytes);
        benchmark::DoNotOptimize(detail);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The least any decoder on simdjson can do: the parse, and one QString per string value.
void visit(simdjson::dom::element e, qsizetype &count)
{
    switch (e.type()) {
    case simdjson::dom::element_type::ARRAY: {
        const simdjson::dom::array array = e.get_array().value_unsafe();
        for (simdjson::dom::element child : array) {
            visit(child, count);
        }
        break;
    }
    case simdjson::dom::element_type::OBJECT: {
        const simdjson::dom::object object = e.get_object().value_unsafe();
        for (const auto member : object) {
            visit(member.value, count);
        }
        break;
    }
    case simdjson::dom::element_type::STRING: {
        const std::string_view view = e.get_string().value_unsafe();
        QString text = QString::fromUtf8(view.data(), qsizetype(view.size()));
        benchmark::DoNotOptimize(text);
        ++count;
        break;
    }
    default:
        break;
    }
}

void BM_Floor(benchmark::State &state)
{
    const QByteArray &bytes = body();
    simdjson::dom::parser parser;
    for (auto _ : state) {
        qsizetype count = 0;
        visit(parser.parse(bytes.constData(), std::size_t(bytes.size())).value(), count);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void keep(simdjson::dom::element e, std::vector<QString> &out)
{
    switch (e.type()) {
    case simdjson::dom::element_type::ARRAY: {
        const simdjson::dom::array array = e.get_array().value_unsafe();
        for (simdjson::dom::element child : array) {
            keep(child, out);
        }
        break;
    }
    case simdjson::dom::element_type::OBJECT: {
        const simdjson::dom::object object = e.get_object().value_unsafe();
        for (const auto member : object) {
            keep(member.value, out);
        }
        break;
    }
    case simdjson::dom::element_type::STRING: {
        const std::string_view view = e.get_string().value_unsafe();
        out.push_back(QString::fromUtf8(view.data(), qsizetype(view.size())));
        break;
    }
    default:
        break;
    }
}

void BM_FloorKept(benchmark::State &state)
{
    const QByteArray &bytes = body();
    simdjson::dom::parser parser;
    std::vector<QString> strings;
    for (auto _ : state) {
        std::vector<QString> fresh;
        fresh.reserve(40000);
        keep(parser.parse(bytes.constData(), std::size_t(bytes.size())).value(), fresh);
        strings = std::move(fresh);
        benchmark::DoNotOptimize(strings);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The record layer alone, on an object parsed once.
void BM_FieldsOnly(benchmark::State &state)
{
    const QByteArray &bytes = body();
    const QJsonObject object = json::parseObject(bytes);
    for (auto _ : state) {
        ProjectDetailResponse detail = ProjectDetailResponse::fromJson(object);
        benchmark::DoNotOptimize(detail);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorKept)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldsOnly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
