// Menu commands of the application shell: the companion programs, the manual, About.
#pragma once

class QWidget;

namespace kestrane {

class AppCore;
class CommandTable;
class ExternalTools;

// Also the sending settings that live in the shell's menu (checksum settings).
void registerShellCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools, AppCore& core);

} // namespace kestrane
