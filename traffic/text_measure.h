// Width of a piece of code page 932 text in the display font. The fast display measures each
// run on the thread that feeds it, so an implementation must be safe to call from several
// threads at once (the Qt one is a table built on the GUI thread and read-only afterwards).
#pragma once

#include <cstdint>

namespace kestrane {

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // Pixels taken by `count` bytes of text (lead and trail bytes of a pair together).
    [[nodiscard]] virtual int textWidth(const std::uint8_t* bytes, int count) const = 0;
};

} // namespace kestrane
