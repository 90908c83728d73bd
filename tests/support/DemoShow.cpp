#include "DemoShow.h"

#include "FakeMedia.h"
#include "FakePlatform.h"

#include <QDate>
#include <QDateTime>

const DemoLogin *DemoShow::loginForRole(const QString &role) const
{
    for (const DemoLogin &login : logins) {
        if (login.role == role) {
            return &login;
        }
    }
    return nullptr;
}

const DemoLogin *DemoShow::superAdmin() const
{
    for (const DemoLogin &login : logins) {
        if (login.superAdmin) {
            return &login;
        }
    }
    return nullptr;
}

namespace {

struct Person
{
    const char *name;
    const char *role;
    const char *phone; // empty: entered by name only
    const char *detail;
    const char *colour;
};

// The gala's people; those with a phone can sign in.
const Person galaPeople[] = {
    {"周敏", "总导演", "13800138001", "统筹全场，审定节目单", "#5856D6"},
    {"陈浩", "副导演", "13800138002", "舞台调度与现场指挥", "#007AFF"},
    {"赵磊", "节目负责人", "13800138003", "歌舞类节目统筹", "#FF9500"},
    {"林悦", "主持人", "13800138004", "主持全场，负责互动与抽奖", "#FF2D55"},
    {"王强", "演员", "13800138005", "独唱《追光》", "#34C759"},
    {"吴凡", "工作人员", "13800138006", "后台与候场区管理", "#8E8E93"},
    {"郑宇", "音响师", "13800138007", "调音台与无线话筒", "#AF52DE"},
    {"冯雪", "视频师", "13800138008", "大屏视频与 VCR 播放", "#5AC8FA"},
    {"韩梅", "化妆师", "13800138009", "主持人与歌手妆造", "#FFCC00"},
    {"苏航", "主持人", "", "搭档主持", "#FF6482"},
    {"刘洋", "演员", "", "小品、相声", "#30B0C7"},
    {"张婷", "演员", "", "星光舞团领舞", "#FF375F"},
    {"何佳", "演员", "", "星光舞团", "#BF5AF2"},
    {"李娜", "演员", "", "星光舞团", "#64D2FF"},
    {"孙杰", "演员", "", "小品、相声", "#32D74B"},
    {"马可", "工作人员", "", "道具与换场", "#A2845E"},
    {"邓琳", "化妆师", "", "舞蹈演员妆造", "#FFD60A"},
};

struct Act
{
    const char *section;
    const char *title;
    const char *type;
    int duration;
    const char *startTime;
    const char *performers;
    const char *owner;
    const char *stage;
    const char *props;
    const char *notes;
    const char *script;
};

const Act galaActs[] = {
    {"开场", "开场舞《盛世华章》", "舞蹈", 240, "19:30", "星光舞团", "赵磊", "主舞台", "彩绸 12 条",
     "灯光全亮起", ""},
    {"开场", "主持人开场", "主持", 180, "", "林悦、苏航", "周敏", "主舞台", "手卡 2 套", "",
     "林悦：尊敬的各位来宾，大家晚上好！\n苏航：欢迎来到 2026 新年联欢晚会！"},
    {"第一篇章", "歌曲《追光》", "歌曲", 270, "", "王强", "赵磊", "主舞台", "立麦 1 支", "二号无线话筒备用",
     ""},
    {"第一篇章", "VCR《这一年》", "VCR", 150, "", "", "冯雪", "大屏", "", "片尾字幕已修正", ""},
    {"第一篇章", "小品《年终总结》", "节目", 600, "", "孙杰、刘洋", "赵磊", "主舞台",
     "办公桌 1 张、椅子 2 把", "需要两支头戴话筒", ""},
    {"第一篇章", "互动游戏《你画我猜》", "互动", 420, "", "林悦", "陈浩", "台前", "画板、马克笔",
     "观众 4 人上台", "林悦：接下来请四位观众朋友上台……"},
    {"第二篇章", "舞蹈《青春》", "舞蹈", 300, "", "张婷、何佳", "赵磊", "主舞台", "", "伴奏待确认", ""},
    {"第二篇章", "换场", "换场", 60, "", "", "吴凡", "主舞台", "", "撤桌椅，推钢琴", ""},
    {"第二篇章", "访谈《幕后故事》", "访谈", 480, "20:30", "苏航、周敏", "陈浩", "台前", "沙发 2 张", "",
     "苏航：今天我们请到了总导演周敏……"},
    {"第二篇章", "颁奖：年度优秀团队", "颁奖", 300, "", "周敏", "陈浩", "主舞台", "奖杯×5、证书", "礼仪 2 人",
     ""},
    {"第二篇章", "幸运大抽奖", "抽奖", 600, "", "林悦、苏航", "赵磊", "主舞台", "抽奖箱", "大屏切换二维码",
     "林悦：请大家拿出手机扫码参与抽奖！"},
    {"尾声", "合唱《明天会更好》", "歌曲", 300, "", "王强、刘洋、张婷", "赵磊", "主舞台", "", "", ""},
    {"尾声", "相声《新春贺岁》", "节目", 540, "", "孙杰、刘洋", "", "主舞台", "折扇 2 把", "负责人待定", ""},
    {"尾声", "压轴舞《星辰大海》", "舞蹈", 330, "", "星光舞团", "赵磊", "升降台", "LED 手环", "", ""},
    {"尾声", "结束致辞", "主持", 120, "", "林悦、苏航", "周敏", "主舞台", "", "全体演员上台谢幕",
     "林悦：再见，2026！\n苏航：新年快乐！"},
    {"返场", "返场：合唱《难忘今宵》", "歌曲", 240, "", "全体演员", "赵磊", "主舞台", "", "观众可随唱", ""},
    {"返场", "全体谢幕", "谢幕", 120, "", "全体演员", "周敏", "主舞台", "鲜花 6 束", "旧节目单导入的类型",
     ""},
    {"返场", "散场音乐", "换场", 300, "22:05", "", "吴凡", "观众席", "", "观众有序退场，循环播放", ""},
};

QString str(const char *text)
{
    return QString::fromUtf8(text);
}

// The act as a new rundown item; its order is the caller's.
RundownItem itemOf(FakePlatform &p, const Act &act)
{
    RundownItem item;
    item.id = p.nextId(QStringLiteral("item"));
    item.section = str(act.section);
    item.title = str(act.title);
    item.type = str(act.type);
    item.duration = act.duration;
    item.durationSource = QStringLiteral("manual");
    item.startTime = str(act.startTime);
    item.performers = str(act.performers);
    item.owner = str(act.owner);
    item.stage = str(act.stage);
    item.props = str(act.props);
    item.notes = str(act.notes);
    item.script = str(act.script);
    return item;
}

QString timeToday(const QDate &day, int hour, int minute)
{
    return QDateTime(day, QTime(hour, minute), Qt::OffsetFromUTC, 8 * 3600).toString(Qt::ISODate);
}

} // namespace

