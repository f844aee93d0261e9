// One run's supervising program (ToolSupervisor.h), seen from the host.
#ifndef SYVCORE_POSIX_SUPERVISOR_H
#define SYVCORE_POSIX_SUPERVISOR_H

#include "Descriptors.h"
#include "ToolSupervisor.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace syv {
namespace detail {

// Started with posix_spawn, which unlike a fork copies nothing of the host,
// with the program's standard output and error on the write ends of out and
// err; closing the control pipe makes it end the program and everything the
// program started, after which it exits. The program to start is the one
// SetSupervisorProgram named, or else the one beside syvcore's library.
class Supervisor {
public:
    Supervisor(const std::string& program, const std::vector<std::string>& arguments, Pipe& out, Pipe& err);
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;
    ~Supervisor() { Finish(); }

    int StatusFd() const { return status_.Get(); }
    const std::string& Path() const { return path_; }

    // False when the supervisor ended without a report.
    bool ReadReport(SupervisorReport& report);

    // Ends the run and returns once the supervisor has killed and reaped
    // what was left and exited: its status pipe ends then, whether or not
    // the host ignores SIGCHLD. A supervisor that has not ended it within a
    // short grace is killed.
    void Finish();

private:
    std::string path_;
    pid_t pid_ = -1;
    FileDescriptor status_;
    FileDescriptor control_;
};

}  // namespace detail
}  // namespace syv

#endif
