// The process runner on POSIX systems: a supervising program
// (ToolSupervisor.h) starts the program and ends everything it started when
// the run ends; here both output pipes and the supervisor's report are read
// with poll, and the run is ended at the time or output limit or when the
// host stops.
#include "ProcessRunner.h"

#include "ToolSupervisor.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <mutex>

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

// Above the supervisor's fixed numbers, so that no dup2 of its start
// overwrites a descriptor that a later one hands on (a host started with a
// standard stream closed gets low numbers for its pipes).
void MoveAboveSupervisorFds(FileDescriptor& fd, const char* what) {
    if (fd.Get() >= kSupervisorFdCount) {
        return;
    }
    const int moved = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, kSupervisorFdCount);
    if (moved < 0) {
        ThrowNotStarted(what, errno);
    }
    fd.Reset(moved);
}

void OpenPipe(Pipe& pipe, bool nonBlockingRead = true) {
    int fds[2];
    // Close-on-exec, so that no program that another thread starts inherits
    // an end and holds the pipe open; a supervisor's start places the ends
    // it hands on, which clears the flag on them.
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ThrowNotStarted("cannot create a pipe: ", errno);
    }
    pipe.readEnd.Reset(fds[0]);
    pipe.writeEnd.Reset(fds[1]);
    MoveAboveSupervisorFds(pipe.readEnd, "cannot set up a pipe: ");
    MoveAboveSupervisorFds(pipe.writeEnd, "cannot set up a pipe: ");
    if (!nonBlockingRead) {
        return;
    }
    const int flags = ::fcntl(pipe.readEnd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(pipe.readEnd.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
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

// Beside this library, as the loader found it; read when the library is
// loaded, before a host could change the working folder that a library found
// by a relative path depends on.
std::string SupervisorBesideThisLibrary() {
    static const char marker = 0;
    Dl_info info;
    if (::dladdr(&marker, &info) == 0 || info.dli_fname == nullptr) {
        return kSupervisorProgramName;  // refused by the start below: no such file
    }
    const std::string library = info.dli_fname;
    const std::size_t slash = library.rfind('/');
    return (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) + "/" +
           kSupervisorProgramName;
}

const std::string gSupervisorBesideThisLibrary = SupervisorBesideThisLibrary();
std::string gSupervisorProgram;  // set by the host; empty: the one beside

// How long a supervisor may take to end its run before it is killed: a sound
// one ends at once, a wrong program in its place never would.
const std::chrono::seconds kSupervisorGrace(5);

// A posix_spawn setting, released however the start ends.
template <typename T, int (*Destroy)(T*)>
class SpawnSetting {
public:
    explicit SpawnSetting(int (*init)(T*)) {
        if (const int error = init(&value_)) {
            ThrowNotStarted("cannot prepare its supervising program: ", error);
        }
    }
    SpawnSetting(const SpawnSetting&) = delete;
    SpawnSetting& operator=(const SpawnSetting&) = delete;
    ~SpawnSetting() { Destroy(&value_); }
    T* Get() { return &value_; }

private:
    T value_;
};

void RequireSpawnCall(int error) {
    if (error != 0) {
        ThrowNotStarted("cannot prepare its supervising program: ", error);
    }
}

// The run's supervising program (ToolSupervisor.h), started with
// posix_spawn, which unlike a fork copies nothing of the host; closing the
// control pipe makes it end the program and everything the program started,
// after which it exits.
class Supervisor {
public:
    Supervisor(const std::string& program, const std::vector<std::string>& arguments, Pipe& out, Pipe& err)
        : path_(gSupervisorProgram.empty() ? gSupervisorBesideThisLibrary : gSupervisorProgram) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 3);
        argv.push_back(const_cast<char*>(path_.c_str()));
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        FileDescriptor nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        if (!nullInput.IsOpen()) {
            ThrowNotStarted("cannot open the null device: ", errno);
        }
        MoveAboveSupervisorFds(nullInput, "cannot open the null device: ");
        Pipe status;
        Pipe control;
        OpenPipe(status, false);
        OpenPipe(control, false);

        SpawnSetting<posix_spawn_file_actions_t, posix_spawn_file_actions_destroy> actions(
            posix_spawn_file_actions_init);
        const int handedOn[kSupervisorFdCount] = {nullInput.Get(), out.writeEnd.Get(), err.writeEnd.Get(),
                                                  status.writeEnd.Get(), control.readEnd.Get()};
        for (int fd = 0; fd < kSupervisorFdCount; ++fd) {
            RequireSpawnCall(posix_spawn_file_actions_adddup2(actions.Get(), handedOn[fd], fd));
        }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Also what the host opened without close-on-exec.
        RequireSpawnCall(posix_spawn_file_actions_addclosefrom_np(actions.Get(), kSupervisorFdCount));
#endif
        // A process group of its own, out of the terminal's, from its start.
        SpawnSetting<posix_spawnattr_t, posix_spawnattr_destroy> attributes(posix_spawnattr_init);
        RequireSpawnCall(posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETPGROUP));
        RequireSpawnCall(posix_spawnattr_setpgroup(attributes.Get(), 0));
        const int error = ::posix_spawn(&pid_, path_.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
        if (error != 0) {
            pid_ = -1;
            ThrowNotStarted("cannot start its supervising program " + path_ + ": ", error);
        }
        status_.Reset(status.readEnd.Release());
        control_.Reset(control.writeEnd.Release());
    }
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;
    ~Supervisor() { Finish(); }

    int StatusFd() const { return status_.Get(); }
    const std::string& Path() const { return path_; }

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
    // the host ignores SIGCHLD. A supervisor that has not ended it within
    // the grace is killed.
    void Finish() {
        if (pid_ <= 0) {
            return;
        }
        control_.Close();
        const Clock::time_point end = Clock::now() + kSupervisorGrace;
        for (;;) {
            const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd fd{status_.Get(), POLLIN, 0};
            const int ready = remaining > 0 ? ::poll(&fd, 1, static_cast<int>(remaining)) : 0;
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            SupervisorReport ignored;
            if (ready <= 0) {
                ::kill(pid_, SIGKILL);
                break;
            }
            if (!ReadReport(ignored)) {
                break;
            }
        }
        int status;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    std::string path_;
    pid_t pid_ = -1;
    FileDescriptor status_;
    FileDescriptor control_;
};

// What AbortRuns sets: a flag, and a pipe that is readable while it is set,
// which every run polls beside its own pipes.
class StopSignal {
public:
    StopSignal() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            read_ = fds[0];
            write_ = fds[1];
        } else {
            error_ = errno;
        }
    }

    // -1 when the pipe could not be made (Error() says why).
    int ReadFd() const { return read_; }
    int Error() const { return error_; }
    bool IsSet() const { return set_.load(); }

    void Set(bool stop) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stop == set_.load()) {
            return;
        }
        char byte = 0;
        // One byte in an empty pipe, or the byte written before: neither
        // call can fail on a pipe that exists.
        if (stop) {
            set_.store(true);
            (void)!::write(write_, &byte, 1);
        } else {
            (void)!::read(read_, &byte, 1);
            set_.store(false);
        }
    }

