#include "ChildProcess.h"

#include "TestEnvironment.h"
#include "syvcore/StandinHost.h"

#include <stdexcept>

namespace e2e {

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const EnvironmentOverrides& environment, std::chrono::seconds limit) {
    // The child inherits the test's environment, overrides included.
    testsupport::ScopedEnvironment overrides;
    for (const auto& variable : environment) {
        overrides.Set(variable.first, variable.second);
    }
    ChildResult result;
    try {
        syv::ProgramResult run = syv::StandinHost::RunProgram(program, arguments, static_cast<int>(limit.count()));
        result.exitStatus = run.exitCode;
        result.standardOutput = std::move(run.standardOutput);
        result.standardError = std::move(run.standardError);
    } catch (const NORNSYV20::TSYVException& error) {
        if (error.GetStatusCode().GetCode() != NORNSYV20::TSYVStatusCode::kProgramTimedOut) {
            throw std::runtime_error(error.what());
        }
        result.timedOut = true;
    }
    return result;
}

}  // namespace e2e
