// What the macro interpreter needs from the rest of the program, as interfaces so that tests
// and the fuzz check drive it without real ports, windows or time: the transmit operation and
// the dialog's reactions (MacroHost), the traffic buffer's received bytes and reception marker
// (MacroTraffic), and the X and Y areas of the digital I/O image (MacroDio). The millisecond
// tick comes from platform/clock.h.
#pragma once

#include "sending/send_result.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace kestrane {

class MacroHost {
public:
    virtual ~MacroHost() = default;
    // Writes the frame to channel 1 or 2 and records it.
    virtual TransmitResult transmit(int channel, std::span<const std::uint8_t> frame) = 0;
    // A send instruction failed: the dialog shows "送信出来ませんでした。".
    virtual void sendFailed() = 0;
    // The step counter, status, line and notice changed (what the dialog shows).
    virtual void refresh() = 0;
    // The macro finished or was stopped: the dialog stops its timers.
    virtual void finished() = 0;
};

class MacroTraffic {
public:
    virtual ~MacroTraffic() = default;
    // Hands every data byte whose tag is `tag` stored from index `from` up to the current stored
    // length to `take`, in order, and returns that stored length (where the next pass starts).
    // A `from` beyond the stored length means the buffer was cleared or dropped its oldest half
    // meanwhile; the scan then starts where the bytes not yet seen now lie.
    virtual std::int32_t scan(std::int32_t from, std::uint8_t tag, const std::function<void(std::uint8_t)>& take) = 0;
    [[nodiscard]] virtual std::int32_t storedLength() const = 0;
    [[nodiscard]] virtual std::int32_t receptionMarker() const = 0;
    virtual void setReceptionMarker(std::int32_t marker) = 0;
};

// The X area (input bytes of ports A, B, C) and the Y area (output bytes) of the I/O image.
class MacroDio {
public:
    virtual ~MacroDio() = default;
    [[nodiscard]] virtual std::uint8_t input(int port) const = 0;
    virtual void setInput(int port, std::uint8_t value) = 0;
    [[nodiscard]] virtual std::uint8_t output(int port) const = 0;
    virtual void setOutput(int port, std::uint8_t value) = 0;
};

// An image of its own: for tests and for a program without an I/O image.
class PlainMacroDio final : public MacroDio {
public:
    [[nodiscard]] std::uint8_t input(int port) const override { return inputs[index(port)]; }
    void setInput(int port, std::uint8_t value) override { inputs[index(port)] = value; }
    [[nodiscard]] std::uint8_t output(int port) const override { return outputs[index(port)]; }
    void setOutput(int port, std::uint8_t value) override { outputs[index(port)] = value; }

    std::array<std::uint8_t, 3> inputs{};
    std::array<std::uint8_t, 3> outputs{};

private:
    static std::size_t index(int port) { return port >= 0 && port < 3 ? static_cast<std::size_t>(port) : 0; }
};

} // namespace kestrane
