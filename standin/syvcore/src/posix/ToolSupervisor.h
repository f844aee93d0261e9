// The supervising program of one program run on POSIX systems
// (syvtoolsupervisor, built beside syvcore): what syvcore and it agree on.
//
// syvcore starts it with posix_spawn, which copies nothing of the host, with
// the program's path and arguments as its own arguments and these
// descriptors in place; nothing else of the host stays open. It starts the
// program in a process group of its own, reports how the program ended, and
// when the host closes the control pipe (or the host is gone) ends the
// program and every process it started, reaps them and exits.
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

// The supervisor's descriptors: 0 to 2 are the program's standard streams
// (the null device, the output pipe, the error pipe).
const int kSupervisorStatusFd = 3;   // where the report goes
const int kSupervisorControlFd = 4;  // readable (end of file or a byte): end the run
const int kSupervisorFdCount = 5;

// The program's name beside syvcore's library.
const char* const kSupervisorProgramName = "syvtoolsupervisor";

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

}  // namespace detail
}  // namespace syv

#endif
