// The iSCSI adapters.
#ifndef VELKOR_DISCOVERY_QLOGICISCSIINVENTORY_H
#define VELKOR_DISCOVERY_QLOGICISCSIINVENTORY_H

#include "discovery/AdapterInventory.h"

namespace velkor {

// The iSCSI adapters. No tool output is kept: the iSCSI raw-data capture
// always runs its tool itself.
class QLogicIScsiInventory final : public AdapterInventory<QLogicIScsiInventory> {
private:
    friend class AdapterInventory<QLogicIScsiInventory>;
    QLogicIScsiInventory() = default;
};

}  // namespace velkor

#endif
