#include "wbem/Credentials.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace syv {
namespace wbem {

namespace {

std::runtime_error FileError(const std::string& file, const std::string& reason) {
    return std::runtime_error("--credentials " + file + ": " + reason);
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// Refuses what is no regular file or what others than the owner may read or
// write.
void CheckStatus(const std::string& file, const struct stat& status) {
    if (S_ISDIR(status.st_mode)) throw FileError(file, "is a folder, not a file");
    if (!S_ISREG(status.st_mode)) throw FileError(file, "is not a regular file");
    if (status.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) {
        throw FileError(file, "may be read or written by others than its owner (chmod 600 " + file + ")");
    }
}

struct Descriptor {
    int fd;
    ~Descriptor() { ::close(fd); }
};

}  // namespace

std::string ReadPrivateFile(const std::string& file) {
    // Checked before opening, so that a FIFO or a device is never opened.
    struct stat before;
    if (::stat(file.c_str(), &before) != 0) throw FileError(file, "cannot read it: " + ErrnoText(errno));
    CheckStatus(file, before);
    // Non-blocking, and checked again: the path may have changed since.
    const Descriptor in{::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (in.fd < 0) throw FileError(file, "cannot read it: " + ErrnoText(errno));
    struct stat opened;
    if (::fstat(in.fd, &opened) != 0) throw FileError(file, "cannot read it: " + ErrnoText(errno));
    CheckStatus(file, opened);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(file, "cannot read it: " + ErrnoText(errno));
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

}  // namespace wbem
}  // namespace syv
