// A log file printed as text (kestrane-log): the damage checks, and the forms.
#include "fuzz/check_support.h"
#include "headless/log_text.h"
#include "platform/le_bytes.h"
#include "traffic/log_file.h"

#include <QString>

#include <algorithm>

#include <sstream>

namespace kestrane::fuzz {

namespace {

// Splits the text into its lines (without the line ends).
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

std::string checkLogPrint(Bytes data)
{
    using namespace headless;
    const LogRead read = parseLog(data);
    // A whole log, and only a whole log, is printed.
    bool whole = data.size() == kLogFileSize;
    const std::int32_t length = whole ? le::getI32(data, 0) : 0;
    whole = whole && length >= 0 && length <= kTrafficPlaneSize;
    for (std::int32_t i = 0; whole && i < length; ++i)
        whole = data[kLogHeaderSize + static_cast<std::size_t>(i)] >= '0' && data[kLogHeaderSize + static_cast<std::size_t>(i)] <= '3';
    KCHECK(whole == (read.image != nullptr), "a damaged log printed, or a whole one refused");
    KCHECK(read.image != nullptr || !read.error.empty(), "a refusal without a reason");
    if (!read.image)
        return {};
    const LogImage& log = *read.image;

    // HEX: every stored byte once, at its own cell, in the row of its own tag.
    LogTextOptions options;
    options.form = LogForm::Hex;
    options.width = 7;
    std::vector<int> seen(static_cast<std::size_t>(length), 0);
    for (const std::string& line : linesOf(logText(log, options))) {
        KCHECK(line.size() >= 16 && line[14] == ' ' && line[15] == '|', "a HEX line without its head");
        const int first = std::stoi(line.substr(0, 5));
        const std::string label = line.substr(6, 8);
        const char tag = label == "CH1 SEND" ? '0' : label == "CH1 READ" ? '1' : label == "CH2 SEND" ? '2' : '3';
        for (std::size_t at = 16, cell = 0; at < line.size(); at += 3, ++cell) {
            if (line[at] == ' ')
                continue;
            const auto index = static_cast<std::size_t>(first) + cell;
            KCHECK(index < seen.size(), "a HEX cell beyond the stored bytes");
            KCHECK(std::stoi(line.substr(at, 2), nullptr, 16) == log.data[index] && log.tags[index] == tag,
                   "a HEX cell that is not its byte, or in another tag's row");
            ++seen[index];
        }
    }
    KCHECK(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }), "a byte missing or shown twice in HEX");

    // The text forms are valid UTF-8, with a head on every line; CSV rows hold at most 100 bytes
    // each and never more than were stored.
    for (const LogForm form : {LogForm::Asc, LogForm::Time, LogForm::Csv}) {
        options.form = form;
        const std::string text = logText(log, options);
        KCHECK(QString::fromUtf8(text).toUtf8().toStdString() == text, "a text form that is not UTF-8");
        std::size_t bytes = 0;
        for (const std::string& line : linesOf(text)) {
            if (form != LogForm::Csv) {
                KCHECK(line.size() >= 16 && line.substr(14, 2) == " |", "a text line without its head");
                continue;
            }
            const auto last = line.rfind(',');
            KCHECK(last != std::string::npos, "a CSV row without its fields");
            const std::size_t n = last + 1 == line.size() ? 0 : (line.size() - last) / 3;
            KCHECK(n <= 100, "a CSV row of more than 100 bytes");
            if (line != "time,channel,direction,bytes")
                bytes += n;
        }
        KCHECK(bytes <= static_cast<std::size_t>(length), "CSV holds more bytes than were stored");
    }
    return {};
}

} // namespace kestrane::fuzz
