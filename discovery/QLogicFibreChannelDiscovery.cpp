#include "discovery/QLogicFibreChannelDiscovery.h"

#include "discovery/FibreChannelParser.h"
#include "plugin/Constants.h"

#include <optional>
#include <vector>

namespace velkor {

namespace {

std::optional<std::vector<std::string>> CutListing(const std::string& output) {
    std::vector<std::string> blocks = CutFibreChannelBlocks(output);
    if (blocks.empty()) {
        return std::nullopt;
    }
    return blocks;
}

}  // namespace

QLogicFibreChannelDiscovery::QLogicFibreChannelDiscovery(std::uint32_t* adapterCount)
    : AdapterDiscovery("Fibre Channel", kFibreChannelToolPath, adapterCount, CutListing,
                       [](const std::vector<std::string>& /*blocks*/) {}, ReadFibreChannelRecord) {}

}  // namespace velkor
