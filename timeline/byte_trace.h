// What the journal still knows about one byte of the traffic record: the chunk it came in (its
// channel, direction and time) and the line errors at it. For the character inspection.
#pragma once

#include "timeline/journal.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrane::timeline {

struct ByteTrace {
    Entry chunk;                // the Data entry whose bytes hold it
    std::vector<Entry> errors;  // line errors at it (a break or an overrun: just before it)
};

// Looks `record` (a position as the journal counts them), a byte of `channel` and `direction`, up
// among the entries the journal keeps; nothing once they are gone. The stream tells a stored
// byte from a sent message the record left out, which the journal keeps at the same position. A few short copies under the journal's lock (a binary search by
// sequence number, then the entries around the one found), never the whole journal.
[[nodiscard]] std::optional<ByteTrace> traceByte(const Journal& journal, std::uint64_t record, int channel,
                                                 Direction direction);

} // namespace kestrane::timeline
