// glimra: the character code table started by the View menu's "ASCII(A)".
#include "companions/ui/companion_app.h"
#include "companions/ui/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "glimra", [] { return std::make_unique<kestrane::GlimraWindow>(); });
}
