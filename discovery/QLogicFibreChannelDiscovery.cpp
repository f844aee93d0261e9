#include "discovery/QLogicFibreChannelDiscovery.h"

#include "discovery/FibreChannelParser.h"
#include "discovery/QLogicFibreChannelInventory.h"
#include "host/TOSSpecific.h"
#include "host/TSYVException.h"
#include "plugin/Constants.h"

namespace velkor {

namespace {

const int kToolTimeoutSeconds = 300;

}  // namespace

QLogicFibreChannelDiscovery::QLogicFibreChannelDiscovery(std::uint32_t* adapterCount) : adapterCount(adapterCount) {
    if (adapterCount == nullptr) {
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kFailed),
                                       "Fibre Channel discovery needs an adapter counter");
    }
    if (Run() != 0) {
        BuildRecords();
    }
}

std::uint32_t QLogicFibreChannelDiscovery::Run() {
    std::string text = NORNSYV20::TOSSpecific::SpawnProcess(kFibreChannelToolPath, {"-z"}, kToolTimeoutSeconds);
    blocks = CutFibreChannelBlocks(text);
    if (blocks.empty()) {
        return 0;
    }
    output = std::move(text);
    *adapterCount = static_cast<std::uint32_t>(blocks.size());
    return *adapterCount;
}

void QLogicFibreChannelDiscovery::BuildRecords() {
    QLogicFibreChannelInventory* inventory = QLogicFibreChannelInventory::Instance();
    if (inventory == nullptr) {
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kFailed),
                                       "Fibre Channel discovery found no inventory to fill");
    }
    for (std::uint32_t i = 0; i < blocks.size(); ++i) {
        inventory->AddAdapter(ReadFibreChannelRecord(i, blocks[i]));
    }
}

}  // namespace velkor
