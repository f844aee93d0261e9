#include "discovery/QLogicIScsiDiscovery.h"

#include "discovery/IScsiParser.h"
#include "host/ILogger.h"
#include "host/TRootObject.h"
#include "plugin/Constants.h"

namespace velkor {

const std::string& IScsiDiscoveryKind::ToolPath() { return kIScsiToolPath; }

std::optional<std::vector<std::string_view>> IScsiDiscoveryKind::Cut(const std::string& output) {
    return CutIScsiBlocks(output);
}

AdapterRecord IScsiDiscoveryKind::Read(std::uint32_t index, std::string_view block) {
    return ReadIScsiRecord(index, block);
}

void IScsiDiscoveryKind::Report(const std::vector<std::string_view>& blocks) {
    const int blockLogLevel = 3;
    NORNSYV20::ILogger* logger = NORNSYV20::TRootObject::GetCoreLogger();
    if (logger == nullptr) {
        return;
    }
    for (const std::string_view block : blocks) {
        std::string message = "Got iscsi controller info following: \n";
        message.append(block);
        logger->Log(blockLogLevel, message);
    }
}

}  // namespace velkor
