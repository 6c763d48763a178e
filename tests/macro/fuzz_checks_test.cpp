// The macro-text check of the fuzz targets over a few thousand texts built from the language's
// own pieces and over mutations of the golden scripts, with a fixed seed (the format test
// mutates bytes; these inputs reach deep into the commands). Under the sanitizer build they
// also show that nothing reads or writes outside its buffers.
#include "fuzz/format_checks.h"
#include "macro/macro_memory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kPieces{
    "SEND ", "SED2 ", "MSED ", "MSD2 ", "READ ", "RED2 ", "ZRED ", "ZRD2 ", "TIME ", "GOTO ", "CMPM ",
    "CMPL ", "MOVE ", "MADD ", "MMID ", "MINC ", "HINC ", "CHKA ", "CHKH ", "CK1A ", "CK1H ", "PUSE ",
    "PUSM ", "BSET ", "BRST ", "BTON ", "BOFF ", "BONJ ", "BOFJ ", "ICHR ", "MCLR ",
    ":L01", ":L02", "L01", "L02", ",", "'", "\"", "\r\n", "\n", "\r", "-", "99", "00", "05", "999",
    "000", "001", "010", "-9", "X", "Y", "M", "Q", "7", "A", "FF", "'OK'", "0D0A", " ", ";",
};

std::string randomText(std::mt19937& rng)
{
    std::string text;
    const int pieces = std::uniform_int_distribution<int>(0, 400)(rng);
    std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < pieces; ++i) {
        if (rng() % 8 == 0)
            text += static_cast<char>(byte(rng));
        else if (rng() % 500 == 0)
            text += "PEND";  // rare, so that most texts run for their whole budget
        else
            text += kPieces[pick(rng)];
    }
    return text;
}

std::vector<std::string> goldenTexts()
{
    std::vector<std::string> texts;
    for (const auto& e : fs::recursive_directory_iterator(KESTRANE_MACRO_GOLDEN_DIR)) {
        if (e.path().extension() != ".mac")
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        texts.push_back(s.str().substr(0, s.str().find("=== expect ===")));
    }
    return texts;
}

std::string mutate(std::string text, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < edits; ++i) {
        const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 5) {
        case 0:
            if (!text.empty() && at < text.size())
                text[at] = static_cast<char>(rng());
            break;
        case 1: text.insert(at, kPieces[rng() % kPieces.size()]); break;
        case 2: text.erase(at, rng() % 12); break;
        case 3: text.insert(at, text.substr(0, rng() % 40)); break;
        default: text.insert(at, std::string(rng() % 300, static_cast<char>('0' + rng() % 10))); break;
        }
    }
    return text;
}

std::span<const std::uint8_t> spanOf(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(MacroFuzzChecks, RandomMacroTextsStayInBoundsAndWithinTheirBudget)
{
    std::mt19937 rng(20240611);
    for (int i = 0; i < 1500; ++i) {
        const std::string text = randomText(rng);
        ASSERT_EQ(fuzz::checkMacroText(spanOf(text)), "") << "text #" << i << ": " << text;
    }
}

TEST(MacroFuzzChecks, MutatedGoldenScriptsStayInBoundsAndWithinTheirBudget)
{
    const auto golden = goldenTexts();
    ASSERT_FALSE(golden.empty());
    std::mt19937 rng(77);
    for (int i = 0; i < 1500; ++i) {
        const std::string text = mutate(golden[rng() % golden.size()], rng);
        ASSERT_EQ(fuzz::checkMacroText(spanOf(text)), "") << "mutation #" << i << ": " << text;
    }
}

TEST(MacroFuzzChecks, TextsAtTheEdgesOfTheTextArea)
{
    for (const std::string& text : {std::string(), std::string(kMacroTextSize, 'A'),
                                    std::string(kMacroTextSize - 4, ' ') + "READ 01,001,001",
                                    std::string(kMacroTextSize + 100, ':'), std::string(kMacroTextSize - 1, ' ') + "S"})
        EXPECT_EQ(fuzz::checkMacroText(spanOf(text)), "") << text.size();
}

} // namespace
} // namespace kestrane
