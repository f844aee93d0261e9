// Discovery of the Fibre Channel adapters: the output is an adapter listing
// when it holds at least one block; the count is left alone otherwise.
#ifndef VELKOR_DISCOVERY_QLOGICFIBRECHANNELDISCOVERY_H
#define VELKOR_DISCOVERY_QLOGICFIBRECHANNELDISCOVERY_H

#include "discovery/AdapterDiscovery.h"
#include "discovery/QLogicFibreChannelInventory.h"

namespace velkor {

class QLogicFibreChannelDiscovery final : public AdapterDiscovery<QLogicFibreChannelInventory> {
public:
    explicit QLogicFibreChannelDiscovery(std::uint32_t* adapterCount);
};

}  // namespace velkor

#endif
