#include "discovery/IScsiParser.h"

#include "discovery/TextScan.h"
#include "plugin/Constants.h"

#include <algorithm>
#include <string_view>

namespace velkor {

std::optional<std::vector<std::string_view>> CutIScsiBlocks(const std::string& output) {
    if (output.find(kIScsiPresenceMarker) == std::string::npos) {
        return std::nullopt;
    }
    const std::string& start = kIScsiBlockStart;
    const std::string_view text(output);
    std::vector<std::string_view> blocks;
    std::size_t blockStart = output.find(start);
    while (blockStart != std::string::npos) {
        const std::size_t nextStart = output.find(start, blockStart + start.size());
        const std::size_t minimumEnd = blockStart + std::min(output.size() - blockStart, start.size() + kIScsiMinimumBlockTail);
        const std::size_t blockEnd = std::max(nextStart == std::string::npos ? output.size() : nextStart, minimumEnd);
        blocks.push_back(text.substr(blockStart, blockEnd - blockStart));
        blockStart = nextStart;
    }
    return blocks;
}

AdapterRecord ReadIScsiRecord(std::uint32_t index, std::string_view block) {
    std::size_t position = 0;
    AdapterRecord record;
    record.emplace(kAdapterIndex, std::to_string(index));
    record.emplace(kModel, GetIScsiValue(block, kIScsiModelLabel, position));
    record.emplace(kFirmwareVersion, GetIScsiValue(block, kIScsiFirmwareVersionLabel, position));
    record.emplace(kBiosVersion, GetIScsiValue(block, kIScsiRomVersionLabel, position));
    return record;
}

std::string GetIScsiValue(std::string_view text, std::string_view label, std::size_t& position) {
    const std::size_t labelAt = text.find(label, position);
    if (labelAt == std::string_view::npos) {
        return {};
    }
    position = labelAt + 1;
    const std::size_t colon = text.find(':', position);
    if (colon == std::string_view::npos) {
        return {};
    }
    position = colon + 1;
    const std::size_t lineEnd = text.find(kLineEnd, position);
    if (lineEnd == std::string_view::npos) {
        return std::string(text.substr(position));
    }
    const std::size_t valueStart = position;
    position = lineEnd + 1;
    return CleanIScsiValue(text.substr(valueStart, position - valueStart));
}

std::string CleanIScsiValue(std::string_view value) { return CleanValue(value, false); }

}  // namespace velkor
