// kestrane-demo: a thermometer on a serial line, for trying Kestrane without hardware.
//
//   kestrane-demo [--folder DIR] [--reading-ms N] [--poll-ms N] [--ser2net] [--quiet] [-- PROGRAM [ARGS...]]
//
// Creates two pseudo-terminal pairs and writes ports.conf (COM1, COM2) and first-run settings into
// DIR. With --ser2net the two lines are served by ser2net on 127.0.0.1 (RFC 2217) and ports.conf
// names them as remote lines, as a lab's lines served by another machine would be. On COM1's far end an instrument answers framed requests and reports a reading; on COM2's
// far end a host polls the instrument, so Kestrane can watch the line in T connection or relay
// it. With a PROGRAM (Kestrane) it is started in DIR and the demo ends when it ends; SIGINT,
// SIGTERM and SIGHUP are passed on to it. Without one the demo runs until such a signal.
// Nothing is left behind: the links to the terminals are removed and the terminals closed.
#include "demo/demo_folder.h"
#include "demo/demo_instrument.h"
#include "ser2net/ser2net_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace kestrane::demo;

namespace {

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Options {
    fs::path folder = "kestrane-demo";
    int readingMs = 1000;
    int pollMs = 3000;
    bool quiet = false;
    bool ser2net = false;
    std::vector<std::string> program;
};

constexpr const char* kHelp = R"(Usage: kestrane-demo [OPTIONS] [-- PROGRAM [ARGS...]]

A demo instrument for trying Kestrane without hardware. It makes two pseudo-terminal pairs and
writes into its folder a ports.conf that names their ends COM1 and COM2:
  COM1  a thermometer: reports "温度 +23.4℃" (Shift-JIS) every second and answers framed
        requests (STX "RD", "ID" or "ST" ETX with a byte-XOR, byte-sum or CRC16 check) in the
        same form;
  COM2  a host that polls the thermometer every three seconds, so the line can be watched as
        a T connection or relayed (ComPort設定: CH2 有効, ラインモニタ 有効).
On its first run in a folder it also writes settings that open both ports and frame what
入力文字送信 sends (STX, ETX, XOR), fixed strings (mdata.txt) and an example macro
(macro/poll.txt); settings already there are kept. They skip the first start's messages about
missing settings files.

With a PROGRAM (normally: -- kestrane) the demo starts it in the folder and ends when it ends;
Ctrl-C, SIGTERM and SIGHUP are passed on to it, so it closes as its window's 終了 does. Without
one the demo runs until such a signal. Nothing is left behind: the links to the terminals are
removed and the terminals closed.

  --folder DIR      The folder to work in (default: ./kestrane-demo, made when missing).
  --reading-ms N    The thermometer's report period in milliseconds (10..3600000, default 1000).
  --poll-ms N       The host's poll period in milliseconds (10..3600000, default 3000).
  --ser2net         Serve the two lines through ser2net on 127.0.0.1 and name them in ports.conf
                    as remote lines (rfc2217://127.0.0.1:PORT), as another machine's would be.
  --quiet           Print only "kestrane-demo: ready" (and what goes wrong).
  -h, --help        This text.

Exit status: the program's exit status when one was started; 0 stopped by a signal; 1 the
demo could not start (folder, terminals, ser2net); 2 a mistake in the command line.

Example: kestrane-demo -- kestrane
)";

[[noreturn]] void usage(const char* self, const std::string& mistake)
{
    std::fprintf(stderr, "%s: %s\nusage: %s [--folder DIR] [--reading-ms N] [--poll-ms N] [--ser2net] [--quiet] "
                 "[-- PROGRAM [ARGS...]]\nTry %s --help.\n",
                 self, mistake.c_str(), self, self);
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(argv[0], a + " needs a value");
            return argv[++i];
        };
        const auto number = [&]() {
            const std::string v = value();
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (end == v.c_str() || *end != 0 || n < 10 || n > 3'600'000)
                usage(argv[0], a + " takes milliseconds from 10 to 3600000, not \"" + v + "\"");
            return static_cast<int>(n);
        };
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else if (a == "--folder")
            o.folder = value();
        else if (a == "--reading-ms")
            o.readingMs = number();
        else if (a == "--poll-ms")
            o.pollMs = number();
        else if (a == "--quiet")
            o.quiet = true;
        else if (a == "--ser2net")
            o.ser2net = true;
        else if (a == "--") {
            o.program.assign(argv + i + 1, argv + argc);
            break;
        } else
            usage(argv[0], a.size() > 1 && a[0] == '-' ? "unknown option " + a : "unexpected argument \"" + a + "\"");
    }
    return o;
}

