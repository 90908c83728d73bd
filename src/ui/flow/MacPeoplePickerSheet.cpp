#include "MacPeoplePickerSheet.h"

#include "common/AsyncAction.h"
#include "common/ScrollAnchor.h"
#include "common/SheetSave.h"
#include "common/Theme.h"
#include "people/MacInviteMemberSheet.h"
#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"

#include <QAbstractListModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

// The visible members, one row each; the rows read the sheet's selection when drawn.
class PeoplePickerModel : public QAbstractListModel
{
public:
    enum Role { SelectedRole = Qt::UserRole + 1, RegisteredRole, CaptionRole };

    explicit PeoplePickerModel(const QSet<QString> &selection, QObject *parent)
        : QAbstractListModel(parent)
        , m_selection(selection)
    {}

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_members.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_members.size()) {
            return {};
        }
        const ProjectMember &m = m_members.at(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return m.name;
        case SelectedRole:
            return m_selection.contains(m.name);
        case RegisteredRole:
            return m.isRegistered();
        case CaptionRole:
            return m.role + QStringLiteral(" · ") +
                   (m.isRegistered() ? QStringLiteral("已入驻") : QStringLiteral("未注册"));
        case Qt::ToolTipRole:
            return m.detail.isEmpty() ? QVariant() : QVariant(m.detail);
        default:
            return {};
        }
    }

    // Keeps the rows when only their contents changed, so a refresh never jumps the list.
    void setMembers(QList<ProjectMember> members)
    {
        const auto ids = [](const QList<ProjectMember> &list) {
            QStringList out;
            for (const ProjectMember &m : list) {
                out.append(m.id);
            }
            return out;
        };
        if (ids(members) == ids(m_members)) {
            m_members = std::move(members);
            selectionChanged();
            return;
        }
        beginResetModel();
        m_members = std::move(members);
        endResetModel();
    }

    void selectionChanged()
    {
        if (!m_members.isEmpty()) {
            Q_EMIT dataChanged(index(0), index(int(m_members.size()) - 1));
        }
    }

private:
    const QSet<QString> &m_selection;
    QList<ProjectMember> m_members;
};

namespace {

class PeopleRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override { return {0, 54}; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = index.data(PeoplePickerModel::SelectedRole).toBool();
        const bool registered = index.data(PeoplePickerModel::RegisteredRole).toBool();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setOpacity(registered ? 1.0 : 0.65);
        const QRect row = option.rect.adjusted(0, 2, 0, -2);
        painter->setPen(Qt::NoPen);
        painter->setBrush(selected ? Theme::colour(Theme::Colour::indigo, 0.08)
                                   : Theme::colour(Theme::Colour::secondary, 0.04));
        painter->drawRoundedRect(row, 8, 8);

        // The tick mark is drawn rather than themed: icon themes have no plain empty circle.
        const QRectF mark(row.left() + 12, row.center().y() - 10, 20, 20);
        if (selected) {
            painter->setBrush(Theme::colour(Theme::Colour::indigo));
            painter->drawEllipse(mark);
            painter->setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            const QPointF origin = mark.topLeft();
            painter->drawPolyline(QPolygonF(
                {origin + QPointF(5.5, 10.5), origin + QPointF(8.8, 13.8), origin + QPointF(14.5, 7)}));
        } else {
            painter->setPen(QPen(Theme::colour(Theme::Colour::secondary), 1.5));
            painter->setBrush(Qt::NoBrush);
            painter->drawEllipse(mark.adjusted(1, 1, -1, -1));
        }

        const QRect text = row.adjusted(44, 6, -12, -6);
        const QFont nameFont = Theme::font(Theme::TextStyle::headline);
        const QFont captionFont = Theme::font(Theme::TextStyle::caption);
        const int nameHeight = QFontMetrics(nameFont).height();
        painter->setFont(nameFont);
        painter->setPen(Theme::colour(Theme::Colour::primary));
        const QRect nameRect(text.left(), text.top(), text.width(), nameHeight);
        painter->drawText(
            nameRect, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(nameFont).elidedText(index.data().toString(), Qt::ElideRight, text.width()));
        painter->setFont(captionFont);
        painter->setPen(Theme::colour(Theme::Colour::secondary));
        const QRect captionRect(text.left(), nameRect.bottom() + 2, text.width(),
                                text.bottom() - nameRect.bottom() - 2);
        painter->drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(captionFont)
                              .elidedText(index.data(PeoplePickerModel::CaptionRole).toString(),
                                          Qt::ElideRight, text.width()));
        painter->restore();
    }
};

} // namespace

