// Loads the real plug-in library through the platform loader, with syvcore as
// its host, as a host process does.
#include "PluginLibrary.h"
#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

using namespace NORNSYV20;
using syv::PluginLibrary;
using syv::StandinHost;

std::string PluginPath() { return syv::ProgramFolder() + "/" + VELKOR_PLUGIN_FILE; }

class PluginLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
        StandinHost::ClearRegisteredPlugins();
    }
    void TearDown() override {
        StandinHost::FailNextRegistration(false);
        StandinHost::ClearRegisteredPlugins();
    }

    // Loads the library and returns the one plug-in it registered.
    IPluginCallbacks* LoadRegistered() {
        library_.reset(new PluginLibrary(PluginPath()));
        const std::vector<IPluginCallbacks*> plugins = StandinHost::GetRegisteredPlugins();
        if (plugins.size() != 1) {
            throw std::runtime_error("expected one registration, got " + std::to_string(plugins.size()));
        }
        return plugins.front();
    }

    std::unique_ptr<PluginLibrary> library_;
};

TEST_F(PluginLoadTest, RegistersOnceAndAnswersItsIdentity) {
    IPluginCallbacks* plugin = LoadRegistered();

    EXPECT_EQ(plugin->GetPluginName(), "Velkor Collector");
    EXPECT_EQ(plugin->GetPluginVersion(), "1.0");
    EXPECT_EQ(plugin->GetPluginRevision(), "1.0");
    EXPECT_EQ(plugin->GetPluginFlags(), 0u);
    // Every call returns a new string with the same text.
    EXPECT_EQ(plugin->GetPluginName(), plugin->GetPluginName());
    EXPECT_NE(dynamic_cast<IPluginBasicQueryCallbacks*>(plugin), nullptr);

    plugin->OnNotify(42);
    plugin->Shutdown();
    plugin->Shutdown();  // absent inventories stay absent
    EXPECT_EQ(plugin->GetPluginName(), "Velkor Collector");

    plugin->Release();
    StandinHost::ClearRegisteredPlugins();
    library_->Unload();
}

TEST_F(PluginLoadTest, DeletingThroughTheQueryInterfaceDestroysTheWholeObject) {
    IPluginCallbacks* plugin = LoadRegistered();
    IPluginBasicQueryCallbacks* query = dynamic_cast<IPluginBasicQueryCallbacks*>(plugin);
    ASSERT_NE(query, nullptr);
    // The sanitizer build reports a leak or a bad free if this destroys only
    // part of the object.
    delete query;
    StandinHost::ClearRegisteredPlugins();
    library_->Unload();
}

TEST_F(PluginLoadTest, ReloadingRegistersAFreshObject) {
    LoadRegistered()->Release();
    StandinHost::ClearRegisteredPlugins();
    library_->Unload();

    IPluginCallbacks* plugin = LoadRegistered();
    EXPECT_EQ(plugin->GetPluginName(), "Velkor Collector");
    plugin->Release();
}

TEST_F(PluginLoadTest, FailedRegistrationFailsTheLoadCleanly) {
    StandinHost::FailNextRegistration(true);
#ifdef _WIN32
    // The attach routine reports failure, so the loader refuses the library.
    EXPECT_THROW(PluginLibrary library(PluginPath()), std::runtime_error);
#else
    // dlopen cannot be failed from a load-time constructor: the library loads
    // but nothing is registered.
    PluginLibrary library(PluginPath());
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());
    library.Unload();
#endif
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());

    // The host process goes on, and a later load works.
    IPluginCallbacks* plugin = LoadRegistered();
    EXPECT_EQ(plugin->GetPluginName(), "Velkor Collector");
    plugin->Release();
}

TEST_F(PluginLoadTest, OffersNoEntryPointByName) {
    LoadRegistered()->Release();
    for (const char* symbol : {"DllMain", "AttachRoutine", "QueryInstances", "GetPluginName"}) {
        EXPECT_FALSE(library_->Exports(symbol)) << symbol;
    }
}

TEST_F(PluginLoadTest, RefusesClassesItDoesNotServeWithStatusTwo) {
    IPluginCallbacks* plugin = LoadRegistered();
    for (const char* name : {"CIM_Processor", "orNSG_QLogicFibreChannelSCSIProtocolController", ""}) {
        const syv::QueryReport report = StandinHost::RunQuery({name});
        EXPECT_TRUE(report.failed) << name;
        EXPECT_EQ(report.status, TSYVStatusCode::kClassNotServed) << name;
        EXPECT_NE(report.message.find("The requested class is not served by this provider"), std::string::npos);
        EXPECT_TRUE(report.instances.empty());
    }
    const syv::QueryReport empty = StandinHost::RunQuery({});
    EXPECT_FALSE(empty.failed);
    plugin->Release();
}

}  // namespace
