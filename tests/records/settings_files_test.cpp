// The four settings files: byte images, round trips, defaults, load-time checks, short files.
#include "records/settings_files.h"
#include "records/settings_layout.h"
#include "platform/le_bytes.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <numeric>

namespace kestrane {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

// A record where every field holds a distinct, in-range, non-default value.
Settings distinctiveSettings()
{
    Settings s;
    SettingsRecord& r = s.record;
    r.ch1ComNumber = 7;
    r.ch1BaudRate = 115200;
    r.ch1ByteSize = 7;
    r.ch1StopBits = 2;
    r.ch1Parity = 3;
    r.ch1FlowControl = 2;
    r.sendStartCharOn = 1;
    r.sendStopCharOn = 1;
    r.sendChecksumOn = 1;
    r.checksumOutputForm = 1;
    r.sendEndCharOn = 1;
    setFixedText(r.sendStartCharHex, "02");
    setFixedText(r.sendStopCharHex, "03");
    setFixedText(r.sendEndCharHex, "0D");
    r.dioFitted = 1;
    r.dioControlWord = 0x1234;
    r.dioDriverNo = 3;
    r.dioGroupNo = 4;
    r.fullRedisplay = 1;
    r.idleClockFactor = 55;
    r.baseClockMs = 321;
    r.idleRedisplayCount = 5;
    r.trafficDisplayCount = 6;
    r.displayMode = 1;
    r.ch2Mode = Ch2Mode::MonitorRelay;
    r.ch2ComNumber = 9;
    r.ch2BaudRate = 19200;
    r.ch2ByteSize = 6;
    r.ch2StopBits = 1;
    r.ch2Parity = 4;
    r.ch2FlowControl = 1;
    r.ch1ForceConfigSize52 = 1;
    r.ch2ForceConfigSize52 = 1;
    r.ch1RxGapMs = 2500;
    r.ch2RxGapMs = 3500;
    r.bufferSize = 300;
    r.autoScroll = 0;
    r.macroClockMs = 50;
    r.ch1MaskRxChar = 0;
    r.ch1MaskRxFlag = 1;
    r.ch2MaskRxChar = 1;
    r.ch2MaskRxFlag = 1;
    r.checksumMethod = 2;
    r.noExitSaveQuery = 1;
    r.fastDisplayAtStart = 0;
    r.comNumbersFromRegistry = 0;
    r.showSentText = 0;
    r.checksumLowerCase = 1;
    setFixedText(s.pdfReaderPath, "/usr/bin/evince");
    setFixedText(s.pdfPageCommand, "--page-label=");

    s.lineParams.ch1Dcb.BaudRate = 57600;
    s.lineParams.ch1Dcb.setFOutxCtsFlow(true);
    s.lineParams.ch1Dcb.setFDummy2(0x1ABCD);
    s.lineParams.ch1Dcb.wReserved = 0xBEEF;
    s.lineParams.ch2Dcb.BaudRate = 1200;
    s.lineParams.ch2Dcb.EvtChar = 0x0A;
    s.lineParams.ch2Dcb.wReserved1 = 0xCAFE;
    s.lineParams.ch1Timeouts = CommTimeouts{1, 2, 3, 4, 5};
    s.lineParams.ch2Timeouts = CommTimeouts{MAXDWORD, 7, 8, 9, 10};
    std::iota(s.lineParams.spare.begin(), s.lineParams.spare.end(), std::uint8_t{0xA0});

    s.sampling.samplingCount = 3;
    s.sampling.samplingFields[0] = {10, 4};
    s.sampling.samplingFields[4] = {300, 20};
    s.sampling.autoLogging = 1;
    setFixedText(s.sampling.autoLogPrefix, "Bench");
    s.startupSizeCode = 3;
    return s;
}

TEST(SettingsRecordImage, FieldsSitAtTheirOffsets)
{
    const Settings s = distinctiveSettings();
    const auto img = quellornImage(s);
    const std::span<const std::uint8_t> b(img);
    EXPECT_EQ(le::getI32(b, 0), 7);
    EXPECT_EQ(le::get32(b, 4), 115200u);
    EXPECT_EQ(b[8], 7);
    EXPECT_EQ(b[9], 2);
    EXPECT_EQ(b[10], 3);
    EXPECT_EQ(le::getI32(b, 11), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[35])), "02");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[43])), "0D");
    EXPECT_EQ(le::get16(b, 51), 0x1234);
    EXPECT_EQ(le::getI32(b, 65), 321);
    EXPECT_EQ(le::getI32(b, 81), 7);
    EXPECT_EQ(le::get32(b, 89), 19200u);
    EXPECT_EQ(b[93], 6);
    EXPECT_EQ(le::getI32(b, 96), 1);
    EXPECT_EQ(le::getI32(b, 116), 300);
    EXPECT_EQ(le::getI32(b, 144), 2);
    EXPECT_EQ(le::getI32(b, 164), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[178])), "/usr/bin/evince");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[438])), "--page-label=");
}

