// The discovery steps both adapter kinds share: one tool run, its output cut
// into adapter blocks, one record per block appended to the kind's inventory.
#ifndef VELKOR_DISCOVERY_ADAPTERDISCOVERY_H
#define VELKOR_DISCOVERY_ADAPTERDISCOVERY_H

#include "discovery/TextScan.h"

#include <cstdint>
#include <string>

namespace velkor {

// Runs the tool with "-z" and a timeout of 300 seconds through the host's
// process service, which throws TSYVException when the run fails.
std::string RunDiscoveryTool(const std::string& toolPath);

// Throws TSYVException (status "failed") with kindName + what.
[[noreturn]] void FailDiscovery(const char* kindName, const char* what);

// One run of a kind's tool. The constructor runs it and, when its output is
// an adapter listing, writes the adapter count and appends one record per
// block to InventoryType, which must exist. A tool that cannot be run throws
// TSYVException out of the constructor before anything is appended.
template <class InventoryType>
class AdapterDiscovery {
public:
    using Inventory = InventoryType;

    AdapterDiscovery(const AdapterDiscovery&) = delete;
    AdapterDiscovery& operator=(const AdapterDiscovery&) = delete;

    // The complete tool output; empty when it was no adapter listing.
    const std::string& GetOutput() const { return output; }

protected:
    // cut(output): the blocks of an adapter listing, or nothing when the
    // output is none; report(blocks): what is done with them before they are
    // read; read(index, block): the adapter's record. kindName names the kind
    // in error texts.
    template <class Cut, class Report, class Read>
    AdapterDiscovery(const char* kindName, const std::string& toolPath, std::uint32_t* adapterCount, Cut cut,
                     Report report, Read read) {
        if (adapterCount == nullptr) {
            FailDiscovery(kindName, " discovery needs an adapter counter");
        }
        output = RunDiscoveryTool(toolPath);
        const auto blocks = cut(output);
        if (!blocks) {
            output.clear();
            return;
        }
        report(*blocks);
        *adapterCount = static_cast<std::uint32_t>(blocks->size());
        if (blocks->empty()) {
            return;
        }
        Inventory* inventory = Inventory::Instance();
        if (inventory == nullptr) {
            FailDiscovery(kindName, " discovery found no inventory to fill");
        }
        for (std::uint32_t i = 0; i < blocks->size(); ++i) {
            inventory->AddAdapter(read(i, OwnLines(*blocks, i)));
        }
    }
    ~AdapterDiscovery() = default;

private:
    std::string output;
};

}  // namespace velkor

#endif
