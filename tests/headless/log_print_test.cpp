// kestrane-log: a known log printed in each form, exactly; damaged and hostile files refused
// with a reason, never a crash.
#include "platform/le_bytes.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "traffic/log_file.h"

#include <gtest/gtest.h>

#include <array>

namespace kestrane {
namespace {

using test::ChildProcess;
using test::TempDir;

// CH1 sends AT CR and receives OK CR LF; CH2 sends ENQ and receives 日 (a Shift-JIS pair) and x;
// CH1 receives "hi" behind the time stamp of the 6th, 09:05:07.
std::filesystem::path knownLog(const TempDir& dir)
{
    static const std::pair<char, std::string> kPieces[] = {
        {'0', "AT\r"}, {'1', "OK\r\n"}, {'2', "\x05"}, {'3', "\x93\xFA" "x"}, {'1', "<6d9:5,7>hi"}};
    std::array<std::uint8_t, kTrafficPlaneSize> tags{}, data{};
    tags.fill(' ');
    data.fill(' ');
    std::size_t n = 0;
    for (const auto& [tag, bytes] : kPieces)
        for (const char c : bytes) {
            tags[n] = static_cast<std::uint8_t>(tag);
            data[n++] = static_cast<std::uint8_t>(c);
        }
    const auto path = dir / "known.LOG";
    EXPECT_TRUE(writeLogFile(path, static_cast<std::int32_t>(n), tags, data));
    return path;
}

std::string print(const std::vector<std::string>& options, const std::filesystem::path& log, int* code = nullptr)
{
    std::vector<std::string> args{KESTRANE_PROGRAM_DIR "/kestrane-log"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(log.string());
    ChildProcess p(args);
    const int exit = p.waitForExit();
    if (code)
        *code = exit;
    else
        EXPECT_EQ(exit, 0) << p.output();
    return p.output();
}

TEST(LogPrint, AKnownLogPrintsExactlyInEveryForm)
{
    TempDir dir;
    const auto log = knownLog(dir);
    EXPECT_EQ(print({"--width", "8"}, log),
              "00000 CH1 SEND |AT␍\n"
              "00000 CH2 SEND |       ␅\n"
              "00000 CH1 READ |   OK␍␊\n"
              "00008 CH1 READ |   <6d9:\n"
              "00008 CH2 READ |日x\n"
              "00016 CH1 READ |5,7>hi\n");
    EXPECT_EQ(print({"--hex", "--width", "8"}, log),
              "00000 CH1 SEND |41 54 0D\n"
              "00000 CH2 SEND |                     05\n"
              "00000 CH1 READ |         4F 4B 0D 0A\n"
              "00008 CH1 READ |         3C 36 64 39 3A\n"
              "00008 CH2 READ |93 FA 78\n"
              "00016 CH1 READ |35 2C 37 3E 68 69\n");
    EXPECT_EQ(print({"--time", "--width", "8"}, log),
              "00000 CH1 SEND |AT␍\n"
              "00000 CH2 SEND |       ␅\n"
              "00000 CH1 READ |   OK␍␊\n"
              "00008 CH2 READ |日x\n"
              "00011 CH1 READ |<6d9:5,7\n"
              "00019 CH1 READ |>hi\n");
    EXPECT_EQ(print({"--csv"}, log),
              "time,channel,direction,bytes\n"
              ",1,sent,41 54 0D\n"
              ",1,received,4F 4B 0D 0A\n"
              ",2,sent,05\n"
              ",2,received,93 FA 78\n"
              "6 09:05:07,1,received,68 69\n");
    // Recorded as a line monitor, tag '0' is what CH2 received.
    const std::string monitor = print({"--monitor", "--color", "always"}, log);
    EXPECT_EQ(monitor.substr(0, monitor.find('\n')), "00000 CH2 2chR |AT␍");
    EXPECT_NE(monitor.find("00000 CH2 SEND |\x1b[31m       ␅\x1b[0m\n"), std::string::npos) << monitor;
    EXPECT_NE(print({"--csv", "--monitor"}, log).find(",2,received,41 54 0D\n"), std::string::npos);
}

TEST(LogPrint, DamagedAndHostileFilesAreRefusedWithAReason)
{
    TempDir dir;
    std::vector<std::uint8_t> good = test::readFileBytes(knownLog(dir));
    auto variant = [&](const char* name, auto change) {
        std::vector<std::uint8_t> bytes = good;
        change(bytes);
        test::writeFileBytes(dir / name, bytes);
        return dir / name;
    };
    const std::pair<std::filesystem::path, std::string> kDamaged[] = {
        {variant("short", [](auto& b) { b.resize(300); }), "is damaged: it holds 300 bytes instead of 72004"},
        {variant("tiny", [](auto& b) { b.resize(3); }), "is not a log: it holds 3 bytes"},
        {variant("long", [](auto& b) { b.push_back(0); }), "is damaged: it holds 72005 bytes instead of 72004"},
        {variant("negative", [](auto& b) { le::putI32(b, 0, -1); }), "is damaged: its stored length -1 lies outside 0..36000"},
        {variant("huge", [](auto& b) { le::putI32(b, 0, 36001); }), "is damaged: its stored length 36001 lies outside"},
        {variant("tag", [](auto& b) { b[4 + 7] = '7'; }), "is damaged: the stored byte at index 7 has the tag 0x37"},
        {dir / "missing", "cannot be read: No such file or directory (ENOENT)"},
        {dir.path(), "is a folder, not a log"},
    };
    for (const auto& [file, reason] : kDamaged) {
        int code = 0;
        const std::string out = print({"--csv"}, file, &code);
        EXPECT_EQ(code, 1) << file;
        EXPECT_NE(out.find("kestrane-log: " + file.string() + " " + reason), std::string::npos) << out;
    }
    // Whatever the fuzz corpus holds: printed or refused, never a crash.
    for (const char* folder : {"/corpus/log_file", "/regressions/log_file"}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(std::string(KESTRANE_FUZZ_DIR) + folder, ec))
            for (const char* form : {"--asc", "--hex", "--time", "--csv"}) {
                int code = 0;
                print({form}, e.path(), &code);
                EXPECT_TRUE(code == 0 || code == 1) << e.path() << " " << form << ": " << code;
            }
    }
}

} // namespace
} // namespace kestrane
