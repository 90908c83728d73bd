#include "FakeWorkbook.h"

#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zip.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace FakeWorkbook {

namespace {

const QString mainNs = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString relNs = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString packageRelNs = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

struct ZipCloser
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser
{
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

// One part of the archive, or nullopt when it is missing, unreadable or larger than what is left
// of `budget`, which it spends.
std::optional<QByteArray> readPart(zip_t *archive, const QString &name, qint64 &budget, QString *error)
{
    const qint64 limit = budget;
    const zip_int64_t index = zip_name_locate(archive, name.toUtf8().constData(), 0);
    if (index < 0) {
        return std::nullopt;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        stat.size > zip_uint64_t(limit)) {
        *error = QStringLiteral("表格文件过大或已损坏");
        return std::nullopt;
    }
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive, zip_uint64_t(index), 0));
    if (!file) {
        *error = QStringLiteral("无法读取表格文件");
        return std::nullopt;
    }
    // The declared size is not trusted: reading stops at the limit whatever the header says.
    QByteArray out;
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            *error = QStringLiteral("无法读取表格文件");
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        out.append(buffer, qsizetype(n));
        if (out.size() > limit) {
            *error = QStringLiteral("表格文件过大或已损坏");
            return std::nullopt;
        }
    }
    budget -= out.size();
    return out;
}

// "AB12" -> 27 (zero-based column); -1 when the reference has no letters.
int columnOf(QStringView reference)
{
    int column = 0;
    int letters = 0;
    for (QChar c : reference) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z') {
            column = column * 26 + (u - u'A' + 1);
        } else if (u >= u'a' && u <= u'z') {
            column = column * 26 + (u - u'a' + 1);
        } else {
            break;
        }
        if (++letters > 3) {
            return -1; // past XFD, the last column a workbook can have
        }
    }
    return letters == 0 ? -1 : column - 1;
}

QString columnName(int column)
{
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) {
        name.prepend(QChar(u'A' + (c - 1) % 26));
    }
    return name;
}

// The text of every <t> inside the current element, phonetic runs left out.
QString collectText(QXmlStreamReader &xml)
{
    QString text;
    const QString element = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QStringLiteral("rPh")) {
                ++phonetic;
            } else if (xml.name() == QStringLiteral("t") && phonetic == 0) {
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QStringLiteral("rPh")) {
                --phonetic;
            } else if (xml.name() == element) {
                break;
            }
        }
    }
    return text;
}

QStringList sharedStrings(const QByteArray &part)
{
    QStringList strings;
    QXmlStreamReader xml(part);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QStringLiteral("si")) {
            strings.append(collectText(xml));
        }
    }
    return strings;
}

bool hasContent(const QStringList &row)
{
    return std::any_of(row.cbegin(), row.cend(),
                       [](const QString &cell) { return !QStringView(cell).trimmed().isEmpty(); });
}

// Called once the last row is complete: spends `rowsLeft` on it, or drops it when it only
// lengthens a run of blank rows. False once the budget is spent.
bool settleRow(QList<QStringList> &rows, int &rowsLeft, const Budget &budget)
{
    if (!hasContent(rows.last())) {
        if (rows.size() > 1 && !hasContent(rows.at(rows.size() - 2))) {
            rows.removeLast();
        }
        return true;
    }
    return rows.size() <= budget.headingRows || --rowsLeft >= 0;
}

