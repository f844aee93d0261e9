// The iSCSI tool's raw data, always from a run of the tool: the iSCSI
// inventory keeps no output.
#ifndef VELKOR_RAWDATA_QLOGICISCSIRAWDATA_H
#define VELKOR_RAWDATA_QLOGICISCSIRAWDATA_H

#include "rawdata/ToolRawData.h"

namespace velkor {

class QLogicIScsiRawData final : public ToolRawData {
public:
    QLogicIScsiRawData();
};

}  // namespace velkor

#endif
