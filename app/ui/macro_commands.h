// The macro commands of the main window: 55518 runs the macro dialog 704, 55526 and 55527
// start the text editor on a new or a chosen macro file in the macro folder.
#pragma once

#include "macro/ui/macro_file_dialog.h"
#include "widgets/message_box.h"

#include <filesystem>
#include <functional>

namespace kestrane {

class AppCore;
class CommandTable;
class ExternalTools;
class TDrawWindow;
class TMacrosend;

// What the commands do through windows and other programs; unset members get the real ones.
struct MacroCommandHooks {
    MessageBoxFn message;
    ChooseMacroFile chooseFile;
    // Starts the text editor on `file` (none: a new file) in `folder`; false when none starts.
    std::function<bool(const std::filesystem::path& file, const std::filesystem::path& folder)> startEditor;
    // Runs the dialog until it closes (the real one: exec()).
    std::function<void(TMacrosend& dialog)> runDialog;
};

// Adds the rows 55518 (enabled outside the line-monitor modes), 55526 and 55527.
void registerMacroCommands(CommandTable& commands, TDrawWindow& window, AppCore& core, const ExternalTools& tools,
                           MacroCommandHooks hooks = {});

} // namespace kestrane
