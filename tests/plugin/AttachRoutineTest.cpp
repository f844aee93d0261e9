#include "plugin/AttachRoutine.h"

#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

using syv::StandinHost;

void ReleaseRegistered() {
    for (NORNSYV20::IPluginCallbacks* plugin : StandinHost::GetRegisteredPlugins()) plugin->Release();
    StandinHost::ClearRegisteredPlugins();
}

// Thread notifications and the detach create nothing. That a registration
// that throws fails the attach, and the next one works, the load test shows
// through the platform loader.
TEST(AttachRoutineTest, OnlyProcessAttachRegisters) {
    StandinHost::ClearRegisteredPlugins();
    for (unsigned long reason : {kProcessDetach, kThreadAttach, kThreadDetach}) {
        EXPECT_EQ(AttachRoutine(nullptr, reason, nullptr), 1) << reason;
    }
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());
    EXPECT_EQ(AttachRoutine(nullptr, kProcessAttach, nullptr), 1);
    EXPECT_EQ(StandinHost::GetRegisteredPlugins().size(), 1u);
    ReleaseRegistered();
}

}  // namespace
}  // namespace velkor
