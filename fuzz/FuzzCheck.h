// Invariant checks of the fuzz targets: a broken invariant is a crash that
// libFuzzer records with its input.
#ifndef VELKOR_FUZZ_FUZZCHECK_H
#define VELKOR_FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
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

}  // namespace velkor::fuzz

#endif
