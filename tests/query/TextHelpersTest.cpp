#include "cim/ParseNumber.h"
#include "rawdata/RawLines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor {
namespace {

using ::testing::ElementsAreArray;

TEST(ParseNumberTest, ReadsANumberOfTheKindFromTheStartOfTheText) {
    const struct { const char* text; int kind; std::uint32_t expected; } cases[] = {
        {"0", 2, 0},
        {"12 and more words", 2, 12},
        {" 7", 2, 7},
        {"4294967295", 2, 4294967295u},
        {"65535", 0, 65535},
        {"4294967296", 1, 0},          // the low 32 bits of 2^32
        {"-1", 3, 0xFFFFFFFFu},        // the bit pattern of the signed value
        {"12", 5, 0},                  // unknown kind
        {"", 2, 0},                    // no number
        {"99999999999", 2, 4294967295u},  // too large: the stream stores the largest value
        {"70000", 0, 65535},
        {"18446744073709551616", 1, 4294967295u},
        {"\v\f\r+5", 2, 5},
        {"- 5", 2, 0},                 // a sign must touch its digits
        {"0x10", 2, 0},                // decimal only
        {"-1", 2, 4294967295u},        // unsigned kinds negate modulo their range
        {"-65535", 0, 1},
        {"-65536", 0, 65535},          // ...unless the digits are past the range
        {"2147483648", 3, 0x7FFFFFFFu},
        {"-2147483648", 3, 0x80000000u},
        {"-2147483649", 3, 0x80000000u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseNumber(c.text, c.kind), c.expected) << '"' << c.text << "\" kind " << c.kind;
    }
}

TEST(CutRawLinesTest, CutsAtEveryCarriageReturnAndSkipsTheCharacterAfterIt) {
    const struct { std::string output; std::vector<std::string> lines; } cases[] = {
        {"M\r\nsecond\r\nthird without end", {"M", "second"}},
        {"M\r\n\r\nlast\r\n", {"M", "", "last"}},
        {"M\rXY\r\n", {"M", "Y"}},  // a lone CR swallows the next character
        {"M\r", {"M"}},
        {"M\r\n", {"M"}},
        {"\r\n", {""}},
        {"\r\r\r\n", {"", ""}},
        {"no line end", {}},
        {"", {}},
        {std::string("a\0b\r\nc\0\r\n", 10), {std::string("a\0b", 3), std::string("c\0", 2)}},
        {"  spaces kept  \r\n", {"  spaces kept  "}},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(CutRawLines(c.output), ElementsAreArray(c.lines)) << c.output;
    }
}

}  // namespace
}  // namespace velkor
