// The process runner on Windows: CreateProcessW with an explicit program and
// a command line that parses back into the exact arguments, the child in a
// job object of its own, both output pipes read with overlapped I/O on this
// one thread, the job terminated on timeout, over-long output or when the
// host stops.
#include "ProcessRunner.h"

#include "OutputPipe.h"
#include "Win32Support.h"
#include "syvcore/WindowsCommandLine.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace syv {
namespace detail {
namespace {

using Clock = std::chrono::steady_clock;

const char* const kKilledSuffix = "; killed with its job object";

// Throws ProcessError(kNotStarted) for an argument that is not UTF-8.
std::wstring CommandLine(const std::wstring& program, const std::vector<std::string>& arguments) {
    std::vector<std::wstring> wide;
    wide.reserve(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        wide.push_back(ToWide(arguments[i], "argument " + std::to_string(i + 1)));
    }
    return WindowsCommandLine(program, wide);
}

class AttributeList {
public:
    explicit AttributeList(std::vector<HANDLE>& inherited) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            ThrowNotStarted("cannot prepare the start: ", GetLastError());
        }
        // Only these handles reach the child, even when another thread
        // starts a process with other inheritable handles at the same time.
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                       inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
            const DWORD error = GetLastError();
            DeleteProcThreadAttributeList(list_);
            ThrowNotStarted("cannot prepare the start: ", error);
        }
    }
    AttributeList(const AttributeList&) = delete;
    AttributeList& operator=(const AttributeList&) = delete;
    ~AttributeList() { DeleteProcThreadAttributeList(list_); }

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

Handle CreateKillingJob() {
    Handle job(CreateJobObjectW(nullptr, nullptr));
    if (!job.IsOpen()) {
        ThrowNotStarted("cannot create a job object: ", GetLastError());
    }
    // Should this host end without terminating the job, closing its handle
    // still kills whatever the program left running.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        ThrowNotStarted("cannot set up a job object: ", GetLastError());
    }
    return job;
}

// How the system names the status with which it ended a process, or null
// for a status that the program chose. The system ends a process with the
// code of an exception nothing handled (access violation, stack overflow,
// division by zero and the like), with a fail-fast code, when a DLL cannot
// be found or initialised, and at a console interrupt. Every other value is
// an exit code, -1 (0xFFFFFFFF) and other "negative" ones included: tools
// return those on purpose, so a range such as "0xC0000000 and up" would
// turn answers into crashes. A runtime's abort() exits with 3, which stays
// an exit code: it cannot be told from a tool's own 3.
const char* SystemEndName(DWORD status) {
    switch (status) {
    case 0x80000002: return "misaligned data";
    case 0x80000003: return "breakpoint";
    case 0x80000004: return "single step";
    case 0xC0000005: return "access violation";
    case 0xC0000006: return "in-page error";
    case 0xC000001D: return "illegal instruction";
    case 0xC0000025: return "noncontinuable exception";
    case 0xC0000026: return "invalid exception disposition";
    case 0xC000008C: return "array bounds exceeded";
    case 0xC000008D:
    case 0xC000008E:
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000091:
    case 0xC0000092:
    case 0xC0000093:
    case 0xC00002B4:
    case 0xC00002B5: return "floating-point exception";
    case 0xC0000094: return "integer division by zero";
    case 0xC0000095: return "integer overflow";
    case 0xC0000096: return "privileged instruction";
    case 0xC00000FD: return "stack overflow";
    case 0xC0000135: return "a DLL it needs was not found";
    case 0xC0000138:
    case 0xC0000139: return "an entry point it needs was not found";
    case 0xC000013A: return "ended by Ctrl+C";
    case 0xC0000142: return "a DLL failed to initialise";
    case 0xC0000374: return "heap corruption";
    case 0xC0000409: return "stack buffer overrun or fail-fast";
    case 0xC0000417: return "invalid C runtime parameter";
    case 0xC0000420: return "assertion failure";
    case 0xE06D7363: return "unhandled C++ exception";
    default: return nullptr;
    }
}

// What AbortRuns sets: a flag, and a manual-reset event signalled while it
// is set, which every run waits for beside its process and pipes.
struct StopSignal {
    std::atomic<bool> set{false};
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // kept for the life of the process
    DWORD error = event != nullptr ? 0 : GetLastError();
};

StopSignal& TheStopSignal() {
    static StopSignal signal;
    return signal;
}

}  // namespace

void AbortRuns() {
    StopSignal& stop = TheStopSignal();
    stop.set.store(true);
    SetEvent(stop.event);
}

void ResumeRuns() {
    StopSignal& stop = TheStopSignal();
    ResetEvent(stop.event);
    stop.set.store(false);
}

bool RunsAborted() { return TheStopSignal().set.load(); }

void SetSupervisorProgram(const std::string&) {}

