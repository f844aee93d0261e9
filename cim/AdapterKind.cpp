#include "cim/AdapterKind.h"

#include "plugin/Constants.h"

#include <array>
#include <charconv>
#include <limits>

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
    std::array<char, std::numeric_limits<std::uint32_t>::digits10 + 1> digits{};
    const char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), adapterNumber).ptr;
    const auto length = static_cast<std::size_t>(end - digits.data());
    std::string name;
    name.reserve(prefix.size() + length + suffix.size());  // one allocation
    name.append(prefix).append(digits.data(), length).append(suffix);
    return name;
}

}  // namespace velkor