// Spends `rowsLeft`, and stops reading as soon as it runs out.
QList<QStringList> worksheetRows(const QByteArray &part, const QStringList &strings, int &rowsLeft,
                                 const Budget &budget, QString *error)
{
    // A generous bound that a real rundown never reaches; it keeps a crafted file from
    // padding rows out to millions of empty cells.
    constexpr int maxColumns = 256;
    QList<QStringList> rows;
    QXmlStreamReader xml(part);
    QStringList *row = nullptr;
    int nextColumn = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QStringLiteral("row") && row) {
            row = nullptr;
            if (!settleRow(rows, rowsLeft, budget)) {
                *error = tooManyRows(budget);
                return {};
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QStringLiteral("row")) {
            rows.append(QStringList());
            row = &rows.last();
            nextColumn = 0;
            continue;
        }
        if (xml.name() != QStringLiteral("c") || !row) {
            continue;
        }
        const auto attributes = xml.attributes();
        const QString reference = attributes.value(QStringLiteral("r")).toString();
        const QString type = attributes.value(QStringLiteral("t")).toString();
        int column = reference.isEmpty() ? nextColumn : columnOf(reference);
        if (column < 0) {
            column = nextColumn;
        }
        nextColumn = column + 1;
        QString value;
        QString raw;
        while (!xml.atEnd()) {
            const auto inner = xml.readNext();
            if (inner == QXmlStreamReader::StartElement) {
                if (xml.name() == QStringLiteral("v")) {
                    raw = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                } else if (xml.name() == QStringLiteral("is")) {
                    value = collectText(xml);
                } else {
                    xml.skipCurrentElement();
                }
            } else if (inner == QXmlStreamReader::EndElement && xml.name() == QStringLiteral("c")) {
                break;
            }
        }
        if (type == QStringLiteral("s")) {
            bool ok = false;
            const int index = raw.trimmed().toInt(&ok);
            value = ok && index >= 0 && index < strings.size() ? strings.at(index) : QString();
        } else if (type == QStringLiteral("b")) {
            value = raw.trimmed() == QStringLiteral("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else if (type != QStringLiteral("inlineStr")) {
            value = raw;
        }
        if (column >= maxColumns || value.isEmpty()) {
            continue;
        }
        while (row->size() <= column) {
            row->append(QString());
        }
        (*row)[column] = value;
    }
    if (xml.hasError()) {
        *error = QStringLiteral("无法读取表格文件");
        return {};
    }
    return rows;
}

QString relationshipId(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == QStringLiteral("id") && !a.namespaceUri().isEmpty()) {
            return a.value().toString();
        }
    }
    return {};
}

QString cleanText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 || u == u'\t' || u == u'\n' || u == u'\r') {
            out.append(c);
        }
    }
    return out;
}

bool plainInteger(const QString &text)
{
    if (text.isEmpty() || text.size() > 9 || (text.size() > 1 && text.startsWith(QLatin1Char('0')))) {
        return false;
    }
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

QString sheetTitle(QString name, int index)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    for (QChar &c : name) {
        if (forbidden.contains(c)) {
            c = QLatin1Char('_');
        }
    }
    name = cleanText(name).left(31).trimmed();
    return name.isEmpty() ? QStringLiteral("Sheet%1").arg(index + 1) : name;
}

QByteArray xmlDocument(const std::function<void(QXmlStreamWriter &)> &body)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    body(xml);
    xml.writeEndDocument();
    return out;
}

QByteArray worksheetXml(const Sheet &sheet)
{
    return xmlDocument([&](QXmlStreamWriter &xml) {
        xml.writeStartElement(QStringLiteral("worksheet"));
        xml.writeDefaultNamespace(mainNs);
        xml.writeStartElement(QStringLiteral("sheetData"));
        for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
            const QString rowNumber = QString::number(r + 1);
            xml.writeStartElement(QStringLiteral("row"));
            xml.writeAttribute(QStringLiteral("r"), rowNumber);
            const QStringList &cells = sheet.rows.at(r);
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const QString text = cleanText(cells.at(c));
                if (text.isEmpty()) {
                    continue;
                }
                xml.writeStartElement(QStringLiteral("c"));
                xml.writeAttribute(QStringLiteral("r"), columnName(int(c)) + rowNumber);
                if (r == 0) {
                    xml.writeAttribute(QStringLiteral("s"), QStringLiteral("1")); // the heading row, bold
                }
                if (plainInteger(text)) {
                    xml.writeTextElement(QStringLiteral("v"), text);
                } else {
                    xml.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
                    xml.writeStartElement(QStringLiteral("is"));
                    xml.writeStartElement(QStringLiteral("t"));
                    xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                    xml.writeCharacters(text);
                    xml.writeEndElement();
                    xml.writeEndElement();
                }
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
        xml.writeEndElement();
    });
}

