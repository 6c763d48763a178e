#include "sampling/sampling_settings.h"

#include "notation/number_reader.h"

#include <limits>

namespace kestrane {

int samplingDialogCount(const SamplingSettings& settings)
{
    return settings.samplingCount >= 1 && settings.samplingCount <= 5 ? settings.samplingCount : 0;
}

SamplingEditTexts samplingDialogTexts(const SamplingSettings& settings)
{
    SamplingEditTexts texts;
    for (std::size_t k = 0; k < settings.samplingFields.size(); ++k) {
        texts[2 * k] = std::to_string(settings.samplingFields[k].position);
        texts[2 * k + 1] = std::to_string(settings.samplingFields[k].length);
    }
    return texts;
}

std::int32_t parseDialogNumber(std::string_view text)
{
    NumberRules rules;
    rules.blanks = NumberRules::Blanks::SpaceTab;
    rules.min = std::numeric_limits<std::int32_t>::min();
    rules.max = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(readNumber(text, rules).value);
}

std::vector<SamplingCorrection> applySamplingDialog(SamplingSettings& settings, const SamplingDialogInput& input)
{
    if (input.checkedCount >= 0 && input.checkedCount <= 5)
        settings.samplingCount = input.checkedCount;
    std::vector<SamplingCorrection> corrections;
    for (std::size_t k = 0; k < settings.samplingFields.size(); ++k) {
        SamplingField& field = settings.samplingFields[k];
        field.position = parseDialogNumber(input.edits[2 * k]);
        if (field.position > kMaxSamplingPosition) {
            field.position = kMaxSamplingPosition;
            corrections.push_back(SamplingCorrection::PositionAbove300);
        }
        field.length = parseDialogNumber(input.edits[2 * k + 1]);
        if (field.length > kMaxSamplingLength) {
            field.length = kMaxSamplingLength;
            corrections.push_back(SamplingCorrection::LengthAbove20);
        }
    }
    return corrections;
}

} // namespace kestrane
