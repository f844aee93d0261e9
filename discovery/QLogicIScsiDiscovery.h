// Discovery of the iSCSI adapters: one run of the iSCSI tool.
#ifndef VELKOR_DISCOVERY_QLOGICISCSIDISCOVERY_H
#define VELKOR_DISCOVERY_QLOGICISCSIDISCOVERY_H

#include "discovery/AdapterDiscovery.h"
#include "discovery/AdapterRecord.h"
#include "discovery/QLogicIScsiInventory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// The output is an adapter listing when it carries the presence marker, even
// one of no adapters, and every block of it is logged at level 3.
struct IScsiDiscoveryKind {
    using Inventory = QLogicIScsiInventory;
    static constexpr const char* kName = "iSCSI";
    static const std::string& ToolPath();
    static std::optional<std::vector<std::string_view>> Cut(const std::string& output);
    static AdapterRecord Read(std::uint32_t index, std::string_view block);
    static void Report(const std::vector<std::string_view>& blocks);
};

using QLogicIScsiDiscovery = AdapterDiscovery<IScsiDiscoveryKind>;

}  // namespace velkor

#endif
