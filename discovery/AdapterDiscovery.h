// The discovery steps both adapter kinds share: one tool run, its output cut
// into adapter blocks, one record per block appended to the kind's inventory.
#ifndef VELKOR_DISCOVERY_ADAPTERDISCOVERY_H
#define VELKOR_DISCOVERY_ADAPTERDISCOVERY_H

#include <cstdint>
#include <string>

namespace velkor {

// Runs the tool with "-z" and a timeout of 300 seconds through the host's
// process service, which throws TSYVException when the run fails.
std::string RunDiscoveryTool(const std::string& toolPath);

// Throws TSYVException (status "failed") with kindName + what.
[[noreturn]] void FailDiscovery(const char* kindName, const char* what);

// Kind supplies: Inventory; kName, for error texts; ToolPath(); Cut(output),
// the blocks of an adapter listing, or nothing when the output is none;
// Read(index, block), the adapter's record; Report(blocks), anything done
// with the blocks before they are read.
//
// The constructor runs the tool and, when its output is an adapter listing,
// writes the adapter count and appends one record per block to the kind's
// inventory, which must exist. A tool that cannot be run throws TSYVException
// out of the constructor before anything is appended.
template <class Kind>
class AdapterDiscovery {
public:
    explicit AdapterDiscovery(std::uint32_t* adapterCount) {
        if (adapterCount == nullptr) {
            FailDiscovery(Kind::kName, " discovery needs an adapter counter");
        }
        output = RunDiscoveryTool(Kind::ToolPath());
        const auto blocks = Kind::Cut(output);
        if (!blocks) {
            output.clear();
            return;
        }
        Kind::Report(*blocks);
        *adapterCount = static_cast<std::uint32_t>(blocks->size());
        if (blocks->empty()) {
            return;
        }
        auto* inventory = Kind::Inventory::Instance();
        if (inventory == nullptr) {
            FailDiscovery(Kind::kName, " discovery found no inventory to fill");
        }
        for (std::uint32_t i = 0; i < blocks->size(); ++i) {
            inventory->AddAdapter(Kind::Read(i, (*blocks)[i]));
        }
    }

    AdapterDiscovery(const AdapterDiscovery&) = delete;
    AdapterDiscovery& operator=(const AdapterDiscovery&) = delete;

    // The complete tool output; empty when it was no adapter listing.
    const std::string& GetOutput() const { return output; }

private:
    std::string output;
};

}  // namespace velkor

#endif
