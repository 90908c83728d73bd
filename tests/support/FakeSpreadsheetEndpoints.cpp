#include "FakeEndpointsInternal.h"
#include "FakeWorkbook.h"

#include <QSet>
#include <QStringDecoder>

#include <cmath>

namespace fake {

namespace {

enum class Field {
    order,
    section,
    startTime,
    title,
    type,
    duration,
    performers,
    owner,
    stage,
    props,
    notes,
    script
};

struct Column
{
    Field field;
    QString heading;      // the heading the export writes
    QStringList synonyms; // further headings an import accepts, compared without case
};

// Export order; an import finds the columns by their headings in any order.
const QList<Column> &columns()
{
    static const QList<Column> list = {
        {Field::order,
         QStringLiteral("序号"),
         {QStringLiteral("顺序"), QStringLiteral("no"), QStringLiteral("order")}},
        {Field::section, QStringLiteral("环节"), {QStringLiteral("篇章"), QStringLiteral("section")}},
        {Field::startTime,
         QStringLiteral("开始时间"),
         {QStringLiteral("时间"), QStringLiteral("开始"), QStringLiteral("start"),
          QStringLiteral("start time")}},
        {Field::title,
         QStringLiteral("节目名称"),
         {QStringLiteral("节目"), QStringLiteral("名称"), QStringLiteral("title")}},
        {Field::type, QStringLiteral("类型"), {QStringLiteral("节目类型"), QStringLiteral("type")}},
        {Field::duration, QStringLiteral("时长"), {QStringLiteral("duration")}},
        {Field::performers,
         QStringLiteral("表演者"),
         {QStringLiteral("演员"), QStringLiteral("表演人员"), QStringLiteral("performers")}},
        {Field::owner, QStringLiteral("负责人"), {QStringLiteral("节目负责人"), QStringLiteral("owner")}},
        {Field::stage, QStringLiteral("舞台"), {QStringLiteral("区域"), QStringLiteral("stage")}},
        {Field::props, QStringLiteral("道具"), {QStringLiteral("props")}},
        {Field::notes, QStringLiteral("备注"), {QStringLiteral("notes")}},
        {Field::script, QStringLiteral("主持串词"), {QStringLiteral("串词"), QStringLiteral("script")}},
    };
    return list;
}

std::optional<Field> fieldForHeading(const QString &text)
{
    const QString heading = text.trimmed();
    for (const Column &column : columns()) {
        if (heading.compare(column.heading, Qt::CaseInsensitive) == 0 ||
            column.synonyms.contains(heading, Qt::CaseInsensitive)) {
            return column.field;
        }
    }
    return std::nullopt;
}

// Where a sheet's columns are: found from a heading row, or the plain order title, type,
// duration, performers, owner of a sheet without headings.
struct Layout
{
    int firstDataRow = 0;
    QHash<Field, int> columns;
    bool headed = false;
};

// A heading row is one of the first rows that names the title column, and another column too
// unless it uses the title's own heading: a data row whose type is "节目" is no heading row.
std::optional<Layout> headedLayout(const QList<QStringList> &rows)
{
    for (int r = 0; r < std::min<int>(10, int(rows.size())); ++r) {
        Layout layout;
        bool titleHeading = false;
        const QStringList &cells = rows.at(r);
        for (int c = 0; c < int(cells.size()); ++c) {
            if (const auto field = fieldForHeading(cells.at(c)); field && !layout.columns.contains(*field)) {
                layout.columns.insert(*field, c);
                titleHeading =
                    titleHeading || (*field == Field::title &&
                                     cells.at(c).trimmed() == columns().at(int(Field::title)).heading);
            }
        }
        if (layout.columns.contains(Field::title) && (titleHeading || layout.columns.size() >= 2)) {
            layout.firstDataRow = r + 1;
            layout.headed = true;
            return layout;
        }
    }
    return std::nullopt;
}

bool blankRow(const QStringList &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &c) { return c.trimmed().isEmpty(); });
}

int rowCount(const QList<QStringList> &rows, const Layout &layout)
{
    int count = 0;
    for (qsizetype r = layout.firstDataRow; r < rows.size(); ++r) {
        count += blankRow(rows.at(r)) ? 0 : 1;
    }
    return count;
}

