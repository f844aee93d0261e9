// Fibre Channel parsing of arbitrary output: one record per start marker,
// each block its own adapter's text, every field present and well formed.
#include "FuzzCheck.h"

#include "discovery/FibreChannelParser.h"
#include "plugin/Constants.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkor;
    const std::string output(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> blocks = CutFibreChannelBlocks(output);
    FUZZ_CHECK(blocks.size() == fuzz::CountOccurrences(output, kFibreChannelBlockStart));

    std::size_t at = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string& block = blocks[i];
        at = output.find(kFibreChannelBlockStart, at);
        FUZZ_CHECK(at != std::string::npos);
        FUZZ_CHECK(output.compare(at, block.size(), block) == 0);
        FUZZ_CHECK(block.find(kFibreChannelBlockStart, 1) == std::string::npos);
        FUZZ_CHECK(block.find(kFibreChannelBlockEnd) == std::string::npos);
        const std::size_t after = at + block.size();
        FUZZ_CHECK(after == output.size() || output.compare(after, kFibreChannelBlockEnd.size(), kFibreChannelBlockEnd) == 0 ||
                   output.compare(after, kFibreChannelBlockStart.size(), kFibreChannelBlockStart) == 0);
        at += kFibreChannelBlockStart.size();

        const AdapterRecord record = ReadFibreChannelRecord(static_cast<std::uint32_t>(i), block);
        FUZZ_CHECK(record.size() == 5);
        FUZZ_CHECK(GetField(record, kAdapterIndex) == std::to_string(i));
        for (int field : {kModel, kBiosVersion, kFirmwareVersion, kDriverFirmwareVersion}) {
            const std::string value = GetField(record, field);
            FUZZ_CHECK(fuzz::IsRestOrCleaned(value, block, true));
        }
        for (int field : {kFirmwareVersion, kDriverFirmwareVersion}) {
            const std::string value = GetField(record, field);
            FUZZ_CHECK(value.find(' ') == std::string::npos || fuzz::EndsWith(block, value));
        }
    }
    return 0;
}
