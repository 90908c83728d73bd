#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply Endpoints::projectDetail()
{
    const Access a = accessFromQuery();
    const Membership membership{a.memberId, a.project->summary.id, a.name, a.role};
    // Live actions move the item that stands by.
    m_p.refreshReadiness(*a.project);
    return jsonReply(m_p.detail(*a.project, membership).toJson());
}

FakeReply Endpoints::replaceRundown()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    auto payload = this->payload<RundownReplacePayload>();
    for (RundownItem &i : payload.items) {
        if (i.id.isEmpty()) {
            i.id = m_p.nextId(QStringLiteral("item"));
        }
    }
    a.project->items = payload.items;
    m_p.refreshReadiness(*a.project);
    return okReply();
}

FakeReply Endpoints::patchProject()
{
    Access a = accessFromQuery();
    const QJsonObject o = body();

    if (o.contains(L("liveAction"))) {
        return liveAction(a, payload<LiveActionPayload>());
    }
    if (o.contains(L("resetLive"))) {
        return resetLive(a, payload<ResetLivePayload>());
    }
    if (o.contains(L("freezeFlow"))) {
        if (a.role != roleChief) {
            refuse(403, errForbidden);
        }
        a.project->summary.flowFrozen = payload<FreezeFlowPayload>().freezeFlow;
        return jsonReply(ProjectMutationResponse{true, a.project->summary}.toJson());
    }
    if (o.contains(L("order"))) {
        if (!a.manager()) {
            refuse(403, errForbidden);
        }
        requireUnfrozen(a);
        const auto payload = this->payload<ItemOrderPayload>();
        for (const ItemOrderEntry &entry : payload.order) {
            item(*a.project, entry.id); // every id must exist before anything changes
        }
        for (const ItemOrderEntry &entry : payload.order) {
            item(*a.project, entry.id).order = entry.order;
        }
        std::stable_sort(a.project->items.begin(), a.project->items.end(),
                         [](const RundownItem &x, const RundownItem &y) { return x.order < y.order; });
        return okReply();
    }
    if (o.contains(L("item"))) {
        const auto payload = this->payload<ItemMutationPayload>();
        RundownItem &target = item(*a.project, payload.id);
        const RundownItemPatch &patch = payload.item;
        const bool scriptOnly = !patch.title && !patch.type && !patch.duration && !patch.startTime &&
                                !patch.props && !patch.notes && !patch.performers && !patch.owner;
        if (!(canEdit(a, target) || (scriptOnly && canEditScript(a, target)))) {
            refuse(403, errForbidden);
        }
        requireUnfrozen(a);
        if (patch.duration && *patch.duration < 0) {
            refuse(400, QStringLiteral("时长无效"));
        }
        if (patch.title) {
            target.title = *patch.title;
        }
        if (patch.type) {
            target.type = *patch.type;
        }
        if (patch.duration) {
            target.duration = *patch.duration;
            target.durationSource = QStringLiteral("manual");
        }
        if (patch.startTime) {
            target.startTime = *patch.startTime;
        }
        if (patch.props) {
            target.props = *patch.props;
        }
        if (patch.notes) {
            target.notes = *patch.notes;
        }
        if (patch.performers) {
            target.performers = *patch.performers;
        }
        if (patch.owner) {
            target.owner = *patch.owner;
        }
        if (patch.script) {
            target.script = *patch.script;
        }
        m_p.refreshReadiness(*a.project);
        return okReply();
    }
    refuse(400, errUnknownAction);
}

FakeReply Endpoints::addRundownItem()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    const QString itemId = m_p.addItem(a.project->summary.id, QString());
    return jsonReply(RundownItemMutationResponse{true, *a.project->item(itemId)}.toJson());
}

