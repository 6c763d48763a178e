// Program entry: reads the command line, the start-up size, builds the application and runs it.
#include "app/app_core.h"
#include "app/program_options.h"
#include "app/ui/draw_app.h"
#include "app/language_file.h"
#include "widgets/language.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char* argv[])
{
    // Options that only print answer before any window or file.
    const kestrane::ProgramOptions options = kestrane::parseProgramOptions(argc, argv);
    switch (options.action) {
    case kestrane::ProgramOptions::Action::Help:
        std::fputs(kestrane::programHelp(), stdout);
        return 0;
    case kestrane::ProgramOptions::Action::Version:
        std::printf("%s\n", kestrane::programVersion().c_str());
        return 0;
    case kestrane::ProgramOptions::Action::Mistake:
        std::fprintf(stderr, "kestrane: %s\n%s\n", options.mistake.c_str(), kestrane::programUsage());
        return 2;
    case kestrane::ProgramOptions::Action::Run:
        break;
    }

    const std::filesystem::path folder = options.folder ? std::filesystem::absolute(*options.folder)
                                                        : std::filesystem::current_path();
    if (!std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "kestrane: --folder %s is not a folder\n%s\n", folder.c_str(), kestrane::programUsage());
        return 2;
    }
    // Everything the program opens by a relative name (dialogs, companions, the editor) is
    // relative to the folder it works in.
    std::error_code moved;
    std::filesystem::current_path(folder, moved);
    kestrane::AppCore core(folder);
    core.loadStartupSize();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setQuitOnLastWindowClosed(true);
    // The language: --lang, else KESTRANE_LANG, else the choice kept in the folder; Japanese
    // by default, never the desktop's locale. Set before any text is made.
    const kestrane::i18n::Language language =
        kestrane::i18n::chooseLanguage(options.language, std::getenv("KESTRANE_LANG"), kestrane::loadLanguage(folder));
    kestrane::installLanguage(qapp, language);
    // The companions the menu starts speak the same language.
    ::setenv("KESTRANE_LANG", kestrane::i18n::languageCode(language), 1);

    // SIGTERM, SIGINT and SIGHUP close the main window as the close command does, so the
    // settings are written and the ports closed; before the frame exists they end the start-up
    // (before this point their default action ends the program).
    kestrane::TDrawApp app(core);
    app.closeOnSignals();
    return app.run();  // the splash and the start-up steps, then the message loop
}
