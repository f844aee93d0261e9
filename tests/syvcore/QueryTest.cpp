#include "TestSupport.h"

#include "host/TAddToVectorCallback.h"
#include "syvcore/ReportText.h"

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
using syvtest::Register;
using Names = std::vector<std::string>;

const char kController[] = "ORNSG_QLogicFibreChannelSCSIProtocolController";
const char kAssociation[] = "ORNSG_QLogicFibreChannelControllerFirmware";

class QueryTest : public syvtest::HostTest {};

boost::shared_ptr<ICIMInstance> CommitController(const boost::shared_ptr<ICIMClass>& cls, const std::string& id) {
    const auto instance = cls->CreateInstance(TCIMValueMap());
    instance->SetProperty("DeviceID", TCIMValue(id), TCIMValueMap());
    instance->Commit(TCIMValueMap());
    return instance;
}

// Enumerates the class through the host and returns the DeviceIDs delivered
// until the callback said stop.
Names Enumerate(const char* className, std::size_t stopAfter = 100) {
    Names delivered;
    StandinHost::GetNamespace()->GetClass(className, TCIMValueMap())->EnumerateInstances(
        [&](boost::shared_ptr<ICIMInstance> instance) {
            delivered.push_back(instance->GetProperty("DeviceID", TCIMValueMap())->GetValue(TCIMValueMap()));
            return delivered.size() < stopAfter;
        },
        true, TCIMValueMap());
    return delivered;
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

// The association's enumeration asks the plug-in for the controllers in a
// nested query: its instances are not results of the outer query, but its
// log messages are.
TEST_F(QueryTest, ResultsAreTheCommitsInOrderButNotThoseOfNestedQueries) {
    FakePlugin plugin(ServeControllersAndAssociations);
    Register(&plugin);
    const syv::QueryReport report = StandinHost::RunQuery({kController, kAssociation});
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(report.classes, (Names{kController, kAssociation}));
    EXPECT_EQ(plugin.calls, (std::vector<Names>{{kController, kAssociation}, {kController}}));
    ASSERT_EQ(report.instances.size(), 6u);
    const char* ids[] = {"c1", "c2", "c3"};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string controllerPath = std::string("root/ornsg:") + kController + ".DeviceID=\"" + ids[i] + "\"";
        EXPECT_EQ(report.instances[i].className, kController);
        EXPECT_EQ(report.instances[i].path, controllerPath);
        EXPECT_EQ(report.instances[i + 3].className, kAssociation);
        EXPECT_THAT(report.instances[i + 3].path, ::testing::HasSubstr(std::string("DeviceID=\\\"") + ids[i] + "\\\""));
    }
    ASSERT_EQ(report.log.size(), 3u);
    EXPECT_EQ(report.log[2].message, std::string("serving ") + kController);
    EXPECT_EQ(report.log[2].level, 3);
}

// A value that is not UTF-8 is noticed once per query, as a warning.
TEST_F(QueryTest, ValuesThatAreNotUtf8AreNoticedOncePerQuery) {
    FakePlugin plugin([](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>& cls) {
        for (const char* id : {"c\xff", "plain", "d\xfe"}) CommitController(cls, id);
    });
    Register(&plugin);
    const syv::QueryReport report = StandinHost::RunQuery({kController});
    ASSERT_EQ(report.log.size(), 1u);
    EXPECT_EQ(report.log[0].level, 2);
    EXPECT_EQ(report.log[0].message, syv::kNotUtf8Notice);
}

// The callback can stop the delivery; a provider that fails delivers nothing
// and its exception reaches the caller.
TEST_F(QueryTest, EnumerationStopsWhenAskedAndPassesOnTheProvidersException) {
    FakePlugin plugin(ServeControllersAndAssociations);
    Register(&plugin);
    EXPECT_EQ(Enumerate(kController, 2), (Names{"c1", "c2"}));

    plugin.handler = [](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>& cls) {
        CommitController(cls, "c1");
        throw TSYVException(TSYVStatusCode(TSYVStatusCode::kProgramCrashed), "scli");
    };
    Names delivered;
    ExpectStatus([&] { delivered = Enumerate(kController); }, TSYVStatusCode::kProgramCrashed, "scli");
    EXPECT_TRUE(delivered.empty());
}

