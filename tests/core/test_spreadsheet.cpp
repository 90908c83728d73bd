#include "ClientTestSupport.h"
#include "FakeWorkbook.h"
#include "flow/FlowRules.h"

#include <QtTest>

using namespace ClientTest;

namespace {

using Rows = QList<QStringList>;

QStringList fields(const RundownItem &i)
{
    return {i.section, i.startTime, i.title, i.type,  QString::number(i.duration), i.performers, i.owner,
            i.stage,   i.props,     i.notes, i.script};
}

QStringList titles(const QList<RundownItem> &items)
{
    QStringList out;
    for (const RundownItem &i : items) {
        out.append(i.title);
    }
    return out;
}

const QStringList headings = {QStringLiteral("序号"),  QStringLiteral("节目名称"), QStringLiteral("类型"),
                              QStringLiteral("时长"),  QStringLiteral("开始时间"), QStringLiteral("表演者"),
                              QStringLiteral("负责人")};

// A workbook whose sheets all stand on one worksheet part of `blanks` spaces: small packed, large
// once inflated for every sheet.
QByteArray sharedPartWorkbook(int sheets, qsizetype blanks)
{
    QByteArray workbook =
        R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
        R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)";
    for (int i = 1; i <= sheets; ++i) {
        workbook += QByteArray(R"(<sheet name="S%1" sheetId="%1" r:id="rId1"/>)")
                        .replace("%1", QByteArray::number(i));
    }
    workbook += "</sheets></workbook>";
    const QByteArray rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Target="worksheets/sheet1.xml")"
        R"( Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet"/>)"
        R"(</Relationships>)";
    const QByteArray worksheet =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
        R"(<sheetData>)" +
        QByteArray(blanks, ' ') + "</sheetData></worksheet>";
    return FakeWorkbook::writeZip({{QStringLiteral("xl/workbook.xml"), workbook},
                                   {QStringLiteral("xl/_rels/workbook.xml.rels"), rels},
                                   {QStringLiteral("xl/worksheets/sheet1.xml"), worksheet}});
}

// `count` rows of one title each, under a heading row.
Rows rundownRows(int count)
{
    Rows rows{{QStringLiteral("节目名称")}};
    for (int i = 1; i <= count; ++i) {
        rows.append({QStringLiteral("节目%1").arg(i)});
    }
    return rows;
}

} // namespace

class TestSpreadsheet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void exportReimportsToTheSameRundown();
    void preview_data();
    void preview();
    void refusedFiles_data();
    void refusedFiles();
    void budgetCoversAllParts();
    void csvQuoting();

private:
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<Rig> m_rig;
    DemoShow m_demo;
};

void TestSpreadsheet::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_demo = m_service->seedDemoShow();
    m_rig = std::make_unique<Rig>(QUrl(m_service->baseUrl()));
    m_rig->store->setToken(m_service->tokenFor(m_demo.loginForRole(QStringLiteral("总导演"))->accountId));
}

void TestSpreadsheet::cleanup()
{
    m_rig.reset();
    m_service->stop();
    m_service.reset();
}

void TestSpreadsheet::exportReimportsToTheSameRundown()
{
    SETTLE(exported, m_rig->client->exportRundown(m_demo.projectId));
    QVERIFY(exported.succeeded());
    QVERIFY(exported.value->filename.endsWith(QStringLiteral(".xlsx")));
    const QByteArray workbook = QByteArray::fromBase64(exported.value->contentBase64.toLatin1());
    QVERIFY(FakeWorkbook::looksLikeZip(workbook));

    const QList<RundownItem> original =
        m_service->withPlatform([&](FakePlatform &p) { return p.project(m_demo.projectId)->items; });
    SETTLE(first, m_rig->client->previewRundownImport(m_demo.projectId, workbook));
    QVERIFY(first.succeeded());
    const RundownImportPreview &preview = *first.value;
    QCOMPARE(preview.items.size(), original.size());
    QStringList legacy;
    QStringList originalIds;
    for (qsizetype i = 0; i < original.size(); ++i) {
        if (!ProgramTypeCatalog::standard.contains(original.at(i).type) &&
            !legacy.contains(original.at(i).type)) {
            legacy.append(original.at(i).type);
        }
        QCOMPARE(fields(preview.items.at(i)), fields(original.at(i)));
        QCOMPARE(preview.items.at(i).order, i + 1);
        originalIds.append(original.at(i).id);
    }
    QCOMPARE(preview.selectedSheetName, QStringLiteral("节目单"));
    QCOMPARE(preview.ignoredSheetCount, 0);
    QCOMPARE(preview.timeConflictCount, 0);
    QCOMPARE(preview.legacyTypes, legacy);

    // Every import gets ids of its own, unlike the rundown it replaces and any earlier import.
    SETTLE(second, m_rig->client->previewRundownImport(m_demo.projectId, workbook));
    QVERIFY(second.succeeded());
    for (qsizetype i = 0; i < preview.items.size(); ++i) {
        QVERIFY(!originalIds.contains(preview.items.at(i).id));
        QVERIFY(preview.items.at(i).id != second.value->items.at(i).id);
    }

    SETTLE(replaced, m_rig->client->replaceRundown(m_demo.projectId, preview.items));
    QVERIFY(replaced.succeeded());
    SETTLE(reloaded, m_rig->client->project(m_demo.projectId));
    QCOMPARE(titles(reloaded.value->items), titles(original));
}

