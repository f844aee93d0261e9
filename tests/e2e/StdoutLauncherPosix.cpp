// Starts a program with its standard output on the named file, with none
// ("closed"), or on a pipe whose reader has gone ("broken-pipe": closed
// before the program starts, so that its first write meets it), standard
// error shared, and exits with its exit status, 128 + N when signal N ended
// it, as a shell reports it.
// Usage: stdout_launcher FILE|closed|broken-pipe PROGRAM [ARGUMENT ...]
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: stdout_launcher FILE|closed|broken-pipe PROGRAM [ARGUMENT ...]\n");
        return 120;
    }
    const std::string target = argv[1];
    int output = -1;
    if (target == "broken-pipe") {
        int ends[2];
        if (pipe(ends) != 0) {
            std::fprintf(stderr, "stdout_launcher: cannot make a pipe: %s\n", std::strerror(errno));
            return 121;
        }
        close(ends[0]);
        output = ends[1];
    } else if (target != "closed") {
        output = open(target.c_str(), O_WRONLY);
        if (output < 0) {
            std::fprintf(stderr, "stdout_launcher: cannot open %s: %s\n", target.c_str(), std::strerror(errno));
            return 121;
        }
    }
    // The program gets the default for SIGPIPE, whatever this one inherited.
    std::signal(SIGPIPE, SIG_DFL);
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "stdout_launcher: cannot fork: %s\n", std::strerror(errno));
        return 122;
    }
    if (child == 0) {
        if (output < 0 ? close(1) != 0 : dup2(output, 1) < 0) _exit(124);
        if (output > 1) close(output);
        execv(argv[2], argv + 2);
        _exit(125);
    }
    if (output >= 0) close(output);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return 123;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
