// Discovery of the Fibre Channel adapters: one run of the Fibre Channel tool.
#ifndef VELKOR_DISCOVERY_QLOGICFIBRECHANNELDISCOVERY_H
#define VELKOR_DISCOVERY_QLOGICFIBRECHANNELDISCOVERY_H

#include "discovery/AdapterDiscovery.h"
#include "discovery/AdapterRecord.h"
#include "discovery/QLogicFibreChannelInventory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

// The output is an adapter listing when it holds at least one block; the
// count is left alone otherwise.
struct FibreChannelDiscoveryKind {
    using Inventory = QLogicFibreChannelInventory;
    static constexpr const char* kName = "Fibre Channel";
    static const std::string& ToolPath();
    static std::optional<std::vector<std::string>> Cut(const std::string& output);
    static AdapterRecord Read(std::uint32_t index, const std::string& block);
    static void Report(const std::vector<std::string>& /*blocks*/) {}
};

using QLogicFibreChannelDiscovery = AdapterDiscovery<FibreChannelDiscoveryKind>;

}  // namespace velkor

#endif
