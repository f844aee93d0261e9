// The process runner on POSIX systems: a supervising process
// (ToolSupervisor.h) starts the program and ends everything it started when
// the run ends; here both output pipes and the supervisor's report are read
// with poll, and the run is ended at the time or output limit.
#include "ProcessRunner.h"

#include "ToolSupervisor.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
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
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
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

void OpenPipe(Pipe& pipe, bool nonBlockingRead = true) {
    int fds[2];
    // Close-on-exec, so that no program that another thread starts inherits
    // an end and holds the pipe open; the supervisors close the ends they do
    // not use as they start, and their dup2 clears the flag on the ones
    // they hand on.
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ThrowNotStarted("cannot create a pipe: ", errno);
    }
    pipe.readEnd.Reset(fds[0]);
    pipe.writeEnd.Reset(fds[1]);
    if (!nonBlockingRead) {
        return;
    }
    const int flags = ::fcntl(fds[0], F_GETFL);
    if (flags < 0 || ::fcntl(fds[0], F_SETFL, flags | O_NONBLOCK) != 0) {
        ThrowNotStarted("cannot set up a pipe: ", errno);
    }
}

// The first word of a script's "#!" line, with control characters shown
// as \xNN; empty when the file is not such a script or cannot be read.
std::string ScriptInterpreter(const std::string& program) {
    FileDescriptor file(::open(program.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    char head[256];
    const ssize_t got = file.IsOpen() ? ::read(file.Get(), head, sizeof head) : -1;
    if (got < 2 || head[0] != '#' || head[1] != '!') {
        return std::string();
    }
    ssize_t at = 2;
    while (at < got && (head[at] == ' ' || head[at] == '\t')) {
        ++at;
    }
    std::string name;
    // The system takes the name up to a space, tab or line end, so a CR
    // before the line end (a script saved with CR LF) is part of it.
    for (; at < got && head[at] != ' ' && head[at] != '\t' && head[at] != '\n' && head[at] != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(head[at]);
        if (c < 0x20 || c == 0x7f) {
            static const char digits[] = "0123456789abcdef";
            name += std::string("\\x") + digits[c >> 4] + digits[c & 15];
        } else {
            name += static_cast<char>(c);
        }
    }
    return name;
}

// Why execve failed, as the operator needs to hear it: the system's code
// alone names the wrong culprit for a folder ("permission denied") and for a
// script or program whose interpreter or loader is missing ("no such file",
// though the file is there).
std::string StartFailureText(const std::string& program, int error) {
    struct stat info;
    switch (error) {
    case EACCES:
        if (::stat(program.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            return "is a folder, not a program";
        }
        if (::access(program.c_str(), X_OK) == 0) {
            const std::string interpreter = ScriptInterpreter(program);
            if (!interpreter.empty()) {
                return "cannot run: its interpreter " + interpreter + " cannot be run (permission denied)";
            }
        }
        return "permission denied";
    case ENOENT: {
        if (::lstat(program.c_str(), &info) != 0) {
            return "no such file";
        }
        if (::stat(program.c_str(), &info) != 0) {
            return "no such file: a symbolic link to a missing file";
        }
        const std::string interpreter = ScriptInterpreter(program);
        return interpreter.empty() ? "cannot run: a file it needs to start (its program loader) is missing"
                                   : "cannot run: its interpreter " + interpreter + " is missing";
    }
    case ENOTDIR:
        return "no such file: a part of its path is not a folder";
    default:
        return ErrnoText(error);
    }
}

// The run's supervising process (ToolSupervisor.h): forked with the pipes in
// place; closing the control pipe makes it end the program and everything
// the program started, after which it exits. A fork copies the host's page
// tables, which costs a host holding much memory some time at each start.
class Supervisor {
public:
    Supervisor(const std::string& program, const std::vector<std::string>& arguments, Pipe& out, Pipe& err) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        FileDescriptor nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        if (!nullInput.IsOpen()) {
            ThrowNotStarted("cannot open the null device: ", errno);
        }
        Pipe status;
        Pipe control;
        OpenPipe(status, false);
        OpenPipe(control, false);
        const SupervisorPlan plan{program.c_str(), argv.data(),          environ,
                                  nullInput.Get(),  out.writeEnd.Get(),  err.writeEnd.Get(),
                                  status.writeEnd.Get(), control.readEnd.Get()};
        // No host handler may run in the child before it has reset them.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &previous);
        pid_ = ::fork();
        const int forkError = errno;
        if (pid_ == 0) {
            RunSupervisor(plan);
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (pid_ < 0) {
            ThrowNotStarted("cannot start its supervising process: ", forkError);
        }
        status_.Reset(status.readEnd.Release());
        control_.Reset(control.writeEnd.Release());
    }
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;
    ~Supervisor() { Finish(); }

    int StatusFd() const { return status_.Get(); }

    // False when the supervisor ended without a report.
    bool ReadReport(SupervisorReport& report) {
        ssize_t got;
        do {
            got = ::read(status_.Get(), &report, sizeof report);
        } while (got < 0 && errno == EINTR);
        return got == static_cast<ssize_t>(sizeof report);
    }

    // Ends the run and returns once the supervisor has killed and reaped
    // what was left and exited: its status pipe ends then, whether or not
    // the host ignores SIGCHLD.
    void Finish() {
        if (pid_ <= 0) {
            return;
        }
        control_.Close();
        SupervisorReport ignored;
        while (ReadReport(ignored)) {
        }
        int status;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    FileDescriptor status_;
    FileDescriptor control_;
};

std::string SignalText(int signal) {
    const char* name = ::strsignal(signal);
    return "killed by signal " + std::to_string(signal) + (name != nullptr ? " (" + std::string(name) + ")" : "");
}

const char* const kKilledSuffix = "; killed with every process it started";

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
    Supervisor supervisor(program, arguments, out, err);
    // Only the program's side holds the write ends now, so the output ends
    // when the program and whatever it started have closed them.
    out.writeEnd.Close();
    err.writeEnd.Close();

    ProcessResult result;
    SupervisorReport report{0, 0};
    bool ended = false;  // the report has come
    std::uint64_t outputBytes = 0;
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const bool outputOpen = out.readEnd.IsOpen() || err.readEnd.IsOpen();
        if (ended && (!outputOpen || report.kind == SupervisorReport::kExecFailed ||
                      report.kind == SupervisorReport::kSetupFailed)) {
            break;
        }
        const Clock::duration remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero()) {
            const std::string state =
                ended ? "output still open (held by a process it started) after " : "still running after ";
            supervisor.Finish();
            throw ProcessError(ProcessFailure::kTimedOut, state + DescribeSeconds(limits.timeout) + kKilledSuffix);
        }
        const std::chrono::milliseconds wait = std::chrono::ceil<std::chrono::milliseconds>(remaining);

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
        if (!ended) {
            fds[count++] = {supervisor.StatusFd(), POLLIN, 0};
        }
        const int timeoutMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(wait.count(), INT_MAX));
        if (::poll(fds.data(), count, timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            supervisor.Finish();
            throw ProcessError(ProcessFailure::kNotStarted,
                               std::string("cannot wait for output: ") + std::strerror(error));
        }

        // One read per stream and round, so that neither stream starves the
        // other and the limits are checked between reads.
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (sinks[i] == nullptr) {
                if (!supervisor.ReadReport(report)) {
                    supervisor.Finish();
                    throw ProcessError(ProcessFailure::kCrashed, "its supervising process ended before it did");
                }
                ended = true;
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                outputBytes += static_cast<std::uint64_t>(got);
                if (outputBytes > limits.maxOutputBytes) {
                    supervisor.Finish();
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

    // What the program left running (holding no output) ends with the run,
    // as a Windows job object ends it.
    supervisor.Finish();
    switch (report.kind) {
    case SupervisorReport::kExited:
        result.exitCode = report.value;
        return result;
    case SupervisorReport::kKilled:
        throw ProcessError(ProcessFailure::kCrashed, SignalText(report.value));
    case SupervisorReport::kExecFailed:
        throw ProcessError(ProcessFailure::kNotStarted, StartFailureText(program, report.value));
    default:
        throw ProcessError(ProcessFailure::kNotStarted, "cannot start: " + ErrnoText(report.value));
    }
}

}  // namespace detail
}  // namespace syv
