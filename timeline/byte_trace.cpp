#include "timeline/byte_trace.h"

namespace kestrane::timeline {

namespace {

// Entries on either side of the one the search lands on that are looked at: events of other
// threads may be stamped with a record length a little out of order, and a chunk's errors
// follow it with the other channel's entries between.
constexpr std::uint64_t kNeighbours = 64;

std::optional<Entry> entryAt(const Journal& journal, std::uint64_t sequence, std::vector<Entry>& scratch)
{
    scratch.clear();
    journal.copySince(sequence - 1, scratch, 1);
    if (scratch.empty() || scratch.front().sequence != sequence)
        return std::nullopt;
    return scratch.front();
}

} // namespace

std::optional<ByteTrace> traceByte(const Journal& journal, std::uint64_t record, int channel, Direction direction)
{
    std::vector<Entry> scratch;
    journal.copySince(0, scratch, 1);
    if (scratch.empty())
        return std::nullopt;
    std::uint64_t low = scratch.front().sequence;  // the oldest kept
    std::uint64_t high = journal.lastSequence();
    if (scratch.front().record > record)
        return std::nullopt;  // before anything the journal keeps
    // The last entry stamped at or before `record`.
    while (low < high) {
        const std::uint64_t mid = low + (high - low + 1) / 2;
        const auto e = entryAt(journal, mid, scratch);
        if (!e)
            return std::nullopt;  // overwritten while looking
        if (e->record <= record)
            low = mid;
        else
            high = mid - 1;
    }
    scratch.clear();
    journal.copySince(low > kNeighbours ? low - kNeighbours - 1 : 0, scratch, 2 * kNeighbours + 1);
    std::optional<ByteTrace> found;
    for (const Entry& e : scratch) {
        if (e.kind == Kind::Data && e.channel == channel && e.direction == direction && e.record <= record &&
            record < e.record + e.count) {
            found = ByteTrace{e, {}};
        }
    }
    if (!found)
        return std::nullopt;
    for (const Entry& e : scratch) {
        if (e.kind == Kind::LineError && e.record == record && e.channel == channel)
            found->errors.push_back(e);
    }
    return found;
}

} // namespace kestrane::timeline
