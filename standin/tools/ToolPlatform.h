// What the simulated tools need from the platform.
#ifndef VELKOR_STANDIN_TOOLS_TOOLPLATFORM_H
#define VELKOR_STANDIN_TOOLS_TOOLPLATFORM_H

#include <string>

namespace velkor::tools {

// Paths and environment values are UTF-8 text here; on Windows the system's
// narrow text would be the ANSI code page, which loses other characters.

// The folder that holds the running executable, without a trailing
// separator; empty when it cannot be found.
std::string ExecutableFolder();

// The value of an environment variable; empty when it is not set.
std::string EnvironmentValue(const std::string& name);

// Standard output passes bytes unchanged (no newline translation).
void SetBinaryStandardOutput();

// Ends the process the way a crashing program ends: by a fatal signal, or on
// Windows with an access-violation status. Does not return.
[[noreturn]] void TerminateAbnormally();

}  // namespace velkor::tools

#endif
