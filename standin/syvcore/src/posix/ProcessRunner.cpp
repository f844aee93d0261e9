// The process runner on POSIX systems: posix_spawn into a process group of
// its own, both output pipes drained with poll, the group killed on timeout or
// over-long output, the child always reaped.
#include "ProcessRunner.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>

extern char** environ;

namespace syv {
namespace detail {
namespace {

using Clock = std::chrono::steady_clock;

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    void Close() {
        if (fd_ >= 0) {
            // Not retried on EINTR: on Linux the descriptor is gone either way.
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

std::string ErrnoText(int error) {
    switch (error) {
    case ENOENT:
        return "no such file";
    case EACCES:
        return "permission denied";
    case ENOEXEC:
        return "not an executable format";
    default:
        return std::strerror(error);
    }
}

[[noreturn]] void ThrowNotStarted(const std::string& what, int error) {
    throw ProcessError(ProcessFailure::kNotStarted, what + ErrnoText(error));
}

void OpenPipe(Pipe& pipe) {
    int fds[2];
    // Close-on-exec, so that no other child (of this or another thread)
    // inherits an end and holds the pipe open; the spawn's dup2 clears the
    // flag on the child's own copies.
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ThrowNotStarted("cannot create a pipe: ", errno);
    }
    pipe.readEnd.Reset(fds[0]);
    pipe.writeEnd.Reset(fds[1]);
    const int flags = ::fcntl(fds[0], F_GETFL);
    if (flags < 0 || ::fcntl(fds[0], F_SETFL, flags | O_NONBLOCK) != 0) {
        ThrowNotStarted("cannot set up a pipe: ", errno);
    }
}

// posix_spawn's attribute and file action objects, destroyed on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        if (const int error = ::posix_spawnattr_init(&attributes_)) {
            ThrowNotStarted("cannot prepare the start: ", error);
        }
        if (const int error = ::posix_spawn_file_actions_init(&actions_)) {
            ::posix_spawnattr_destroy(&attributes_);
            ThrowNotStarted("cannot prepare the start: ", error);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }

    void Check(int error) {
        if (error != 0) {
            ThrowNotStarted("cannot prepare the start: ", error);
        }
    }

    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments, Pipe& out, Pipe& err) {
    SpawnSetup setup;
    // A group of its own, so that the child and what it starts die together.
    short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    setup.Check(::posix_spawnattr_setflags(&setup.attributes_, flags));
    setup.Check(::posix_spawnattr_setpgroup(&setup.attributes_, 0));
    // Neither the host's blocked signals nor its ignored ones (SIGPIPE, say)
    // are the program's business.
    sigset_t signals;
    sigemptyset(&signals);
    setup.Check(::posix_spawnattr_setsigmask(&setup.attributes_, &signals));
    sigfillset(&signals);
    sigdelset(&signals, SIGKILL);
    sigdelset(&signals, SIGSTOP);
    setup.Check(::posix_spawnattr_setsigdefault(&setup.attributes_, &signals));

    setup.Check(::posix_spawn_file_actions_addopen(&setup.actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0));
    setup.Check(::posix_spawn_file_actions_adddup2(&setup.actions_, out.writeEnd.Get(), STDOUT_FILENO));
    setup.Check(::posix_spawn_file_actions_adddup2(&setup.actions_, err.writeEnd.Get(), STDERR_FILENO));
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors that some library opened without close-on-exec stay out too.
    setup.Check(::posix_spawn_file_actions_addclosefrom_np(&setup.actions_, STDERR_FILENO + 1));
#endif

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    // posix_spawn (not posix_spawnp): the path is used as given, never
    // searched for. It reports a failed exec as its result.
    const int error = ::posix_spawn(&pid, program.c_str(), &setup.actions_, &setup.attributes_, argv.data(), environ);
    if (error != 0) {
        ThrowNotStarted("", error);
    }
    return pid;
}

// The started child: unless it was reaped, killed with its group and then
// reaped, so that no path leaves a zombie or a running process behind. It
// stays unreaped until the end, which keeps its pid, and so its group id,
// from being reused while the group may still have to be killed.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (!reaped_) {
            KillGroup();
            Reap();
        }
    }

    pid_t Pid() const { return pid_; }

    // Also reaches what the child started, unless that left the group.
    void KillGroup() { ::kill(-pid_, SIGKILL); }

    // Whether the child has exited, leaving it unreaped.
    bool HasExited() const {
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        int result;
        do {
            result = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
        } while (result < 0 && errno == EINTR);
        return result < 0 || info.si_pid == pid_;
    }

    // Waits for the exit; false when the status is lost (a host that ignores
    // SIGCHLD has its children reaped by the system).
    bool Reap(int& status) {
        bool known = false;
        while (!reaped_) {
            const pid_t result = ::waitpid(pid_, &status, 0);
            known = result == pid_;
            reaped_ = known || (result < 0 && errno != EINTR);
        }
        return known;
    }

    void Reap() {
        int status;
        Reap(status);
    }

