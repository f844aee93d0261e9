#include "rawdata/RawLines.h"

#include "plugin/Constants.h"

namespace velkor {

std::vector<std::string> CutRawLines(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = output.find(kLineEnd, start);
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(output.substr(start, end - start));
        start = end + kLineEnd.size() + 1;  // the line end and the character after it
    }
    return lines;
}

}  // namespace velkor
