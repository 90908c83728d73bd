#include "FlowStructureCommands.h"

#include "FlowPageState.h"
#include "MacFlowHeaderCommands.h"
#include "RequestOutcome.h"
#include "api/APIClient.h"
#include "api/APIClientError.h"
#include "api/LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

namespace {

const QString spreadsheetFilter = QStringLiteral("电子表格 (*.xlsx *.csv)");
// Message boxes size themselves to their shortest line; a wider text column reads better.
const QString readableWidth =
    QStringLiteral("QLabel#qt_msgbox_label, QLabel#qt_msgbox_informativelabel { min-width: 360px; }");

QString startDirectory()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

// A window-modal question that deletes itself once closed.
QMessageBox *questionBox(QWidget *parent, const QString &objectName, const QString &title,
                         QMessageBox::Icon icon)
{
    auto *box = new QMessageBox(parent);
    box->setObjectName(objectName);
    box->setWindowTitle(title);
    box->setText(title);
    box->setIcon(icon);
    box->setStyleSheet(readableWidth);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

// The confirming button and "取消", which Return and Escape both press: a stray key cancels.
QPushButton *addChoices(QMessageBox *box, const QString &confirmText, QMessageBox::ButtonRole role,
                        const QString &confirmName, const QString &cancelName)
{
    QPushButton *confirm = box->addButton(confirmText, role);
    confirm->setObjectName(confirmName);
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(cancelName);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return confirm;
}

// A window-modal spreadsheet picker that starts in the documents folder and deletes itself once
// closed: an existing file to open, or any name to save under.
QFileDialog *spreadsheetDialog(QWidget *parent, const QString &title, const QString &objectName,
                               QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(parent, title);
    dialog->setObjectName(objectName);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilter(spreadsheetFilter);
    dialog->setDirectory(startDirectory());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

} // namespace

FlowStructureCommands::FlowStructureCommands(FlowPageState &state, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_state(state)
    , m_dialogParent(dialogParent)
{
    connect(&m_state, &FlowPageState::freezeConfirmationChanged, this, [this] {
        if (m_state.freezeConfirmation()) {
            presentFreezeConfirmation();
        }
    });
    connect(&m_state, &FlowPageState::importConfirmationChanged, this, [this] {
        if (m_state.importConfirmation()) {
            presentImportConfirmation();
        }
    });
    connect(&m_state, &FlowPageState::showingExcelImporterChanged, this, [this] {
        if (m_state.showingExcelImporter()) {
            presentImporter();
        }
    });
}

void FlowStructureCommands::placeButtons(QHBoxLayout *area)
{
    new MacFlowHeaderCommands(m_state, *this, area, this);
}

// --- Commands --------------------------------------------------------------------------------

QCoro::Task<> FlowStructureCommands::addBlankItem()
{
    if (!m_state.canManage() || m_state.flowFrozen()) {
        co_return;
    }
    m_state.setBusyItemID(QStringLiteral("new"));
    auto change = changeThenReload(m_state.client().addRundownItem(m_state.project().id), false);
    co_await change;
}

QCoro::Task<> FlowStructureCommands::toggleFreeze()
{
    QPointer<FlowPageState> state(&m_state);
    const bool frozen = !state->flowFrozen();
    auto settling = settleRequest(state->client().freezeFlow(state->project().id, frozen));
    RequestOutcome<ProjectMutationResponse> outcome = co_await settling;
    if (!state) {
        co_return;
    }
    if (!outcome.value) {
        state->setError(outcome.failure);
        co_return;
    }
    if (state->detail()) {
        // A poll sent before the switch must not bring the old state back.
        state->retireEarlierReloads();
        state->setProjectSummary(outcome.value->project);
    }
    state->setError(QString());
}

QCoro::Task<> FlowStructureCommands::previewExcel(QString path, QString pickerError)
{
    QPointer<FlowPageState> state(&m_state);
    if (path.isEmpty()) {
        state->setError(pickerError);
        co_return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        state->setError(readableFileError(QStringLiteral("无法读取文件“%1”：%2"), path, file.errorString()));
        co_return;
    }
    if (file.size() > importSizeLimit) {
        state->setError(QStringLiteral("表格文件超过 50MB，无法导入"));
        co_return;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        state->setError(readableFileError(QStringLiteral("无法读取文件“%1”：%2"), path, file.errorString()));
        co_return;
    }
    file.close();

    auto settling = settleRequest(state->client().previewRundownImport(state->project().id, content));
    RequestOutcome<RundownImportPreview> outcome = co_await settling;
    if (!state) {
        co_return;
    }
    if (!outcome.value) {
        state->setError(outcome.failure);
        co_return;
    }
    if (outcome.value->items.isEmpty()) {
        state->setError(APIClientError::server(QStringLiteral("Excel 中没有识别到节目")).description());
        co_return;
    }
    state->setImportPreview(std::move(outcome.value));
    state->setImportConfirmation(true);
    state->setError(QString());
}

QCoro::Task<> FlowStructureCommands::applyExcelImport()
{
    QPointer<FlowPageState> state(&m_state);
    if (!state->importPreview()) {
        co_return;
    }
    if (!state->canManage() || state->flowFrozen()) {
        co_return;
    }
    state->setBusyItemID(QStringLiteral("import"));
    auto change = changeThenReload(
        state->client().replaceRundown(state->project().id, state->importPreview()->items), true);
    co_await change;
}

template<typename T>
QCoro::Task<> FlowStructureCommands::changeThenReload(QCoro::Task<T> request, bool dropPreview)
{
    QPointer<FlowPageState> state(&m_state);
    auto settling = settleRequest(std::move(request));
    const RequestOutcome<T> outcome = co_await settling;
    if (!state) {
        co_return;
    }
    if (outcome.value) {
        state->retireEarlierReloads();
        auto reloading = state->reload(true);
        co_await reloading;
        if (!state) {
            co_return;
        }
    }
    state->setError(outcome.failure);
    state->setBusyItemID(std::nullopt);
    if (dropPreview) {
        state->setImportPreview(std::nullopt);
    }
}

QCoro::Task<> FlowStructureCommands::exportExcel()
{
    QPointer<FlowStructureCommands> self(this);
    QPointer<FlowPageState> state(&m_state);
    state->setBusyItemID(QStringLiteral("export"));
    auto settling = settleRequest(state->client().exportRundown(state->project().id));
    RequestOutcome<RundownExportResponse> outcome = co_await settling;
    if (!state) {
        co_return;
    }
    if (!outcome.value) {
        state->setError(outcome.failure);
        state->setBusyItemID(std::nullopt);
        co_return;
    }
    // An empty workbook is no workbook: it would only replace a good file with nothing.
    const std::optional<QByteArray> bytes = decodeBase64Strict(outcome.value->contentBase64);
    if (!bytes || bytes->isEmpty()) {
        state->setError(APIClientError::invalidResponse().description());
        state->setBusyItemID(std::nullopt);
        co_return;
    }
    if (!self || !m_dialogParent) {
        state->setBusyItemID(std::nullopt);
        co_return;
    }
    presentSaveDialog(proposedFileName(outcome.value->filename), *bytes);
}

// --- Helpers ---------------------------------------------------------------------------------

QString FlowStructureCommands::importMessage(const RundownImportPreview &preview)
{
    const QString types = preview.legacyTypes.isEmpty()
                              ? QStringLiteral("节目类型均为标准类型。")
                              : QStringLiteral("旧类型待人工映射：") +
                                    preview.legacyTypes.join(QStringLiteral("、")) + QStringLiteral("。");
    return QStringLiteral("识别到 ") + QString::number(preview.items.size()) + QStringLiteral(" 个节目、") +
           QString::number(preview.people.size()) + QStringLiteral(" 位人员，工作表“") +
           preview.selectedSheetName + QStringLiteral("”。") + QString::number(preview.timeConflictCount) +
           QStringLiteral(" 处时间需确认。") + types + QStringLiteral("导入成功后将整体替换当前节目流程。");
}

std::optional<QByteArray> FlowStructureCommands::decodeBase64Strict(const QString &text)
{
    const qsizetype n = text.size();
    if (n % 4 != 0) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool alphabet = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                              (c >= u'0' && c <= u'9') || c == u'+' || c == u'/';
        // Padding only closes the text: "x=" or "==" at the very end.
        const bool padding = c == u'=' && (i == n - 1 || (i == n - 2 && text.at(n - 1) == u'='));
        if (!alphabet && !padding) {
            return std::nullopt;
        }
    }
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return decoded.decoded;
}

QString FlowStructureCommands::proposedFileName(const QString &filename)
{
    QString name;
    for (QChar c : filename) {
        if (c == u'/' || c == u'\\') {
            name.append(u'_');
        } else if (c.unicode() >= 0x20 && c.unicode() != 0x7F) {
            name.append(c);
        }
    }
    name = name.trimmed();
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..")) {
        return QStringLiteral("节目单.xlsx");
    }
    return name;
}

QString FlowStructureCommands::writeAtomically(const QString &path, const QByteArray &bytes)
{
    try {
        // Readable and writable as any new document is, less the umask.
        replaceFile(path, bytes,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther,
                    ReadOnlyFile::Refuse);
        return {};
    } catch (const FileError &error) {
        return error.description();
    }
}

// --- Dialogs ---------------------------------------------------------------------------------

void FlowStructureCommands::presentFreezeConfirmation()
{
    if (m_freezeBox || !m_dialogParent) {
        return;
    }
    const bool frozen = m_state.flowFrozen();
    const QString title = frozen ? QStringLiteral("确认解冻流程表？") : QStringLiteral("确认冻结流程表？");
    auto *box = questionBox(m_dialogParent, QStringLiteral("freezeConfirmationDialog"), title,
                            frozen ? QMessageBox::Question : QMessageBox::Warning);
    box->setInformativeText(
        frozen
            ? QStringLiteral("解冻后成员可按原有权限继续修改流程。")
            : QStringLiteral(
                  "冻结后任何人不能修改节目内容、人员、素材和顺序；任务仍可继续处置，只有总导演可以解冻。"));
    QPushButton *confirm =
        addChoices(box, frozen ? QStringLiteral("解冻流程表") : QStringLiteral("冻结流程表"),
                   frozen ? QMessageBox::AcceptRole : QMessageBox::DestructiveRole,
                   QStringLiteral("freezeConfirmButton"), QStringLiteral("freezeCancelButton"));
    connect(box, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton *button) {
        m_state.setFreezeConfirmation(false);
        if (button == confirm) {
            toggleFreeze();
        }
    });
    connect(box, &QDialog::finished, this, [this] { m_state.setFreezeConfirmation(false); });
    m_freezeBox = box;
    box->open();
}

