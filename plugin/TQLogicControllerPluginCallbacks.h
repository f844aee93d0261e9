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
    using ClassList = std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>;

    // Pass 1: run discovery of a kind once per inventory lifetime. A failed
    // run leaves no inventory behind, so the next query tries again.
    void CollectFibreChannel();
    void CollectIScsi();
    // Fill the inventory's element-name list: firmware then BIOS name of
    // every adapter, in adapter order.
    void NameFibreChannelElements();
    void NameIScsiElements();

    // Pass 2 handlers: the instances of the served class, one per adapter,
    // and the associations of className.
    void BuildFibreChannelInstances(const boost::shared_ptr<NORNSYV20::ICIMClass>& servedClass);
    void BuildIScsiInstances(const boost::shared_ptr<NORNSYV20::ICIMClass>& servedClass);
    void BuildFibreChannelAssociations(const ClassList& requestedClasses,
                                       const boost::shared_ptr<NORNSYV20::ICIMNamespace>& ns,
                                       const std::string& className);
    void BuildIScsiAssociations(const ClassList& requestedClasses,
                                const boost::shared_ptr<NORNSYV20::ICIMNamespace>& ns, const std::string& className);

    // How many adapters the most recent discovery run reported.
    std::uint32_t adapterCount = 0;
};

}  // namespace velkor

#endif