TEST(SettingsFiles, AllFourRoundTripByteForByte)
{
    TempDir dir;
    const Settings saved = distinctiveSettings();
    ASSERT_TRUE(saveQuellorn(saved, dir.path()));
    ASSERT_TRUE(saveQuellorn1(saved, dir.path()));
    ASSERT_TRUE(saveQuellorn2(saved, dir.path()));
    ASSERT_TRUE(saveDrawSize(saved, dir.path()));
    EXPECT_EQ(readFileBytes(dir / "Quellorn.dat").size(), 566u);
    EXPECT_EQ(readFileBytes(dir / "Quellorn1.dat").size(), 216u);
    EXPECT_EQ(readFileBytes(dir / "Quellorn2.dat").size(), 80u);
    EXPECT_EQ(readFileBytes(dir / "draw_size.dat").size(), 4u);

    Settings loaded;
    ASSERT_TRUE(loadQuellorn(loaded, dir.path()));
    ASSERT_TRUE(loadQuellorn1(loaded, dir.path()));
    ASSERT_TRUE(loadQuellorn2(loaded, dir.path()));
    ASSERT_TRUE(loadDrawSize(loaded, dir.path()));
    EXPECT_EQ(loaded.record, saved.record);
    EXPECT_EQ(loaded.pdfReaderPath, saved.pdfReaderPath);
    EXPECT_EQ(loaded.pdfPageCommand, saved.pdfPageCommand);
    EXPECT_EQ(loaded.lineParams, saved.lineParams);
    EXPECT_EQ(loaded.sampling, saved.sampling);
    EXPECT_EQ(loaded.startupSizeCode, 3);

    // Saving what was loaded reproduces every file exactly.
    TempDir again;
    EXPECT_TRUE(saveQuellorn(loaded, again.path()));
    EXPECT_TRUE(saveQuellorn1(loaded, again.path()));
    EXPECT_TRUE(saveQuellorn2(loaded, again.path()));
    EXPECT_TRUE(saveDrawSize(loaded, again.path()));
    for (const char* name : {"Quellorn.dat", "Quellorn1.dat", "Quellorn2.dat", "draw_size.dat"})
        EXPECT_EQ(readFileBytes(again / name), readFileBytes(dir / name)) << name;
}

