#include "MacMakeupEditors.h"

#include "PeopleWidgets.h"
#include "common/FocusKeeper.h"
#include "common/Theme.h"
#include "rules/TextRules.h"
#include "stores/MacProjectDataStore.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Selects the entry whose data is `value`, or nothing when there is none.
void selectData(QComboBox *box, const QString &value)
{
    box->setCurrentIndex(box->findData(value));
}

} // namespace

// --- Stepper -------------------------------------------------------------------------------

MakeupDurationStepper::MakeupDurationStepper(int value, QWidget *parent)
    : QWidget(parent)
    , m_value(value)
    , m_label(new QLabel(this))
    , m_down(new QToolButton(this))
    , m_up(new QToolButton(this))
{
    setObjectName(QStringLiteral("makeupDurationStepper"));
    m_down->setObjectName(QStringLiteral("durationDownButton"));
    m_up->setObjectName(QStringLiteral("durationUpButton"));
    m_label->setObjectName(QStringLiteral("durationLabel"));
    m_down->setText(QStringLiteral("−"));
    m_up->setText(QStringLiteral("+"));
    m_down->setAutoRepeat(true);
    m_up->setAutoRepeat(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_label, 1);
    row->addWidget(m_down);
    row->addWidget(m_up);
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    updateState();
}

void MakeupDurationStepper::setValue(int value)
{
    m_value = value;
    updateState();
}

void MakeupDurationStepper::step(int direction)
{
    if (!PeopleRules::canStepDuration(m_value, direction)) {
        return;
    }
    m_value = PeopleRules::steppedDuration(m_value, direction);
    updateState();
    Q_EMIT stepped(m_value);
}

void MakeupDurationStepper::updateState()
{
    m_label->setText(QStringLiteral("%1 分").arg(m_value));
    m_down->setEnabled(isEnabled() && PeopleRules::canStepDuration(m_value, -1));
    m_up->setEnabled(isEnabled() && PeopleRules::canStepDuration(m_value, 1));
}

// --- Shift editor --------------------------------------------------------------------------

MacMakeupShiftEditor::MacMakeupShiftEditor(MacProjectDataStore &store, ProjectMember artist, bool canEdit,
                                           QString startTime, QString endTime, QString location,
                                           QWidget *parent)
    : TintedPanel(Theme::colour(Theme::Colour::controlBackground), 11, parent)
    , m_store(store)
    , m_artist(std::move(artist))
    , m_canEdit(canEdit)
    , m_startSeed{startTime}
    , m_endSeed{endTime}
    , m_locationSeed{location}
    , m_avatar(new PeopleWidgets::Disc({}, Theme::colour(Theme::Colour::pink), Qt::white, 34,
                                       Theme::font(Theme::TextStyle::headline), this))
    , m_name(Theme::label({}, Theme::TextStyle::headline, Theme::Colour::primary, this))
    , m_registration(Theme::label({}, Theme::TextStyle::caption, Theme::Colour::secondary, this))
    , m_start(new QLineEdit(startTime, this))
    , m_end(new QLineEdit(endTime, this))
    , m_location(new QLineEdit(location, this))
    , m_save(new QPushButton(this))
{
    setObjectName(QStringLiteral("makeupShiftRow_") + m_artist.id);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(11, 11, 11, 11);
    row->setSpacing(10);
    row->addWidget(m_avatar);
    auto *who = new QWidget(this);
    who->setFixedWidth(100);
    auto *whoColumn = new QVBoxLayout(who);
    whoColumn->setContentsMargins(0, 0, 0, 0);
    whoColumn->setSpacing(2);
    m_name->setObjectName(QStringLiteral("shiftArtistName"));
    m_registration->setObjectName(QStringLiteral("shiftArtistRegistration"));
    whoColumn->addWidget(m_name);
    whoColumn->addWidget(m_registration);
    row->addWidget(who);
    m_start->setObjectName(QStringLiteral("shiftStartField"));
    m_start->setPlaceholderText(QStringLiteral("08:00"));
    m_start->setFixedWidth(74);
    row->addWidget(m_start);
    row->addWidget(
        Theme::label(QStringLiteral("至"), Theme::TextStyle::body, Theme::Colour::secondary, this));
    m_end->setObjectName(QStringLiteral("shiftEndField"));
    m_end->setPlaceholderText(QStringLiteral("12:00"));
    m_end->setFixedWidth(74);
    row->addWidget(m_end);
    m_location->setObjectName(QStringLiteral("shiftLocationField"));
    m_location->setPlaceholderText(QStringLiteral("化妆地点"));
    row->addWidget(m_location, 1);
    m_save->setObjectName(QStringLiteral("saveShiftButton"));
    row->addWidget(m_save);

    for (QLineEdit *field : {m_start, m_end, m_location}) {
        connect(field, &QLineEdit::textChanged, this, &MacMakeupShiftEditor::updateState);
    }
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    refresh(m_artist, canEdit, startTime, endTime, location);
}

