// Menu commands of the application shell: the companion programs, the manual, About.
#pragma once

#include "i18n/language.h"

#include <filesystem>

class QWidget;

namespace kestrane {

class AppCore;
class CommandTable;
class ExternalTools;

// Language / 言語: keeps `language` in `folder` and says, in both languages, that it applies at
// the next start (or why it could not be kept).
void chooseLanguage(QWidget* owner, const std::filesystem::path& folder, i18n::Language language);

// Also the sending settings that live in the shell's menu (checksum settings).
void registerShellCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools, AppCore& core);

} // namespace kestrane
