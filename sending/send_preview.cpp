#include "sending/send_preview.h"

#include "notation/hex_notation.h"

#include <algorithm>
#include <memory>

namespace kestrane {

bool FramePreview::hasMisread() const
{
    return std::any_of(uses.begin(), uses.end(), [](CharUse u) { return u == CharUse::ReadAsZero || u == CharUse::Ignored; });
}

FramePreview previewFrame(std::string_view text, TextForm form, const FrameOptions& options)
{
    FramePreview preview;
    // The bytes come from the composition the send runs, on a scratch state of their own.
    const auto state = std::make_unique<SendState>();
    state->composeFrame(text, form, options);
    const std::span<const std::uint8_t> frame = state->sendBuffer.frame();
    preview.bytes.assign(frame.begin(), frame.end());

    // The composition reads the text up to its first NUL and at most 511 characters.
    std::string_view data = text.substr(0, std::min(text.find('\0'), SendText::kMaxChars));
    preview.uses.assign(text.size(), CharUse::Ignored);
    std::vector<bool> dataMisread;
    if (form == TextForm::Asc) {
        std::fill_n(preview.uses.begin(), data.size(), CharUse::Sent);
        dataMisread.assign(data.size(), false);
    } else {
        scanHexNotation(data, [&](HexStep step, std::size_t at, std::uint8_t) {
            auto& uses = preview.uses;
            switch (step) {
            case HexStep::Quote: uses[at] = CharUse::Quote; return true;
            case HexStep::Literal: uses[at] = CharUse::Sent; break;
            case HexStep::Pair: uses[at] = uses[at + 1] = CharUse::Sent; break;
            case HexStep::OneDigit: uses[at] = CharUse::Sent; uses[at + 1] = CharUse::Ignored; break;
            case HexStep::NoDigit: uses[at] = CharUse::ReadAsZero; uses[at + 1] = CharUse::Ignored; break;
            case HexStep::DroppedLast: uses[at] = CharUse::Ignored; return false;
            }
            dataMisread.push_back(step == HexStep::OneDigit || step == HexStep::NoDigit);
            return true;
        });
    }

    // The parts around the data, in the order of the composition.
    const bool withText = !data.empty();
    const std::size_t checksumLength = !(options.checksumOn && withText) ? 0
                                       : (options.checksumMethod == kChecksumCrc16 ||
                                          options.checksumOutputForm == kChecksumTwoDigits)
                                           ? 2
                                           : 1;
    const std::size_t dataLength = std::min(dataMisread.size(), frame.size() - (options.startOn ? 1 : 0));
    const auto add = [&](FramePart part, std::size_t n) { preview.parts.insert(preview.parts.end(), n, part); };
    add(FramePart::Start, options.startOn ? 1 : 0);
    add(FramePart::Data, dataLength);
    preview.misread.assign(preview.parts.size() - dataLength, false);
    preview.misread.insert(preview.misread.end(), dataMisread.begin(), dataMisread.begin() + static_cast<std::ptrdiff_t>(dataLength));
    add(FramePart::Stop, options.stopOn ? 1 : 0);
    add(FramePart::Checksum, checksumLength);
    add(FramePart::End, options.endOn ? 1 : 0);
    preview.parts.resize(preview.bytes.size(), FramePart::End);
    preview.misread.resize(preview.bytes.size(), false);
    return preview;
}

} // namespace kestrane
