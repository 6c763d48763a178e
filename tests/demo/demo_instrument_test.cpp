// The demo instrument's protocol: frames with every check Kestrane can send, the request reader,
// the instrument's answers and its Shift-JIS reading.
#include "demo/demo_folder.h"
#include "demo/demo_instrument.h"
#include "text/cp932.h"
#include "sending/send_buffer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace kestrane::demo {
namespace {

std::vector<std::uint8_t> bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

TEST(DemoFrames, EveryCheckFormRoundTripsWhateverTheDataBytes)
{
    std::mt19937 rng(14);
    for (int i = 0; i < 3000; ++i) {
        Frame f;
        f.data.resize(rng() % 12);
        for (auto& b : f.data) {
            b = static_cast<std::uint8_t>(rng());
            if (b == kStx || b == kEtx)
                b = 'x';  // data never carry the frame characters
        }
        f.check = static_cast<CheckForm>(rng() % 6);
        f.lowerCase = rng() % 2 == 0;
        f.trailer = std::vector<std::vector<std::uint8_t>>{{}, {'\r'}, {'\r', '\n'}}[rng() % 3];
        const std::vector<std::uint8_t> wire = composeFrame(f);
        const std::size_t etx = f.data.size() + 1;
        ASSERT_EQ(wire[etx], kEtx);
        const auto matched = matchFrame(f.data, std::span(wire).subspan(etx + 1));
        ASSERT_TRUE(matched.has_value()) << i;
        // Two forms can give the same bytes (XOR equal to the sum); the bytes must agree.
        EXPECT_EQ(composeFrame(*matched), wire) << i;
    }
}

TEST(DemoFrames, FramesComposedByKestraneAreRecognisedWithTheirCheck)
{
    struct Case {
        std::int32_t method, form;
        bool lower;
        CheckForm expected;
    };
    for (const Case c : {Case{kChecksumXor, kChecksumOneByte, false, CheckForm::XorByte},
                         Case{kChecksumSum, kChecksumOneByte, false, CheckForm::SumByte},
                         Case{kChecksumXor, kChecksumTwoDigits, true, CheckForm::XorDigits},
                         Case{kChecksumSum, kChecksumTwoDigits, false, CheckForm::SumDigits},
                         Case{kChecksumCrc16, kChecksumTwoDigits, false, CheckForm::Crc16}}) {
        FrameOptions o;
        o.startOn = o.stopOn = o.checksumOn = o.endOn = true;
        o.startCharHex = {'0', '2'};
        o.stopCharHex = {'0', '3'};
        o.endCharHex = {'0', 'D'};
        o.checksumMethod = c.method;
        o.checksumOutputForm = c.form;
        o.checksumLowerCase = c.lower;
        SendState s;
        s.composeFrame("\"ID\"", TextForm::HexNotation, o);
        const auto frame = s.sendBuffer.frame();
        ASSERT_EQ(frame[3], kEtx);
        const auto matched = matchFrame(bytes("ID"), frame.subspan(4));
        ASSERT_TRUE(matched.has_value()) << c.method << " " << c.form;
        EXPECT_EQ(matched->check, c.expected);
        EXPECT_EQ(matched->trailer, (std::vector<std::uint8_t>{'\r'}));
    }
    // The example frame of the character send dialog: 02 41 42 03 03 0D (byte XOR).
    const auto m = matchFrame(bytes("AB"), std::vector<std::uint8_t>{0x03, 0x0D});
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->check, CheckForm::XorByte);
    EXPECT_FALSE(matchFrame(bytes("AB"), std::vector<std::uint8_t>{0x04}).has_value());
}

TEST(DemoRequests, FramesAreCompleteAfterTheGapOrWhenTheNextFrameStarts)
{
    RequestReader reader(50);
    // Split anywhere: nothing is complete until the gap after ETX has passed.
    const auto rd = composeFrame(Frame{bytes("RD"), CheckForm::Crc16, false, {}});
    reader.feed(std::span(rd).first(3), 0);
    EXPECT_TRUE(reader.take(1000).empty());
    reader.feed(std::span(rd).subspan(3), 1000);
    EXPECT_TRUE(reader.take(1040).empty());
    ASSERT_EQ(reader.deadline(), std::optional<std::int64_t>(1050));
    auto got = reader.take(1050);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Request::Kind::Framed);
    EXPECT_EQ(got[0].frame.check, CheckForm::Crc16);

    // Two frames in one write, the first one's check byte being 02 ('A' XOR 'C'): the STX that
    // follows it still starts the next frame.
    std::vector<std::uint8_t> two = composeFrame(Frame{bytes("AC"), CheckForm::XorByte, false, {}});
    ASSERT_EQ(two.back(), 0x02);
    const auto second = composeFrame(Frame{bytes("ST"), CheckForm::SumDigits, false, {'\r', '\n'}});
    two.insert(two.end(), second.begin(), second.end());
    reader.feed(two, 2000);
    got = reader.take(3000);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].frame.data, bytes("AC"));
    EXPECT_EQ(got[0].frame.check, CheckForm::XorByte);
    EXPECT_EQ(got[1].frame.data, bytes("ST"));
    EXPECT_EQ(got[1].frame.check, CheckForm::SumDigits);

    // A text line, then a frame whose check is wrong.
    reader.feed(bytes("ID\r\x02RD\x03\x7F"), 4000);
    got = reader.take(5000);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, Request::Kind::Line);
    EXPECT_EQ(got[0].line, bytes("ID"));
    EXPECT_EQ(got[1].kind, Request::Kind::BadCheck);
    EXPECT_FALSE(reader.deadline().has_value());
}