MacPeoplePickerSheet::MacPeoplePickerSheet(Inputs inputs, QWidget *parent)
    : QDialog(parent)
    , m_inputs(std::move(inputs))
{
    setObjectName(QStringLiteral("peoplePickerSheet"));
    setWindowTitle(m_inputs.title);
    setWindowModality(Qt::WindowModal);
    setFixedSize(560, 620);
    for (const QString &name : people(m_inputs.currentValue)) {
        m_selection.insert(name);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(12);
    auto *title =
        Theme::label(m_inputs.title, Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, this);
    title->setObjectName(QStringLiteral("peoplePickerTitle"));
    layout->addWidget(title);
    auto *subtitle =
        Theme::label(QStringLiteral("直接复用当前项目人员库；已入驻与未注册人员保持同一套状态。 "),
                     Theme::TextStyle::body, Theme::Colour::secondary, this);
    subtitle->setWordWrap(true);
    layout->addWidget(subtitle);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("peopleSearchField"));
    m_search->setPlaceholderText(QStringLiteral("搜索姓名、角色或职责"));
    m_search->setClearButtonEnabled(true);
    layout->addWidget(m_search);

    m_chipScroll = new QScrollArea(this);
    m_chipScroll->setObjectName(QStringLiteral("peopleChipScroll"));
    m_chipScroll->setFrameShape(QFrame::NoFrame);
    m_chipScroll->setWidgetResizable(true);
    m_chipScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_chipScroll->setFixedHeight(44);
    m_chips = new QWidget;
    m_chipLayout = new QHBoxLayout(m_chips);
    m_chipLayout->setContentsMargins(0, 0, 0, 0);
    m_chipLayout->setSpacing(6);
    m_chipScroll->setWidget(m_chips);
    layout->addWidget(m_chipScroll);

    m_model = new PeoplePickerModel(m_selection, this);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("peopleList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new PeopleRowDelegate(m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setUniformItemSizes(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    // The chip row above comes and goes with the selection.
    ScrollAnchor::install(m_list);
    layout->addWidget(m_list, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("peopleCancelButton"));
    auto *invite = new QPushButton(QStringLiteral("邀请新人员"), this);
    invite->setObjectName(QStringLiteral("peopleInviteButton"));
    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("peopleSaveButton"));
    Theme::makeProminent(m_save);
    for (QPushButton *b : {cancel, invite, m_save}) {
        b->setAutoDefault(false);
    }
    buttons->addWidget(cancel);
    buttons->addWidget(invite);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_query = text;
        refreshList();
    });
    connect(m_list, &QListView::clicked, this,
            [this](const QModelIndex &index) { toggle(index.data().toString()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(invite, &QPushButton::clicked, this, &MacPeoplePickerSheet::invite);
    connect(m_save, &QPushButton::clicked, this, &MacPeoplePickerSheet::save);

    refreshList();
    rebuildChips();
    updateControls();
}

MacPeoplePickerSheet::~MacPeoplePickerSheet() = default;

void MacPeoplePickerSheet::setMembers(QList<ProjectMember> members)
{
    m_inputs.members = std::move(members);
    refreshList();
}

void MacPeoplePickerSheet::setCanSave(bool canSave)
{
    m_canSave = canSave;
    updateControls();
}

QStringList MacPeoplePickerSheet::people(const QString &text)
{
    return PermissionPolicy::people(text);
}

QStringList MacPeoplePickerSheet::sortedNames(const QSet<QString> &names)
{
    QStringList sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), TextRules::scalarLess);
    return sorted;
}

QString MacPeoplePickerSheet::joinedNames(const QSet<QString> &names)
{
    return sortedNames(names).join(QStringLiteral("、"));
}