bool IsAbsoluteProgramPath(const std::string& path) {
    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    const bool drivePath = path.size() >= 3 &&
                           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                           path[1] == ':' && isSeparator(path[2]);
    const bool uncPath = path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
    return drivePath || uncPath;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessLimits& limits) {
    RequireNoNulBytes(program, arguments);
    if (program.empty()) {
        throw ProcessError(ProcessFailure::kNotStarted, "empty program path");
    }
    const std::wstring wideProgram = ToWide(program, "the program path");
    if (wideProgram.find(L'"') != std::wstring::npos) {
        throw ProcessError(ProcessFailure::kNotStarted, "the program path contains a quote");
    }
    std::wstring commandLine = CommandLine(wideProgram, arguments);
    RequireRunsAllowed();
    const HANDLE stopEvent = TheStopSignal().event;
    if (stopEvent == nullptr) {
        ThrowNotStarted("cannot create an event: ", TheStopSignal().error);
    }

    ProcessResult result;
    OutputPipe out(result.standardOutput);
    OutputPipe err(result.standardError);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input.IsOpen()) {
        ThrowNotStarted("cannot open the null device: ", GetLastError());
    }
    Handle job = CreateKillingJob();

    std::vector<HANDLE> inherited{input.Get(), out.ClientEnd(), err.ClientEnd()};
    AttributeList attributes(inherited);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.Get();
    startup.StartupInfo.hStdOutput = out.ClientEnd();
    startup.StartupInfo.hStdError = err.ClientEnd();
    startup.lpAttributeList = attributes.Get();

    const Clock::time_point deadline = Clock::now() + limits.timeout;
    PROCESS_INFORMATION info{};
    // The explicit application name: no search path, no shell. Suspended
    // until it is in the job, so that nothing it starts escapes the job.
    if (!CreateProcessW(wideProgram.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                        &startup.StartupInfo, &info)) {
        const DWORD error = GetLastError();
        // The system's code for a folder is "access denied".
        const DWORD attributes = GetFileAttributesW(wideProgram.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            throw ProcessError(ProcessFailure::kNotStarted, "is a folder, not a program");
        }
        ThrowNotStarted("", error);
    }
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    if (!AssignProcessToJobObject(job.Get(), process.Get())) {
        const DWORD error = GetLastError();
        TerminateProcess(process.Get(), 1);
        ThrowNotStarted("cannot put it into a job object: ", error);
    }
    // From here on, leaving by an exception closes the job, which kills it.
    ResumeThread(thread.Get());
    thread.Close();
    input.Close();
    out.CloseClientEnd();
    err.CloseClientEnd();

    const auto kill = [&] {
        TerminateJobObject(job.Get(), 1);
        WaitForSingleObject(process.Get(), 5000);
    };

    out.StartRead();
    err.StartRead();
    bool exited = false;
    std::uint64_t outputBytes = 0;
    for (;;) {
        if (!out.IsOpen() && !err.IsOpen() && exited) {
            break;
        }
        const Clock::duration remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero()) {
            const bool stillRunning = WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
            kill();
            throw ProcessError(ProcessFailure::kTimedOut,
                               (stillRunning ? "still running after " : "output still open (held by a process it "
                                                                        "started) after ") +
                                   DescribeSeconds(limits.timeout) + kKilledSuffix);
        }
        HANDLE waitFor[4] = {stopEvent};
        OutputPipe* pipes[4] = {nullptr, nullptr, nullptr, nullptr};
        DWORD count = 1;
        for (OutputPipe* pipe : {&out, &err}) {
            if (pipe->IsOpen()) {
                pipes[count] = pipe;
                waitFor[count++] = pipe->Event();
            }
        }
        if (!exited) {
            waitFor[count++] = process.Get();
        }
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
        const DWORD signalled = WaitForMultipleObjects(
            count, waitFor, FALSE, static_cast<DWORD>(std::min<long long>(waitMs, INFINITE - 1)));
        if (signalled == WAIT_TIMEOUT) {
            continue;
        }
        if (signalled >= WAIT_OBJECT_0 + count) {
            const DWORD error = GetLastError();
            kill();
            ThrowNotStarted("cannot wait for it: ", error);
        }
        if (signalled == WAIT_OBJECT_0) {
            kill();
            throw StoppedRun(kKilledSuffix);
        }
        OutputPipe* pipe = pipes[signalled - WAIT_OBJECT_0];
        if (pipe == nullptr) {
            exited = true;
            continue;
        }
        outputBytes += pipe->FinishRead();
        if (outputBytes > limits.maxOutputBytes) {
            kill();
            throw ProcessError(ProcessFailure::kOutputTooLarge,
                               "more than " + std::to_string(limits.maxOutputBytes) + " bytes of output" +
                                   kKilledSuffix);
        }
    }

    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.Get(), &exitCode)) {
        ThrowNotStarted("cannot read its exit status: ", GetLastError());
    }
    if (const char* name = SystemEndName(exitCode)) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(exitCode));
        throw ProcessError(ProcessFailure::kCrashed, std::string("exit status ") + text + " (" + name + ")");
    }
    result.exitCode = static_cast<int>(exitCode);
    return result;
}

}  // namespace detail
}  // namespace syv
