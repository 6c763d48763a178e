#include "platform/atomic_file.h"

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kestrane {

namespace {

int writeAll(const FileWriteOps& ops, int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ops.write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// A fresh name for the temporary file beside the target.
std::string temporaryName(const std::filesystem::path& target)
{
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(8, 'x');
    for (char& c : suffix)
        c = kChars[rng() % (sizeof kChars - 1)];
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // A hidden name beside the target, appended piece by piece: GCC 12 at -O3 warns wrongly
    // about overlapping copies in "." + std::string.
    std::string name(".");
    name += target.filename().string();
    name += '.';
    name += suffix;
    return (folder / name).string();
}

} // namespace

const FileWriteOps& systemFileWriteOps()
{
    static const FileWriteOps ops{
        [](const char* path, mode_t mode) { return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode); },
        [](int fd, const void* bytes, std::size_t count) { return ::write(fd, bytes, count); },
        [](int fd) { return ::fsync(fd); },
        [](int fd) { return ::close(fd); },
        [](const char* from, const char* to) { return ::rename(from, to); },
        [](const char* path) { return ::unlink(path); },
    };
    return ops;
}

FileWriteResult writeFileAtomically(const std::filesystem::path& path,
                                    std::initializer_list<std::span<const std::uint8_t>> pieces, const FileWriteOps& ops)
{
    std::error_code ec;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
        if (ec)
            return {ec.value()};
        target = resolved;
    }

    // A new file is created with 0666 and the system takes the umask off; an existing file's
    // mode is kept.
    bool keepMode = false;
    mode_t mode = 0666;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode))
            return {EISDIR};
        keepMode = true;
        mode = old.st_mode & 07777;
    }

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryName(target);
        fd = ops.create(temporary.c_str(), keepMode ? 0600 : mode);
        if (fd < 0 && errno != EEXIST)
            return {errno};
    }
    if (fd < 0)
        return {EEXIST};

    int error = keepMode && ::fchmod(fd, mode) != 0 ? errno : 0;
    for (const auto& piece : pieces)
        if (error == 0)
            error = writeAll(ops, fd, piece);
    if (error == 0 && ops.flush(fd) != 0)
        error = errno;
    if (ops.close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ops.rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        ops.remove(temporary.c_str());
    return {error};
}

int fileWriteError(const std::filesystem::path& path)
{
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    // The temporary file is made in the folder and renamed there: both need write and search.
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return errno;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return EISDIR;
    return 0;
}

std::optional<std::uint64_t> freeSpace(const std::filesystem::path& path)
{
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

} // namespace kestrane
