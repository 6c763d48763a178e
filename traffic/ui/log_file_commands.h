// The windows of the log commands: the open and save dialogs of the log files, the ask-to-save
// question and the cannot-open message, installed into the hooks of LogCommands.
#pragma once

#include "widgets/message_box.h"
#include "traffic/log_commands.h"

#include <QMessageBox>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace kestrane {

enum class LogFileDialogKind { Open, Save };

// Title "ログファイルの読出" / "ログファイルの書込" and the filter "ﾛｸﾞﾌｧｲﾙ(*.LOG)", which also
// lists *.log: the dialog's own file list compares names without regard to case. Open starts in
// the folder `start`, Save proposes the file `start`.
void setUpLogFileDialog(QFileDialog& dialog, LogFileDialogKind kind, const std::filesystem::path& start);
// Runs the dialog modally; nothing when cancelled.
[[nodiscard]] std::optional<std::filesystem::path> runLogFileDialog(QWidget* parent, LogFileDialogKind kind,
                                                                    const std::filesystem::path& start);

// "保存しますか?" with Yes, No, Cancel and the question icon.
[[nodiscard]] SaveAnswer askSaveQuestion(const MessageBoxFn& message);

// Fills every hook of `commands` with the dialogs above (owned by `parent`) and `message`.
void installLogFileDialogs(LogCommands& commands, QWidget* parent, MessageBoxFn message);

[[nodiscard]] QString pathToQString(const std::filesystem::path& path);
[[nodiscard]] std::filesystem::path qStringToPath(const QString& path);

} // namespace kestrane
