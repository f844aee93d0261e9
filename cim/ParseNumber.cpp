#include "cim/ParseNumber.h"

#include <sstream>

namespace velkor {

namespace {

template <class Number>
Number Extract(const std::string& text) {
    std::istringstream stream(text);
    Number value = 0;
    stream >> value;
    return value;
}

}  // namespace

// The text is taken by value as the design specifies.
std::uint32_t ParseNumber(std::string text, int kind) {  // NOLINT(performance-unnecessary-value-param)
    switch (kind) {
        case 0:
            return Extract<std::uint16_t>(text);
        case 1:
            return static_cast<std::uint32_t>(Extract<std::uint64_t>(text));
        case 2:
            return Extract<std::uint32_t>(text);
        case 3:
            return static_cast<std::uint32_t>(Extract<std::int32_t>(text));
        default:
            return 0;
    }
}

}  // namespace velkor