QString seedLargeShow(FakePlatform &p, const DemoShow &show, int itemCount)
{
    const FakeProject *gala = p.project(show.projectId);
    if (!gala) {
        return {};
    }
    FakeProject large;
    large.summary = gala->summary;
    large.summary.id = p.nextId(QStringLiteral("large"));
    large.summary.name = QStringLiteral("大型晚会（%1 个节目）").arg(itemCount);
    large.summary.flowFrozen.reset();
    large.ownerAccountId = gala->ownerAccountId;
    large.createdAt = p.now();
    large.members = gala->members;
    large.performerGroups = gala->performerGroups;
    for (ProjectMember &m : large.members) {
        m.projectId = large.summary.id;
    }
    const qsizetype acts = std::size(galaActs);
    for (int i = 0; i < itemCount; ++i) {
        const Act &act = galaActs[i % acts];
        RundownItem item = itemOf(p, act);
        item.order = i + 1;
        item.section = QStringLiteral("第%1篇章").arg(i / 20 + 1);
        item.title = QStringLiteral("%1 · %2").arg(str(act.title)).arg(i + 1);
        item.startTime = i == 0 ? QStringLiteral("19:00") : QString();
        large.items.append(item);
    }
    p.projects.append(large);
    FakeProject &stored = p.projects.last();
    p.refreshReadiness(stored);
    return stored.summary.id;
}

