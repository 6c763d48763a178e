// A capture that runs for weeks as a set of files that take turns (the recorder's --pcapng):
// the timeline goes into <prefix>_<number>_<YYYYMMDDhhmmss>.pcapng, each file whole in itself
// (section header, both interfaces); a file ends once it holds its size or has run its time,
// and the next one starts with the following packet, so no byte falls between two files. At most
// `keep` files of that name stay in the folder (the one being written included): the oldest go.
// A file is written as <name>.part and renamed when it ends; one left by a crash is renamed at
// the next start (a capture cut short still reads up to its last whole packet).
#pragma once

#include "timeline/capture_stream.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrane::headless {

struct RotationRule {
    std::uint64_t maxBytes = 64ULL << 20;  // a file ends once it holds this much
    std::int64_t maxSeconds = 0;           // ... or has run this long (0: no time limit)
    int keep = 20;                         // files kept in the folder
};

class CaptureFiles {
public:
    CaptureFiles(std::filesystem::path folder, std::string prefix, RotationRule rule,
                 std::array<timeline::CaptureLine, 2> lines, std::string application);
    ~CaptureFiles();
    CaptureFiles(const CaptureFiles&) = delete;
    CaptureFiles& operator=(const CaptureFiles&) = delete;

    void setRule(int channel, timeline::FrameRule rule) { stream_.setRule(channel, rule); }
    // Starts with the journal's entries after `after`: the first file, numbered after the
    // highest in the folder. What happened goes to `told`, one sentence each; false when the
    // first file cannot be made.
    bool start(std::uint64_t after, std::int64_t nowMonoUs, std::vector<std::string>& told);
    // Writes what the journal closed since the last look; ends the file and starts the next when due.
    void take(const timeline::Journal& journal, std::int64_t nowMonoUs, std::vector<std::string>& told);
    // Writes everything, the open frames closed, and ends the file.
    void finish(const timeline::Journal& journal, std::int64_t nowMonoUs, std::vector<std::string>& told);

    [[nodiscard]] std::filesystem::path currentFile() const { return finalPath_; }

private:
    struct Kept {
        std::filesystem::path path;
        std::optional<std::uint64_t> dataBytes;  // known for files of this run
    };
    [[nodiscard]] std::vector<std::pair<std::uint64_t, std::filesystem::path>> filesInFolder(bool parts) const;
    bool open(std::int64_t nowMonoUs, std::vector<std::string>& told);
    void writeBytes(std::span<const std::uint8_t> bytes, std::vector<std::string>& told);
    void writeBlocks(std::int64_t nowMonoUs, std::vector<std::string>& told);
    void close(std::vector<std::string>& told);
    void removeOldest(int room, std::vector<std::string>& told);

    std::filesystem::path folder_;
    std::string prefix_;
    RotationRule rule_;
    timeline::CaptureStream stream_;
    std::uint64_t number_ = 0;            // of the file being written
    std::filesystem::path finalPath_, partPath_;
    int fd_ = -1;
    bool failed_ = false;                 // the file being written lost bytes (told once)
    std::vector<std::uint8_t> out_;
    std::uint64_t fileBytes_ = 0;         // written into the current file
    std::uint64_t fileData_ = 0;          // bytes of the lines in it
    std::uint64_t packetsInFile_ = 0;
    std::int64_t fileStartUs_ = 0;        // monotonic
    std::map<std::filesystem::path, std::uint64_t> dataOfThisRun_;  // bytes of the line in each ended file
};

} // namespace kestrane::headless
