// The one plug-in object: identity, lifecycle and queries.
#ifndef VELKOR_PLUGIN_TQLOGICCONTROLLERPLUGINCALLBACKS_H
#define VELKOR_PLUGIN_TQLOGICCONTROLLERPLUGINCALLBACKS_H

#include "host/ICIMClass.h"
#include "host/ICIMInstance.h"
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

    // Pass 2 handlers. The instance builders serve the class at `position`.
    void BuildFibreChannelInstances(ClassList::const_iterator position,
                                    boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                                    const ClassList& requestedClasses);
    void BuildIScsiInstances(ClassList::const_iterator position, boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                             const ClassList& requestedClasses);
    void BuildFibreChannelAssociations(const ClassList& requestedClasses,
                                       boost::shared_ptr<NORNSYV20::ICIMNamespace> ns, std::string className);
    void BuildIScsiAssociations(const ClassList& requestedClasses, boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                                std::string className);

    // Create an instance of `servedClass` for adapter number N (position + 1)
    // and set its key and naming properties.
    void CreateFibreChannelInstance(boost::shared_ptr<NORNSYV20::ICIMClass> servedClass,
                                    boost::shared_ptr<NORNSYV20::ICIMInstance>& instance, std::uint32_t adapterNumber,
                                    std::string version, std::string driverFirmwareVersion);
    void CreateIScsiInstance(boost::shared_ptr<NORNSYV20::ICIMClass> servedClass,
                             boost::shared_ptr<NORNSYV20::ICIMInstance>& instance, std::uint32_t adapterNumber,
                             std::string version);

    // How many adapters the most recent discovery run reported.
    std::uint32_t adapterCount = 0;
};

}  // namespace velkor

#endif
