#include "Descriptors.h"

#include "ProcessRunner.h"
#include "ToolSupervisor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace syv {
namespace detail {

std::string ErrnoText(int error) {
    switch (error) {
    case ENOENT:
        return "no such file";
    case EACCES:
        return "permission denied";
    case ENOEXEC:
        return "not an executable format";
    default:
        return std::strerror(error);
    }
}

void ThrowNotStarted(const std::string& what, int error) {
    throw ProcessError(ProcessFailure::kNotStarted, what + ErrnoText(error));
}

void MoveAboveSupervisorFds(FileDescriptor& fd, const char* what) {
    if (fd.Get() >= kSupervisorFdCount) {
        return;
    }
    const int moved = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, kSupervisorFdCount);
    if (moved < 0) {
        ThrowNotStarted(what, errno);
    }
    fd.Reset(moved);
}

void OpenPipe(Pipe& pipe, bool nonBlockingRead) {
    int fds[2];
    // Close-on-exec, so that no program that another thread starts inherits
    // an end and holds the pipe open; a supervisor's start places the ends
    // it hands on, which clears the flag on them.
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ThrowNotStarted("cannot create a pipe: ", errno);
    }
    pipe.readEnd.Reset(fds[0]);
    pipe.writeEnd.Reset(fds[1]);
    MoveAboveSupervisorFds(pipe.readEnd, "cannot set up a pipe: ");
    MoveAboveSupervisorFds(pipe.writeEnd, "cannot set up a pipe: ");
    if (!nonBlockingRead) {
        return;
    }
    const int flags = ::fcntl(pipe.readEnd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(pipe.readEnd.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        ThrowNotStarted("cannot set up a pipe: ", errno);
    }
}

}  // namespace detail
}  // namespace syv
