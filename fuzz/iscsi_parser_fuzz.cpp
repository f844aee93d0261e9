// iSCSI parsing of arbitrary output: blocks only for an adapter listing, one
// per "Board Type", each a bounded window from its marker, every field
// present, well formed and read from the adapter's own lines.
#include "FuzzCheck.h"

#include "discovery/IScsiParser.h"
#include "discovery/TextScan.h"
#include "plugin/Constants.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkor;
    const std::string output(reinterpret_cast<const char*>(data), size);
    const std::optional<std::vector<std::string_view>> blocks = CutIScsiBlocks(output);
    FUZZ_CHECK(blocks.has_value() == (output.find(kIScsiPresenceMarker) != std::string::npos));
    if (!blocks) {
        return 0;
    }
    FUZZ_CHECK(blocks->size() == fuzz::CountOccurrences(output, kIScsiBlockStart));

    std::size_t at = output.find(kIScsiBlockStart);
    for (std::size_t i = 0; i < blocks->size(); ++i) {
        const std::string_view block = (*blocks)[i];
        FUZZ_CHECK(at != std::string::npos);
        FUZZ_CHECK(block.data() == output.data() + at);
        const std::size_t next = output.find(kIScsiBlockStart, at + kIScsiBlockStart.size());
        const std::size_t nextOrEnd = next == std::string::npos ? output.size() : next;
        FUZZ_CHECK(at + block.size() >= nextOrEnd);
        FUZZ_CHECK(block.size() >= std::min(output.size() - at, kIScsiBlockStart.size() + kIScsiMinimumBlockTail));

        // Values come from the adapter's own lines, never from the next one's.
        const std::string ownLines = output.substr(at, nextOrEnd - at);
        at = next;
        FUZZ_CHECK(OwnLines(*blocks, i) == ownLines);
        const AdapterRecord record = ReadIScsiRecord(static_cast<std::uint32_t>(i), OwnLines(*blocks, i));
        FUZZ_CHECK(record.size() == 4);
        FUZZ_CHECK(GetField(record, kAdapterIndex) == std::to_string(i));
        for (int field : {kModel, kBiosVersion, kFirmwareVersion}) {
            const std::string& value = GetField(record, field);
            FUZZ_CHECK(fuzz::IsRestOrCleaned(value, ownLines, false));
            FUZZ_CHECK(value.empty() || ownLines.find(value) != std::string::npos);
        }
    }
    return 0;
}
