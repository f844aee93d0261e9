#include "cim/AdapterKind.h"

#include "plugin/Constants.h"


namespace velkor {

const AdapterKind& FibreChannelKind() {
    static const AdapterKind kind = {
        kFibreChannelControllerClass,         kFibreChannelFirmwareElementClass, kFibreChannelBiosElementClass,
        kFibreChannelControllerFirmwareClass, kFibreChannelControllerBiosClass,  kFibreChannelNamePrefix,
        kFibreChannelFirmwareIdPrefix,        kFibreChannelBiosIdPrefix,         true,
    };
    return kind;
}

const AdapterKind& IScsiKind() {
    static const AdapterKind kind = {
        kIScsiControllerClass,         kIScsiFirmwareElementClass, kIScsiBiosElementClass,
        kIScsiControllerFirmwareClass, kIScsiControllerBiosClass,  kIScsiNamePrefix,
        kIScsiFirmwareIdPrefix,        kIScsiBiosIdPrefix,         false,
    };
    return kind;
}

std::string ComposeName(const std::string& prefix, std::uint32_t adapterNumber, const std::string& suffix) {
    return prefix + std::to_string(adapterNumber) + suffix;
}

}  // namespace velkor