TEST(SettingsLayout, EveryTableFillsItsImageEndToEnd)
{
    // A row at a wrong offset leaves a gap or an overlap, which the round trips alone could miss.
    EXPECT_EQ(le::misplacedRow(tableOf(std::type_identity<SettingsRecord>{})), -1);
    EXPECT_EQ(le::misplacedRow(tableOf(std::type_identity<LineParams>{})), -1);
    EXPECT_EQ(le::misplacedRow(tableOf(std::type_identity<SamplingField>{})), -1);
    EXPECT_EQ(le::misplacedRow(tableOf(std::type_identity<SamplingSettings>{})), -1);
    EXPECT_EQ(le::misplacedRow(quellornTable()), -1);
    EXPECT_EQ(le::misplacedRow(drawSizeTable()), -1);
    EXPECT_EQ(le::misplacedRow(tableOf(std::type_identity<Dcb>{})), -1);
    EXPECT_EQ(le::misplacedRow(tableOf(std::type_identity<CommTimeouts>{})), -1);
    // The check itself: a gap, an overlap and a short table are each named by their row.
    struct Three {
        std::int32_t a = 0;
        std::uint16_t b = 0;
        std::uint8_t c = 0;
    };
    using le::at;
    EXPECT_EQ(le::misplacedRow(le::table<Three>(7, at(0, &Three::a), at(4, &Three::b), at(6, &Three::c))), -1);
    EXPECT_EQ(le::misplacedRow(le::table<Three>(7, at(0, &Three::a), at(5, &Three::b), at(6, &Three::c))), 1);
    EXPECT_EQ(le::misplacedRow(le::table<Three>(7, at(0, &Three::a), at(4, &Three::b), at(5, &Three::c))), 2);
    EXPECT_EQ(le::misplacedRow(le::table<Three>(8, at(0, &Three::a), at(4, &Three::b), at(6, &Three::c))), 3);
}

TEST(SettingsLayout, TheDcbKeepsWin32sLayout)
{
    Dcb d;
    d.DCBlength = 0x11111111;
    d.BaudRate = 0x22222222;
    d.flags = 0x33333333;
    d.wReserved = 0x4444;
    d.XonLim = 0x5555;
    d.XoffLim = 0x6666;
    d.ByteSize = 0x77;
    d.Parity = 0x88;
    d.StopBits = 0x99;
    d.XonChar = 0xAA;
    d.XoffChar = 0xBB;
    d.ErrorChar = 0xCC;
    d.EofChar = 0xDD;
    d.EvtChar = 0xEE;
    d.wReserved1 = 0xF00F;
    std::array<std::uint8_t, Dcb::kSize> b{};
    d.toBytes(b);
    const std::array<std::uint8_t, Dcb::kSize> expected{
        0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33, 0x33, 0x33, 0x44, 0x44,
        0x55, 0x55, 0x66, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F, 0xF0};
    EXPECT_EQ(b, expected);
    EXPECT_EQ(Dcb::fromBytes(b), d);

    // The bit fields of the flags word, each alone at its Win32 place.
    struct Flag {
        void (Dcb::*set)(bool);
        int bit;
    };
    for (const Flag& f : {Flag{&Dcb::setFBinary, 0}, Flag{&Dcb::setFParity, 1}, Flag{&Dcb::setFOutxCtsFlow, 2},
                          Flag{&Dcb::setFOutxDsrFlow, 3}, Flag{&Dcb::setFDsrSensitivity, 6},
                          Flag{&Dcb::setFTXContinueOnXoff, 7}, Flag{&Dcb::setFOutX, 8}, Flag{&Dcb::setFInX, 9},
                          Flag{&Dcb::setFErrorChar, 10}, Flag{&Dcb::setFNull, 11}, Flag{&Dcb::setFAbortOnError, 14}}) {
        Dcb alone;
        alone.flags = 0;
        (alone.*f.set)(true);
        EXPECT_EQ(alone.flags, 1u << f.bit) << f.bit;
    }
    struct Field {
        void (Dcb::*set)(std::uint32_t);
        std::uint32_t value, flags;
    };
    for (const Field& f : {Field{&Dcb::setFDtrControl, 3, 0x30}, Field{&Dcb::setFRtsControl, 3, 0x3000},
                           Field{&Dcb::setFDummy2, 0x1FFFF, 0xFFFF8000u}}) {
        Dcb alone;
        alone.flags = 0;
        (alone.*f.set)(f.value);
        EXPECT_EQ(alone.flags, f.flags) << f.value;
    }

    const CommTimeouts t{1, 2, 3, 4, 5};
    std::array<std::uint8_t, CommTimeouts::kSize> tb{};
    t.toBytes(tb);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(le::get32(tb, 4 * i), i + 1) << i;
    EXPECT_EQ(CommTimeouts::fromBytes(tb), t);
}

