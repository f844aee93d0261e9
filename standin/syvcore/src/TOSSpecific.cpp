// The host's process service: the host's policy (where tools live, how long
// and how much they may run and print, what is logged and recorded) around
// the platform's process runner.
#include "host/TOSSpecific.h"

#include "HostState.h"
#include "ProcessRunner.h"
#include "host/ILogger.h"
#include "host/TRootObject.h"
#include "host/TSYVException.h"
#include "host/TSYVStatusCode.h"
#include "syvcore/StandinHost.h"

#include <chrono>
#include <exception>
#include <string>
#include <utility>

namespace NORNSYV20 {
namespace {

// What a plug-in gets when it asks for no positive timeout: the time it is
// expected to ask for. Running without any limit would let one hung tool
// hang the host.
const int kDefaultTimeoutSeconds = 300;

int EffectiveTimeoutSeconds(int requested) {
    int seconds = requested > 0 ? requested : kDefaultTimeoutSeconds;
    const int cap = syv::detail::GetMaxToolSeconds();
    if (cap > 0 && seconds > cap) {
        seconds = cap;
    }
    return seconds;
}

std::uint32_t StatusOf(syv::detail::ProcessFailure failure) {
    switch (failure) {
    case syv::detail::ProcessFailure::kNotStarted:
        return TSYVStatusCode::kProgramNotStarted;
    case syv::detail::ProcessFailure::kCrashed:
        return TSYVStatusCode::kProgramCrashed;
    case syv::detail::ProcessFailure::kTimedOut:
        return TSYVStatusCode::kProgramTimedOut;
    case syv::detail::ProcessFailure::kOutputTooLarge:
        return TSYVStatusCode::kProgramOutputTooLarge;
    case syv::detail::ProcessFailure::kAborted:
        return TSYVStatusCode::kFailed;
    }
    return TSYVStatusCode::kFailed;
}

// A NUL byte written as "\0": the exception's text is read as a C string,
// which would end at the byte and lose the cause that follows.
std::string Printable(const std::string& path) {
    std::string text;
    for (const char c : path) {
        if (c == '\0') {
            text += "\\0";
        } else {
            text += c;
        }
    }
    return text;
}

// "qlogic//scli.exe (/tools/qlogic//scli.exe)", or the path alone when it
// was used as given.
std::string NameProgram(const std::string& path, const std::string& resolved) {
    return resolved.empty() || resolved == path ? Printable(path)
                                                : Printable(path) + " (" + Printable(resolved) + ")";
}

TSYVException HostError(const std::string& path, const std::string& resolved,
                        const syv::detail::ProcessError& error) {
    return TSYVException(TSYVStatusCode(StatusOf(error.GetFailure())),
                         NameProgram(path, resolved) + ": " + error.what());
}

// Runs the program with the host's output cap, turning every failure into
// the host's exception naming the program.
syv::detail::ProcessResult RunChecked(const std::string& path, const std::string& toolsFolder,
                                      const std::vector<std::string>& arguments, int timeoutSeconds,
                                      std::string& resolved) {
    try {
        resolved = syv::detail::ResolveProgramPath(toolsFolder, path);
        const syv::detail::ProcessLimits limits{std::chrono::seconds(timeoutSeconds),
                                                syv::detail::GetMaxOutputBytes()};
        return syv::detail::RunProcess(resolved, arguments, limits);
    } catch (const TSYVException&) {
        throw;
    } catch (const syv::detail::ProcessError& error) {
        throw HostError(path, resolved, error);
    } catch (const std::exception& error) {
        // Out of memory, say: still the host's one exception type.
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kFailed), NameProgram(path, resolved) + ": " + error.what());
    }
}

// The in-process tool's output, held to the same cap as a program's; like
// a program, it is not run once the host is stopping.
std::string RunInProcess(const syv::InProcessTool& tool, const std::string& path,
                         const std::vector<std::string>& arguments) {
    try {
        syv::detail::RequireRunsAllowed();
    } catch (const syv::detail::ProcessError& error) {
        throw HostError(path, std::string(), error);
    }
    std::string output = tool(path, arguments);
    if (output.size() > syv::detail::GetMaxOutputBytes()) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kProgramOutputTooLarge),
                            Printable(path) + ": more than " + std::to_string(syv::detail::GetMaxOutputBytes()) +
                                " bytes of output");
    }
    return output;
}

// The output of the run; its exit status goes into the record. An in-process
// tool that answers exits with 0.
std::string Run(syv::ToolRun& run) {
    if (const syv::InProcessTool& tool = syv::detail::GetInProcessTool()) {
        std::string output = RunInProcess(tool, run.command, run.arguments);
        run.exitCode = 0;
        return output;
    }
    std::string resolved;
    syv::detail::ProcessResult result = RunChecked(run.command, syv::StandinHost::GetToolsFolder(), run.arguments,
                                                   EffectiveTimeoutSeconds(run.timeout), resolved);
    run.exitCode = result.exitCode;
    ILogger* logger = TRootObject::GetCoreLogger();
    if (logger && !result.standardError.empty()) {
        logger->Log(2, NameProgram(run.command, resolved) + " wrote to standard error: " + result.standardError);
    }
    if (logger && result.exitCode != 0) {
        logger->Log(2, NameProgram(run.command, resolved) + " exited with status " + std::to_string(result.exitCode));
    }
    return std::move(result.standardOutput);
}

}  // namespace

std::string TOSSpecific::SpawnProcess(std::string path, std::vector<std::string> arguments, int timeoutSeconds) {
    syv::ToolRun run;
    run.command = path;
    run.arguments = arguments;
    run.timeout = timeoutSeconds;
    try {
        std::string output = Run(run);
        run.outcome = "ok";
        syv::detail::RecordToolRun(run);
        return output;
    } catch (const std::exception& error) {
        run.outcome = std::string("failed: ") + error.what();
        syv::detail::RecordToolRun(run);
        throw;
    }
}

}  // namespace NORNSYV20

namespace syv {

void StandinHost::AbortToolRuns() { detail::AbortRuns(); }

void StandinHost::ResumeToolRuns() { detail::ResumeRuns(); }

void StandinHost::SetToolSupervisor(const std::string& path) { detail::SetSupervisorProgram(path); }

ProgramResult StandinHost::RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                                      int timeoutSeconds) {
    std::string resolved;
    syv::detail::ProcessResult result =
        NORNSYV20::RunChecked(path, std::string(), arguments, timeoutSeconds, resolved);
    return ProgramResult{std::move(result.standardOutput), std::move(result.standardError), result.exitCode};
}

}  // namespace syv
