#include "discovery/QLogicIScsiDiscovery.h"

#include "discovery/IScsiParser.h"
#include "discovery/QLogicIScsiInventory.h"
#include "host/ILogger.h"
#include "host/TOSSpecific.h"
#include "host/TRootObject.h"
#include "host/TSYVException.h"
#include "plugin/Constants.h"

#include <optional>

namespace velkor {

namespace {

const int kToolTimeoutSeconds = 300;
const int kBlockLogLevel = 3;

}  // namespace

QLogicIScsiDiscovery::QLogicIScsiDiscovery(std::uint32_t* adapterCount) : adapterCount(adapterCount) {
    if (adapterCount == nullptr) {
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kFailed),
                                       "iSCSI discovery needs an adapter counter");
    }
    if (Run() != 0) {
        BuildRecords();
    }
}

std::uint32_t QLogicIScsiDiscovery::Run() {
    output = NORNSYV20::TOSSpecific::SpawnProcess(kIScsiToolPath, {"-z"}, kToolTimeoutSeconds);
    std::optional<std::vector<std::string_view>> cut = CutIScsiBlocks(output);
    if (!cut) {
        return 0;
    }
    blocks = std::move(*cut);
    NORNSYV20::ILogger* logger = NORNSYV20::TRootObject::GetCoreLogger();
    if (logger != nullptr) {
        for (const std::string_view block : blocks) {
            std::string message = "Got iscsi controller info following: \n";
            message.append(block);
            logger->Log(kBlockLogLevel, message);
        }
    }
    *adapterCount = static_cast<std::uint32_t>(blocks.size());
    return *adapterCount;
}

void QLogicIScsiDiscovery::BuildRecords() {
    QLogicIScsiInventory* inventory = QLogicIScsiInventory::Instance();
    if (inventory == nullptr) {
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kFailed),
                                       "iSCSI discovery found no inventory to fill");
    }
    for (std::uint32_t i = 0; i < blocks.size(); ++i) {
        inventory->AddAdapter(ReadIScsiRecord(i, blocks[i]));
    }
}

}  // namespace velkor
