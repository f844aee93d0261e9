#include "discovery/QLogicFibreChannelDiscovery.h"

#include "discovery/FibreChannelParser.h"
#include "plugin/Constants.h"

namespace velkor {

const std::string& FibreChannelDiscoveryKind::ToolPath() { return kFibreChannelToolPath; }

std::optional<std::vector<std::string>> FibreChannelDiscoveryKind::Cut(const std::string& output) {
    std::vector<std::string> blocks = CutFibreChannelBlocks(output);
    if (blocks.empty()) {
        return std::nullopt;
    }
    return blocks;
}

AdapterRecord FibreChannelDiscoveryKind::Read(std::uint32_t index, const std::string& block) {
    return ReadFibreChannelRecord(index, block);
}

}  // namespace velkor
