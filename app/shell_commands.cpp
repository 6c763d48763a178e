#include "app/shell_commands.h"

#include "app/about_dialog.h"
#include "app/app_core.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "app/main_window.h"
#include "sending/checksum_settings_dialog.h"

namespace kestrane {

void registerShellCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools, AppCore& core)
{
    const auto companion = [owner, &tools](const char* program) {
        return [owner, &tools, program] {
            if (!tools.startCompanion(program))
                showMessage(owner, companionMissingText(program));
        };
    };
    commands.add(55511, companion(kChecksumTool));
    commands.add(55512, companion(kCharacterTableTool));
    commands.add(55513, companion(kNumberConverterTool));
    commands.add(55529, [&tools] { tools.openMainManual(); });
    commands.add(55530, [owner] {
        TAboutDialog about(owner);
        about.exec();
    });
    commands.add(37837, [owner, &core] { runChecksumSettingsDialog(core.settings().record, owner); });
}

} // namespace kestrane
