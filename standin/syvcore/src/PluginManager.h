// The plug-in manager: where plug-ins register, and how the host finds the
// query interface of the registered one.
#ifndef SYVCORE_PLUGINMANAGER_H
#define SYVCORE_PLUGINMANAGER_H

#include "host/IPluginBasicQueryCallbacks.h"
#include "host/IPluginCallbacks.h"
#include "host/TPluginManagerNamespace.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>
#include <vector>

namespace NORNSYV20 {

// The manager's record of one registration.
class TPluginManagerProvider {
public:
    explicit TPluginManagerProvider(IPluginCallbacks* plugin) : plugin_(plugin) {}
    IPluginCallbacks* GetPlugin() const { return plugin_; }

private:
    IPluginCallbacks* plugin_;
};

}  // namespace NORNSYV20

namespace syv {
namespace detail {

class PluginManager : public NORNSYV20::TPluginManagerNamespace {
public:
    // The manager holds no CIM classes: always throws (status 10).
    boost::shared_ptr<NORNSYV20::ICIMClass> GetClass(const std::string& className,
                                                     NORNSYV20::TCIMValueMap context) override;
    const std::string& GetName() const override;
    NORNSYV20::TPluginManagerProvider* RegisterPlugin(NORNSYV20::IPluginCallbacks* plugin) override;

    void FailNextRegistration(bool fail) { failNextRegistration_ = fail; }
    std::vector<NORNSYV20::IPluginCallbacks*> GetPlugins() const;
    // The first registered plug-in, or null; every query and enumeration asks.
    NORNSYV20::IPluginCallbacks* FirstPlugin() const;
    void Clear() { records_.clear(); }

private:
    std::vector<std::unique_ptr<NORNSYV20::TPluginManagerProvider>> records_;
    bool failNextRegistration_ = false;
};

// The process-wide manager.
const boost::shared_ptr<PluginManager>& ThePluginManager();

// The query interface of the first registered plug-in. Throws TSYVException
// (status 12) when none is registered or it does not answer queries.
NORNSYV20::IPluginBasicQueryCallbacks& QueryInterfaceOfFirstPlugin();

}  // namespace detail
}  // namespace syv

#endif
