// The host's process service, which runs the vendor tools.
#ifndef NORNSYV20_TOSSPECIFIC_H
#define NORNSYV20_TOSSPECIFIC_H

#include "SyvExport.h"

#include <string>
#include <vector>

namespace NORNSYV20 {

class SYV_API TOSSpecific {
public:
    // Runs a program without a shell and returns its whole standard output.
    // A relative path is resolved against the host's tools folder; standard
    // input is the null device; standard error goes to the core logger. The
    // timeout is in seconds (the host may cap it). Throws TSYVException when
    // the program cannot be started, terminates abnormally, outlives the
    // timeout or prints more than the host accepts; any exit code returns the
    // output.
    static std::string SpawnProcess(std::string path, std::vector<std::string> arguments, int timeoutSeconds);
};

}  // namespace NORNSYV20

#endif
