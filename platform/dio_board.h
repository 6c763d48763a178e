// The digital I/O board. No board is fitted on this platform: every operation does nothing.
#pragma once

namespace kestrane {

class DioBoard {
public:
    // Closes the board (a no-op here); returns 0 as the board driver's success.
    int close() { return 0; }
};

} // namespace kestrane