void FlowStructureCommands::presentImportConfirmation()
{
    if (m_importBox || !m_dialogParent) {
        return;
    }
    const QString title = QStringLiteral("确认用 Excel 覆盖当前流程？");
    auto *box =
        questionBox(m_dialogParent, QStringLiteral("importConfirmationDialog"), title, QMessageBox::Warning);
    if (const auto &preview = m_state.importPreview()) {
        box->setInformativeText(importMessage(*preview));
    }
    QPushButton *confirm =
        addChoices(box, QStringLiteral("覆盖当前流程"), QMessageBox::DestructiveRole,
                   QStringLiteral("importOverwriteButton"), QStringLiteral("importCancelButton"));
    connect(box, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton *button) {
        m_state.setImportConfirmation(false);
        if (button == confirm) {
            applyExcelImport();
        } else {
            m_state.setImportPreview(std::nullopt);
        }
    });
    connect(box, &QDialog::finished, this, [this] { m_state.setImportConfirmation(false); });
    m_importBox = box;
    box->open();
}

void FlowStructureCommands::presentImporter()
{
    if (m_importer || !m_dialogParent) {
        return;
    }
    auto *picker = spreadsheetDialog(m_dialogParent, QStringLiteral("导入 Excel"),
                                     QStringLiteral("excelImportPicker"), QFileDialog::AcceptOpen);
    connect(picker, &QDialog::finished, this, [this, picker](int result) {
        m_state.setShowingExcelImporter(false);
        const QStringList files = picker->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty()) {
            previewExcel(files.first());
        }
    });
    m_importer = picker;
    picker->open();
}

void FlowStructureCommands::presentSaveDialog(const QString &filename, const QByteArray &bytes)
{
    auto *dialog = spreadsheetDialog(m_dialogParent, QStringLiteral("导出 Excel"),
                                     QStringLiteral("exportSaveDialog"), QFileDialog::AcceptSave);
    const QString suffix = QFileInfo(filename).suffix();
    dialog->setDefaultSuffix(suffix.isEmpty() ? QStringLiteral("xlsx") : suffix);
    dialog->selectFile(filename);
    connect(dialog, &QDialog::finished, this, [this, dialog, bytes](int result) {
        const QStringList files = dialog->selectedFiles();
        // Cancelling writes nothing and leaves the error text as it was.
        if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty()) {
            m_state.setError(writeAtomically(files.first(), bytes));
        }
        m_state.setBusyItemID(std::nullopt);
    });
    m_saveDialog = dialog;
    dialog->open();
}
