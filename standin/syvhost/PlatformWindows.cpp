#include "Platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace syv {

const char* const kExecutableSuffix = ".exe";
const char* const kPluginFileName = "velkor_collector.dll";
const bool kFailedAttachFailsLoad = true;
const bool kHasServices = true;

// Windows has no such signal: the write fails by itself.
void IgnoreBrokenPipeSignal() {}

void UseBinaryStandardOutput() {
    if (_setmode(_fileno(stdout), _O_BINARY) == -1) {
        throw std::runtime_error("cannot put standard output in binary mode");
    }
}

bool StandardOutputIsOpen() {
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void SetEnvironment(const std::string& name, const std::string& value) {
    if (_putenv_s(name.c_str(), value.c_str()) != 0) {
        throw std::runtime_error("cannot set the environment variable " + name);
    }
}

// An empty value removes the variable.
void UnsetEnvironment(const std::string& name) {
    if (_putenv_s(name.c_str(), "") != 0) {
        throw std::runtime_error("cannot remove the environment variable " + name);
    }
}

}  // namespace syv
