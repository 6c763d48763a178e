// What the sampling settings dialog shows on opening and what OK stores.
#include "sampling/sampling_settings.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

TEST(SamplingDialogValues, TypedNumbers)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"12", 12}, {"  7", 7}, {"-5", -5}, {"+9", 9}, {"5,", 5}, {"3a", 3}, {"ab", 0}, {"", 0},
        {"-", 0},   {"0042", 42}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseDialogNumber(text), value) << text;
}

TEST(SamplingDialogValues, OpeningShowsTheCountAndTheTenNumbers)
{
    SamplingSettings s;
    s.samplingFields[0] = {1, 3};
    s.samplingFields[4] = {-2, 20};
    for (const auto& [stored, shown] : {std::pair{0, 0}, {1, 1}, {5, 5}, {6, 0}, {-1, 0}}) {
        s.samplingCount = stored;
        EXPECT_EQ(samplingDialogCount(s), shown) << stored;
    }
    const SamplingEditTexts texts = samplingDialogTexts(s);
    EXPECT_EQ(texts[0], "1");
    EXPECT_EQ(texts[1], "3");
    EXPECT_EQ(texts[2], "0");
    EXPECT_EQ(texts[8], "-2");
    EXPECT_EQ(texts[9], "20");
}

TEST(SamplingDialogValues, OkCorrectsPositionsAbove300AndLengthsAbove20OneMessageEach)
{
    SamplingSettings s;
    SamplingDialogInput in;
    in.checkedCount = 3;
    in.edits = {"400", "25", "300", "20", "301", "2", "5", "21", "-4", "-1"};
    const auto corrections = applySamplingDialog(s, in);
    using C = SamplingCorrection;
    EXPECT_EQ(corrections, (std::vector<C>{C::PositionAbove300, C::LengthAbove20, C::PositionAbove300, C::LengthAbove20}));
    EXPECT_EQ(s.samplingCount, 3);
    EXPECT_EQ(s.samplingFields[0], (SamplingField{300, 20}));
    EXPECT_EQ(s.samplingFields[1], (SamplingField{300, 20}));
    EXPECT_EQ(s.samplingFields[2], (SamplingField{300, 2}));
    EXPECT_EQ(s.samplingFields[3], (SamplingField{5, 20}));
    EXPECT_EQ(s.samplingFields[4], (SamplingField{-4, -1})) << "negative values are stored as typed";
}

TEST(SamplingDialogValues, NoCheckedButtonKeepsTheCount)
{
    SamplingSettings s;
    s.samplingCount = 4;
    SamplingDialogInput in;
    in.checkedCount = -1;
    EXPECT_TRUE(applySamplingDialog(s, in).empty());
    EXPECT_EQ(s.samplingCount, 4);
    in.checkedCount = 0;
    applySamplingDialog(s, in);
    EXPECT_EQ(s.samplingCount, 0);
}

} // namespace
} // namespace kestrane
