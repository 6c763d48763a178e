// Menu commands of the application shell: the companion programs, the manual, About.
#pragma once

class QWidget;

namespace kestrane {

class CommandTable;
class ExternalTools;

void registerShellCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools);

} // namespace kestrane
