// The character send dialogs' rules without widgets: the history, the record and the settings,
// the frame a send leaves in the send buffer.
#include "sending/character_send.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SendHistory, SameTextTwiceKeepsOneEntryAndItsPlace)
{
    SendHistory h;
    EXPECT_TRUE(h.add("AA"));
    EXPECT_TRUE(h.add("BB"));
    EXPECT_FALSE(h.add("AA"));  // already there: nothing moves
    EXPECT_EQ(h.texts(), (std::vector<std::string>{"BB", "AA"}));
}

TEST(SendHistory, TwentyOneTextsKeepTheLastTwentyNewestFirst)
{
    SendHistory h;
    for (int i = 0; i < 21; ++i)
        h.add("t" + std::to_string(i));
    const auto texts = h.texts();
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(texts.front(), "t20");
    EXPECT_EQ(texts.back(), "t1");
}

TEST(SendHistory, TextsThatDifferOnlyAtTheEndAreDifferentAndEmptyIsNeverKept)
{
    SendHistory h;
    h.add("0D0A");
    EXPECT_TRUE(h.add("0D0A "));
    EXPECT_TRUE(h.add("0D0"));
    EXPECT_FALSE(h.add(""));
    EXPECT_EQ(h.texts(), (std::vector<std::string>{"0D0", "0D0A ", "0D0A"}));
    // An evicted text comes back as a new entry 0.
    for (int i = 0; i < 20; ++i)
        h.add("x" + std::to_string(i));
    EXPECT_TRUE(h.add("0D0A"));
    EXPECT_EQ(h.texts().front(), "0D0A");
}

TEST(CharacterSendRecord, OpensFromTheSettingsWithCh1AndStoresBack)
{
    SettingsRecord s;
    s.sendStartCharOn = 1;
    s.sendChecksumOn = 5;  // any non-zero is on
    s.sendStartCharHex = {'0', '2', 0, 0};
    s.sendEndCharHex = {'1', 'F', 'F', 'X'};  // no NUL in the stored field
    const CharacterSendRecord r = recordFromSettings(s);
    EXPECT_EQ(r.startOn, 1);
    EXPECT_EQ(r.checksumOn, 1);
    EXPECT_EQ(r.stopOn, 0);
    EXPECT_EQ(fieldText(r.startCharHex), "02");
    EXPECT_EQ(fieldText(r.endCharHex), "1FF");
    EXPECT_EQ(selectedChannel(r), 1);
    EXPECT_EQ(r.ch1Selected, 1);

    CharacterSendRecord changed = r;
    changed.stopOn = 1;
    changed.stopCharHex = characterField("03xyz");  // an edit gives at most 3 characters
    changed.ch2Selected = 1;
    changed.ch1Selected = 0;
    SettingsRecord back = s;
    storeRecord(changed, back);
    EXPECT_EQ(back.sendStopCharOn, 1);
    EXPECT_EQ(back.sendChecksumOn, 1);
    EXPECT_EQ(fixedText(back.sendStopCharHex), "03x");
    EXPECT_EQ(selectedChannel(changed), 2);
    // Nothing but the seven decoration fields changes.
    SettingsRecord expected = s;
    expected.sendStopCharOn = 1;
    expected.sendChecksumOn = 1;
    expected.sendStopCharHex = {'0', '3', 'x', 0};
    expected.sendEndCharHex = {'1', 'F', 'F', 0};
    EXPECT_EQ(back, expected);
}

struct PreparedFrame {
    std::unique_ptr<SendState> state = std::make_unique<SendState>();
    SendHistory history;
    Bytes frame() const { return Bytes(state->sendBuffer.frame().begin(), state->sendBuffer.frame().end()); }
};

TEST(CharacterSend, TheRecordDecoratesAndTheSettingsChooseTheChecksum)
{
    SettingsRecord settings;
    settings.sendStartCharOn = 0;  // the dialog's record wins over the stored switches
    settings.checksumMethod = 1;   // byte sum
    settings.checksumOutputForm = 1;
    CharacterSendRecord r;
    r.startOn = r.stopOn = r.checksumOn = r.endOn = 1;
    r.startCharHex = characterField("02");
    r.stopCharHex = characterField("03");
    r.endCharHex = characterField("0D");

    PreparedFrame p;
    EXPECT_TRUE(prepareCharacterSend(*p.state, p.history, r, settings, "\"AB\"", TextForm::HexNotation));
    EXPECT_EQ(p.frame(), (Bytes{0x02, 0x41, 0x42, 0x03, '8', '3', 0x0D}));
    EXPECT_EQ(p.state->sendText.view(), "\"AB\"");

    settings.checksumMethod = 0;
    settings.checksumOutputForm = 0;
    prepareCharacterSend(*p.state, p.history, r, settings, "\"AB\"", TextForm::Asc);
    EXPECT_EQ(p.frame(), (Bytes{0x02, '"', 'A', 'B', '"', 0x03, 0x22 ^ 0x41 ^ 0x42 ^ 0x22, 0x0D}));
    EXPECT_EQ(p.history.texts().size(), 1u);  // the same line twice
}

TEST(CharacterSend, AnEmptyLineSendsOnlyTheCharactersAndLeavesTheHistory)
{
    SettingsRecord settings;
    CharacterSendRecord r;
    r.startOn = r.checksumOn = r.endOn = 1;
    r.startCharHex = characterField("02");
    r.endCharHex = characterField("0D");
    PreparedFrame p;
    EXPECT_FALSE(prepareCharacterSend(*p.state, p.history, r, settings, "", TextForm::HexNotation));
    EXPECT_EQ(p.frame(), (Bytes{0x02, 0x0D}));
    EXPECT_TRUE(p.history.texts().empty());

    CharacterSendRecord none;
    prepareCharacterSend(*p.state, p.history, none, settings, "", TextForm::Asc);
    EXPECT_TRUE(p.frame().empty());
}

TEST(CharacterSend, ALongLineIsCutAt511BytesWithoutSplittingACharacter)
{
    SettingsRecord settings;
    CharacterSendRecord r;
    PreparedFrame p;
    // 510 ASCII bytes and a double-byte character: 512 bytes, the pair does not fit.
    std::string line(510, 'a');
    line += "\x82\xA0";
    prepareCharacterSend(*p.state, p.history, r, settings, line, TextForm::Asc);
    EXPECT_EQ(p.frame().size(), 510u);
    EXPECT_EQ(p.history.texts().front(), std::string(510, 'a'));

    line = std::string(509, 'a') + "\x82\xA0" + "b";
    prepareCharacterSend(*p.state, p.history, r, settings, line, TextForm::Asc);
    EXPECT_EQ(p.frame().size(), 511u);
    EXPECT_EQ(p.frame().back(), 0xA0);
}

TEST(Cp932Prefix, CountsDoubleByteCharactersWhole)
{
    EXPECT_EQ(cp932PrefixLength("abc", 2), 2u);
    EXPECT_EQ(cp932PrefixLength("a\x82\xA0", 2), 1u);
    EXPECT_EQ(cp932PrefixLength("a\x82\xA0", 3), 3u);
    EXPECT_EQ(cp932PrefixLength("\xE0\x40\xFC", 3), 3u);  // a lead byte at the end stands alone
    EXPECT_EQ(cp932PrefixLength("\xA0\xA0", 1), 1u);      // half-width kana: single bytes
}

} // namespace
} // namespace kestrane
