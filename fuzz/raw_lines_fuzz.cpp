// Raw-data line cutting of arbitrary output: every line is the text between
// consecutive line ends, and nothing but the skipped characters and the text
// after the last line end is lost.
#include "FuzzCheck.h"

#include "rawdata/RawLines.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string output(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = velkor::CutRawLines(output);

    std::size_t at = 0;
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find('\r') == std::string::npos);
        FUZZ_CHECK(output.compare(at, line.size(), line) == 0);
        FUZZ_CHECK(at + line.size() < output.size() && output[at + line.size()] == '\r');
        at += line.size() + 2;
    }
    // No line end is left in what was not cut into lines.
    FUZZ_CHECK(at >= output.size() || output.find('\r', at) == std::string::npos);
    return 0;
}