void MacMakeupShiftEditor::refresh(const ProjectMember &artist, bool canEdit, const QString &startTime,
                                   const QString &endTime, const QString &location)
{
    m_artist = artist;
    m_canEdit = canEdit;
    m_avatar->setText(TextRules::prefixCharacters(artist.name, 1));
    m_name->setText(artist.name);
    const bool registered = artist.isRegistered();
    m_registration->setText(registered ? QStringLiteral("● 已入驻") : QStringLiteral("○ 未入驻"));
    Theme::setTextColour(m_registration, registered ? Theme::Colour::green : Theme::Colour::secondary);
    const auto reseed = [](QLineEdit *field, PeopleRules::SeededField<QString> &seed, const QString &next) {
        const QString shown = seed.reseed(field->text(), next);
        if (shown != field->text()) {
            field->setText(shown);
        }
    };
    reseed(m_start, m_startSeed, startTime);
    reseed(m_end, m_endSeed, endTime);
    reseed(m_location, m_locationSeed, location);
    updateState();
}

void MacMakeupShiftEditor::updateState()
{
    for (QLineEdit *field : {m_start, m_end, m_location}) {
        field->setEnabled(m_canEdit);
    }
    m_save->setVisible(m_canEdit);
    m_save->setText(m_saving ? QStringLiteral("保存中…") : QStringLiteral("保存时段"));
    m_save->setEnabled(!m_saving && !m_start->text().isEmpty() && !m_end->text().isEmpty());
}

QCoro::Task<> MacMakeupShiftEditor::save()
{
    QPointer<MacMakeupShiftEditor> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_saving = true;
    updateState();
    MakeupShift shift{m_artist.id, m_start->text(), m_end->text(), m_location->text()};
    auto saving = m_store.saveMakeupShift(std::move(shift));
    co_await saving;
    if (self) {
        m_saving = false;
        updateState();
        FocusKeeper::restore(focused);
    }
}

// --- Assignment creator --------------------------------------------------------------------

