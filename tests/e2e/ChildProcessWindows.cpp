#include "ChildProcess.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One argument quoted so that the child's command-line parser gives it back
// unchanged: backslashes are literal except before a quote.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

HANDLE OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof security;
    security.bInheritHandle = TRUE;
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Applies the overrides for the life of the object: the child inherits them.
class ScopedOverrides {
public:
    explicit ScopedOverrides(const EnvironmentOverrides& overrides) {
        for (const auto& entry : overrides) {
            const std::wstring name = Widen(entry.first);
            Saved saved{name, false, std::wstring()};
            const DWORD length = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
            if (length > 0) {
                std::wstring value(length, L'\0');
                const DWORD copied = GetEnvironmentVariableW(name.c_str(), &value[0], length);
                value.resize(copied);
                saved.existed = true;
                saved.value = value;
            }
            saved_.push_back(saved);
            SetEnvironmentVariableW(name.c_str(), Widen(entry.second).c_str());
        }
    }
    ~ScopedOverrides() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            SetEnvironmentVariableW(it->name.c_str(), it->existed ? it->value.c_str() : nullptr);
        }
    }
    ScopedOverrides(const ScopedOverrides&) = delete;
    ScopedOverrides& operator=(const ScopedOverrides&) = delete;

private:
    struct Saved {
        std::wstring name;
        bool existed;
        std::wstring value;
    };
    std::vector<Saved> saved_;
};

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const EnvironmentOverrides& environment, const std::string& scratchFolder,
                     std::chrono::seconds limit) {
    const std::string outPath = scratchFolder + "/child.stdout";
    const std::string errPath = scratchFolder + "/child.stderr";
    ChildResult result;
    {
        Handle input(OpenInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING));
        Handle output(OpenInheritable(Widen(outPath), GENERIC_WRITE, CREATE_ALWAYS));
        Handle error(OpenInheritable(Widen(errPath), GENERIC_WRITE, CREATE_ALWAYS));
        if (!input.Valid() || !output.Valid() || !error.Valid()) {
            throw std::runtime_error("cannot open the child's standard streams in " + scratchFolder);
        }

        std::wstring commandLine = QuoteArgument(Widen(program));
        for (const std::string& argument : arguments) {
            commandLine += L" " + QuoteArgument(Widen(argument));
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.Get();
        startup.hStdOutput = output.Get();
        startup.hStdError = error.Get();
        PROCESS_INFORMATION process{};
        BOOL started = FALSE;
        {
            const ScopedOverrides overrides(environment);
            started = CreateProcessW(Widen(program).c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                     nullptr, &startup, &process);
        }
        if (!started) {
            throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
        }
        const Handle processHandle(process.hProcess);
        const Handle threadHandle(process.hThread);

        const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit.count() * 1000));
        if (waited != WAIT_OBJECT_0) {
            result.timedOut = true;
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
        } else {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result.exitStatus = static_cast<int>(code);
        }
    }
    result.standardOutput = ReadWhole(outPath);
    result.standardError = ReadWhole(errPath);
    return result;
}

}  // namespace e2e
