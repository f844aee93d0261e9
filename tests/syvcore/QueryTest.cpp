#include "TestSupport.h"

#include "host/TAddToVectorCallback.h"

#include <stdexcept>

namespace {

using NORNSYV20::ICIMClass;
using NORNSYV20::ICIMInstance;
using NORNSYV20::ICIMNamespace;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;
using syv::StandinHost;
using syvtest::ExpectStatus;
using syvtest::FakePlugin;

const char kController[] = "ORNSG_QLogicFibreChannelSCSIProtocolController";
const char kAssociation[] = "ORNSG_QLogicFibreChannelControllerFirmware";
const char kRawData[] = "ORNSG_QLogicIScsiRawData";

class QueryTest : public syvtest::HostTest {};

std::string Text(const boost::shared_ptr<ICIMInstance>& instance, const char* property) {
    return instance->GetProperty(property, TCIMValueMap())->GetValue(TCIMValueMap());
}

void CommitController(const boost::shared_ptr<ICIMClass>& cls, const std::string& deviceId) {
    const auto instance = cls->CreateInstance(TCIMValueMap());
    instance->SetProperty("DeviceID", TCIMValue(deviceId), TCIMValueMap());
    instance->Commit(TCIMValueMap());
}

// A small provider: three controllers; each association enumerates the
// controllers through the host and ties them, in delivery order.
void ServeControllersAndAssociations(boost::shared_ptr<ICIMNamespace> ns, const boost::shared_ptr<ICIMClass>& cls) {
    const std::string name = cls->GetName(TCIMValueMap());
    NORNSYV20::TRootObject::GetCoreLogger()->Log(3, "serving " + name);
    if (name == kController) {
        for (const char* id : {"c1", "c2", "c3"}) CommitController(cls, id);
    } else if (name == kAssociation) {
        std::vector<boost::shared_ptr<ICIMInstance>> controllers;
        ns->GetClass(kController, TCIMValueMap())
            ->EnumerateInstances(NORNSYV20::TAddToVectorCallback<ICIMInstance>(controllers), true, TCIMValueMap());
        for (const auto& controller : controllers) {
            const auto association = cls->CreateInstance(TCIMValueMap());
            association->SetProperty("Dependent", TCIMValue(controller->GetReference(TCIMValueMap())), TCIMValueMap());
            association->Commit(TCIMValueMap());
        }
    }
}

TEST_F(QueryTest, CommittedInstancesAreTheResultsInCommitOrder) {
    FakePlugin plugin(ServeControllersAndAssociations);
    Register(&plugin);
    const syv::QueryReport report = StandinHost::RunQuery({kController});
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(report.classes, std::vector<std::string>{kController});
    ASSERT_EQ(report.instances.size(), 3u);
    const char* ids[] = {"c1", "c2", "c3"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(report.instances[i].className, kController);
        EXPECT_EQ(report.instances[i].path, std::string("root/ornsg:") + kController + ".DeviceID=\"" + ids[i] + "\"");
    }
}

// The association's nested enumeration asks the plug-in for the
// controllers; those are not results of the outer query, but the log
// messages of the nested query are.
TEST_F(QueryTest, EnumerationRunsANestedQueryWhoseInstancesAreNotResults) {
    FakePlugin plugin(ServeControllersAndAssociations);
    Register(&plugin);
    const syv::QueryReport report = StandinHost::RunQuery({kAssociation});
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(plugin.calls,
              (std::vector<std::vector<std::string>>{{kAssociation}, {kController}}));
    ASSERT_EQ(report.instances.size(), 3u);
    const char* ids[] = {"c1", "c2", "c3"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(report.instances[i].className, kAssociation);
        EXPECT_THAT(report.instances[i].path, ::testing::HasSubstr(std::string("DeviceID=\\\"") + ids[i] + "\\\""));
    }
    ASSERT_EQ(report.log.size(), 2u);
    EXPECT_EQ(report.log[0].message, std::string("serving ") + kAssociation);
    EXPECT_EQ(report.log[1].message, std::string("serving ") + kController);
    EXPECT_EQ(report.log[1].level, 3);
}

TEST_F(QueryTest, EnumerationStopsWhenTheCallbackSaysSo) {
    FakePlugin plugin(ServeControllersAndAssociations);
    Register(&plugin);
    std::vector<std::string> delivered;
    Class(kController)->EnumerateInstances(
        [&](boost::shared_ptr<ICIMInstance> instance) {
            delivered.push_back(Text(instance, "DeviceID"));
            return delivered.size() < 2;
        },
        true, TCIMValueMap());
    EXPECT_EQ(delivered, (std::vector<std::string>{"c1", "c2"}));
}

TEST_F(QueryTest, EnumerationPassesOnTheProvidersException) {
    FakePlugin plugin([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>& cls) {
        CommitController(cls, "c1");
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kProgramCrashed), "scli");
    });
    Register(&plugin);
    std::vector<boost::shared_ptr<ICIMInstance>> delivered;
    ExpectStatus([&] {
        Class(kController)->EnumerateInstances(NORNSYV20::TAddToVectorCallback<ICIMInstance>(delivered), true,
                                               TCIMValueMap());
    }, TSYVStatusCode::kProgramCrashed, "scli");
    EXPECT_TRUE(delivered.empty());
}

TEST_F(QueryTest, EnumerationWithoutAPluginIsRefused) {
    ExpectStatus([] {
        Class(kController)->EnumerateInstances([](boost::shared_ptr<ICIMInstance>) { return true; }, true,
                                               TCIMValueMap());
    }, TSYVStatusCode::kRegistrationFailed, "no plug-in registered");
}

