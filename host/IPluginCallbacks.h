// The identity and lifecycle interface a plug-in implements.
#ifndef NORNSYV20_IPLUGINCALLBACKS_H
#define NORNSYV20_IPLUGINCALLBACKS_H

#include "SyvExport.h"

#include <cstdint>
#include <string>

namespace NORNSYV20 {

// Identity and lifecycle of a plug-in, as the host drives it.
class SYV_API IPluginCallbacks {
public:
    virtual ~IPluginCallbacks();

    virtual std::uint32_t GetPluginFlags() = 0;
    virtual std::string GetPluginName() = 0;
    virtual std::string GetPluginVersion() = 0;
    virtual std::string GetPluginRevision() = 0;

    // Destroys the plug-in object; the host does not call it afterwards.
    virtual void Release() = 0;

    // A host notification; its meaning is the host's.
    virtual void OnNotify(std::uint32_t notification) = 0;

    // The host is about to stop using the plug-in's data.
    virtual void Shutdown() = 0;
};

}  // namespace NORNSYV20

#endif
