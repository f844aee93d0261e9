#include "Supervisor.h"

#include "ProcessRunner.h"

#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace syv {
namespace detail {
namespace {

using Clock = std::chrono::steady_clock;

// Beside this library, as the loader found it; read when the library is
// loaded, before a host could change the working folder that a library found
// by a relative path depends on.
std::string SupervisorBesideThisLibrary() {
    static const char marker = 0;
    Dl_info info;
    if (::dladdr(&marker, &info) == 0 || info.dli_fname == nullptr) {
        return kSupervisorProgramName;  // refused by the start: no such file
    }
    const std::string library = info.dli_fname;
    const std::size_t slash = library.rfind('/');
    return (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) + "/" +
           kSupervisorProgramName;
}

const std::string gSupervisorBesideThisLibrary = SupervisorBesideThisLibrary();
std::string gSupervisorProgram;  // set by the host; empty: the one beside

// How long a supervisor may take to end its run before it is killed: a sound
// one ends at once, a wrong program in its place never would.
const std::chrono::seconds kSupervisorGrace(5);

// A posix_spawn setting, released however the start ends.
template <typename T, int (*Destroy)(T*)>
class SpawnSetting {
public:
    explicit SpawnSetting(int (*init)(T*)) {
        if (const int error = init(&value_)) {
            ThrowNotStarted("cannot prepare its supervising program: ", error);
        }
    }
    SpawnSetting(const SpawnSetting&) = delete;
    SpawnSetting& operator=(const SpawnSetting&) = delete;
    ~SpawnSetting() { Destroy(&value_); }
    T* Get() { return &value_; }

private:
    T value_;
};

void RequireSpawnCall(int error) {
    if (error != 0) {
        ThrowNotStarted("cannot prepare its supervising program: ", error);
    }
}

}  // namespace

void SetSupervisorProgram(const std::string& path) { gSupervisorProgram = path; }

Supervisor::Supervisor(const std::string& program, const std::vector<std::string>& arguments, Pipe& out, Pipe& err)
    : path_(gSupervisorProgram.empty() ? gSupervisorBesideThisLibrary : gSupervisorProgram) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 3);
    argv.push_back(const_cast<char*>(path_.c_str()));
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    FileDescriptor nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!nullInput.IsOpen()) {
        ThrowNotStarted("cannot open the null device: ", errno);
    }
    MoveAboveSupervisorFds(nullInput, "cannot open the null device: ");
    Pipe status;
    Pipe control;
    OpenPipe(status, false);
    OpenPipe(control, false);

    SpawnSetting<posix_spawn_file_actions_t, posix_spawn_file_actions_destroy> actions(
        posix_spawn_file_actions_init);
    const int handedOn[kSupervisorFdCount] = {nullInput.Get(), out.writeEnd.Get(), err.writeEnd.Get(),
                                              status.writeEnd.Get(), control.readEnd.Get()};
    for (int fd = 0; fd < kSupervisorFdCount; ++fd) {
        RequireSpawnCall(posix_spawn_file_actions_adddup2(actions.Get(), handedOn[fd], fd));
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Also what the host opened without close-on-exec.
    RequireSpawnCall(posix_spawn_file_actions_addclosefrom_np(actions.Get(), kSupervisorFdCount));
#endif
    // A process group of its own, out of the terminal's, from its start.
    SpawnSetting<posix_spawnattr_t, posix_spawnattr_destroy> attributes(posix_spawnattr_init);
    RequireSpawnCall(posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETPGROUP));
    RequireSpawnCall(posix_spawnattr_setpgroup(attributes.Get(), 0));
    const int error = ::posix_spawn(&pid_, path_.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
    if (error != 0) {
        pid_ = -1;
        ThrowNotStarted("cannot start its supervising program " + path_ + ": ", error);
    }
    status_.Reset(status.readEnd.Release());
    control_.Reset(control.writeEnd.Release());
}

bool Supervisor::ReadReport(SupervisorReport& report) {
    ssize_t got;
    do {
        got = ::read(status_.Get(), &report, sizeof report);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof report);
}

void Supervisor::Finish() {
    if (pid_ <= 0) {
        return;
    }
    control_.Close();
    const Clock::time_point end = Clock::now() + kSupervisorGrace;
    for (;;) {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd fd{status_.Get(), POLLIN, 0};
        const int ready = remaining > 0 ? ::poll(&fd, 1, static_cast<int>(remaining)) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        SupervisorReport ignored;
        if (ready <= 0) {
            ::kill(pid_, SIGKILL);
            break;
        }
        if (!ReadReport(ignored)) {
            break;
        }
    }
    int status;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace detail
}  // namespace syv
