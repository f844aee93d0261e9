// A stand-in plug-in for tests that drive the host directly, and its
// registration as a plug-in's constructor makes it.
#ifndef VELKOR_TESTS_FAKEPLUGIN_H
#define VELKOR_TESTS_FAKEPLUGIN_H

#include "host/Host.h"

#include <boost/pointer_cast.hpp>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A plug-in whose query runs what the test gives it, once per requested
// class; it records the class names of every query it gets.
class FakePlugin : public NORNSYV20::IPluginCallbacks, public NORNSYV20::IPluginBasicQueryCallbacks {
public:
    using Handler = std::function<void(boost::shared_ptr<NORNSYV20::ICIMNamespace>,
                                       const boost::shared_ptr<NORNSYV20::ICIMClass>&)>;

    explicit FakePlugin(Handler handler = nullptr) : handler(std::move(handler)) {}

    std::uint32_t GetPluginFlags() override { return 0; }
    std::string GetPluginName() override { return "fake"; }
    std::string GetPluginVersion() override { return "1"; }
    std::string GetPluginRevision() override { return "1"; }
    void Release() override {}
    void OnNotify(std::uint32_t) override {}
    void Shutdown() override {}

    void QueryInstances(boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                        const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>& requestedClasses) override {
        std::vector<std::string> names;
        for (const auto& cls : requestedClasses) names.push_back(cls->GetName(NORNSYV20::TCIMValueMap()));
        calls.push_back(names);
        for (const auto& cls : requestedClasses) handler(ns, cls);
    }

    Handler handler;
    std::vector<std::vector<std::string>> calls;
};

// Registers with the host's plug-in manager, as a plug-in's constructor does.
inline NORNSYV20::TPluginManagerProvider* Register(NORNSYV20::IPluginCallbacks* plugin) {
    auto manager = boost::dynamic_pointer_cast<NORNSYV20::TPluginManagerNamespace>(
        NORNSYV20::TRootObject::GetPluginManager());
    if (!manager) throw std::logic_error("the plug-in manager is not a TPluginManagerNamespace");
    return manager->RegisterPlugin(plugin);
}

}  // namespace testsupport

#endif
