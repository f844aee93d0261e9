#include "rawdata/QLogicFibreChannelRawData.h"

#include "discovery/QLogicFibreChannelInventory.h"
#include "plugin/Constants.h"

namespace velkor {

namespace {

// Once discovery has run, its kept output is the answer, even an empty one:
// the tool is not run a second time.
std::optional<std::string> KeptOutput() {
    const QLogicFibreChannelInventory* inventory = QLogicFibreChannelInventory::Instance();
    return inventory != nullptr ? std::optional<std::string>(inventory->GetRawOutput()) : std::nullopt;
}

}  // namespace

QLogicFibreChannelRawData::QLogicFibreChannelRawData()
    : ToolRawData(kFibreChannelToolPath, kFibreChannelBlockStart, KeptOutput()) {}

}  // namespace velkor
