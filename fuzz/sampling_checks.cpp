// Sampled fields: a sampling settings image (80 bytes, as Quellorn2.dat) followed by received
// bytes, read as chunks of at most 100 bytes. Each chunk's row must hold exactly the bytes a
// field names inside the chunk, nothing from beyond it.
#include "fuzz/check_support.h"
#include "sampling/sample_table.h"
#include "records/settings_files.h"

#include <algorithm>
#include <vector>

namespace kestrane::fuzz {

namespace {

// The row text computed from the rules alone: fields 1..count, each the bytes from its position
// for its length (at most 20) that lie in the chunk, cut at the first zero byte.
std::string expectedLine(std::int32_t row, const SamplingSettings& s, Bytes chunk)
{
    std::string line = std::to_string(row) + ",";
    const std::int32_t count = std::clamp<std::int32_t>(s.samplingCount, 0, 5);
    for (std::int32_t k = 0; k < count; ++k) {
        if (k > 0)
            line += ',';
        const SamplingField f = s.samplingFields[static_cast<std::size_t>(k)];
        for (std::int64_t i = 0; f.position >= 0 && i < std::min<std::int64_t>(f.length, 20); ++i) {
            const std::int64_t at = std::int64_t{f.position} + i;
            if (at >= static_cast<std::int64_t>(chunk.size()) || chunk[static_cast<std::size_t>(at)] == 0)
                break;
            line += static_cast<char>(chunk[static_cast<std::size_t>(at)]);
        }
    }
    return line;
}

} // namespace

std::string checkSampleFields(Bytes data)
{
    Settings settings;
    loadQuellorn2Bytes(settings, data.first(std::min<std::size_t>(data.size(), SamplingSettings::kSize)));
    Bytes received = data.subspan(std::min<std::size_t>(data.size(), SamplingSettings::kSize));

    // One table for every input (a fresh megabyte per input slows the sanitizer builds down).
    static SampleTable table;
    table.clear();
    table.configure(settings.sampling);
    std::int32_t row = 0;
    do {
        // Each chunk in a buffer of its own size, so a read beyond it is seen by the sanitizers.
        const std::size_t n = std::clamp<std::size_t>(received.size(), 1, 100);
        std::vector<std::uint8_t> chunk(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(std::min(n, received.size())));
        if (chunk.empty())
            chunk.push_back(0);
        received = received.subspan(std::min(n, received.size()));

        table.takeSample(chunk.data(), chunk.size());
        const auto taken = table.takeOver();
        if (settings.sampling.samplingCount <= 0) {
            KCHECK(!taken && table.samplesStored() == 0, "a row was taken while sampling is off");
            continue;
        }
        KCHECK(taken.has_value(), "no row for a chunk");
        KCHECK(taken->row == row, "rows out of order");
        KCHECK(taken->line == expectedLine(row, settings.sampling, chunk), "row " + std::to_string(row) + " holds other bytes");
        ++row;
    } while (!received.empty() && row < SampleTable::kLastRow - 1);
    KCHECK(static_cast<std::int32_t>(table.saveLines().size()) == row, "saved lines differ from the rows taken over");
    return {};
}

} // namespace kestrane::fuzz
