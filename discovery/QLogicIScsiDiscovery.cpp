#include "discovery/QLogicIScsiDiscovery.h"

#include "discovery/IScsiParser.h"
#include "host/ILogger.h"
#include "host/TRootObject.h"
#include "plugin/Constants.h"

#include <string_view>
#include <vector>

namespace velkor {

namespace {

void LogBlocks(const std::vector<std::string_view>& blocks) {
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

}  // namespace

QLogicIScsiDiscovery::QLogicIScsiDiscovery(std::uint32_t* adapterCount)
    : AdapterDiscovery("iSCSI", kIScsiToolPath, adapterCount,
                       [](const std::string& output) { return CutIScsiBlocks(output); }, LogBlocks,
                       ReadIScsiRecord) {}

}  // namespace velkor
