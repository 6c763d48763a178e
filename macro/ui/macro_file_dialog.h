// The file-open dialogs of the macro files: a title of the caller's, the filters
// "TxtFile(*.txt)" and "ALLFile(*)", starting in the folder macro below the start folder.
#pragma once

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace kestrane {

void setUpMacroFileDialog(QFileDialog& dialog, const QString& title, const std::filesystem::path& startDirectory);
// Runs the dialog modally; nothing when cancelled.
[[nodiscard]] std::optional<std::filesystem::path> runMacroFileDialog(QWidget* parent, const QString& title,
                                                                      const std::filesystem::path& startDirectory);

// How a macro file is picked: the real dialog, or a test's choice.
using ChooseMacroFile = std::function<std::optional<std::filesystem::path>(QWidget* parent, const QString& title)>;
[[nodiscard]] ChooseMacroFile macroFileChooser(const std::filesystem::path& startDirectory);

} // namespace kestrane
