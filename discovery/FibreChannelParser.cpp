#include "discovery/FibreChannelParser.h"

#include "discovery/TextScan.h"
#include "plugin/Constants.h"

#include <string_view>

namespace velkor {

std::vector<std::string> CutFibreChannelBlocks(const std::string& output) {
    const std::string& start = kFibreChannelBlockStart;
    const std::string& end = kFibreChannelBlockEnd;
    std::vector<std::string> blocks;

    // The end marker found last is reused while it lies ahead of the current
    // block, so that output without end markers is not searched again for
    // every block: the whole cut stays linear in the output size.
    std::size_t endMarker = 0;
    bool endMarkerAhead = false;

    std::size_t blockStart = output.find(start);
    while (blockStart != std::string::npos) {
        const std::size_t nextStart = output.find(start, blockStart + start.size());
        if (!endMarkerAhead || endMarker < blockStart) {
            endMarker = output.find(end, blockStart);
            endMarkerAhead = true;
        }
        std::size_t blockEnd = nextStart == std::string::npos ? output.size() : nextStart;
        if (endMarker < blockEnd) {
            blockEnd = endMarker;
        }
        blocks.push_back(output.substr(blockStart, blockEnd - blockStart));
        blockStart = nextStart;
    }
    return blocks;
}

AdapterRecord ReadFibreChannelRecord(std::uint32_t index, const std::string& block) {
    AdapterRecord record;
    record.emplace(kAdapterIndex, std::to_string(index));
    record.emplace(kModel, GetFibreChannelValue(block, kFibreChannelModelLabel, 0));
    record.emplace(kBiosVersion, GetFibreChannelValue(block, kFibreChannelBiosVersionLabel, 0));
    record.emplace(kDriverFirmwareVersion, GetFibreChannelValue(block, kFibreChannelDriverFirmwareVersionLabel, 0));
    record.emplace(kFirmwareVersion, GetFibreChannelValue(block, kFibreChannelFlashFirmwareVersionLabel, 0));
    return record;
}

namespace {

bool IsFirmwareLabel(const std::string& label) {
    return label == kFibreChannelFlashFirmwareVersionLabel || label == kFibreChannelDriverFirmwareVersionLabel;
}

bool HasVpdFallback(const std::string& label) {
    return label == kFibreChannelBiosVersionLabel || IsFirmwareLabel(label);
}

}  // namespace

std::string GetFibreChannelValue(const std::string& text, const std::string& label, std::size_t from) {
    // A loop rather than a fresh call per "N/A": every round starts further
    // on, and the depth of a chain of VPD parts is the output's to choose.
    for (;;) {
        const std::size_t labelAt = text.find(label, from);
        if (labelAt == std::string::npos) {
            return {};
        }
        const std::size_t colon = text.find(':', labelAt + 1);
        if (colon == std::string::npos) {
            return {};
        }
        const std::size_t lineEnd = text.find(kLineEnd, colon + 1);
        if (lineEnd == std::string::npos) {
            return text.substr(colon + 1);
        }
        std::string value = CleanFibreChannelValue(std::string_view(text).substr(colon + 1, lineEnd - colon - 1));
        if (IsFirmwareLabel(label)) {
            value = std::string(CutAt(value, ' '));
        }
        if (value != "N/A" || !HasVpdFallback(label)) {
            return value;
        }
        const std::size_t vpd = text.find(kFibreChannelVpdSection, lineEnd);
        if (vpd == std::string::npos) {
            return value;
        }
        from = vpd;
    }
}

std::string CleanFibreChannelValue(std::string_view value) { return CleanValue(value, true); }

}  // namespace velkor
