// Helpers for tests of the host itself (the syvcore and process suites).
#ifndef VELKOR_TESTS_SYVCORE_TESTSUPPORT_H
#define VELKOR_TESTS_SYVCORE_TESTSUPPORT_H

#include "FakePlugin.h"
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

using testsupport::FakePlugin;
using testsupport::Register;

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

    static boost::shared_ptr<NORNSYV20::ICIMInstance> NewInstance(const std::string& className) {
        const auto cimClass = syv::StandinHost::GetNamespace()->GetClass(className, NORNSYV20::TCIMValueMap());
        return cimClass->CreateInstance(NORNSYV20::TCIMValueMap());
    }
};

}  // namespace syvtest

#endif
