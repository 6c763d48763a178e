#include "headless/capture_files.h"

#include "capture/rtac_serial.h"
#include "platform/system_reason.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace kestrane::headless {

namespace {

constexpr const char* kExtension = ".pcapng";
constexpr const char* kPart = ".part";

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYYMMDDhhmmss", local time.
std::string fileTime()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

std::string bytesText(std::uint64_t n)
{
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace

CaptureFiles::CaptureFiles(std::filesystem::path folder, std::string prefix, RotationRule rule,
                           std::array<timeline::CaptureLine, 2> lines, std::string application)
    : folder_(std::move(folder)), prefix_(std::move(prefix)), rule_(rule), stream_(std::move(lines), std::move(application))
{
    std::replace(prefix_.begin(), prefix_.end(), '/', '_');
    rule_.keep = std::max(rule_.keep, 1);
}

CaptureFiles::~CaptureFiles()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::vector<std::pair<std::uint64_t, std::filesystem::path>> CaptureFiles::filesInFolder(bool parts) const
{
    // <prefix>_<number>_<14 digits>.pcapng[.part]
    std::vector<std::pair<std::uint64_t, std::filesystem::path>> files;
    const std::string head = prefix_ + "_";
    const std::string tail = std::string(kExtension) + (parts ? kPart : "");
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < head.size() + tail.size() + 16 || name.compare(0, head.size(), head) != 0 || !endsWith(name, tail))
            continue;
        const std::string middle = name.substr(head.size(), name.size() - head.size() - tail.size());
        const auto underscore = middle.find('_');
        if (underscore == std::string::npos || middle.size() - underscore - 1 != 14 || !allDigits(middle.substr(underscore + 1)))
            continue;
        std::uint64_t number = 0;
        const std::string digits = middle.substr(0, underscore);
        if (!allDigits(digits) || std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc{})
            continue;
        files.emplace_back(number, entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool CaptureFiles::start(std::uint64_t after, std::int64_t nowMonoUs, std::vector<std::string>& told)
{
    // What a crash left: whole up to its last packet, kept under its own name.
    for (const auto& [number, part] : filesInFolder(true)) {
        std::filesystem::path whole = part;
        whole.replace_extension();
        std::error_code ec;
        std::filesystem::rename(part, whole, ec);
        if (!ec)
            told.push_back("the capture " + whole.filename().string() + " an earlier run left unfinished is kept as it is");
    }
    const auto files = filesInFolder(false);
    number_ = files.empty() ? 0 : files.back().first;
    stream_.startAfter(after);
    return open(nowMonoUs, told);
}

void CaptureFiles::removeOldest(int room, std::vector<std::string>& told)
{
    auto files = filesInFolder(false);
    for (std::size_t i = 0; files.size() - i > static_cast<std::size_t>(room); ++i) {
        const std::filesystem::path& path = files[i].second;
        std::error_code ec;
        std::filesystem::remove(path, ec);
        const auto known = dataOfThisRun_.find(path);
        if (ec) {
            told.push_back("cannot remove the old capture " + path.string() + ": " + systemReason(ec.value(), ReasonLanguage::English));
            continue;
        }
        told.push_back("removed the capture " + path.filename().string()
                       + (known != dataOfThisRun_.end() ? " (" + bytesText(known->second) + " bytes of the lines)"
                                                        : std::string(" (of an earlier run)"))
                       + ": at most " + std::to_string(rule_.keep) + " captures are kept");
        if (known != dataOfThisRun_.end())
            dataOfThisRun_.erase(known);
    }
}

bool CaptureFiles::open(std::int64_t nowMonoUs, std::vector<std::string>& told)
{
    ++number_;
    char number[24];
    std::snprintf(number, sizeof number, "%05llu", static_cast<unsigned long long>(number_));
    finalPath_ = folder_ / (prefix_ + "_" + number + "_" + fileTime() + kExtension);
    partPath_ = finalPath_;
    partPath_ += kPart;
    // Room for this one among the kept.
    removeOldest(rule_.keep - 1, told);
    fileBytes_ = 0;
    fileData_ = 0;
    packetsInFile_ = 0;
    fileStartUs_ = nowMonoUs;
    failed_ = false;
    fd_ = ::open(partPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        failed_ = true;
        told.push_back("cannot make the capture " + partPath_.string() + ": " + systemReason(errno, ReasonLanguage::English)
                       + "; its packets are lost, the next capture is tried when this one would end");
        return false;
    }
    std::vector<std::uint8_t> header;
    stream_.header(header);
    writeBytes(header, told);
    return true;
}

void CaptureFiles::writeBytes(std::span<const std::uint8_t> bytes, std::vector<std::string>& told)
{
    fileBytes_ += bytes.size();
    std::size_t from = 0;
    const std::size_t end = bytes.size();
    while (fd_ >= 0 && from < end) {
        const ssize_t n = ::write(fd_, bytes.data() + from, end - from);
        if (n > 0) {
            from += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // The file ends where the disk said no; later packets of this file are counted lost.
            told.push_back("cannot write the capture " + partPath_.string() + ": "
                           + systemReason(n < 0 ? errno : EIO, ReasonLanguage::English)
                           + "; its packets from here on are lost, the next capture is tried when this one would end");
            ::close(fd_);
            fd_ = -1;
            failed_ = true;
        }
    }
}

void CaptureFiles::writeBlocks(std::int64_t nowMonoUs, std::vector<std::string>& told)
{
    // out_ holds whole packet blocks: each file takes as many as fit its size (one at least),
    // and the next file goes on with the block after.
    std::size_t from = 0;
    while (from < out_.size()) {
        std::size_t end = from;
        while (end + 28 <= out_.size()) {
            const std::uint8_t* b = out_.data() + end;
            const std::uint32_t length = static_cast<std::uint32_t>(b[4] | b[5] << 8 | b[6] << 16 | static_cast<std::uint32_t>(b[7]) << 24);
            const bool first = end == from && packetsInFile_ == 0;
            if (!first && fileBytes_ + (end - from) + length > rule_.maxBytes)
                break;
            const std::uint32_t captured = static_cast<std::uint32_t>(b[20] | b[21] << 8 | b[22] << 16 | static_cast<std::uint32_t>(b[23]) << 24);
            const auto header = rtac::parseHeader(std::span(b + 28, std::min<std::size_t>(captured, out_.size() - end - 28)));
            if (header && (header->event == rtac::Event::DataSent || header->event == rtac::Event::DataReceived))
                fileData_ += captured - rtac::kHeaderSize;
            ++packetsInFile_;
            end += length;
        }
        writeBytes(std::span(out_).subspan(from, end - from), told);
        from = end;
        if (from < out_.size()) {
            close(told);
            open(nowMonoUs, told);
        }
    }
    out_.clear();
}

void CaptureFiles::close(std::vector<std::string>& told)
{
    const std::uint64_t data = fileData_;
    const std::uint64_t packets = packetsInFile_;
    if (fd_ >= 0) {
        ::fdatasync(fd_);
        ::close(fd_);
        fd_ = -1;
    }
    std::error_code ec;
    if (!std::filesystem::exists(partPath_, ec))
        return;  // it could not be made (told)
    std::filesystem::rename(partPath_, finalPath_, ec);
    if (ec) {
        told.push_back("cannot name the capture " + finalPath_.string() + ": " + systemReason(ec.value(), ReasonLanguage::English));
        return;
    }
    dataOfThisRun_[finalPath_] = data;
    told.push_back("capture " + finalPath_.filename().string() + " complete: " + bytesText(packets) + " packets, "
                   + bytesText(data) + " bytes of the lines" + (failed_ ? " (cut short: it could not be written whole)" : ""));
}

void CaptureFiles::take(const timeline::Journal& journal, std::int64_t nowMonoUs, std::vector<std::string>& told)
{
    stream_.take(journal, out_, nowMonoUs);
    writeBlocks(nowMonoUs, told);
    // A frame still open stays open: it goes into the next file whole.
    const bool full = fileBytes_ >= rule_.maxBytes;
    const bool due = rule_.maxSeconds > 0 && nowMonoUs - fileStartUs_ >= rule_.maxSeconds * 1'000'000;
    if (full || due) {
        close(told);
        open(nowMonoUs, told);
    }
}

void CaptureFiles::finish(const timeline::Journal& journal, std::int64_t nowMonoUs, std::vector<std::string>& told)
{
    stream_.take(journal, out_, nowMonoUs, true);
    stream_.finish(out_);
    writeBlocks(nowMonoUs, told);
    close(told);
}

} // namespace kestrane::headless