void TestSpreadsheet::preview_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("ignored");
    QTest::addColumn<int>("conflicts");
    QTest::addColumn<QStringList>("legacy");
    QTest::addColumn<QStringList>("people");

    using FakeWorkbook::Sheet;
    const auto xlsx = [](const QList<Sheet> &sheets) { return FakeWorkbook::writeXlsx(sheets); };
    QTest::newRow("empty workbook") << xlsx({Sheet{QStringLiteral("Sheet1"), {}}}) << QStringList()
                                    << QStringLiteral("Sheet1") << 0 << 0 << QStringList() << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList() << QString() << 0 << 0 << QStringList()
                                << QStringList();
    QTest::newRow("notes sheet before the rundown")
        << xlsx({Sheet{QStringLiteral("说明"), Rows{{QStringLiteral("请按模板填写")}}},
                 Sheet{QStringLiteral("节目单"),
                       Rows{headings,
                            {QStringLiteral("1"), QStringLiteral("开场舞"), QStringLiteral("舞蹈"),
                             QStringLiteral("4:00"), QStringLiteral("19:30"), QStringLiteral("甲、乙"),
                             QStringLiteral("丙")}}},
                 Sheet{QStringLiteral("备用"), {}}})
        << QStringList{QStringLiteral("开场舞")} << QStringLiteral("节目单") << 2 << 0 << QStringList()
        << QStringList{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")};
    // 19:20 starts before the first item ends (19:34); 25:99 is no time at all.
    QTest::newRow("times and legacy types")
        << xlsx({Sheet{QStringLiteral("节目单"),
                       Rows{headings,
                            {QStringLiteral("1"), QStringLiteral("开场舞"), QStringLiteral("舞蹈"),
                             QStringLiteral("4:00"), QStringLiteral("19:30")},
                            {QStringLiteral("2"), QStringLiteral("小品"), QStringLiteral("小品"),
                             QStringLiteral("8:00"), QStringLiteral("19:20")},
                            {},
                            {QStringLiteral("3"), QStringLiteral("相声"), QStringLiteral("相声"),
                             QStringLiteral("5:00"), QStringLiteral("25:99")},
                            {QStringLiteral("4"), QStringLiteral("小品二"), QStringLiteral("小品")}}}})
        << QStringList{QStringLiteral("开场舞"), QStringLiteral("小品"), QStringLiteral("相声"),
                       QStringLiteral("小品二")}
        << QStringLiteral("节目单") << 0 << 2 << QStringList{QStringLiteral("小品"), QStringLiteral("相声")}
        << QStringList();
    // As other programs write them: shared and rich strings, phonetic runs, prefixed elements,
    // cells without references, times of day as fractions of a day, a notes sheet first.
    QTest::newRow("third-party workbook")
        << TestHelpers::fixture(QStringLiteral("spreadsheets/shared-strings-two-sheets.xlsx"))
        << QStringList{QStringLiteral("开场舞"), QStringLiteral("小品《加班》"), QStringLiteral("相声")}
        << QStringLiteral("节目单") << 1 << 2 << QStringList{QStringLiteral("小品"), QStringLiteral("相声")}
        << QStringList{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁"),
                       QStringLiteral("戊")};
    QTest::newRow("csv without headings")
        << QByteArray("\xEF\xBB\xBF"
                      "1,小品《加班》,节目,8:00,王强,周敏\r\n2,主持人开场,主持,2:00,林悦、陈浩,周敏\r\n")
        << QStringList{QStringLiteral("小品《加班》"), QStringLiteral("主持人开场")} << QStringLiteral("CSV")
        << 0 << 0 << QStringList()
        << QStringList{QStringLiteral("王强"), QStringLiteral("周敏"), QStringLiteral("林悦"),
                       QStringLiteral("陈浩")};
}

