// One libFuzzer target per input format, chosen at build time by KESTRANE_FUZZ_FORMAT. A broken
// rule prints its description and aborts, so libFuzzer keeps the input as a finding.
#include "fuzz/format_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kestrane::fuzz::CheckFn check = kestrane::fuzz::findCheck(KESTRANE_FUZZ_FORMAT);
    if (check == nullptr)
        std::abort();
    const std::string failure = check(kestrane::fuzz::Bytes(data, size));
    if (!failure.empty()) {
        std::fprintf(stderr, "%s: %s\n", KESTRANE_FUZZ_FORMAT, failure.c_str());
        std::abort();
    }
    return 0;
}
