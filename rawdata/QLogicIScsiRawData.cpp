#include "rawdata/QLogicIScsiRawData.h"

#include "plugin/Constants.h"
#include "rawdata/RawCapture.h"

namespace velkor {

QLogicIScsiRawData::QLogicIScsiRawData() : command(kIScsiToolPath) {
    CaptureRawLines(RunToolForRawData(command), kIScsiPresenceMarker, command, resultLines, hasResults);
}

QLogicIScsiRawData::~QLogicIScsiRawData() = default;

NORNSYV20::TCIMValue QLogicIScsiRawData::GetRawResults() const { return MakeRawResults(resultLines); }

}  // namespace velkor