QByteArray stylesXml()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
        "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
        "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
        "</styleSheet>");
}

} // namespace

QString tooManyRows(const Budget &budget)
{
    return QStringLiteral("表格行数过多（最多 %1 行）").arg(budget.rows);
}

bool looksLikeZip(const QByteArray &bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

std::optional<QList<Sheet>> readXlsx(const QByteArray &bytes, QString *error, Budget budget)
{
    QString ignored;
    if (!error) {
        error = &ignored;
    }
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &zipError);
    if (!source) {
        zip_error_fini(&zipError);
        *error = QStringLiteral("无法读取表格文件");
        return std::nullopt;
    }
    ZipHandle archive(zip_open_from_source(source, ZIP_RDONLY, &zipError));
    zip_error_fini(&zipError);
    if (!archive) {
        zip_source_free(source);
        *error = QStringLiteral("无法读取表格文件");
        return std::nullopt;
    }

    const auto workbook =
        readPart(archive.get(), QStringLiteral("xl/workbook.xml"), budget.inflatedBytes, error);
    const auto rels =
        readPart(archive.get(), QStringLiteral("xl/_rels/workbook.xml.rels"), budget.inflatedBytes, error);
    if (!workbook || !rels) {
        if (error->isEmpty()) {
            *error = QStringLiteral("不是有效的 Excel 工作簿");
        }
        return std::nullopt;
    }

    QHash<QString, QString> targets; // relationship id -> part name
    {
        QXmlStreamReader xml(*rels);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement &&
                xml.name() == QStringLiteral("Relationship")) {
                const auto a = xml.attributes();
                QString target = a.value(QStringLiteral("Target")).toString();
                target = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
                targets.insert(a.value(QStringLiteral("Id")).toString(), target);
            }
        }
    }

    // The sheets are listed first: too many are refused before any part is inflated.
    QList<std::pair<QString, QString>> listed; // name, part
    QXmlStreamReader xml(*workbook);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QStringLiteral("sheet")) {
            continue;
        }
        if (listed.size() >= budget.sheets) {
            *error = QStringLiteral("工作表过多（最多 %1 个）").arg(budget.sheets);
            return std::nullopt;
        }
        listed.append({xml.attributes().value(QStringLiteral("name")).toString(),
                       targets.value(relationshipId(xml.attributes()))});
    }
    if (xml.hasError()) {
        *error = QStringLiteral("不是有效的 Excel 工作簿");
        return std::nullopt;
    }

    QStringList strings;
    if (const auto part =
            readPart(archive.get(), QStringLiteral("xl/sharedStrings.xml"), budget.inflatedBytes, error)) {
        strings = sharedStrings(*part);
    } else if (!error->isEmpty()) {
        return std::nullopt;
    }

    QList<Sheet> sheets;
    int rowsLeft = budget.rows;
    for (const auto &[name, target] : std::as_const(listed)) {
        Sheet sheet;
        sheet.name = name;
        const auto part =
            target.isEmpty() ? std::nullopt : readPart(archive.get(), target, budget.inflatedBytes, error);
        if (!error->isEmpty()) {
            return std::nullopt;
        }
        // A chart sheet or a missing part has no cells: it is listed, empty.
        if (part) {
            sheet.rows = worksheetRows(*part, strings, rowsLeft, budget, error);
            if (!error->isEmpty()) {
                return std::nullopt;
            }
        }
        sheets.append(sheet);
    }
    return sheets;
}

