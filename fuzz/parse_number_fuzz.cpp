// Number reading of arbitrary text against the stream extraction it stands
// for: a fresh classic-locale string stream and its >> for each kind's type.
#include "FuzzCheck.h"

#include "cim/ParseNumber.h"

#include <cstddef>
#include <cstdint>
#include <locale>
#include <sstream>
#include <string>

namespace {

template <class Number>
std::uint32_t StreamReading(const std::string& text) {
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    Number value = 0;
    stream >> value;
    return static_cast<std::uint32_t>(value);
}

std::uint32_t StreamReading(const std::string& text, int kind) {
    switch (kind) {
        case 0:
            return StreamReading<std::uint16_t>(text);
        case 1:
            return StreamReading<std::uint64_t>(text);
        case 2:
            return StreamReading<std::uint32_t>(text);
        case 3:
            return StreamReading<std::int32_t>(text);
        default:
            return 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int kind = -1; kind <= 4; ++kind) {
        FUZZ_CHECK_WHY(velkor::ParseNumber(text, kind) == StreamReading(text, kind),
                       "kind " + std::to_string(kind) + ", text \"" + text + "\"");
    }
    return 0;
}