private:
    pid_t pid_;
    bool reaped_ = false;
};

// Readable once the child has exited (Linux 5.3 and later); without it the
// wait for an exit after the output has ended falls back to short sleeps.
int OpenExitNotifier(pid_t pid) {
#if defined(SYS_pidfd_open)
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

std::string SignalText(int signal) {
    const char* name = ::strsignal(signal);
    return "killed by signal " + std::to_string(signal) + (name != nullptr ? " (" + std::string(name) + ")" : "");
}

const char* const kKilledSuffix = "; killed with its process group";

}  // namespace

bool IsAbsoluteProgramPath(const std::string& path) { return !path.empty() && path.front() == '/'; }

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessLimits& limits) {
    RequireNoNulBytes(program, arguments);
    if (program.empty()) {
        throw ProcessError(ProcessFailure::kNotStarted, "empty program path");
    }

    Pipe out;
    Pipe err;
    OpenPipe(out);
    OpenPipe(err);
    const Clock::time_point deadline = Clock::now() + limits.timeout;
    Child child(Spawn(program, arguments, out, err));
    // Only the child's side holds the write ends now, so the output ends when
    // the child and whatever it started have closed them.
    out.writeEnd.Close();
    err.writeEnd.Close();
    FileDescriptor exitNotifier(OpenExitNotifier(child.Pid()));

    ProcessResult result;
    std::uint64_t outputBytes = 0;
    std::array<char, 64 * 1024> buffer;
    std::chrono::milliseconds exitPollInterval(1);
    for (;;) {
        const bool outputOpen = out.readEnd.IsOpen() || err.readEnd.IsOpen();
        if (!outputOpen && child.HasExited()) {
            break;
        }
        const Clock::duration remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero()) {
            const std::string state = child.HasExited() ? "output still open (held by a process it started) after "
                                                        : "still running after ";
            child.KillGroup();
            throw ProcessError(ProcessFailure::kTimedOut, state + DescribeSeconds(limits.timeout) + kKilledSuffix);
        }
        std::chrono::milliseconds wait = std::chrono::ceil<std::chrono::milliseconds>(remaining);

        std::array<pollfd, 3> fds{};
        std::array<std::string*, 3> sinks{};
        std::array<FileDescriptor*, 3> sources{};
        nfds_t count = 0;
        if (out.readEnd.IsOpen()) {
            fds[count] = {out.readEnd.Get(), POLLIN, 0};
            sources[count] = &out.readEnd;
            sinks[count++] = &result.standardOutput;
        }
        if (err.readEnd.IsOpen()) {
            fds[count] = {err.readEnd.Get(), POLLIN, 0};
            sources[count] = &err.readEnd;
            sinks[count++] = &result.standardError;
        }
        if (!outputOpen) {
            if (exitNotifier.IsOpen()) {
                fds[count++] = {exitNotifier.Get(), POLLIN, 0};
            } else {
                wait = std::min(wait, exitPollInterval);
                exitPollInterval = std::min(exitPollInterval * 2, std::chrono::milliseconds(50));
            }
        }
        const int timeoutMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(wait.count(), INT_MAX));
        if (::poll(fds.data(), count, timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            child.KillGroup();
            throw ProcessError(ProcessFailure::kNotStarted, std::string("cannot wait for output: ") + std::strerror(errno));
        }

        // One read per stream and round, so that neither stream starves the
        // other and the limits are checked between reads.
        for (nfds_t i = 0; i < count; ++i) {
            if (sinks[i] == nullptr || fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                outputBytes += static_cast<std::uint64_t>(got);
                if (outputBytes > limits.maxOutputBytes) {
                    child.KillGroup();
                    throw ProcessError(ProcessFailure::kOutputTooLarge,
                                       "more than " + std::to_string(limits.maxOutputBytes) + " bytes of output" +
                                           kKilledSuffix);
                }
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                sources[i]->Close();
            }
        }
    }

    int status = 0;
    if (!child.Reap(status)) {
        throw ProcessError(ProcessFailure::kCrashed, "exit status lost: the host does not wait for its children");
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        return result;
    }
    if (WIFSIGNALED(status)) {
        throw ProcessError(ProcessFailure::kCrashed, SignalText(WTERMSIG(status)));
    }
    throw ProcessError(ProcessFailure::kCrashed, "ended with wait status " + std::to_string(status));
}

}  // namespace detail
}  // namespace syv
