#include "ToolPlatform.h"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <vector>
#include <windows.h>

namespace velkor::tools {

std::string ExecutableFolder() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < path.size()) {
            const std::string executable(path.data(), length);
            const std::size_t separator = executable.find_last_of("\\/");
            return separator == std::string::npos ? std::string() : executable.substr(0, separator);
        }
        path.resize(path.size() * 2);
    }
}

void SetBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

void TerminateAbnormally() {
    // The status of an access violation, without causing one: a real fault
    // may start a debugger under Wine.
    TerminateProcess(GetCurrentProcess(), 0xC0000005);
    std::abort();
}

}  // namespace velkor::tools
