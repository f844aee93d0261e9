// The supervising process of one program run on POSIX systems. The host
// forks it; it starts the program in a process group of its own, reports how
// the program ended, and when the host closes the control pipe (or the host
// is gone) ends the program and every process it started, and reaps them.
//
// Being a separate process, it keeps what the run needs away from the host's
// process-wide state: it waits for the program with its own SIGCHLD
// disposition, whatever the host's (a host that ignores SIGCHLD has its
// children's statuses discarded), and on Linux it is a child subreaper, so
// that a process that left the program's group or session is adopted by it
// and found when it sweeps, instead of escaping to init.
#ifndef SYVCORE_POSIX_TOOLSUPERVISOR_H
#define SYVCORE_POSIX_TOOLSUPERVISOR_H

namespace syv {
namespace detail {

// Sent once on the status pipe, in one write.
struct SupervisorReport {
    enum Kind : int {
        kExited = 1,     // value: the exit code
        kKilled = 2,     // value: the signal
        kExecFailed = 3, // value: the errno of execve
        kSetupFailed = 4 // value: the errno of what failed before the program ran
    };
    int kind;
    int value;
};

// Prepared before the fork: in the child of a possibly multi-threaded host
// only async-signal-safe calls are made, so nothing is allocated there.
struct SupervisorPlan {
    const char* program;
    char* const* argv;
    char* const* envp;
    int nullInput;    // the program's standard input
    int outputWrite;  // the program's standard output
    int errorWrite;   // the program's standard error
    int statusWrite;  // where the report goes
    int controlRead;  // readable (end of file or a byte): end the run
};

// Runs in the forked child and never returns.
[[noreturn]] void RunSupervisor(const SupervisorPlan& plan);

}  // namespace detail
}  // namespace syv

#endif
