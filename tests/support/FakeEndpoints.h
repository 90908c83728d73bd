#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

struct FakePlatform;

// One request as the endpoints see it; independent of the HTTP server.
struct FakeCall
{
    QByteArray method;
    QByteArray path;  // raw, without query
    QByteArray query; // raw, undecoded
    QByteArray authorization;
    QByteArray contentType;
    QByteArray body;
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

// Answers one call against the platform, as the show service would.
FakeReply answerCall(FakePlatform &platform, const FakeCall &call);