// A plain number, as spreadsheets store times and durations.
std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// "4:30" (minutes and seconds), "1:02:03", "270" seconds, or a fraction of a day as a
// spreadsheet stores a duration cell; anything else is 0.
qint64 durationSeconds(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.contains(QLatin1Char(':'))) {
        const QStringList parts = text.split(QLatin1Char(':'));
        if (parts.size() > 3) {
            return 0;
        }
        qint64 total = 0;
        for (const QString &part : parts) {
            bool ok = false;
            const qint64 value = part.trimmed().toLongLong(&ok);
            if (!ok || value < 0 || value > 100000) {
                return 0;
            }
            total = total * 60 + value;
        }
        return total;
    }
    const auto value = number(text);
    if (!value || *value <= 0 || *value > 1e7) {
        return 0;
    }
    if (*value < 1 && std::floor(*value) != *value) {
        return std::llround(*value * 86400);
    }
    return std::llround(*value);
}

// Seconds after midnight of a 24-hour "H:mm" text.
std::optional<int> clock(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^([01]?\\d|2[0-3]):([0-5]\\d)$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60;
}

// "HH:mm" for the forms a spreadsheet may hold a time of day in; other text stays as it is.
QString startTime(const QString &raw)
{
    QString text = raw.trimmed();
    static const QRegularExpression withSeconds(QStringLiteral("^(\\d{1,2}:\\d{2}):\\d{2}$"));
    if (const auto match = withSeconds.match(text); match.hasMatch()) {
        text = match.captured(1);
    }
    if (const auto seconds = clock(text)) {
        return QStringLiteral("%1:%2")
            .arg(*seconds / 3600, 2, 10, QLatin1Char('0'))
            .arg(*seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    }
    if (const auto value = number(text);
        value && *value >= 0 && *value < 1 && !text.contains(QLatin1Char(':'))) {
        const int minutes = int(std::llround(*value * 24 * 60)) % (24 * 60);
        return QStringLiteral("%1:%2")
            .arg(minutes / 60, 2, 10, QLatin1Char('0'))
            .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

QString durationText(qint64 seconds)
{
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// What one preview may echo back, in bytes of UTF-8: a small workbook can name one long shared
// string in every row. A real rundown of ten thousand items with long notes and scripts stays
// well below it.
constexpr qsizetype previewTextBudget = 16 * 1024 * 1024;

qsizetype utf8Size(QStringView text)
{
    qsizetype size = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        size += u < 0x80 ? 1 : (u < 0x800 || QChar::isSurrogate(u)) ? 2 : 3;
    }
    return size;
}

qsizetype previewText(const RundownItem &item)
{
    qsizetype size = 0;
    for (const QString *text : {&item.section, &item.startTime, &item.title, &item.type, &item.performers,
                                &item.owner, &item.stage, &item.props, &item.notes, &item.script}) {
        size += utf8Size(*text);
    }
    return size;
}

// Nullopt as soon as the items' text passes the preview's budget.
std::optional<QList<RundownItem>> itemsFrom(const QList<QStringList> &rows, const Layout &layout)
{
    qsizetype textLeft = previewTextBudget;
    QList<RundownItem> items;
    for (qsizetype r = layout.firstDataRow; r < rows.size(); ++r) {
        QStringList cells = rows.at(r);
        if (blankRow(cells)) {
            continue;
        }
        QHash<Field, int> at = layout.columns;
        if (!layout.headed) {
            // Without headings a leading number column is the running order.
            bool numbered = false;
            cells.first().trimmed().toInt(&numbered);
            const int shift = numbered && cells.size() > 1 ? 1 : 0;
            at = {{Field::title, shift},
                  {Field::type, shift + 1},
                  {Field::duration, shift + 2},
                  {Field::performers, shift + 3},
                  {Field::owner, shift + 4}};
        }
        const auto cell = [&](Field field) {
            const int c = at.value(field, -1);
            return c >= 0 && c < cells.size() ? cells.at(c) : QString();
        };
        RundownItem item;
        item.section = cell(Field::section).trimmed();
        if (item.section.isEmpty()) {
            item.section = QStringLiteral("正式演出");
        }
        item.startTime = startTime(cell(Field::startTime));
        item.title = cell(Field::title).trimmed();
        item.type = cell(Field::type).trimmed();
        item.duration = durationSeconds(cell(Field::duration));
        item.durationSource = QStringLiteral("import");
        item.performers = cell(Field::performers).trimmed();
        item.owner = cell(Field::owner).trimmed();
        item.stage = cell(Field::stage).trimmed();
        item.props = cell(Field::props).trimmed();
        item.notes = cell(Field::notes).trimmed();
        item.script = cell(Field::script);
        textLeft -= previewText(item);
        if (textLeft < 0) {
            return std::nullopt;
        }
        items.append(item);
    }
    return items;
}

// Start times that cannot be read, or that fall before the end of what comes before them.
int timeConflicts(const QList<RundownItem> &items, const QString &showStart)
{
    std::optional<qint64> running = clock(showStart);
    int conflicts = 0;
    for (const RundownItem &item : items) {
        if (!item.startTime.isEmpty()) {
            const auto start = clock(item.startTime);
            if (!start || (running && *start < *running)) {
                ++conflicts;
            }
            if (start) {
                running = *start;
            }
        }
        if (running) {
            running = *running + item.duration;
        }
    }
    return conflicts;
}

struct Chosen
{
    QString sheetName;
    qint64 ignoredSheets = 0;
    QList<QStringList> rows; // of the chosen sheet; none when no sheet has content
    Layout layout;
};

// The first sheet with headings and items wins; then the first with headings; then the first
// sheet with any content, read without headings.
Chosen choose(const QList<FakeWorkbook::Sheet> &sheets)
{
    Chosen chosen;
    chosen.ignoredSheets = std::max<qsizetype>(0, sheets.size() - 1);
    std::optional<qsizetype> pick;
    std::optional<Layout> pickLayout;
    for (qsizetype i = 0; i < sheets.size() && !pick; ++i) {
        const auto layout = headedLayout(sheets.at(i).rows);
        if (layout && rowCount(sheets.at(i).rows, *layout) > 0) {
            pick = i;
            pickLayout = layout;
        }
    }
    for (qsizetype i = 0; i < sheets.size() && !pick; ++i) {
        if (const auto layout = headedLayout(sheets.at(i).rows)) {
            pick = i;
            pickLayout = layout;
        }
    }
    for (qsizetype i = 0; i < sheets.size() && !pick; ++i) {
        if (rowCount(sheets.at(i).rows, Layout{}) > 0) {
            pick = i;
            pickLayout = Layout{};
        }
    }
    if (!pick) {
        chosen.sheetName = sheets.isEmpty() ? QString() : sheets.first().name;
        return chosen;
    }
    chosen.sheetName = sheets.at(*pick).name;
    chosen.rows = sheets.at(*pick).rows;
    chosen.layout = *pickLayout;
    return chosen;
}

// What an import's body gives: the preview of its chosen sheet, or the refusal the endpoint answers
// once the caller's rights are checked. Needs no platform; the items get their ids under its lock.
FakeSpreadsheet readSpreadsheet(const QByteArray &body)
{
    const auto refused = [](int status, const QString &error) { return FakeSpreadsheet{{}, status, error}; };
    RundownImportPayload payload;
    try {
        payload = RundownImportPayload::fromJson(json::parseObject(body));
    } catch (const DecodingError &) {
        return refused(400, errBadRequest);
    }
    const auto decoded = QByteArray::fromBase64Encoding(payload.contentBase64.toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return refused(400, QStringLiteral("无法读取表格文件"));
    }
    const QByteArray &bytes = decoded.decoded;

    QList<FakeWorkbook::Sheet> sheets;
    QString error;
    if (FakeWorkbook::looksLikeZip(bytes)) {
        auto workbook = FakeWorkbook::readXlsx(bytes, &error);
        if (!workbook) {
            return refused(400, error);
        }
        sheets = std::move(*workbook);
    } else if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
        return refused(400, QStringLiteral("暂不支持旧版 .xls 文件，请另存为 .xlsx 后导入"));
    } else if (!bytes.isEmpty()) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);
        if (utf8.hasError() || text.contains(QChar(0))) {
            return refused(400, QStringLiteral("无法读取表格文件"));
        }
        auto rows = FakeWorkbook::readCsv(bytes, &error);
        if (!rows) {
            return refused(400, error);
        }
        sheets.append(FakeWorkbook::Sheet{QStringLiteral("CSV"), std::move(*rows)});
    }

    const Chosen chosen = choose(sheets);
    // The reader's budget leaves each sheet its headings; the items alone count here.
    const FakeWorkbook::Budget budget;
    if (rowCount(chosen.rows, chosen.layout) > budget.rows) {
        return refused(400, FakeWorkbook::tooManyRows(budget));
    }
    auto items = itemsFrom(chosen.rows, chosen.layout);
    if (!items) {
        return refused(
            400, QStringLiteral("表格内容过多（预览文本超过 %1 MB）").arg(previewTextBudget / (1024 * 1024)));
    }
    FakeSpreadsheet read;
    RundownImportPreview &preview = read.preview;
    preview.items = std::move(*items);
    QSet<QString> people;
    QSet<QString> legacyTypes;
    for (qsizetype i = 0; i < preview.items.size(); ++i) {
        preview.items[i].order = i + 1;
        const RundownItem &item = preview.items.at(i);
        for (const QString &person :
             PermissionPolicy::people(item.performers + QLatin1Char('\n') + item.owner)) {
            if (!people.contains(person)) {
                people.insert(person);
                preview.people.append(person);
            }
        }
        if (!item.type.isEmpty() && !standardTypes.contains(item.type) && !legacyTypes.contains(item.type)) {
            legacyTypes.insert(item.type);
            preview.legacyTypes.append(item.type);
        }
    }
    preview.selectedSheetName = chosen.sheetName;
    preview.ignoredSheetCount = chosen.ignoredSheets;
    return read;
}

} // namespace

