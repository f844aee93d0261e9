#include "rawdata/RawLines.h"

#include "plugin/Constants.h"

namespace velkor {

std::vector<std::string> CutRawLines(const std::string& output) {
    // The line end is one character and each line uses it and the one after.
    const char lineEnd = kLineEnd.front();
    std::vector<std::string> lines;
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
