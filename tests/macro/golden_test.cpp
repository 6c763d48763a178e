// Golden macro scripts: each file under golden/<feature>/ holds a macro text, a line
// "=== expect ===", and below it the far ends, presses and inputs of the run and the outcome it
// must reach. The macro part is stored with LF endings and run with CR LF (as the macro files
// of this program are written) unless the script says "lf-endings".
//
// Directives (times in ms after the start, <bytes> in the hex send notation, optionally "*N"
// repeated N times):
//   tick <ms> | budget <ticks> | lf-endings | setting lowercase|showsent|method <n>
//   receive <ch> at <ms> <bytes> | reply <ch> after <ms> <bytes> | press <n> at <ms>
//   input at <ms> <text1>|<text2> | xbit <port> <bit> <0|1> at <ms> | stop at <ms>
//   fail <ch> <code> | preset reg <NN> = <bytes> | preset x|y|m <byte> = <hex>
// Expectations:
//   expect finished|running | expect status <n> | expect counter <8 digits> | expect line <n>
//   expect reg <NN> = <bytes> | expect reg <NN> length <n> | expect sent <ch> = <bytes>
//   expect frames <ch> <n> | expect failures <n> | expect x|y|m <byte> = <hex>
//   expect ticks|elapsed <=|>= <n> | expect notice <text> | expect no-notice
//   expect button <n> | expect trail <status...>
#include "macro/macro_sim.h"
#include "notation/hex_notation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = KESTRANE_MACRO_GOLDEN_DIR;

