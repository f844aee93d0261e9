#include "plugin/AttachRoutine.h"

#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

using syv::StandinHost;

class AttachRoutineTest : public ::testing::Test {
protected:
    void SetUp() override { StandinHost::ClearRegisteredPlugins(); }
    void TearDown() override {
        for (NORNSYV20::IPluginCallbacks* plugin : StandinHost::GetRegisteredPlugins()) {
            plugin->Release();
        }
        StandinHost::ClearRegisteredPlugins();
        StandinHost::FailNextRegistration(false);
    }
};

TEST_F(AttachRoutineTest, OnlyProcessAttachCreatesAndRegistersThePlugin) {
    for (unsigned long reason : {kProcessDetach, kThreadAttach, kThreadDetach}) {
        EXPECT_EQ(AttachRoutine(nullptr, reason, nullptr), 1) << reason;
    }
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());

    EXPECT_EQ(AttachRoutine(nullptr, kProcessAttach, nullptr), 1);
    EXPECT_EQ(StandinHost::GetRegisteredPlugins().size(), 1u);
}

TEST_F(AttachRoutineTest, ARegistrationThatThrowsIsAFailedAttach) {
    StandinHost::FailNextRegistration(true);
    EXPECT_EQ(AttachRoutine(nullptr, kProcessAttach, nullptr), 0);
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());

    EXPECT_EQ(AttachRoutine(nullptr, kProcessAttach, nullptr), 1);
    EXPECT_EQ(StandinHost::GetRegisteredPlugins().size(), 1u);
}

}  // namespace
}  // namespace velkor
