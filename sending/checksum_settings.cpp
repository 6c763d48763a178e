#include "sending/checksum_settings.h"

#include "sending/send_buffer.h"

namespace kestrane {

std::optional<std::int32_t> checksumMethodFromName(std::string_view text) noexcept
{
    for (std::size_t i = 0; i < kChecksumMethodNames.size(); ++i) {
        if (text == kChecksumMethodNames[i])
            return static_cast<std::int32_t>(i);
    }
    return std::nullopt;
}

void applyChecksumDialog(SettingsRecord& settings, const ChecksumDialogInput& input) noexcept
{
    if (const auto method = checksumMethodFromName(input.methodText))
        settings.checksumMethod = *method;
    if (input.oneByteChecked)
        settings.checksumOutputForm = kChecksumOneByte;
    if (input.twoDigitsChecked)
        settings.checksumOutputForm = kChecksumTwoDigits;
}

} // namespace kestrane
