// Waiting for a device path to (re)appear without polling: inotify watches on the folders on the
// way to each path (the deepest one that exists, moving down as folders appear, and for a
// dangling link also the folder its target would be in). Nothing runs while nothing changes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kestrane {

class PathWatch {
public:
    PathWatch();
    ~PathWatch();
    PathWatch(const PathWatch&) = delete;
    PathWatch& operator=(const PathWatch&) = delete;

    // Readable when events wait (for poll or a socket notifier); -1 without inotify.
    [[nodiscard]] int fd() const { return fd_; }

    // Watches for `path` under `key` (replacing what `key` watched before).
    void watch(int key, const std::string& path);
    void unwatch(int key);
    [[nodiscard]] bool watching(int key) const { return paths_.count(key) != 0; }

    // Reads the pending events and returns the keys whose path exists now (after any event: the
    // caller tries to open it and keeps watching if that fails). Never blocks.
    std::vector<int> takeAppeared();

private:
    void rewatch();

    int fd_ = -1;
    std::map<int, std::string> paths_;   // key -> path
    std::map<std::string, int> folders_; // watched folder -> watch descriptor
};

// The stable name of a USB serial device: the entry of `byIdFolder` that leads to the same device
// as `devicePath`, or empty. A replugged adapter may come back under another ttyUSB number, but
// under the same name there.
std::string serialByIdAlias(const std::string& devicePath,
                            const std::filesystem::path& byIdFolder = "/dev/serial/by-id");

} // namespace kestrane