TEST(SettingsFiles, Quellorn1HoldsOverlappingPiecesOfTheLineParameters)
{
    const Settings s = distinctiveSettings();
    std::array<std::uint8_t, LineParams::kSize> mem{};
    writeLineParams(s.lineParams, mem);
    const auto file = quellorn1Image(s.lineParams);
    // file 0-79 = mem 0-79; 80-107 = mem 56-83; 108-187 = mem 28-107; 188-215 = mem 76-103.
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 80, mem.begin()));
    EXPECT_TRUE(std::equal(file.begin() + 80, file.begin() + 108, mem.begin() + 56));
    EXPECT_TRUE(std::equal(file.begin() + 108, file.begin() + 188, mem.begin() + 28));
    EXPECT_TRUE(std::equal(file.begin() + 188, file.end(), mem.begin() + 76));
}

TEST(SettingsFiles, MissingFilesGiveTheDefaults)
{
    TempDir dir;
    Settings s = distinctiveSettings();
    EXPECT_FALSE(loadQuellorn(s, dir.path()));
    EXPECT_FALSE(loadQuellorn1(s, dir.path()));
    EXPECT_FALSE(loadQuellorn2(s, dir.path()));
    s.startupSizeCode = 1;
    EXPECT_FALSE(loadDrawSize(s, dir.path()));

    EXPECT_EQ(s.record, SettingsRecord{});
    EXPECT_EQ(s.record.ch1ComNumber, 1);
    EXPECT_EQ(s.record.ch1BaudRate, 9600u);
    EXPECT_EQ(s.record.ch2Mode, 0);
    EXPECT_EQ(fixedText(s.pdfReaderPath), "AcroRd32.exe");
    EXPECT_EQ(fixedText(s.pdfPageCommand), "/A page=");
    EXPECT_EQ(s.lineParams.ch1Dcb.BaudRate, 9600u);
    EXPECT_EQ(s.lineParams.ch1Dcb.ByteSize, 8);
    EXPECT_EQ(s.lineParams.ch2Dcb.EvtChar, 0x0D);
    EXPECT_EQ(s.lineParams.ch1Dcb.fDtrControl(), DTR_CONTROL_ENABLE);
    EXPECT_EQ(s.lineParams.ch1Dcb.XonLim, 2048);
    EXPECT_EQ(s.lineParams.ch1Timeouts, (CommTimeouts{100, 2, 100, 10, 1000}));
    EXPECT_EQ(s.sampling.samplingCount, 0);
    EXPECT_EQ(s.sampling.autoLogging, 0);
    EXPECT_EQ(fixedText(s.sampling.autoLogPrefix), "Log");
    EXPECT_EQ(s.startupSizeCode, 1);
}