std::vector<fs::path> goldenFiles()
{
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(kGoldenDir))
        if (e.is_regular_file() && e.path().extension() == ".mac")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string readText(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string trim(std::string s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Bytes in the hex send notation, with an optional trailing "*N" (the whole repeated N times).
std::vector<std::uint8_t> bytesOf(std::string text)
{
    text = trim(text);
    int repeat = 1;
    if (const auto star = text.rfind(" *"); star != std::string::npos) {
        repeat = std::stoi(text.substr(star + 2));
        text = trim(text.substr(0, star));
    }
    std::vector<std::uint8_t> one;
    decodeHexNotation(text, [&one](std::uint8_t b) {
        one.push_back(b);
        return true;
    });
    std::vector<std::uint8_t> out;
    for (int i = 0; i < repeat; ++i)
        out.insert(out.end(), one.begin(), one.end());
    return out;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes)
{
    std::string s;
    char buf[4];
    for (auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

std::string nameOf(const fs::path& p)
{
    std::string s = fs::relative(p, kGoldenDir).replace_extension().string();
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return s;
}

class GoldenMacro : public ::testing::TestWithParam<fs::path> {};

TEST_P(GoldenMacro, ReachesItsExpectedOutcome)
{
    const std::string file = readText(GetParam());
    const std::string marker = "=== expect ===\n";
    const auto split = file.find(marker);
    ASSERT_NE(split, std::string::npos) << "no expect block";
    std::string text = file.substr(0, split);
    std::istringstream directives(file.substr(split + marker.size()));

    MacroSimulation sim;
    std::int64_t budget = 500;
    bool lfEndings = false;
    std::vector<std::string> expectations;
    std::string line;
    while (std::getline(directives, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "expect") {
            expectations.push_back(line.substr(7));
        } else if (word == "tick") {
            in >> sim.tickMs;
        } else if (word == "budget") {
            in >> budget;
        } else if (word == "lf-endings") {
            lfEndings = true;
        } else if (word == "setting") {
            std::string what;
            int value = 0;
            in >> what >> value;
            if (what == "lowercase")
                sim.settings.checksumLowerCase = value;
            else if (what == "showsent")
                sim.settings.showSentText = value;
            else if (what == "method")
                sim.settings.checksumMethod = value;
            else
                FAIL() << "unknown setting " << what;
        } else if (word == "receive" || word == "reply") {
            int ch = 0;
            std::string at;
            std::int64_t ms = 0;
            in >> ch >> at >> ms;
            std::string rest;
            std::getline(in, rest);
            if (word == "receive")
                sim.receiveAt(ms, ch, bytesOf(rest));
            else
                sim.replyTo(ch, ms, bytesOf(rest));
        } else if (word == "press") {
            int n = 0;
            std::string at;
            std::int64_t ms = 0;
            in >> n >> at >> ms;
            sim.pressAt(ms, n);
        } else if (word == "input") {
            std::string at;
            std::int64_t ms = 0;
            in >> at >> ms;
            std::string rest;
            std::getline(in, rest);
            rest = trim(rest);
            const auto bar = rest.find('|');
            sim.inputAt(ms, rest.substr(0, bar), bar == std::string::npos ? "" : rest.substr(bar + 1));
        } else if (word == "xbit") {
            int port = 0, bit = 0, on = 0;
            std::string at;
            std::int64_t ms = 0;
            in >> port >> bit >> on >> at >> ms;
            sim.inputBitAt(ms, port, bit, on != 0);
        } else if (word == "stop") {
            std::string at;
            std::int64_t ms = 0;
            in >> at >> ms;
            sim.stopAt(ms);
        } else if (word == "fail") {
            int ch = 0, code = 0;
            in >> ch >> code;
            sim.failTransmit(ch, static_cast<TransmitResult>(code));
        } else if (word == "preset") {
            std::string what;
            int n = 0;
            in >> what >> n;
            std::string rest;
            std::getline(in, rest);
            rest = trim(rest);
            if (!rest.empty() && rest[0] == '=')
                rest = rest.substr(1);
            if (what == "reg") {
                sim.memory().registers[static_cast<std::size_t>(n)].assign(bytesOf(rest));
            } else {
                const auto v = static_cast<std::uint8_t>(std::stoi(trim(rest), nullptr, 16));
                if (what == "x")
                    sim.dio().inputs[static_cast<std::size_t>(n)] = v;
                else if (what == "y")
                    sim.dio().outputs[static_cast<std::size_t>(n)] = v;
                else
                    sim.memory().bits[static_cast<std::size_t>(n)] = v;
            }
        } else {
            FAIL() << "unknown directive: " << line;
        }
    }
    if (!lfEndings) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        text = crlf;
    }

    sim.load(text);
    sim.interpreter().markReceptionStart();  // as the macro dialog does when it opens
    sim.start();
    const bool finished = sim.run(budget);
    const MacroMemory& m = sim.memory();

    ASSERT_FALSE(expectations.empty()) << "a golden script must expect something";
    for (const std::string& e : expectations) {
        SCOPED_TRACE("expect " + e);
        std::istringstream in(e);
        std::string what;
        in >> what;
        if (what == "finished") {
            EXPECT_TRUE(finished);
        } else if (what == "running") {
            EXPECT_TRUE(sim.interpreter().running());
        } else if (what == "status") {
            int v = 0;
            in >> v;
            EXPECT_EQ(m.status, v);
        } else if (what == "counter") {
            std::string v;
            in >> v;
            char buf[16];
            std::snprintf(buf, sizeof buf, "%08d", m.pc);
            EXPECT_EQ(std::string(buf), v);
        } else if (what == "line") {
            int v = 0;
            in >> v;
            EXPECT_EQ(sim.interpreter().currentLine(), v);
        } else if (what == "reg") {
            int n = 0;
            std::string op;
            in >> n >> op;
            const MacroRegister& r = m.registers[static_cast<std::size_t>(n)];
            const std::vector<std::uint8_t> got(r.bytes().begin(), r.bytes().end());
            if (op == "=") {
                std::string rest;
                std::getline(in, rest);
                EXPECT_EQ(hexOf(got), hexOf(bytesOf(rest)));
            } else {
                int len = 0;
                in >> len;
                EXPECT_EQ(r.length, len);
            }
        } else if (what == "sent") {
            int ch = 0;
            std::string eq, rest;
            in >> ch >> eq;
            std::getline(in, rest);
            EXPECT_EQ(hexOf(sim.sent(ch)), hexOf(bytesOf(rest)));
        } else if (what == "frames") {
            int ch = 0;
            std::size_t n = 0;
            in >> ch >> n;
            EXPECT_EQ(sim.frames(ch).size(), n);
        } else if (what == "failures") {
            int n = 0;
            in >> n;
            EXPECT_EQ(sim.sendFailures(), n);
        } else if (what == "x" || what == "y" || what == "m") {
            int n = 0;
            std::string eq, hex;
            in >> n >> eq >> hex;
            const int want = std::stoi(hex, nullptr, 16);
            const auto i = static_cast<std::size_t>(n);
            const int got = what == "x" ? sim.dio().inputs[i] : what == "y" ? sim.dio().outputs[i] : m.bits[i];
            EXPECT_EQ(got, want);
        } else if (what == "ticks" || what == "elapsed") {
            std::string op;
            std::int64_t v = 0;
            in >> op >> v;
            const std::int64_t got = what == "ticks" ? sim.ticks() : sim.elapsedMs();
            if (op == "<=")
                EXPECT_LE(got, v);
            else
                EXPECT_GE(got, v);
        } else if (what == "notice") {
            std::string rest;
            std::getline(in, rest);
            const std::string notice = macroNoticeText(sim.interpreter().notice());
            EXPECT_NE(notice.find(trim(rest)), std::string::npos) << notice;
        } else if (what == "no-notice") {
            EXPECT_EQ(sim.interpreter().notice().kind, MacroNotice::Kind::None);
        } else if (what == "button") {
            int v = 0;
            in >> v;
            EXPECT_EQ(m.pressedButton, v);
        } else if (what == "trail") {
            std::vector<std::int32_t> want;
            int v = 0;
            while (in >> v)
                want.push_back(v);
            EXPECT_EQ(sim.statusTrail(), want);
        } else {
            ADD_FAILURE() << "unknown expectation";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, GoldenMacro, ::testing::ValuesIn(goldenFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& p) { return nameOf(p.param); });

} // namespace
} // namespace kestrane
