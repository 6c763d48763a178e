#include "sampling/sample_table.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <cstring>

namespace kestrane {

SampleTable::SampleTable() : rows_(static_cast<std::size_t>(kRows) * kRowSize, 0) {}

void SampleTable::configure(const SamplingSettings& settings)
{
    std::lock_guard lock(mutex_);
    fieldCount_ = std::clamp<std::int32_t>(settings.samplingCount, 0, static_cast<std::int32_t>(kFields));
    fields_ = settings.samplingFields;
}

std::int32_t SampleTable::fieldCount() const
{
    std::lock_guard lock(mutex_);
    return fieldCount_;
}

void SampleTable::takeSample(const std::uint8_t* bytes, std::size_t count)
{
    std::lock_guard lock(mutex_);
    if (fieldCount_ == 0)
        return;
    std::uint8_t* row = rows_.data() + static_cast<std::size_t>(stored_) * kRowSize;
    for (std::size_t k = 0; k < static_cast<std::size_t>(fieldCount_); ++k) {
        std::uint8_t* slot = row + k * kSlotSize;
        std::memset(slot, 0, kSlotSize);
        const std::int64_t position = fields_[k].position;
        const std::int64_t length = std::min<std::int64_t>(fields_[k].length, static_cast<std::int64_t>(kSlotSize));
        if (position < 0 || length <= 0)
            continue;  // no defined meaning: the field stays empty
        // Only the bytes that were read are copied; the rest of the field stays zero.
        const std::int64_t available = static_cast<std::int64_t>(count) - position;
        const std::int64_t n = std::min(length, available);
        if (n > 0)
            std::memcpy(slot, bytes + position, static_cast<std::size_t>(n));
    }
    if (stored_ < kLastRow)
        ++stored_;
}

std::int32_t SampleTable::samplesStored() const
{
    std::lock_guard lock(mutex_);
    return stored_;
}

std::int32_t SampleTable::samplesShown() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}

std::optional<SampleTable::TakenRow> SampleTable::takeOver()
{
    std::lock_guard lock(mutex_);
    if (fieldCount_ == 0 || stored_ == shown_)
        return std::nullopt;
    TakenRow taken{shown_, lineLocked(shown_)};
    if (shown_ < kLastRow)
        ++shown_;
    return taken;
}

std::string SampleTable::fieldTextLocked(std::int32_t row, std::size_t field) const
{
    if (row < 0 || row >= kRows || field >= kFields)
        return {};
    const auto* slot = reinterpret_cast<const char*>(rows_.data() + static_cast<std::size_t>(row) * kRowSize +
                                                     field * kSlotSize);
    return std::string(slot, strnlen(slot, kSlotSize));
}

std::string SampleTable::lineLocked(std::int32_t row) const
{
    std::string text = std::to_string(row);
    text += ',';
    for (std::size_t k = 0; k < static_cast<std::size_t>(fieldCount_); ++k) {
        if (k > 0)
            text += ',';
        text += fieldTextLocked(row, k);
    }
    return text;
}

std::string SampleTable::fieldText(std::int32_t row, std::size_t field) const
{
    std::lock_guard lock(mutex_);
    return fieldTextLocked(row, field);
}

std::string SampleTable::line(std::int32_t row) const
{
    std::lock_guard lock(mutex_);
    return lineLocked(row);
}

std::vector<std::string> SampleTable::shownLines(std::int32_t from) const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    for (std::int32_t row = std::max(from, 0); row < shown_; ++row)
        lines.push_back(lineLocked(row));
    return lines;
}

std::vector<std::string> SampleTable::saveLines() const
{
    if (fieldCount() == 0)
        return {};
    return shownLines();
}

void SampleTable::clear()
{
    std::lock_guard lock(mutex_);
    stored_ = 0;
    shown_ = 0;
    std::fill(rows_.begin(), rows_.end(), std::uint8_t{0});
    ++clears_;
}

std::uint32_t SampleTable::clears() const
{
    std::lock_guard lock(mutex_);
    return clears_;
}

FileWriteResult writeSampleFile(const std::filesystem::path& path, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return writeFileAtomically(path, {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

} // namespace kestrane
