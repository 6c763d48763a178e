// Program entry: reads the command line, the start-up size, builds the application and runs it.
#include "app/app_core.h"
#include "app/program_options.h"
#include "app/ui/draw_app.h"
#include "widgets/qt_japanese.h"

#include <QApplication>

#include <cstdio>
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

    kestrane::AppCore core(std::filesystem::current_path());
    core.loadStartupSize();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setQuitOnLastWindowClosed(true);
    kestrane::installQtJapanese(qapp);

    // SIGTERM, SIGINT and SIGHUP close the main window as the close command does, so the
    // settings are written and the ports closed; before the frame exists they end the start-up
    // (before this point their default action ends the program).
    kestrane::TDrawApp app(core);
    app.closeOnSignals();
    return app.run();  // the splash and the start-up steps, then the message loop
}
