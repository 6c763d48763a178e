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

TEST(CharacterSend, ALongLineIsCutAt511BytesWithoutSplittingACharacter)
{
    SettingsRecord settings;
    CharacterSendRecord r;
    auto state = std::make_unique<SendState>();
    SendHistory history;
    const auto frame = [&] { return Bytes(state->sendBuffer.frame().begin(), state->sendBuffer.frame().end()); };
    // 510 ASCII bytes and a double-byte character: 512 bytes, the pair does not fit.
    std::string line(510, 'a');
    line += "\x82\xA0";
    prepareCharacterSend(*state, history, r, settings, line, TextForm::Asc);
    EXPECT_EQ(frame().size(), 510u);
    EXPECT_EQ(history.texts().front(), std::string(510, 'a'));

    line = std::string(509, 'a') + "\x82\xA0" + "b";
    prepareCharacterSend(*state, history, r, settings, line, TextForm::Asc);
    EXPECT_EQ(frame().size(), 511u);
    EXPECT_EQ(frame().back(), 0xA0);
    // A lead byte at the very end stands alone; half-width kana are single bytes.
    EXPECT_EQ(cp932PrefixLength("\xE0\x40\xFC", 3), 3u);
    EXPECT_EQ(cp932PrefixLength("\xA0\xA0", 1), 1u);
}

} // namespace
} // namespace kestrane
