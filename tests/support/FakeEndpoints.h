#pragma once

#include "models/Envelopes.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct FakePlatform;

// An uploaded spreadsheet as read: the preview it gives, its items without ids yet and its time
// conflicts not yet counted, or the refusal it earns.
struct FakeSpreadsheet
{
    RundownImportPreview preview;
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
    // Runs while an import's preview is written, without the platform: a test holds it there.
    std::function<void()> whileWritingPreview{};
};

struct FakeReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    // The rest of a long answer that needs no platform (an import's preview): made into this
    // reply once the platform is unlocked.
    std::function<void(FakeReply &)> finish{};
};

namespace FakeQuery {
// Percent-decodes (UTF-8) the first item with that name; '+' stays '+', as the client never
// encodes a space that way. Absent when there is no such item.
std::optional<QString> item(const QByteArray &rawQuery, const QString &name);
QList<QByteArray> names(const QByteArray &rawQuery);
} // namespace FakeQuery

// The refusal a call earns by its headers alone, answered before its body is read: an upload to
// import from someone who may not import there. Nullopt when the body is to be read.
std::optional<FakeReply> refusalBeforeBody(FakePlatform &platform, const FakeCall &call);

// Does what of answering needs no platform and may take long (reading an uploaded workbook), so
// that it runs before the platform is locked for answerCall, which otherwise does it itself.
void prepareCall(FakeCall &call);

// The part of the answer that needs the platform; the caller runs the reply's `finish`, if any,
// once the platform is unlocked.
FakeReply beginCall(FakePlatform &platform, const FakeCall &call);

// Answers one call against the platform, as the show service would.
FakeReply answerCall(FakePlatform &platform, const FakeCall &call);
