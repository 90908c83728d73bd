#include "FlowSheetPresenter.h"

#include "FlowPageState.h"
#include "MacAssetManagerSheet.h"
#include "MacPeoplePickerSheet.h"
#include "MacProgramDetailsSheet.h"

FlowSheetPresenter::FlowSheetPresenter(FlowPageState &state, QWidget *sheetParent)
    : QObject(sheetParent)
    , m_state(state)
    , m_parent(sheetParent)
{
    connect(&m_state, &FlowPageState::peopleEditorChanged, this, &FlowSheetPresenter::presentPeoplePicker);
    connect(&m_state, &FlowPageState::assetItemChanged, this, &FlowSheetPresenter::presentAssetManager);
    connect(&m_state, &FlowPageState::programItemChanged, this, &FlowSheetPresenter::presentProgramDetails);
    connect(&m_state, &FlowPageState::lotteryContextChanged, this,
            &FlowSheetPresenter::presentLotteryConsole);
    // An open picker follows the member list of every reload; its own choices stay.
    connect(&m_state, &FlowPageState::detailChanged, this, [this] {
        if (m_people && m_state.detail()) {
            m_people->setMembers(m_state.detail()->members);
        }
        applyRights();
    });
}

RundownItem FlowSheetPresenter::currentItem(const RundownItem &opened) const
{
    if (const auto &detail = m_state.detail()) {
        for (const RundownItem &item : detail->items) {
            if (item.id == opened.id) {
                return item;
            }
        }
    }
    return opened;
}

void FlowSheetPresenter::applyRights()
{
    // Freezing, a changed role or a changed owner reaches the open sheets at once.
    if (m_people && m_state.peopleEditor()) {
        m_people->setCanSave(m_state.canEdit(currentItem(m_state.peopleEditor()->item)));
    }
    if (m_assets && m_state.assetItem()) {
        m_assets->setCanUpload(m_state.canUpload(currentItem(*m_state.assetItem())));
    }
    if (m_program && m_state.programItem()) {
        const RundownItem item = currentItem(*m_state.programItem());
        m_program->setRights(m_state.canEdit(item), m_state.canEditScript(item));
    }
}

QCoro::Task<bool> FlowSheetPresenter::update(QPointer<FlowPageState> state, QString itemID,
                                             RundownItemPatch patch)
{
    if (!state) {
        co_return false;
    }
    auto updating = state->updateItem(std::move(itemID), std::move(patch));
    const bool stored = co_await updating;
    co_return stored;
}

QCoro::Task<> FlowSheetPresenter::reloadSilently(QPointer<FlowPageState> state)
{
    if (!state) {
        co_return;
    }
    auto reloading = state->reload(true);
    co_await reloading;
}

QString FlowSheetPresenter::inviteRole(bool owners, const RundownItem &item)
{
    if (owners) {
        return QStringLiteral("节目负责人");
    }
    return item.type == QStringLiteral("主持") ? QStringLiteral("主持人") : QStringLiteral("演员");
}

void FlowSheetPresenter::presentPeoplePicker()
{
    const auto &context = m_state.peopleEditor();
    if (!context) {
        return;
    }
    if (m_people) {
        if (m_peopleContextID == context->id()) {
            return;
        }
        m_people->close();
    }
    if (!m_parent) {
        return;
    }
    const bool owners = context->field == MacPeopleEditorContext::Field::owners;
    const RundownItem &item = context->item;
    const auto &detail = m_state.detail();
    const QString itemID = item.id;
    QPointer<FlowPageState> state(&m_state);

    MacPeoplePickerSheet::Inputs inputs;
    inputs.title = owners ? QStringLiteral("编辑节目负责人") : QStringLiteral("编辑表演者");
    inputs.members = detail ? detail->members : QList<ProjectMember>();
    inputs.currentValue = owners ? item.owner : item.performers;
    inputs.project = m_state.project();
    inputs.inviterName = detail ? detail->membership.name : QStringLiteral("导演组");
    inputs.inviteRole = inviteRole(owners, item);
    inputs.itemID = itemID;
    inputs.field = owners ? QStringLiteral("owner") : QStringLiteral("performers");
    inputs.client = &m_state.client();
    inputs.onSave = [state, itemID, owners](QString text) {
        RundownItemPatch patch;
        (owners ? patch.owner : patch.performers) = std::move(text);
        return update(state, itemID, std::move(patch));
    };

    auto *sheet = new MacPeoplePickerSheet(std::move(inputs), m_parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    const QString contextID = context->id();
    connect(sheet, &QDialog::finished, this, [this, contextID] {
        if (m_state.peopleEditor() && m_state.peopleEditor()->id() == contextID) {
            m_state.setPeopleEditor(std::nullopt);
        }
    });
    m_people = sheet;
    m_peopleContextID = contextID;
    sheet->open();
}

void FlowSheetPresenter::presentAssetManager()
{
    const auto &item = m_state.assetItem();
    if (!item) {
        return;
    }
    if (m_assets) {
        if (m_assetsItemID == item->id) {
            return;
        }
        m_assets->close();
    }
    if (!m_parent) {
        return;
    }
    QPointer<FlowPageState> state(&m_state);
    auto *sheet = new MacAssetManagerSheet(
        m_state.client(), m_state.project().id, *item, m_state.canUpload(*item),
        [state] { return reloadSilently(state); }, m_parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    const QString itemID = item->id;
    connect(sheet, &QDialog::finished, this, [this, itemID] {
        if (m_state.assetItem() && m_state.assetItem()->id == itemID) {
            m_state.setAssetItem(std::nullopt);
        }
    });
    m_assets = sheet;
    m_assetsItemID = itemID;
    sheet->open();
}

void FlowSheetPresenter::presentProgramDetails()
{
    const auto &item = m_state.programItem();
    if (!item) {
        return;
    }
    if (m_program) {
        if (m_programItemID == item->id) {
            return;
        }
        m_program->close();
    }
    if (!m_parent) {
        return;
    }
    QPointer<FlowPageState> state(&m_state);
    const QString itemID = item->id;
    auto *sheet = new MacProgramDetailsSheet(
        *item, m_state.canEdit(*item), m_state.canEditScript(*item),
        [state, itemID](RundownItemPatch patch) { return update(state, itemID, std::move(patch)); },
        m_parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this, itemID] {
        if (m_state.programItem() && m_state.programItem()->id == itemID) {
            m_state.setProgramItem(std::nullopt);
        }
    });
    m_program = sheet;
    m_programItemID = itemID;
    sheet->open();
}

void FlowSheetPresenter::presentLotteryConsole()
{
    const auto &context = m_state.lotteryContext();
    if (!context) {
        return;
    }
    if (m_lottery) {
        if (m_lotteryContextID == context->id()) {
            return;
        }
        m_lottery->close();
    }
    if (!m_parent) {
        return;
    }
    const QString contextID = context->id();
    auto *sheet = new MacLotteryConsoleSheet(m_state.project(), *context, m_state.client(), m_parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this, contextID] {
        if (m_state.lotteryContext() && m_state.lotteryContext()->id() == contextID) {
            m_state.setLotteryContext(std::nullopt);
        }
    });
    m_lottery = sheet;
    m_lotteryContextID = contextID;
    sheet->open();
}
