// The supervising program of one program run (ToolSupervisor.h):
// syvtoolsupervisor PROGRAM [ARGUMENT ...], started by syvcore with its
// descriptors in place. Plain code on the C library alone, so that it starts
// fast and needs nothing of the host.
#include "ToolSupervisor.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

extern char** environ;

namespace syv {
namespace detail {
namespace {

const int kStatusFd = kSupervisorStatusFd;
const int kControlFd = kSupervisorControlFd;

void NoteChildEvent(int) {}

void Report(int kind, int value) {
    const SupervisorReport report{kind, value};
    // One write below PIPE_BUF arrives whole or not at all; a host that has
    // gone gives EPIPE, which changes nothing here.
    while (::write(kStatusFd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

void CloseFrom(int first) {
#if defined(SYS_close_range)
    if (::syscall(SYS_close_range, static_cast<unsigned>(first), ~0u, 0u) == 0) {
        return;
    }
#endif
    rlimit limit{};
    const rlim_t end = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                           ? limit.rlim_cur
                           : rlim_t(1) << 20;
    for (rlim_t fd = static_cast<rlim_t>(first); fd < end; ++fd) {
        ::close(static_cast<int>(fd));
    }
}

void SetDisposition(int signal, void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = signal == SIGCHLD ? SA_NOCLDSTOP : 0;
    ::sigaction(signal, &action, nullptr);
}

[[noreturn]] void ExecProgram(char** argv, int errorPipe) {
    // A group of its own, so that the program and what it starts die together.
    ::setpgid(0, 0);
    ::close(kStatusFd);
    ::close(kControlFd);
    // The supervisor's handler, its ignored SIGPIPE and its blocked SIGCHLD
    // are not the program's business.
    SetDisposition(SIGCHLD, SIG_DFL);
    SetDisposition(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv[0], argv, environ);
    const int error = errno;
    while (::write(errorPipe, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

#if defined(__linux__)
// The parent process id from /proc/PID/stat ("PID (NAME) STATE PPID ..."),
// or -1. The name may hold spaces and parentheses: it ends at the last ')'.
pid_t ParentOf(const char* pidText) {
    char path[64] = "/proc/";
    std::size_t length = std::strlen(path);
    for (const char* c = pidText; *c != '\0' && length < sizeof path - 8; ++c) {
        path[length++] = *c;
    }
    std::memcpy(path + length, "/stat", 6);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    char text[512];
    const ssize_t got = ::read(fd, text, sizeof text);
    ::close(fd);
    ssize_t nameEnd = got - 1;
    while (nameEnd >= 0 && text[nameEnd] != ')') {
        --nameEnd;
    }
    if (nameEnd < 0 || nameEnd + 4 >= got) {
        return -1;
    }
    pid_t parent = 0;
    for (ssize_t i = nameEnd + 4; i < got && text[i] >= '0' && text[i] <= '9'; ++i) {
        parent = parent * 10 + (text[i] - '0');
    }
    return parent;
}

// Kills every child of this process: the program, and what it started that
// was orphaned and adopted here. A listing of /proc, since the per-task
// list of children is not always built into the kernel.
void KillChildren() {
    const int folder = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    const pid_t self = ::getpid();
    alignas(8) char buffer[8192];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        // struct linux_dirent64: inode (8 bytes), offset (8), record length
        // (2), type (1), then the NUL-terminated name.
        for (long at = 0; at < got;) {
            std::uint16_t recordLength = 0;
            std::memcpy(&recordLength, buffer + at + 16, sizeof recordLength);
            const char* name = buffer + at + 19;
            at += recordLength;
            if (recordLength == 0) {
                break;
            }
            pid_t pid = 0;
            const char* c = name;
            for (; *c >= '0' && *c <= '9'; ++c) {
                pid = pid * 10 + (*c - '0');
            }
            if (*c == '\0' && pid > 0 && ParentOf(name) == self) {
                ::kill(pid, SIGKILL);
            }
        }
    }
    ::close(folder);
}
#else
// Without a subreaper, orphans go to init; only the program's group is reached.
void KillChildren() {}
#endif

// Ends the program's group and, on Linux, every process it left (adopted
// here as they are orphaned), reaping all of them. While live children
// remain, each round kills every child found; a child's death can only hand
// over its own children, which a later round finds. When the program left
// nothing, no round is needed.
void Sweep(pid_t program) {
    // The program is not reaped yet, so its group id cannot have been reused.
    ::kill(-program, SIGKILL);
    long pauseMs = 1;
    for (;;) {
        int status = 0;
        const pid_t reaped = ::waitpid(-1, &status, WNOHANG);
        if (reaped > 0 || (reaped < 0 && errno == EINTR)) {
            continue;
        }
        if (reaped < 0) {
            return;  // ECHILD: nothing is left
        }
        KillChildren();
        const timespec pause{0, pauseMs * 1000000};
        ::nanosleep(&pause, nullptr);
        pauseMs = pauseMs < 16 ? pauseMs * 2 : pauseMs;
    }
}

// Reports the program's end once, and returns when the host ends the run.
void Supervise(pid_t program, bool reported) {
    sigset_t duringWait;
    sigemptyset(&duringWait);
    for (;;) {
        if (!reported) {
            siginfo_t info;
            std::memset(&info, 0, sizeof info);
            // Left unreaped, so that the group id stays the program's until the sweep.
            if (::waitid(P_PID, static_cast<id_t>(program), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
                if (info.si_pid == program) {
                    Report(info.si_code == CLD_EXITED ? SupervisorReport::kExited : SupervisorReport::kKilled,
                           info.si_status);
                    reported = true;
                }
            } else if (errno != EINTR) {
                Report(SupervisorReport::kSetupFailed, errno);
                reported = true;
            }
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(kControlFd, &readable);
        // SIGCHLD is blocked except inside pselect, so an exit between the
        // check above and the wait interrupts the wait.
        const int ready = ::pselect(kControlFd + 1, &readable, nullptr, nullptr, nullptr, &duringWait);
        if (ready > 0 || (ready < 0 && errno != EINTR)) {
            return;
        }
    }
}

// Runs the program argv[0] and returns once the host has ended the run.
void Run(char** argv) {
    // The host's handlers stayed behind at exec, but not what it ignored:
    // SIGCHLD wakes the wait below, and a host that has gone must not end
    // the sweep by SIGPIPE.
    for (int signal = 1; signal < NSIG; ++signal) {
        SetDisposition(signal, SIG_DFL);
    }
    SetDisposition(SIGCHLD, NoteChildEvent);
    SetDisposition(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGCHLD);
    ::sigprocmask(SIG_SETMASK, &blocked, nullptr);
#if defined(__linux__)
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
#endif

    int errorPipe[2];
    if (::pipe(errorPipe) != 0 || ::fcntl(errorPipe[1], F_SETFD, FD_CLOEXEC) != 0) {
        Report(SupervisorReport::kSetupFailed, errno);
        return;
    }
    const pid_t program = ::fork();
    if (program == 0) {
        ::close(errorPipe[0]);
        ExecProgram(argv, errorPipe[1]);
    }
    if (program < 0) {
        Report(SupervisorReport::kSetupFailed, errno);
        return;
    }
    // Here too, so that the group exists before any kill of it, whichever
    // of the two runs first.
    ::setpgid(program, program);
    // Only the program holds the output now.
    ::close(errorPipe[1]);
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);
    ::close(STDERR_FILENO);
    int execError = 0;
    ssize_t got;
    do {
        got = ::read(errorPipe[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    const bool execFailed = got == static_cast<ssize_t>(sizeof execError);
    if (execFailed) {
        Report(SupervisorReport::kExecFailed, execError);
    }
    Supervise(program, execFailed);
    Sweep(program);
}

}  // namespace
}  // namespace detail
}  // namespace syv

// The host started it in a process group of its own, out of the terminal's,
// so that an interrupt meant for the host cannot end it before it has ended
// the program.
int main(int argc, char** argv) {
    using namespace syv::detail;
    if (argc < 2 || ::fcntl(kStatusFd, F_GETFD) < 0 || ::fcntl(kControlFd, F_GETFD) < 0) {
        static const char usage[] =
            "syvtoolsupervisor: runs a program for syvcore, which hands it its status and control pipes as "
            "descriptors 3 and 4; not to be started by hand\n";
        (void)!::write(STDERR_FILENO, usage, sizeof usage - 1);
        return 2;
    }
    // Whatever started it, no descriptor of another run may stay open here:
    // a pipe end held here would keep that run's output from ending.
    CloseFrom(kSupervisorFdCount);
    Run(argv + 1);
    return 0;
}
