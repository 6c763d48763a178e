// The second field of the status bar: what happened to the channels' devices (lost, waited
// for, reconnected) and why a port did not open. The status text beside it is untouched.
#pragma once

#include "comm/channel.h"
#include "traffic/traffic_buffer.h"

#include <QString>

namespace kestrane {

struct DeviceFieldText {
    QString text;          // short: a device by its file name
    QString detail;        // the same with whole paths, for the tooltip
    bool warning = false;  // shown in the warning colour
};

// `ch2Used`: CH2's piece is left out while CH2 is not used. `autoLog`: automatic logging that
// cannot write its pages is told after the channels.
DeviceFieldText deviceFieldText(const DeviceStatus& ch1, const DeviceStatus& ch2, bool ch2Used,
                                const TrafficBuffer::AutoLogStatus& autoLog = {});

} // namespace kestrane
