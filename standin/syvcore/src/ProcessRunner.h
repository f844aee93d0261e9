// Running a program as a child process: no shell, no search path, an explicit
// time limit and an explicit output limit, both streams captured whole. The
// platform folders (posix/, windows/) implement it; nothing here depends on
// the rest of the host, so that it can be tested on its own.
#ifndef SYVCORE_PROCESSRUNNER_H
#define SYVCORE_PROCESSRUNNER_H

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace syv {
namespace detail {

struct ProcessLimits {
    // For the whole run: until the program has exited and its output has
    // ended (a process it started may hold the output open). Past it, the
    // program and every process it started are killed.
    std::chrono::milliseconds timeout;
    // Standard output and standard error together. One byte more kills the
    // program and every process it started.
    std::uint64_t maxOutputBytes;
};

struct ProcessResult {
    std::string standardOutput;  // byte for byte
    std::string standardError;   // byte for byte
    int exitCode = 0;            // any value: an exit code is not a failure
};

enum class ProcessFailure {
    kNotStarted,      // bad path or argument, missing or unrunnable program
    kCrashed,         // killed by a signal / terminated with an NTSTATUS error
    kTimedOut,        // the limit passed; killed
    kOutputTooLarge,  // the output limit passed; killed
    kAborted,         // the host is stopping (AbortRuns): killed, or never started
};

// What went wrong, as text that completes "<program>: " (for example
// "no such file", "killed by signal 11 (Segmentation fault)").
class ProcessError : public std::runtime_error {
public:
    ProcessError(ProcessFailure failure, const std::string& cause)
        : std::runtime_error(cause), failure_(failure) {}

    ProcessFailure GetFailure() const { return failure_; }

private:
    ProcessFailure failure_;
};

// Runs `program` (a path used as given: never searched for) with the
// arguments, each of which reaches the program verbatim as one argument.
// Standard input is the null device. Returns when the program has exited and
// its output has ended; throws ProcessError on every failure. Output and
// error are not partial results: a failure discards them.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessLimits& limits);

// Ends every run in progress at once, killed as at its time limit, and fails
// it with kAborted; every later run fails the same way without starting,
// until ResumeRuns. Both may be called from any thread, while another is
// inside RunProcess.
void AbortRuns();
void ResumeRuns();
bool RunsAborted();

// The failure of a run that AbortRuns keeps from starting.
inline void RequireRunsAllowed() {
    if (RunsAborted()) {
        throw ProcessError(ProcessFailure::kAborted, "not started: the host is shutting down");
    }
}

// The failure of a run that AbortRuns ended; `killed` says what was killed.
inline ProcessError StoppedRun(const std::string& killed) {
    return ProcessError(ProcessFailure::kAborted, "stopped: the host is shutting down" + killed);
}

// POSIX: the supervising program that each run starts (posix/ToolSupervisor.h);
// empty (the default) for the one beside syvcore's library. Windows needs none.
void SetSupervisorProgram(const std::string& path);

// Whether the platform takes the path as absolute (see below).
bool IsAbsoluteProgramPath(const std::string& path);

// An absolute path unchanged; any other path as toolsFolder + "/" + path
// (the path itself unchanged). On Windows only a drive path ("C:\", "C:/")
// or a UNC path counts as absolute: "\x" and "C:x" depend on the working
// drive or directory and so are resolved like any relative path. Throws
// ProcessError (kNotStarted) for an empty path, and for a relative path when
// no tools folder is set, rather than resolving against the file system root
// or the working directory.
inline std::string ResolveProgramPath(const std::string& toolsFolder, const std::string& path) {
    if (path.empty()) {
        throw ProcessError(ProcessFailure::kNotStarted, "empty program path");
    }
    if (IsAbsoluteProgramPath(path)) {
        return path;
    }
    if (toolsFolder.empty()) {
        throw ProcessError(ProcessFailure::kNotStarted, "relative path and no tools folder to resolve it against");
    }
    return toolsFolder + "/" + path;
}

// "1 s", "0.25 s": how the failure texts give a time limit.
inline std::string DescribeSeconds(std::chrono::milliseconds duration) {
    const long long ms = duration.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        text += "." + fraction;
    }
    return text + " s";
}

// A NUL byte cannot cross to a program (the platforms end strings there), so
// a path or argument holding one is refused instead of being cut short.
inline void RequireNoNulBytes(const std::string& program, const std::vector<std::string>& arguments) {
    if (program.find('\0') != std::string::npos) {
        throw ProcessError(ProcessFailure::kNotStarted, "the program path contains a NUL byte");
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i].find('\0') != std::string::npos) {
            throw ProcessError(ProcessFailure::kNotStarted,
                               "argument " + std::to_string(i + 1) + " contains a NUL byte");
        }
    }
}

}  // namespace detail
}  // namespace syv

#endif
