#include "ToolPlatform.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace velkor::tools {

std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) {
        return std::string();
    }
    const std::string executable(path, static_cast<std::size_t>(length));
    const std::size_t slash = executable.rfind('/');
    return slash == std::string::npos ? std::string() : executable.substr(0, slash);
}

std::string EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? std::string() : std::string(value);
}

void SetBinaryStandardOutput() {}

void TerminateAbnormally() {
    // The default action, not a sanitizer's handler that would report and
    // exit normally; and no core file for a planned crash.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    std::raise(SIGKILL);
    std::abort();
}

}  // namespace velkor::tools
