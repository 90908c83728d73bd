#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply Endpoints::downloadAsset()
{
    const FakeAccount &account = caller();
    FakeProject &p = project(query(QStringLiteral("projectId")));
    if (!p.memberForAccount(account.account.id) && !account.account.superAdmin()) {
        refuse(403, errNotMember);
    }
    const RundownItem &target = item(p, query(QStringLiteral("itemId")));
    const QString category = query(QStringLiteral("category"));
    const std::optional<QString> &assetId = category == QStringLiteral("audio")   ? target.audioAssetId
                                            : category == QStringLiteral("video") ? target.videoAssetId
                                                                                  : std::optional<QString>();
    const FakeAsset *asset = assetId ? m_p.asset(*assetId) : nullptr;
    if (!asset || asset->trashedAt) {
        refuse(404, QStringLiteral("素材不存在"));
    }
    FakeReply reply;
    reply.body = asset->bytes;
    reply.contentType = mimeTypeFor(asset->filename).toLatin1();
    const bool inline_ = optionalQuery(QStringLiteral("inline")) == QStringLiteral("1");
    reply.headers.append({"Content-Disposition", (inline_ ? "inline" : "attachment") +
                                                     QByteArray("; filename*=UTF-8''") +
                                                     QUrl::toPercentEncoding(asset->filename)});
    return reply;
}

FakeReply Endpoints::uploadAsset()
{
    caller(); // a missing sign-in outranks a malformed body
    if (!m_call.contentType.startsWith("multipart/form-data")) {
        refuse(400, errBadRequest);
    }
    const auto parts = parseMultipart(m_call.contentType, m_call.body);
    if (!parts) {
        refuse(400, errBadRequest);
    }
    QHash<QString, QString> fields;
    const MultipartPart *file = nullptr;
    for (const MultipartPart &part : *parts) {
        if (part.name == QStringLiteral("file") && part.filename) {
            file = &part;
        } else {
            fields.insert(part.name, QString::fromUtf8(part.content));
        }
    }
    static const QStringList required = {QStringLiteral("projectId"), QStringLiteral("itemId"),
                                         QStringLiteral("category"), QStringLiteral("durationSeconds")};
    for (const QString &name : required) {
        if (!fields.contains(name)) {
            refuse(400, QStringLiteral("上传内容不完整"));
        }
    }
    if (!file) {
        refuse(400, QStringLiteral("上传内容不完整"));
    }
    const QString category = fields.value(QStringLiteral("category"));
    if (category != QStringLiteral("audio") && category != QStringLiteral("video")) {
        refuse(400, QStringLiteral("素材类别无效"));
    }
    if (file->content.isEmpty() || file->content.size() > 209715200) {
        refuse(400, QStringLiteral("文件为空或超过 200MB"));
    }
    const Access a = access(fields.value(QStringLiteral("projectId")));
    RundownItem &target = item(*a.project, fields.value(QStringLiteral("itemId")));
    if (!canUpload(a, target, category)) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    const int duration = std::max(0, fields.value(QStringLiteral("durationSeconds")).toInt());

    // A replaced file stays recoverable in the recycle bin.
    const std::optional<QString> previous =
        category == QStringLiteral("audio") ? target.audioAssetId : target.videoAssetId;
    if (previous) {
        if (FakeAsset *old = m_p.asset(*previous)) {
            old->trashedAt = m_p.now();
        }
    }
    const QString itemId = target.id;
    const QString assetId =
        m_p.attachAsset(a.project->summary.id, itemId, category, *file->filename, file->content, duration);
    RundownItem &updated = item(*a.project, itemId);
    bool durationUpdated = false;
    if (duration > 0 && (updated.duration == 0 || updated.durationSource != QStringLiteral("manual"))) {
        updated.duration = duration;
        updated.durationSource = category;
        durationUpdated = true;
    }
    const AssetUploadResponse response{
        true,
        assetId,
        *file->filename,
        updated.duration,
        updated.durationSource,
        updated.audioDuration,
        updated.videoDuration,
        durationUpdated,
    };
    return jsonReply(response.toJson());
}

} // namespace fake