FakeReply Endpoints::importPreview()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    const auto payload = this->payload<RundownImportPayload>();
    const auto decoded = QByteArray::fromBase64Encoding(payload.contentBase64.toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty()) {
        refuse(400, QStringLiteral("无法读取表格文件"));
    }

    // Text is read as CSV lines: title, type, duration, performers, owner. A binary spreadsheet
    // cannot be read here, so it yields a fixed sample as a stand-in.
    QList<QStringList> rows;
    if (decoded.decoded.contains('\0') || decoded.decoded.startsWith("PK")) {
        rows = {
            {QStringLiteral("开场舞《春风》"), QStringLiteral("舞蹈"), QStringLiteral("4:00"),
             QStringLiteral("舞蹈队"), QStringLiteral("周敏")},
            {QStringLiteral("主持人开场"), QStringLiteral("主持"), QStringLiteral("2:00"),
             QStringLiteral("林悦、陈浩"), QStringLiteral("周敏")},
            {QStringLiteral("小品《加班》"), QStringLiteral("小品"), QStringLiteral("8:00"),
             QStringLiteral("王强"), QStringLiteral("赵磊")},
        };
    } else {
        const QStringList lines = QString::fromUtf8(decoded.decoded).split(QLatin1Char('\n'));
        for (QString line : lines) {
            line = line.trimmed();
            if (line.isEmpty()) {
                continue;
            }
            QStringList cells =
                line.split(line.contains(QLatin1Char('\t')) ? QLatin1Char('\t') : QLatin1Char(','));
            for (QString &cell : cells) {
                cell = cell.trimmed();
            }
            bool numbered = false;
            cells.first().toInt(&numbered);
            if (numbered && cells.size() > 1) {
                cells.removeFirst();
            }
            static const QStringList headings = {QStringLiteral("序号"), QStringLiteral("节目名称"),
                                                 QStringLiteral("节目"), QStringLiteral("title")};
            if (rows.isEmpty() && headings.contains(cells.first(), Qt::CaseInsensitive)) {
                continue;
            }
            rows.append(cells);
        }
    }
    if (rows.isEmpty()) {
        refuse(400, QStringLiteral("表格中没有可导入的节目"));
    }

    FakeProject scratch;
    RundownImportPreview preview;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList &cells = rows.at(i);
        const auto cell = [&](qsizetype c) { return c < cells.size() ? cells.at(c) : QString(); };
        RundownItem imported;
        imported.id = QStringLiteral("import-%1").arg(i + 1);
        imported.order = static_cast<int>(i + 1);
        imported.section = QStringLiteral("正式演出");
        imported.title = cell(0);
        imported.type = cell(1);
        imported.duration = parseDuration(cell(2));
        imported.durationSource = QStringLiteral("import");
        imported.performers = cell(3);
        imported.owner = cell(4);
        scratch.items.append(imported);
        for (const QString &person :
             PermissionPolicy::people(imported.performers + QLatin1Char('\n') + imported.owner)) {
            if (!preview.people.contains(person)) {
                preview.people.append(person);
            }
        }
        if (!imported.type.isEmpty() && !standardTypes.contains(imported.type) &&
            !preview.legacyTypes.contains(imported.type)) {
            preview.legacyTypes.append(imported.type);
        }
    }
    m_p.refreshReadiness(scratch);
    preview.items = scratch.items;
    preview.selectedSheetName = QStringLiteral("节目单");
    preview.ignoredSheetCount = 0;
    preview.timeConflictCount = 0;
    return jsonReply(preview.toJson());
}

FakeReply Endpoints::exportRundown()
{
    const Access a = accessFromQuery();
    const auto csvCell = [](QString text) {
        if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
            text.contains(QLatin1Char('\n'))) {
            text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            return QLatin1Char('"') + text + QLatin1Char('"');
        }
        return text;
    };
    QStringList lines{QStringLiteral("序号,节目名称,类型,时长,表演者,负责人,道具,备注")};
    for (const RundownItem &i : std::as_const(a.project->items)) {
        lines.append(QStringList{
            QString::number(i.order),
            csvCell(i.title),
            csvCell(i.type),
            QStringLiteral("%1:%2")
                .arg(i.duration / 60, 2, 10, QLatin1Char('0'))
                .arg(i.duration % 60, 2, 10, QLatin1Char('0')),
            csvCell(i.performers),
            csvCell(i.owner),
            csvCell(i.props),
            csvCell(i.notes),
        }
                         .join(QLatin1Char(',')));
    }
    const QByteArray csv = "\xEF\xBB\xBF" + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
    const RundownExportResponse response{
        a.project->summary.name + QStringLiteral("-节目单.csv"),
        QString::fromLatin1(csv.toBase64()),
    };
    return jsonReply(response.toJson());
}

// --- Work items ------------------------------------------------------------------------------

} // namespace fake
