#include "plugin/TQLogicControllerPluginCallbacks.h"

#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"
#include "host/TPluginManagerNamespace.h"
#include "host/TRootObject.h"

#include "VelkorVersion.h"

#include <boost/shared_ptr.hpp>

namespace velkor {

using namespace NORNSYV20;

TQLogicControllerPluginCallbacks::TQLogicControllerPluginCallbacks() {
    boost::shared_ptr<ICIMNamespace> manager = TRootObject::GetPluginManager();
    boost::shared_ptr<TPluginManagerNamespace> pluginManager =
        boost::dynamic_pointer_cast<TPluginManagerNamespace>(manager);
    // The host must hand out a plug-in manager; an empty cast result goes to
    // the host's assertion hook.
    pluginManager->RegisterPlugin(static_cast<IPluginCallbacks*>(this));
}

TQLogicControllerPluginCallbacks::~TQLogicControllerPluginCallbacks() = default;

std::uint32_t TQLogicControllerPluginCallbacks::GetPluginFlags() { return 0; }

std::string TQLogicControllerPluginCallbacks::GetPluginName() { return "Velkor Collector"; }

std::string TQLogicControllerPluginCallbacks::GetPluginVersion() { return VELKOR_VERSION; }

std::string TQLogicControllerPluginCallbacks::GetPluginRevision() { return "1.0"; }

void TQLogicControllerPluginCallbacks::Release() { delete this; }

void TQLogicControllerPluginCallbacks::OnNotify(std::uint32_t /*notification*/) {}

void TQLogicControllerPluginCallbacks::Shutdown() {
    QLogicFibreChannelInventory::Destroy();
    QLogicIScsiInventory::Destroy();
}

}  // namespace velkor
