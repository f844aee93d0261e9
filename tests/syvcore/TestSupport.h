// Helpers for tests of the host itself (the syvcore and process suites).
#ifndef VELKOR_TESTS_SYVCORE_TESTSUPPORT_H
#define VELKOR_TESTS_SYVCORE_TESTSUPPORT_H

#include "TestEnvironment.h"
#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <boost/pointer_cast.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace syvtest {

// Runs f and checks that it throws TSYVException with the status code and a
// text containing fragment.
template <class F>
void ExpectStatus(F&& f, std::uint32_t status, const std::string& fragment = std::string()) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected status " << status;
    } catch (const NORNSYV20::TSYVException& e) {
        EXPECT_EQ(e.GetStatusCode().GetCode(), status) << e.what();
        EXPECT_THAT(e.what(), ::testing::HasSubstr(fragment));
    }
}

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

// Loads the real schema before each test and forgets registrations after.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        syv::StandinHost::ClearRegisteredPlugins();
        syv::StandinHost::FailNextRegistration(false);
        syv::StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
    }
    void TearDown() override {
        syv::StandinHost::ClearRegisteredPlugins();
        syv::StandinHost::SetLogLevel(0);
    }

    static boost::shared_ptr<NORNSYV20::ICIMClass> Class(const std::string& name) {
        return syv::StandinHost::GetNamespace()->GetClass(name, NORNSYV20::TCIMValueMap());
    }
    static boost::shared_ptr<NORNSYV20::ICIMInstance> NewInstance(const std::string& className) {
        return Class(className)->CreateInstance(NORNSYV20::TCIMValueMap());
    }
};

}  // namespace syvtest

#endif
