#pragma once

#include "FakeWorkbook.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <optional>

struct FakePlatform;

// An uploaded spreadsheet as read: its sheets, or the refusal it earns.
struct FakeSpreadsheet
{
    QList<FakeWorkbook::Sheet> sheets;
    int status = 0; // of the refusal; 0 when read
    QString error;
};

// One request as the endpoints see it; independent of the HTTP server.
struct FakeCall
{
    QByteArray method;
    QByteArray path;  // raw, without query
    QByteArray query; // raw, undecoded
    QByteArray authorization;
    QByteArray contentType;
    QByteArray body;
    // Read ahead by prepareCall.
    std::shared_ptr<const FakeSpreadsheet> spreadsheet{};
};

struct FakeReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
};

namespace FakeQuery {
// Percent-decodes (UTF-8) the first item with that name; '+' stays '+', as the client never
// encodes a space that way. Absent when there is no such item.
std::optional<QString> item(const QByteArray &rawQuery, const QString &name);
QList<QByteArray> names(const QByteArray &rawQuery);
} // namespace FakeQuery

// Does what of answering needs no platform and may take long (reading an uploaded workbook), so
// that it runs before the platform is locked for answerCall, which otherwise does it itself.
void prepareCall(FakeCall &call);

// Answers one call against the platform, as the show service would.
FakeReply answerCall(FakePlatform &platform, const FakeCall &call);
