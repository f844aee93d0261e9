#include "discovery/TextScan.h"

#include <functional>

namespace velkor {

std::string_view CutAt(std::string_view text, char c) {
    const std::size_t found = text.find(c);
    return found == std::string_view::npos ? text : text.substr(0, found);
}

std::string_view TrimLeadingSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimTrailingSpaces(std::string_view text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view OwnLines(const std::vector<std::string_view>& blocks, std::size_t i) {
    const std::string_view block = blocks[i];
    if (i + 1 == blocks.size()) {
        return block;
    }
    const std::less<> before;
    const char* next = blocks[i + 1].data();
    const bool inside = !before(next, block.data()) && before(next, block.data() + block.size());
    return inside ? block.substr(0, static_cast<std::size_t>(next - block.data())) : block;
}

std::string CleanValue(std::string_view value, bool trimAtCarriageReturn) {
    std::string_view view = TrimLeadingSpaces(TrimTrailingSpaces(CutAt(value, '\n')));
    view = CutAt(view, '\r');
    return std::string(trimAtCarriageReturn ? TrimTrailingSpaces(view) : view);
}

}  // namespace velkor
