#pragma once

#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Edits one rundown item's name, program type and host's script together. The sheet never calls
// the service: it hands one patch to its save handler and closes when the handler answers true.
// Open it with open().
class MacProgramDetailsSheet : public QDialog
{
    Q_OBJECT

public:
    // Stores the patch; true when stored. It must not depend on the handler object staying alive
    // after it returns the task: the sheet may close while the save runs.
    using SaveHandler = std::function<QCoro::Task<bool>(RundownItemPatch)>;

    MacProgramDetailsSheet(RundownItem item, bool canEditDetails, bool canEditScript, SaveHandler onSave,
                           QWidget *parent = nullptr);

    // The picker's options: the standard types, after the item's own type when that is not one.
    static QStringList typeOptions(const QString &itemType);
    // "稍后设置" for the empty type, a standard type as it is, any other marked for mapping.
    static QString typeOptionText(const QString &option);
    // Only the fields the user may change, whether or not they changed.
    static RundownItemPatch patch(const QString &title, const QString &type, const QString &script,
                                  bool canEditDetails, bool canEditScript);

    bool isSaving() const { return m_saving; }
    // The page's rules as they are now (the rundown froze, the role changed). The edits stay; one
    // that can no longer be saved is named as such and left out of the save, which then needs
    // another edit to be worth it.
    void setRights(bool canEditDetails, bool canEditScript);

private:
    void save();
    void updateControls();
    // The fields typed into that the rights as they are now no longer let this sheet save.
    QStringList unsavableEdits() const;
    bool titleEdited() const;
    bool typeEdited() const;
    bool scriptEdited() const;
    bool canSave() const;

    RundownItem m_item;
    bool m_canEditDetails;
    bool m_canEditScript;
    SaveHandler m_onSave;
    bool m_saving = false;

    QLineEdit *m_title = nullptr;
    QComboBox *m_type = nullptr;
    QPlainTextEdit *m_script = nullptr;
    QLabel *m_unsavable = nullptr;
    QPushButton *m_save = nullptr;
    // What the fields started from, as the fields hold it.
    QString m_startTitle;
    QString m_startType;
    QString m_startScript;
};
