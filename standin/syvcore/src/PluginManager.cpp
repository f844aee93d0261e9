#include "PluginManager.h"

#include "host/TSYVException.h"

namespace syv {
namespace detail {

using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;

boost::shared_ptr<NORNSYV20::ICIMClass> PluginManager::GetClass(const std::string& className,
                                                                NORNSYV20::TCIMValueMap /*context*/) {
    throw TSYVException(TSYVStatusCode(TSYVStatusCode::kUnknownClass), className + " in namespace " + GetName());
}

const std::string& PluginManager::GetName() const {
    static const std::string name = "PluginManager";
    return name;
}

NORNSYV20::TPluginManagerProvider* PluginManager::RegisterPlugin(NORNSYV20::IPluginCallbacks* plugin) {
    if (failNextRegistration_) {
        failNextRegistration_ = false;
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kRegistrationFailed), "registration refused on request");
    }
    if (!plugin) throw TSYVException(TSYVStatusCode(TSYVStatusCode::kRegistrationFailed), "null plug-in object");
    records_.push_back(std::make_unique<NORNSYV20::TPluginManagerProvider>(plugin));
    return records_.back().get();
}

NORNSYV20::IPluginCallbacks* PluginManager::FirstPlugin() const {
    return records_.empty() ? nullptr : records_.front()->GetPlugin();
}

std::vector<NORNSYV20::IPluginCallbacks*> PluginManager::GetPlugins() const {
    std::vector<NORNSYV20::IPluginCallbacks*> plugins;
    for (const auto& record : records_) plugins.push_back(record->GetPlugin());
    return plugins;
}

const boost::shared_ptr<PluginManager>& ThePluginManager() {
    static const boost::shared_ptr<PluginManager> manager(new PluginManager);
    return manager;
}

NORNSYV20::IPluginBasicQueryCallbacks& QueryInterfaceOfFirstPlugin() {
    NORNSYV20::IPluginCallbacks* plugin = ThePluginManager()->FirstPlugin();
    if (!plugin) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kRegistrationFailed), "no plug-in registered");
    }
    auto* queries = dynamic_cast<NORNSYV20::IPluginBasicQueryCallbacks*>(plugin);
    if (!queries) {
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kRegistrationFailed),
                            "the registered plug-in does not answer queries");
    }
    return *queries;
}

}  // namespace detail
}  // namespace syv
