// Invariant checks of the fuzz targets: a broken invariant is a crash that
// libFuzzer records with its input.
#ifndef VELKOR_FUZZ_FUZZCHECK_H
#define VELKOR_FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)

// As FUZZ_CHECK, also printing a text that explains the failure.
#define FUZZ_CHECK_WHY(condition, why)                                                     \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: invariant broken: %s (%s)\n", __FILE__, __LINE__, #condition, \
                         std::string(why).c_str());                                        \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)

namespace velkor::fuzz {

inline std::size_t CountOccurrences(const std::string& text, const std::string& marker) {
    std::size_t count = 0;
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + marker.size())) {
        ++count;
    }
    return count;
}

inline bool EndsWith(const std::string& text, const std::string& suffix) {
    return suffix.size() <= text.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A value is either the uncleaned rest of its text (no line end followed the
// ":") or one line's cleaned text: no line end, no leading space, and for
// Fibre Channel no trailing space.
inline bool IsRestOrCleaned(const std::string& value, const std::string& text, bool trailingSpacesGone) {
    if (EndsWith(text, value)) {
        return true;
    }
    return value.find('\r') == std::string::npos && value.find('\n') == std::string::npos &&
           (value.empty() || (value.front() != ' ' && (!trailingSpacesGone || value.back() != ' ')));
}

// The lines are the texts between consecutive line ends ("\r" and the one
// character after it) from the start of the output, and no line end is left
// after the last one.
inline bool AreLinesOf(const std::vector<std::string>& lines, const std::string& output) {
    std::size_t at = 0;
    for (const std::string& line : lines) {
        if (line.find('\r') != std::string::npos || output.compare(at, line.size(), line) != 0 ||
            at + line.size() >= output.size() || output[at + line.size()] != '\r') {
            return false;
        }
        at += line.size() + 2;
    }
    return at >= output.size() || output.find('\r', at) == std::string::npos;
}

}  // namespace velkor::fuzz

#endif
