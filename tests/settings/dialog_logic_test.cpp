// What the settings dialogs compute, without windows: number fields, the COM-port and detail
// dialogs' checks, the DCB fields, the port-configuration choice, the display and other settings.
#include "comm/channel.h"
#include "settings/com_port_settings.h"
#include "settings/dcb_settings.h"
#include "settings/dialog_values.h"
#include "settings/display_settings.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrane {
namespace {

TEST(DialogValues, DecimalAndHexadecimalFields)
{
    struct Dec {
        const char* text;
        std::int64_t value;
    };
    for (const Dec& c : std::initializer_list<Dec>{{"42", 42},
                                                   {"  -17x", -17},
                                                   {"+8", 8},
                                                   {"abc", 0},
                                                   {"", 0},
                                                   {"-", 0},
                                                   {"12 34", 12},
                                                   {"99999999999999999999999", INT64_MAX},
                                                   {"-99999999999999999999999", INT64_MIN}})
        EXPECT_EQ(decimalValue(c.text), c.value) << c.text;
    EXPECT_EQ(decimalUint32("-1"), MAXDWORD);
    EXPECT_EQ(decimalUint32("4294967295"), MAXDWORD);
    EXPECT_EQ(decimalUint32("4294967296"), 0u);
    EXPECT_EQ(decimalInt32("99999999999"), INT32_MAX);
    EXPECT_EQ(decimalInt32("-99999999999"), INT32_MIN);

    EXPECT_EQ(hexValue("0D"), 0x0Du);
    EXPECT_EQ(hexValue("0d"), 0x0Du);
    EXPECT_EQ(hexValue("1fz"), 0x1Fu);
    EXPECT_EQ(hexValue("zz"), 0u);
    EXPECT_EQ(hexValue("123456789"), 0xFFFFFFFFu);
    EXPECT_EQ(hexText(0x0D), "d");
    EXPECT_EQ(hexText(0x11), "11");
    EXPECT_EQ(hexText(0), "0");

    EXPECT_EQ(timerPeriodMs(0), kShortestTimerMs);
    EXPECT_EQ(timerPeriodMs(-5), kShortestTimerMs);
    EXPECT_EQ(timerPeriodMs(50), 50);
}

// ---- dialog 703 ----

TEST(ComPortDialog, PortTexts)
{
    EXPECT_EQ(portNumberOfText("COM1"), 1);
    EXPECT_EQ(portNumberOfText("XYZ7"), 7);  // the first three characters are not checked
    EXPECT_EQ(portNumberOfText("COM255"), 255);
    for (const char* refused : {"COM0", "COM256", "CO", "COM", "COMx", "COM-3", "COM300", ""})
        EXPECT_FALSE(portNumberOfText(refused)) << refused;
    EXPECT_EQ(fixedPortChoices().size(), 255u);
    EXPECT_EQ(fixedPortChoices().front().text, "COM1");
    EXPECT_EQ(fixedPortChoices().back().text, "COM255");
}

TEST(ComPortDialog, StoreSetsTheModeFromTheBoxes)
{
    struct Case {
        bool ch2Used, monitor, relay;
        std::int32_t mode;
        std::int32_t ch2;
    };
    for (const Case& c : {Case{false, true, true, 0, 0}, Case{true, false, true, 1, 4}, Case{true, true, false, 3, 4},
                          Case{true, true, true, 7, 4}}) {
        SettingsRecord r;
        r.ch2Mode = Ch2Mode::MonitorT;
        r.ch2ComNumber = 9;
        EXPECT_EQ(applyComPortControls(r, {"COM2", c.ch2Used, "COM4", c.monitor, c.relay}), ComPortCheck::Stored);
        EXPECT_EQ(r.ch1ComNumber, 2);
        EXPECT_EQ(r.ch2Mode, c.mode);
        EXPECT_EQ(r.ch2ComNumber, c.ch2);
    }
}

TEST(ComPortDialog, RefusalsAndWhatStaysStored)
{
    SettingsRecord r;
    r.ch1ComNumber = 5;
    r.ch2Mode = Ch2Mode::Independent;
    r.ch2ComNumber = 6;
    for (const char* bad : {"COM0", "COM256", "CO"}) {
        EXPECT_EQ(applyComPortControls(r, {bad, true, "COM8", false, false}), ComPortCheck::Ch1Wrong) << bad;
        EXPECT_EQ(r.ch1ComNumber, 5);
    }
    // CH1 valid, CH2 not: the new CH1 number is already stored, CH2's fields are not touched.
    EXPECT_EQ(applyComPortControls(r, {"COM3", true, "COM999", false, false}), ComPortCheck::Ch2Wrong);
    EXPECT_EQ(r.ch1ComNumber, 3);
    EXPECT_EQ(r.ch2ComNumber, 6);
    EXPECT_EQ(r.ch2Mode, 1);
    EXPECT_EQ(applyComPortControls(r, {"COM3", true, "XX", false, false}), ComPortCheck::Ch2Wrong);
    EXPECT_EQ(applyComPortControls(r, {"COM4", true, "COM4", true, true}), ComPortCheck::Overlap);
    EXPECT_EQ(r.ch1ComNumber, 4);
    EXPECT_EQ(r.ch2Mode, 1);
    // Only the first seven characters are read.
    EXPECT_EQ(applyComPortControls(r, {"COM00012", false, "", false, false}), ComPortCheck::Stored);
    EXPECT_EQ(r.ch1ComNumber, 1);
}

TEST(ComPortDialog, ControlsFromTheRecord)
{
    SettingsRecord r;
    r.ch1ComNumber = 40;
    r.ch2ComNumber = 3;
    const std::pair<std::int32_t, ComPortControls> cases[] = {
        {0, {"COM40", false, "", false, false}},
        {1, {"COM40", true, "COM3", false, false}},
        {3, {"COM40", true, "COM3", true, false}},
        {7, {"COM40", true, "COM3", true, true}},
    };
    for (const auto& [mode, expected] : cases) {
        r.ch2Mode = mode;
        const ComPortControls c = comPortControlsFor(r);
        EXPECT_EQ(c.ch1Text, expected.ch1Text);
        EXPECT_EQ(c.ch2Used, expected.ch2Used) << mode;
        EXPECT_EQ(c.ch2Text, expected.ch2Text) << mode;
        EXPECT_EQ(c.monitorOn, expected.monitorOn) << mode;
        EXPECT_EQ(c.relay, expected.relay) << mode;
    }
    EXPECT_FALSE(comPortEnabling(false, true).ch2List);
    EXPECT_FALSE(comPortEnabling(false, true).radios);
    EXPECT_TRUE(comPortEnabling(true, false).monitor);
    EXPECT_FALSE(comPortEnabling(true, false).radios);
    EXPECT_TRUE(comPortEnabling(true, true).radios);
}

TEST(ComPortDialog, ReopenMessages)
{
    EXPECT_STREQ(reopenFailureText(1, OpenResult::PortWillNotOpen), "ＣＨ１のポートがオープンしません。");
    EXPECT_STREQ(reopenFailureText(1, OpenResult::PortNumberOutOfRange), "ＣＨ１のポート割付が違います。");
    EXPECT_STREQ(reopenFailureText(2, OpenResult::PortCannotBeConfigured), "ＣＨ２のポート設定が出来ません。");
    EXPECT_STREQ(reopenFailureText(2, OpenResult::ThreadCannotBeCreated), "ＣＨ２のスレッドが作れません。");
    EXPECT_EQ(reopenFailureText(1, OpenResult::Opened), nullptr);
    EXPECT_EQ(reopenFailureText(2, static_cast<OpenResult>(5)), nullptr);
}

// ---- dialog 718 ----

TEST(DetailDialog, StoresTheChannelsFieldsOrRefusesWithoutAnEvent)
{
    SettingsRecord r;
    EXPECT_EQ(applyDetailControls(r, 2, {true, "250", false, false}), DetailCheck::NoReceiveEvent);
    EXPECT_EQ(r.ch2RxGapMs, 1000);
    EXPECT_EQ(applyDetailControls(r, 2, {true, "abc", false, true}), DetailCheck::Stored);
    EXPECT_EQ(r.ch2ForceConfigSize52, 1);
    EXPECT_EQ(r.ch2RxGapMs, 0);  // no digits
    EXPECT_EQ(r.ch2MaskRxChar, 0);
    EXPECT_EQ(r.ch2MaskRxFlag, 1);
    EXPECT_EQ(r.ch1MaskRxChar, 1);  // CH1 untouched
    EXPECT_EQ(applyDetailControls(r, 1, {false, "-30", true, false}), DetailCheck::Stored);
    EXPECT_EQ(r.ch1RxGapMs, -30);  // no range check here; loading corrects it
    const DetailControls c = detailControlsFor(r, 2);
    EXPECT_TRUE(c.forceSize52);
    EXPECT_EQ(c.gapText, "0");
    EXPECT_FALSE(c.rxChar);
    EXPECT_TRUE(c.rxFlag);
}

// ---- dialog 711 ----

Dcb defaultDcb()
{
    Dcb d;
    applyLineDefaults(d);
    return d;
}

TEST(DcbDialog, TwoBitControlsAndTheirTypedValues)
{
    struct Case {
        const char* typed;
        std::uint32_t stored;
    };
    for (const Case& c : {Case{"0", 0}, Case{"1", 1}, Case{"2", 2}, Case{"3", 2}, Case{"4", 0}, Case{"5", 1},
                          Case{"6", 2}, Case{"7", 2}, Case{"x", 0}}) {
        Dcb d = defaultDcb();
        CommTimeouts t = defaultTimeouts();
        DcbControlValues v = dcbControlValues(d, t);
        v.edits[411] = c.typed;
        v.edits[412] = c.typed;
        readDcbControlValues(v, d, t);
        EXPECT_EQ(d.fDtrControl(), c.stored) << c.typed;
        EXPECT_EQ(d.fRtsControl(), c.stored) << c.typed;
    }
}

TEST(DcbDialog, FieldsAsTheDialogShowsAndReadsThem)
{
    Dcb d = defaultDcb();
    CommTimeouts t = defaultTimeouts();
    DcbControlValues v = dcbControlValues(d, t);
    EXPECT_EQ(v.edits[420], "d");   // EvtChar 0x0D
    EXPECT_EQ(v.edits[416], "11");  // XonChar
    EXPECT_EQ(v.edits[401], "9600");
    EXPECT_EQ(v.edits[411], "1");
    EXPECT_TRUE(v.checks[311]);
    EXPECT_FALSE(v.checks[323]);

    v.edits[413] = "9";
    v.edits[420] = "0D";
    v.edits[404] = "-1";
    v.edits[414] = "70000";  // cut to 16 bits
    v.edits[401] = "abc";
    v.edits[403] = "263";    // cut to 8 bits
    v.checks[323] = true;
    v.checks[316] = true;
    readDcbControlValues(v, d, t);
    EXPECT_EQ(d.fDummy2(), 9u);
    EXPECT_EQ(d.EvtChar, 0x0D);
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(dcbControlValues(d, t).edits[404], "-1");  // 32-bit fields show signed, within 9 characters
    EXPECT_EQ(d.XonLim, static_cast<std::uint16_t>(70000));
    EXPECT_EQ(d.BaudRate, 0u);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_TRUE(d.fParity());
    EXPECT_TRUE(d.fOutX());
    v.edits[420] = "0d";
    readDcbControlValues(v, d, t);
    EXPECT_EQ(d.EvtChar, 0x0D);
}

TEST(DcbDialog, EveryRecordSurvivesTheDialogUnchanged)
{
    std::mt19937 rng(20240611);  // 32-bit results
    const auto next = [&rng] { return static_cast<std::uint32_t>(rng()); };
    for (int i = 0; i < 2000; ++i) {
        Dcb d;
        d.DCBlength = next();
        d.BaudRate = next();
        d.flags = next();
        if (d.fDtrControl() == 3)
            d.setFDtrControl(1);  // the dialog turns 3 into 2 by rule
        if (d.fRtsControl() == 3)
            d.setFRtsControl(0);
        d.wReserved = static_cast<std::uint16_t>(next());
        d.XonLim = static_cast<std::uint16_t>(next());
        d.XoffLim = static_cast<std::uint16_t>(next());
        d.ByteSize = static_cast<std::uint8_t>(next());
        d.Parity = static_cast<std::uint8_t>(next());
        d.StopBits = static_cast<std::uint8_t>(next());
        d.XonChar = static_cast<std::uint8_t>(next());
        d.XoffChar = static_cast<std::uint8_t>(next());
        d.ErrorChar = static_cast<std::uint8_t>(next());
        d.EofChar = static_cast<std::uint8_t>(next());
        d.EvtChar = static_cast<std::uint8_t>(next());
        d.wReserved1 = static_cast<std::uint16_t>(next());
        const CommTimeouts t{next(), next(),
                             next(), MAXDWORD, 0};
        Dcb back = d;
        back.flags = 0;
        back.BaudRate = 1;
        CommTimeouts tb;
        readDcbControlValues(dcbControlValues(d, t), back, tb);
        ASSERT_EQ(back, d) << i;
        ASSERT_EQ(tb, t) << i;
    }
}

// ---- the port-configuration dialog ----

TEST(PortConfig, FlowChoicesGiveTheirSummaryCode)
{
    Dcb d = defaultDcb();  // one record through every change of flow control
    for (std::int32_t flow : {0, 1, 2, 0, 2, 1, 0}) {
        applyPortConfig(PortConfig{19200, 7, EVENPARITY, TWOSTOPBITS, flow}, d);
        EXPECT_EQ(flowControlCode(d), flow);
        EXPECT_EQ(d.BaudRate, 19200u);
        EXPECT_EQ(d.ByteSize, 7);
        EXPECT_EQ(d.Parity, EVENPARITY);
        EXPECT_EQ(d.StopBits, TWOSTOPBITS);
        EXPECT_TRUE(d.fParity());
        EXPECT_EQ(portConfigOf(d).flowControl, flow);
    }
}

TEST(PortConfig, AnUnchangedFlowChoiceKeepsTheDcbDialogsSettings)
{
    Dcb d = defaultDcb();
    d.setFOutxDsrFlow(true);
    d.setFDtrControl(DTR_CONTROL_HANDSHAKE);
    d.setFRtsControl(RTS_CONTROL_ENABLE);
    applyPortConfig(PortConfig{250000, 8, NOPARITY, ONESTOPBIT, 0}, d);
    EXPECT_EQ(d.BaudRate, 250000u);  // any rate
    EXPECT_TRUE(d.fOutxDsrFlow());
    EXPECT_EQ(d.fDtrControl(), DTR_CONTROL_HANDSHAKE);
    EXPECT_EQ(d.fRtsControl(), RTS_CONTROL_ENABLE);
    EXPECT_FALSE(d.fParity());
}

TEST(PortConfig, BaudRateTexts)
{
    std::uint32_t rate = 0;
    EXPECT_TRUE(parseBaudRate(" 123457 ", rate));
    EXPECT_EQ(rate, 123457u);
    for (const char* bad : {"", "0", "96OO", "-9600", "99999999999", "9600 1"})
        EXPECT_FALSE(parseBaudRate(bad, rate)) << bad;
    EXPECT_EQ(setCommStateErrorText(87, 52), "SetCommStateのErr番号は87:cc.size=52");
}

// ---- dialogs 705, 707, 714 ----

TEST(DisplayModeDialog, TheTimeStampNoticeAndTheStoredMode)
{
    struct Case {
        std::int32_t current;
        int radio;
        std::int32_t mode;
        bool warn;
    };
    for (const Case& c : {Case{0, 501, 0, false}, Case{0, 502, 1, false}, Case{0, 503, 2, false}, Case{0, 0, 1, false},
                          Case{2, 503, 2, true}, Case{2, 501, 0, true}, Case{2, 502, 1, true}, Case{2, 504, 1, false},
                          Case{1, 504, 1, false}}) {
        const DisplayModeChoice r = chooseDisplayMode(c.current, c.radio);
        EXPECT_EQ(r.mode, c.mode) << c.current << " " << c.radio;
        EXPECT_EQ(r.warnTimeStamps, c.warn) << c.current << " " << c.radio;
    }
    EXPECT_EQ(displayModeRadio(2), 503);
    EXPECT_EQ(displayModeRadio(9), 0);
}

TEST(PlDialog, BufferSizeCorrections)
{
    using N = BufferSizeNotice;
    struct Case {
        const char* typed;
        std::int32_t size;
        std::vector<N> notices;
    };
    for (const Case& c : {Case{"999", 600, {N::SetTo600}}, Case{"150", 200, {N::SetTo200}},
                          Case{"333", 332, {N::MadeEven}}, Case{"", 200, {N::SetTo200}}, Case{"201", 200, {N::MadeEven}},
                          Case{"599", 598, {N::MadeEven}}, Case{"600", 600, {}}, Case{"200", 200, {}},
                          Case{"-7", 200, {N::SetTo200}}}) {
        SettingsRecord r;
        PlControls p = plControlsFor(r);
        p.bufferSize = c.typed;
        EXPECT_EQ(applyPlControls(r, p), c.notices) << c.typed;
        EXPECT_EQ(r.bufferSize, c.size) << c.typed;
    }
    EXPECT_STREQ(bufferSizeNoticeText(N::MadeEven), "Buffer Sizeを偶数値に設定します。");
}

TEST(PlDialog, OtherFieldsAreStoredAsTyped)
{
    SettingsRecord r;
    PlControls p = plControlsFor(r);
    EXPECT_EQ(p.baseClockMs, "200");
    p.baseClockMs = "50";
    p.idleClockFactor = "x";
    p.trafficDisplayCount = "25";
    p.idleRedisplayCount = "-3";
    p.fastDisplayAtStart = false;
    p.autoScroll = false;
    p.fullRedisplay = true;
    applyPlControls(r, p);
    EXPECT_EQ(r.baseClockMs, 50);
    EXPECT_EQ(r.idleClockFactor, 0);
    EXPECT_EQ(r.trafficDisplayCount, 25);  // out of range: corrected only when loaded
    EXPECT_EQ(r.idleRedisplayCount, -3);
    EXPECT_EQ(r.fastDisplayAtStart, 0);
    EXPECT_EQ(r.autoScroll, 0);
    EXPECT_EQ(r.fullRedisplay, 1);
}

TEST(StartupSizeDialog, RadioButtonsAndCodes)
{
    const std::pair<int, std::int32_t> pairs[] = {{501, 0}, {502, 1}, {503, 2}, {504, 3}, {509, 4}, {510, 5}};
    for (const auto& [radio, code] : pairs) {
        EXPECT_EQ(startupSizeCodeFor(radio), code);
        EXPECT_EQ(startupSizeRadio(code), radio);
    }
    EXPECT_EQ(startupSizeCodeFor(0), 1);
    EXPECT_EQ(startupSizeRadio(6), 0);
}

// ---- dialogs 713, 719 ----

TEST(OtherSettingsDialog, SwitchesAndTexts)
{
    Settings s;
    OtherControls c = otherControlsFor(s);
    EXPECT_EQ(c.pdfReaderPath, "AcroRd32.exe");
    EXPECT_EQ(c.pdfPageCommand, "/A page=");
    EXPECT_TRUE(c.comNumbersFromSystem);
    c.noExitSaveQuery = true;
    c.comNumbersFromSystem = false;
    c.showSentText = false;
    c.checksumLowerCase = true;
    c.pdfReaderPath = std::string(300, 'r');
    c.pdfPageCommand = "";
    applyOtherControls(s, c);
    EXPECT_EQ(s.record.noExitSaveQuery, 1);
    EXPECT_EQ(s.record.comNumbersFromRegistry, 0);
    EXPECT_EQ(s.record.showSentText, 0);
    EXPECT_EQ(s.record.checksumLowerCase, 1);
    EXPECT_EQ(fixedText(s.pdfReaderPath), std::string(259, 'r'));
    EXPECT_EQ(fixedText(s.pdfPageCommand), "");
}

TEST(AutoLogDialog, SwitchAndPrefix)
{
    SamplingSettings s;
    EXPECT_EQ(autoLogControlsFor(s).prefix, "Log");
    EXPECT_FALSE(autoLogControlsFor(s).autoLogging);
    applyAutoLogControls(s, {true, std::string(40, 'p')});
    EXPECT_EQ(s.autoLogging, 1);
    EXPECT_EQ(fixedText(s.autoLogPrefix), std::string(31, 'p'));
    applyAutoLogControls(s, {false, ""});
    EXPECT_EQ(s.autoLogging, 0);
    EXPECT_EQ(fixedText(s.autoLogPrefix), "");
}

} // namespace
} // namespace kestrane
