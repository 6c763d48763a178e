#include "app/ui/shell_commands.h"

#include "app/command_ids.h"
#include "app/ui/about_dialog.h"
#include "app/app_core.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "app/language_file.h"
#include "app/ui/main_window.h"
#include "sending/ui/checksum_settings_dialog.h"

namespace kestrane {

void chooseLanguage(QWidget* owner, const std::filesystem::path& folder, i18n::Language language)
{
    const FileWriteResult written = saveLanguage(folder, language);
    if (!written) {
        showMessage(owner, withSystemReason(QStringLiteral("language.confを書き込めませんでした。\n"
                                                           "language.conf could not be written."),
                                            written.systemError),
                    QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    if (language != i18n::currentLanguage())
        showMessage(owner, QStringLiteral("次回の起動から%1で表示します。\nThe window will be in %2 from the next start.")
                               .arg(language == i18n::Language::English ? QStringLiteral("英語") : QStringLiteral("日本語"),
                                    language == i18n::Language::English ? QStringLiteral("English")
                                                                        : QStringLiteral("Japanese")));
}

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
    // Language / 言語: kept in the start folder's language.conf and applied at the next start
    // (every text of the window is made once, in the language chosen at the start). The check
    // mark shows the language the next start will speak.
    for (const auto& [id, language] : {std::pair{cmd::LanguageJapanese, i18n::Language::Japanese},
                                       std::pair{cmd::LanguageEnglish, i18n::Language::English}}) {
        const i18n::Language chosen = language;
        commands.add(id, [owner, &core, chosen] { chooseLanguage(owner, core.startDirectory(), chosen); },
                     [] { return true; });
        commands.setCheck(id, [&core, chosen] {
            return loadLanguage(core.startDirectory()).value_or(i18n::currentLanguage()) == chosen;
        });
    }
    commands.add(cmd::ChecksumSettings, [owner, &core] { runChecksumSettingsDialog(core.settings().record, owner); });
}

} // namespace kestrane
