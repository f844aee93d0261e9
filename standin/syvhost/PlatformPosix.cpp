#include "Platform.h"

#include <fcntl.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace syv {

const char* const kExecutableSuffix = "";
const char* const kPluginFileName = "velkor_collector.so";
const bool kFailedAttachFailsLoad = false;
const bool kHasServices = false;

// The programs syvhost starts get the default back (the tool supervisor
// resets it).
void IgnoreBrokenPipeSignal() { std::signal(SIGPIPE, SIG_IGN); }

void UseBinaryStandardOutput() {}

bool StandardOutputIsOpen() { return fcntl(1, F_GETFD) != -1; }

void SetEnvironment(const std::string& name, const std::string& value) {
    if (setenv(name.c_str(), value.c_str(), 1) != 0) {
        throw std::runtime_error("cannot set the environment variable " + name);
    }
}

void UnsetEnvironment(const std::string& name) {
    if (unsetenv(name.c_str()) != 0) {
        throw std::runtime_error("cannot remove the environment variable " + name);
    }
}

}  // namespace syv
