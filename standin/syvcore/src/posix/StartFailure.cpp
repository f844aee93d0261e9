#include "StartFailure.h"

#include "Descriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace syv {
namespace detail {
namespace {

// The first word of a script's "#!" line, with control characters shown
// as \xNN; empty when the file is not such a script or cannot be read.
std::string ScriptInterpreter(const std::string& program) {
    FileDescriptor file(::open(program.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    char head[256];
    const ssize_t got = file.IsOpen() ? ::read(file.Get(), head, sizeof head) : -1;
    if (got < 2 || head[0] != '#' || head[1] != '!') {
        return std::string();
    }
    ssize_t at = 2;
    while (at < got && (head[at] == ' ' || head[at] == '\t')) {
        ++at;
    }
    std::string name;
    // The system takes the name up to a space, tab or line end, so a CR
    // before the line end (a script saved with CR LF) is part of it.
    for (; at < got && head[at] != ' ' && head[at] != '\t' && head[at] != '\n' && head[at] != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(head[at]);
        if (c < 0x20 || c == 0x7f) {
            static const char digits[] = "0123456789abcdef";
            name += std::string("\\x") + digits[c >> 4] + digits[c & 15];
        } else {
            name += static_cast<char>(c);
        }
    }
    return name;
}

}  // namespace

std::string StartFailureText(const std::string& program, int error) {
    struct stat info;
    switch (error) {
    case EACCES:
        if (::stat(program.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            return "is a folder, not a program";
        }
        if (::access(program.c_str(), X_OK) == 0) {
            const std::string interpreter = ScriptInterpreter(program);
            if (!interpreter.empty()) {
                return "cannot run: its interpreter " + interpreter + " cannot be run (permission denied)";
            }
        }
        return "permission denied";
    case ENOENT: {
        if (::lstat(program.c_str(), &info) != 0) {
            return "no such file";
        }
        if (::stat(program.c_str(), &info) != 0) {
            return "no such file: a symbolic link to a missing file";
        }
        const std::string interpreter = ScriptInterpreter(program);
        return interpreter.empty() ? "cannot run: a file it needs to start (its program loader) is missing"
                                   : "cannot run: its interpreter " + interpreter + " is missing";
    }
    case ENOTDIR:
        return "no such file: a part of its path is not a folder";
    default:
        return ErrnoText(error);
    }
}

}  // namespace detail
}  // namespace syv
