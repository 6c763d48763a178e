// glimra: the character code table started by the View menu's "ASCII(A)".
#include "companions/ui/companion_app.h"
#include "companions/ui/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "glimra",
                                  "glimra shows the code page 932 (Shift-JIS) character table, one lead byte at a time, and\ncopies the hex code of a clicked character; kestrane starts it from the View menu.",
                                  [] { return std::make_unique<kestrane::GlimraWindow>(); });
}
