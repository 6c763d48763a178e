#include "platform/path_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <system_error>

namespace kestrane {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The deepest existing folder on the way to `path` (its own folder when that exists).
std::string deepestExistingFolder(const fs::path& path)
{
    std::error_code ec;
    fs::path folder = path.parent_path();
    while (!folder.empty() && !fs::is_directory(folder, ec)) {
        if (folder == folder.root_path())
            return {};
        folder = folder.parent_path();
    }
    return folder.string();
}

fs::path absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? fs::path(path) : p.lexically_normal();
}

} // namespace

PathWatch::PathWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

PathWatch::~PathWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void PathWatch::watch(int key, const std::string& path)
{
    paths_[key] = path;
    rewatch();
}

void PathWatch::unwatch(int key)
{
    paths_.erase(key);
    rewatch();
}

void PathWatch::rewatch()
{
    if (fd_ < 0)
        return;
    std::set<std::string> wanted;
    for (const auto& [key, path] : paths_) {
        const fs::path p = absolute(path);
        if (const std::string f = deepestExistingFolder(p); !f.empty())
            wanted.insert(f);
        // A link whose target is missing: the target may come back without the link changing.
        std::error_code ec;
        if (fs::is_symlink(p, ec) && !fs::exists(p, ec)) {
            fs::path target = fs::read_symlink(p, ec);
            if (!ec) {
                if (target.is_relative())
                    target = p.parent_path() / target;
                if (const std::string f = deepestExistingFolder(target.lexically_normal()); !f.empty())
                    wanted.insert(f);
            }
        }
    }
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (wanted.count(it->first) == 0) {
            ::inotify_rm_watch(fd_, it->second);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::string& f : wanted) {
        if (folders_.count(f) != 0)
            continue;
        const int wd = ::inotify_add_watch(fd_, f.c_str(), kFolderEvents);
        if (wd >= 0)
            folders_[f] = wd;
    }
}

std::vector<int> PathWatch::takeAppeared()
{
    if (fd_ < 0)
        return {};
    alignas(inotify_event) char buf[8192];
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // EAGAIN: all read
    }
    if (!any)
        return {};
    // Folders may have appeared or gone: watch the deepest ones that exist now.
    rewatch();
    std::vector<int> appeared;
    for (const auto& [key, path] : paths_) {
        std::error_code ec;
        if (fs::exists(path, ec))
            appeared.push_back(key);
    }
    return appeared;
}

std::string serialByIdAlias(const std::string& devicePath, const fs::path& byIdFolder)
{
    std::error_code ec;
    const fs::path device = fs::canonical(devicePath, ec);
    if (ec)
        return {};
    if (absolute(devicePath).parent_path() == absolute(byIdFolder.string()))
        return {};  // already the stable name
    for (const auto& entry : fs::directory_iterator(byIdFolder, ec)) {
        std::error_code ec2;
        if (fs::canonical(entry.path(), ec2) == device && !ec2)
            return entry.path().string();
    }
    return {};
}

} // namespace kestrane
