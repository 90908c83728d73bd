#pragma once

#include "MacAssetManagerSheet.h"
#include "MacPeoplePickerSheet.h"
#include "MacProgramDetailsSheet.h"
#include "lottery/MacLotteryConsoleSheet.h"
#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

class FlowPageState;

// Presents the people picker, the asset manager, the program details sheet and the lottery console
// while their page-state subjects are set, and clears each subject when its sheet closes.
class FlowSheetPresenter : public QObject
{
    Q_OBJECT

public:
    FlowSheetPresenter(FlowPageState &state, QWidget *sheetParent);

    // The role preset for someone invited into the owner (owners) or performers field.
    static QString inviteRole(bool owners, const RundownItem &item);

    MacPeoplePickerSheet *peoplePicker() const { return m_people; }
    MacAssetManagerSheet *assetManager() const { return m_assets; }
    MacProgramDetailsSheet *programDetails() const { return m_program; }
    MacLotteryConsoleSheet *lotteryConsole() const { return m_lottery; }

private:
    // The sheets' handlers call these with a guarded state: a closed page is never touched.
    static QCoro::Task<bool> update(QPointer<FlowPageState> state, QString itemID, RundownItemPatch patch);
    static QCoro::Task<> reloadSilently(QPointer<FlowPageState> state);

    // The rundown's copy of an open sheet's item, for the rules; the opened copy when it is gone.
    RundownItem currentItem(const RundownItem &opened) const;
    void applyRights();
    void presentPeoplePicker();
    void presentAssetManager();
    void presentProgramDetails();
    void presentLotteryConsole();

    FlowPageState &m_state;
    QPointer<QWidget> m_parent;
    QPointer<MacPeoplePickerSheet> m_people;
    QString m_peopleContextID;
    QPointer<MacAssetManagerSheet> m_assets;
    QString m_assetsItemID;
    QPointer<MacProgramDetailsSheet> m_program;
    QString m_programItemID;
    QPointer<MacLotteryConsoleSheet> m_lottery;
    QString m_lotteryContextID;
};
