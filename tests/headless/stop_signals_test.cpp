// The stop signals of the programs without a window when the system will not hand them over as a
// descriptor: the program must refuse to start, never run on with Ctrl-C blocked.
#include "headless/stop_signals.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <fstream>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::PtyPair;
using test::TempDir;

// From here on this process (and what it executes) gets EMFILE from signalfd, as a process at
// its limit of open files would.
void denySignalfd()
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_signalfd4, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_signalfd, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EMFILE & SECCOMP_RET_DATA)),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(125);
}

bool blocked(int signal)
{
    sigset_t now;
    pthread_sigmask(SIG_SETMASK, nullptr, &now);
    return sigismember(&now, signal) == 1;
}

TEST(StopSignals, WithoutADescriptorTheSignalsAreUnblockedAndTheReasonKept)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        denySignalfd();
        headless::StopSignals stops;
        // 0: as it must be; other codes name what went wrong.
        ::_exit(stops.error() != EMFILE ? 1 : stops.fd() >= 0 ? 2 : blocked(SIGINT) || blocked(SIGTERM) || blocked(SIGHUP) ? 3 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Where the system hands them over, nothing is said (this process's mask is put back: the
    // programs the other tests start inherit it).
    sigset_t before;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    {
        headless::StopSignals working;
        EXPECT_EQ(working.error(), 0);
        EXPECT_GE(working.fd(), 0);
        EXPECT_TRUE(blocked(SIGTERM));
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

TEST(StopSignals, TheProgramsRefuseToStartWithoutThemAndSayWhy)
{
    TempDir dir;
    PtyPair far;
    std::ofstream(dir / "ports.conf") << "COM1=" << far.slavePath() << "\n";
    std::ofstream(dir / "m.txt") << "PEND\r\n";
    for (const char* program : {"kestrane-record", "kestrane-macro"}) {
        std::vector<std::string> args{std::string(KESTRANE_PROGRAM_DIR "/") + program, "--folder", dir.path().string(),
                                      "--ch1", "COM1"};
        if (std::string(program) == "kestrane-macro")
            args.push_back((dir / "m.txt").string());
        ChildProcess run(args, {}, denySignalfd);
        EXPECT_EQ(run.waitForExit(10s), 2) << run.output();
        EXPECT_EQ(run.output(), std::string(program)
                                    + ": cannot watch the stop signals (SIGINT, SIGTERM, SIGHUP): Too many open files\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "log"));
}

} // namespace
} // namespace kestrane