TEST(DemoInstrument, AnswersInTheRequestsOwnFormAndReportsWithAShiftJisLabel)
{
    Instrument instrument;
    RequestReader reader(10);
    // "ID" has the check 0d: lower-case digits, answered in lower case.
    reader.feed(composeFrame(Frame{bytes("ID"), CheckForm::XorDigits, true, {'\r'}}), 0);
    reader.feed(composeFrame(Frame{bytes("RD"), CheckForm::Crc16, false, {}}), 0);
    const auto requests = reader.take(100);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(instrument.answer(requests[0], 7),
              composeFrame(Frame{bytes("ID,KESTRANE-DEMO,1.0"), CheckForm::XorDigits, true, {'\r'}}));
    const std::string value = Instrument::readingText(Instrument::readingTenths(7));
    EXPECT_EQ(instrument.answer(requests[1], 7), composeFrame(Frame{bytes("RD," + value), CheckForm::Crc16, false, {}}));

    Request bad;
    bad.kind = Request::Kind::BadCheck;
    EXPECT_EQ(instrument.answer(bad, 0), std::vector<std::uint8_t>{kNak});
    Request line;
    line.kind = Request::Kind::Line;
    line.line = bytes("ID");
    EXPECT_EQ(instrument.answer(line, 0), bytes("ID,KESTRANE-DEMO,1.0\r\n"));
    Request unknown;
    unknown.frame.data = bytes("ZZ");
    EXPECT_EQ(instrument.answer(unknown, 0), composeFrame(Frame{bytes("NG"), CheckForm::None, false, {}}));

    const std::vector<std::uint8_t> reading = instrument.periodicReading(3);
    const QString text = fromCp932(QByteArray(reinterpret_cast<const char*>(reading.data()), static_cast<qsizetype>(reading.size())));
    EXPECT_EQ(text.mid(1, text.indexOf(QChar(0x03)) - 1).toStdString(),
              "温度 " + Instrument::readingText(Instrument::readingTenths(3)) + "℃");
    RequestReader check(10);
    check.feed(reading, 0);
    const auto parsed = check.take(10);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].frame.check, CheckForm::XorDigits);
    EXPECT_EQ(parsed[0].frame.trailer, bytes("\r\n"));
}

TEST(DemoInstrument, ReadingsStayPlausibleAndAreWrittenWithSignAndOneDecimal)
{
    for (std::int64_t i = 0; i < 500; ++i) {
        const int t = Instrument::readingTenths(i);
        EXPECT_GE(t, 200);
        EXPECT_LE(t, 260);
    }
    EXPECT_EQ(Instrument::readingText(234), "+23.4");
    EXPECT_EQ(Instrument::readingText(-5), "-0.5");
}

} // namespace
} // namespace kestrane::demo

namespace kestrane::demo {
namespace {

TEST(DemoFiles, TheFixedStringsAreFramesTheInstrumentAccepts)
{
    test::TempDir dir;
    ASSERT_TRUE(writeDemoFilesIfMissing(dir.path()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "log"));
    EXPECT_TRUE(std::filesystem::exists(dir / "macro" / "poll.txt"));
    const std::vector<std::uint8_t> file = test::readFileBytes(dir / "mdata.txt");
    std::string text(file.begin(), file.end());
    std::vector<std::string> lines;
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos; text.erase(0, at + 2))
        lines.push_back(text.substr(0, at));
    EXPECT_TRUE(text.empty());  // every line ends with CR LF
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        // "送信": the line in hex send notation, sent as it stands.
        SendState s;
        s.convertHexNotation(lines[i], true, kChecksumXor);
        RequestReader reader(10);
        reader.feed(s.sendBuffer.frame(), 0);
        const auto got = reader.take(100);
        ASSERT_EQ(got.size(), 1u) << lines[i];
        EXPECT_EQ(got[0].kind, Request::Kind::Framed) << lines[i];
        EXPECT_EQ(got[0].frame.check, CheckForm::XorByte) << lines[i];
    }
    // A second call keeps what the user changed.
    test::writeFileBytes(dir / "mdata.txt", {'X', '\r', '\n'});
    ASSERT_TRUE(writeDemoFilesIfMissing(dir.path()));
    EXPECT_EQ(test::readFileBytes(dir / "mdata.txt").size(), 3u);
}

} // namespace
} // namespace kestrane::demo
