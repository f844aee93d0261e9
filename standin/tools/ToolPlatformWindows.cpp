#include "ToolPlatform.h"

#include <climits>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <vector>
#include <windows.h>

namespace velkor::tools {

namespace {

std::string ToUtf8(const wchar_t* wide, std::size_t length) {
    if (length == 0 || length > static_cast<std::size_t>(INT_MAX)) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &text[0], size, nullptr, nullptr);
    }
    return text;
}

std::wstring ToWide(const std::string& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::wstring();
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    }
    return wide;
}

}  // namespace

std::string ExecutableFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < path.size()) {
            const std::string executable = ToUtf8(path.data(), length);
            const std::size_t separator = executable.find_last_of("\\/");
            return separator == std::string::npos ? std::string() : executable.substr(0, separator);
        }
        path.resize(path.size() * 2);
    }
}

std::string EnvironmentValue(const std::string& name) {
    const wchar_t* value = _wgetenv(ToWide(name).c_str());
    return value == nullptr ? std::string() : ToUtf8(value, std::wcslen(value));
}

void SetBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

void TerminateAbnormally() {
    // The status of an access violation, without causing one: a real fault
    // may start a debugger under Wine.
    TerminateProcess(GetCurrentProcess(), 0xC0000005);
    std::abort();
}

}  // namespace velkor::tools
