// What the process helper program does in each mode, shared by the helper
// and the tests that drive it, so that both build expected output the same way.
#ifndef VELKOR_TESTS_PROCESS_HELPERPROTOCOL_H
#define VELKOR_TESTS_PROCESS_HELPERPROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace helper {

// Modes (the first argument) and their arguments:
//   exit CODE ARG ...  each ARG on stdout, each followed by a NUL, then exits
//                      with CODE (on Windows read as a 32-bit pattern: -1 is
//                      0xFFFFFFFF, -1073741819 is an access violation)
//   bytes OUT ERR      Pattern(OUT) on stdout and Pattern(ERR) on stderr, interleaved
//   stdin              reads standard input to its end; prints the byte count
//   crash              (POSIX) dies by SIGSEGV
//   sleep MS [closed]  sleeps MS milliseconds, with stdout and stderr closed first if asked
//   tree PIDFILE MS [setsid|setsid-closed]
//                      starts a copy of itself that sleeps a minute holding the
//                      output (in a session of its own if asked, POSIX; there
//                      with its output closed first if asked), writes
//                      "OWNPID CHILDPID" to PIDFILE, sleeps MS ms
//   fd N               (POSIX) "open" if descriptor N is open

// `size` bytes from byte `from` on of a sequence that a text-mode or
// character-set conversion would change: every byte value, CR LF pairs, lone
// CRs and LFs, NULs and Ctrl-Z, spread pseudo-randomly.
inline std::string Pattern(std::size_t size, std::size_t from = 0) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        std::uint32_t x = static_cast<std::uint32_t>(from + i) * 2654435761u;
        x ^= x >> 15;
        x *= 2246822519u;
        x ^= x >> 13;
        text[i] = static_cast<char>(x >> 24);
    }
    return text;
}

}  // namespace helper

#endif
