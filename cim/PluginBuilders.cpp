// The plug-in object's builders: each kind's inventory and texts handed to
// the builders both kinds share.
#include "cim/AdapterKind.h"
#include "cim/AssociationBuilder.h"
#include "cim/InstanceBuilder.h"
#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"

namespace velkor {

using namespace NORNSYV20;

namespace {

// Building instances only calls the host to create and commit them, which
// never reaches the inventories, so the adapters are read in place.
template <class Inventory>
const std::vector<AdapterRecord>& AdaptersOf() {
    static const std::vector<AdapterRecord> none;
    const Inventory* inventory = Inventory::Instance();
    return inventory != nullptr ? inventory->Adapters() : none;
}

void CreateAdapterInstance(const AdapterKind& kind, const boost::shared_ptr<ICIMClass>& servedClass,
                           boost::shared_ptr<ICIMInstance>& instance, std::uint32_t adapterNumber,
                           const std::string& version, const std::string& driverFirmwareVersion) {
    const std::string& className = servedClass->GetName(TCIMValueMap());
    instance = servedClass->CreateInstance(TCIMValueMap());
    SetAdapterInstanceKeys(kind, className, *instance, adapterNumber, version, driverFirmwareVersion);
}

}  // namespace

// The plug-in object's builders and creation helpers keep the signatures the
// design gives them, which take the namespace handle, the served class and
// the texts as copies.
// NOLINTBEGIN(performance-unnecessary-value-param)

void TQLogicControllerPluginCallbacks::BuildFibreChannelInstances(ClassList::const_iterator position,
                                                                  boost::shared_ptr<ICIMNamespace> /*ns*/,
                                                                  const ClassList& /*requestedClasses*/) {
    BuildAdapterInstances(FibreChannelKind(), AdaptersOf<QLogicFibreChannelInventory>(), *position,
                          [this](const boost::shared_ptr<ICIMClass>& servedClass,
                                 boost::shared_ptr<ICIMInstance>& instance, std::uint32_t adapterNumber,
                                 const std::string& version, const std::string& driverFirmwareVersion) {
                              CreateFibreChannelInstance(servedClass, instance, adapterNumber, version,
                                                         driverFirmwareVersion);
                          });
}

void TQLogicControllerPluginCallbacks::BuildIScsiInstances(ClassList::const_iterator position,
                                                           boost::shared_ptr<ICIMNamespace> /*ns*/,
                                                           const ClassList& /*requestedClasses*/) {
    BuildAdapterInstances(IScsiKind(), AdaptersOf<QLogicIScsiInventory>(), *position,
                          [this](const boost::shared_ptr<ICIMClass>& servedClass,
                                 boost::shared_ptr<ICIMInstance>& instance, std::uint32_t adapterNumber,
                                 const std::string& version, const std::string& /*driverFirmwareVersion*/) {
                              CreateIScsiInstance(servedClass, instance, adapterNumber, version);
                          });
}

void TQLogicControllerPluginCallbacks::CreateFibreChannelInstance(boost::shared_ptr<ICIMClass> servedClass,
                                                                  boost::shared_ptr<ICIMInstance>& instance,
                                                                  std::uint32_t adapterNumber, std::string version,
                                                                  std::string driverFirmwareVersion) {
    CreateAdapterInstance(FibreChannelKind(), servedClass, instance, adapterNumber, version, driverFirmwareVersion);
}

void TQLogicControllerPluginCallbacks::CreateIScsiInstance(boost::shared_ptr<ICIMClass> servedClass,
                                                           boost::shared_ptr<ICIMInstance>& instance,
                                                           std::uint32_t adapterNumber, std::string version) {
    CreateAdapterInstance(IScsiKind(), servedClass, instance, adapterNumber, version, std::string());
}

void TQLogicControllerPluginCallbacks::BuildFibreChannelAssociations(const ClassList& requestedClasses,
                                                                     boost::shared_ptr<ICIMNamespace> ns,
                                                                     std::string className) {
    const QLogicFibreChannelInventory* inventory = QLogicFibreChannelInventory::Instance();
    if (inventory != nullptr) {
        BuildAdapterAssociations(FibreChannelKind(), inventory->GetElementNames(), requestedClasses, ns, className);
    }
}

void TQLogicControllerPluginCallbacks::BuildIScsiAssociations(const ClassList& requestedClasses,
                                                              boost::shared_ptr<ICIMNamespace> ns,
                                                              std::string className) {
    const QLogicIScsiInventory* inventory = QLogicIScsiInventory::Instance();
    if (inventory != nullptr) {
        BuildAdapterAssociations(IScsiKind(), inventory->GetElementNames(), requestedClasses, ns, className);
    }
}

// NOLINTEND(performance-unnecessary-value-param)

}  // namespace velkor