void TestSpreadsheet::preview()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, titles);
    QFETCH(QString, sheet);
    QFETCH(int, ignored);
    QFETCH(int, conflicts);
    QFETCH(QStringList, legacy);
    QFETCH(QStringList, people);

    SETTLE(answer, m_rig->client->previewRundownImport(m_demo.projectId, file));
    QVERIFY2(answer.succeeded(), qPrintable(answer.kind()));
    QCOMPARE(::titles(answer.value->items), titles);
    QCOMPARE(answer.value->selectedSheetName, sheet);
    QCOMPARE(answer.value->ignoredSheetCount, ignored);
    QCOMPARE(answer.value->timeConflictCount, conflicts);
    QCOMPARE(answer.value->legacyTypes, legacy);
    if (!people.isEmpty()) {
        QCOMPARE(answer.value->people, people);
    }
}

void TestSpreadsheet::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("kind");
    QTest::newRow("old binary workbook")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 rest", 12)
        << QStringLiteral("server:暂不支持旧版 .xls 文件，请另存为 .xlsx 后导入");
    QTest::newRow("broken archive") << QByteArray("PK\x03\x04 not really a zip")
                                    << QStringLiteral("server:无法读取表格文件");
    QTest::newRow("archive without a workbook")
        << FakeWorkbook::writeXlsx({}).replace("xl/workbook.xml", "xl/workbooq.xml")
        << QStringLiteral("server:不是有效的 Excel 工作簿");
    QTest::newRow("binary text") << QByteArray("a\0b,c", 5) << QStringLiteral("server:无法读取表格文件");
    QTest::newRow("too many sheets") << sharedPartWorkbook(201, 0)
                                     << QStringLiteral("server:工作表过多（最多 200 个）");
    // The rows of all sheets count together, past the first rows of each, where headings stand.
    const QString tooManyRows = QStringLiteral("server:表格行数过多（最多 10000 行）");
    QTest::newRow("too many rows") << FakeWorkbook::writeXlsx({{QStringLiteral("上半场"), rundownRows(5010)},
                                                               {QStringLiteral("下半场"), rundownRows(5010)}})
                                   << tooManyRows;
    QByteArray lines;
    for (const QStringList &row : rundownRows(10001)) {
        lines += row.first().toUtf8() + '\n';
    }
    QTest::newRow("too many lines") << lines << tooManyRows;
}

void TestSpreadsheet::refusedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, kind);
    SETTLE(answer, m_rig->client->previewRundownImport(m_demo.projectId, file));
    QCOMPARE(answer.kind(), kind);
}

// Every part within the limit, together past it: the import stops before it inflates the rest.
void TestSpreadsheet::budgetCoversAllParts()
{
    const QByteArray workbook = sharedPartWorkbook(3, 400 * 1024);
    QString error;
    QVERIFY(!FakeWorkbook::readXlsx(workbook, &error, {.inflatedBytes = 1024 * 1024}));
    QCOMPARE(error, QStringLiteral("表格文件过大或已损坏"));
    const auto sheets = FakeWorkbook::readXlsx(workbook, nullptr, {.inflatedBytes = 2 * 1024 * 1024});
    QVERIFY(sheets);
    QCOMPARE(sheets->size(), 3);

    // Rows too: those with content, each sheet's first ones free.
    const QByteArray rows = FakeWorkbook::writeXlsx(
        {{QStringLiteral("A"), {{QStringLiteral("x")}, {}}}, {QStringLiteral("B"), {{QStringLiteral("y")}}}});
    QVERIFY(FakeWorkbook::readXlsx(rows, nullptr, {.rows = 2, .headingRows = 0}));
    QVERIFY(FakeWorkbook::readXlsx(rows, nullptr, {.rows = 0, .headingRows = 1}));
    QString rowsError;
    QVERIFY(!FakeWorkbook::readXlsx(rows, &rowsError, {.rows = 1, .headingRows = 0}));
    QCOMPARE(rowsError, QStringLiteral("表格行数过多（最多 1 行）"));
}

void TestSpreadsheet::csvQuoting()
{
    const QByteArray text = "a,\"b, \"\"c\"\"\nd\",e\r\n\r\n;x\n";
    const Rows rows = FakeWorkbook::readCsv(text, nullptr).value();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0),
             (QStringList{QStringLiteral("a"), QStringLiteral("b, \"c\"\nd"), QStringLiteral("e")}));
    QCOMPARE(rows.at(1), QStringList());
    QCOMPARE(rows.at(2), (QStringList{QStringLiteral(";x")}));
}

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "test_spreadsheet.moc"
