// tolvek: the checksum calculator started by the View menu's "ﾁｪｯｸｻﾑ(C)".
#include "companions/ui/companion_app.h"
#include "companions/ui/companion_windows.h"

int main(int argc, char** argv)
{
    return kestrane::runCompanion(argc, argv, "tolvek",
                                  "tolvek computes the checksums Kestrane appends to a frame (XOR or sum of the bytes, as one\nHEX byte or two ASC digits) for a text typed in its send notation; kestrane starts it from\nthe View menu.",
                                  [] { return std::make_unique<kestrane::TolvekWindow>(); });
}
