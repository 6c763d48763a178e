#include "timeline/journal.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kestrane::timeline {

Stamp now()
{
    using namespace std::chrono;
    return {duration_cast<microseconds>(system_clock::now().time_since_epoch()).count(),
            duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()};
}

Journal::Journal(std::size_t entries, std::size_t bytes) : entries_(std::max<std::size_t>(entries, 1)), bytes_(std::max<std::size_t>(bytes, 1)) {}

void Journal::pushEntry(Entry& entry)
{
    entry.sequence = nextSequence_++;
    if (kept_ == entries_.size()) {
        head_ = (head_ + 1) % entries_.size();
        --kept_;
        ++dropped_;
    }
    entries_[(head_ + kept_) % entries_.size()] = entry;
    ++kept_;
}

std::uint64_t Journal::appendData(int channel, Direction direction, Stamp time, std::uint64_t record,
                                  std::span<const std::uint8_t> bytes)
{
    Entry e;
    e.kind = Kind::Data;
    e.channel = static_cast<std::uint8_t>(channel);
    e.direction = direction;
    e.time = time;
    e.record = record;
    e.count = static_cast<std::uint32_t>(bytes.size());
    std::lock_guard lock(m_);
    e.bytesAt = bytesEnd_;
    // Copied into the ring in at most two pieces; a chunk longer than the ring keeps no bytes.
    if (bytes.size() <= bytes_.size()) {
        const std::size_t at = static_cast<std::size_t>(bytesEnd_ % bytes_.size());
        const std::size_t first = std::min(bytes.size(), bytes_.size() - at);
        std::memcpy(bytes_.data() + at, bytes.data(), first);
        std::memcpy(bytes_.data(), bytes.data() + first, bytes.size() - first);
    }
    bytesEnd_ += bytes.size();
    pushEntry(e);
    return e.sequence;
}

std::uint64_t Journal::append(Entry entry)
{
    std::lock_guard lock(m_);
    entry.bytesAt = bytesEnd_;
    if (entry.kind == Kind::Data)
        entry.count = 0;  // data without bytes would point at others' bytes
    pushEntry(entry);
    return entry.sequence;
}

std::uint64_t Journal::copySince(std::uint64_t after, std::vector<Entry>& out, std::size_t most) const
{
    std::lock_guard lock(m_);
    if (kept_ == 0)
        return after + 1 < nextSequence_ ? nextSequence_ - 1 - after : 0;
    const std::uint64_t oldest = entries_[head_].sequence;
    std::uint64_t gone = 0;
    std::size_t skip = 0;
    if (after + 1 < oldest)
        gone = oldest - (after + 1);
    else
        skip = static_cast<std::size_t>(std::min<std::uint64_t>(after + 1 - oldest, kept_));
    const std::size_t n = std::min(kept_ - skip, most);
    out.reserve(out.size() + n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(entries_[(head_ + skip + i) % entries_.size()]);
    return gone;
}

bool Journal::bytes(const Entry& entry, std::vector<std::uint8_t>& out) const
{
    out.clear();
    if (entry.kind != Kind::Data)
        return false;
    std::lock_guard lock(m_);
    const std::uint64_t end = entry.bytesAt + entry.count;
    if (entry.count > bytes_.size() || end > bytesEnd_ || bytesEnd_ - entry.bytesAt > bytes_.size())
        return false;
    out.resize(entry.count);
    const std::size_t at = static_cast<std::size_t>(entry.bytesAt % bytes_.size());
    const std::size_t first = std::min<std::size_t>(entry.count, bytes_.size() - at);
    std::memcpy(out.data(), bytes_.data() + at, first);
    std::memcpy(out.data() + first, bytes_.data(), entry.count - first);
    return true;
}

void Journal::clear()
{
    std::lock_guard lock(m_);
    head_ = 0;
    kept_ = 0;
    ++clears_;
}

std::uint64_t Journal::clears() const
{
    std::lock_guard lock(m_);
    return clears_;
}

std::uint64_t Journal::lastSequence() const
{
    std::lock_guard lock(m_);
    return nextSequence_ - 1;
}

std::uint64_t Journal::dropped() const
{
    std::lock_guard lock(m_);
    return dropped_;
}

std::size_t Journal::size() const
{
    std::lock_guard lock(m_);
    return kept_;
}

} // namespace kestrane::timeline
