// Helpers shared by the syvcore tests.
#ifndef VELKOR_TESTS_SYVCORE_TESTSUPPORT_H
#define VELKOR_TESTS_SYVCORE_TESTSUPPORT_H

#include "syvcore/StandinHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace syvtest {

using NORNSYV20::TSYVException;

// Runs f and checks that it throws TSYVException with the status code and a
// text containing fragment.
template <class F>
void ExpectStatus(F&& f, std::uint32_t status, const std::string& fragment = std::string()) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected status " << status;
    } catch (const TSYVException& e) {
        EXPECT_EQ(e.GetStatusCode().GetCode(), status) << e.what();
        EXPECT_THAT(e.what(), ::testing::HasSubstr(fragment));
    }
}

inline std::string SchemaDir() { return VELKOR_SCHEMA_DIR; }

// A fresh folder under the temporary directory, removed at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / ("syvcore-test-" + name)) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    void Write(const std::string& fileName, const std::string& text) const {
        std::ofstream(path_ / fileName, std::ios::binary) << text;
    }
    std::string Path() const { return path_.generic_string(); }

private:
    std::filesystem::path path_;
};

// A plug-in whose query behaviour each test supplies; it records the class
// names of every QueryInstances call it gets.
class FakePlugin : public NORNSYV20::IPluginCallbacks, public NORNSYV20::IPluginBasicQueryCallbacks {
public:
    using Handler = std::function<void(boost::shared_ptr<NORNSYV20::ICIMNamespace>,
                                       const boost::shared_ptr<NORNSYV20::ICIMClass>&)>;

    explicit FakePlugin(Handler handler) : handler_(std::move(handler)) {}

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
        for (const auto& cls : requestedClasses) handler_(ns, cls);
    }

    std::vector<std::vector<std::string>> calls;

private:
    Handler handler_;
};

// Loads the real schema before each test and forgets registrations after.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        syv::StandinHost::ClearRegisteredPlugins();
        syv::StandinHost::FailNextRegistration(false);
        syv::StandinHost::LoadSchema(SchemaDir());
    }
    void TearDown() override {
        syv::StandinHost::ClearRegisteredPlugins();
        syv::StandinHost::SetLogLevel(0);
    }

    static NORNSYV20::TPluginManagerProvider* Register(NORNSYV20::IPluginCallbacks* plugin) {
        auto manager = boost::dynamic_pointer_cast<NORNSYV20::TPluginManagerNamespace>(
            NORNSYV20::TRootObject::GetPluginManager());
        if (!manager) throw std::logic_error("the plug-in manager is not a TPluginManagerNamespace");
        return manager->RegisterPlugin(plugin);
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
