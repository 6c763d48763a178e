// One channel's part of the settings. The records keep CH1's and CH2's fields side by side under
// their stored names; these views name one channel's fields by what they are, so code that works
// on "the channel" chooses the channel once.
#pragma once

#include "records/settings_records.h"

#include <cstdint>
#include <type_traits>

namespace kestrane {

// The other channel of the pair (CH2 for CH1, CH1 for CH2).
[[nodiscard]] constexpr int otherChannel(int channel) { return channel == 1 ? 2 : 1; }

// A field of a view: const through a const record.
template <class Record, class T>
using ViewField = std::conditional_t<std::is_const_v<Record>, const T&, T&>;

// One channel's fields of `SettingsRecord`, by reference.
template <class Record>
struct ChannelFieldsOf {
    ViewField<Record, std::int32_t> comNumber;
    // The line summary: what the port has, refreshed after every open and change.
    ViewField<Record, std::uint32_t> baudRate;
    ViewField<Record, std::uint8_t> byteSize;
    ViewField<Record, std::uint8_t> stopBits;
    ViewField<Record, std::uint8_t> parity;
    ViewField<Record, std::int32_t> flowControl;
    // The port-configuration size option and the receive options.
    ViewField<Record, std::int32_t> forceConfigSize52;
    ViewField<Record, std::int32_t> rxGapMs;
    ViewField<Record, std::int32_t> maskRxChar;
    ViewField<Record, std::int32_t> maskRxFlag;
};
using ChannelFields = ChannelFieldsOf<SettingsRecord>;

// Channel 1 is CH1, any other CH2 (callers check the number where it comes from outside).
template <class Record>
    requires std::is_same_v<std::remove_const_t<Record>, SettingsRecord>
[[nodiscard]] ChannelFieldsOf<Record> channelFields(Record& r, int channel)
{
    if (channel == 1)
        return {r.ch1ComNumber,   r.ch1BaudRate,          r.ch1ByteSize, r.ch1StopBits,   r.ch1Parity,
                r.ch1FlowControl, r.ch1ForceConfigSize52, r.ch1RxGapMs,  r.ch1MaskRxChar, r.ch1MaskRxFlag};
    return {r.ch2ComNumber,   r.ch2BaudRate,          r.ch2ByteSize, r.ch2StopBits,   r.ch2Parity,
            r.ch2FlowControl, r.ch2ForceConfigSize52, r.ch2RxGapMs,  r.ch2MaskRxChar, r.ch2MaskRxFlag};
}

// One channel's line parameters in `LineParams`: its DCB and time-out stores.
template <class Params>
struct ChannelLineOf {
    ViewField<Params, Dcb> dcb;
    ViewField<Params, CommTimeouts> timeouts;
};

template <class Params>
    requires std::is_same_v<std::remove_const_t<Params>, LineParams>
[[nodiscard]] ChannelLineOf<Params> channelLine(Params& p, int channel)
{
    if (channel == 1)
        return {p.ch1Dcb, p.ch1Timeouts};
    return {p.ch2Dcb, p.ch2Timeouts};
}

// Copies into the line summary what `dcb` says: rate, data bits, parity, stop bits and the
// flow-control code.
void setLineSummary(ChannelFields fields, const Dcb& dcb);

} // namespace kestrane