Access Endpoints::importer() const
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    return a;
}

std::optional<FakeReply> Endpoints::refusalBeforeBody()
{
    if (m_call.method != "POST" || m_call.path != "/api/rundown-import") {
        return std::nullopt;
    }
    try {
        importer();
    } catch (const Refusal &r) {
        return errorReply(r.status, r.error);
    }
    return std::nullopt;
}

FakeReply Endpoints::importPreview()
{
    const Access a = importer();
    // Read by prepareCall, before the platform was locked.
    const std::shared_ptr<const FakeSpreadsheet> read = m_call.spreadsheet;
    if (read->status != 0) {
        refuse(read->status, read->error);
    }
    FakeProject scratch;
    scratch.items = read->preview.items;
    // Fresh ids: lotteries, tasks and assets of an earlier rundown never attach to these.
    for (RundownItem &item : scratch.items) {
        item.id = m_p.nextId(QStringLiteral("item"));
    }
    m_p.refreshReadiness(scratch);

    FakeReply reply;
    reply.finish = [read, items = std::move(scratch.items), showStart = a.project->summary.startTime,
                    pause = m_call.whileWritingPreview](FakeReply &out) {
        RundownImportPreview preview = read->preview;
        preview.items = items;
        preview.timeConflictCount = timeConflicts(preview.items, showStart);
        if (pause) {
            pause();
        }
        out = recordReply(preview);
    };
    return reply;
}