// deep decides whether instances of subclasses are delivered too.
TEST_F(QueryTest, DeepEnumerationAlsoDeliversSubclasses) {
    syvtest::TempFolder folder("deep");
    folder.Write("classes.mof", "class Base { [Key] string Id; };\nclass Sub : Base { };\n");
    StandinHost::LoadSchema(folder.Path());
    FakePlugin plugin([](boost::shared_ptr<ICIMNamespace> ns, const boost::shared_ptr<ICIMClass>&) {
        for (const char* name : {"Sub", "Base"}) {
            const auto instance = ns->GetClass(name, TCIMValueMap())->CreateInstance(TCIMValueMap());
            instance->SetProperty("Id", TCIMValue(name), TCIMValueMap());
            instance->Commit(TCIMValueMap());
        }
    });
    Register(&plugin);
    for (bool deep : {false, true}) {
        std::vector<std::string> delivered;
        Class("Base")->EnumerateInstances(
            [&](boost::shared_ptr<ICIMInstance> instance) {
                delivered.push_back(Text(instance, "Id"));
                return true;
            },
            deep, TCIMValueMap());
        const std::vector<std::string> expected =
            deep ? std::vector<std::string>{"Sub", "Base"} : std::vector<std::string>{"Base"};
        EXPECT_EQ(delivered, expected);
    }
}

TEST_F(QueryTest, CommittingTwiceIsRefused) {
    FakePlugin plugin([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>& cls) {
        const auto instance = cls->CreateInstance(TCIMValueMap());
        instance->Commit(TCIMValueMap());
        instance->Commit(TCIMValueMap());
    });
    Register(&plugin);
    const syv::QueryReport report = StandinHost::RunQuery({kRawData});
    EXPECT_EQ(report.instances.size(), 1u);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.status, TSYVStatusCode::kAlreadyCommitted);
    EXPECT_EQ(report.message, std::string("The instance has already been committed: an instance of ") + kRawData);
}

// Whatever ends the query is recorded; what was committed before stays.
TEST_F(QueryTest, ExceptionsEndTheQueryIntoTheReport) {
    struct Case {
        std::function<void()> fail;
        std::uint32_t status;
        const char* message;
    };
    const Case cases[] = {
        {[] { throw TSYVException(TSYVStatusCode(TSYVStatusCode::kClassNotServed), "X"); }, 2,
         "The requested class is not served by this provider: X"},
        {[] { throw std::runtime_error("bad thing"); }, 1, "bad thing"},
        {[] { throw 42; }, 1, "unknown exception"},
    };
    for (const Case& c : cases) {
        FakePlugin plugin([&](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>& cls) {
            CommitController(cls, "c1");
            c.fail();
        });
        StandinHost::ClearRegisteredPlugins();
        Register(&plugin);
        const syv::QueryReport report = StandinHost::RunQuery({kController});
        EXPECT_TRUE(report.failed);
        EXPECT_EQ(report.status, c.status);
        EXPECT_EQ(report.message, c.message);
        EXPECT_EQ(report.instances.size(), 1u);
    }
}

TEST_F(QueryTest, UnknownClassNamesReachThePluginUnchanged) {
    FakePlugin plugin([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>&) {});
    Register(&plugin);
    const syv::QueryReport report = StandinHost::RunQuery({"orNSG_qlogicIscsiRawData", kRawData});
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(plugin.calls, (std::vector<std::vector<std::string>>{{"orNSG_qlogicIscsiRawData", kRawData}}));
}

TEST_F(QueryTest, RunQueryNeedsARegisteredPlugin) {
    ExpectStatus([] { StandinHost::RunQuery({kController}); }, TSYVStatusCode::kRegistrationFailed,
                 "no plug-in registered");
}

TEST_F(QueryTest, RegistrationKeepsThePluginAndCanBeMadeToFailOnce) {
    FakePlugin first([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>&) {});
    FakePlugin second([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>&) {});
    StandinHost::FailNextRegistration(true);
    ExpectStatus([&] { Register(&first); }, TSYVStatusCode::kRegistrationFailed);
    EXPECT_TRUE(StandinHost::GetRegisteredPlugins().empty());
    EXPECT_NE(Register(&first), nullptr);
    EXPECT_NE(Register(&second), nullptr);
    EXPECT_EQ(StandinHost::GetRegisteredPlugins(),
              (std::vector<NORNSYV20::IPluginCallbacks*>{&first, &second}));
    ExpectStatus([&] { Register(nullptr); }, TSYVStatusCode::kRegistrationFailed, "null plug-in");

    // Queries go to the first registered plug-in.
    StandinHost::RunQuery({kRawData});
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_TRUE(second.calls.empty());
}

TEST_F(QueryTest, LoggerKeepsEveryLevelAndWritesOnlyUpToTheConfiguredOne) {
    FakePlugin plugin([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>&) {
        for (int level : {1, 2, 3}) NORNSYV20::TRootObject::GetCoreLogger()->Log(level, "m" + std::to_string(level));
    });
    Register(&plugin);
    for (int configured : {0, 2}) {
        StandinHost::SetLogLevel(configured);
        ::testing::internal::CaptureStderr();
        const syv::QueryReport report = StandinHost::RunQuery({kRawData});
        const std::string written = ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(report.log.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(report.log[i].level, i + 1);
            EXPECT_EQ(report.log[i].message, "m" + std::to_string(i + 1));
        }
        EXPECT_EQ(written.find("m1") != std::string::npos, configured >= 1) << written;
        EXPECT_EQ(written.find("m2") != std::string::npos, configured >= 2) << written;
        EXPECT_EQ(written.find("m3"), std::string::npos) << written;
    }
}

}  // namespace
