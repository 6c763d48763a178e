// dornex: the number converter started by the View menu's "数値変換(&I)".
#include "companions/ui/companion_app.h"
#include "companions/ui/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "dornex",
                                  "dornex converts a number between decimal, hex, binary and octal for a chosen integer\nwidth, signed or not; kestrane starts it from the View menu.",
                                  [] { return std::make_unique<kestrane::DornexWindow>(); });
}
