#include "headless/log_text.h"

#include "text/cp932.h"
#include "platform/system_reason.h"
#include "traffic/draw_ops.h"
#include "traffic/log_file.h"
#include "traffic/time_stamp.h"

#include <QString>

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

struct Cell {
    std::string text;  // UTF-8; empty: nothing drawn here
    bool wide = false; // a pair: the character covers this cell and the next
};

// The draw operations of the display, caught into text cells: one row of cells per tag of each line.
class TextGrid final : public DrawOpSink {
public:
    TextGrid(int width, bool hex) : width_(width), hex_(hex) {}

    void startLine(std::int32_t firstIndex) { lines_.push_back(Line{firstIndex, {}}); }

    void draw(const DrawOp& op) override
    {
        const int line = op.y / display::kLineHeight;
        if (line < 0 || line >= static_cast<int>(lines_.size()))
            return;
        const bool upper = op.y % display::kLineHeight < display::kSeparatorY;
        const bool red = op.type == DrawOp::Type::Text ? op.ink == Ink::Red : isRedGlyph(op.glyph);
        const int row = (upper ? 0 : 1) + (red ? 2 : 0);  // the tag's digit
        const int cell = (op.x - display::kFirstCellX) / display::kCellWidth;
        if (cell < 0 || cell >= width_)
            return;
        std::vector<Cell>& cells = lines_[static_cast<std::size_t>(line)].rows[static_cast<std::size_t>(row)];
        if (cells.empty())
            cells.resize(static_cast<std::size_t>(width_));
        Cell& c = cells[static_cast<std::size_t>(cell)];
        if (op.type == DrawOp::Type::Text)
            textCell(c, op.text, op.length);
        else if (hex_)
            c.text += "0123456789ABCDEF"[(op.glyph - (red ? glyph::kRedHex : glyph::kBlackHex)) & 15];
        else
            c.text = controlText(op.glyph - (red ? glyph::kRedControl : glyph::kBlackControl));
    }

    void write(std::string& out, const LogTextOptions& options) const
    {
        static constexpr int kOrder[4] = {0, 2, 1, 3};  // upper rows first, as in the window
        for (const Line& line : lines_) {
            for (const int row : kOrder) {
                const std::vector<Cell>& cells = line.rows[static_cast<std::size_t>(row)];
                if (cells.empty())
                    continue;
                std::string text;
                for (std::size_t i = 0; i < cells.size(); ++i) {
                    const Cell& c = cells[i];
                    text += c.text.empty() ? std::string(hex_ ? 2 : 1, ' ') : c.text;
                    if (hex_)
                        text += ' ';
                    if (c.wide)
                        ++i;  // the trail byte's cell lies under the character
                }
                text.erase(text.find_last_not_of(' ') + 1);
                char head[32];
                std::snprintf(head, sizeof head, "%05d %s |", line.firstIndex, rowLabel(row, options.monitor));
                out += head;
                const bool red = options.colour && row >= 2;
                if (red)
                    out += "\x1b[31m";
                out += text;
                if (red)
                    out += "\x1b[0m";
                out += '\n';
            }
        }
    }

private:
    struct Line {
        std::int32_t firstIndex = 0;
        std::array<std::vector<Cell>, 4> rows;
    };

    // The red sets (controls from 100, hex digits from 150) lie above every black one.
    static bool isRedGlyph(int id) { return id >= glyph::kRedControl; }

    static const char* rowLabel(int row, bool monitor)
    {
        switch (row) {
        case 0: return monitor ? "CH2 2chR" : "CH1 SEND";
        case 1: return monitor ? "CH1 1chR" : "CH1 READ";
        case 2: return "CH2 SEND";
        default: return "CH2 READ";
        }
    }

    // A control byte as its picture (U+2400 + byte); a space stays a space, so text reads as text.
    static std::string controlText(int byte)
    {
        if (byte == ' ')
            return " ";
        return QString(QChar(static_cast<char16_t>(0x2400 + std::clamp(byte, 0, 31)))).toStdString();
    }

    void textCell(Cell& c, const std::uint8_t* bytes, int length) const
    {
        static const Cp932Text cp932;  // tables built once, only read afterwards
        QString text = (length == 2 ? cp932.pair(bytes[0], bytes[1]) : cp932.single(bytes[0])).toString();
        if (length == 1 && bytes[0] == 0x7F)
            text = QString(QChar(static_cast<char16_t>(0x2421)));  // DEL's picture
        for (QChar& ch : text)
            if (ch.category() == QChar::Other_Control || ch.isNull())
                ch = QChar::ReplacementCharacter;
        if (text.isEmpty())
            text = QChar(QChar::ReplacementCharacter);
        c.text = text.toStdString();
        c.wide = length == 2;
        // A pair covers two cells: a single character a terminal shows narrow gets a space beside it.
        if (c.wide && text.size() == 1 && !isWide(text.at(0).unicode()))
            c.text += ' ';
    }

    static bool isWide(char16_t c)
    {
        return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
               || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
               || (c >= 0xFFE0 && c <= 0xFFE6) || c == 0x3000;
    }

    int width_;
    bool hex_;
    std::vector<Line> lines_;
};

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
    grid.write(out, options);
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
