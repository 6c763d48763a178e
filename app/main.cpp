// Program entry: reads the start-up size, builds the application and runs it.
#include "app/app_core.h"
#include "app/draw_app.h"

#include <QApplication>

#include <filesystem>

int main(int argc, char* argv[])
{
    kestrane::AppCore core(std::filesystem::current_path());
    core.loadStartupSize();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setQuitOnLastWindowClosed(true);

    kestrane::TDrawApp app(core);
    return app.run();
}
