// The one plug-in object: identity, lifecycle and queries.
#ifndef VELKOR_PLUGIN_TQLOGICCONTROLLERPLUGINCALLBACKS_H
#define VELKOR_PLUGIN_TQLOGICCONTROLLERPLUGINCALLBACKS_H

#include "host/ICIMClass.h"
#include "host/ICIMNamespace.h"
#include "host/IPluginBasicQueryCallbacks.h"
#include "host/IPluginCallbacks.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

// Registers itself with the host's plug-in manager on construction; from then
// on the host owns it and ends its life with Release().
class TQLogicControllerPluginCallbacks : public NORNSYV20::IPluginCallbacks,
                                         public NORNSYV20::IPluginBasicQueryCallbacks {
public:
    // Throws whatever the host's plug-in manager throws.
    TQLogicControllerPluginCallbacks();
    ~TQLogicControllerPluginCallbacks() override;

    TQLogicControllerPluginCallbacks(const TQLogicControllerPluginCallbacks&) = delete;
    TQLogicControllerPluginCallbacks& operator=(const TQLogicControllerPluginCallbacks&) = delete;

    // IPluginCallbacks
    std::uint32_t GetPluginFlags() override;
    std::string GetPluginName() override;
    std::string GetPluginVersion() override;
    std::string GetPluginRevision() override;
    void Release() override;
    void OnNotify(std::uint32_t notification) override;
    // Drops both inventories, so that the next query collects again.
    void Shutdown() override;

    // IPluginBasicQueryCallbacks
    void QueryInstances(boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                        const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>& requestedClasses) override;

private:
    // How many adapters the most recent discovery run reported.
    std::uint32_t adapterCount;
};

}  // namespace velkor

#endif
