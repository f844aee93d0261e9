// Why a program could not be started, as the operator needs to hear it.
#ifndef SYVCORE_POSIX_STARTFAILURE_H
#define SYVCORE_POSIX_STARTFAILURE_H

#include <string>

namespace syv {
namespace detail {

// The text for execve's error on program. The system's code alone names the
// wrong culprit for a folder ("permission denied") and for a script or
// program whose interpreter or loader is missing ("no such file", though the
// file is there), so the file is looked at again.
std::string StartFailureText(const std::string& program, int error);

}  // namespace detail
}  // namespace syv

#endif