TEST(SettingsFiles, LoadTimeChecksCorrectOutOfRangeValues)
{
    struct Case {
        std::int32_t SettingsRecord::*field;
        std::int32_t stored;
        std::int32_t expected;
    };
    const Case cases[] = {
        {&SettingsRecord::baseClockMs, 5, 200},       {&SettingsRecord::baseClockMs, 20000, 20000},
        {&SettingsRecord::bufferSize, 601, 600},      {&SettingsRecord::bufferSize, 199, 600},
        {&SettingsRecord::bufferSize, 200, 200},      {&SettingsRecord::macroClockMs, 0, 200},
        {&SettingsRecord::macroClockMs, 1000, 1000},  {&SettingsRecord::fullRedisplay, 2, 0},
        {&SettingsRecord::idleClockFactor, -1, 10},   {&SettingsRecord::idleClockFactor, 0, 0},
        {&SettingsRecord::idleRedisplayCount, 21, 1}, {&SettingsRecord::trafficDisplayCount, 21, 1},
        {&SettingsRecord::ch1RxGapMs, 99, 1000},      {&SettingsRecord::ch2RxGapMs, 20001, 1000},
        {&SettingsRecord::autoScroll, 2, 1},          {&SettingsRecord::ch1ForceConfigSize52, 2, 0},
        {&SettingsRecord::ch2ForceConfigSize52, -1, 0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Settings s;
        s.record.*c.field = c.stored;
        EXPECT_TRUE(saveQuellorn(s, dir.path()));
        Settings loaded;
        loadQuellorn(loaded, dir.path());
        EXPECT_EQ(loaded.record.*c.field, c.expected) << "stored " << c.stored;
    }
}

TEST(SettingsFiles, BothMaskFlagsOffTurnsReceiveCharacterOn)
{
    TempDir dir;
    Settings s;
    s.record.ch1MaskRxChar = 0;
    s.record.ch1MaskRxFlag = 0;
    s.record.ch2MaskRxChar = 0;
    s.record.ch2MaskRxFlag = 1;
    EXPECT_TRUE(saveQuellorn(s, dir.path()));
    Settings loaded;
    loadQuellorn(loaded, dir.path());
    EXPECT_EQ(loaded.record.ch1MaskRxChar, 1);
    EXPECT_EQ(loaded.record.ch1MaskRxFlag, 0);
    EXPECT_EQ(loaded.record.ch2MaskRxChar, 0);  // CH2 has a flag set: left alone
    EXPECT_EQ(loaded.record.ch2MaskRxFlag, 1);

    // Flags that are neither 0 nor 1 (a damaged file) put no event into the mask either: the
    // channel would never read, so they count as both off.
    s.record.ch1MaskRxChar = 2;
    s.record.ch1MaskRxFlag = -1;
    s.record.ch2MaskRxChar = 7;
    s.record.ch2MaskRxFlag = 1;
    EXPECT_TRUE(saveQuellorn(s, dir.path()));
    loadQuellorn(loaded, dir.path());
    EXPECT_EQ(loaded.record.ch1MaskRxChar, 1);
    EXPECT_EQ(loaded.record.ch1MaskRxFlag, -1);
    EXPECT_EQ(loaded.record.ch2MaskRxChar, 7);  // EV_RXFLAG is in CH2's mask: taken as stored
}

TEST(SettingsFiles, StartupDisplayRule)
{
    SettingsRecord r;
    r.displayMode = 3;
    r.fastDisplayAtStart = 0;
    EXPECT_EQ(applyStartupDisplayRule(r), 0);
    EXPECT_EQ(r.displayMode, 1);  // a saved special mode comes back as HEX in low-speed display

    r.displayMode = 3;
    r.fastDisplayAtStart = 1;
    EXPECT_EQ(applyStartupDisplayRule(r), 1);
    EXPECT_EQ(r.displayMode, 0);

    r.displayMode = 2;
    r.fastDisplayAtStart = 0;
    applyStartupDisplayRule(r);
    EXPECT_EQ(r.displayMode, 1);  // time-stamped mode is never restored

    r.displayMode = 0;
    r.fastDisplayAtStart = 0;
    EXPECT_EQ(applyStartupDisplayRule(r), 0);
    EXPECT_EQ(r.displayMode, 0);

    // A damaged value other than 0 or 1 is the low-speed display everywhere: HEX stays.
    for (int damaged : {5, -1, 2}) {
        r.displayMode = 1;
        r.fastDisplayAtStart = damaged;
        EXPECT_EQ(applyStartupDisplayRule(r), 0) << damaged;
        EXPECT_EQ(r.displayMode, 1) << damaged;
        EXPECT_EQ(r.fastDisplayAtStart, 0) << damaged;
    }
}

TEST(SettingsFiles, ShortPdfTextsFallBackToDefaults)
{
    TempDir dir;
    Settings s;
    setFixedText(s.pdfReaderPath, "abc");
    setFixedText(s.pdfPageCommand, "p");
    EXPECT_TRUE(saveQuellorn(s, dir.path()));
    Settings loaded;
    setFixedText(loaded.pdfReaderPath, "x");
    loadQuellorn(loaded, dir.path());
    EXPECT_EQ(fixedText(loaded.pdfReaderPath), "AcroRd32.exe");
    EXPECT_EQ(fixedText(loaded.pdfPageCommand), "/A page=");

    setFixedText(s.pdfReaderPath, "abcd");
    setFixedText(s.pdfPageCommand, "/p");
    EXPECT_TRUE(saveQuellorn(s, dir.path()));
    loadQuellorn(loaded, dir.path());
    EXPECT_EQ(fixedText(loaded.pdfReaderPath), "abcd");
    EXPECT_EQ(fixedText(loaded.pdfPageCommand), "/p");
}

TEST(SettingsFiles, ShortQuellornReadsTheMissingBytesAsZero)
{
    TempDir dir;
    Settings s = distinctiveSettings();
    EXPECT_TRUE(saveQuellorn(s, dir.path()));
    auto bytes = readFileBytes(dir / "Quellorn.dat");
    bytes.resize(69);  // up to and including baseClockMs
    writeFileBytes(dir / "Quellorn.dat", bytes);

    Settings loaded = distinctiveSettings();
    ASSERT_TRUE(loadQuellorn(loaded, dir.path()));
    EXPECT_EQ(loaded.record.ch1BaudRate, 115200u);
    EXPECT_EQ(loaded.record.baseClockMs, 321);
    EXPECT_EQ(loaded.record.ch2Mode, 0);          // zero, not the earlier 7
    EXPECT_EQ(loaded.record.bufferSize, 600);     // zero, then corrected by its check
    EXPECT_EQ(loaded.record.ch1MaskRxChar, 1);    // both zero: the mask rule
    EXPECT_EQ(loaded.record.showSentText, 0);
    EXPECT_EQ(fixedText(loaded.pdfReaderPath), "AcroRd32.exe");
}

TEST(SettingsFiles, ShortLineFileRestoresOnlyTheBytesItHas)
{
    TempDir dir;
    const Settings s = distinctiveSettings();
    EXPECT_TRUE(saveQuellorn1(s, dir.path()));
    auto bytes = readFileBytes(dir / "Quellorn1.dat");
    bytes.resize(56);  // both DCBs only
    writeFileBytes(dir / "Quellorn1.dat", bytes);

    Settings loaded;  // line defaults in place
    ASSERT_TRUE(loadQuellorn1(loaded, dir.path()));
    EXPECT_EQ(loaded.lineParams.ch1Dcb, s.lineParams.ch1Dcb);
    EXPECT_EQ(loaded.lineParams.ch2Dcb, s.lineParams.ch2Dcb);
    EXPECT_EQ(loaded.lineParams.ch1Timeouts, defaultTimeouts());
    EXPECT_EQ(loaded.lineParams.ch2Timeouts, defaultTimeouts());
}

TEST(SettingsFiles, ShortOrLongFilesNeverReadPastTheirRecords)
{
    TempDir dir;
    writeFileBytes(dir / "Quellorn2.dat", {3, 0, 0, 0, 10});
    writeFileBytes(dir / "draw_size.dat", {5, 0});
    Settings s;
    s.startupSizeCode = 0x01020304;
    ASSERT_TRUE(loadQuellorn2(s, dir.path()));
    ASSERT_TRUE(loadDrawSize(s, dir.path()));
    EXPECT_EQ(s.sampling.samplingCount, 3);
    EXPECT_EQ(s.sampling.samplingFields[0].position, 10);
    EXPECT_EQ(fixedText(s.sampling.autoLogPrefix), "Log");
    EXPECT_EQ(s.startupSizeCode, 0x01020005);  // only the two bytes the file has

    // A longer file than the record: only the record's bytes are taken.
    std::vector<std::uint8_t> big(1000, 0x41);
    big[0] = 2;
    big[1] = big[2] = big[3] = 0;
    writeFileBytes(dir / "draw_size.dat", big);
    ASSERT_TRUE(loadDrawSize(s, dir.path()));
    EXPECT_EQ(s.startupSizeCode, 2);
}

TEST(SettingsFiles, UnterminatedTextsStayInsideTheirFields)
{
    TempDir dir;
    std::vector<std::uint8_t> bytes(566, 'A');
    writeFileBytes(dir / "Quellorn.dat", bytes);
    Settings s;
    ASSERT_TRUE(loadQuellorn(s, dir.path()));
    EXPECT_EQ(fixedText(s.pdfReaderPath).size(), 259u);
    EXPECT_EQ(fixedText(s.pdfPageCommand).size(), 127u);
}

TEST(SettingsFiles, AFileThatCannotBeCreatedIsSkippedWithTheSystemsReason)
{
    TempDir dir;
    Settings s;
    EXPECT_EQ(saveQuellorn(s, dir / "no-such-folder").systemError, ENOENT);
    std::filesystem::create_directory(dir / "Quellorn1.dat");  // a folder in the file's place
    EXPECT_EQ(saveQuellorn1(s, dir.path()).systemError, EISDIR);
    std::filesystem::create_directory(dir / "draw_size.dat");
    EXPECT_EQ(saveDrawSize(s, dir.path()).systemError, EISDIR);
    EXPECT_TRUE(saveQuellorn2(s, dir.path()));
}

// A full disk (or a kill) in the middle of writing a settings file must not leave a short file:
// a short Quellorn.dat would load its missing bytes as zeros (CH1 on COM0).
TEST(SettingsFiles, AWriteThatFailsMidwayLeavesTheOldFileWhole)
{
    TempDir dir;
    const Settings saved = distinctiveSettings();
    ASSERT_TRUE(saveQuellorn(saved, dir.path()));
    const auto before = readFileBytes(dir / "Quellorn.dat");

    Settings changed = saved;
    changed.record.ch1ComNumber = 42;
    {
        test::FileSizeLimit limit(100);  // the disk fills after 100 bytes
        EXPECT_EQ(saveQuellorn(changed, dir.path()).systemError, EFBIG);
    }
    EXPECT_EQ(readFileBytes(dir / "Quellorn.dat"), before);
    Settings loaded;
    ASSERT_TRUE(loadQuellorn(loaded, dir.path()));
    EXPECT_EQ(loaded.record.ch1ComNumber, saved.record.ch1ComNumber);
}

TEST(LineSummary, FlowControlCodeFromTheDcb)
{
    Dcb d;
    applyLineDefaults(d);
    EXPECT_EQ(flowControlCode(d), 0);
    d.setFOutX(true);
    d.setFInX(true);
    EXPECT_EQ(flowControlCode(d), 1);
    d.setFRtsControl(RTS_CONTROL_ENABLE);
    EXPECT_EQ(flowControlCode(d), 0);
    d.setFOutX(false);
    d.setFInX(false);
    d.setFOutxCtsFlow(true);
    d.setFRtsControl(RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(flowControlCode(d), 2);
    d.setFInX(true);
    EXPECT_EQ(flowControlCode(d), 0);
}

} // namespace
} // namespace kestrane

