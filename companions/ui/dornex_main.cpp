// dornex: the number converter started by the View menu's "数値変換(&I)".
#include "companions/ui/companion_app.h"
#include "companions/ui/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "dornex", [] { return std::make_unique<kestrane::DornexWindow>(); });
}
