// tolvek: the checksum calculator started by the View menu's "ﾁｪｯｸｻﾑ(C)".
#include "companions/ui/companion_app.h"
#include "companions/ui/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "tolvek", [] { return std::make_unique<kestrane::TolvekWindow>(); });
}
