// Discovery of the iSCSI adapters: the output is an adapter listing when it
// carries the presence marker, even one of no adapters, and every block of it
// is logged at level 3.
#ifndef VELKOR_DISCOVERY_QLOGICISCSIDISCOVERY_H
#define VELKOR_DISCOVERY_QLOGICISCSIDISCOVERY_H

#include "discovery/AdapterDiscovery.h"
#include "discovery/QLogicIScsiInventory.h"

namespace velkor {

class QLogicIScsiDiscovery final : public AdapterDiscovery<QLogicIScsiInventory> {
public:
    explicit QLogicIScsiDiscovery(std::uint32_t* adapterCount);
};

}  // namespace velkor

#endif
