// What tells the Fibre Channel and the iSCSI classes apart: the builders of
// both kinds run the same steps with these texts.
#ifndef VELKOR_CIM_ADAPTERKIND_H
#define VELKOR_CIM_ADAPTERKIND_H

#include <cstdint>
#include <string>

namespace velkor {

struct AdapterKind {
    const std::string& controllerClass;
    const std::string& firmwareElementClass;
    const std::string& biosElementClass;
    const std::string& controllerFirmwareClass;
    const std::string& controllerBiosClass;
    const std::string& namePrefix;
    const std::string& firmwareIdPrefix;
    const std::string& biosIdPrefix;
    // Only Fibre Channel firmware elements carry "DriverFirmwareVersion".
    bool hasDriverFirmwareVersion;
};

const AdapterKind& FibreChannelKind();
const AdapterKind& IScsiKind();

// prefix + N + suffix, N in plain decimal right after the prefix: the one way
// every controller, element and identifier name is composed.
std::string ComposeName(const std::string& prefix, std::uint32_t adapterNumber, const std::string& suffix = "");

}  // namespace velkor

#endif
