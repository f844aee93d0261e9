#include "rawdata/RawLines.h"

#include "plugin/Constants.h"

#include <algorithm>
#include <cstring>

namespace velkor {

namespace {

// By memchr: a loop over every character cost several times as much.
std::size_t Count(const std::string& text, char c) {
    std::size_t count = 0;
    const char* const end = text.data() + text.size();
    for (const char* at = text.data(); at != end; ++at, ++count) {
        at = static_cast<const char*>(std::memchr(at, c, static_cast<std::size_t>(end - at)));
        if (at == nullptr) {
            break;
        }
    }
    return count;
}

}  // namespace

std::vector<std::string> CutRawLines(const std::string& output) {
    // The line end is one character and each line uses it and the one after.
    const char lineEnd = kLineEnd.front();
    std::vector<std::string> lines;
    // Counted first: growing the list line by line moved every line several
    // times and cost more than the count. A line end can swallow another, so
    // the count is a bound, and no more lines than half the characters fit.
    lines.reserve(std::min(Count(output, lineEnd), output.size() / 2 + 1));
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = output.find(lineEnd, start);
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(output.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace velkor
