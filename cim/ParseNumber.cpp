#include "cim/ParseNumber.h"

#include <cstddef>
#include <limits>

namespace velkor {

namespace {

// What a classic-locale stream's >> reads from the start of a text: the sign
// and the decimal digits after any white space, the digits' value held back
// at the first digit that would carry it past limit.
struct ScannedNumber {
    bool hasDigits = false;
    bool negative = false;
    bool overflow = false;
    std::uint64_t magnitude = 0;
};

bool IsStreamSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

ScannedNumber Scan(const std::string& text, std::uint64_t limit) {
    ScannedNumber number;
    std::size_t at = 0;
    while (at < text.size() && IsStreamSpace(text[at])) {
        ++at;
    }
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.negative = text[at] == '-';
        ++at;
    }
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        number.hasDigits = true;
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        if (number.overflow || number.magnitude > (limit - digit) / 10) {
            number.overflow = true;
        } else {
            number.magnitude = number.magnitude * 10 + digit;
        }
    }
    return number;
}

// As the stream does for unsigned types: a magnitude past the type's range
// gives its largest value, a minus sign negates modulo the type's range.
template <class Unsigned>
Unsigned ExtractUnsigned(const std::string& text) {
    const std::uint64_t largest = std::numeric_limits<Unsigned>::max();
    const ScannedNumber number = Scan(text, largest);
    if (!number.hasDigits) {
        return 0;
    }
    if (number.overflow) {
        return static_cast<Unsigned>(largest);
    }
    return static_cast<Unsigned>(number.negative ? std::uint64_t{0} - number.magnitude : number.magnitude);
}

// As the stream does for int: a value past the range gives the nearer limit.
std::int32_t ExtractSigned32(const std::string& text) {
    const ScannedNumber number = Scan(text, std::numeric_limits<std::uint64_t>::max());
    const std::uint64_t largestMagnitude = number.negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (number.overflow || number.magnitude > largestMagnitude) {
        return number.negative ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    }
    const auto magnitude = static_cast<std::int64_t>(number.magnitude);
    return static_cast<std::int32_t>(number.negative ? -magnitude : magnitude);
}

}  // namespace

// The text is taken by value as the design specifies. The digits are read
// here rather than through a stream per number; the differential fuzz target
// holds this reading to the stream's.
std::uint32_t ParseNumber(std::string text, int kind) {  // NOLINT(performance-unnecessary-value-param)
    switch (kind) {
        case 0:
            return ExtractUnsigned<std::uint16_t>(text);
        case 1:
            return static_cast<std::uint32_t>(ExtractUnsigned<std::uint64_t>(text));
        case 2:
            return ExtractUnsigned<std::uint32_t>(text);
        case 3:
            return static_cast<std::uint32_t>(ExtractSigned32(text));
        default:
            return 0;
    }
}

}  // namespace velkor
