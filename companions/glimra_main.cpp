// glimra: the character code table started by the View menu's "ASCII(A)".
#include "companions/companion_app.h"
#include "companions/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "glimra", [] { return std::make_unique<kestrane::GlimraWindow>(); });
}
