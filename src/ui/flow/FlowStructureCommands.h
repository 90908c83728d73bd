#pragma once

#include "models/Envelopes.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class FlowPageState;
class QHBoxLayout;

// The rundown's structure commands (add a blank item, freeze, spreadsheet import and export) and
// the dialogs they open: the freeze and overwrite confirmations, the spreadsheet picker and the
// save dialog. It presents each dialog when its page-state value is set and clears the value
// when the dialog closes. No command throws: every failure ends in the page's error text.
class FlowStructureCommands : public QObject
{
    Q_OBJECT

public:
    // Files larger than this are refused before they are read into memory.
    static constexpr qint64 importSizeLimit = 50 * 1024 * 1024;

    FlowStructureCommands(FlowPageState &state, QWidget *dialogParent);

    // Puts the header's buttons for these commands (and the freeze switch) into `area`.
    void placeButtons(QHBoxLayout *area);

    QCoro::Task<> addBlankItem();
    QCoro::Task<> toggleFreeze();
    // The picked file's path; an empty path is the picker's failure `pickerError`.
    QCoro::Task<> previewExcel(QString path, QString pickerError = {});
    QCoro::Task<> applyExcelImport();
    // Fetches the workbook and asks where to save it; the busy marker stays until the save
    // dialog has closed and the file is written.
    QCoro::Task<> exportExcel();

    // The overwrite dialog's paragraph for a preview.
    static QString importMessage(const RundownImportPreview &preview);
    // Standard Base64 with padding and nothing else, not even line breaks; nullopt otherwise.
    static std::optional<QByteArray> decodeBase64Strict(const QString &text);
    // The service's proposed name reduced to a plain file name.
    static QString proposedFileName(const QString &filename);
    // Writes all bytes or nothing: an existing file stays untouched on failure, a read-only one is
    // refused, and a symbolic link at the name is replaced, never followed. The error text, or
    // empty on success.
    static QString writeAtomically(const QString &path, const QByteArray &bytes);

    QFileDialog *saveDialog() const { return m_saveDialog; }

private:
    // Sends a change, reloads the rundown once it is accepted, then clears the busy marker (and
    // the import preview when `dropPreview`); a refused change ends in the page's error.
    template<typename T>
    QCoro::Task<> changeThenReload(QCoro::Task<T> request, bool dropPreview);

    void presentFreezeConfirmation();
    void presentImportConfirmation();
    void presentImporter();
    void presentSaveDialog(const QString &filename, const QByteArray &bytes);

    FlowPageState &m_state;
    QPointer<QWidget> m_dialogParent;
    QPointer<QMessageBox> m_freezeBox;
    QPointer<QMessageBox> m_importBox;
    QPointer<QFileDialog> m_importer;
    QPointer<QFileDialog> m_saveDialog;
};
