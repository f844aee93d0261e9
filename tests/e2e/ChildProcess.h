// Runs a program as a child process and collects what a person running it
// would see: standard output, standard error and the exit status.
#ifndef VELKOR_TESTS_E2E_CHILDPROCESS_H
#define VELKOR_TESTS_E2E_CHILDPROCESS_H

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct ChildResult {
    int exitStatus = -1;
    bool timedOut = false;  // killed at the limit; exitStatus is then meaningless
    std::string standardOutput;
    std::string standardError;
};

using EnvironmentOverrides = std::vector<std::pair<std::string, std::string>>;

// Runs program (an absolute path) with the arguments and the caller's
// environment plus the overrides, through the host's own process runner.
// Past the limit the child and its children are killed. Throws
// std::runtime_error when the child cannot be started or crashes.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const EnvironmentOverrides& environment, std::chrono::seconds limit);

}  // namespace e2e

#endif
