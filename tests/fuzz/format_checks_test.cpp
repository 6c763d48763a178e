#include "fuzz/format_checks.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace kestrane::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> keptInputs(const std::string& format)
{
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(KESTRANE_FUZZ_DIR) / kind / format;
        if (!fs::is_directory(dir))
            continue;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file())
                files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FormatCheckTest : public ::testing::TestWithParam<FormatCheck> {};

// Every kept input (the seeds and every finding of the fuzzers) passes its check.
TEST_P(FormatCheckTest, KeptInputsPass)
{
    const auto files = keptInputs(GetParam().name);
    EXPECT_FALSE(files.empty()) << "no seed inputs for " << GetParam().name;
    for (const auto& file : files) {
        const auto bytes = test::readFileBytes(file);
        EXPECT_EQ(GetParam().check(bytes), "") << file;
    }
}

// Random inputs and mutations of the kept ones, from a fixed seed: a short fuzz run in every build.
TEST_P(FormatCheckTest, RandomAndMutatedInputsPass)
{
    std::mt19937 rng(20261207);
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const auto& file : keptInputs(GetParam().name))
        seeds.push_back(test::readFileBytes(file));
    seeds.emplace_back();

    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 1500; ++round) {
        std::vector<std::uint8_t> input = seeds[pick(seeds.size())];
        const int edits = 1 + static_cast<int>(pick(8));
        for (int e = 0; e < edits; ++e) {
            switch (pick(4)) {
            case 0:  // flip a byte
                if (!input.empty())
                    input[pick(input.size())] = static_cast<std::uint8_t>(rng());
                break;
            case 1:  // cut
                input.resize(input.empty() ? 0 : pick(input.size() + 1));
                break;
            case 2:  // grow with random or notation-like bytes
                for (std::size_t k = pick(64); k > 0; --k)
                    input.push_back(static_cast<std::uint8_t>((rng() & 1) ? rng() : "0123456789ABCDEFabcdef\"' =#\n"[pick(29)]));
                break;
            default:  // a field set to an extreme value
                if (input.size() >= 4) {
                    const std::size_t at = pick(input.size() - 3);
                    const std::uint32_t v = (rng() & 1) ? 0x80000000u : 0x7FFFFFFFu;
                    for (int b = 0; b < 4; ++b)
                        input[at + b] = static_cast<std::uint8_t>(v >> (8 * b));
                }
                break;
            }
        }
        const std::string failure = GetParam().check(input);
        ASSERT_EQ(failure, "") << "round " << round << ", " << input.size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatCheckTest, ::testing::ValuesIn(formatChecks().begin(), formatChecks().end()),
                         [](const ::testing::TestParamInfo<FormatCheck>& p) { return std::string(p.param.name); });

} // namespace
} // namespace kestrane::fuzz
