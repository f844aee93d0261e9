// The descriptors and pipes of one program run on POSIX systems, and how
// their failures read.
#ifndef SYVCORE_POSIX_DESCRIPTORS_H
#define SYVCORE_POSIX_DESCRIPTORS_H

#include <unistd.h>

#include <string>

namespace syv {
namespace detail {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    void Close() {
        if (fd_ >= 0) {
            // Not retried on EINTR: on Linux the descriptor is gone either way.
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

// A system error code as the operator reads it.
std::string ErrnoText(int error);

// Throws ProcessError(kNotStarted) with what, then the error's text.
[[noreturn]] void ThrowNotStarted(const std::string& what, int error);

// Moves fd above the supervisor's fixed numbers (ToolSupervisor.h), so that
// no dup2 of its start overwrites a descriptor that a later one hands on (a
// host started with a standard stream closed gets low numbers for its pipes).
void MoveAboveSupervisorFds(FileDescriptor& fd, const char* what);

// Both ends close-on-exec and above the supervisor's numbers; the read end
// non-blocking unless told otherwise.
void OpenPipe(Pipe& pipe, bool nonBlockingRead = true);

}  // namespace detail
}  // namespace syv

#endif
