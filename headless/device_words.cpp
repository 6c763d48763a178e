#include "headless/device_words.h"

#include "comm/channel.h"

namespace kestrane::headless {

std::string lossText(const DeviceStatus& d)
{
    std::string why;
    switch (d.lossReason) {
    case LossReason::None:
    case LossReason::HungUp: why = "the device went away"; break;
    case LossReason::IoError: why = "an input/output error"; break;
    case LossReason::ClosedByServer: why = "the server closed the connection"; break;  // a remote line
    case LossReason::ConnectionReset: why = "the connection broke"; break;
    case LossReason::NoAnswer: why = "the server stopped answering"; break;
    }
    return why + (d.awaiting ? "; waiting for it to come back" : "; automatic reconnection is off");
}

} // namespace kestrane::headless
