// The words of the programs without a window for what happened to a device (English, as all
// their output): shared by the recorder and the macro runner.
#pragma once

#include <string>

namespace kestrane {
struct DeviceStatus;
}

namespace kestrane::headless {

// Why a lost device was lost and what happens next: "the device went away; waiting for it to
// come back".
[[nodiscard]] std::string lossText(const DeviceStatus& device);

} // namespace kestrane::headless
