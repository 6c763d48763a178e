#include "traffic/ui/log_file_commands.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>

#include <utility>

namespace kestrane {

namespace {

const QString kLogFilter = QCoreApplication::translate("LogFileCommands", "ﾛｸﾞﾌｧｲﾙ(*.LOG)");

} // namespace

QString pathToQString(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

std::filesystem::path qStringToPath(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }

void setUpLogFileDialog(QFileDialog& dialog, LogFileDialogKind kind, const std::filesystem::path& start)
{
    // Qt's own dialog everywhere: its file list matches *.LOG against names without regard to
    // case, which a platform dialog on Linux may not do.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilter(kLogFilter);
    if (kind == LogFileDialogKind::Open) {
        dialog.setWindowTitle(QCoreApplication::translate("LogFileCommands", "ログファイルの読出"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setDirectory(pathToQString(start));
    } else {
        dialog.setWindowTitle(QCoreApplication::translate("LogFileCommands", "ログファイルの書込"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("log"));
        dialog.setDirectory(pathToQString(start.parent_path()));
        dialog.selectFile(pathToQString(start.filename()));
    }
}

std::optional<std::filesystem::path> runLogFileDialog(QWidget* parent, LogFileDialogKind kind,
                                                      const std::filesystem::path& start)
{
    QFileDialog dialog(parent);
    setUpLogFileDialog(dialog, kind, start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return qStringToPath(dialog.selectedFiles().first());
}

SaveAnswer askSaveQuestion(const MessageBoxFn& message)
{
    switch (message(QCoreApplication::translate("LogFileCommands", "保存しますか?"), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    QMessageBox::Question)) {
    case QMessageBox::Yes:
        return SaveAnswer::Yes;
    case QMessageBox::No:
        return SaveAnswer::No;
    default:
        return SaveAnswer::Cancel;  // also a box closed without a button
    }
}

void installLogFileDialogs(LogCommands& commands, QWidget* parent, MessageBoxFn message)
{
    commands.askSave = [message] { return askSaveQuestion(message); };
    commands.chooseOpenFile = [parent](const std::filesystem::path& folder) {
        return runLogFileDialog(parent, LogFileDialogKind::Open, folder);
    };
    commands.chooseSaveFile = [parent](const std::filesystem::path& proposed) {
        return runLogFileDialog(parent, LogFileDialogKind::Save, proposed);
    };
    commands.reportCannotOpen = [message = std::move(message)](int systemError) {
        message(withSystemReason(QCoreApplication::translate("LogFileCommands", "ﾌｧｲﾙが開けません"), systemError), QMessageBox::Ok, QMessageBox::Warning);
    };
}

} // namespace kestrane
