#include "discovery/TextScan.h"

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

std::string CleanValue(std::string_view value, bool trimAtCarriageReturn) {
    std::string_view view = TrimLeadingSpaces(TrimTrailingSpaces(CutAt(value, '\n')));
    view = CutAt(view, '\r');
    return std::string(trimAtCarriageReturn ? TrimTrailingSpaces(view) : view);
}

}  // namespace velkor