QByteArray writeXlsx(const QList<Sheet> &sheets)
{
    QList<std::pair<QString, QByteArray>> parts;
    const qsizetype count = std::max<qsizetype>(1, sheets.size());

    parts.append(
        {QStringLiteral("[Content_Types].xml"), xmlDocument([&](QXmlStreamWriter &xml) {
             xml.writeStartElement(QStringLiteral("Types"));
             xml.writeDefaultNamespace(
                 QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
             const auto add = [&](const QString &kind, const QString &key, const QString &value,
                                  const QString &type) {
                 xml.writeEmptyElement(kind);
                 xml.writeAttribute(key, value);
                 xml.writeAttribute(QStringLiteral("ContentType"), type);
             };
             add(QStringLiteral("Default"), QStringLiteral("Extension"), QStringLiteral("rels"),
                 QStringLiteral("application/vnd.openxmlformats-package.relationships+xml"));
             add(QStringLiteral("Default"), QStringLiteral("Extension"), QStringLiteral("xml"),
                 QStringLiteral("application/xml"));
             add(QStringLiteral("Override"), QStringLiteral("PartName"), QStringLiteral("/xl/workbook.xml"),
                 QStringLiteral(
                     "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"));
             add(QStringLiteral("Override"), QStringLiteral("PartName"), QStringLiteral("/xl/styles.xml"),
                 QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"));
             for (qsizetype i = 0; i < count; ++i) {
                 add(QStringLiteral("Override"), QStringLiteral("PartName"),
                     QStringLiteral("/xl/worksheets/sheet%1.xml").arg(i + 1),
                     QStringLiteral(
                         "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"));
             }
             xml.writeEndElement();
         })});

    parts.append({QStringLiteral("_rels/.rels"), xmlDocument([&](QXmlStreamWriter &xml) {
                      xml.writeStartElement(QStringLiteral("Relationships"));
                      xml.writeDefaultNamespace(packageRelNs);
                      xml.writeEmptyElement(QStringLiteral("Relationship"));
                      xml.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId1"));
                      xml.writeAttribute(QStringLiteral("Type"), relNs + QStringLiteral("/officeDocument"));
                      xml.writeAttribute(QStringLiteral("Target"), QStringLiteral("xl/workbook.xml"));
                      xml.writeEndElement();
                  })});

    QStringList titles;
    for (qsizetype i = 0; i < count; ++i) {
        QString title = sheetTitle(i < sheets.size() ? sheets.at(i).name : QString(), int(i));
        // Sheet names must be unique, compared without case.
        for (int n = 2; titles.contains(title, Qt::CaseInsensitive); ++n) {
            title = title.left(27) + QStringLiteral(" (%1)").arg(n);
        }
        titles.append(title);
    }

    parts.append({QStringLiteral("xl/workbook.xml"), xmlDocument([&](QXmlStreamWriter &xml) {
                      xml.writeStartElement(QStringLiteral("workbook"));
                      xml.writeDefaultNamespace(mainNs);
                      xml.writeNamespace(relNs, QStringLiteral("r"));
                      xml.writeStartElement(QStringLiteral("sheets"));
                      for (qsizetype i = 0; i < count; ++i) {
                          xml.writeEmptyElement(QStringLiteral("sheet"));
                          xml.writeAttribute(QStringLiteral("name"), titles.at(i));
                          xml.writeAttribute(QStringLiteral("sheetId"), QString::number(i + 1));
                          xml.writeAttribute(relNs, QStringLiteral("id"), QStringLiteral("rId%1").arg(i + 1));
                      }
                      xml.writeEndElement();
                      xml.writeEndElement();
                  })});

    parts.append({QStringLiteral("xl/_rels/workbook.xml.rels"), xmlDocument([&](QXmlStreamWriter &xml) {
                      xml.writeStartElement(QStringLiteral("Relationships"));
                      xml.writeDefaultNamespace(packageRelNs);
                      for (qsizetype i = 0; i < count; ++i) {
                          xml.writeEmptyElement(QStringLiteral("Relationship"));
                          xml.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(i + 1));
                          xml.writeAttribute(QStringLiteral("Type"), relNs + QStringLiteral("/worksheet"));
                          xml.writeAttribute(QStringLiteral("Target"),
                                             QStringLiteral("worksheets/sheet%1.xml").arg(i + 1));
                      }
                      xml.writeEmptyElement(QStringLiteral("Relationship"));
                      xml.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(count + 1));
                      xml.writeAttribute(QStringLiteral("Type"), relNs + QStringLiteral("/styles"));
                      xml.writeAttribute(QStringLiteral("Target"), QStringLiteral("styles.xml"));
                      xml.writeEndElement();
                  })});

    parts.append({QStringLiteral("xl/styles.xml"), stylesXml()});
    for (qsizetype i = 0; i < count; ++i) {
        parts.append({QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1),
                      worksheetXml(i < sheets.size() ? sheets.at(i) : Sheet{})});
    }
    return writeZip(parts);
}

