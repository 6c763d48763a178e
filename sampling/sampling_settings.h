// The values of the sampling settings dialog 715: what it shows on opening and how OK stores the
// typed numbers, with the corrections of positions above 300 and lengths above 20.
#pragma once

#include "records/settings_records.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

inline constexpr std::int32_t kMaxSamplingPosition = 300;
inline constexpr std::int32_t kMaxSamplingLength = 20;

// The ten edits, in the order position 1, length 1, ..., position 5, length 5 (ids 403 to 412).
using SamplingEditTexts = std::array<std::string, 10>;

struct SamplingDialogInput {
    int checkedCount = -1;  // number of the checked radio button (0 to 5); -1 when none is checked
    SamplingEditTexts edits;
};

enum class SamplingCorrection { PositionAbove300, LengthAbove20 };

// The radio button checked on opening: the stored count when it is 1 to 5, otherwise "0".
[[nodiscard]] int samplingDialogCount(const SamplingSettings& settings);
// The edits on opening: the ten numbers in decimal.
[[nodiscard]] SamplingEditTexts samplingDialogTexts(const SamplingSettings& settings);

// A typed number: leading blanks, an optional sign, then the digits up to the first other
// character; no digits give 0. Saturates instead of overflowing.
[[nodiscard]] std::int32_t parseDialogNumber(std::string_view text);

// OK: stores the count (unchanged when no button is checked) and the ten numbers; each position
// above 300 is stored as 300 and each length above 20 as 20, giving one correction per offending
// edit in the order of the edits.
std::vector<SamplingCorrection> applySamplingDialog(SamplingSettings& settings, const SamplingDialogInput& input);

} // namespace kestrane
