#include "app/ui/shell_commands.h"

#include "app/command_ids.h"
#include "app/ui/about_dialog.h"
#include "app/app_core.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "app/ui/main_window.h"
#include "sending/ui/checksum_settings_dialog.h"

namespace kestrane {

void registerShellCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools, AppCore& core)
{
    const auto companion = [owner, &tools](const char* program) {
        return [owner, &tools, program] {
            if (!tools.startCompanion(program))
                showMessage(owner, companionMissingText(program));
        };
    };
    commands.add(cmd::ChecksumTool, companion(kChecksumTool));
    commands.add(cmd::CharacterTableTool, companion(kCharacterTableTool));
    commands.add(cmd::NumberConverterTool, companion(kNumberConverterTool));
    commands.add(cmd::Help, [&tools] { tools.openMainManual(); });
    commands.add(cmd::About, [owner] {
        TAboutDialog about(owner);
        about.exec();
    });
    commands.add(cmd::ChecksumSettings, [owner, &core] { runChecksumSettingsDialog(core.settings().record, owner); });
}

} // namespace kestrane