QList<ProjectMember> MacPeoplePickerSheet::visibleMembers(const QList<ProjectMember> &members,
                                                          const QString &query)
{
    if (query.isEmpty()) {
        return members;
    }
    QList<ProjectMember> out;
    for (const ProjectMember &m : members) {
        if ((m.name + m.role + m.detail).contains(query, Qt::CaseInsensitive)) {
            out.append(m);
        }
    }
    return out;
}

void MacPeoplePickerSheet::toggle(const QString &name)
{
    if (m_selection.contains(name)) {
        m_selection.remove(name);
    } else {
        m_selection.insert(name);
    }
    selectionChanged();
}

void MacPeoplePickerSheet::selectionChanged()
{
    m_model->selectionChanged();
    rebuildChips();
}

void MacPeoplePickerSheet::refreshList()
{
    m_model->setMembers(visibleMembers(m_inputs.members, m_query));
}

void MacPeoplePickerSheet::rebuildChips()
{
    while (QLayoutItem *item = m_chipLayout->takeAt(0)) {
        if (QWidget *w = item->widget()) {
            // A chip may be the sender of the click that got here: it goes once the click is done.
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    const QColor indigo = Theme::colour(Theme::Colour::indigo);
    for (const QString &name : sortedNames(m_selection)) {
        auto *chip = new QPushButton(Theme::icon(QStringLiteral("xmark.circle.fill"), indigo), name, m_chips);
        chip->setObjectName(QStringLiteral("peopleChip"));
        chip->setAutoDefault(false);
        chip->setLayoutDirection(Qt::RightToLeft); // the cross after the name
        chip->setToolTip(QStringLiteral("移除 %1").arg(name));
        chip->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; border: 1px solid %2; border-radius: 6px;"
                           " padding: 3px 8px; background: %3; }")
                .arg(Theme::css(indigo), Theme::css(Theme::Colour::indigo, 0.4),
                     Theme::css(Theme::Colour::indigo, 0.08)));
        connect(chip, &QPushButton::clicked, this, [this, name] {
            m_selection.remove(name);
            selectionChanged();
        });
        m_chipLayout->addWidget(chip);
    }
    m_chipLayout->addStretch(1);
    m_chipScroll->setVisible(!m_selection.isEmpty());
}

void MacPeoplePickerSheet::updateControls()
{
    m_save->setText(m_saving ? QStringLiteral("正在保存…") : QStringLiteral("保存"));
    m_save->setEnabled(m_canSave && !m_saving);
}

void MacPeoplePickerSheet::save()
{
    if (m_saving || !m_canSave) {
        return;
    }
    const auto setBusy = [this](bool busy) {
        m_saving = busy;
        updateControls();
    };
    // The handler reports its own failures; a throw counts as not stored.
    AsyncAction::run(
        this, saveSheet(this, setBusy, [this] { return m_inputs.onSave(joinedNames(m_selection)); }), [] {},
        [setBusy](const QString &) { setBusy(false); });
}

void MacPeoplePickerSheet::invite()
{
    m_showingInvite = true;
    QPointer<MacPeoplePickerSheet> self(this);
    MacInviteMemberSheet::Fields fields;
    fields.project = m_inputs.project;
    fields.inviterName = m_inputs.inviterName;
    fields.initialMember = std::nullopt;
    fields.onChanged = []() -> QCoro::Task<> { co_return; };
    fields.itemID = m_inputs.itemID;
    fields.field = m_inputs.field;
    fields.onInvited = [self](QString name) { return saveInvited(self, std::move(name)); };
    fields.role = m_inputs.inviteRole;
    fields.client = m_inputs.client;
    auto *sheet = new MacInviteMemberSheet(std::move(fields), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] { m_showingInvite = false; });
    sheet->open();
}

QCoro::Task<> MacPeoplePickerSheet::saveInvited(QPointer<MacPeoplePickerSheet> self, QString name)
{
    if (!self) {
        co_return;
    }
    self->m_selection.insert(name);
    self->selectionChanged();
    // The answer is not used: a failed save leaves the name chosen for the next press of save.
    auto saving = self->m_inputs.onSave(joinedNames(self->m_selection));
    try {
        co_await saving;
    } catch (...) {
    }
}
