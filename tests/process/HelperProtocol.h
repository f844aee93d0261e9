// What the process helper program does in each mode, shared by the helper
// and the tests that drive it, so that both build expected output the same way.
#ifndef VELKOR_TESTS_PROCESS_HELPERPROTOCOL_H
#define VELKOR_TESTS_PROCESS_HELPERPROTOCOL_H

#include <cstddef>
#include <string>

namespace helper {

// Modes (the first argument) and their arguments:
//   args ...               each further argument on stdout, each followed by a NUL
//   blob                   kBlob on stdout
//   bytes OUT ERR          OUT pattern bytes on stdout, ERR on stderr, interleaved
//   stderr TEXT            "out" on stdout, TEXT on stderr
//   exit CODE              kExitOutput on stdout, then exit with CODE
//   crash                  "half" on stdout, then dies by a signal (POSIX) or
//                          terminates with STATUS_ACCESS_VIOLATION (Windows)
//   stdin                  reads standard input to its end; prints the byte count
//   tree PIDFILE MS        starts a copy of itself that sleeps a minute holding
//                          the output, writes "OWNPID CHILDPID" to PIDFILE,
//                          then sleeps MS milliseconds and exits 0
//   quiet-sleep MS         closes stdout and stderr, then sleeps MS milliseconds
//   flood out|err          writes to that stream until killed
//   sleep MS               sleeps MS milliseconds (the tree's child)
//   fds                    (POSIX) the inherited descriptors above 2, space-separated
const char* const kArgs = "args";
const char* const kBlob = "blob";
const char* const kBytes = "bytes";
const char* const kStderr = "stderr";
const char* const kExit = "exit";
const char* const kCrash = "crash";
const char* const kStdin = "stdin";
const char* const kTree = "tree";
const char* const kQuietSleep = "quiet-sleep";
const char* const kFlood = "flood";
const char* const kSleep = "sleep";
const char* const kDescriptors = "fds";

const char* const kExitOutput = "output before the exit\r\n";

// NUL bytes, CR LF, a lone CR, a lone LF, bytes above 0x7F, Ctrl-Z.
inline std::string Blob() {
    static const char bytes[] = "A\0B\r\nC\rD\n\0\0\xff\xfe\x1a" "E\r\n";
    return std::string(bytes, sizeof bytes - 1);
}

inline char PatternByte(std::size_t index) {
    return static_cast<char>((index * 31 + index / 256) & 0xff);
}

inline std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = PatternByte(i);
    }
    return text;
}

}  // namespace helper

#endif