QByteArray writeZip(const QList<std::pair<QString, QByteArray>> &parts)
{
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *target = zip_source_buffer_create(nullptr, 0, 0, &zipError);
    zip_t *archive = target ? zip_open_from_source(target, ZIP_TRUNCATE, &zipError) : nullptr;
    zip_error_fini(&zipError);
    if (!archive) {
        if (target) {
            zip_source_free(target);
        }
        return {};
    }
    zip_source_keep(target); // the archive's bytes are read from it after zip_close
    bool ok = true;
    for (const auto &[name, content] : std::as_const(parts)) {
        // The part's bytes live in `parts` until zip_close has written them.
        zip_source_t *data = zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0);
        if (!data || zip_file_add(archive, name.toUtf8().constData(), data, ZIP_FL_ENC_UTF_8) < 0) {
            if (data) {
                zip_source_free(data);
            }
            ok = false;
            break;
        }
    }
    if (!ok || zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(target);
        return {};
    }

    QByteArray out;
    if (zip_source_open(target) == 0) {
        zip_source_seek(target, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(target);
        zip_source_seek(target, 0, SEEK_SET);
        if (size > 0) {
            out.resize(qsizetype(size));
            if (zip_source_read(target, out.data(), zip_uint64_t(size)) != size) {
                out.clear();
            }
        }
        zip_source_close(target);
    }
    zip_source_free(target);
    return out;
}

std::optional<QList<QStringList>> readCsv(const QByteArray &bytes, QString *error, Budget budget)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    const QChar separator = firstLine.contains(QLatin1Char('\t')) ? QLatin1Char('\t')
                            : firstLine.contains(QLatin1Char(';')) && !firstLine.contains(QLatin1Char(','))
                                ? QLatin1Char(';')
                                : QLatin1Char(',');

    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    bool rowStarted = false;
    int rowsLeft = budget.rows;
    // False once the budget is spent: reading stops there.
    const auto endRow = [&] {
        if (rowStarted || !cell.isEmpty()) {
            row.append(cell);
        }
        rows.append(std::exchange(row, {}));
        cell.clear();
        rowStarted = false;
        if (!settleRow(rows, rowsLeft, budget)) {
            if (error) {
                *error = tooManyRows(budget);
            }
            return false;
        }
        return true;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && cell.isEmpty()) {
            quoted = true;
            rowStarted = true;
        } else if (c == separator) {
            row.append(cell);
            cell.clear();
            rowStarted = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            if (!endRow()) {
                return std::nullopt;
            }
        } else {
            cell += c;
            rowStarted = true;
        }
    }
    if ((rowStarted || !cell.isEmpty()) && !endRow()) {
        return std::nullopt;
    }
    return rows;
}

} // namespace FakeWorkbook