FakeReply Endpoints::exportRundown()
{
    const Access a = accessFromQuery();
    FakeWorkbook::Sheet sheet;
    sheet.name = QStringLiteral("节目单");
    QStringList headings;
    for (const Column &column : columns()) {
        headings.append(column.heading);
    }
    sheet.rows.append(headings);
    for (const RundownItem &i : std::as_const(a.project->items)) {
        QStringList row;
        for (const Column &column : columns()) {
            switch (column.field) {
            case Field::order:
                row.append(QString::number(i.order));
                break;
            case Field::section:
                row.append(i.section);
                break;
            case Field::startTime:
                row.append(i.startTime);
                break;
            case Field::title:
                row.append(i.title);
                break;
            case Field::type:
                row.append(i.type);
                break;
            case Field::duration:
                row.append(durationText(i.duration));
                break;
            case Field::performers:
                row.append(i.performers);
                break;
            case Field::owner:
                row.append(i.owner);
                break;
            case Field::stage:
                row.append(i.stage);
                break;
            case Field::props:
                row.append(i.props);
                break;
            case Field::notes:
                row.append(i.notes);
                break;
            case Field::script:
                row.append(i.script);
                break;
            }
        }
        sheet.rows.append(row);
    }
    const QByteArray workbook = FakeWorkbook::writeXlsx({sheet});
    if (workbook.isEmpty()) {
        refuse(500, QStringLiteral("导出失败"));
    }
    const RundownExportResponse response{
        a.project->summary.name + QStringLiteral("-节目单.xlsx"),
        QString::fromLatin1(workbook.toBase64()),
    };
    return jsonReply(response.toJson());
}

} // namespace fake

std::optional<FakeReply> refusalBeforeBody(FakePlatform &platform, const FakeCall &call)
{
    return fake::Endpoints(platform, call).refusalBeforeBody();
}

void prepareCall(FakeCall &call)
{
    if (call.method == "POST" && call.path == "/api/rundown-import") {
        call.spreadsheet = std::make_shared<const FakeSpreadsheet>(fake::readSpreadsheet(call.body));
    }
}
