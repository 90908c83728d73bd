#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>
#include <QSet>

#include <functional>

class APIClient;
class QHBoxLayout;
class QLineEdit;
class QListView;
class QPushButton;
class QScrollArea;
class PeoplePickerModel;

// Sets one names field of one rundown item (its performers or its owner) by ticking members,
// removing chosen names, or inviting someone new. Never calls the service itself: the finished
// names text goes to the save handler. Open it with open().
class MacPeoplePickerSheet : public QDialog
{
    Q_OBJECT

public:
    // Stores the names text; true when stored. It must not depend on the handler object staying
    // alive after it returns the task: the sheet may close while the save runs.
    using SaveHandler = std::function<QCoro::Task<bool>(QString)>;

    // Made field by field: MacPeoplePickerSheet({.title = t, .members = m, ...}).
    struct Inputs
    {
        QString title;
        QList<ProjectMember> members;
        QString currentValue;
        ProjectSummary project;
        QString inviterName;
        QString inviteRole;
        QString itemID;
        QString field; // "performers" or "owner"
        SaveHandler onSave;
        APIClient *client = nullptr; // for the invitation sheet; nullptr: APIClient::shared()
    };

    explicit MacPeoplePickerSheet(Inputs inputs, QWidget *parent = nullptr);
    ~MacPeoplePickerSheet() override;

    // The page's newer member list; the selection, the search text and the flags stay.
    void setMembers(QList<ProjectMember> members);
    // Whether the page still lets this field be edited (it may freeze while the sheet is open).
    void setCanSave(bool canSave);

    // The names rule: split at 、，,&＆/+;； and line feeds, trimmed, empty parts dropped.
    static QStringList people(const QString &text);
    // Sorted by Unicode scalar values of the NFC forms, as every place shows and saves them.
    static QStringList sortedNames(const QSet<QString> &names);
    static QString joinedNames(const QSet<QString> &names);
    // Members whose name, role and detail, joined without a separator, contain the query.
    static QList<ProjectMember> visibleMembers(const QList<ProjectMember> &members, const QString &query);

    const QSet<QString> &selection() const { return m_selection; }
    bool isSaving() const { return m_saving; }
    bool isShowingInvite() const { return m_showingInvite; }
    void toggle(const QString &name);
    // What the invitation sheet reports: the invited name is chosen and saved at once; the
    // save's answer is not used.
    QCoro::Task<> invited(QString name)
    {
        return saveInvited(QPointer<MacPeoplePickerSheet>(this), std::move(name));
    }

private:
    static QCoro::Task<> saveInvited(QPointer<MacPeoplePickerSheet> self, QString name);
    void save();
    void invite();
    void selectionChanged();
    void refreshList();
    void rebuildChips();
    void updateControls();

    Inputs m_inputs;
    QSet<QString> m_selection;
    QString m_query;
    bool m_saving = false;
    bool m_canSave = true;
    bool m_showingInvite = false;

    QLineEdit *m_search = nullptr;
    QScrollArea *m_chipScroll = nullptr;
    QWidget *m_chips = nullptr;
    QHBoxLayout *m_chipLayout = nullptr;
    QListView *m_list = nullptr;
    PeoplePickerModel *m_model = nullptr;
    QPushButton *m_save = nullptr;
};