TEST_F(QueryTest, WithoutAPluginNothingRuns) {
    ExpectStatus([] { StandinHost::RunQuery({kController}); }, TSYVStatusCode::kRegistrationFailed,
                 "no plug-in registered");
    ExpectStatus([] { Enumerate(kController); }, TSYVStatusCode::kRegistrationFailed, "no plug-in registered");
}

// Whatever ends the query is recorded; what was committed before stays.
TEST_F(QueryTest, ExceptionsEndTheQueryIntoTheReport) {
    struct Case {
        std::function<void(const boost::shared_ptr<ICIMInstance>& committed)> fail;
        std::uint32_t status;
        std::string message;
    };
    const Case cases[] = {
        {[](const boost::shared_ptr<ICIMInstance>& committed) { committed->Commit(TCIMValueMap()); }, 4,
         std::string("The instance has already been committed: an instance of ") + kController},
        {[](const boost::shared_ptr<ICIMInstance>&) {
             throw TSYVException(TSYVStatusCode(TSYVStatusCode::kClassNotServed), "X");
         },
         2, "The requested class is not served by this provider: X"},
        {[](const boost::shared_ptr<ICIMInstance>&) { throw std::runtime_error("bad thing"); }, 1, "bad thing"},
        {[](const boost::shared_ptr<ICIMInstance>&) { throw 42; }, 1, "unknown exception"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        FakePlugin plugin([&](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>& cls) {
            c.fail(CommitController(cls, "c1"));
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

// Every message is kept in the report; the terminal gets those up to the
// configured level, escaped so that text a tool wrote cannot drive it:
// control characters and bytes that are not UTF-8 escaped, line ends kept
// inside the one message.
TEST_F(QueryTest, LoggerKeepsEveryMessageAndWritesUpToTheLevelEscaped) {
    const struct { int configured, level; std::string message, written; } cases[] = {
        {0, 1, "m1", ""},
        {2, 1, "m1", "[log 1] m1\n"},
        {2, 3, "m3", ""},
        {2, 2, "\x1b]0;owned\x07\x1b[2J", "[log 2] \\x1b]0;owned\\x07\\x1b[2J\n"},
        {2, 2, "over\rwritten\b\x7f", "[log 2] over\\x0dwritten\\x08\\x7f\n"},
        {2, 2, "tab\tand \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "[log 2] tab\tand \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\n"},
        {2, 2, "csi \xc2\x9b" "2J, bad \xff\xc3 \xed\xa0\x80 \xe2\x82",
         "[log 2] csi \\xc2\\x9b2J, bad \\xff\\xc3 \\xed\\xa0\\x80 \\xe2\\x82\n"},
        {2, 2, "one\r\ntwo\n[log 1] three\r\n", "[log 2] one\n        two\n        [log 1] three\n"},
    };
    int level = 0;
    std::string message;
    FakePlugin plugin([&](boost::shared_ptr<ICIMNamespace>, const boost::shared_ptr<ICIMClass>&) {
        NORNSYV20::TRootObject::GetCoreLogger()->Log(level, message);
    });
    Register(&plugin);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StandinHost::SetLogLevel(c.configured);
        level = c.level;
        message = c.message;
        ::testing::internal::CaptureStderr();
        const syv::QueryReport report = StandinHost::RunQuery({kController});
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.written);
        ASSERT_EQ(report.log.size(), 1u);
        EXPECT_EQ(report.log[0].level, c.level);
        EXPECT_EQ(report.log[0].message, c.message);
    }
}

}  // namespace
