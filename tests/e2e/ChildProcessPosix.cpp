#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Applies the overrides for the life of the object: the child inherits them.
class ScopedOverrides {
public:
    explicit ScopedOverrides(const EnvironmentOverrides& overrides) {
        for (const auto& entry : overrides) {
            const char* old = std::getenv(entry.first.c_str());
            saved_.push_back({entry.first, old != nullptr, old != nullptr ? old : ""});
            setenv(entry.first.c_str(), entry.second.c_str(), 1);
        }
    }
    ~ScopedOverrides() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->existed) {
                setenv(it->name.c_str(), it->value.c_str(), 1);
            } else {
                unsetenv(it->name.c_str());
            }
        }
    }
    ScopedOverrides(const ScopedOverrides&) = delete;
    ScopedOverrides& operator=(const ScopedOverrides&) = delete;

private:
    struct Saved {
        std::string name;
        bool existed;
        std::string value;
    };
    std::vector<Saved> saved_;
};

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const EnvironmentOverrides& environment, const std::string& scratchFolder,
                     std::chrono::seconds limit) {
    const std::string outPath = scratchFolder + "/child.stdout";
    const std::string errPath = scratchFolder + "/child.stderr";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // Its own process group, so that a child killed at the limit takes the
    // tools it started with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argvStrings) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    int error = 0;
    {
        const ScopedOverrides overrides(environment);
        error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
    }

    ChildResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            throw std::runtime_error("cannot wait for " + program + ": " + std::strerror(errno));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!result.timedOut) {
        result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    result.standardOutput = ReadWhole(outPath);
    result.standardError = ReadWhole(errPath);
    return result;
}

}  // namespace e2e
