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

// Thread notifications and the detach create nothing; a registration that
// throws is a failed attach (0), which only Windows' loader reports, and the
// next attach works.
TEST(AttachRoutineTest, OnlyProcessAttachRegistersAndAFailedRegistrationFailsIt) {
    StandinHost::ClearRegisteredPlugins();
    for (unsigned long reason : {kProcessDetach, kThreadAttach, kThreadDetach}) {
        EXPECT_EQ(AttachRoutine(nullptr, reason, nullptr), 1) << reason;
    }
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());
    StandinHost::FailNextRegistration(true);
    EXPECT_EQ(AttachRoutine(nullptr, kProcessAttach, nullptr), 0);
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());
    EXPECT_EQ(AttachRoutine(nullptr, kProcessAttach, nullptr), 1);
    EXPECT_EQ(StandinHost::GetRegisteredPlugins().size(), 1u);
    ReleaseRegistered();
}

}  // namespace
}  // namespace velkor
