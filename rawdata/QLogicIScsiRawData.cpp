#include "rawdata/QLogicIScsiRawData.h"

#include "plugin/Constants.h"

namespace velkor {

QLogicIScsiRawData::QLogicIScsiRawData() : ToolRawData(kIScsiToolPath, kIScsiPresenceMarker, std::nullopt) {}

}  // namespace velkor
