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
    FUZZ_CHECK(velkor::fuzz::AreLinesOf(velkor::CutRawLines(output), output));
    return 0;
}
