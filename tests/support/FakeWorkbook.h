#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Reads and writes the spreadsheets the fake service exchanges: .xlsx workbooks (a ZIP of XML
// parts) and .csv text. Cells are plain text; a numeric cell reads as its stored number.
namespace FakeWorkbook {

struct Sheet
{
    QString name;
    QList<QStringList> rows; // row by row, each padded only as far as its last cell
};

// Whether the bytes start like a ZIP archive (every .xlsx does).
bool looksLikeZip(const QByteArray &bytes);

// What one import may cost. A few kilobytes of archive can inflate to gigabytes, list the same
// part under a thousand sheets, or hold a million rows that each become an item.
struct Budget
{
    qint64 inflatedBytes = 64 * 1024 * 1024; // all parts read, together
    int sheets = 200;
    // Rows with content, of all sheets together. A sheet's first rows, where its title and headings
    // stand, are free; blank rows never become items and cost nothing (a run of them is kept as one).
    int rows = 10000;
    int headingRows = 10;
};

// The refusal of a file past the budget's rows; a rundown of more items than that earns it too.
QString tooManyRows(const Budget &budget);

// The workbook's sheets in workbook order; nullopt with `error` set when it is no readable .xlsx
// or would cost more than the budget (refused before it is inflated or read further).
std::optional<QList<Sheet>> readXlsx(const QByteArray &bytes, QString *error, Budget budget = {});

// A complete .xlsx workbook with one worksheet per sheet, strings inline.
QByteArray writeXlsx(const QList<Sheet> &sheets);

// A ZIP archive of the named parts, deflated; empty when it cannot be made.
QByteArray writeZip(const QList<std::pair<QString, QByteArray>> &parts);

// RFC 4180 text: quoted cells may hold separators, quotes ("") and line breaks. A UTF-8 byte
// order mark is dropped; the separator is a tab, a semicolon or a comma, whichever the first
// line uses (tab first). Nullopt with `error` set past the budget's rows.
std::optional<QList<QStringList>> readCsv(const QByteArray &bytes, QString *error, Budget budget = {});

} // namespace FakeWorkbook