private:
    std::mutex mutex_;
    std::atomic<bool> set_{false};
    int read_ = -1;
    int write_ = -1;
    int error_ = 0;
};

// Made once, kept for the life of the process.
StopSignal& TheStopSignal() {
    static StopSignal signal;
    return signal;
}

std::string SignalText(int signal) {
    const char* name = ::strsignal(signal);
    return "killed by signal " + std::to_string(signal) + (name != nullptr ? " (" + std::string(name) + ")" : "");
}

const char* const kKilledSuffix = "; killed with every process it started";

}  // namespace

bool IsAbsoluteProgramPath(const std::string& path) { return !path.empty() && path.front() == '/'; }

void AbortRuns() { TheStopSignal().Set(true); }

void ResumeRuns() { TheStopSignal().Set(false); }

bool RunsAborted() { return TheStopSignal().IsSet(); }

void SetSupervisorProgram(const std::string& path) { gSupervisorProgram = path; }

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessLimits& limits) {
    RequireNoNulBytes(program, arguments);
    if (program.empty()) {
        throw ProcessError(ProcessFailure::kNotStarted, "empty program path");
    }
    RequireRunsAllowed();
    const StopSignal& stop = TheStopSignal();
    if (stop.ReadFd() < 0) {
        ThrowNotStarted("cannot create a pipe: ", stop.Error());
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

        std::array<pollfd, 4> fds{};
        std::array<std::string*, 4> sinks{};
        std::array<FileDescriptor*, 4> sources{};
        fds[0] = {stop.ReadFd(), POLLIN, 0};
        nfds_t count = 1;
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

        if (fds[0].revents != 0) {
            supervisor.Finish();
            throw StoppedRun(kKilledSuffix);
        }
        // One read per stream and round, so that neither stream starves the
        // other and the limits are checked between reads.
        for (nfds_t i = 1; i < count; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (sinks[i] == nullptr) {
                if (!supervisor.ReadReport(report)) {
                    supervisor.Finish();
                    throw ProcessError(ProcessFailure::kCrashed, "its supervising program " + supervisor.Path() +
                                                                     " ended without saying how the program ended");
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