namespace kestrane {
namespace {

TEST(SettingsTexts, AreCodePage932InTheFilesAndCutAtACharacterBoundary)
{
    TempDir dir;
    Settings s;
    // 16 kanji take 32 bytes in code page 932: the 31 the prefix can hold keep 15 of them whole.
    const std::string sixteen = "温度記録温度記録温度記録温度記録";
    setFieldUtf8(s.sampling.autoLogPrefix, sixteen);
    EXPECT_EQ(fieldUtf8(s.sampling.autoLogPrefix), "温度記録温度記録温度記録温度記");
    setFieldUtf8(s.pdfReaderPath, "/opt/閲覧/viewer");
    ASSERT_TRUE(saveQuellorn(s, dir.path()));
    ASSERT_TRUE(saveQuellorn2(s, dir.path()));
    const auto q2 = readFileBytes(dir / "Quellorn2.dat");
    EXPECT_EQ(q2[48], 0x89);  // 温 is 89 B7 in code page 932
    EXPECT_EQ(q2[49], 0xB7);
    EXPECT_EQ(q2[48 + 30], 0);
    const auto q = readFileBytes(dir / "Quellorn.dat");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&q[178])), "/opt/\x89\x7B\x97\x97/viewer");

    Settings loaded;
    ASSERT_TRUE(loadQuellorn(loaded, dir.path()));
    ASSERT_TRUE(loadQuellorn2(loaded, dir.path()));
    EXPECT_EQ(fieldUtf8(loaded.sampling.autoLogPrefix), "温度記録温度記録温度記録温度記");
    EXPECT_EQ(fieldUtf8(loaded.pdfReaderPath), "/opt/閲覧/viewer");
    // Half-width katakana take one byte each: 31 of 32 fit.
    std::string kana;
    for (int i = 0; i < 32; ++i)
        kana += "ｶ";
    setFieldUtf8(s.sampling.autoLogPrefix, kana);
    EXPECT_EQ(fixedText(s.sampling.autoLogPrefix).size(), 31u);
}

