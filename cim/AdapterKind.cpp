#include "cim/AdapterKind.h"

#include "plugin/Constants.h"

#include <charconv>
#include <iterator>
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
    char digits[std::numeric_limits<std::uint32_t>::digits10 + 1];
    const auto length = static_cast<std::size_t>(std::to_chars(std::begin(digits), std::end(digits), adapterNumber).ptr - digits);
    std::string name;
    name.reserve(prefix.size() + length + suffix.size());  // one allocation
    name.append(prefix).append(digits, length).append(suffix);
    return name;
}

}  // namespace velkor
