// Loads the real plug-in library through the platform loader, with syvcore as
// its host, as a host process does.
#include "PluginLibrary.h"
#include "Platform.h"
#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using NORNSYV20::IPluginCallbacks;
using syv::PluginLibrary;
using syv::StandinHost;

std::string PluginPath() { return syv::ProgramFolder() + "/" + syv::kPluginFileName; }

class PluginLoadTest : public ::testing::Test {
protected:
    void SetUp() override { StandinHost::ClearRegisteredPlugins(); }
    void TearDown() override {
        StandinHost::FailNextRegistration(false);
        StandinHost::ClearRegisteredPlugins();
    }
};

// Unloading leaves nothing behind that would keep a second load from
// registering a fresh object. Registering at all shows that the attach ran
// after the library's static objects were built: one that ran before them
// would refuse.
TEST_F(PluginLoadTest, EachLoadRegistersOneObjectThatServesQueries) {
    for (int load = 1; load <= 2; ++load) {
        SCOPED_TRACE(load);
        PluginLibrary library(PluginPath());
        const std::vector<IPluginCallbacks*> plugins = StandinHost::GetRegisteredPlugins();
        ASSERT_EQ(plugins.size(), 1u);
        IPluginCallbacks* plugin = plugins.front();
        EXPECT_EQ(plugin->GetPluginFlags(), 0u);  // name, version and revision: syvhost --version
        EXPECT_NE(dynamic_cast<NORNSYV20::IPluginBasicQueryCallbacks*>(plugin), nullptr);
        plugin->Shutdown();  // nothing collected: nothing to destroy, twice
        plugin->Shutdown();
        plugin->Release();
        StandinHost::ClearRegisteredPlugins();
        library.Unload();
    }
}

// The attach routine catches the registration's exception instead of letting
// it cross the loader, which would end the host process.
TEST_F(PluginLoadTest, FailedRegistrationFailsTheLoadAndTheHostGoesOn) {
    StandinHost::FailNextRegistration(true);
    if (syv::kFailedAttachFailsLoad) {
        EXPECT_THROW(PluginLibrary library(PluginPath()), std::runtime_error);
    } else {
        PluginLibrary(PluginPath()).Unload();
    }
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());

    PluginLibrary library(PluginPath());
    ASSERT_EQ(StandinHost::GetRegisteredPlugins().size(), 1u);
    StandinHost::GetRegisteredPlugins().front()->Release();
}

}  // namespace
