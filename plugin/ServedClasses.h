// The twelve classes the plug-in serves, in the order of its constants table:
// Fibre Channel first, then iSCSI.
#ifndef VELKOR_PLUGIN_SERVEDCLASSES_H
#define VELKOR_PLUGIN_SERVEDCLASSES_H

#include "plugin/Constants.h"

#include <string>
#include <vector>

namespace velkor {

// The plug-in owns its class names, so the list lives beside them; hosts,
// tests and tools that ask for "every class" include this header rather than
// the plug-in including anything of theirs. Built on first use, after the
// constants.
inline const std::vector<std::string>& ServedClasses() {
    static const std::vector<std::string> classes{
        kFibreChannelRawDataClass,        kFibreChannelFirmwareElementClass,
        kFibreChannelBiosElementClass,    kFibreChannelControllerFirmwareClass,
        kFibreChannelControllerBiosClass, kFibreChannelControllerClass,
        kIScsiRawDataClass,               kIScsiFirmwareElementClass,
        kIScsiBiosElementClass,           kIScsiControllerFirmwareClass,
        kIScsiControllerBiosClass,        kIScsiControllerClass,
    };
    return classes;
}

}  // namespace velkor

#endif
