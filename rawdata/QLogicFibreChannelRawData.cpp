#include "rawdata/QLogicFibreChannelRawData.h"

#include "discovery/QLogicFibreChannelInventory.h"
#include "plugin/Constants.h"
#include "rawdata/RawCapture.h"

namespace velkor {

QLogicFibreChannelRawData::QLogicFibreChannelRawData() : command(kFibreChannelToolPath) {
    // Once discovery has run, its kept output is the answer, even an empty one:
    // the tool is not run a second time.
    const QLogicFibreChannelInventory* inventory = QLogicFibreChannelInventory::Instance();
    if (inventory != nullptr) {
        CaptureRawLines(inventory->RawOutput(), kFibreChannelBlockStart, command, resultLines, hasResults);
    } else {
        CaptureRawLines(RunToolForRawData(command), kFibreChannelBlockStart, command, resultLines, hasResults);
    }
}

QLogicFibreChannelRawData::~QLogicFibreChannelRawData() = default;

NORNSYV20::TCIMValue QLogicFibreChannelRawData::GetRawResults() const { return MakeRawResults(resultLines); }

}  // namespace velkor
