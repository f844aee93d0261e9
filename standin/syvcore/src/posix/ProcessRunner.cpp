// The process runner on POSIX systems: a supervising program
// (ToolSupervisor.h) starts the program and ends everything it started when
// the run ends; here both output pipes and the supervisor's report are read
// with poll, and the run is ended at the time or output limit or when the
// host stops.
#include "ProcessRunner.h"

#include "Descriptors.h"
#include "StartFailure.h"
#include "Supervisor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <mutex>

namespace syv {
namespace detail {
namespace {

using Clock = std::chrono::steady_clock;

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
