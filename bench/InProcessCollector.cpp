#include "InProcessCollector.h"

#include "PluginLibrary.h"
#include "ToolText.h"
#include "host/TSYVException.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"

namespace velkor {
namespace bench {

const std::vector<std::string>& AssociationClasses() {
    static const std::vector<std::string> classes{kFibreChannelControllerFirmwareClass,
                                                  kFibreChannelControllerBiosClass, kIScsiControllerFirmwareClass,
                                                  kIScsiControllerBiosClass};
    return classes;
}

InProcessCollector::InProcessCollector(std::int64_t adaptersPerKind)
    : fibreChannelOutput_(FibreChannelToolOutput(adaptersPerKind)), iScsiOutput_(IScsiToolOutput(adaptersPerKind)) {
    syv::StandinHost::LoadSchema(syv::ProgramFolder() + "/schema");
    syv::StandinHost::SetInProcessTool([this](const std::string& path, const std::vector<std::string>&) {
        ++toolRuns_;
        if (path == kFibreChannelToolPath) {
            return fibreChannelOutput_;
        }
        if (path == kIScsiToolPath) {
            return iScsiOutput_;
        }
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kFailed),
                                       "no such tool: " + path);
    });
    syv::StandinHost::ClearRegisteredPlugins();
    // The object registers itself; from then on the host's queries reach it.
    plugin_ = new TQLogicControllerPluginCallbacks();
}

InProcessCollector::~InProcessCollector() {
    plugin_->Shutdown();
    syv::StandinHost::ClearRegisteredPlugins();
    plugin_->Release();
    syv::StandinHost::SetInProcessTool(nullptr);
}

syv::QueryReport InProcessCollector::Query(const std::vector<std::string>& classNames) const {
    return syv::StandinHost::RunQuery(classNames);
}

void InProcessCollector::Shutdown() { plugin_->Shutdown(); }

std::size_t ExpectedInstancesOfAllClasses(std::int64_t adaptersPerKind) {
    // Per kind: a controller, two elements and two associations per adapter,
    // and one raw-data instance.
    return static_cast<std::size_t>(2 * (5 * adaptersPerKind + 1));
}

std::size_t ExpectedAssociations(std::int64_t adaptersPerKind) {
    return static_cast<std::size_t>(4 * adaptersPerKind);
}

}  // namespace bench
}  // namespace velkor
