// Loads the real plug-in library through the platform loader, with syvcore as
// its host, as a host process does. That each load registers a fresh object
// that serves queries, the fault matrix shows: each of its cases loads and
// unloads the library in one process.
#include "PluginLibrary.h"
#include "Platform.h"
#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using syv::PluginLibrary;
using syv::StandinHost;

// The attach routine catches the registration's exception instead of letting
// it cross the loader, which would end the host process.
TEST(PluginLoadTest, FailedRegistrationFailsTheLoadAndTheHostGoesOn) {
    const std::string path = syv::ProgramFolder() + "/" + syv::kPluginFileName;
    StandinHost::ClearRegisteredPlugins();
    StandinHost::FailNextRegistration(true);
    if (syv::kFailedAttachFailsLoad) {
        EXPECT_THROW(PluginLibrary library(path), std::runtime_error);
    } else {
        PluginLibrary(path).Unload();
    }
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());

    // Registering at all shows that the attach ran after the library's static
    // objects were built: one that ran before them would refuse.
    PluginLibrary library(path);
    ASSERT_EQ(StandinHost::GetRegisteredPlugins().size(), 1u);
    StandinHost::GetRegisteredPlugins().front()->Release();
}

}  // namespace
