#include "MacGroupMemberPickerSheet.h"

#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "common/SheetSave.h"
#include "common/Theme.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

MacGroupMemberPickerSheet::MacGroupMemberPickerSheet(PerformerGroup group, QList<ProjectMember> members,
                                                     AddAction onAdd, QWidget *parent)
    : QDialog(parent)
    , m_group(std::move(group))
    , m_members(std::move(members))
    , m_onAdd(std::move(onAdd))
    , m_rowsHost(new QWidget)
    , m_rows(new QVBoxLayout(m_rowsHost))
{
    setObjectName(QStringLiteral("groupMemberPickerSheet"));
    setWindowTitle(QStringLiteral("添加成员"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(560, 600);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(14);
    auto *header = new QHBoxLayout;
    auto *title = Theme::label(QStringLiteral("添加“") + m_group.name + QStringLiteral("”成员"),
                               Theme::TextStyle::title2, Theme::Colour::primary, this);
    title->setFont(Theme::font(Theme::TextStyle::title2, QFont::Bold));
    title->setObjectName(QStringLiteral("pickerTitle"));
    header->addWidget(title, 1);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("pickerCloseButton"));
    // Return in the search field must not close the sheet or add someone.
    close->setAutoDefault(false);
    header->addWidget(close);
    layout->addLayout(header);
    auto *note = Theme::label(QStringLiteral("从同一项目人员库选择；没有的人请先到成员管理录入并发送邀请。 "),
                              Theme::TextStyle::body, Theme::Colour::secondary, this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto *search = new QLineEdit(this);
    search->setObjectName(QStringLiteral("pickerSearchField"));
    search->setPlaceholderText(QStringLiteral("搜索人员库"));
    layout->addWidget(search);

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("pickerScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(8);
    m_rows->addStretch(1);
    scroll->setWidget(m_rowsHost);
    layout->addWidget(scroll, 1);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_query = text;
        rebuildRows();
    });
    rebuildRows();
}

void MacGroupMemberPickerSheet::rebuildRows()
{
    for (const Row &row : std::as_const(m_rowButtons)) {
        delete row.button->parentWidget();
    }
    m_rowButtons.clear();
    for (const ProjectMember &member : PeopleRules::pickerMembers(m_group, m_members, m_query)) {
        const bool registered = member.isRegistered();
        auto *row = new TintedPanel(Theme::colour(Theme::Colour::secondary, 0.05), 10, m_rowsHost);
        row->setObjectName(QStringLiteral("pickerRow_") + member.id);
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(11, 11, 11, 11);
        auto *texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(Theme::label(member.name, Theme::TextStyle::headline, Theme::Colour::primary, row));
        auto *subtitle = Theme::label(member.role + QStringLiteral(" · ") +
                                          (registered ? QStringLiteral("已入驻") : QStringLiteral("未注册")),
                                      Theme::TextStyle::caption, Theme::Colour::secondary, row);
        subtitle->setObjectName(QStringLiteral("pickerRowSubtitle"));
        texts->addWidget(subtitle);
        line->addLayout(texts, 1);
        auto *button = new QPushButton(row);
        button->setObjectName(QStringLiteral("pickerAddButton_") + member.id);
        button->setAutoDefault(false);
        Theme::makeProminent(button);
        line->addWidget(button);
        if (!registered) {
            auto *dim = new QGraphicsOpacityEffect(row);
            dim->setOpacity(0.65);
            row->setGraphicsEffect(dim);
        }
        connect(button, &QPushButton::clicked, this, [this, id = member.id] { add(id); });
        m_rows->insertWidget(m_rows->count() - 1, row);
        m_rowButtons.append({member.id, button});
    }
    updateButtons();
}

void MacGroupMemberPickerSheet::updateButtons()
{
    for (const Row &row : std::as_const(m_rowButtons)) {
        row.button->setText(m_busyID == row.memberId ? QStringLiteral("正在添加…") : QStringLiteral("添加"));
        row.button->setEnabled(m_busyID.isEmpty());
    }
}

QCoro::Task<> MacGroupMemberPickerSheet::add(QString memberId)
{
    if (!m_onAdd) {
        co_return;
    }
    auto adding = saveSheet(
        this,
        [this, memberId](bool busy) {
            m_busyID = busy ? memberId : QString();
            updateButtons();
        },
        [this, memberId] { return m_onAdd(memberId); });
    co_await adding;
}
