#include "app/ui/macro_commands.h"

#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "app/image_dio.h"
#include "app/ui/main_window.h"
#include "macro/macro_dialog_rules.h"
#include "macro/macro_list.h"
#include "macro/traffic_access.h"
#include "macro/ui/macro_dialog.h"

#include <QCoreApplication>

namespace kestrane {

namespace {

// A text of the macro tables, in the language of this run.
QString u8(const char* text) { return QCoreApplication::translate("MacroText", text); }

} // namespace

void registerMacroCommands(CommandTable& commands, TDrawWindow& window, AppCore& core, const ExternalTools& tools,
                           MacroCommandHooks hooks)
{
    if (!hooks.message)
        hooks.message = kestraneMessageBox(&window);
    if (!hooks.chooseFile)
        hooks.chooseFile = macroFileChooser(core.startDirectory());
    if (!hooks.startEditor)
        hooks.startEditor = [&tools](const std::filesystem::path& file, const std::filesystem::path& folder) {
            return tools.processes().startEditor(file, folder);
        };
    if (!hooks.runDialog)
        hooks.runDialog = [](TMacrosend& dialog) { dialog.exec(); };

    commands.add(cmd::RunMacro, [&window, &core, &tools, hooks] {
        if (core.settings().record.displayMode == DisplayMode::TimeStampedAsc) {
            hooks.message(u8(macro_text::kRefusedInTimeStamped), QMessageBox::Ok, QMessageBox::NoIcon);
            return;
        }
        TrafficBufferAccess traffic(core.traffic());
        ImageDio dio(core.dio());
        MacroDialogContext context{core.macroMemory(),
                                   core.sendState(),
                                   core.settings().record,
                                   traffic,
                                   dio,
                                   core.clock(),
                                   core.startDirectory(),
                                   [&core](int channel, std::span<const std::uint8_t> frame) {
                                       return core.transmit(channel, frame);
                                   },
                                   [&window] { window.toggleSpeed(); },
                                   hooks.message,
                                   [&tools](int page) { tools.openManualAtPage(page); },
                                   hooks.chooseFile};
        {
            TMacrosend dialog(std::move(context), &window);
            hooks.runDialog(dialog);
        }
        window.viewport()->update();  // the display is drawn anew after the dialog
    });

    commands.add(cmd::NewMacro, [&core, hooks] {
        std::error_code ec;
        const std::filesystem::path folder = core.startDirectory() / kMacroFolder;
        std::filesystem::create_directories(folder, ec);
        if (!hooks.startEditor({}, folder))
            hooks.message(u8(macro_text::kEditorMissing), QMessageBox::Ok, QMessageBox::Warning);
    });

    commands.add(cmd::EditMacro, [&window, &core, hooks] {
        const auto file = hooks.chooseFile(&window, u8(macro_text::kEditTitle));
        if (!file)
            return;
        if (!hooks.startEditor(*file, core.startDirectory()))
            hooks.message(u8(macro_text::kEditorMissing), QMessageBox::Ok, QMessageBox::Warning);
    });
}

} // namespace kestrane