// One pseudo-terminal pair: the demo keeps the master; the slave is the "serial device" that
// Kestrane opens through a link in the demo folder.
struct Line {
    int master = -1;
    fs::path slave;
    fs::path link;
    bool connected = false;  // someone holds the slave open

    bool open(const fs::path& linkPath)
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return false;
        const char* name = ::ptsname(master);
        if (!name)
            return false;
        slave = name;
        // A fresh slave is cooked (CR to LF, echo): make it raw once for whoever opens it.
        const int fd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return false;
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
        ::close(fd);  // from now on the master sees a hang-up until Kestrane opens the port
        link = linkPath;
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_symlink(slave, link, ec);
        return !ec;
    }

    // Whether a program holds the slave open now (no hang-up on the master).
    void probe()
    {
        pollfd p{master, POLLIN, 0};
        connected = ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
    }

    // Writes the bytes if someone listens; what the line cannot take now is dropped, as a
    // device's output is lost when nothing reads it.
    void send(const std::vector<std::uint8_t>& bytes)
    {
        if (!connected)
            return;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }

    void close()
    {
        std::error_code ec;
        if (!link.empty())
            fs::remove(link, ec);
        if (master >= 0)
            ::close(master);
        master = -1;
    }
};

bool writeFileAtomically(const fs::path& path, const std::string& text)
{
    const fs::path tmp = path.string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            return false;
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    return !ec;
}