// Code page 932 text that also reads as UTF-8 (half-width katakana pairs such as ﾃｽ are c3 bd)
// is still code page 932: loaded and saved again, each text field is the file's bytes, those
// after its NUL included, and a field without a NUL keeps its last byte.
TEST(SettingsTexts, AreKeptByteForByteEvenWhereTheyAlsoReadAsUtf8)
{
    TempDir dir;
    std::vector<std::uint8_t> q2(80, 0);
    const std::vector<std::uint8_t> prefix = {0xC3, 0xBD, '_', 0, 'x', 0x89, 0xB7, 0xFF};  // ﾃｽ_, then old bytes
    std::copy(prefix.begin(), prefix.end(), q2.begin() + 48);
    writeFileBytes(dir / "Quellorn2.dat", q2);
    std::vector<std::uint8_t> q(566, 0);
    for (std::size_t i = 178; i < 438; i += 2) {  // ﾒｰ (d2 b0) over the whole reader path, no NUL
        q[i] = 0xD2;
        q[i + 1] = 0xB0;
    }
    const std::string command("\xC3\xB0=\0after", 9);  // ﾃｰ= then bytes after the NUL
    std::copy(command.begin(), command.end(), q.begin() + 438);
    writeFileBytes(dir / "Quellorn.dat", q);

    Settings s;
    ASSERT_TRUE(loadQuellorn(s, dir.path()));
    ASSERT_TRUE(loadQuellorn2(s, dir.path()));
    EXPECT_EQ(fieldUtf8(s.sampling.autoLogPrefix), "ﾃｽ_");
    EXPECT_EQ(fieldUtf8(s.pdfPageCommand), "ﾃｰ=");
    EXPECT_EQ(fixedText(s.pdfReaderPath).size(), 259u);
    TempDir again;
    ASSERT_TRUE(saveQuellorn(s, again.path()));
    ASSERT_TRUE(saveQuellorn2(s, again.path()));
    EXPECT_EQ(readFileBytes(again / "Quellorn2.dat"), q2);
    const auto back = readFileBytes(again / "Quellorn.dat");
    ASSERT_EQ(back.size(), q.size());
    EXPECT_TRUE(std::equal(q.begin() + 178, q.end(), back.begin() + 178)) << "the two texts, every byte";
}

} // namespace
} // namespace kestrane
