// Writing a whole file so that a reader always finds either the old or the new file complete:
// the bytes go to a temporary file in the same folder, are flushed to the disk, and the
// temporary file is renamed over the old one. A crash, a kill or a full disk mid-write leaves
// the old file untouched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>

#include <sys/types.h>

namespace kestrane {

// The system calls the writer makes, in this order: create the temporary file (exclusively,
// with the file's mode), write, flush it to the disk, close, rename it over the target; on any
// failure the temporary file is removed. The flush must come before the rename: renamed first, a
// crash would leave an empty file in place of the old one. Tests replace them to watch the order.
struct FileWriteOps {
    std::function<int(const char* path, mode_t mode)> create;
    std::function<ssize_t(int fd, const void* bytes, std::size_t count)> write;
    std::function<int(int fd)> flush;
    std::function<int(int fd)> close;
    std::function<int(const char* from, const char* to)> rename;
    std::function<int(const char* path)> remove;
};
// The real calls (open, write, fsync, close, rename, unlink).
[[nodiscard]] const FileWriteOps& systemFileWriteOps();

// The outcome of a write: the system's error number of the step that failed (ENOSPC for a full
// disk, EACCES for a folder that cannot be written, ...), 0 when the file was written. Converts
// to true on success, so callers that need only that can test it.
struct FileWriteResult {
    int systemError = 0;
    operator bool() const { return systemError == 0; }  // NOLINT: tested like the bool it was
};

// Writes the pieces one after the other as the new content of `path`. Fails (and nothing
// changed) when the folder is not writable, the disk is full or any write fails. A symbolic
// link is followed: its target gets the new content and the link stays. A new file gets the
// usual mode (0666 less the umask); an existing file keeps its mode.
[[nodiscard]] FileWriteResult writeFileAtomically(const std::filesystem::path& path,
                                                  std::initializer_list<std::span<const std::uint8_t>> pieces,
                                                  const FileWriteOps& ops = systemFileWriteOps());

// Whether writeFileAtomically can put a file at `path` before anything else is done: 0, or the
// system's reason (ENOENT: its folder is missing, ENOTDIR: the folder is a file, EACCES or EROFS:
// the folder cannot be written, EISDIR: `path` is a folder).
[[nodiscard]] int fileWriteError(const std::filesystem::path& path);

// Bytes an unprivileged writer still has on the file system holding `path` (statvfs); nothing
// when that cannot be asked (the path is missing).
[[nodiscard]] std::optional<std::uint64_t> freeSpace(const std::filesystem::path& path);

} // namespace kestrane