MacMakeupAssignmentCreator::MacMakeupAssignmentCreator(MacProjectDataStore &store,
                                                       ProjectDetailResponse detail,
                                                       QList<ProjectMember> artists, QWidget *parent)
    : TintedPanel(Theme::colour(Theme::Colour::controlBackground), 11, parent)
    , m_store(store)
    , m_members(new QComboBox(this))
    , m_artistPicker(new QComboBox(this))
    , m_assign(new QPushButton(this))
{
    setObjectName(QStringLiteral("makeupAssignmentCreator"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    row->addWidget(
        Theme::label(QStringLiteral("分配演员"), Theme::TextStyle::headline, Theme::Colour::primary, this));
    PeopleWidgets::WheelGuard::install(m_members);
    PeopleWidgets::WheelGuard::install(m_artistPicker);
    m_members->setObjectName(QStringLiteral("assignMemberPicker"));
    m_members->setToolTip(QStringLiteral("选择人员"));
    m_members->setMaximumWidth(220);
    m_members->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_members->setMinimumContentsLength(10);
    row->addWidget(m_members, 1);
    m_artistPicker->setObjectName(QStringLiteral("assignArtistPicker"));
    m_artistPicker->setToolTip(QStringLiteral("选择化妆师"));
    m_artistPicker->setMaximumWidth(180);
    m_artistPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_artistPicker->setMinimumContentsLength(8);
    row->addWidget(m_artistPicker, 1);
    m_assign->setObjectName(QStringLiteral("assignButton"));
    Theme::makeProminent(m_assign);
    row->addWidget(m_assign);
    row->addStretch(1);

    connect(m_members, &QComboBox::activated, this, [this](int index) {
        m_memberID = m_members->itemData(index).toString();
        updateState();
    });
    connect(m_artistPicker, &QComboBox::activated, this, [this](int index) {
        m_artistID = m_artistPicker->itemData(index).toString();
        updateState();
    });
    connect(m_assign, &QPushButton::clicked, this, [this] { assign(); });
    refresh(std::move(detail), std::move(artists));
}

void MacMakeupAssignmentCreator::refresh(ProjectDetailResponse detail, QList<ProjectMember> artists)
{
    m_detail = std::move(detail);
    m_artists = std::move(artists);
    fillPickers();
    updateState();
}

void MacMakeupAssignmentCreator::fillPickers()
{
    const QList<ProjectMember> available = PeopleRules::assignableMembers(m_detail);
    const auto has = [](const QList<ProjectMember> &list, const QString &id) {
        return std::any_of(list.cbegin(), list.cend(), [&](const ProjectMember &m) { return m.id == id; });
    };
    // A choice that is no longer offered (assigned meanwhile, or gone) is dropped.
    if (!has(available, m_memberID)) {
        m_memberID.clear();
    }
    if (!has(m_artists, m_artistID)) {
        m_artistID.clear();
    }
    QStringList shown;
    for (const ProjectMember &m : available) {
        shown << m.id << m.name << m.role;
    }
    for (const ProjectMember &a : std::as_const(m_artists)) {
        shown << a.id << a.name;
    }
    // Refilled only when the choices change, so an open list survives a reload.
    if (shown == m_shownChoices && m_members->count() > 0) {
        selectData(m_members, m_memberID);
        selectData(m_artistPicker, m_artistID);
        return;
    }
    m_shownChoices = shown;
    m_members->clear();
    m_members->addItem(QStringLiteral("选择演员或成员"), QString());
    for (const ProjectMember &m : available) {
        m_members->addItem(m.name + QStringLiteral(" · ") + m.role, m.id);
    }
    selectData(m_members, m_memberID);
    m_artistPicker->clear();
    m_artistPicker->addItem(QStringLiteral("选择化妆师"), QString());
    for (const ProjectMember &a : std::as_const(m_artists)) {
        m_artistPicker->addItem(a.name, a.id);
    }
    selectData(m_artistPicker, m_artistID);
}

void MacMakeupAssignmentCreator::updateState()
{
    m_assign->setText(m_saving ? QStringLiteral("正在分配…") : QStringLiteral("＋ 分配"));
    m_assign->setEnabled(PeopleRules::canAssign(m_detail, m_memberID, m_artistID, m_saving));
}

QCoro::Task<> MacMakeupAssignmentCreator::assign()
{
    QPointer<MacMakeupAssignmentCreator> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_saving = true;
    updateState();
    const auto shift = PeopleRules::shiftOf(m_detail, m_artistID);
    MakeupAssignment assignment{m_memberID, m_artistID, shift ? shift->startTime : QString(), 30,
                                QStringLiteral("待化妆")};
    auto saving = m_store.saveMakeup(std::move(assignment));
    co_await saving;
    if (self) {
        m_memberID.clear();
        selectData(m_members, m_memberID);
        m_saving = false;
        updateState();
        FocusKeeper::restore(focused);
    }
}

// --- Assignment editor ---------------------------------------------------------------------

MacMakeupAssignmentEditor::MacMakeupAssignmentEditor(MacProjectDataStore &store, MakeupAssignment assignment,
                                                     QList<ProjectMember> members,
                                                     QList<ProjectMember> artists, bool canReassign,
                                                     QWidget *parent)
    : TintedPanel(Theme::colour(Theme::Colour::controlBackground), 11, parent)
    , m_store(store)
    , m_assignment(assignment)
    , m_canReassign(canReassign)
    , m_artistID(assignment.artistMemberId)
    , m_status(assignment.status)
    , m_artistSeed{assignment.artistMemberId}
    , m_timeSeed{assignment.scheduledTime}
    , m_durationSeed{int(assignment.durationMinutes)}
    , m_statusSeed{assignment.status}
    , m_name(Theme::label({}, Theme::TextStyle::headline, Theme::Colour::primary, this))
    , m_arrival(Theme::label({}, Theme::TextStyle::caption, Theme::Colour::secondary, this))
    , m_time(new QLineEdit(assignment.scheduledTime, this))
    , m_duration(new MakeupDurationStepper(int(assignment.durationMinutes), this))
    , m_artistPicker(new QComboBox(this))
    , m_statusPicker(new QComboBox(this))
    , m_save(new QPushButton(this))
{
    setObjectName(QStringLiteral("makeupAssignmentRow_") + m_assignment.memberId);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(11, 11, 11, 11);
    row->setSpacing(8);
    // Fixed parts shrink a little so the row fits the page at the window's smallest size.
    auto *who = new QWidget(this);
    who->setMinimumWidth(72);
    who->setMaximumWidth(105);
    auto *whoColumn = new QVBoxLayout(who);
    whoColumn->setContentsMargins(0, 0, 0, 0);
    whoColumn->setSpacing(2);
    m_name->setObjectName(QStringLiteral("assignmentMemberName"));
    m_arrival->setObjectName(QStringLiteral("assignmentArrival"));
    whoColumn->addWidget(m_name);
    whoColumn->addWidget(m_arrival);
    row->addWidget(who, 1);
    m_time->setObjectName(QStringLiteral("assignmentTimeField"));
    m_time->setPlaceholderText(QStringLiteral("时间"));
    m_time->setFixedWidth(72);
    row->addWidget(m_time);
    m_duration->setFixedWidth(105);
    row->addWidget(m_duration);
    PeopleWidgets::WheelGuard::install(m_artistPicker);
    PeopleWidgets::WheelGuard::install(m_statusPicker);
    m_artistPicker->setObjectName(QStringLiteral("assignmentArtistPicker"));
    m_artistPicker->setToolTip(QStringLiteral("化妆师"));
    m_artistPicker->setMinimumWidth(84);
    m_artistPicker->setMaximumWidth(120);
    m_artistPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_artistPicker->setMinimumContentsLength(4);
    row->addWidget(m_artistPicker, 1);
    m_statusPicker->setObjectName(QStringLiteral("assignmentStatusPicker"));
    m_statusPicker->setToolTip(QStringLiteral("状态"));
    m_statusPicker->setMinimumWidth(100);
    m_statusPicker->setMaximumWidth(125);
    m_statusPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_statusPicker->setMinimumContentsLength(5);
    for (const QString &status : PeopleRules::makeupStatuses()) {
        m_statusPicker->addItem(status, status);
    }
    row->addWidget(m_statusPicker, 1);
    row->addStretch(1);
    m_save->setObjectName(QStringLiteral("saveAssignmentButton"));
    row->addWidget(m_save);

    connect(m_artistPicker, &QComboBox::activated, this,
            [this](int index) { m_artistID = m_artistPicker->itemData(index).toString(); });
    connect(m_statusPicker, &QComboBox::activated, this,
            [this](int index) { m_status = m_statusPicker->itemData(index).toString(); });
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    m_members = std::move(members);
    m_artists = std::move(artists);
    fillArtists();
    selectData(m_statusPicker, m_status);
    showMember();
    updateState();
}

void MacMakeupAssignmentEditor::refresh(const MakeupAssignment &assignment, QList<ProjectMember> members,
                                        QList<ProjectMember> artists, bool canReassign)
{
    m_assignment = assignment;
    m_members = std::move(members);
    m_artists = std::move(artists);
    m_canReassign = canReassign;
    m_artistID = m_artistSeed.reseed(m_artistID, assignment.artistMemberId);
    m_status = m_statusSeed.reseed(m_status, assignment.status);
    const QString time = m_timeSeed.reseed(m_time->text(), assignment.scheduledTime);
    if (time != m_time->text()) {
        m_time->setText(time);
    }
    m_duration->setValue(m_durationSeed.reseed(m_duration->value(), int(assignment.durationMinutes)));
    fillArtists();
    selectData(m_statusPicker, m_status);
    showMember();
    updateState();
}

void MacMakeupAssignmentEditor::fillArtists()
{
    // Refilled only when the artists change, so an open list survives a reload.
    QList<QPair<QString, QString>> entries;
    for (const ProjectMember &a : std::as_const(m_artists)) {
        entries.append({a.id, a.name});
    }
    if (entries == m_shownArtists) {
        selectData(m_artistPicker, m_artistID);
        return;
    }
    m_shownArtists = entries;
    m_artistPicker->clear();
    for (const ProjectMember &a : std::as_const(m_artists)) {
        m_artistPicker->addItem(a.name, a.id);
    }
    selectData(m_artistPicker, m_artistID);
}

void MacMakeupAssignmentEditor::showMember()
{
    const auto found = std::find_if(m_members.cbegin(), m_members.cend(),
                                    [&](const ProjectMember &m) { return m.id == m_assignment.memberId; });
    const bool known = found != m_members.cend();
    m_name->setText(known ? found->name : QStringLiteral("未知人员"));
    const bool arrived = known && found->isCheckedIn();
    m_arrival->setText(arrived ? QStringLiteral("已到场") : QStringLiteral("未签到"));
    Theme::setTextColour(m_arrival, arrived ? Theme::Colour::green : Theme::Colour::secondary);
}

void MacMakeupAssignmentEditor::updateState()
{
    m_artistPicker->setEnabled(m_canReassign);
    m_save->setText(m_saving ? QStringLiteral("保存中…") : QStringLiteral("保存"));
    m_save->setEnabled(!m_saving);
}

QCoro::Task<> MacMakeupAssignmentEditor::save()
{
    QPointer<MacMakeupAssignmentEditor> self(this);
    const QPointer<QWidget> focused = FocusKeeper::park(this);
    m_saving = true;
    updateState();
    MakeupAssignment assignment{m_assignment.memberId, m_artistID, m_time->text(), m_duration->value(),
                                m_status};
    auto saving = m_store.saveMakeup(std::move(assignment));
    co_await saving;
    if (self) {
        m_saving = false;
        updateState();
        FocusKeeper::restore(focused);
    }
}