DemoShow seedDemoShow(FakePlatform &p)
{
    DemoShow show;
    const QDate today = QDate::currentDate();

    // The platform administrator owns the second project and is no member of the gala.
    const QString adminId = p.addAccount(QStringLiteral("13800138000"), QStringLiteral("陆清"), true);
    show.logins.append(
        DemoLogin{QStringLiteral("13800138000"), QStringLiteral("陆清"), {}, adminId, {}, true});

    FakeProject gala;
    gala.summary.id = QStringLiteral("gala-2026");
    gala.summary.name = QStringLiteral("2026 新年联欢晚会");
    gala.summary.eventDate = today.toString(Qt::ISODate);
    gala.summary.startTime = QStringLiteral("19:30");
    gala.summary.status = QStringLiteral("进行中");
    gala.summary.venue = QStringLiteral("星河剧场 一号厅");
    gala.createdAt = p.now();
    p.projects.append(gala);
    show.projectId = gala.summary.id;

    QHash<QString, QString> memberIds; // name -> member id
    for (const Person &person : galaPeople) {
        QString accountId;
        const QString phone = str(person.phone);
        if (!phone.isEmpty()) {
            accountId = p.addAccount(phone, str(person.name));
        }
        const QString memberId = p.addMember(show.projectId, str(person.name), str(person.role), accountId);
        memberIds.insert(str(person.name), memberId);
        ProjectMember *member = p.project(show.projectId)->member(memberId);
        member->detail = str(person.detail);
        member->color = str(person.colour);
        if (!phone.isEmpty()) {
            show.logins.append(
                DemoLogin{phone, str(person.name), str(person.role), accountId, memberId, false});
        }
    }
    const auto mid = [&](const char *name) { return memberIds.value(str(name)); };
    FakeProject &g = *p.project(show.projectId);
    g.ownerAccountId = show.logins.at(1).accountId;

    g.member(mid("吴凡"))->passAreas = QStringLiteral("后台、舞台、候场区");
    g.member(mid("马可"))->passAreas = QStringLiteral("后台、舞台");
    for (const char *name : {"周敏", "陈浩", "吴凡", "郑宇", "韩梅"}) {
        ProjectMember *m = g.member(mid(name));
        m->checkedInAt = timeToday(today, 16, 20);
        m->checkedInBy = std::string_view(name) == "郑宇" ? QStringLiteral("陈浩") : m->name;
    }

    // Rundown.
    QStringList itemIds;
    for (const Act &act : galaActs) {
        RundownItem item = itemOf(p, act);
        item.order = static_cast<int>(itemIds.size() + 1);
        g.items.append(item);
        itemIds.append(item.id);
    }
    show.lotteryItemId = itemIds.at(10);
    show.audioItemId = itemIds.at(13);

    // Performer groups: one confirmed, one waiting for a director.
    g.performerGroups = {
        PerformerGroup{p.nextId(QStringLiteral("group")),
                       QStringLiteral("星光舞团"),
                       QStringLiteral("group"),
                       {mid("张婷"), mid("何佳"), mid("李娜")}},
        PerformerGroup{p.nextId(QStringLiteral("group")),
                       QStringLiteral("欢乐二人组"),
                       QStringLiteral("suspected"),
                       {mid("孙杰"), mid("刘洋")}},
        PerformerGroup{p.nextId(QStringLiteral("group")),
                       QStringLiteral("主持组合"),
                       QStringLiteral("group"),
                       {mid("林悦"), mid("苏航")}},
    };
    // The waiting group is a name the rundown uses.
    g.item(itemIds.at(12))->performers = QStringLiteral("欢乐二人组");

    // Makeup.
    g.makeupShifts = {
        MakeupShift{mid("韩梅"), QStringLiteral("17:00"), QStringLiteral("19:00"),
                    QStringLiteral("二楼化妆间 A")},
        MakeupShift{mid("邓琳"), QStringLiteral("17:30"), QStringLiteral("19:30"),
                    QStringLiteral("二楼化妆间 B")},
    };
    g.makeup = {
        MakeupAssignment{mid("林悦"), mid("韩梅"), QStringLiteral("17:00"), 30, QStringLiteral("已完成")},
        MakeupAssignment{mid("张婷"), mid("韩梅"), QStringLiteral("17:30"), 40, QStringLiteral("化妆中")},
        MakeupAssignment{mid("何佳"), mid("邓琳"), QStringLiteral("17:40"), 40, QStringLiteral("待化妆")},
        MakeupAssignment{mid("王强"), mid("邓琳"), QStringLiteral("18:20"), 20, QStringLiteral("待化妆")},
        MakeupAssignment{mid("孙杰"), QString(), QString(), 20, QStringLiteral("迟到/需调整")},
    };

    // The published notice, confirmed by some.
    g.operations = ProjectOperations{
        QStringLiteral("演出当天注意事项"),
        QStringLiteral("1. 请全体人员 16:30 前到剧场北门签到。\n2. 演员 17:00 起按化妆排班到二楼化妆间。\n"
                       "3. 联排期间请保持手机静音，听从舞台监督调度。"),
        QStringLiteral("16:30"),
        QStringLiteral("剧场北门签到台"),
        QStringLiteral("17:00-18:30 全流程联排"),
        QStringLiteral("18:30 后台餐区盒饭，素食请提前告知"),
        timeToday(today.addDays(-1), 21, 0),
        {mid("陈浩"), mid("赵磊"), mid("林悦"), mid("韩梅")},
    };

    // Work items, some mirrored from other features by the service itself.
    const auto work = [&](WorkItemKind kind, const QString &sourceType, const QString &sourceKey,
                          const QString &title, const QString &description, WorkItemStatus status,
                          WorkItemPriority priority, const QString &itemId, const QString &memberId,
                          const QString &assignee, bool blocking, const QString &resolution = {},
                          const QString &dueAt = {}) {
        WorkItem w;
        w.id = p.nextId(QStringLiteral("work"));
        w.projectId = g.summary.id;
        w.itemId = itemId;
        w.memberId = memberId;
        w.assigneeMemberId = assignee;
        w.kind = kind;
        w.sourceType = sourceType;
        w.sourceKey = sourceKey;
        w.title = title;
        w.description = description;
        w.status = status;
        w.priority = priority;
        w.dueAt = dueAt;
        w.blocking = blocking;
        w.resolution = resolution;
        w.createdByMemberId = sourceType == QStringLiteral("system") ? QString() : mid("陈浩");
        w.updatedByMemberId = w.createdByMemberId;
        w.createdAt = timeToday(today, 15, 0);
        w.updatedAt = timeToday(today, 16, 0);
        w.completedAt = isOpen(status) ? QString() : timeToday(today, 16, 30);
        g.workItems.append(w);
    };
    const QString system = QStringLiteral("system");
    const QString manual = QStringLiteral("manual");
    work(WorkItemKind::preShow, system, QStringLiteral("checkin:") + mid("王强"),
         QStringLiteral("王强尚未签到"), QStringLiteral("集合时间已过，请联系本人确认到场时间。"),
         WorkItemStatus::todo, WorkItemPriority::important, {}, mid("王强"), mid("吴凡"), false);
    work(WorkItemKind::preShow, system, QStringLiteral("notice:") + mid("冯雪"),
         QStringLiteral("冯雪未确认演出通知"), {}, WorkItemStatus::todo, WorkItemPriority::normal, {},
         mid("冯雪"), mid("陈浩"), false);
    work(WorkItemKind::preShow, system, QStringLiteral("makeup:") + mid("何佳"), QStringLiteral("何佳待化妆"),
         QStringLiteral("17:40 二楼化妆间 B"), WorkItemStatus::todo, WorkItemPriority::normal, {},
         mid("何佳"), mid("邓琳"), false);
    work(WorkItemKind::preShow, system, QStringLiteral("rundown:") + itemIds.at(12),
         QStringLiteral("相声《新春贺岁》缺少节目负责人"), {}, WorkItemStatus::todo,
         WorkItemPriority::important, itemIds.at(12), {}, mid("陈浩"), true);
    work(WorkItemKind::preShow, manual, {}, QStringLiteral("确认《青春》伴奏音频"),
         QStringLiteral("伴奏版本需与编舞确认后上传。"), WorkItemStatus::doing, WorkItemPriority::important,
         itemIds.at(6), {}, mid("郑宇"), true, {}, timeToday(today, 18, 0));
    work(WorkItemKind::preShow, manual, {}, QStringLiteral("准备颁奖奖杯与证书"), {}, WorkItemStatus::todo,
         WorkItemPriority::normal, itemIds.at(9), {}, mid("吴凡"), false, {}, timeToday(today, 19, 0));
    work(WorkItemKind::incident, manual, {}, QStringLiteral("二号无线话筒电量不足"),
         QStringLiteral("联排时二号话筒断续。"), WorkItemStatus::blocked, WorkItemPriority::urgent,
         itemIds.at(2), {}, mid("郑宇"), true, QStringLiteral("备用电池在路上，预计 18:10 到。"));
    work(WorkItemKind::incident, manual, {}, QStringLiteral("VCR 片尾字幕错别字"), {}, WorkItemStatus::done,
         WorkItemPriority::important, itemIds.at(3), {}, mid("冯雪"), true,
         QStringLiteral("已重新导出并替换。"));
    work(WorkItemKind::preShow, manual, {}, QStringLiteral("彩排后调整追光灯位"), {},
         WorkItemStatus::cancelled, WorkItemPriority::normal, itemIds.at(13), {}, mid("陈浩"), false,
         QStringLiteral("改由灯光组现场处理。"));

    // Media as long as their items: generated tones and embedded clips with a moving picture.
    const auto tone = [&](int index, const QString &name, int frequency) {
        const int seconds = g.items.at(index).duration;
        p.attachAsset(g.summary.id, itemIds.at(index), QStringLiteral("audio"), name,
                      FakeMedia::toneWav(seconds, frequency), seconds);
    };
    tone(0, QStringLiteral("盛世华章-伴奏.wav"), 440);
    tone(2, QStringLiteral("追光-伴奏.wav"), 523);
    tone(11, QStringLiteral("明天会更好-伴奏.wav"), 587);
    tone(13, QStringLiteral("星辰大海-伴奏.wav"), 659);
    const QByteArray vcr = FakeMedia::demoVcrVideo();
    if (!vcr.isEmpty()) {
        p.attachAsset(g.summary.id, itemIds.at(3), QStringLiteral("video"), QStringLiteral("这一年.mp4"), vcr,
                      150);
    }
    const QByteArray stars = FakeMedia::demoStarsVideo();
    if (!stars.isEmpty()) {
        p.attachAsset(g.summary.id, itemIds.at(13), QStringLiteral("video"),
                      QStringLiteral("星辰大海-背景.mp4"), stars, 330);
    }
    FakeProject &galaRef = *p.project(show.projectId);
    p.refreshReadiness(galaRef);

    // The lottery of the lottery item, with a sign-up crowd.
    FakeLottery &lottery = galaRef.lotteries[show.lotteryItemId];
    lottery.itemId = show.lotteryItemId;
    lottery.mode = QStringLiteral("rehearsal");
    lottery.entryOpen = true;
    lottery.screenMode = QStringLiteral("program");
    lottery.prizes = {
        FakeLotteryPrize{
            QStringLiteral("prize-first"), QStringLiteral("一等奖"), QStringLiteral("平板电脑"), 1, {}},
        FakeLotteryPrize{
            QStringLiteral("prize-second"), QStringLiteral("二等奖"), QStringLiteral("蓝牙耳机"), 3, {}},
        FakeLotteryPrize{
            QStringLiteral("prize-third"), QStringLiteral("三等奖"), QStringLiteral("保温杯"), 10, {}},
    };
    const QStringList surnames = {QStringLiteral("赵"), QStringLiteral("钱"), QStringLiteral("孙"),
                                  QStringLiteral("李"), QStringLiteral("周"), QStringLiteral("吴")};
    const QStringList given = {QStringLiteral("先生"), QStringLiteral("女士"), QStringLiteral("同学"),
                               QStringLiteral("老师"), QStringLiteral("小朋友")};
    for (int i = 0; i < 30; ++i) {
        lottery.entries.append(
            FakeLotteryEntry{QStringLiteral("1390000%1").arg(1000 + i * 37, 4, 10, QLatin1Char('0')),
                             surnames.at(i % surnames.size()) + given.at(i % given.size())});
    }
    // Earlier formal winners, one in each collection state, so the winners and claim cards have
    // something to show; the pending one can still claim.
    lottery.mode = QStringLiteral("formal");
    const QList<std::pair<int, QString>> formalWins = {
        {4, QStringLiteral("pending")}, {7, QStringLiteral("claimed")}, {11, QStringLiteral("no_show")}};
    for (const auto &[entry, status] : formalWins) {
        FakeLotteryWinner winner;
        winner.id = p.nextId(QStringLiteral("win"));
        winner.prizeId = QStringLiteral("prize-third");
        winner.phone = lottery.entries.at(entry).phone;
        winner.displayName = lottery.entries.at(entry).displayName;
        winner.status = status;
        winner.drawnAt = QStringLiteral("2026-12-06T20:15:00+08:00");
        if (status == QStringLiteral("claimed")) {
            winner.claimedAt = QStringLiteral("2026-12-06T20:40:00+08:00");
        }
        lottery.winners.append(winner);
    }
    show.lotteryClaimPhone = lottery.entries.at(formalWins.first().first).phone;

    // A pending invitation: signing in with this phone joins the gala as 苏航.
    FakeInvitation invitation;
    invitation.token = QStringLiteral("demo-invite-suhang");
    invitation.projectId = show.projectId;
    invitation.memberId = mid("苏航");
    invitation.name = QStringLiteral("苏航");
    invitation.role = QStringLiteral("主持人");
    invitation.phone = QStringLiteral("13800138010");
    invitation.invitedByAccountId = show.logins.at(1).accountId;
    invitation.expiresAt = QDateTime::currentDateTimeUtc().addDays(7).toString(Qt::ISODate);
    invitation.smsSent = 1;
    p.invitations.append(invitation);

    // How some accounts first came to the platform, for the administration console.
    const auto account = [&](const char *phone) { return p.accountByPhone(str(phone)); };
    for (const char *phone : {"13800138004", "13800138005"}) {
        account(phone)->registrationSource = QStringLiteral("invitation");
        account(phone)->invitedByAccountId = show.logins.at(1).accountId;
        account(phone)->registrationProjectName = galaRef.summary.name;
    }
    account("13800138008")->registrationSource = QStringLiteral("invitation");
    account("13800138008")->invitedByAccountId = show.logins.at(2).accountId;
    account("13800138009")->registrationSource = QString();
    const QString lotteryFan = p.addAccount(QStringLiteral("13900001000"), QStringLiteral("赵先生"));
    p.account(lotteryFan)->registrationSource = QStringLiteral("lottery");
    p.account(lotteryFan)->registrationProjectName = galaRef.summary.name;
    p.account(lotteryFan)->registrationItemTitle = QStringLiteral("幸运大抽奖");
    const QString suspended = p.addAccount(QStringLiteral("13800138011"), QStringLiteral("钱多多"));
    p.account(suspended)->status = QStringLiteral("suspended");

    // A smaller second project.
    show.secondProjectId = p.addProject(QStringLiteral("春季读书分享会"), adminId, QStringLiteral("总导演"));
    FakeProject &second = *p.project(show.secondProjectId);
    second.summary.eventDate = today.addDays(30).toString(Qt::ISODate);
    second.summary.startTime = QStringLiteral("14:00");
    second.summary.venue = QStringLiteral("城市书房");
    p.addMember(show.secondProjectId, QStringLiteral("陈浩"), QStringLiteral("副导演"),
                show.logins.at(2).accountId);
    p.addMember(show.secondProjectId, QStringLiteral("林悦"), QStringLiteral("主持人"),
                show.logins.at(4).accountId);
    for (const char *title : {"开场致辞", "好书推荐", "读者分享"}) {
        const QString itemId = p.addItem(show.secondProjectId, str(title), QStringLiteral("节目"));
        RundownItem *item = p.project(show.secondProjectId)->item(itemId);
        item->duration = 900;
        item->owner = QStringLiteral("陈浩");
        item->performers = QStringLiteral("林悦");
    }
    p.refreshReadiness(*p.project(show.secondProjectId));

    const auto log = [&](const QString &action, const QString &type, const QString &target,
                         const QString &summary) {
        p.auditLogs.append(AdminAuditLog{p.nextId(QStringLiteral("log")), QStringLiteral("陆清"), action,
                                         type, target, summary, timeToday(today.addDays(-1), 10, 0)});
    };
    log(QStringLiteral("accountStatus"), QStringLiteral("account"), suspended,
        QStringLiteral("停用账号 钱多多"));
    log(QStringLiteral("projectStatus"), QStringLiteral("project"), show.projectId,
        QStringLiteral("将演出《2026 新年联欢晚会》设为进行中"));

    // The recycle bin: an earlier backing track, replaced and archived.
    {
        FakeAsset old;
        old.id = p.nextId(QStringLiteral("asset"));
        old.projectId = show.projectId;
        old.itemId = itemIds.at(2);
        old.category = QStringLiteral("audio");
        old.filename = QStringLiteral("追光-伴奏-旧版.wav");
        old.bytes = FakeMedia::sineWav(1200, 494);
        old.durationSeconds = 255;
        old.createdAt = timeToday(today.addDays(-3), 15, 0);
        old.trashedAt = timeToday(today.addDays(-1), 9, 30);
        p.assets.append(old);
        log(QStringLiteral("archiveAsset"), QStringLiteral("asset"), old.id,
            QStringLiteral("归档素材 追光-伴奏-旧版.wav"));
    }
    return show;
}
