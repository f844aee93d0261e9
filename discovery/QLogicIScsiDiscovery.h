#ifndef VELKOR_DISCOVERY_QLOGICISCSIDISCOVERY_H
#define VELKOR_DISCOVERY_QLOGICISCSIDISCOVERY_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// One run of the iSCSI tool: the constructor runs it, logs every adapter
// block at level 3, appends one record per adapter to QLogicIScsiInventory
// (which must exist) and writes the adapter count whenever the output is an
// adapter listing, even one of no adapters. A tool that cannot be run throws
// TSYVException out of the constructor before anything is appended.
class QLogicIScsiDiscovery {
public:
    explicit QLogicIScsiDiscovery(std::uint32_t* adapterCount);

    QLogicIScsiDiscovery(const QLogicIScsiDiscovery&) = delete;
    QLogicIScsiDiscovery& operator=(const QLogicIScsiDiscovery&) = delete;

private:
    std::uint32_t Run();
    void BuildRecords();

    std::uint32_t* adapterCount;
    // The tool output, held only while the object lives: the blocks view it.
    std::string output;
    std::vector<std::string_view> blocks;
};

}  // namespace velkor

#endif
