#include "headless/log_text.h"

#include "headless/text_grid.h"
#include "platform/system_reason.h"
#include "traffic/draw_ops.h"
#include "traffic/log_file.h"
#include "traffic/time_stamp.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace kestrane::headless {

namespace {

std::string sizeText(std::size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// ---- time stamps ----

// The time stamp that starts at `index`, read from the bytes of its tag that follow (its
// length 0 when none starts there).
TimeStamp stampAt(const LogImage& log, std::int32_t index)
{
    if (index < 0 || index >= log.length)
        return {};
    const std::uint8_t tag = log.tags[static_cast<std::size_t>(index)];
    if (tag != kTagCh1Received && tag != kTagCh1Sent && tag != kTagCh2Received)
        return {};
    const auto from = static_cast<std::size_t>(index);
    std::size_t end = from;
    while (end < static_cast<std::size_t>(log.length) && end - from < kTimeStampMaxLength && log.tags[end] == tag)
        ++end;
    const auto stamp = readTimeStamp(tag == kTagCh1Received ? 1 : 2, std::span(log.data).subspan(from, end - from));
    return stamp.value_or(TimeStamp{});
}

// ---- the display's forms ----

const char* rowLabel(int row, bool monitor)
{
    switch (row) {
    case 0: return monitor ? "CH2 2chR" : "CH1 SEND";
    case 1: return monitor ? "CH1 1chR" : "CH1 READ";
    case 2: return "CH2 SEND";
    default: return "CH2 READ";
    }
}

void writeGrid(const TextGrid& grid, std::string& out, const LogTextOptions& options)
{
    static constexpr int kOrder[4] = {0, 2, 1, 3};  // upper rows first, as in the window
    for (std::size_t line = 0; line < grid.lineCount(); ++line) {
        for (const int row : kOrder) {
            if (!grid.hasRow(line, row))
                continue;
            char head[32];
            std::snprintf(head, sizeof head, "%05d %s |", grid.firstIndex(line), rowLabel(row, options.monitor));
            out += head;
            const bool red = options.colour && row >= 2;
            if (red)
                out += "\x1b[31m";
            out += grid.rowText(line, row);
            if (red)
                out += "\x1b[0m";
            out += '\n';
        }
    }
}

std::string displayText(const LogImage& log, const LogTextOptions& options)
{
    const int width = std::clamp(options.width, 1, 1000);
    const bool hex = options.form == LogForm::Hex;
    TextGrid grid(width, hex);
    PendingLead pending;
    int line = -1;
    int cell = width;  // the first byte starts a line
    for (std::int32_t i = 0; i < log.length; ++i) {
        if (cell >= width || (options.form == LogForm::Time && cell > 0 && stampAt(log, i).length > 0)) {
            grid.startLine(i);
            ++line;
            cell = 0;
        }
        const auto at = static_cast<std::size_t>(i);
        drawByte(log.data[at], log.tags[at], hex ? DisplayMode::Hex : DisplayMode::Asc,
                 display::kFirstCellX + cell * display::kCellWidth, line * display::kLineHeight, pending, grid);
        ++cell;
    }
    std::string out;
    writeGrid(grid, out, options);
    return out;
}

// ---- CSV ----

std::string csvText(const LogImage& log, const LogTextOptions& options)
{
    constexpr std::int32_t kRowBytes = 100;
    std::string out = "time,channel,direction,bytes\n";
    std::int32_t i = 0;
    while (i < log.length) {
        const std::uint8_t tag = log.tags[static_cast<std::size_t>(i)];
        const TimeStamp stamp = stampAt(log, i);
        std::string time;
        if (stamp.length > 0) {
            char t[32];
            std::snprintf(t, sizeof t, "%d %02d:%02d:%02d", stamp.time.day, stamp.time.hour, stamp.time.minute,
                          stamp.time.second);
            time = t;
            i += stamp.length;
        }
        const bool ch2 = tag == kTagCh2Sent || tag == kTagCh2Received || (tag == kTagCh1Sent && options.monitor);
        const bool sent = tag == kTagCh2Sent || (tag == kTagCh1Sent && !options.monitor);
        std::string bytes;
        std::int32_t n = 0;
        while (i < log.length && n < kRowBytes && log.tags[static_cast<std::size_t>(i)] == tag
               && (n == 0 || stampAt(log, i).length == 0)) {
            char hexByte[4];
            std::snprintf(hexByte, sizeof hexByte, n == 0 ? "%02X" : " %02X", log.data[static_cast<std::size_t>(i)]);
            bytes += hexByte;
            ++i;
            ++n;
        }
        out += time + (ch2 ? ",2," : ",1,") + (sent ? "sent," : "received,") + bytes + "\n";
    }
    return out;
}

} // namespace

int timeStampAt(const LogImage& log, std::int32_t index) { return stampAt(log, index).length; }

TimeStamp logTimeStamp(const LogImage& log, std::int32_t index) { return stampAt(log, index); }

LogRead parseLog(std::span<const std::uint8_t> bytes)
{
    using Fault = LogSoundness::Fault;
    LogRead r;
    const LogSoundness check = checkLog(bytes);
    switch (check.fault) {
    case Fault::NoLength:
        r.error = "is not a log: it holds " + sizeText(check.fileSize) + ", a log holds 72004 (a 4-byte length and "
                  "two planes of 36000 bytes)";
        return r;
    case Fault::WrongSize:
        r.error = "is damaged: it holds " + sizeText(check.fileSize) + " instead of 72004 (cut short, or not a log)";
        return r;
    case Fault::LengthOutsidePlane:
        r.error = "is damaged: its stored length " + std::to_string(check.storedLength) + " lies outside 0..36000";
        return r;
    case Fault::UnknownTag: {
        char text[128];
        std::snprintf(text, sizeof text, "is damaged: the stored byte at index %d has the tag 0x%02X, and a log "
                      "knows only the tags '0' to '3'", check.index, check.tag);
        r.error = text;
        return r;
    }
    case Fault::None:
        break;
    }
    auto image = std::make_unique<LogImage>();
    image->length = readLogBytes(bytes, image->tags, image->data).value_or(0);
    r.image = std::move(image);
    return r;
}

LogRead readLog(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return LogRead{nullptr, "is a folder, not a log"};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return LogRead{nullptr, "cannot be read: " + systemReason(errno, ReasonLanguage::English)};
    // One byte more than a log holds tells a longer file from a log.
    std::vector<std::uint8_t> bytes(kLogFileSize + 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t n = std::fread(bytes.data() + done, 1, bytes.size() - done, f);
        if (n == 0)
            break;
        done += n;
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return LogRead{nullptr, "cannot be read: an input/output error"};
    bytes.resize(done);
    return parseLog(bytes);
}

std::string logText(const LogImage& log, const LogTextOptions& options)
{
    return options.form == LogForm::Csv ? csvText(log, options) : displayText(log, options);
}

} // namespace kestrane::headless
