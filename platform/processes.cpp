#include "platform/processes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace kestrane {

namespace {

bool isExecutableFile(const std::filesystem::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

std::vector<std::filesystem::path> splitPath(const std::string& path)
{
    std::vector<std::filesystem::path> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t colon = path.find(':', start);
        const std::string part = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!part.empty())
            out.emplace_back(part);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return out;
}

} // namespace

Processes::Processes(std::filesystem::path programDir, std::string path)
    : programDir_(std::move(programDir)), searchPath_(splitPath(path))
{
}

Processes Processes::forThisProcess()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const char* path = std::getenv("PATH");
    return Processes(ec ? std::filesystem::path() : exe.parent_path(), path ? path : "/usr/bin:/bin");
}

std::filesystem::path Processes::find(const std::string& name) const
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return isExecutableFile(name) ? std::filesystem::path(name) : std::filesystem::path();

    std::vector<std::string> names{name};
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
        names.push_back(name.substr(0, name.size() - 4));

    std::vector<std::filesystem::path> dirs;
    if (!programDir_.empty())
        dirs.push_back(programDir_);
    dirs.insert(dirs.end(), searchPath_.begin(), searchPath_.end());
    for (const auto& dir : dirs)
        for (const auto& n : names)
            if (isExecutableFile(dir / n))
                return dir / n;
    return {};
}

bool Processes::start(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& workingDir) const
{
    const std::filesystem::path exe = find(program);
    if (exe.empty())
        return false;
    std::vector<std::string> argv{exe.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return spawnDetached(argv, workingDir);
}

bool Processes::openDocument(const std::filesystem::path& document) const
{
    return start(desktopOpener, {document.string()});
}

bool Processes::startEditor(const std::filesystem::path& file, const std::filesystem::path& folder) const
{
    std::vector<std::string> args;
    if (!file.empty())
        args.push_back(file.string());
    if (const char* visual = std::getenv("VISUAL"); visual && *visual) {
        std::vector<std::string> cmd = splitParameters(visual);
        if (!cmd.empty()) {
            const std::filesystem::path exe = find(cmd.front());
            if (!exe.empty()) {
                cmd.front() = exe.string();
                cmd.insert(cmd.end(), args.begin(), args.end());
                if (spawnDetached(cmd, folder))
                    return true;
            }
        }
    }
    if (!file.empty() && openDocument(file))
        return true;
    for (const char* editor : {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed", "pluma",
                               "featherpad", "leafpad", "geany", "gvim"}) {
        const std::filesystem::path exe = find(editor);
        if (exe.empty())
            continue;
        std::vector<std::string> cmd{exe.string()};
        cmd.insert(cmd.end(), args.begin(), args.end());
        if (spawnDetached(cmd, folder))
            return true;
    }
    return false;
}

std::vector<std::string> splitParameters(const std::string& text)
{
    std::vector<std::string> out;
    std::string cur;
    bool inQuotes = false;
    bool have = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if (!inQuotes && (c == ' ' || c == '\t')) {
            if (have)
                out.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur.push_back(c);
            have = true;
        }
    }
    if (have)
        out.push_back(cur);
    return out;
}

bool spawnDetached(const std::vector<std::string>& argv, const std::filesystem::path& workingDir)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        if (!workingDir.empty() && ::chdir(workingDir.c_str()) != 0) {
            const int err = errno;
            (void)!::write(report[1], &err, sizeof err);
            ::_exit(127);
        }
        ::execv(args[0], args.data());
        const int err = errno;
        (void)!::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

} // namespace kestrane
