// The Fibre Channel tool's raw data: from the inventory's kept output when
// discovery has run, else from a run of the tool.
#ifndef VELKOR_RAWDATA_QLOGICFIBRECHANNELRAWDATA_H
#define VELKOR_RAWDATA_QLOGICFIBRECHANNELRAWDATA_H

#include "rawdata/ToolRawData.h"

namespace velkor {

class QLogicFibreChannelRawData final : public ToolRawData {
public:
    QLogicFibreChannelRawData();
};

}  // namespace velkor

#endif
