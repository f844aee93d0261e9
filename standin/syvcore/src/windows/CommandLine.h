// The command line of a program run on Windows.
#ifndef SYVCORE_WINDOWS_COMMANDLINE_H
#define SYVCORE_WINDOWS_COMMANDLINE_H

#include <string>
#include <vector>

namespace syv {
namespace detail {

// The quoted program, then each argument quoted so that both
// CommandLineToArgvW and the C runtime's parser give it back verbatim.
// Throws ProcessError(kNotStarted) for an argument that is not UTF-8.
std::wstring CommandLine(const std::wstring& program, const std::vector<std::string>& arguments);

}  // namespace detail
}  // namespace syv

#endif
