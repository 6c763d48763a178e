// Two channels on fake ports, both open: for what pseudo-terminals cannot show (line errors,
// modem lines, queue counts).
#pragma once

#include "comm/channel.h"
#include "support/fake_serial_port.h"

#include <gtest/gtest.h>

#include <memory>

namespace kestrane::test {

struct FakeChannels {
    Settings settings;
    FakeSerialPort* port[3] = {nullptr, nullptr, nullptr};
    Channels channels{settings, [this](int com, OpenError&) {
                          auto p = std::make_unique<FakeSerialPort>();
                          port[com] = p.get();
                          return std::unique_ptr<SerialPort>(std::move(p));
                      }};
    FakeChannels()
    {
        EXPECT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
        EXPECT_EQ(channels.openChannel(2, 2), OpenResult::Opened);
    }
};

} // namespace kestrane::test
