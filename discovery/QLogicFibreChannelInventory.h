// The Fibre Channel adapters and the tool output they were read from.
#ifndef VELKOR_DISCOVERY_QLOGICFIBRECHANNELINVENTORY_H
#define VELKOR_DISCOVERY_QLOGICFIBRECHANNELINVENTORY_H

#include "discovery/AdapterInventory.h"

#include <string>

namespace velkor {

// The Fibre Channel adapters, and the tool output they were read from, which
// the raw-data capture reuses instead of running the tool again.
class QLogicFibreChannelInventory final : public AdapterInventory<QLogicFibreChannelInventory> {
public:
    void SetRawOutput(std::string text) { rawOutput_ = std::move(text); }
    std::string GetRawOutput() const { return rawOutput_; }

private:
    friend class AdapterInventory<QLogicFibreChannelInventory>;
    QLogicFibreChannelInventory() = default;

    std::string rawOutput_;
};

}  // namespace velkor

#endif
