#ifndef VELKOR_DISCOVERY_QLOGICFIBRECHANNELDISCOVERY_H
#define VELKOR_DISCOVERY_QLOGICFIBRECHANNELDISCOVERY_H

#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

// One run of the Fibre Channel tool: the constructor runs it, appends one
// record per adapter to QLogicFibreChannelInventory (which must exist) and
// writes the adapter count, but only when the output lists adapters. A tool
// that cannot be run throws TSYVException out of the constructor before
// anything is appended.
class QLogicFibreChannelDiscovery {
public:
    explicit QLogicFibreChannelDiscovery(std::uint32_t* adapterCount);

    QLogicFibreChannelDiscovery(const QLogicFibreChannelDiscovery&) = delete;
    QLogicFibreChannelDiscovery& operator=(const QLogicFibreChannelDiscovery&) = delete;

    // The complete tool output, kept for the inventory's raw output; empty
    // when it listed no adapter.
    const std::string& GetOutput() const { return output; }

private:
    std::uint32_t Run();
    void BuildRecords();

    std::uint32_t* adapterCount;
    std::vector<std::string> blocks;
    std::string output;
};

}  // namespace velkor

#endif