pid_t startProgram(const std::vector<std::string>& program, const fs::path& folder, const sigset_t& originalMask)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    // The program gets its own process group, so a Ctrl-C reaches it once (through the demo),
    // and it is told to end if the demo dies.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::sigprocmask(SIG_SETMASK, &originalMask, nullptr);
    if (::chdir(folder.c_str()) != 0) {
        std::perror("kestrane-demo: chdir");
        ::_exit(127);
    }
    std::vector<char*> argv;
    for (const auto& a : program)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "kestrane-demo: cannot start %s: %s\n", argv[0], std::strerror(errno));
    ::_exit(127);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    std::error_code ec;
    fs::create_directories(options.folder, ec);
    const fs::path folder = fs::absolute(options.folder, ec);
    if (!fs::is_directory(folder)) {
        std::fprintf(stderr, "kestrane-demo: cannot use the folder %s\n", options.folder.c_str());
        return 1;
    }

    // Signals arrive through a descriptor, so the loop below waits on one poll() for everything.
    sigset_t handled, original;
    sigemptyset(&handled);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&handled, s);
    sigprocmask(SIG_BLOCK, &handled, &original);
    const int signals = ::signalfd(-1, &handled, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals < 0) {
        std::perror("kestrane-demo: signalfd");
        return 1;
    }

    Line instrumentLine, hostLine;
    if (!instrumentLine.open(folder / "ttyDEMO1") || !hostLine.open(folder / "ttyDEMO2")) {
        std::fprintf(stderr, "kestrane-demo: cannot create the pseudo-terminals: %s\n", std::strerror(errno));
        instrumentLine.close();
        hostLine.close();
        return 1;
    }
    std::string com1 = instrumentLine.link.string(), com2 = hostLine.link.string();
    std::unique_ptr<kestrane::Ser2netProcess> served;
    if (options.ser2net) {
        served = std::make_unique<kestrane::Ser2netProcess>(
            folder, std::vector<kestrane::Ser2netLine>{{instrumentLine.slave.string()}, {hostLine.slave.string()}});
        if (!served->running()) {
            std::fprintf(stderr, "kestrane-demo: ser2net %s (scripts/setup.sh installs it; see %s)\n",
                         kestrane::Ser2netProcess::installed() ? "did not start" : "is not installed",
                         (folder / "ser2net.log").c_str());
            instrumentLine.close();
            hostLine.close();
            return 1;
        }
        com1 = served->url(0);
        com2 = served->url(1);
    }
    if (!writeFileAtomically(folder / "ports.conf", portsConfText(com1, com2))
        || !writeDemoSettingsIfMissing(folder) || !writeDemoFilesIfMissing(folder)) {
        std::fprintf(stderr, "kestrane-demo: cannot write into %s\n", folder.c_str());
        instrumentLine.close();
        hostLine.close();
        return 1;
    }
    if (!options.quiet) {
        std::printf("kestrane-demo: folder %s\n"
                    "  COM1 %s -> %s  (the instrument: answers STX RD/ID/ST ETX + check, reports every %d ms)\n"
                    "  COM2 %s -> %s  (the host: polls the instrument every %d ms)\n",
                    folder.c_str(), com1.c_str(), instrumentLine.slave.c_str(), options.readingMs, com2.c_str(),
                    hostLine.slave.c_str(), options.pollMs);
    }
    std::printf("kestrane-demo: ready\n");
    std::fflush(stdout);

    pid_t child = -1;
    if (!options.program.empty()) {
        child = startProgram(options.program, folder, original);
        if (!options.quiet)
            std::printf("kestrane-demo: started %s (pid %d)\n", options.program.front().c_str(), static_cast<int>(child));
        std::fflush(stdout);
    }
    int exitCode = 0;

    Instrument instrument;
    RequestReader requests;      // what reaches the instrument on COM1's line
    std::int64_t readingCount = 0;
    const std::int64_t start = nowMs();
    std::int64_t nextReading = start + options.readingMs;
    std::int64_t nextPoll = start + options.pollMs / 2;
    std::optional<std::int64_t> pollPending;  // when the host's last poll went out, until answered
    std::int64_t nextProbe = start;
    constexpr int kProbeMs = 200;
    // How long a relayed poll may take to reach the instrument (well within one poll period).
    const int relayWaitMs = std::min(500, options.pollMs / 2);
    bool stopping = false;

    instrumentLine.probe();
    hostLine.probe();
    while (!stopping) {
        std::int64_t now = nowMs();
        std::int64_t wake = std::min({nextReading, nextPoll, nextProbe});
        if (const auto d = requests.deadline())
            wake = std::min(wake, *d);
        if (pollPending)
            wake = std::min(wake, *pollPending + relayWaitMs);

        pollfd fds[3] = {{signals, POLLIN, 0},
                         {instrumentLine.connected ? instrumentLine.master : -1, POLLIN, 0},
                         {hostLine.connected ? hostLine.master : -1, POLLIN, 0}};
        const int r = ::poll(fds, 3, static_cast<int>(std::max<std::int64_t>(0, wake - now)));
        if (r < 0 && errno != EINTR)
            break;
        now = nowMs();

        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGCHLD) {
                    int status = 0;
                    if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
                        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                        child = -1;
                        stopping = true;
                    }
                } else if (child > 0) {
                    ::kill(child, SIGTERM);  // the program closes as its window's close does
                } else {
                    stopping = true;
                }
            }
        }

        std::uint8_t buf[512];
        if (fds[1].revents & POLLHUP) {
            instrumentLine.connected = false;
        } else if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(instrumentLine.master, buf, sizeof buf);
            if (n > 0)
                requests.feed(std::span(buf, static_cast<std::size_t>(n)), now);
        }
        if (fds[2].revents & POLLHUP) {
            hostLine.connected = false;
        } else if (fds[2].revents & POLLIN) {
            // The host reads the replies that a relay passes on; it has nothing to say to them.
            (void)!::read(hostLine.master, buf, sizeof buf);
        }

        for (const Request& request : requests.take(now)) {
            if (pollPending && request.kind == Request::Kind::Framed && request.frame.data == std::vector<std::uint8_t>{'R', 'D'}
                && request.frame.check == CheckForm::Crc16)
                pollPending.reset();  // the host's poll came through a relay
            instrumentLine.send(instrument.answer(request, readingCount));
        }
        if (pollPending && now >= *pollPending + relayWaitMs) {
            // Not relayed: on a T connection the instrument hears the host directly and answers.
            Request heard;
            heard.frame = Frame{{'R', 'D'}, CheckForm::Crc16, false, {}};
            instrumentLine.send(instrument.answer(heard, readingCount));
            pollPending.reset();
        }
        if (now >= nextReading) {
            instrumentLine.send(instrument.periodicReading(readingCount++));
            nextReading += options.readingMs;
            if (nextReading <= now)
                nextReading = now + options.readingMs;
        }
        if (now >= nextPoll) {
            if (hostLine.connected) {
                hostLine.send(hostPoll());
                pollPending = now;
            }
            nextPoll = now + options.pollMs;
        }
        if (now >= nextProbe) {
            instrumentLine.probe();
            hostLine.probe();
            nextProbe = now + kProbeMs;
        }
    }

    if (child > 0) {
        // The loop ended for another reason than the program's end: end it too.
        ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    instrumentLine.close();
    hostLine.close();
    ::close(signals);
    if (!options.quiet)
        std::printf("kestrane-demo: stopped\n");
    return exitCode;
}
