// Fields sampled out of the chunks that CH1 receives: one row per read, up to five fields of at
// most 20 bytes each, taken at fixed positions counted from the first byte of the read.
//
// The CH1 receive thread adds rows (takeSample); the sampling views take them over one per tick
// (takeOver) and the save command writes the rows taken over. Both counters stop at the last row,
// which later samples keep overwriting. One mutex orders the two sides; the receive thread holds
// it only while it copies at most 100 bytes.
#pragma once

#include "platform/atomic_file.h"
#include "records/settings_records.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class SampleTable {
public:
    static constexpr std::int32_t kRows = 10000;
    static constexpr std::int32_t kLastRow = kRows - 1;
    static constexpr std::size_t kFields = 5;
    static constexpr std::size_t kSlotSize = 20;
    static constexpr std::size_t kRowSize = kFields * kSlotSize;

    SampleTable();
    SampleTable(const SampleTable&) = delete;
    SampleTable& operator=(const SampleTable&) = delete;

    // The fields to take from now on (GUI thread, after the settings were read or edited).
    void configure(const SamplingSettings& settings);
    // The configured number of fields, 0 to 5 (stored values outside that range are clamped).
    [[nodiscard]] std::int32_t fieldCount() const;

    // Receive thread: the chunk of `count` bytes just read. Each field's bytes that lie beyond the
    // chunk are zero; negative positions and lengths take nothing. Does nothing without fields.
    void takeSample(const std::uint8_t* bytes, std::size_t count);

    [[nodiscard]] std::int32_t samplesStored() const;
    [[nodiscard]] std::int32_t samplesShown() const;

    struct TakenRow {
        std::int32_t row = 0;
        std::string line;
    };
    // One tick of a view: when sampling is on and a stored row was not taken over yet, the line of
    // the next row; the shown counter moves on (up to the last row).
    [[nodiscard]] std::optional<TakenRow> takeOver();

    // A row as "row,field1,field2,..." with the configured number of fields (bytes as received).
    [[nodiscard]] std::string line(std::int32_t row) const;
    // The lines of rows from .. samplesShown - 1 as the view lists them ("N," while no field is in use).
    [[nodiscard]] std::vector<std::string> shownLines(std::int32_t from = 0) const;
    // What a save writes: the shown lines, none while no field is in use.
    [[nodiscard]] std::vector<std::string> saveLines() const;
    // A field's text: its slot up to the first zero byte (field 0..4).
    [[nodiscard]] std::string fieldText(std::int32_t row, std::size_t field) const;

    // Both counters 0 and every slot zeroed ("データークリア").
    void clear();
    // How many clears there have been (a view compares it to know its list is stale).
    [[nodiscard]] std::uint32_t clears() const;

private:
    [[nodiscard]] std::string lineLocked(std::int32_t row) const;
    [[nodiscard]] std::string fieldTextLocked(std::int32_t row, std::size_t field) const;

    mutable std::mutex mutex_;
    std::vector<std::uint8_t> rows_;  // kRows x kRowSize bytes
    std::int32_t fieldCount_ = 0;
    std::array<SamplingField, kFields> fields_{};
    std::int32_t stored_ = 0;
    std::int32_t shown_ = 0;
    std::uint32_t clears_ = 0;
};

// Writes `lines` to `path`, each ended by CR LF, replacing any file there (through a temporary
// file in the same folder). False when the file cannot be written.
[[nodiscard]] FileWriteResult writeSampleFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

} // namespace kestrane
