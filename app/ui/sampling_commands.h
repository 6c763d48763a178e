// Menu commands of sampling and digital I/O: 37827 sampling settings (dialog 715, modal),
// 37826 sampling view (dialog 716, modeless), 37828 saving the sampled rows, 55514 the I/O
// monitor (dialog 409, modeless). 55524 and 55510 get no action, so they stay disabled.
#pragma once

#include "widgets/message_box.h"

#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace kestrane {

class AppCore;
class CommandTable;
class ExternalTools;

// What the commands ask of the user and the desktop; unset members take the real ones.
struct SamplingCommandHooks {
    // The save-file dialog of 37828; nothing when cancelled.
    std::function<std::optional<std::filesystem::path>()> askSavePath;
    MessageBoxFn message;
    std::function<void()> samplingHelp;  // help of dialogs 715 and 716
    ManualAtPage manualAtPage;           // help of dialog 409
};

void registerSamplingCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools, AppCore& core,
                              SamplingCommandHooks hooks = {});

// 37828: asks for a file and writes the rows the views have taken over, one "row,fields" line each.
void saveSamplingFile(AppCore& core, const SamplingCommandHooks& hooks);

} // namespace kestrane
